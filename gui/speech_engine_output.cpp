// The voice's engine: the desktop's speech service (speech-dispatcher) through its own client
// library, the module the voice loads at the first text. A text in turn goes at the service's
// "message" priority, as the screen reader's texts do, and waits for the one being said; a
// text at once goes at "important", which cuts the screen reader short. Qt TextToSpeech sends
// "text", which the service drops or cuts off whenever the screen reader speaks.
#include <libspeechd.h>

#include <QPointer>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "gui/speech_voice.h"

namespace zp::client {
namespace {

class ServiceEngine;

// The service reports on a thread of its own and without a pointer of ours: the engines
// alive, to find the one a report is for.
std::mutex liveMutex;
std::vector<ServiceEngine*> live;

class ServiceEngine final : public SpeechEngine {
 public:
  ServiceEngine(QObject* parent, std::function<void()> finished)
      : SpeechEngine(parent), finished_(std::move(finished)) {
    char* error = nullptr;
    // The service starts on demand where the desktop lets it (autospawn), as for every client.
    connection_ = spd_open2("zandupelix", "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    std::free(error);
    if (connection_ == nullptr) return;
    connection_->callback_end = &report;
    connection_->callback_cancel = &report;
    spd_set_notification_on(connection_, SPD_END);
    spd_set_notification_on(connection_, SPD_CANCEL);
    client_ = static_cast<std::size_t>(spd_get_client_id(connection_));
    const std::lock_guard lock(liveMutex);
    live.push_back(this);
  }

  ~ServiceEngine() override {
    {
      const std::lock_guard lock(liveMutex);
      std::erase(live, this);
    }
    if (connection_ != nullptr) {
      spd_cancel(connection_);
      spd_close(connection_);
    }
  }

  bool works() override { return connection_ != nullptr; }

  void say(const QString& text, Urgency urgency) override {
    const SPDPriority priority = urgency == Urgency::kAtOnce ? SPD_IMPORTANT : SPD_MESSAGE;
    messages_.said(spd_say(connection_, priority, text.toUtf8().constData()));
  }

  void stop() override {
    messages_.stopped();
    spd_cancel(connection_);
  }

 private:
  static void report(std::size_t message, std::size_t client, SPDNotificationType) {
    const std::lock_guard lock(liveMutex);
    for (ServiceEngine* engine : live) {
      if (engine->client_ != client) continue;
      // Handled on the window's thread; a report for an engine gone by then is dropped.
      QMetaObject::invokeMethod(
          engine,
          [engine = QPointer<ServiceEngine>(engine), message] {
            if (engine && engine->messages_.ends(static_cast<int>(message))) engine->finished_();
          },
          Qt::QueuedConnection);
    }
  }

  std::function<void()> finished_;
  SPDConnection* connection_ = nullptr;
  std::size_t client_ = 0;
  ServiceMessages messages_;
};

}  // namespace
}  // namespace zp::client

extern "C" Q_DECL_EXPORT zp::client::SpeechEngine* zp_make_speech_engine(
    QObject* parent, std::function<void()> finished) {
  return new zp::client::ServiceEngine(parent, std::move(finished));
}
