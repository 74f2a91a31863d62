#include "client/table_questions.h"

#include <algorithm>

namespace zp::client {
namespace {

std::string letterOf(int code) {
  return board::isLetter(code) ? std::string(1, static_cast<char>('A' + code - 1))
                               : std::string("blank");
}

std::string line(const board::BoardModel& model, bool row, int k) {
  if (k < 0 || k >= board::kBoardSize) return {};
  std::string out = (row ? "Row " : "Column ") + std::to_string(k + 1) + ":";
  for (int i = 0; i < board::kBoardSize; ++i) {
    const board::Cell c = row ? board::Cell{i, k} : board::Cell{k, i};
    out += (i == 0 ? " " : ", ") + letterOf(model.letter(c));
  }
  return out + ".";
}

}  // namespace

std::string whoseTurn(const board::BoardPlay& play, int own) {
  const board::TableView& view = play.view();
  if (!play.gameOn()) return "No game is on.";
  const int n = view.turnPlayer;
  if (n < 1 || n > kSeats) return "Between turns.";
  std::string out = n == own ? std::string("Your turn") : play.seat(n).name + "'s turn";
  if (view.clockRunning && view.clock > 0)
    out += ", " + std::to_string(view.clock) + (view.clock == 1 ? " second" : " seconds") + " left";
  return out + ".";
}

std::string scores(const board::BoardPlay& play) {
  std::string out;
  for (int n = 1; n <= kSeats; ++n) {
    const board::SeatView& seat = play.seat(n);
    if (seat.empty()) continue;
    if (!out.empty()) out += ", ";
    out += seat.name + " " + (seat.score.empty() ? std::string("0") : seat.score);
  }
  if (out.empty()) return "Nobody is seated.";
  out += ".";
  if (play.view().teamsShown) out += " " + play.view().team1 + ", " + play.view().team2 + ".";
  return out;
}

std::string lastWords(const board::BoardPlay& play, int count) {
  const std::vector<std::string>& words = play.view().words;
  if (words.empty()) return "No words made yet.";
  std::string out;
  const auto shown = std::min<std::size_t>(words.size(), static_cast<std::size_t>(count));
  for (std::size_t i = 0; i < shown; ++i) {
    if (!out.empty()) out += " ";
    out += words[words.size() - 1 - i];
  }
  return out;
}

std::string rack(const board::BoardModel& model) {
  std::string out;
  for (int k = 1; k <= board::kRackSlots; ++k) {
    const int code = model.slot(k).letter;
    if (!board::isLetter(code)) continue;
    out += (out.empty() ? "Rack: " : ", ") + letterOf(code);
  }
  return out.empty() ? std::string("The rack is empty.") : out + ".";
}

std::string boardRow(const board::BoardModel& model, int b) {
  return line(model, true, b);
}

std::string boardColumn(const board::BoardModel& model, int a) {
  return line(model, false, a);
}

}  // namespace zp::client
