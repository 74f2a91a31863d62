#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "words/tdictn.h"
#include "words_test_util.h"

namespace zp::words {
namespace {

std::string_view wordOf(std::string_view list, std::size_t index) {
  std::string_view word = list.substr(index * kRecordSize + 1, kRecordSize - 1);
  return word.substr(0, word.find(' '));
}

TEST(CarriedWordList, HasTheExpectedSizeAndWellFormedSortedRecords) {
  const std::string_view list = carriedWordList();
  ASSERT_EQ(list.size() % kRecordSize, 0u);
  const std::size_t count = list.size() / kRecordSize;
  EXPECT_GT(count, 235'000u);
  EXPECT_LT(count, 243'000u);

  std::string_view previous;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view record = list.substr(i * kRecordSize, kRecordSize);
    ASSERT_EQ(record[0], '\x1e') << "record " << i;
    const std::string_view word = wordOf(list, i);
    ASSERT_GE(word.size(), 2u) << "record " << i;
    ASSERT_TRUE(std::all_of(word.begin(), word.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
        << "record " << i << ": " << record;
    ASSERT_TRUE(std::all_of(record.begin() + 1 + static_cast<std::ptrdiff_t>(word.size()),
                            record.end(), [](char c) { return c == ' '; }))
        << "record " << i << ": " << record;
    // Strictly ascending in the 14 padded bytes, which is the order the search relies on.
    const std::string_view padded = record.substr(1);
    ASSERT_LT(previous, padded) << "record " << i;
    previous = padded;
  }
}

class CarriedDictionary : public ::testing::Test {
 protected:
  zp::testing::TempDir dir;
  TDictn dict{dir.path() / "English", carriedWordList()};
};

TEST_F(CarriedDictionary, HoldsCommonWordsAndLeavesOutLetterPluralsAndUnits) {
  ASSERT_TRUE(dict.isOpen());
  for (const char* w : {"QUIZ", "STORM", "CAT", "HOUSE", "ZYZZYVA", "AARDVARK", "AS", "IS", "US",
                        "OX", "COLOUR", "COLOR", "ANTIDISESTABL"})
    EXPECT_EQ(dict.checkword(w), std::string_view(w) != "ANTIDISESTABL") << w;
  for (const char* w : {"BS", "CS", "KS", "SS", "YS", "ZS", "KB", "LM", "LN", "LX", "MB", "MF",
                        "CAFE'", "IPHONE", "A", "I"})
    EXPECT_FALSE(dict.checkword(w)) << w;
}

TEST_F(CarriedDictionary, FindsTheEndsAndASampleOfRecordsWithinEighteenReads) {
  const std::string_view list = carriedWordList();
  const std::size_t count = list.size() / kRecordSize;
  for (std::size_t i = 0; i < count; i += (i < 3 || i + 3 > count) ? 1 : 97) {
    ASSERT_TRUE(dict.checkword(wordOf(list, i))) << wordOf(list, i);
    ASSERT_LE(dict.lastLookupReads(), 18);
  }
  EXPECT_TRUE(dict.checkword(wordOf(list, count - 1)));
  EXPECT_FALSE(dict.checkword("A"));
  EXPECT_FALSE(dict.checkword("ZZZZZZZZZ"));
}

TEST(CarriedWordList, ShipsScowlsCopyrightNotice) {
  const std::string_view text = carriedWordListCopyright();
  EXPECT_NE(text.find("Kevin Atkinson"), std::string_view::npos);
  EXPECT_NE(text.find("Permission to use, copy, modify, distribute and sell"),
            std::string_view::npos);
}

TEST(CarriedCandidates, AreSortedLowerCaseShortWordsOfTheWordList) {
  const auto& words = carriedCandidateWords();
  EXPECT_GT(words.size(), 7'300u);
  EXPECT_LT(words.size(), 7'800u);
  const auto playable = std::count_if(words.begin(), words.end(), [](const std::string& w) {
    return w.size() >= 4 && w.size() <= 7;
  });
  EXPECT_GE(playable, 7'100);
  EXPECT_LE(playable, 7'400);
  EXPECT_TRUE(std::is_sorted(words.begin(), words.end()));
  EXPECT_EQ(std::adjacent_find(words.begin(), words.end()), words.end());

  zp::testing::TempDir dir;
  TDictn dict(dir.path() / "English", carriedWordList());
  for (const auto& w : words) {
    ASSERT_GE(w.size(), 2u) << w;
    ASSERT_LE(w.size(), 7u) << w;
    ASSERT_TRUE(std::all_of(w.begin(), w.end(), [](char c) { return c >= 'a' && c <= 'z'; })) << w;
    ASSERT_TRUE(dict.checkword(w)) << w;
  }
}

TEST(CarriedCandidates, HoldCommonWordsButNoOffensiveOnes) {
  const auto& words = carriedCandidateWords();
  const auto has = [&](std::string_view w) {
    return std::binary_search(words.begin(), words.end(), w);
  };
  for (const char* w : {"house", "water", "storm", "quiz", "people", "garden", "zone"})
    EXPECT_TRUE(has(w)) << w;
  for (const char* w : {"ass", "bitch", "bastard", "whore", "slut", "rape", "raped", "penis", "sex",
                        "sexy", "damn", "crap", "faggot", "queer", "nude", "orgasm"})
    EXPECT_FALSE(has(w)) << w;
}

}  // namespace
}  // namespace zp::words
