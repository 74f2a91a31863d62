#include "gui/sound_player.h"

#include <algorithm>
#include <charconv>

#include "gui/late_module.h"

namespace zp::client {

namespace {

const QString kPrefix = QStringLiteral(":/sounds/");

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the lower-case name is one of the game's sounds. Only these names ever reach the
// resource system, so a name from the network cannot point anywhere else.
bool isSoundName(std::string_view name) {
  if (std::find(kEventSounds.begin(), kEventSounds.end(), name) != kEventSounds.end()) {
    return true;
  }
  constexpr std::string_view kWave = "wave";
  if (!name.starts_with(kWave)) return false;
  const std::string_view digits = name.substr(kWave.size());
  // "wave07" is not wave7: the names have no leading zeros.
  if (digits.empty() || digits.front() == '0') return false;
  int k = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), k);
  return error == std::errc() && end == digits.data() + digits.size() && k >= 1 &&
         k <= kChatterSounds;
}

// Found once for the program's life; without it the game plays silently.
MakeSoundOutput soundModule() {
  static const MakeSoundOutput make =
      gui::lateModuleEntry<MakeSoundOutput>(ZP_SOUND_MODULE_INSTALLED, ZP_SOUND_MODULE_BUILT,
                                            kMakeSoundOutput, "no sounds: the sound module");
  return make;
}

}  // namespace

SoundPlayer::SoundPlayer(QObject* parent) : SoundPlayer(Output::Detect, parent) {}

SoundPlayer::SoundPlayer(Output output, QObject* parent) : QObject(parent), output_(output) {
  if (output_ == Output::Silent) hasAudio_ = false;
}

// Without an output QSoundEffect still claims to be playing and warns for every sound, so the
// player does not use it at all; decided once, and not reported, as the game never reports a
// failing audio output. Asking starts the audio system (a connection and a thread of its own),
// which is why it waits for the first sound rather than holding up the window.
bool SoundPlayer::hasAudio() const {
  if (!hasAudio_) {
    if (const MakeSoundOutput make = soundModule()) sink_ = make(const_cast<SoundPlayer*>(this));
    hasAudio_ = sink_ && sink_->hasAudio();
  }
  return *hasAudio_;
}

SoundPlayer::~SoundPlayer() = default;

QString SoundPlayer::resourceFor(std::string_view name) {
  std::string lower(name.size(), '\0');
  std::transform(name.begin(), name.end(), lower.begin(), lowerAscii);
  const std::string_view found = isSoundName(lower) ? std::string_view(lower) : kAlertSound;
  return kPrefix + QString::fromLatin1(found.data(), static_cast<qsizetype>(found.size())) +
         QStringLiteral(".wav");
}

void SoundPlayer::play(std::string_view name) {
  lastAsked_.assign(name);
  lastPlayed_ = resourceFor(name);
  ++playCount_;
  if (!hasAudio()) return;

  sink_->play(lastPlayed_);
  ++startCount_;
}

}  // namespace zp::client
