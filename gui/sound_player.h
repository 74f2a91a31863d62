#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zp::client {

// The event sounds by the names the game asks for; the chatter sounds are wave1 to wave20.
inline constexpr std::array<std::string_view, 13> kEventSounds = {
    "badword", "clear",   "entered", "gameover", "goodword", "place",  "roundover",
    "shift",   "shuffle", "start",   "timer",    "turn",     "turnnew"};
inline constexpr int kChatterSounds = 20;
// Played for a name that has no sound, as the platform's own alert would be.
inline constexpr std::string_view kAlertSound = "alert";

// What really plays the sounds: Qt Multimedia, built as a module of its own that the player
// loads at the first sound, so a start pays neither for loading the library (and the sound
// server's and codecs' libraries it brings) nor for starting the audio system.
class SoundOutput : public QObject {
 public:
  using QObject::QObject;
  // Whether the machine has an audio output; asks the audio system.
  virtual bool hasAudio() = 0;
  // Starts the resource's sound from its beginning, cutting off any other; each resource is
  // loaded once, when first asked for.
  virtual void play(const QString& resource) = 0;
  virtual int loadedCount() const = 0;
};

// The module's one entry point: an output whose parent is `parent`.
using MakeSoundOutput = SoundOutput* (*)(QObject* parent);
inline constexpr const char* kMakeSoundOutput = "zp_make_sound_output";

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
  int loadedCount() const { return sink_ ? sink_->loadedCount() : 0; }

 private:
  Output output_;
  mutable std::optional<bool> hasAudio_;
  mutable SoundOutput* sink_ = nullptr;  // a child of this object, once the module is loaded
  std::string lastAsked_;
  QString lastPlayed_;
  int playCount_ = 0;
  int startCount_ = 0;
};

}  // namespace zp::client
