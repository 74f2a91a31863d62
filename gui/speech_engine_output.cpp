// The voice's engine: the desktop's speech service (speech-dispatcher) through its own client
// library, the module the voice loads at the first text. A text in turn goes at the service's
// "message" priority, as the screen reader's texts do, and waits for the one being said; a
// text at once goes at "important", which cuts the screen reader short. Qt TextToSpeech sends
// "text", which the service drops or cuts off whenever the screen reader speaks.
//
// Every call into the library waits for the service's answer, and a service that accepted the
// connection but hangs never answers: the calls are made on a thread of the engine's own, so
// the window never waits on the service. The voice's patience moves the game's news on.
#include <libspeechd.h>

#include <QPointer>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "gui/speech_voice.h"

namespace zp::client {
namespace {

class ServiceEngine;

// What the engine hands its thread: the calls to make, in order, on the connection.
struct Calls {
  using Call = std::function<void(SPDConnection*)>;
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Call> waiting;
  bool closing = false;
  std::size_t client = 0;  // the service's number for the connection; set under liveMutex
};

// The service reports on a thread of its own and without a pointer of ours, and the engine's
// thread reports too: the engines alive, to find the one a report is for. An engine leaves
// the list under this lock, so a report posted under it never reaches a deleted engine. Never
// destroyed: a thread still waiting on the service may report while the program ends.
std::mutex& liveMutex = *new std::mutex;
std::vector<ServiceEngine*>& live = *new std::vector<ServiceEngine*>;

class ServiceEngine final : public SpeechEngine {
 public:
  ServiceEngine(QObject* parent, std::function<void()> finished)
      : SpeechEngine(parent), finished_(std::move(finished)), calls_(std::make_shared<Calls>()) {
    {
      const std::lock_guard lock(liveMutex);
      live.push_back(this);
    }
    // Detached: a thread stuck on a hung service must not hold the window's end either.
    std::thread(&ServiceEngine::serve, calls_).detach();
  }

  ~ServiceEngine() override {
    {
      const std::lock_guard lock(liveMutex);
      std::erase(live, this);
    }
    const std::lock_guard lock(calls_->mutex);
    calls_->closing = true;
    calls_->wake.notify_one();
  }

  bool works() override { return !broken_; }

  void say(const QString& text, Urgency urgency) override {
    if (broken_) return finishLater();
    const SPDPriority priority = urgency == Urgency::kAtOnce ? SPD_IMPORTANT : SPD_MESSAGE;
    const int number = ++texts_;
    call([priority, bytes = text.toUtf8(), number,
          calls = calls_.get()](SPDConnection* connection) {
      // The voice says one text at a time: whatever of ours the service still says when the
      // next comes (its end not reported yet) is over for the announcer, and goes.
      if (connection != nullptr) spd_cancel(connection);
      const int message =
          connection != nullptr ? spd_say(connection, priority, bytes.constData()) : -1;
      toEngine(calls, [message, number](ServiceEngine& engine) {
        // Stopped meanwhile: the voice has moved on, and this text's end is no news.
        if (number <= engine.stoppedUpTo_)
          engine.messages_.numberedAfterStop(message);
        else if (engine.messages_.said(message))
          engine.finished_();
      });
    });
  }

  void stop() override {
    messages_.stopped();
    stoppedUpTo_ = texts_;
    call([](SPDConnection* connection) {
      if (connection != nullptr) spd_cancel(connection);
    });
  }

 private:
  void call(Calls::Call c) {
    const std::lock_guard lock(calls_->mutex);
    calls_->waiting.push_back(std::move(c));
    calls_->wake.notify_one();
  }

  void finishLater() {
    QMetaObject::invokeMethod(
        this, [this] { finished_(); }, Qt::QueuedConnection);
  }

  // Runs `what` on the window's thread, if the engine that `calls` belongs to still lives.
  static void toEngine(Calls* calls, std::function<void(ServiceEngine&)> what) {
    const std::lock_guard lock(liveMutex);
    for (ServiceEngine* engine : live) {
      if (engine->calls_.get() != calls) continue;
      QMetaObject::invokeMethod(
          engine,
          [engine = QPointer<ServiceEngine>(engine), what = std::move(what)] {
            if (engine) what(*engine);
          },
          Qt::QueuedConnection);
    }
  }

  // The engine's thread: opens the connection, then makes the calls handed to it until the
  // engine closes.
  static void serve(std::shared_ptr<Calls> calls) {
    char* error = nullptr;
    // The service starts on demand where the desktop lets it (autospawn), as for every client.
    SPDConnection* connection =
        spd_open2("zandupelix", "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    std::free(error);
    if (connection != nullptr) {
      connection->callback_end = &report;
      connection->callback_cancel = &report;
      spd_set_notification_on(connection, SPD_END);
      spd_set_notification_on(connection, SPD_CANCEL);
      const auto client = static_cast<std::size_t>(spd_get_client_id(connection));
      const std::lock_guard lock(liveMutex);
      calls->client = client;
    } else {
      // No service: nothing will ever be said; the voice stops asking this engine.
      toEngine(calls.get(), [](ServiceEngine& engine) { engine.broken_ = true; });
    }
    for (;;) {
      Calls::Call next;
      {
        std::unique_lock lock(calls->mutex);
        calls->wake.wait(lock, [&] { return calls->closing || !calls->waiting.empty(); });
        if (calls->closing) break;
        next = std::move(calls->waiting.front());
        calls->waiting.pop_front();
      }
      next(connection);
    }
    if (connection != nullptr) {
      spd_cancel(connection);
      spd_close(connection);
    }
  }

  static void report(std::size_t message, std::size_t client, SPDNotificationType) {
    const std::lock_guard lock(liveMutex);
    for (ServiceEngine* engine : live) {
      if (engine->calls_->client != client) continue;
      QMetaObject::invokeMethod(
          engine,
          [engine = QPointer<ServiceEngine>(engine), message] {
            if (engine && engine->messages_.ends(static_cast<int>(message))) engine->finished_();
          },
          Qt::QueuedConnection);
    }
  }

  std::function<void()> finished_;
  std::shared_ptr<Calls> calls_;
  bool broken_ = false;
  ServiceMessages messages_;
  int texts_ = 0;        // the texts handed to the thread so far
  int stoppedUpTo_ = 0;  // the last of them the voice stopped
};

}  // namespace
}  // namespace zp::client

extern "C" Q_DECL_EXPORT zp::client::SpeechEngine* zp_make_speech_engine(
    QObject* parent, std::function<void()> finished) {
  return new zp::client::ServiceEngine(parent, std::move(finished));
}
