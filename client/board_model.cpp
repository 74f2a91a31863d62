#include "client/board_model.h"

#include <algorithm>

namespace zp::board {

int squarePicture(Cell c) {
  switch (squareAt(c)) {
    case Square::kBonus:
      return kBonusPicture;
    case Square::kDoubleLetter:
      return kDoubleLetterPicture;
    case Square::kTripleLetter:
      return kTripleLetterPicture;
    case Square::kDoubleWord:
      return kDoubleWordPicture;
    case Square::kTripleWord:
      return kTripleWordPicture;
    case Square::kPlain:
      break;
  }
  return kPlainSquare;
}

BoardModel::BoardModel() {
  for (int a = 0; a < kBoardSize; ++a)
    for (int b = 0; b < kBoardSize; ++b) squares_[cellIndex(a, b)] = squarePicture({a, b});
  marks_.fill(kNoMark);
  dirtyCells_.set();
  dirtySlots_.set();
}

void BoardModel::theboard(const Letters& letters) {
  for (std::size_t i = 0; i < letters.size(); ++i)
    letters_[i] = isLetter(letters[i]) ? letters[i] : 0;
  marks_.fill(kNoMark);
  dirtyCells_.set();
  clearthings();
}

void BoardModel::clearthings() {
  chosenCount_ = 0;
  lastChosen_ = Cell{};
  for (int i = 0; i < kCellCount; ++i) {
    if (marks_[static_cast<std::size_t>(i)] != kNoMark)
      dirtyCells_.set(static_cast<std::size_t>(i));
  }
  marks_.fill(kNoMark);
  emptyRack();
}

void BoardModel::emptyRack() {
  for (int k = 1; k <= kRackSlots; ++k) setSlot(k, RackSlot{});
}

void BoardModel::clearChosenList() {
  chosen_.fill(Cell{});
}

bool BoardModel::mayChoose(Cell c) const {
  if (!onBoard(c) || chosenCount_ >= kRackSlots || !isLetter(letter(c))) return false;
  if (!lastChosen_.none() && !touching(c, lastChosen_)) return false;
  const auto picked = std::span(chosen_).first(static_cast<std::size_t>(chosenCount_));
  return std::find(picked.begin(), picked.end(), c) == picked.end();
}

int BoardModel::choose(Cell c) {
  if (!lastChosen_.none()) setMark(lastChosen_, kEarlierMark);
  setMark(c, kLatestMark);
  ++chosenCount_;
  chosen_[static_cast<std::size_t>(chosenCount_ - 1)] = c;
  setSlot(chosenCount_, RackSlot{letter(c), true});
  lastChosen_ = c;
  return chosenCount_;
}

std::optional<Cell> BoardModel::takeBack(int slot) {
  if (chosenCount_ < 1 || slot != chosenCount_) return std::nullopt;
  const Cell c = chosen_[static_cast<std::size_t>(slot - 1)];
  setMark(c, kNoMark);
  chosen_[static_cast<std::size_t>(slot - 1)] = Cell{};
  setSlot(slot, RackSlot{});
  --chosenCount_;
  // The new last cell keeps its earlier mark.
  lastChosen_ = chosenCount_ > 0 ? chosen_[static_cast<std::size_t>(chosenCount_ - 1)] : Cell{};
  return c;
}

void BoardModel::clearPick() {
  clearthings();
  clearChosenList();
}

void BoardModel::showPick(int slot, Cell c) {
  if (slot < 1 || slot > kRackSlots || !onBoard(c)) return;
  setMark(c, kLatestMark);
  chosen_[static_cast<std::size_t>(slot - 1)] = c;
  setSlot(slot, RackSlot{letter(c), true});
}

void BoardModel::unshowPick(int slot) {
  if (slot < 1 || slot > kRackSlots) return;
  Cell& c = chosen_[static_cast<std::size_t>(slot - 1)];
  if (onBoard(c)) setMark(c, kNoMark);
  c = Cell{};
  setSlot(slot, RackSlot{});
}

void BoardModel::clearMarksAndRack() {
  for (int i = 0; i < kCellCount; ++i) {
    if (marks_[static_cast<std::size_t>(i)] != kNoMark)
      dirtyCells_.set(static_cast<std::size_t>(i));
  }
  marks_.fill(kNoMark);
  emptyRack();
}

void BoardModel::showMadeWord(std::span<const Cell> path) {
  clearthings();
  const std::size_t shown = std::min(path.size(), static_cast<std::size_t>(kRackSlots));
  for (std::size_t k = 0; k < shown; ++k) {
    const Cell c = path[k];
    if (!onBoard(c)) continue;
    setSlot(static_cast<int>(k) + 1, RackSlot{letter(c), false});
    letters_[cellIndex(c.a, c.b)] = 0;
    touch(c);
  }
}

void BoardModel::moving(int direction) {
  const Letters before = letters_;
  fall(letters_, direction, 0);
  for (std::size_t i = 0; i < letters_.size(); ++i)
    if (letters_[i] != before[i]) dirtyCells_.set(i);
}

void BoardModel::setMark(Cell c, int mark) {
  marks_[cellIndex(c.a, c.b)] = mark;
  touch(c);
}

void BoardModel::setSlot(int k, RackSlot slot) {
  RackSlot& at = rack_[static_cast<std::size_t>(k - 1)];
  if (at == slot) return;
  at = slot;
  dirtySlots_.set(static_cast<std::size_t>(k - 1));
}

std::bitset<kCellCount> BoardModel::takeDirtyCells() {
  const auto out = dirtyCells_;
  dirtyCells_.reset();
  return out;
}

std::bitset<kRackSlots> BoardModel::takeDirtySlots() {
  const auto out = dirtySlots_;
  dirtySlots_.reset();
  return out;
}

}  // namespace zp::board
