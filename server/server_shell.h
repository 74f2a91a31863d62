#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace zp::server {

// The server's timers (socktimer, the dispatch timer, is the shell's own business).
enum class ServerTimer {
  Timer1,         // the turn timer, 1 s
  computertimer,  // the computer player's delay, 1 s
  relaytimer,     // refills what each player may have relayed, kRelayTickMs
  logintimer,     // the wait for a new connection to log in or ask what the table holds, 1 s
  holdtimer,      // counts down the seats held for players whose connection dropped, 1 s
};

// What one player may make the table relay to everybody (chat lines, actions, chatter
// sounds): kRelayBurst at once, and one more for each relaytimer tick, so kRelayBurst a
// second once the burst is spent. No one typing or clicking phrases comes near it.
inline constexpr int kRelayBurst = 8;
inline constexpr int kRelayTickMs = 1000 / kRelayBurst;

// The world as the table's logic sees it. TServer implements it with sockets and QTimers,
// tests with an in-memory record of everything the logic asked for.
class ServerShell {
 public:
  virtual ~ServerShell() = default;
  // Hands a whole message to the record's connection.
  virtual void send(int record, std::string_view message) = 0;
  // Attaches the connection of record `from` to record `to`, which has none, and leaves `from`
  // without one: a player who comes back takes the seat that was held.
  virtual void moveConnection(int from, int to) = 0;
  // Closes the record's connection. The shell does not report this close back: the logic
  // runs its own departure handling right after asking.
  virtual void close(int record) = 0;
  // (Re)starts a timer with its full interval, or stops it.
  virtual void startTimer(ServerTimer timer) = 0;
  virtual void stopTimer(ServerTimer timer) = 0;
  // Seconds on a clock that only moves forward, for how long a mute lasts.
  virtual std::int64_t secondsNow() const {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  // A secret a player proves itself with: kRejoinTokenChars lower-case hexadecimal digits
  // from the system's cryptographic source.
  virtual std::string secretToken();
  // Something the host should see (the headless server prints it).
  virtual void tellHost(std::string_view text) = 0;
  // One line of what happens at the table (arrivals, departures, game start, winner), for a
  // person watching a headless host. The game program ignores it.
  virtual void news(std::string_view /*line*/) {}
};

}  // namespace zp::server
