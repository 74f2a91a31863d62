#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "client/profile.h"
#include "rules/computer_strength.h"

namespace zp::client {

inline constexpr std::string_view kSettingsFileName = "qelmlobby.ini";
// The game key names the section.
inline constexpr std::string_view kSettingsSection = "ZanduPelix";
// Shown with the file's full path when a write fails.
inline constexpr std::string_view kUnableToWrite = "Unable to write to ";

// Options > Turn Sound; the numbers are the ones stored in the file.
enum class TurnSound { Classic = 0, New = 1, Default = 2 };

// The user's choices kept in the settings file. The initial values are the program's state
// before the file is read (chat text size 10, chatter sounds off, the game start dialog's
// values at creation); loadinifile replaces them with the stored values or, for missing
// keys, the file's defaults.
struct ClientSettings {
  int Textsize = 10;
  // A colour token; turning it into a colour (an unreadable one gives black) is the chat's.
  std::string Textcolor = "clBlack";
  // Phrase k + 1 as stored; empty: phrase button k + 1 keeps its own phrase.
  std::array<std::string, 9> Phrase;
  bool Playsounds = true;
  bool Postwordsinchatbox = false;
  // The game start dialog's number fields.
  int Playtoscore = 500;
  int Creationtime = 60;
  int Shuffles = 1;
  // The computer player's strength at a table this window hosts.
  ComputerStrength Computer = ComputerStrength::Classic;
  std::string Tiles = "classic";
  // The remembered window bounds.
  int Top = 3;
  int Left = 3;
  int Width = 790;
  int Height = 580;
  TurnSound Turnsound = TurnSound::Classic;
  bool ChatterSounds = false;
  // Options > Speak Events: the table's events said aloud even when no screen reader runs;
  // Options > Speak Tobo's Chatter: the computer player's small talk among them.
  bool SpeakEvents = false;
  bool SpeakChatter = true;
  // The game start dialog's unhurried table: no turn limit, 20 seconds for the fall.
  bool Unhurried = false;

  // Whether Tiles names a set to load rather than the built-in pictures.
  bool LoadsTileSet() const;
  // Whether Options > Text Size has an item for the size (8, 10, 12, 14).
  static bool HasTextSizeItem(int size);

  bool operator==(const ClientSettings&) const = default;
};

// The ranges of the game start dialog's number fields.
struct FieldRange {
  int min;
  int max;
};
inline constexpr FieldRange kPlaytoscoreRange{100, 10000};
inline constexpr FieldRange kCreationtimeRange{30, 120};
inline constexpr FieldRange kShufflesRange{0, 5};

// The settings section of one settings file, and whether it was read in this run: nothing
// is written before that, so a value changed while still connecting cannot overwrite the
// stored ones.
//
//   SettingsFile file(ChooseSettingsFile(appDir, appDataDir));
//   file.loadinifile(settings);                     // at the own login
//   if (auto error = file.saveinifile(settings))    // after each change
//     showError(std::string(kUnableToWrite) + file.Path().string());
class SettingsFile {
 public:
  explicit SettingsFile(ProfileFile file) : file_(std::move(file)) {}

  const std::filesystem::path& Path() const { return file_.Path(); }
  bool WasRead() const { return read_; }

  // Reads every key of the section over `settings` and marks the settings as read. A value
  // that does not convert gives the key's default, except the game start values, which then
  // leave their field as it was (as does an empty one); numbers are held within the
  // dialog's ranges.
  void loadinifile(ClientSettings& settings);
  // Writes every key but the phrases, in a fixed order; does nothing until loadinifile ran.
  // Returns an error text, or nothing on success.
  std::optional<std::string> saveinifile(const ClientSettings& settings) const;
  // What a host starts its games with, chosen before the game runs (the lobby's Host a
  // Table): the three keys alone, whether or not the file was read.
  struct GameStartOptions {
    int playTo = 500;
    int seconds = 60;
    ComputerStrength computer = ComputerStrength::Classic;
    bool unhurried = false;  // no limit on the turn
    bool operator==(const GameStartOptions&) const = default;
  };
  GameStartOptions readGameStartOptions() const;
  std::optional<std::string> saveGameStartOptions(const GameStartOptions& options) const;
  // The phrase editor's Done: Phrase1 ... Phrase9, whether or not the file was read.
  std::optional<std::string> savephrases(const std::array<std::string, 9>& phrases) const;

 private:
  ProfileFile file_;
  bool read_ = false;
};

// Whether this process may write to the file or into the folder.
bool IsWritable(const std::filesystem::path& path);

// The settings file: the one in the program's folder while that can be written (the folder
// can, and the file is missing or can be written too); otherwise the one in the per-user
// data folder, created on the first write. In that case a file shipped in the program's
// folder is read until the per-user file exists, and the first write starts from a copy of
// it, so its values and any other program's sections are kept.
ProfileFile ChooseSettingsFile(
    const std::filesystem::path& program_folder, const std::filesystem::path& user_folder,
    const std::function<bool(const std::filesystem::path&)>& writable = IsWritable);

}  // namespace zp::client
