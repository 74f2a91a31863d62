#include "settings.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <system_error>
#include <utility>
#include <vector>

namespace zp::client {
namespace {

// A decimal whole number with an optional sign, as the platform's conversion reads it.
// `magnitude` saturates at ULLONG_MAX.
bool ParseWhole(std::string_view text, bool& negative, unsigned long long& magnitude) {
  negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  const auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude);
  if (result.ec == std::errc::result_out_of_range) magnitude = ULLONG_MAX;
  return true;
}

std::optional<int> ToInt(std::string_view text) {
  bool negative = false;
  unsigned long long magnitude = 0;
  if (!ParseWhole(text, negative, magnitude)) return std::nullopt;
  const unsigned long long limit = negative ? 1ULL + INT_MAX : INT_MAX;
  if (magnitude > limit) return std::nullopt;
  return negative ? static_cast<int>(-static_cast<long long>(magnitude))
                  : static_cast<int>(magnitude);
}

// A game start value: a whole number is held within the field's range however large it
// is; anything else (an empty text too) leaves the field as it was.
void ApplyField(std::string_view text, FieldRange range, int& field) {
  bool negative = false;
  unsigned long long magnitude = 0;
  if (!ParseWhole(text, negative, magnitude)) return;
  const long long value = static_cast<long long>(std::min<unsigned long long>(magnitude, INT_MAX));
  field = static_cast<int>(std::clamp<long long>(negative ? -value : value, range.min, range.max));
}

const char* Bool(bool value) {
  return value ? "true" : "false";
}

std::string PhraseKey(std::size_t index) {
  return "Phrase" + std::to_string(index + 1);
}

}  // namespace

bool ClientSettings::LoadsTileSet() const {
  std::string lower = Tiles;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower != "classic";
}

bool ClientSettings::HasTextSizeItem(int size) {
  return size == 8 || size == 10 || size == 12 || size == 14;
}

void SettingsFile::loadinifile(ClientSettings& settings) {
  const ProfileText text = file_.Read();
  auto read = [&](std::string_view key, std::string_view fallback) {
    return text.ReadString(kSettingsSection, key, fallback);
  };
  // A size of zero or less would not show the chat at all.
  settings.Textsize = ToInt(read("Textsize", "8")).value_or(8);
  if (settings.Textsize <= 0) settings.Textsize = 8;
  settings.Textcolor = read("Textcolor", "clblack");
  for (std::size_t k = 0; k < settings.Phrase.size(); ++k) {
    settings.Phrase[k] = read(PhraseKey(k), "");
  }
  settings.Playsounds = read("Playsounds", "true") != "false";
  settings.Postwordsinchatbox = read("Postwordsinchatbox", "false") == "true";
  ApplyField(read("Playtoscore", "110"), kPlaytoscoreRange, settings.Playtoscore);
  ApplyField(read("Creationtime", "70"), kCreationtimeRange, settings.Creationtime);
  ApplyField(read("Shuffles", "1"), kShufflesRange, settings.Shuffles);
  settings.Tiles = read("Tiles", "classic");
  if (settings.Tiles.empty()) settings.Tiles = "classic";
  settings.Top = ToInt(read("Top", "3")).value_or(3);
  settings.Left = ToInt(read("Left", "3")).value_or(3);
  settings.Width = ToInt(read("Width", "790")).value_or(790);
  settings.Height = ToInt(read("Height", "580")).value_or(580);
  const std::string turn = read("Turnsound", "0");
  settings.Turnsound = turn == "1"   ? TurnSound::New
                       : turn == "2" ? TurnSound::Default
                                     : TurnSound::Classic;
  settings.ChatterSounds = read("ChatterSounds", "true") != "false";
  settings.Computer = parseComputerStrength(read("Computer", "classic"));
  settings.SpeakEvents = read("SpeakEvents", "false") == "true";
  settings.SpeakChatter = read("SpeakChatter", "true") != "false";
  settings.Unhurried = read("Unhurried", "false") == "true";
  read_ = true;
}

std::optional<std::string> SettingsFile::saveinifile(const ClientSettings& settings) const {
  if (!read_) return std::nullopt;
  return file_.WriteStrings(kSettingsSection,
                            {
                                {"Textsize", std::to_string(settings.Textsize)},
                                {"Textcolor", settings.Textcolor},
                                {"Playtoscore", std::to_string(settings.Playtoscore)},
                                {"Creationtime", std::to_string(settings.Creationtime)},
                                {"Shuffles", std::to_string(settings.Shuffles)},
                                {"Tiles", settings.Tiles},
                                {"Top", std::to_string(settings.Top)},
                                {"Left", std::to_string(settings.Left)},
                                {"Width", std::to_string(settings.Width)},
                                {"Height", std::to_string(settings.Height)},
                                {"Turnsound", std::to_string(static_cast<int>(settings.Turnsound))},
                                {"Playsounds", Bool(settings.Playsounds)},
                                {"Postwordsinchatbox", Bool(settings.Postwordsinchatbox)},
                                {"ChatterSounds", Bool(settings.ChatterSounds)},
                                {"Computer", std::string(computerStrengthName(settings.Computer))},
                                {"SpeakEvents", Bool(settings.SpeakEvents)},
                                {"SpeakChatter", Bool(settings.SpeakChatter)},
                                {"Unhurried", Bool(settings.Unhurried)},
                            });
}

SettingsFile::GameStartOptions SettingsFile::readGameStartOptions() const {
  ClientSettings read;
  SettingsFile copy(file_);
  copy.loadinifile(read);
  return {read.Playtoscore, read.Creationtime, read.Computer, read.Unhurried};
}

std::optional<std::string> SettingsFile::saveGameStartOptions(
    const GameStartOptions& options) const {
  return file_.WriteStrings(
      kSettingsSection,
      {{"Playtoscore",
        std::to_string(std::clamp(options.playTo, kPlaytoscoreRange.min, kPlaytoscoreRange.max))},
       {"Creationtime", std::to_string(std::clamp(options.seconds, kCreationtimeRange.min,
                                                  kCreationtimeRange.max))},
       {"Computer", std::string(computerStrengthName(options.computer))},
       {"Unhurried", Bool(options.unhurried)}});
}

std::optional<std::string> SettingsFile::savephrases(
    const std::array<std::string, 9>& phrases) const {
  std::vector<std::pair<std::string, std::string>> keys;
  for (std::size_t k = 0; k < phrases.size(); ++k) keys.emplace_back(PhraseKey(k), phrases[k]);
  return file_.WriteStrings(kSettingsSection, keys);
}

bool IsWritable(const std::filesystem::path& path) {
  return ::access(path.c_str(), W_OK) == 0;
}

ProfileFile ChooseSettingsFile(const std::filesystem::path& program_folder,
                               const std::filesystem::path& user_folder,
                               const std::function<bool(const std::filesystem::path&)>& writable) {
  const auto program_file = program_folder / kSettingsFileName;
  std::error_code ec;
  const bool shipped = std::filesystem::exists(program_file, ec);
  if (user_folder.empty() || (writable(program_folder) && (!shipped || writable(program_file)))) {
    return ProfileFile(program_file);
  }
  return ProfileFile(user_folder / kSettingsFileName,
                     shipped ? program_file : std::filesystem::path());
}

}  // namespace zp::client
