#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

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
// or the cancel of every message, also of one the voice stopped or replaced. Its number comes
// back from the call that said the text and its reports on threads of their own, so a short
// text's end may be reported before its number is known.
class ServiceMessages {
 public:
  // The service's number for the text just sent; below 0 when it refused it. True when the
  // text is over already: refused, or its end reported first.
  bool said(int message) {
    current_ = message;
    if (message < 0) return true;
    newest_ = std::max(newest_, message);
    if (std::erase(early_, message) == 0) return false;
    current_ = -1;
    return true;
  }
  void stopped() { current_ = -1; }
  // The number of a text stopped before its number came back: its reports end nothing.
  void numberedAfterStop(int message) {
    newest_ = std::max(newest_, message);
    std::erase(early_, message);
  }
  // A report on `message`: true when it ends the current text (once).
  bool ends(int message) {
    if (current_ >= 0 && message == current_) {
      current_ = -1;
      return true;
    }
    // A number not handed out yet is a text on its way back; older ones were stopped.
    if (message > newest_) {
      early_.push_back(message);
      if (early_.size() > kEarlyKept) early_.erase(early_.begin());
    }
    return false;
  }

 private:
  static constexpr std::size_t kEarlyKept = 8;
  int current_ = -1;
  int newest_ = -1;
  std::vector<int> early_;
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
