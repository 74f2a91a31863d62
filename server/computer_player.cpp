// The computer player: it plays the turns nobody else plays, with words from its own list.
#include <limits>

#include "server/board_letters.h"
#include "server/table_server.h"
#include "server/word_search.h"

namespace zp::server {
namespace {

// The computer never plays a shorter word, at any strength.
constexpr std::size_t kShortestWord = 4;

}  // namespace

void TableServer::setComputerStrength(ComputerStrength strength,
                                      const words::WordGraph* wholeList) {
  strength_ = strength;
  searched_ = strength == ComputerStrength::Expert ? wholeList : nullptr;
  if ((strength == ComputerStrength::Strong || strength == ComputerStrength::Expert) &&
      !searched_) {
    if (!candidateGraph_) {
      candidateGraph_ = words::WordGraph::fromWords(listbox_words_, kShortestWord,
                                                    static_cast<std::size_t>(kLongestWord));
    }
    searched_ = &*candidateGraph_;
  }
}

words::WordGraph TableServer::wordsForExpert(std::string_view dictionaryRecords) {
  return words::WordGraph::fromRecords(dictionaryRecords, kShortestWord,
                                       static_cast<std::size_t>(kLongestWord));
}

void TableServer::computertimerTimer() {
  if (--game_.computerCountdown >= 1) return;
  shell_.stopTimer(ServerTimer::computertimer);
  // A human may have taken the seat back while the computer waited.
  if (game_.running && game_.current != 0 && computerHasSeat(game_.current)) computerplay();
}

void TableServer::computerplay() {
  std::optional<std::vector<Cell>> chosen;
  switch (strength_) {
    case ComputerStrength::Easy:
      chosen = easiestWord();
      break;
    case ComputerStrength::Strong:
    case ComputerStrength::Expert:
      if (auto best = bestTrace(board_, *searched_)) chosen = std::move(best->path);
      break;
    case ComputerStrength::Classic:
      return playClassic();
  }
  if (chosen) {
    playerdone({game_.current, std::move(*chosen)}, true);
    return;
  }
  computerShuffles();
}

void TableServer::playClassic() {
  // Every candidate at most once, in list order from a random place; the first that can be
  // traced is played. Entry 0 is never tried.
  const int count = static_cast<int>(listbox_words_.size());
  if (count < 2) return;
  const BoardLetters letters(board_);
  int index = random_.between(0, count - 2);
  for (int tries = 0; tries < count - 1; ++tries) {
    if (++index > count - 1) index = 1;
    const std::string& word = listbox_words_[static_cast<std::size_t>(index)];
    if (word.size() < 4 || word.size() > 7 || !letters.mayHold(word)) continue;
    if (auto path = letters.checkforthere(word)) {
      // Whatever the word check says, the computer's turn has had its word.
      playerdone({game_.current, std::move(*path)}, true);
      return;
    }
  }
  computerShuffles();
}

std::optional<std::vector<Cell>> TableServer::easiestWord() {
  // Its own search's four-letter finds, the one worth least; of equals, the first from a
  // random place in the list, so it does not always play the same word.
  const std::size_t count = listbox_words_.size();
  if (count == 0) return std::nullopt;
  const BoardLetters letters(board_);
  std::optional<std::vector<Cell>> chosen;
  int least = std::numeric_limits<int>::max();
  std::size_t index = static_cast<std::size_t>(random_.between(0, static_cast<int>(count) - 1));
  for (std::size_t tries = 0; tries < count; ++tries, index = (index + 1) % count) {
    const std::string& word = listbox_words_[index];
    if (word.size() != kShortestWord || !letters.mayHold(word)) continue;
    if (auto path = letters.checkforthere(word)) {
      if (const int points = wordPoints(board_, *path); points < least) {
        least = points;
        chosen = std::move(path);
      }
    }
  }
  return chosen;
}

void TableServer::computerShuffles() {
  // Nothing fits this board: a shuffle, as a player would, while the turn runs. Without it a
  // board the computer finds nothing on would last for ever at a table it plays alone.
  const int seat = game_.current;
  if (game_.phase != kTurnRunning || seat < 1 || seat > kSeats || players_[seat].shufflesLeft < 1)
    return;
  shuffle({seat});
  // The new board is searched at the next tick: everybody sees it before the computer's
  // word, and no tick holds the table up with two searches.
  game_.computerCountdown = 1;
  shell_.startTimer(ServerTimer::computertimer);
}

}  // namespace zp::server
