#include "client/board_speech.h"

#include <gtest/gtest.h>

namespace zp::board {
namespace {

// 'e' everywhere except an empty cell at (2, 0) and a 'q' at (1, 1).
BoardModel board() {
  Letters letters;
  letters.fill(5);
  letters[cellIndex(2, 0)] = 0;
  letters[cellIndex(1, 1)] = 17;
  BoardModel model;
  model.theboard(letters);
  return model;
}

TEST(BoardSpeech, ACellSaysItsLetterWorthSquarePlaceAndPick) {
  BoardModel model = board();
  model.choose({3, 3});
  model.choose({2, 3});
  struct Case {
    Cell cell;
    const char* said;
  } cases[] = {
      {{1, 1}, "Q, 10 points, double word, row 2, column 2"},
      {{2, 0}, "empty, row 1, column 3"},
      {{0, 3}, "E, 1 point, triple word, row 4, column 1"},
      {{4, 2}, "E, 1 point, triple letter, row 3, column 5"},
      {{3, 3}, "E, 1 point, bonus square, row 4, column 4, picked 1st"},
      {{2, 3}, "E, 1 point, row 4, column 3, picked 2nd"},
      {{9, 0}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(cellSpeech(model, c.cell), c.said);
}

TEST(BoardSpeech, AnotherPlayersPickAndTheRackSlots) {
  BoardModel model = board();
  model.showPick(1, {6, 6});
  model.showPick(2, {5, 6});
  EXPECT_EQ(cellSpeech(model, {5, 6}), "E, 1 point, row 7, column 6, picked 2nd");
  EXPECT_EQ(slotSpeech(model, 2), "E, 1 point, slot 2");
  EXPECT_EQ(slotSpeech(model, 3), "empty, slot 3");
  EXPECT_EQ(slotSpeech(model, 8), "");
  model.unshowPick(2);
  EXPECT_EQ(cellSpeech(model, {5, 6}), "E, 1 point, row 7, column 6");
}

TEST(BoardSpeech, Ordinals) {
  const std::pair<int, const char*> cases[] = {{1, "1st"},   {2, "2nd"},   {3, "3rd"},
                                               {4, "4th"},   {11, "11th"}, {12, "12th"},
                                               {13, "13th"}, {21, "21st"}, {22, "22nd"}};
  for (const auto& [n, said] : cases) EXPECT_EQ(ordinal(n), said);
}

}  // namespace
}  // namespace zp::board
