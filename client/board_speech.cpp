#include "client/board_speech.h"

namespace zp::board {
namespace {

std::string letterAndWorth(int code) {
  const int worth = letterworth(code);
  std::string out(1, static_cast<char>('A' + code - 1));
  out += ", " + std::to_string(worth) + (worth == 1 ? " point" : " points");
  return out;
}

const char* squareName(Square s) {
  switch (s) {
    case Square::kBonus:
      return "bonus square";
    case Square::kDoubleLetter:
      return "double letter";
    case Square::kTripleLetter:
      return "triple letter";
    case Square::kDoubleWord:
      return "double word";
    case Square::kTripleWord:
      return "triple word";
    case Square::kPlain:
      break;
  }
  return nullptr;
}

}  // namespace

std::string ordinal(int n) {
  const int tens = n % 100;
  const char* suffix = "th";
  if (tens < 11 || tens > 13) {
    if (n % 10 == 1) suffix = "st";
    if (n % 10 == 2) suffix = "nd";
    if (n % 10 == 3) suffix = "rd";
  }
  return std::to_string(n) + suffix;
}

std::string cellSpeech(const BoardModel& model, Cell c) {
  if (!onBoard(c)) return {};
  const int code = model.letter(c);
  std::string out = isLetter(code) ? letterAndWorth(code) : "empty";
  if (const char* square = squareName(squareAt(c))) out += std::string(", ") + square;
  out += ", row " + std::to_string(c.b + 1) + ", column " + std::to_string(c.a + 1);
  if (model.mark(c) != kNoMark) {
    // Another player's picks fill the chosen list by slot without counting them.
    for (int k = 1; k <= kRackSlots; ++k) {
      if (model.chosen(k) == c && model.slot(k).letter != 0) return out + ", picked " + ordinal(k);
    }
    out += ", picked";
  }
  return out;
}

std::string slotSpeech(const BoardModel& model, int slot) {
  if (slot < 1 || slot > kRackSlots) return {};
  const int code = model.slot(slot).letter;
  return (isLetter(code) ? letterAndWorth(code) : std::string("empty")) + ", slot " +
         std::to_string(slot);
}

}  // namespace zp::board
