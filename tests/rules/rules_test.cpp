#include "rules/rules.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "rules/computer_strength.h"

namespace zp::board {
namespace {

TEST(Rules, LetterWorthAndTheSquarePattern) {
  // Every letter, by its worth.
  const std::pair<int, const char*> worth[] = {
      {1, "adeilnorstu"}, {3, "bcghmpy"}, {5, "fjkw"}, {7, "v"}, {10, "qxz"}};
  int letters = 0;
  for (const auto& [points, group] : worth) {
    for (const char* c = group; *c != 0; ++c, ++letters)
      EXPECT_EQ(letterworth(*c - 'a' + 1), points) << *c;
  }
  EXPECT_EQ(letters, 26);
  EXPECT_EQ(letterworth(0), 1);
  EXPECT_EQ(letterworth(27), 1);
  // Every square of the pattern, the rest plain.
  int special = 0;
  for (int a = 0; a < kBoardSize; ++a)
    for (int b = 0; b < kBoardSize; ++b) special += squareAt({a, b}) != Square::kPlain;
  EXPECT_EQ(special, 17);
  EXPECT_EQ(squareAt({3, 3}), Square::kBonus);
  for (Cell c : {Cell{0, 0}, Cell{0, 6}, Cell{6, 0}, Cell{6, 6}})
    EXPECT_EQ(squareAt(c), Square::kDoubleLetter);
  for (Cell c : {Cell{2, 2}, Cell{2, 4}, Cell{4, 2}, Cell{4, 4}})
    EXPECT_EQ(squareAt(c), Square::kTripleLetter);
  for (Cell c : {Cell{1, 1}, Cell{1, 5}, Cell{5, 1}, Cell{5, 5}})
    EXPECT_EQ(squareAt(c), Square::kDoubleWord);
  for (Cell c : {Cell{0, 3}, Cell{3, 0}, Cell{3, 6}, Cell{6, 3}})
    EXPECT_EQ(squareAt(c), Square::kTripleWord);
}

TEST(Rules, NeighboursAreTheEightAroundACell) {
  int around = 0;
  for (int a = 0; a < kBoardSize; ++a)
    for (int b = 0; b < kBoardSize; ++b) around += touching({3, 3}, {a, b});
  EXPECT_EQ(around, 8);
  EXPECT_FALSE(touching({3, 3}, {3, 3}));
  EXPECT_TRUE(touching({0, 0}, {1, 1}));
  EXPECT_FALSE(touching({0, 0}, {2, 0}));
}

// The table's count: letter squares per tile, the bonus square's 20, then every word square's
// factor on the whole sum. The cells need not touch: the table checks that elsewhere.
TEST(Rules, WordPointsCountSquaresThenWordFactors) {
  Letters letters{};
  letters.fill(1);                // a, worth 1
  letters[cellIndex(2, 2)] = 17;  // q, worth 10, on a triple-letter square
  letters[cellIndex(1, 2)] = 22;  // v, worth 7, plain
  const struct {
    std::vector<Cell> path;
    int points;
  } cases[] = {
      {{}, 0},
      {{{3, 3}}, 21},                    // the bonus square
      {{{1, 2}}, 7},                     // plain
      {{{2, 2}, {1, 2}}, 37},            // 3 x 10 + 7
      {{{0, 0}, {1, 1}}, 6},             // (2 + 1) x 2
      {{{0, 3}, {1, 2}, {2, 2}}, 114},   // (1 + 7 + 30) x 3
      {{{1, 1}, {5, 5}, {0, 3}}, 36},    // 3 x 2 x 2 x 3
      {{{3, 3}, {3, 6}, {-1, -1}}, 66},  // (21 + 1) x 3; a cell off the board counts nothing
  };
  for (const auto& c : cases) EXPECT_EQ(wordPoints(letters, c.path), c.points) << c.points;
}

// Builds letters from 7 column strings (top to bottom), "." for an empty cell.
Letters lettersOf(const std::array<const char*, 7>& columns, int empty) {
  Letters letters{};
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b)
      letters[cellIndex(a, b)] = columns[a][b] == '.' ? empty : columns[a][b] - 'a' + 1;
  return letters;
}
std::string line(const Letters& letters, int empty, bool column, int k) {
  std::string out;
  for (int i = 0; i < 7; ++i) {
    const int code = column ? letters[cellIndex(k, i)] : letters[cellIndex(i, k)];
    out += code == empty ? '.' : static_cast<char>('a' + code - 1);
  }
  return out;
}

// The same falls on the server's board (27 marks a used tile) and the window's (0 does).
TEST(Rules, TilesFallInEachDirectionKeepingTheirOrder) {
  for (const int empty : {0, 27}) {
    Letters letters = lettersOf(
        {"x..y...", "abcdefg", ".......", "a.b.c.d", "abcdefg", "abcdefg", "abcdefg"}, empty);
    fall(letters, kDown, empty);
    EXPECT_EQ(line(letters, empty, true, 0), ".....xy");
    EXPECT_EQ(line(letters, empty, true, 2), ".......");
    EXPECT_EQ(line(letters, empty, true, 3), "...abcd");
    fall(letters, kUp, empty);
    EXPECT_EQ(line(letters, empty, true, 0), "xy.....");
    EXPECT_EQ(line(letters, empty, true, 1), "abcdefg");
    fall(letters, kRight, empty);
    EXPECT_EQ(line(letters, empty, false, 0), ".xaaaaa");
    EXPECT_EQ(line(letters, empty, false, 6), "...gggg");
    fall(letters, kLeft, empty);
    EXPECT_EQ(line(letters, empty, false, 0), "xaaaaa.");
    EXPECT_EQ(line(letters, empty, false, 4), "eeee...");
    fall(letters, 99, empty);  // anything else falls down
    EXPECT_EQ(line(letters, empty, true, 5), ".....ab");
  }
}

// Random boards, some nearly empty and some nearly full, in both empty codes: the preview
// lies exactly as the real fall leaves the board, and says truly where each tile came from.
TEST(Rules, ThePreviewOfAFallIsTheBoardAfterIt) {
  std::mt19937 random(19);
  int movedTiles = 0, refilledCells = 0;
  for (int round = 0; round < 400; ++round) {
    const int empty = round % 2 == 0 ? 27 : 0;
    const int emptyShare = 1 + round % 7;  // out of 8
    Letters before{};
    for (int& code : before)
      code =
          static_cast<int>(random() % 8) < emptyShare ? empty : 1 + static_cast<int>(random() % 26);
    for (const int direction : {1, 2, 3, 4, 0}) {
      Letters after = before;
      fall(after, direction, empty);
      const FallPreview preview = previewFall(before, direction, empty);
      ASSERT_EQ(preview.letters, after) << "direction " << direction << ", round " << round;
      std::set<int> origins;
      for (std::size_t cell = 0; cell < after.size(); ++cell) {
        ASSERT_EQ(preview.refilled(cell), after[cell] == empty);
        if (preview.refilled(cell)) {
          ++refilledCells;
          continue;
        }
        const int from = preview.from[cell];
        ASSERT_EQ(before[static_cast<std::size_t>(from)], after[cell]);
        // A tile moves along its own line only: its column for up and down, else its row.
        const bool vertical = direction != kLeft && direction != kRight;
        ASSERT_EQ(vertical ? from / 7 : from % 7,
                  vertical ? static_cast<int>(cell) / 7 : static_cast<int>(cell) % 7);
        ASSERT_TRUE(origins.insert(from).second) << "two cells show one tile";
        movedTiles += preview.moved(cell) ? 1 : 0;
      }
    }
  }
  EXPECT_GT(movedTiles, 1000);
  EXPECT_GT(refilledCells, 1000);
}

TEST(Rules, ThePreviewTellsTheTilesThatMoveFromThoseThatStay) {
  // Column 1 from the top: a, an empty cell, then b to f. Down, only the a moves; up, the
  // five below it do.
  const Letters before =
      lettersOf({"abcdefg", "a.bcdef", "abcdefg", "abcdefg", "abcdefg", "abcdefg", "abcdefg"}, 27);
  const FallPreview down = previewFall(before, kDown, 27);
  EXPECT_EQ(line(down.letters, 27, true, 1), ".abcdef");
  EXPECT_TRUE(down.refilled(cellIndex(1, 0)));
  EXPECT_TRUE(down.moved(cellIndex(1, 1)));
  EXPECT_EQ(down.from[cellIndex(1, 1)], static_cast<int>(cellIndex(1, 0)));
  for (int b = 2; b < 7; ++b) EXPECT_FALSE(down.moved(cellIndex(1, b))) << b;
  for (int b = 0; b < 7; ++b) EXPECT_FALSE(down.moved(cellIndex(0, b))) << b;

  const FallPreview up = previewFall(before, kUp, 27);
  EXPECT_EQ(line(up.letters, 27, true, 1), "abcdef.");
  EXPECT_FALSE(up.moved(cellIndex(1, 0)));
  for (int b = 1; b < 6; ++b) EXPECT_TRUE(up.moved(cellIndex(1, b))) << b;
  EXPECT_EQ(up.from[cellIndex(1, 5)], static_cast<int>(cellIndex(1, 6)));
  EXPECT_TRUE(up.refilled(cellIndex(1, 6)));
}

TEST(ComputerStrengthNames, RoundTripAndUnknownNamesReadAsClassic) {
  for (const ComputerStrength strength : kComputerStrengths) {
    EXPECT_EQ(computerStrengthNamed(computerStrengthName(strength)), strength);
    EXPECT_EQ(parseComputerStrength(computerStrengthName(strength)), strength);
  }
  EXPECT_EQ(computerStrengthName(ComputerStrength::Easy), "easy");
  EXPECT_EQ(computerStrengthName(ComputerStrength::Classic), "classic");
  EXPECT_EQ(computerStrengthName(ComputerStrength::Strong), "strong");
  EXPECT_EQ(computerStrengthName(ComputerStrength::Expert), "expert");
  EXPECT_EQ(computerStrengthNamed("Expert"), ComputerStrength::Expert);
  for (const std::string_view other : {"", "hard", "expert ", "expertise", "classi"}) {
    EXPECT_EQ(computerStrengthNamed(other), std::nullopt) << other;
    EXPECT_EQ(parseComputerStrength(other), ComputerStrength::Classic) << other;
  }
}

}  // namespace
}  // namespace zp::board
