#include "records/tally_table.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "records/lzrw1.h"
#include "test_util.h"
#include "tests/support/temp_dir.h"

namespace zp::records {
namespace {

using test::Bytes;
using test::ReadFile;
using zp::testing::TempDir;

// A game with two other seats, both tallied.
TallyTable TableWithAAndB() {
  TallyTable tally;
  tally.loadchecklist({"A", "<Waiting>", "B"});
  EXPECT_EQ(tally.CurrentPlayers().size(), 2u);
  tally.checklistClick(0);
  tally.checklistClick(1);
  EXPECT_EQ(tally.TalliedPlayers(), (std::vector<std::string>{"A", "B"}));
  return tally;
}

std::vector<std::string> Row(const TallyTable& tally, int row) {
  std::vector<std::string> cells;
  for (int c = 0; c < TallyTable::kColumns; ++c) cells.push_back(tally.Cell(c, row));
  return cells;
}

TEST(Tally, StartsWithAnOwnRowOfZeros) {
  TallyTable tally;
  EXPECT_EQ(tally.RowCount(), 1);
  EXPECT_EQ(Row(tally, 0), std::vector<std::string>(9, "0"));
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(tally.mylabel(i), "0");
  EXPECT_EQ(tally.savegrid(), "9\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
}

TEST(Tally, NothingCountsWhileTheCurrentGameListIsEmpty) {
  TallyTable tally;
  tally.anotherword(3);
  tally.addtomineset(4, "30", "quiz");
  tally.addgame("addtomine");
  EXPECT_EQ(tally.addit(1, 0), 0);
  EXPECT_EQ(Row(tally, 0), std::vector<std::string>(9, "0"));
  EXPECT_EQ(tally.mylabel(3), "0");
}

TEST(Tally, WordsAndTheBestWord) {
  TallyTable tally;
  tally.loadchecklist({"Tobo the bot"});
  tally.anotherword(3);
  tally.addtomineset(4, "12", "cat");
  tally.anotherword(3);
  tally.addtomineset(4, "12", "dog");  // equal points keep the older word
  EXPECT_EQ(tally.mylabel(3), "2");
  EXPECT_EQ(tally.mylabel(4), "cat (12)");
  tally.addtomineset(4, "x9", "bad");  // conversion errors are swallowed
  tally.addtomineset(4, "20", "zebra");
  EXPECT_EQ(tally.Cell(4, 0), "zebra");
  EXPECT_EQ(tally.Cell(5, 0), "20");
  EXPECT_EQ(tally.mylabel(4), "zebra (20)");
}

TEST(Tally, LocalWinAgainstTwoTalliedPlayers) {
  TallyTable tally = TableWithAAndB();
  tally.OnLoadChecklist = [&tally] { tally.loadchecklist({"A", "B"}); };
  tally.addgame("addtomine");
  EXPECT_EQ(tally.Cell(1, 0), "1");
  EXPECT_EQ(tally.Cell(2, 0), "1");
  EXPECT_EQ(tally.mylabel(1), "1");
  EXPECT_EQ(tally.mylabel(2), "1");
  for (int row : {1, 2}) {
    EXPECT_EQ(Row(tally, row), (std::vector<std::string>{row == 1 ? "A" : "B", "1", "0", "1", "0",
                                                         "1", "0", "1", "0"}));
  }
}

TEST(Tally, TalliedPlayerWinsWithAnotherPresent) {
  TallyTable tally = TableWithAAndB();
  tally.OnLoadChecklist = [&tally] { tally.loadchecklist({"A", "B"}); };
  tally.select(1);
  tally.addgame("A");
  EXPECT_EQ(tally.Cell(1, 0), "1");
  EXPECT_EQ(tally.Cell(2, 0), "0");
  EXPECT_EQ(Row(tally, 1), (std::vector<std::string>{"A", "1", "1", "0", "0", "1", "1", "0", "0"}));
  EXPECT_EQ(Row(tally, 2), (std::vector<std::string>{"B", "1", "0", "0", "1", "1", "0", "0", "1"}));
  // The selected player's labels follow.
  EXPECT_EQ(tally.label(1), "1");
  EXPECT_EQ(tally.label(4), "1");
  EXPECT_EQ(tally.label(8), "1");
  EXPECT_EQ(TallyTable::WinsCaption("B"), "B Wins:");
  EXPECT_EQ(TallyTable::TallyHeading("B"), "B's Tally");
}

TEST(Tally, EmptyCellsCountFromZero) {
  TallyTable tally = TableWithAAndB();
  tally.OnLoadChecklist = [&tally] { tally.loadchecklist({"A", "B"}); };
  tally.SetCell(3, 1, "");
  tally.SetCell(1, 1, "");
  tally.addgame("addtomine");
  EXPECT_EQ(tally.Cell(1, 1), "1");
  EXPECT_EQ(tally.Cell(3, 1), "1");
}

TEST(Tally, OnlyNewNamesStartATally) {
  TallyTable tally = TableWithAAndB();
  tally.loadchecklist({"A", "C"});
  EXPECT_TRUE(tally.CurrentPlayers()[0].checked);
  EXPECT_FALSE(tally.CurrentPlayers()[1].checked);
  tally.checklistClick(0);  // already tallied: nothing
  EXPECT_EQ(tally.RowCount(), 3);
  tally.checklistClick(1);
  EXPECT_EQ(Row(tally, 3), (std::vector<std::string>{"C", "0", "0", "0", "0", "0", "0", "0", "0"}));
}

TEST(Tally, RemovingRowsMovesLaterPlayersUp) {
  TallyTable tally;
  tally.loadchecklist({"A", "B", "C"});
  for (int i = 0; i < 3; ++i) tally.checklistClick(i);
  tally.SetCell(1, 3, "7");
  EXPECT_EQ(tally.UntallyQuestion(1), "This will delete B's Tally, Are you want to delete it?");
  tally.untally(1);
  EXPECT_EQ(tally.TalliedPlayers(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(tally.Cell(1, 2), "7");
  tally.untally(1);
  tally.untally(0);
  EXPECT_EQ(tally.RowCount(), 1);
  tally.moverow(0);  // the own row stays
  EXPECT_EQ(tally.RowCount(), 1);
}

TEST(Tally, ResetClearsEverything) {
  TallyTable tally = TableWithAAndB();
  tally.OnLoadChecklist = [&tally] { tally.loadchecklist({"A", "B"}); };
  tally.addtomineset(4, "15", "quiz");
  tally.addgame("addtomine");
  tally.select(0);
  tally.reset();
  EXPECT_EQ(tally.RowCount(), 1);
  EXPECT_TRUE(tally.TalliedPlayers().empty());
  for (int c = 1; c <= 5; ++c) EXPECT_EQ(tally.Cell(c, 0), "0");
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(tally.mylabel(i), "0");
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(tally.label(i), "0");
}

TEST(TallyText, CellsGoColumnByColumn) {
  TallyTable tally;
  tally.loadchecklist({"Ann"});
  tally.checklistClick(0);
  tally.SetCell(4, 0, "zebra");
  const std::string text = tally.savegrid();
  EXPECT_EQ(text.substr(0, 20), "9\r\n2\r\n0\r\nAnn\r\n0\r\n0\r\n");
  TallyTable copy;
  copy.loadgrid(text);
  EXPECT_EQ(copy.savegrid(), text);
  EXPECT_EQ(copy.Cell(4, 0), "zebra");
}

TEST(TallyText, ALineBreakInANameCannotShiftTheCells) {
  TallyTable tally;
  tally.loadchecklist({"two\r\nlines"});
  tally.checklistClick(0);
  TallyTable copy;
  copy.loadgrid(tally.savegrid());
  EXPECT_EQ(copy.TalliedPlayers(), (std::vector<std::string>{"two  lines"}));
}

TEST(TallyText, BadTextLeavesTheTableAsItWas) {
  for (const char* text : {"", "9\r\n", "x\r\n1\r\n", "8\r\n1\r\n", "9\r\n0\r\n",
                           "9\r\n2000000000\r\n0\r\n", "9\r\n2\r\n0\r\n0\r\n"}) {
    TallyTable tally;
    tally.SetCell(1, 0, "5");
    EXPECT_THROW(tally.loadgrid(text), TallyFormatError) << text;
    EXPECT_EQ(tally.Cell(1, 0), "5");
  }
}

TEST(TallyFile, FirstRunThenSaveAndRestart) {
  TempDir dir;
  const auto file = dir.path() / TallyFileName("ZanduPelix");
  EXPECT_EQ(file.filename(), "ZanduPelixtally.tld");
  TallyTable tally;
  EXPECT_FALSE(tally.LoadFile(file));
  tally.OnLoadChecklist = [&tally] { tally.loadchecklist({"A"}); };
  tally.loadchecklist({"A"});
  tally.checklistClick(0);
  tally.anotherword(3);
  tally.addtomineset(4, "9", "jam");
  tally.addgame("A");
  ASSERT_FALSE(tally.SaveFile(file));

  // The file is an LZRW1/KH container of the plain text, as other copies expect.
  Bytes packed = ReadFile(file);
  ASSERT_GE(packed.size(), 4u);
  EXPECT_EQ(std::string(packed.begin(), packed.begin() + 4), "WRZL");
  Tlzrw1 doit;
  doit.InputFile = file.string();
  doit.OutputFile = (dir.path() / "plain").string();
  doit.Decompress();
  const Bytes plain = ReadFile(dir.path() / "plain");
  EXPECT_EQ(std::string(plain.begin(), plain.end()), tally.savegrid());

  TallyTable restarted;
  EXPECT_FALSE(restarted.LoadFile(file));
  EXPECT_EQ(restarted.TalliedPlayers(), (std::vector<std::string>{"A"}));
  EXPECT_EQ(restarted.mylabel(1), "1");
  EXPECT_EQ(restarted.mylabel(3), "1");
  EXPECT_EQ(restarted.mylabel(4), "jam (9)");
  EXPECT_EQ(restarted.Cell(2, 1), "1");  // totals stay
  EXPECT_EQ(restarted.Cell(6, 1), "0");  // the session starts afresh
  // No scratch file is left anywhere near.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 2);  // the tally file and our "plain"
}

TEST(TallyFile, SavingKeepsTheFilesPermissions) {
  namespace fs = std::filesystem;
  TempDir dir;
  const auto file = dir.path() / "ZanduPelixtally.tld";
  TallyTable tally;
  ASSERT_FALSE(tally.SaveFile(file));
  EXPECT_EQ(fs::status(file).permissions(), fs::perms(0644)) << "a new file";
  // Neither the new file's nor a scratch file's own: whatever the player chose.
  for (const fs::perms chosen : {fs::perms(0640), fs::perms(0664), fs::perms(0604)}) {
    fs::permissions(file, chosen);
    tally.addgame("A");
    ASSERT_FALSE(tally.SaveFile(file));
    EXPECT_EQ(fs::status(file).permissions(), chosen);
  }
}

TEST(TallyFile, ARestartKeepsTheFourAllTimeColumnsAndZeroesOnlyTheSessionOnes) {
  TempDir dir;
  const auto file = dir.path() / "ZanduPelixtally.tld";
  TallyTable tally = TableWithAAndB();
  tally.OnLoadChecklist = [&tally] { tally.loadchecklist({"A", "B"}); };
  for (const std::string_view winner : {"A", "addtomine", "addtomine", "B", "B", "B"})
    tally.addgame(winner);
  // Games, their wins, the local user's wins, the others' wins: all time, then this session.
  ASSERT_EQ(Row(tally, 1), (std::vector<std::string>{"A", "6", "1", "2", "3", "6", "1", "2", "3"}));
  ASSERT_EQ(Row(tally, 2), (std::vector<std::string>{"B", "6", "3", "2", "1", "6", "3", "2", "1"}));
  ASSERT_FALSE(tally.SaveFile(file));

  TallyTable restarted;
  ASSERT_FALSE(restarted.LoadFile(file));
  EXPECT_EQ(Row(restarted, 1),
            (std::vector<std::string>{"A", "6", "1", "2", "3", "0", "0", "0", "0"}));
  EXPECT_EQ(Row(restarted, 2),
            (std::vector<std::string>{"B", "6", "3", "2", "1", "0", "0", "0", "0"}));
  restarted.select(0);
  for (int number = 1; number <= 8; ++number)
    EXPECT_EQ(restarted.label(number), Row(restarted, 1)[static_cast<std::size_t>(number)]);
}

TEST(TallyFile, ACorruptFileIsKeptAsideAndTheTallyStartsEmpty) {
  TempDir dir;
  const auto file = dir.path() / "ZanduPelixtally.tld";
  test::WriteFile(file, Bytes{'n', 'o', 'p', 'e', 1, 2, 3});
  TallyTable tally;
  const auto failure = tally.LoadFile(file);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->message,
            file.string() + " : Lzrw1 decompression : this file has no valid header !");
  EXPECT_EQ(failure->kept_as, dir.path() / "ZanduPelixtally.tld.bad");
  EXPECT_TRUE(failure->KeptAside());
  EXPECT_EQ(failure->Notice(), "The tally could not be read: " + failure->message +
                                   "\n\nThe file was kept as " + failure->kept_as.string() +
                                   ", and the tally starts empty.");
  EXPECT_EQ(ReadFile(failure->kept_as), (Bytes{'n', 'o', 'p', 'e', 1, 2, 3}));
  EXPECT_EQ(tally.RowCount(), 1);
  ASSERT_FALSE(tally.SaveFile(file));
  EXPECT_TRUE(std::filesystem::exists(failure->kept_as));

  // A good container of bad text is kept aside too; a second bad file gets its own name.
  const std::string bytes = test::PackFast("9\r\nlots\r\n");
  test::WriteFile(file, Bytes(bytes.begin(), bytes.end()));
  const auto second = tally.LoadFile(file);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->kept_as, dir.path() / "ZanduPelixtally.tld.bad2");
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(TallyFile, ABadFileThatCannotBeMovedAsideIsNeverSavedOver) {
  TempDir dir;
  const auto file = dir.path() / "ZanduPelixtally.tld";
  const Bytes bad{'n', 'o', 'p', 'e'};
  test::WriteFile(file, bad);
  // Every name it could be kept under is taken.
  test::WriteFile(dir.path() / "ZanduPelixtally.tld.bad", Bytes{'1'});
  for (int n = 2; n < 1000; ++n)
    test::WriteFile(dir.path() / ("ZanduPelixtally.tld.bad" + std::to_string(n)), Bytes{'1'});
  TallyTable tally;
  const auto failure = tally.LoadFile(file);
  ASSERT_TRUE(failure);
  EXPECT_FALSE(failure->KeptAside());
  EXPECT_TRUE(tally.SaveFile(file).has_value());
  EXPECT_EQ(ReadFile(file), bad);
}

TEST(TallyFile, NoScratchSpaceLeavesAGoodFileAloneAndUnsaved) {
  TempDir dir;
  const auto file = dir.path() / "ZanduPelixtally.tld";
  TallyTable tally = TableWithAAndB();
  ASSERT_FALSE(tally.SaveFile(file));
  const Bytes saved = ReadFile(file);

  const char* old = std::getenv("TMPDIR");
  const std::string kept = old ? old : "";
  ::setenv("TMPDIR", "/proc/self", 1);  // no scratch file can be made there
  TallyTable restarted;
  const auto failure = restarted.LoadFile(file);
  old ? ::setenv("TMPDIR", kept.c_str(), 1) : ::unsetenv("TMPDIR");

  ASSERT_TRUE(failure);
  EXPECT_FALSE(failure->KeptAside());
  EXPECT_NE(failure->Notice().find("left as it was"), std::string::npos) << failure->Notice();
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "ZanduPelixtally.tld.bad"));
  EXPECT_TRUE(restarted.SaveFile(file).has_value());
  EXPECT_EQ(ReadFile(file), saved);
}

TEST(TallyFile, ASaveThatFailsMidwayKeepsTheOldFile) {
  TempDir dir;
  const auto file = dir.path() / "ZanduPelixtally.tld";
  TallyTable old;
  old.loadchecklist({"A"});
  old.checklistClick(0);
  ASSERT_FALSE(old.SaveFile(file));
  const Bytes before = ReadFile(file);

  // A big table, saved by a child process whose files may not grow past 64 bytes: the
  // write fails as it would on a full disk.
  TallyTable big;
  big.loadchecklist({"x"});
  for (int i = 0; i < 500; ++i) {
    big.loadchecklist({"player" + std::to_string(i * 7919)});
    big.checklistClick(0);
  }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const auto error = big.SaveFile(file);
    ::_exit(error ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should have failed";
  EXPECT_EQ(ReadFile(file), before);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);  // no half-written file left beside it
  TallyTable reloaded;
  EXPECT_FALSE(reloaded.LoadFile(file));
  EXPECT_EQ(reloaded.TalliedPlayers(), (std::vector<std::string>{"A"}));
}

}  // namespace
}  // namespace zp::records
