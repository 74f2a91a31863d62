#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "client/announcer.h"

namespace zp::client {

// What really speaks: the desktop's speech service through its client library, built as a
// module of its own that the voice loads at the first text, so a player who never hears the
// game pays nothing for it at start.
class SpeechEngine : public QObject {
 public:
  using QObject::QObject;
  // False when the machine has no speech engine (or it broke): nothing is said.
  virtual bool works() = 0;
  virtual void say(const QString& text, Urgency urgency) = 0;
  virtual void stop() = 0;
};

// Which of the speech service's reports ends the text being said. The service reports the end
// or the cancel of every message, also of one the voice stopped or replaced, and a report
// comes after the call that said the text has returned.
class ServiceMessages {
 public:
  // The service's number for the text just sent; below 0 when it refused it.
  void said(int message) { current_ = message; }
  void stopped() { current_ = -1; }
  // A report on `message`: true when it ends the current text (once).
  bool ends(int message) {
    if (current_ < 0 || message != current_) return false;
    current_ = -1;
    return true;
  }

 private:
  int current_ = -1;
};

// The module's one entry point: an engine whose parent is `parent`, which calls `finished`
// each time it is done saying a text.
using MakeSpeechEngine = SpeechEngine* (*)(QObject* parent, std::function<void()> finished);
inline constexpr const char* kMakeSpeechEngine = "zp_make_speech_engine";

// The announcer's voice in the window. Says one text at a time and tells the announcer when
// it is done; a machine without a speech engine, or an engine that never reports back, never
// holds the game: the next text comes all the same.
class SpeechVoice : public QObject, public Voice {
  Q_OBJECT

 public:
  // `finished` is the announcer's finished(); `make` replaces the module (tests).
  explicit SpeechVoice(std::function<void()> finished, QObject* parent = nullptr,
                       MakeSpeechEngine make = nullptr);

  // Another engine than the module's, taken at the next text not yet said by one (tests).
  void setEngineMaker(MakeSpeechEngine make) {
    make_ = make;
    asked_ = false;
  }

  void say(const std::string& text, Urgency urgency) override;
  void stop() override;

  // Whether the engine was looked for yet, and whether it works.
  bool engineAsked() const { return asked_; }
  bool engineWorks() const { return engine_ != nullptr; }
  const QString& lastSaid() const { return lastSaid_; }

  // The longest a text may take before the next one comes regardless.
  static int patienceMs(const QString& text);

 private:
  void done();
  SpeechEngine* engine();

  std::function<void()> finished_;
  MakeSpeechEngine make_;
  bool asked_ = false;
  SpeechEngine* engine_ = nullptr;  // a child of this object
  QTimer patience_;
  bool busy_ = false;
  QString lastSaid_;
};

}  // namespace zp::client
