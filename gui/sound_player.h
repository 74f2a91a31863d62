#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <string_view>

class QSoundEffect;

namespace zp::client {

// The event sounds by the names the game asks for; the chatter sounds are wave1 to wave20.
inline constexpr std::array<std::string_view, 13> kEventSounds = {
    "badword", "clear",   "entered", "gameover", "goodword", "place",  "roundover",
    "shift",   "shuffle", "start",   "timer",    "turn",     "turnnew"};
inline constexpr int kChatterSounds = 20;
// Played for a name that has no sound, as the platform's own alert would be.
inline constexpr std::string_view kAlertSound = "alert";

// Plays the sounds carried as resources under ":/sounds/", one at a time: a new sound cuts
// off the one playing. Whether a sound should play at all (Play Sounds, Play Chatter Sounds)
// is the caller's decision. play() never waits for the audio system, and nothing asks the
// audio system anything before the first sound: a game that never plays one never starts it.
class SoundPlayer : public QObject {
  Q_OBJECT

 public:
  // Detect: play through the machine's audio output when it has one. Silent: never touch
  // the audio system, as on a machine without an output.
  enum class Output { Detect, Silent };

  explicit SoundPlayer(QObject* parent = nullptr);
  explicit SoundPlayer(Output output, QObject* parent = nullptr);
  ~SoundPlayer() override;

  // Starts the named sound (letter case ignored) and returns at once. The same sound asked
  // again starts again from its beginning.
  void play(std::string_view name);

  // The resource that play(name) plays: ":/sounds/<name>.wav", or the alert's.
  static QString resourceFor(std::string_view name);

  // Asks the audio system the first time (unless Silent), then answers the same.
  bool hasAudio() const;
  // Whether the audio system has been asked yet.
  bool audioAsked() const { return hasAudio_.has_value(); }
  // What play() was last asked and the resource it chose; kept with or without audio.
  const std::string& lastAsked() const { return lastAsked_; }
  const QString& lastPlayed() const { return lastPlayed_; }
  // How often play() was asked, and how often it really started a sound on the output.
  int playCount() const { return playCount_; }
  int startCount() const { return startCount_; }
  // Sounds loaded so far: each is loaded once, when first asked for.
  int loadedCount() const { return static_cast<int>(effects_.size()); }

 private:
  QSoundEffect* effectFor(const QString& resource);

  Output output_;
  mutable std::optional<bool> hasAudio_;
  QHash<QString, QSoundEffect*> effects_;  // children of this object
  QSoundEffect* current_ = nullptr;
  std::string lastAsked_;
  QString lastPlayed_;
  int playCount_ = 0;
  int startCount_ = 0;
};

}  // namespace zp::client
