#pragma once

#include <optional>
#include <vector>

#include "server/board.h"
#include "words/word_graph.h"

namespace zp::server {

// A word found on the board: its trace and what it scores there.
struct ScoredTrace {
  std::vector<Cell> path;
  int points = 0;
};

// Of every trace through touching cells, each cell at most once and at most seven, that
// spells a word of `words`, the one that scores most on this board (wordPoints); the first
// found of equals. Nothing when the board holds no word of the list.
std::optional<ScoredTrace> bestTrace(const Board& board, const words::WordGraph& words);

}  // namespace zp::server
