#include "client/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "tests/support/temp_dir.h"

namespace zp::client {
namespace {

namespace fs = std::filesystem;

using zp::testing::Put;
using zp::testing::Slurp;
using zp::testing::TempDir;

// The settings a fresh program has after reading `ini`.
ClientSettings LoadedFrom(const TempDir& dir, const std::string& ini) {
  const fs::path path = dir / "qelmlobby.ini";
  Put(path, ini);
  SettingsFile file{ProfileFile(path)};
  ClientSettings settings;
  file.loadinifile(settings);
  EXPECT_TRUE(file.WasRead());
  return settings;
}

TEST(Settings, NoFileGivesTheDefaults) {
  TempDir dir;
  SettingsFile file{ProfileFile(dir / "qelmlobby.ini")};
  ClientSettings settings;
  settings.Phrase[2] = "stale";
  settings.Turnsound = TurnSound::New;
  EXPECT_FALSE(file.WasRead());
  file.loadinifile(settings);
  EXPECT_TRUE(file.WasRead());

  EXPECT_EQ(settings.Textsize, 8);
  EXPECT_EQ(settings.Textcolor, "clblack");
  EXPECT_EQ(settings.Phrase, (std::array<std::string, 9>{}));
  EXPECT_TRUE(settings.Playsounds);
  EXPECT_FALSE(settings.Postwordsinchatbox);
  EXPECT_EQ(settings.Playtoscore, 110);
  EXPECT_EQ(settings.Creationtime, 70);
  EXPECT_EQ(settings.Shuffles, 1);
  EXPECT_EQ(settings.Tiles, "classic");
  EXPECT_FALSE(settings.LoadsTileSet());
  EXPECT_EQ((std::array{settings.Left, settings.Top, settings.Width, settings.Height}),
            (std::array{3, 3, 790, 580}));
  EXPECT_EQ(settings.Turnsound, TurnSound::Classic);
  EXPECT_TRUE(settings.ChatterSounds);
  EXPECT_FALSE(fs::exists(file.Path()));  // reading creates nothing
}

struct ValueCase {
  const char* line;
  std::function<void(ClientSettings&)> expect;  // how it differs from an empty section
};

TEST(Settings, HowEachValueIsRead) {
  const ValueCase cases[] = {
      {"Playsounds=false", [](auto& s) { s.Playsounds = false; }},
      {"Playsounds=FALSE", [](auto&) {}},
      {"Playsounds=0", [](auto&) {}},
      {"Postwordsinchatbox=true", [](auto& s) { s.Postwordsinchatbox = true; }},
      {"Postwordsinchatbox=True", [](auto&) {}},
      {"ChatterSounds=false", [](auto& s) { s.ChatterSounds = false; }},
      {"ChatterSounds=no", [](auto&) {}},
      {"SpeakEvents=true", [](auto& s) { s.SpeakEvents = true; }},
      {"SpeakEvents=yes", [](auto&) {}},
      {"SpeakChatter=false", [](auto& s) { s.SpeakChatter = false; }},
      {"Unhurried=true", [](auto& s) { s.Unhurried = true; }},
      {"Turnsound=1", [](auto& s) { s.Turnsound = TurnSound::New; }},
      {"Computer=expert", [](auto& s) { s.Computer = ComputerStrength::Expert; }},
      {"Computer=Easy", [](auto& s) { s.Computer = ComputerStrength::Easy; }},
      {"Computer=hard", [](auto&) {}},
      {"Computer=", [](auto&) {}},
      {"Turnsound=2", [](auto& s) { s.Turnsound = TurnSound::Default; }},
      {"Turnsound=x", [](auto&) {}},
      {"Turnsound=02", [](auto&) {}},
      {"turnsound = 2 ", [](auto& s) { s.Turnsound = TurnSound::Default; }},
      {"Textsize=9", [](auto& s) { s.Textsize = 9; }},
      {"Textsize=big", [](auto&) {}},
      {"Textsize=12.5", [](auto&) {}},
      {"Textsize=0", [](auto&) {}},
      {"Textsize=99999999999", [](auto&) {}},
      {"Textcolor=$00FF0000", [](auto& s) { s.Textcolor = "$00FF0000"; }},
      {"Textcolor=\"clNavy\"", [](auto& s) { s.Textcolor = "clNavy"; }},
      {"Top=-20", [](auto& s) { s.Top = -20; }},
      {"Left=40 ; moved", [](auto&) {}},
      {"Width=+1024", [](auto& s) { s.Width = 1024; }},
      {"Height=", [](auto&) {}},
      {"Height=2147483648", [](auto&) {}},
      {"Tiles=", [](auto&) {}},
      {"Tiles=Wood", [](auto& s) { s.Tiles = "Wood"; }},
      {"Tiles=CLASSIC", [](auto& s) { s.Tiles = "CLASSIC"; }},
      {"Phrase3=", [](auto&) {}},
      {"Phrase9=GG all", [](auto& s) { s.Phrase[8] = "GG all"; }},
      // The game start values are held within the dialog's ranges; a value that is no
      // whole number leaves the dialog's own value (500, 60, 1 at creation).
      {"Playtoscore=50", [](auto& s) { s.Playtoscore = 100; }},
      {"Playtoscore=10000", [](auto& s) { s.Playtoscore = 10000; }},
      {"Playtoscore=99999999999999999999999", [](auto& s) { s.Playtoscore = 10000; }},
      {"Playtoscore=", [](auto& s) { s.Playtoscore = 500; }},
      {"Playtoscore=abc", [](auto& s) { s.Playtoscore = 500; }},
      {"Playtoscore=12.5", [](auto& s) { s.Playtoscore = 500; }},
      {"Creationtime=200", [](auto& s) { s.Creationtime = 120; }},
      {"Creationtime=-5", [](auto& s) { s.Creationtime = 30; }},
      {"Shuffles=9", [](auto& s) { s.Shuffles = 5; }},
      {"Shuffles=0", [](auto& s) { s.Shuffles = 0; }},
  };
  TempDir dir;
  const ClientSettings empty = LoadedFrom(dir, "[ZanduPelix]\r\n");
  for (const auto& c : cases) {
    ClientSettings expected = empty;
    c.expect(expected);
    EXPECT_TRUE(LoadedFrom(dir, std::string("[ZanduPelix]\r\n") + c.line + "\r\n") == expected)
        << c.line;
  }
}

TEST(Settings, OnlyClassicInAnyCaseIsTheBuiltInTileSet) {
  const std::pair<const char*, bool> cases[] = {{"classic", false},
                                                {"CLASSIC", false},
                                                {"Classic", false},
                                                {"classic2", true},
                                                {"wood", true}};
  ClientSettings settings;
  for (const auto& [name, loads] : cases) {
    settings.Tiles = name;
    EXPECT_EQ(settings.LoadsTileSet(), loads) << name;
  }
}

TEST(Settings, NothingIsWrittenBeforeTheFileWasRead) {
  TempDir dir;
  ClientSettings settings;
  settings.Playsounds = false;  // toggled while still connecting
  SettingsFile missing{ProfileFile(dir / "missing.ini")};
  EXPECT_EQ(missing.saveinifile(settings), std::nullopt);
  EXPECT_FALSE(fs::exists(missing.Path()));

  const std::string before = "[ZanduPelix]\r\nPlaysounds=true\r\n";
  Put(dir / "qelmlobby.ini", before);
  SettingsFile file{ProfileFile(dir / "qelmlobby.ini")};
  EXPECT_EQ(file.saveinifile(settings), std::nullopt);
  EXPECT_EQ(Slurp(file.Path()), before);
  // The reading at login replaces the value changed in memory.
  file.loadinifile(settings);
  EXPECT_TRUE(settings.Playsounds);
}

TEST(Settings, SavingWritesEveryKeyButThePhrasesInOrder) {
  TempDir dir;
  SettingsFile file{ProfileFile(dir / "qelmlobby.ini")};
  ClientSettings settings;
  file.loadinifile(settings);
  settings.Textsize = 12;
  settings.Textcolor = "clNavy";
  settings.Phrase[0] = "not written here";
  settings.Playtoscore = 750;
  settings.Creationtime = 45;
  settings.Shuffles = 3;
  settings.Tiles = "wood";
  settings.Top = -4;
  settings.Left = 100;
  settings.Width = 1000;
  settings.Height = 700;
  settings.Turnsound = TurnSound::Default;
  settings.Playsounds = false;
  settings.Postwordsinchatbox = true;
  settings.ChatterSounds = false;
  settings.Computer = ComputerStrength::Strong;
  settings.SpeakEvents = true;
  settings.SpeakChatter = false;
  settings.Unhurried = true;
  ASSERT_EQ(file.saveinifile(settings), std::nullopt);
  EXPECT_EQ(Slurp(file.Path()),
            "[ZanduPelix]\r\nTextsize=12\r\nTextcolor=clNavy\r\nPlaytoscore=750\r\n"
            "Creationtime=45\r\nShuffles=3\r\nTiles=wood\r\nTop=-4\r\nLeft=100\r\nWidth=1000\r\n"
            "Height=700\r\nTurnsound=2\r\nPlaysounds=false\r\nPostwordsinchatbox=true\r\n"
            "ChatterSounds=false\r\nComputer=strong\r\nSpeakEvents=true\r\nSpeakChatter="
            "false\r\nUnhurried=true\r\n");

  // The next run reads back what was saved.
  SettingsFile next{ProfileFile(file.Path())};
  ClientSettings reread;
  next.loadinifile(reread);
  settings.Phrase[0].clear();
  EXPECT_TRUE(reread == settings);
}

TEST(Settings, ThePhraseEditorWritesTheNinePhrases) {
  TempDir dir;
  const std::string before = "[ZanduPelix]\r\nPhrase3=Old\r\nTop=9\r\n[Lobby]\r\nX=1\r\n";
  Put(dir / "qelmlobby.ini", before);
  const SettingsFile file{ProfileFile(dir / "qelmlobby.ini")};  // not read: phrases go anyway
  ASSERT_EQ(file.savephrases({"a", "b", "", "d", "e", "f", "g", "h", "i"}), std::nullopt);
  EXPECT_EQ(Slurp(file.Path()),
            "[ZanduPelix]\r\nPhrase3=\r\nTop=9\r\nPhrase1=a\r\nPhrase2=b\r\nPhrase4=d\r\n"
            "Phrase5=e\r\nPhrase6=f\r\nPhrase7=g\r\nPhrase8=h\r\nPhrase9=i\r\n[Lobby]\r\nX=1\r\n");
}

TEST(Settings, AFileThatCannotBeWrittenIsReported) {
  TempDir dir;
  Put(dir / "plain", "x");
  SettingsFile file{ProfileFile(dir / "plain" / "qelmlobby.ini")};
  ClientSettings settings;
  file.loadinifile(settings);
  EXPECT_NE(file.saveinifile(settings), std::nullopt);
  EXPECT_NE(file.savephrases({}), std::nullopt);
  EXPECT_EQ(std::string(kUnableToWrite) + file.Path().string(),
            "Unable to write to " + (dir.path() / "plain" / "qelmlobby.ini").string());
}

struct FolderCase {
  const char* name;
  bool folder_writable;
  bool file_exists;
  bool file_writable;
  bool per_user;  // the per-user file is the one written
};

TEST(Settings, WhereTheFileLives) {
  const FolderCase cases[] = {
      {"writable folder, no file yet", true, false, false, false},
      {"writable folder and file", true, true, true, false},
      {"read-only file in a writable folder", true, true, false, true},
      {"read-only folder, no file", false, false, false, true},
      {"read-only install with a shipped file", false, true, false, true},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const fs::path program = dir / "bin";
    const fs::path user = dir / "user";
    fs::create_directory(program);
    if (c.file_exists) Put(program / "qelmlobby.ini", "[ZanduPelix]\r\n");
    const auto writable = [&](const fs::path& path) {
      return path == program ? c.folder_writable : c.file_writable;
    };
    const ProfileFile file = ChooseSettingsFile(program, user, writable);
    EXPECT_EQ(file.Path(), (c.per_user ? user : program) / "qelmlobby.ini") << c.name;
    const bool seeded = c.per_user && c.file_exists;
    EXPECT_EQ(file.Shipped(), seeded ? program / "qelmlobby.ini" : fs::path()) << c.name;
  }

  // With the real test of the folders.
  TempDir dir;
  EXPECT_EQ(ChooseSettingsFile(dir.path(), dir / "user").Path(), dir / "qelmlobby.ini");
  EXPECT_EQ(ChooseSettingsFile(dir / "gone", dir / "user").Path(), dir / "user" / "qelmlobby.ini");
  // No per-user folder to turn to: the program's folder it is.
  EXPECT_EQ(ChooseSettingsFile(dir / "gone", "").Path(), dir / "gone" / "qelmlobby.ini");
}

TEST(Settings, AReadOnlyInstallKeepsItsChoicesPerUser) {
  TempDir dir;
  const fs::path program = dir / "bin";
  fs::create_directory(program);
  const std::string shipped =
      "[Lobby]\r\nPath=C:\\x\r\n[ZanduPelix]\r\nTiles=wood\r\nTextsize=12\r\n";
  Put(program / "qelmlobby.ini", shipped);
  const auto read_only = [](const fs::path&) { return false; };

  SettingsFile file(ChooseSettingsFile(program, dir / "user" / "app", read_only));
  ClientSettings settings;
  file.loadinifile(settings);
  EXPECT_EQ(settings.Tiles, "wood");
  EXPECT_EQ(settings.Textsize, 12);
  settings.Textsize = 14;
  ASSERT_EQ(file.saveinifile(settings), std::nullopt);
  EXPECT_EQ(Slurp(program / "qelmlobby.ini"), shipped);
  // The copy keeps what the shipped file held for other programs.
  EXPECT_EQ(Slurp(file.Path()).rfind("[Lobby]\r\nPath=C:\\x\r\n[ZanduPelix]\r\n", 0), 0u);

  SettingsFile next(ChooseSettingsFile(program, dir / "user" / "app", read_only));
  ClientSettings reread;
  next.loadinifile(reread);
  EXPECT_EQ(reread.Textsize, 14);
  EXPECT_EQ(reread.Tiles, "wood");
}

}  // namespace
}  // namespace zp::client
