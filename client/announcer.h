#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// What happens at the table, said aloud for a player who cannot see it. The session and the
// board hand every event here as a text with its importance; one voice says them one after
// another, the most important first, so nothing is said twice and nothing is cut off by
// something that matters less.
//
//   Announcer announcer;
//   announcer.setVoice(&voice);      // the window's speech output
//   announcer.setEnabled(true);      // a screen reader runs, or Options > Speak Events
//   announcer.announce({"Your turn.", Priority::kTurn});
//   announcer.finished();            // the voice is done with the last text
namespace zp::client {

// From least to most important.
enum class Priority {
  kChatter = 0,  // the computer player's small talk
  kChat = 1,     // a line another player wrote
  kTable = 2,    // arrivals, departures, another's turn, a player's total
  kWord = 3,     // a word made or refused, and the fall that follows it
  kTurn = 4,     // the player's own turn
  kUrgent = 5,   // the clock running out, the time up, the winner
  kAnswer = 6,   // what the player just asked or did: said at once
};

struct Spoken {
  Spoken() = default;
  Spoken(std::string said, Priority importance, std::string sort = {}, std::string moot = {})
      : text(std::move(said)), priority(importance), kind(std::move(sort)), ends(std::move(moot)) {}

  std::string text;
  Priority priority = Priority::kTable;
  // Events of one kind where only the newest matters (the clock): a newer one replaces a
  // waiting one of the same kind. Empty: every event stands on its own.
  std::string kind;
  // The kind this event makes moot (a word ends the turn whose clock was being told): one of
  // that kind being said is stopped, waiting ones are dropped. Empty: none.
  std::string ends;
  bool operator==(const Spoken&) const = default;
};

// How a text fits in with the screen reader's own speech, which shares the desktop's speech
// service: at once, cutting short what the screen reader says (it may read a whole row of the
// board for twenty seconds), or in turn after it.
enum class Urgency { kInTurn, kAtOnce };

// The speech output: says one text at a time and reports through Announcer::finished().
class Voice {
 public:
  virtual ~Voice() = default;
  virtual void say(const std::string& text, Urgency urgency) = 0;
  // Stops the text being said; no finished() follows.
  virtual void stop() = 0;
};

// Waiting events beyond this are dropped, the least important first: a backlog would tell
// the player of things long past.
inline constexpr std::size_t kMaxWaiting = 8;

class Announcer {
 public:
  void setVoice(Voice* voice);
  // Off: nothing is said, and what waited is dropped.
  void setEnabled(bool on);
  bool enabled() const { return enabled_; }

  // Said at once when the voice is free; else it waits its turn by importance. A new event
  // more important than a chat line being said stops that line, which is said again in full
  // afterwards. An answer to the player is said next, after the news being said; a newer
  // answer or any of the table's news (more than a chat line) makes an answer moot, being
  // said or waiting, and it is not said again. An event that ends a kind does the same to
  // that kind. Anything else being said is always finished.
  void announce(Spoken event);
  // The voice finished the current text: the next one.
  void finished();
  // Events announced between these arrived together (one batch of the table's messages) and
  // are said most important first: the winner before the word that won.
  void beginBatch() { batch_ = true; }
  void endBatch();

  const std::optional<Spoken>& current() const { return current_; }
  const std::deque<Spoken>& waiting() const { return waiting_; }

 private:
  void queue(Spoken event);
  void next();
  void say(Spoken event);
  // Whether `event` makes `other` (being said or waiting) moot.
  static bool moots(const Spoken& event, const Spoken& other);
  void dropMoot(const Spoken& event);

  Voice* voice_ = nullptr;
  bool enabled_ = false;
  bool batch_ = false;
  std::optional<Spoken> current_;
  std::deque<Spoken> waiting_;  // most important first, in order of arrival within one
};

// ---- the events' texts, in one place

// The table's news and the answers to the player are said at once; chat waits its turn.
inline Urgency urgencyOf(Priority priority) {
  return priority > Priority::kChat ? Urgency::kAtOnce : Urgency::kInTurn;
}

namespace said {

Spoken yourTurn();
Spoken othersTurn(std::string_view name);
// `mine`: the player's own word, else another's with that player's name. The word and its
// points come at once; the total follows, after the fall if that comes meanwhile.
Spoken word(bool mine, std::string_view name, std::string_view word, int points);
Spoken total(bool mine, std::string_view name, int total);
Spoken notValid(std::string_view word);
// `direction` as the table sends it (1 down, 2 left, 3 up, 4 right).
Spoken fall(int direction);
Spoken secondsLeft(int seconds);
Spoken othersSecondsLeft(std::string_view name, int seconds);
Spoken timeUp();
// The winner, said short: the word that won follows at once. The totals waiting are dropped;
// the final scores are one question away.
Spoken winner(bool mine, std::string_view name);
Spoken arrived(std::string_view line);
Spoken left(std::string_view line);
Spoken chatLine(std::string_view text);
Spoken chatter(std::string_view text);
// An answer to the player's question or key; a newer one replaces one not yet said.
Spoken answer(std::string_view text);

}  // namespace said

// The clock is said when this many seconds are left.
inline constexpr int kSpokenSeconds[] = {30, 10};

}  // namespace zp::client
