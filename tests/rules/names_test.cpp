#include "rules/names.h"

#include <gtest/gtest.h>

#include <string>

#include "rules/constants.h"

namespace zp {
namespace {

std::string repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(Names, CleanNameDropsWhatBreaksAMessageAndCutsToTheLimit) {
  const std::string a32 = repeat("a", kMaxNameLength);
  const std::string euro31 = repeat("\xE2\x82\xAC", kMaxNameLength - 1);  // three bytes each
  const std::string emoji32 = repeat("\xF0\x9F\x98\x80", kMaxNameLength);
  const struct {
    std::string name;
    std::string expected;
  } cases[] = {
      {"Ann", "Ann"},
      {"A+B", "AB"},
      {"+++", ""},
      {"Ann\r\nBob\n", "AnnBob"},
      {std::string("A\xFF") + "B\xFF", "AB"},
      {"", ""},
      {a32, a32},
      {a32 + "b", a32},
      // What is dropped does not count toward the limit.
      {"+" + a32 + "\n", a32},
      // Cut between characters, never inside one.
      {euro31 + "x\xE2\x82\xAC", euro31 + "x"},
      {"x" + euro31 + "\xE2\x82\xAC", "x" + euro31},
      {emoji32 + "\xF0\x9F\x98\x80", emoji32},
      // A byte that starts no whole character counts as one character.
      {repeat("\x80", 40), repeat("\x80", kMaxNameLength)},
      {repeat("\xE2\x82", 20), repeat("\xE2\x82", kMaxNameLength / 2)},
      {"\xE2\x82", "\xE2\x82"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cleanName(c.name), c.expected) << c.name;
    EXPECT_EQ(cleanName(c.expected), c.expected) << "cleaning twice changes " << c.expected;
  }
  EXPECT_EQ(cleanName(emoji32 + "z").size(), static_cast<std::size_t>(kMaxNameBytes));
}

}  // namespace
}  // namespace zp
