#include "client/announcer.h"

#include <algorithm>

namespace zp::client {

void Announcer::setVoice(Voice* voice) {
  if (voice_ != nullptr && current_) voice_->stop();
  voice_ = voice;
  current_.reset();
  waiting_.clear();
}

void Announcer::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (on) return;
  if (voice_ != nullptr && current_) voice_->stop();
  current_.reset();
  waiting_.clear();
}

void Announcer::announce(Spoken event) {
  if (!enabled_ || voice_ == nullptr || event.text.empty()) return;
  dropMoot(event);
  if (!current_ && batch_) return queue(std::move(event));
  if (!current_) return say(std::move(event));
  // The table's news ends an answer for good: the board the answer told of has moved on, and
  // the news must not wait behind it. So does a newer answer. An event ends what it makes
  // moot, such as the clock of a turn that is over.
  if (moots(event, *current_)) {
    voice_->stop();
    return say(std::move(event));
  }
  // A chat line may wait; the table's own news and answers may not wait behind it.
  const bool interrupts =
      event.priority > current_->priority && current_->priority <= Priority::kChat;
  if (interrupts) {
    voice_->stop();
    Spoken interrupted = std::move(*current_);
    const auto first = std::find_if(waiting_.begin(), waiting_.end(), [&](const Spoken& w) {
      return w.priority <= interrupted.priority;
    });
    waiting_.insert(first, std::move(interrupted));
    return say(std::move(event));
  }
  queue(std::move(event));
}

bool Announcer::moots(const Spoken& event, const Spoken& other) {
  // Anything more than a chat line (news or a newer answer) makes an answer moot.
  return (other.priority == Priority::kAnswer && event.priority > Priority::kChat) ||
         (!event.ends.empty() && other.kind == event.ends);
}

void Announcer::dropMoot(const Spoken& event) {
  std::erase_if(waiting_, [&](const Spoken& w) { return moots(event, w); });
}

void Announcer::say(Spoken event) {
  current_ = std::move(event);
  voice_->say(current_->text, urgencyOf(current_->priority));
}

void Announcer::queue(Spoken event) {
  if (!event.kind.empty())
    std::erase_if(waiting_, [&](const Spoken& w) { return w.kind == event.kind; });
  const auto after = std::find_if(waiting_.begin(), waiting_.end(),
                                  [&](const Spoken& w) { return w.priority < event.priority; });
  waiting_.insert(after, std::move(event));
  if (waiting_.size() <= kMaxWaiting) return;
  // The oldest of the least important goes.
  const Priority least = waiting_.back().priority;
  const auto oldest = std::find_if(waiting_.begin(), waiting_.end(),
                                   [&](const Spoken& w) { return w.priority == least; });
  waiting_.erase(oldest);
}

void Announcer::endBatch() {
  batch_ = false;
  if (!current_) next();
}

void Announcer::finished() {
  current_.reset();
  next();
}

void Announcer::next() {
  if (waiting_.empty() || voice_ == nullptr) return;
  Spoken first = std::move(waiting_.front());
  waiting_.pop_front();
  say(std::move(first));
}

namespace said {

Spoken yourTurn() {
  return {"Your turn.", Priority::kTurn, "turn"};
}

Spoken othersTurn(std::string_view name) {
  return {std::string(name) + "'s turn.", Priority::kTable, "turn"};
}

Spoken word(bool mine, std::string_view name, std::string_view word, int points) {
  const std::string said = std::string(word) + ", " + std::to_string(points) +
                           (points == 1 ? " point." : " points.");
  // The word ends the turn, and with it the clock still to be told.
  return {mine ? said : std::string(name) + ": " + said, Priority::kWord, {}, "clock"};
}

Spoken total(bool mine, std::string_view name, int total) {
  const std::string points = std::to_string(total) + ".";
  return {mine ? "Your score " + points : std::string(name) + " has " + points, Priority::kTable,
          "total"};
}

Spoken notValid(std::string_view word) {
  return {std::string(word) + " is not a valid word.", Priority::kWord};
}

Spoken fall(int direction) {
  static constexpr std::string_view kWays[] = {"down", "left", "up", "right"};
  if (direction < 1 || direction > 4) return {};
  return {"Tiles fall " + std::string(kWays[direction - 1]) + ".", Priority::kWord};
}

Spoken secondsLeft(int seconds) {
  return {std::to_string(seconds) + " seconds left.", Priority::kUrgent, "clock"};
}

Spoken othersSecondsLeft(std::string_view name, int seconds) {
  return {std::string(name) + " has " + std::to_string(seconds) + " seconds left.",
          Priority::kTable, "clock"};
}

Spoken timeUp() {
  return {"Time is Up!", Priority::kUrgent, "clock"};
}

Spoken winner(bool mine, std::string_view name) {
  return {mine ? "You win!" : std::string(name) + " wins!", Priority::kUrgent, {}, "total"};
}

Spoken arrived(std::string_view line) {
  return {std::string(line), Priority::kTable};
}

Spoken left(std::string_view line) {
  return {std::string(line), Priority::kTable};
}

Spoken chatLine(std::string_view text) {
  return {std::string(text), Priority::kChat};
}

Spoken chatter(std::string_view text) {
  return {std::string(text), Priority::kChatter};
}

Spoken answer(std::string_view text) {
  return {std::string(text), Priority::kAnswer, "answer"};
}

}  // namespace said
}  // namespace zp::client
