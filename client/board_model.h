#pragma once

#include <array>
#include <bitset>
#include <optional>
#include <span>

#include "rules/rules.h"

// What one player's window holds of the board: the three layers (square, letter, mark),
// the word being picked (chosen list, chosen count, last chosen cell) and the rack. Every
// change records the cells and rack slots it touched, so the widget redraws only those.
//
//   BoardModel board;
//   if (board.mayChoose({2, 3})) board.choose({2, 3});
//   for (int i : board.takeDirtyCells()) ...   // redraw cell i (index a * 7 + b)
namespace zp::board {

// Pictures of the tile set, by index.
enum Picture {
  kPlainWhite = 0,
  // 1..26: the letter tiles a..z
  kTripleLetterPicture = 27,
  kEarlierMark = 28,
  kLatestMark = 29,
  kPlainSquare = 30,  // also the backing of a tile in the rack
  kBonusPicture = 31,
  kDoubleLetterPicture = 32,
  kDoubleWordPicture = 33,
  kTripleWordPicture = 34,
  kEmptySlot = 35,
  kPictureCount = 36,
};
inline constexpr int kNoMark = -1;
inline constexpr int kRackSlots = kLongestWord;

int squarePicture(Cell c);

// A rack slot shows the empty slot picture, or a tile: the backing with a letter on it,
// drawn 2 pixels right and down, except for the letters of a word just made.
struct RackSlot {
  int letter = 0;  // 0: empty slot
  bool offset = true;
  bool operator==(const RackSlot&) const = default;
};

class BoardModel {
 public:
  BoardModel();

  int square(Cell c) const { return squares_[cellIndex(c.a, c.b)]; }
  int letter(Cell c) const { return letters_[cellIndex(c.a, c.b)]; }
  int mark(Cell c) const { return marks_[cellIndex(c.a, c.b)]; }
  const Letters& letters() const { return letters_; }
  // Slot 1..7.
  const RackSlot& slot(int k) const { return rack_[static_cast<std::size_t>(k - 1)]; }
  int chosenCount() const { return chosenCount_; }
  // Entry 1..7 of the chosen list.
  Cell chosen(int k) const { return chosen_[static_cast<std::size_t>(k - 1)]; }
  Cell lastChosen() const { return lastChosen_; }

  // A whole new board (letter codes 0..26, 0 empty): no marks, no pick, an empty rack.
  void theboard(const Letters& letters);
  // Pick and rack gone; the chosen list stays until the next turn empties it.
  void clearthings();
  void emptyRack();
  void clearChosenList();

  // The local player's pick: a letter cell next to the last one (any for the first), not
  // chosen yet, while the rack has room.
  bool mayChoose(Cell c) const;
  // After mayChoose: the cell becomes the latest; returns its rack slot.
  int choose(Cell c);
  // The last filled slot only: its cell loses its mark. Returns the cell taken back.
  std::optional<Cell> takeBack(int slot);
  // Every mark, the chosen list and the rack cleared.
  void clearPick();

  // Another player's pick as it happens.
  void showPick(int slot, Cell c);
  void unshowPick(int slot);
  void clearMarksAndRack();

  // A word made: the marks and pick go, the rack shows the word's letters and the cells
  // are emptied. Cells beyond the rack are ignored.
  void showMadeWord(std::span<const Cell> path);
  // The tiles fall toward the direction's edge (any other direction falls down).
  void moving(int direction);

  // Cells (index a * 7 + b) and rack slots (0..6) changed since the last call.
  std::bitset<kCellCount> takeDirtyCells();
  std::bitset<kRackSlots> takeDirtySlots();

 private:
  void setMark(Cell c, int mark);
  void setSlot(int k, RackSlot slot);
  void touch(Cell c) { dirtyCells_.set(cellIndex(c.a, c.b)); }

  std::array<int, kCellCount> squares_{};
  Letters letters_{};
  std::array<int, kCellCount> marks_{};
  std::array<Cell, kRackSlots> chosen_{};
  int chosenCount_ = 0;
  Cell lastChosen_;
  std::array<RackSlot, kRackSlots> rack_{};
  std::bitset<kCellCount> dirtyCells_;
  std::bitset<kRackSlots> dirtySlots_;
};

}  // namespace zp::board
