#include "words/tdictn.h"

#include <cmath>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "words_test_util.h"

namespace zp::words {
namespace {

using testing::readFile;
using testing::records;
using testing::writeFile;
using zp::testing::TempDir;

const std::vector<std::string> kList = {
    "AAL",  "AALS", "ABSENTMINDEDNE", "ABSENTMINDEDNE", "ABSENTMINDEDNE", "BAT", "CAT",
    "CATS", "DOG",  "QUIZ",           "STORM",          "ZYZZYVA"};

class TDictnTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::filesystem::path file = dir.path() / "English";
  std::string carried = records(kList);
};

TEST_F(TDictnTest, WritesTheCarriedListWhenNoFileExistsAndDeletesItAtTheEnd) {
  {
    TDictn dict(file, carried);
    ASSERT_TRUE(dict.isOpen());
    EXPECT_EQ(readFile(file), carried);
    EXPECT_TRUE(dict.checkword("CAT"));
  }
  EXPECT_FALSE(std::filesystem::exists(file));
  // No side file of the write is left behind either.
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(TDictnTest, ReusesAnExistingFileUnchanged) {
  const std::string earlier = records({"EARLIER", "RUN"});
  writeFile(file, earlier);
  {
    TDictn dict(file, carried);
    ASSERT_TRUE(dict.isOpen());
    EXPECT_EQ(readFile(file), earlier);
    EXPECT_TRUE(dict.checkword("EARLIER"));
    EXPECT_FALSE(dict.checkword("CAT"));
  }
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(TDictnTest, NoListAndNoFileLeaveItClosedAndEveryAnswerFalse) {
  TDictn dict(file, {});
  EXPECT_FALSE(dict.isOpen());
  EXPECT_FALSE(std::filesystem::exists(file));
  for (const char* w : {"CAT", "", "A", "ZZZZ"}) {
    EXPECT_FALSE(dict.checkword(w)) << w;
    EXPECT_EQ(dict.lastLookupReads(), 0);
  }
}

TEST_F(TDictnTest, EmptyFileOpensAndFindsNothing) {
  writeFile(file, "");
  TDictn dict(file, carried);
  EXPECT_TRUE(dict.isOpen());
  EXPECT_EQ(readFile(file), "");
  EXPECT_FALSE(dict.checkword("CAT"));
  EXPECT_EQ(dict.lastLookupReads(), 0);
}

TEST_F(TDictnTest, AFolderOfThatNameIsNotADictionary) {
  std::filesystem::create_directory(file);
  TDictn dict(file, carried);
  EXPECT_FALSE(dict.isOpen());
  EXPECT_FALSE(dict.checkword("CAT"));
}

TEST_F(TDictnTest, CaseAndSurroundingBlanksDoNotMatter) {
  TDictn dict(file, carried);
  for (std::string_view w : {"CAT", "cat", "Cat", " CAT", "CAT ", "  cAt   "})
    EXPECT_TRUE(dict.checkword(w)) << '"' << w << '"';
  // NUL counts as a blank, so it is stripped at the ends too.
  EXPECT_TRUE(dict.checkword(std::string_view("\0CAT\0", 5)));
}

TEST_F(TDictnTest, InnerBlanksAndOtherWhiteSpaceAreNotStripped) {
  TDictn dict(file, carried);
  for (std::string_view w : {"CA T", "C AT", "\tCAT", "CAT\n", "CAT."})
    EXPECT_FALSE(dict.checkword(w)) << '"' << w << '"';
  EXPECT_FALSE(dict.checkword(std::string_view("CA\0T", 4)));
}

TEST_F(TDictnTest, EmptyOrBlankQueryIsRefusedWithoutARead) {
  TDictn dict(file, carried);
  for (std::string_view w : {std::string_view(""), std::string_view("   "),
                             std::string_view("\0\0", 2), std::string_view(" \0 ", 3)}) {
    EXPECT_FALSE(dict.checkword(w));
    EXPECT_EQ(dict.lastLookupReads(), 0);
  }
}

TEST_F(TDictnTest, FourteenLettersAreFoundFifteenAreNot) {
  TDictn dict(file, carried);
  EXPECT_TRUE(dict.checkword("ABSENTMINDEDNE"));  // stored three times
  EXPECT_TRUE(dict.checkword("absentmindedne"));
  EXPECT_FALSE(dict.checkword("ABSENTMINDEDNES"));
  EXPECT_FALSE(dict.checkword("ABSENTMINDEDNESS"));
  EXPECT_FALSE(dict.checkword("ABSENTMINDED"));
}

TEST_F(TDictnTest, OnlyTheFirst255CharactersCount) {
  TDictn dict(file, carried);
  std::string query = "CAT" + std::string(252, ' ');
  EXPECT_TRUE(dict.checkword(query + "JUNK"));
  EXPECT_FALSE(dict.checkword(query.substr(1) + "JUNK"));
}

TEST_F(TDictnTest, EveryRecordIsFoundAndShorterWordsSortFirst) {
  TDictn dict(file, carried);
  for (const auto& w : kList) EXPECT_TRUE(dict.checkword(w)) << w;
  // "AAL" sorts before "AALS": both ends of the prefix pair are reachable, the bare stem not.
  EXPECT_FALSE(dict.checkword("AA"));
  EXPECT_FALSE(dict.checkword("CA"));
  EXPECT_FALSE(dict.checkword("CATSS"));
}

TEST_F(TDictnTest, WordsOutsideTheListEndAfterOneSearch) {
  TDictn dict(file, carried);
  const int most = static_cast<int>(std::ceil(std::log2(kList.size() + 1)));
  for (std::string_view w : {"A", "AAA", "AAKL", "BASS", "ZZZ", "ZZZZZZZZZZZZZZ", "ZYZZYVAS"}) {
    EXPECT_FALSE(dict.checkword(w)) << w;
    EXPECT_GE(dict.lastLookupReads(), 1) << w;
    EXPECT_LE(dict.lastLookupReads(), most) << w;
  }
}

TEST_F(TDictnTest, SingleRecordList) {
  TDictn dict(file, records({"OX"}));
  EXPECT_TRUE(dict.checkword("ox"));
  EXPECT_EQ(dict.lastLookupReads(), 1);
  EXPECT_FALSE(dict.checkword("AX"));
  EXPECT_FALSE(dict.checkword("OXO"));
}

TEST_F(TDictnTest, ATrailingPartialRecordIsIgnored) {
  writeFile(file, records({"BAT", "CAT"}) +
                      "\x1e"
                      "DOG");
  TDictn dict(file, carried);
  EXPECT_TRUE(dict.checkword("CAT"));
  EXPECT_FALSE(dict.checkword("DOG"));
}

TEST_F(TDictnTest, AFileThatShrinksUnderneathAnswersFalseAndStaysOpen) {
  TDictn dict(file, carried);
  ASSERT_TRUE(dict.checkword("ZYZZYVA"));
  std::filesystem::resize_file(file, 15 * 6);  // the first probe, record 5, survives
  EXPECT_FALSE(dict.checkword("ZYZZYVA"));     // its read comes back short
  EXPECT_TRUE(dict.isOpen());
  EXPECT_TRUE(dict.checkword("AAL"));
}

TEST_F(TDictnTest, DeletesTheFileItOpenedAfterTheWorkingDirectoryChanged) {
  const auto before = std::filesystem::current_path();
  std::filesystem::create_directory(dir.path() / "elsewhere");
  std::filesystem::current_path(dir.path());
  {
    TDictn dict(kDictionaryFileName, carried);
    EXPECT_TRUE(std::filesystem::exists(file));
    std::filesystem::current_path(dir.path() / "elsewhere");
    EXPECT_TRUE(dict.checkword("DOG"));
  }
  std::filesystem::current_path(before);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(TDictnTest, AFailedWriteLeavesItClosedWithoutAFile) {
  const auto nowhere = dir.path() / "no-such-folder" / "English";
  {
    TDictn dict(nowhere, carried);
    EXPECT_FALSE(dict.isOpen());
    EXPECT_FALSE(dict.checkword("CAT"));
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace zp::words
