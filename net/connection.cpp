#include "net/connection.h"

#include <sys/socket.h>

#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace zp::net {
namespace {

// Taken from the network at one wake-up: a flooding peer is held back by TCP, not by our
// memory, and the loop gets back to drawing between its chunks.
constexpr int kChunksPerWake = 2;

// A peer that leaves is no error; its close is reported as such.
bool peerLeft(int error) {
  return error == ECONNRESET || error == EPIPE;
}

}  // namespace

// A name look-up waiting or under way, and the connection it answers while there is one.
struct GameConnection::PendingLookup {
  std::string name;
  quint16 port = 0;
  std::mutex mutex;
  GameConnection* owner = nullptr;

  void cancel() {
    const std::lock_guard lock(mutex);
    owner = nullptr;
  }
  bool cancelled() {
    const std::lock_guard lock(mutex);
    return owner == nullptr;
  }
  // On a look-up thread: asks the resolver, then tells the owner on its own thread.
  void answer(const std::shared_ptr<PendingLookup>& self) {
    QString error;
    std::vector<Endpoint> found = lookUpEndpoints(name, port, &error);
    // The owner cannot go while it is told: its destructor waits for the lock.
    const std::lock_guard lock(mutex);
    if (owner == nullptr) return;
    GameConnection* to = owner;
    QMetaObject::invokeMethod(
        to,
        [to, self, found = std::move(found), error]() mutable {
          if (to->lookup_ != self) return;
          to->lookup_.reset();
          to->lookedUp(std::move(found), error);
        },
        Qt::QueuedConnection);
  }
};

namespace {

using Lookup = std::shared_ptr<GameConnection::PendingLookup>;

// A few threads take the look-ups in turn: a lobby that asks hundreds of tables by name, some
// of which never answer, holds no more threads than this however long the resolver waits.
class LookupThreads {
 public:
  static constexpr int kMaxThreads = 8;

  // Lives as long as the threads that may still be finishing when the program ends.
  static LookupThreads& instance() {
    static auto* threads = new LookupThreads;
    return *threads;
  }

  // False when no thread is there to take it.
  bool add(Lookup lookup) {
    const std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(lookup));
    if (running_ < kMaxThreads) {
      try {
        std::thread([this] { run(); }).detach();
        ++running_;
      } catch (const std::system_error&) {
        if (running_ == 0) {
          waiting_.pop_back();
          return false;
        }
      }
    }
    return true;
  }

 private:
  void run() {
    for (;;) {
      Lookup next;
      {
        const std::lock_guard lock(mutex_);
        if (waiting_.empty()) {
          --running_;
          return;
        }
        next = std::move(waiting_.front());
        waiting_.pop_front();
      }
      if (!next->cancelled()) next->answer(next);
    }
  }

  std::mutex mutex_;
  std::deque<Lookup> waiting_;
  int running_ = 0;
};

}  // namespace

GameConnection::GameConnection(QObject* parent) : QObject(parent) {
  closeGrace_.setSingleShot(true);
  closeGrace_.setInterval(kCloseGraceMs);
  connect(&closeGrace_, &QTimer::timeout, this, &GameConnection::abort);
}

GameConnection::GameConnection(AcceptedSocket accepted, QObject* parent) : GameConnection(parent) {
  if (!accepted.socket.valid()) {
    state_ = State::Closed;
    QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
    return;
  }
  // What came before it was taken over waits in the system, and a peer already gone reads
  // as the end: both are seen at the first wake-up.
  watch(std::move(accepted.socket), State::Connected);
}

GameConnection::~GameConnection() {
  if (lookup_) lookup_->cancel();
  delete reader_;
  delete writer_;
}

void GameConnection::watch(SocketHandle socket, State state) {
  socket_ = std::move(socket);
  state_ = state;
  const auto fd = static_cast<qintptr>(socket_.fd());
  reader_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  writer_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
  reader_->setEnabled(state == State::Connected);
  // Writable once a connect has come through (or failed), and whenever the network takes more.
  writer_->setEnabled(state == State::Connecting);
  connect(reader_, &QSocketNotifier::activated, this, &GameConnection::readSome);
  connect(writer_, &QSocketNotifier::activated, this, [this] {
    if (state_ == State::Connecting)
      connectDone();
    else
      writeSome();
  });
}

void GameConnection::connectToHost(const QString& host, quint16 port) {
  if (state_ != State::Idle) return;
  state_ = State::LookingUp;
  info(kLookingUp);
  const std::string name = host.toStdString();
  if (std::vector<Endpoint> numeric = numericEndpoints(name, port); !numeric.empty()) {
    lookedUp(std::move(numeric), {});
    return;
  }
  auto lookup = std::make_shared<PendingLookup>();
  lookup->name = name;
  lookup->port = port;
  lookup->owner = this;
  lookup_ = lookup;
  if (!LookupThreads::instance().add(std::move(lookup))) {
    lookup_.reset();
    lookedUp({}, QStringLiteral("Host not found"));
  }
}

void GameConnection::lookedUp(std::vector<Endpoint> endpoints, const QString& error) {
  if (endpoints.empty()) {
    lastError_ = 0;
    emit OnInfo(QString::fromLatin1(kSocketError) + error);
    finish();
    return;
  }
  endpoints_ = std::move(endpoints);
  nextEndpoint_ = 0;
  state_ = State::Connecting;
  info(kConnecting);
  connectNext();
}

// Each address in turn until one answers; the last one's failure is the one reported.
void GameConnection::connectNext() {
  while (nextEndpoint_ < endpoints_.size()) {
    const Endpoint& endpoint = endpoints_[nextEndpoint_++];
    SocketHandle socket(
        ::socket(endpoint.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.valid()) {
      lastError_ = errno;
      continue;
    }
    const int result = ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&endpoint.address),
                                 endpoint.length);
    // Even a connect that came through at once is reported from the loop, as a slow one is.
    if (result == 0 || errno == EINPROGRESS) {
      watch(std::move(socket), State::Connecting);
      return;
    }
    lastError_ = errno;
  }
  failed(lastError_);
}

void GameConnection::connectDone() {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(socket_.fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  if (error == EINPROGRESS || error == EALREADY) return;
  if (error != 0) {
    lastError_ = error;
    unwatch();
    connectNext();
    return;
  }
  endpoints_.clear();
  lastError_ = 0;
  state_ = State::Connected;
  reader_->setEnabled(true);
  writer_->setEnabled(unsentBytes() > 0);
  info(kConnected);
}

bool GameConnection::send(std::string_view message) {
  if (!isOpen()) {
    info(kNotConnected);
    return false;
  }
  // A peer that stops reading would have everything sent to it pile up here.
  if (unsentBytes() > maxUnsent_) {
    info(kNotReading);
    abort();
    return false;
  }
  outgoing_.append(message);
  // Goes out from the loop, so a burst of messages leaves in few writes.
  writer_->setEnabled(true);
  return true;
}

void GameConnection::readSome() {
  static char buffer[kReadChunk];
  const QPointer<GameConnection> self(this);
  for (int chunk = 0; chunk < kChunksPerWake && state_ == State::Connected; ++chunk) {
    const ssize_t got = ::recv(socket_.fd(), buffer, sizeof buffer, 0);
    if (got > 0) {
      emit OnRead(QByteArray(buffer, static_cast<qsizetype>(got)));
      if (!self) return;  // its owner let it go while handling the bytes
      continue;
    }
    if (got == 0) {
      finish();
    } else if (errno == EINTR) {
      continue;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
      failed(errno);
    }
    return;
  }
}

void GameConnection::writeSome() {
  while (sent_ < outgoing_.size()) {
    const ssize_t put =
        ::send(socket_.fd(), outgoing_.data() + sent_, outgoing_.size() - sent_, MSG_NOSIGNAL);
    if (put > 0) {
      sent_ += static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    failed(put < 0 ? errno : EPIPE);
    return;
  }
  if (sent_ == outgoing_.size()) {
    outgoing_.clear();
    sent_ = 0;
    writer_->setEnabled(false);
    if (state_ == State::Closing) finish();
  } else if (sent_ >= outgoing_.size() / 2) {
    // What went out is let go before the rest grows behind it.
    outgoing_.erase(0, sent_);
    sent_ = 0;
  }
}

void GameConnection::close() {
  switch (state_) {
    case State::Connected:
      // Nothing more is read; what was sent goes out first.
      state_ = State::Closing;
      reader_->setEnabled(false);
      if (unsentBytes() == 0) {
        finish();
      } else {
        // A peer that reads nothing would keep what we sent, and this socket, for ever.
        closeGrace_.start();
      }
      break;
    case State::LookingUp:
    case State::Connecting:
      finish();
      break;
    case State::Closing:
      break;
    case State::Idle:
    case State::Closed:
      QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
      break;
  }
}

void GameConnection::abort() {
  if (state_ == State::Idle || state_ == State::Closed) {
    QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
    return;
  }
  finish();
}

void GameConnection::failed(int error) {
  lastError_ = error;
  if (!peerLeft(error)) emit OnInfo(QString::fromLatin1(kSocketError) + errorText(error));
  finish();
}

void GameConnection::unwatch() {
  // Possibly inside one of their own signals: they go once it has returned.
  for (QSocketNotifier* notifier : {reader_, writer_}) {
    if (notifier == nullptr) continue;
    notifier->setEnabled(false);
    notifier->deleteLater();
  }
  reader_ = nullptr;
  writer_ = nullptr;
  socket_.reset();
}

// The connection is over: the socket goes now, the report once the caller's work is done,
// so a sender going through its connections never sees one vanish under it.
void GameConnection::finish() {
  if (lookup_) {
    lookup_->cancel();
    lookup_.reset();
  }
  unwatch();
  endpoints_.clear();
  outgoing_.clear();
  sent_ = 0;
  closeGrace_.stop();
  state_ = State::Closed;
  QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
}

void GameConnection::ended() {
  if (closedReported_) return;
  closedReported_ = true;
  closeGrace_.stop();
  info(kSocketClosed);
}

}  // namespace zp::net
