#include "directory/registrar.h"

#include <algorithm>

#include "net/dispatch.h"
#include "net/host_port.h"

namespace zp::directory {

Registrar::Registrar(RegistrarShell& shell, std::string directory, int port, net::TableInfo info,
                     std::optional<net::Visibility> visibility)
    : shell_(shell),
      directory_(std::move(directory)),
      port_(port),
      info_(std::move(info)),
      visibility_(visibility) {}

void Registrar::start() {
  if (state_ == State::kIdle) connectNow();
}

void Registrar::connectNow() {
  state_ = State::kConnecting;
  seconds_ = 0;
  reader_.reset();
  sent_.clear();
  askedToBeReached_ = false;
  shell_.connect();
}

void Registrar::update(const net::TableInfo& info) {
  info_ = info;
  if (state_ == State::kConnected) send();
}

void Registrar::send() {
  std::string registration = net::to_directory::registertable({port_, info_});
  // Unchanged information waits for the refresh.
  if (registration == sent_ && seconds_ < kRefreshSeconds) return;
  // Before the first registration: the directory then knows how to list it.
  if (!askedToBeReached_ && visibility_)
    shell_.send(net::to_directory::reachme({port_, *visibility_}));
  askedToBeReached_ = true;
  shell_.send(registration);
  sent_ = std::move(registration);
  seconds_ = 0;
}

void Registrar::tick() {
  ++seconds_;
  switch (state_) {
    case State::kConnected:
      send();
      break;
    case State::kConnecting:
      if (seconds_ >= kConnectSeconds) {
        shell_.abort();
        lost();
      }
      break;
    case State::kWaiting:
      if (seconds_ >= retryDelay_) {
        retryDelay_ = std::min(retryDelay_ * 2, kLastRetrySeconds);
        connectNow();
      }
      break;
    case State::kIdle:
    case State::kWithdrawn:
      break;
  }
}

void Registrar::connected() {
  if (state_ != State::kConnecting) return;
  state_ = State::kConnected;
  seconds_ = 0;
  down_ = false;
  send();
}

void Registrar::lost() {
  if (state_ != State::kConnecting && state_ != State::kConnected) return;
  // Once per outage, not at every try while the directory is away.
  if (!down_) {
    shell_.report((state_ == State::kConnected ? "Lost the connection to the directory "
                                               : "Cannot reach the directory ") +
                  directory_ + "; trying again in " + std::to_string(retryDelay_) + " s");
  }
  down_ = true;
  listedAt_.clear();
  reach_ = net::Reach::kChecking;
  state_ = State::kWaiting;
  seconds_ = 0;
}

void Registrar::bytesReceived(std::string_view bytes) {
  if (state_ != State::kConnected) return;
  reader_.feed(bytes, [this](std::string&& message) { handle(message); });
}

void Registrar::handle(std::string_view message) {
  const net::SplitMessage split = net::splitMessage(message);
  if (split.command == net::cmd::registered) {
    const auto m = net::from_directory::parseRegistered(split.args);
    if (!m || m->port != port_) return;
    retryDelay_ = kFirstRetrySeconds;
    lastRefusal_.clear();
    const std::string at = net::hostPortText({m->address, static_cast<std::uint16_t>(m->port)});
    if (at != listedAt_) shell_.report("Listed by the directory " + directory_ + " as " + at);
    listedAt_ = at;
  } else if (split.command == net::cmd::reach) {
    const auto m = net::from_directory::parseReach(split.args);
    if (!m || m->port != port_) return;
    if (m->code != code_) {
      code_ = m->code;
      shell_.inviteCode(code_);
    }
    if (m->reach == reach_) return;
    reach_ = m->reach;
    const std::string code = code_.empty() ? ""
                                           : "; invite code " + net::inviteCodeText(code_) +
                                                 " (join with " + code_ + "@" + directory_ + ")";
    const std::string port = std::to_string(port_);
    switch (reach_) {
      case net::Reach::kDirect:
        shell_.report("The directory " + directory_ + " reaches the table on port " + port + code);
        break;
      case net::Reach::kRelayed:
        shell_.report("The directory " + directory_ + " cannot reach the table on port " + port +
                      " and relays its players" + code);
        break;
      case net::Reach::kUnreachable:
        shell_.report("The directory " + directory_ + " cannot reach the table on port " + port +
                      " and relays nothing");
        break;
      case net::Reach::kChecking:
        break;
    }
  } else if (split.command == net::cmd::relayopen) {
    const auto m = net::from_directory::parseRelayOpen(split.args);
    if (m && m->port == port_) shell_.openRelay(m->relayPort, m->ticket);
  } else if (split.command == net::cmd::refused) {
    const auto m = net::from_directory::parseRefused(split.args);
    if (!m || (m->port != 0 && m->port != port_)) return;
    listedAt_.clear();
    // The reason is the directory's own text: whatever it holds, it moves no terminal.
    if (m->reason != lastRefusal_)
      shell_.report("The directory " + directory_ +
                    " refused the table: " + net::escapedForLog(m->reason));
    lastRefusal_ = m->reason;
  }
}

bool Registrar::withdraw() {
  const bool sent = state_ == State::kConnected;
  if (sent)
    shell_.send(net::to_directory::withdrawtable({port_}));
  else if (state_ == State::kConnecting)
    shell_.abort();
  state_ = State::kWithdrawn;
  return sent;
}

}  // namespace zp::directory
