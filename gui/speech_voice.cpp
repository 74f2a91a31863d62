#include "gui/speech_voice.h"

#include <algorithm>

#include "gui/late_module.h"

namespace zp::client {
namespace {

// Found once for the program's life; without it the game is silent.
MakeSpeechEngine speechModule() {
  static const MakeSpeechEngine make =
      gui::lateModuleEntry<MakeSpeechEngine>(ZP_SPEECH_MODULE_INSTALLED, ZP_SPEECH_MODULE_BUILT,
                                             kMakeSpeechEngine, "no speech: the speech module");
  return make;
}

}  // namespace

SpeechVoice::SpeechVoice(std::function<void()> finished, QObject* parent, MakeSpeechEngine make)
    : QObject(parent), finished_(std::move(finished)), make_(make) {
  patience_.setSingleShot(true);
  QObject::connect(&patience_, &QTimer::timeout, this, [this] {
    if (engine_ != nullptr) engine_->stop();
    done();
  });
}

int SpeechVoice::patienceMs(const QString& text) {
  // A slow voice says about ten characters a second; a little more for the engine to start.
  return 2000 + 100 * static_cast<int>(std::min<qsizetype>(text.size(), 600));
}

SpeechEngine* SpeechVoice::engine() {
  if (asked_) return engine_;
  asked_ = true;
  const MakeSpeechEngine make = make_ != nullptr ? make_ : speechModule();
  if (make == nullptr) return nullptr;
  engine_ = make(this, [this] { done(); });
  if (engine_ != nullptr && !engine_->works()) {
    delete engine_;
    engine_ = nullptr;
  }
  return engine_;
}

void SpeechVoice::say(const std::string& text, Urgency urgency) {
  lastSaid_ = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  busy_ = true;
  if (SpeechEngine* e = engine()) {
    e->say(lastSaid_, urgency);
    patience_.start(patienceMs(lastSaid_));
    return;
  }
  // Nothing speaks: the announcer goes on once the event loop runs again, never inside the
  // call that announced.
  QMetaObject::invokeMethod(
      this, [this] { done(); }, Qt::QueuedConnection);
}

void SpeechVoice::stop() {
  busy_ = false;
  patience_.stop();
  if (engine_ != nullptr) engine_->stop();
}

void SpeechVoice::done() {
  // A stop, or a report that came after the patience ran out, is no news for the announcer.
  if (!busy_) return;
  busy_ = false;
  patience_.stop();
  if (finished_) finished_();
}

}  // namespace zp::client
