// The computer player: it plays the turns nobody else plays, with words from its own list.
#include "server/table_server.h"

namespace zp::server {

void TableServer::computertimerTimer() {
  if (--game_.computerCountdown >= 1) return;
  shell_.stopTimer(ServerTimer::computertimer);
  // A human may have taken the seat back while the computer waited.
  if (game_.running && game_.current != 0 && computerHasSeat(game_.current)) computerplay();
}

void TableServer::computerplay() {
  // Every candidate at most once, in list order from a random place; the first that can be
  // traced is played. Entry 0 is never tried.
  const int count = static_cast<int>(listbox_words_.size());
  if (count < 2) return;
  int index = random_.between(0, count - 2);
  for (int tries = 0; tries < count - 1; ++tries) {
    if (++index > count - 1) index = 1;
    const std::string& word = listbox_words_[static_cast<std::size_t>(index)];
    if (word.size() >= 4 && word.size() <= 7 && checkforthere(word)) return;
  }
}

bool TableServer::checkforthere(const std::string& word) {
  for (int a = 0; a < kBoardSize; ++a) {
    for (int b = 0; b < kBoardSize; ++b) {
      if (convertoletter(board_.at(a, b)) != word[0]) continue;
      if (getpoint(word, a, b)) return true;
    }
  }
  return false;
}

bool TableServer::getpoint(const std::string& word, int a, int b) {
  std::array<Cell, kPathLength> trace{};
  trace[0] = {a, b};
  for (std::size_t s = 1; s < word.size(); ++s) {
    const Cell next = checkpoint(word[s], trace[s - 1]);
    // No backtracking: only the first neighbour found is tried. The search never steps
    // into column 0 after the first letter.
    if (next.none() || next.a == 0) return false;
    for (std::size_t earlier = 0; earlier < s; ++earlier)
      if (trace[earlier] == next) return false;
    trace[s] = next;
  }
  // The whole trace goes in, start cell included, so a start in column 0 is submitted as
  // traced and never turned away as not touching. Whatever the word check says, the
  // computer's turn has had its word.
  playerdone({game_.current, std::vector<Cell>(trace.begin(), trace.begin() + word.size())}, true);
  return true;
}

Cell TableServer::checkpoint(char letter, Cell from) const {
  const int a = from.a, b = from.b;
  // The fixed neighbour order; the conditions keep the search out of row 0 and column 0
  // unless the cell already lies there.
  const Cell order[8] = {{a, b + 1},     {a, b - 1}, {a - 1, b},     {a - 1, b + 1},
                         {a - 1, b - 1}, {a + 1, b}, {a + 1, b + 1}, {a + 1, b - 1}};
  const bool allowed[8] = {b + 1 <= 6,
                           b - 1 >= 1,
                           a - 1 >= 1,
                           a - 1 >= 1 && b + 1 <= 6,
                           a - 1 >= 1 && b - 1 >= 1,
                           a + 1 <= 6,
                           a + 1 <= 6 && b + 1 <= 6,
                           a + 1 <= 6 && b - 1 >= 1};
  for (int i = 0; i < 8; ++i)
    if (allowed[i] && convertoletter(board_.at(order[i].a, order[i].b)) == letter) return order[i];
  return Cell{};
}

}  // namespace zp::server
