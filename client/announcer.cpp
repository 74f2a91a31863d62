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
  if (!current_ && batch_) return queue(std::move(event));
  if (!current_) {
    current_ = std::move(event);
    voice_->say(current_->text, urgencyOf(current_->priority));
    return;
  }
  // A chat line may wait; the table's own news and answers may not wait behind it. A newer
  // answer makes the one being said moot; an answer waits for the table's news being said,
  // first in line, as cutting the news off would only say it again later.
  if (event.priority == Priority::kAnswer && current_->priority == Priority::kAnswer) {
    voice_->stop();
    current_ = std::move(event);
    voice_->say(current_->text, urgencyOf(current_->priority));
    return;
  }
  // The table's news ends an answer for good: the board the answer told of has moved on, and
  // the news must not wait behind it.
  if (current_->priority == Priority::kAnswer && event.priority > Priority::kChat) {
    voice_->stop();
    current_ = std::move(event);
    voice_->say(current_->text, urgencyOf(current_->priority));
    return;
  }
  const bool interrupts =
      event.priority > current_->priority && current_->priority <= Priority::kChat;
  if (interrupts) {
    voice_->stop();
    Spoken interrupted = std::move(*current_);
    const auto first = std::find_if(waiting_.begin(), waiting_.end(), [&](const Spoken& w) {
      return w.priority <= interrupted.priority;
    });
    waiting_.insert(first, std::move(interrupted));
    current_ = std::move(event);
    voice_->say(current_->text, urgencyOf(current_->priority));
    return;
  }
  queue(std::move(event));
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
  current_ = std::move(waiting_.front());
  waiting_.pop_front();
  voice_->say(current_->text, urgencyOf(current_->priority));
}

namespace said {

Spoken yourTurn() {
  return {"Your turn.", Priority::kTurn, "turn"};
}

Spoken othersTurn(std::string_view name) {
  return {std::string(name) + "'s turn.", Priority::kTable, "turn"};
}

Spoken word(bool mine, std::string_view name, std::string_view word, int points, int total) {
  const std::string score = std::to_string(points) + (points == 1 ? " point" : " points");
  if (mine)
    return {std::string(word) + ", " + score + ". Your score " + std::to_string(total) + ".",
            Priority::kWord};
  return {std::string(name) + ": " + std::string(word) + ", " + score + ". " + std::string(name) +
              " has " + std::to_string(total) + ".",
          Priority::kWord};
}

Spoken notValid(std::string_view word) {
  return {std::string(word) + " is not a valid word.", Priority::kWord};
}

Spoken fall(int direction) {
  static constexpr std::string_view kWays[] = {"down", "left", "up", "right"};
  if (direction < 1 || direction > 4) return {};
  return {"Tiles fall " + std::string(kWays[direction - 1]) + ".", Priority::kTable};
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

Spoken winner(std::string_view text) {
  return {std::string(text), Priority::kUrgent};
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
