#include "gui/sound_player.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSoundEffect>
#include <cctype>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zp::client {
namespace {

std::vector<std::string> gameSoundNames() {
  std::vector<std::string> names(kEventSounds.begin(), kEventSounds.end());
  for (int k = 1; k <= kChatterSounds; ++k) names.push_back("wave" + std::to_string(k));
  return names;
}

QString resourceOf(std::string_view name) {
  return ":/sounds/" + QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())) +
         ".wav";
}

struct WaveFormat {
  int tag = 0;
  int channels = 0;
  int rate = 0;
  int bits = 0;
  qint64 dataBytes = 0;
  double seconds() const { return double(dataBytes) / (double(rate) * channels * bits / 8); }
};

// Walks the RIFF chunks the way a strict reader does; nullopt for anything malformed.
std::optional<WaveFormat> readWave(const QByteArray& file) {
  if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "WAVE") {
    return std::nullopt;
  }
  // Byte by byte: the optimiser cannot tell that `at` stays inside the file.
  const auto byte = [&](qsizetype at) {
    return static_cast<quint32>(static_cast<uchar>(file[at]));
  };
  const auto u16 = [&](qsizetype at) { return static_cast<int>(byte(at) | byte(at + 1) << 8); };
  const auto u32 = [&](qsizetype at) {
    return static_cast<quint32>(u16(at)) | static_cast<quint32>(u16(at + 2)) << 16;
  };
  if (qint64(u32(4)) + 8 != file.size()) return std::nullopt;
  std::optional<WaveFormat> format;
  bool data = false;
  for (qsizetype at = 12; at + 8 <= file.size();) {
    const QByteArray id = file.mid(at, 4);
    const qint64 size = u32(at + 4);
    if (at + 8 + size > file.size()) return std::nullopt;
    if (id == "fmt " && size >= 16) {
      format = WaveFormat{u16(at + 8), u16(at + 10), int(u32(at + 12)), u16(at + 22), 0};
    } else if (id == "data" && format) {
      format->dataBytes = size;
      data = true;
    }
    at += 8 + size + (size & 1);
  }
  return data ? format : std::nullopt;
}

// The carried files: QSoundEffect plays PCM WAV only, so every sound must be one.
TEST(SoundResources, EveryGameSoundAndTheAlertIsAShortPcmWave) {
  std::vector<std::string> names = gameSoundNames();
  names.emplace_back(kAlertSound);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    QFile file(resourceOf(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<WaveFormat> wave = readWave(file.readAll());
    ASSERT_TRUE(wave.has_value());
    EXPECT_EQ(wave->tag, 1);  // PCM
    EXPECT_EQ(wave->channels, 1);
    EXPECT_EQ(wave->bits, 16);
    EXPECT_EQ(wave->rate, 22050);
    EXPECT_EQ(wave->dataBytes % 2, 0);
    EXPECT_GT(wave->seconds(), 0.03);
    EXPECT_LT(wave->seconds(), name.starts_with("wave") ? 2.5 : 1.0);
  }
}

TEST(SoundResources, NothingElseIsCarriedAndTheSetStaysSmall) {
  std::set<QString> expected;
  for (const std::string& name : gameSoundNames()) expected.insert(resourceOf(name).mid(9));
  expected.insert(resourceOf(kAlertSound).mid(9));
  std::set<QString> carried;
  qint64 bytes = 0;
  for (const QFileInfo& info : QDir(":/sounds").entryInfoList(QDir::Files)) {
    carried.insert(info.fileName());
    bytes += info.size();
  }
  EXPECT_EQ(carried, expected);
  // Every byte is compiled into the program.
  EXPECT_LT(bytes, 1'500'000);
}

// --- Which resource a name plays ---------------------------------------------------------

TEST(SoundPlayerNames, EveryGameSoundPlaysItsOwnResourceInAnyLetterCase) {
  for (const std::string& name : gameSoundNames()) {
    std::string upper = name;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(SoundPlayer::resourceFor(name), resourceOf(name));
    EXPECT_EQ(SoundPlayer::resourceFor(upper), resourceOf(name));
  }
}

TEST(SoundPlayerNames, OtherNamesPlayTheAlert) {
  const QString alert = resourceOf(kAlertSound);
  const std::string_view withNul("place\0", 6);
  for (const std::string_view name : {std::string_view(""),
                                      std::string_view("wave0"),
                                      std::string_view("wave21"),
                                      std::string_view("wave99"),
                                      std::string_view("wave07"),
                                      std::string_view("wave"),
                                      std::string_view("wave-1"),
                                      std::string_view("wave+1"),
                                      std::string_view("wave1x"),
                                      std::string_view("wave99999999999999999999"),
                                      std::string_view("../x"),
                                      std::string_view("../sounds/place"),
                                      std::string_view("place.wav"),
                                      std::string_view(" place"),
                                      std::string_view("place "),
                                      withNul,
                                      std::string_view("plac\xc3\xa9"),
                                      std::string_view("turn\xff"),
                                      std::string_view(":/sounds/place.wav"),
                                      std::string_view("bogus")}) {
    EXPECT_EQ(SoundPlayer::resourceFor(name), alert) << "name: " << name;
  }
}

// --- The player --------------------------------------------------------------------------

TEST(SoundPlayer, SilentPlayerRecordsWhatWasAskedAndTouchesNoAudio) {
  SoundPlayer player(SoundPlayer::Output::Silent);
  EXPECT_FALSE(player.hasAudio());
  player.play("WAVE7");
  EXPECT_EQ(player.lastAsked(), "WAVE7");
  EXPECT_EQ(player.lastPlayed(), ":/sounds/wave7.wav");
  player.play("../x");
  EXPECT_EQ(player.lastAsked(), "../x");
  EXPECT_EQ(player.lastPlayed(), ":/sounds/alert.wav");
  EXPECT_EQ(player.playCount(), 2);
  EXPECT_EQ(player.startCount(), 0);
  EXPECT_EQ(player.loadedCount(), 0);
  EXPECT_TRUE(player.findChildren<QSoundEffect*>().isEmpty());
}

// The player below looks for an output as the game does. The usual test machine has none,
// which is the path these tests are for; on a machine with speakers they would be heard, so
// they play through a real output (a PulseAudio null sink, say) only when asked to.
bool skipRealOutput(const SoundPlayer& player) {
  return player.hasAudio() && qEnvironmentVariableIsEmpty("ZP_TEST_AUDIO");
}
constexpr const char* kRealOutput = "this machine has an audio output; ZP_TEST_AUDIO=1 uses it";

// The window creates its player at start; asking the audio system then would start it (a
// connection and a thread) before the window shows, for a game that may never play a sound.
TEST(SoundPlayer, AsksTheAudioSystemOnlyAtTheFirstSound) {
  SoundPlayer player;
  EXPECT_FALSE(player.audioAsked());
  if (skipRealOutput(SoundPlayer())) GTEST_SKIP() << kRealOutput;
  player.play("place");
  EXPECT_TRUE(player.audioAsked());
  EXPECT_EQ(player.startCount(), player.hasAudio() ? 1 : 0);
  EXPECT_EQ(player.loadedCount(), player.hasAudio() ? 1 : 0);
}

TEST(SoundPlayer, SameSoundTwiceStartsTwiceAndLoadsOnce) {
  SoundPlayer player;
  if (skipRealOutput(player)) GTEST_SKIP() << kRealOutput;
  player.play("place");
  player.play("place");
  EXPECT_EQ(player.playCount(), 2);
  EXPECT_EQ(player.lastPlayed(), ":/sounds/place.wav");
  EXPECT_EQ(player.startCount(), player.hasAudio() ? 2 : 0);
  EXPECT_EQ(player.loadedCount(), player.hasAudio() ? 1 : 0);
  const QList<QSoundEffect*> effects = player.findChildren<QSoundEffect*>();
  ASSERT_EQ(effects.size(), player.hasAudio() ? 1 : 0);
  if (player.hasAudio()) {
    EXPECT_TRUE(effects.front()->isPlaying());
  }
}

TEST(SoundPlayer, NewSoundCutsOffTheOnePlayingAndUnknownNamesShareTheAlert) {
  SoundPlayer player;
  if (skipRealOutput(player)) GTEST_SKIP() << kRealOutput;
  player.play("wave6");
  player.play("goodword");
  player.play("wave99");
  player.play("nonsense");
  EXPECT_EQ(player.playCount(), 4);
  EXPECT_EQ(player.lastPlayed(), ":/sounds/alert.wav");
  if (!player.hasAudio()) {
    EXPECT_EQ(player.loadedCount(), 0);
    EXPECT_EQ(player.startCount(), 0);
    return;
  }
  EXPECT_EQ(player.loadedCount(), 3);
  int playing = 0;
  for (const QSoundEffect* effect : player.findChildren<QSoundEffect*>()) {
    const bool isAlert = effect->source().toString() == "qrc:/sounds/alert.wav";
    EXPECT_EQ(effect->isPlaying(), isAlert) << effect->source().toString().toStdString();
    playing += effect->isPlaying() ? 1 : 0;
  }
  EXPECT_EQ(playing, 1);
}

}  // namespace
}  // namespace zp::client
