// The word list as a letter tree: which words it holds, and that the steps of a walk lead
// where the letters say.
#include "words/word_graph.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "words/tdictn.h"
#include "words_test_util.h"

namespace zp::words {
namespace {

TEST(WordGraph, HoldsTheWordsOfTheAllowedLengthsInEitherCase) {
  const std::vector<std::string> words = {"tram",  "CART",        "cart",    "carts",
                                          "care",  "ca",          "scarted", "scarters",
                                          "do-it", "caf\xc3\xa9", "",        "Zebu"};
  const WordGraph graph = WordGraph::fromWords(words, 4, 7);
  struct Case {
    const char* word;
    bool held;
  };
  const Case cases[] = {
      {"cart", true},      {"CART", true},         {"Carts", true},
      {"care", true},      {"tram", true},         {"zebu", true},
      {"scarted", true},   {"car", false},  // a prefix only
      {"ca", false},                        // too short
      {"scarters", false},                  // too long
      {"do-it", false},    {"caf\xc3\xa9", false}, {"", false},
      {"carts!", false},   {"cartz", false},
  };
  for (const Case& c : cases) EXPECT_EQ(graph.contains(c.word), c.held) << c.word;
  EXPECT_EQ(graph.wordCount(), 6u) << "cart once, however often and in whatever case";
}

TEST(WordGraph, AWalkStepsLetterByLetterAndStopsWhereNoWordGoesOn) {
  const std::vector<std::string> words = {"zone", "tram", "trim", "trims", "tramp", "acre"};
  const WordGraph graph = WordGraph::fromWords(words, 4, 7);
  auto walk = [&](std::string_view letters) {
    WordGraph::Node node = WordGraph::kRoot;
    for (const char c : letters)
      if (node != WordGraph::kNone) node = graph.child(node, c - 'a');
    return node;
  };
  EXPECT_NE(walk("tr"), WordGraph::kNone);
  EXPECT_EQ(walk("tx"), WordGraph::kNone);
  EXPECT_EQ(walk("trams"), WordGraph::kNone);
  EXPECT_FALSE(graph.endsWord(walk("tra")));
  EXPECT_TRUE(graph.endsWord(walk("trim")));
  EXPECT_TRUE(graph.endsWord(walk("trims")));
  EXPECT_NE(walk("tram"), walk("trim"));
  // Every letter of the alphabet, the lowest and the highest included.
  EXPECT_TRUE(graph.endsWord(walk("acre")));
  EXPECT_TRUE(graph.endsWord(walk("zone")));
  for (int letter = 0; letter < WordGraph::kLetters; ++letter)
    EXPECT_EQ(graph.child(WordGraph::kRoot, letter) != WordGraph::kNone,
              letter == 0 || letter == 't' - 'a' || letter == 'z' - 'a')
        << letter;
}

TEST(WordGraph, ReadsTheDictionaryRecords) {
  std::string list = testing::records({"ABLE", "AXE", "BEARDED", "BEARDEDS", "CART", "CARTS"});
  list +=
      "\x1e"
      "TAIL";  // a short last record
  const WordGraph graph = WordGraph::fromRecords(list, 4, 7);
  EXPECT_EQ(graph.wordCount(), 4u);
  for (const char* word : {"able", "bearded", "cart", "carts"}) EXPECT_TRUE(graph.contains(word));
  for (const char* word : {"axe", "beardeds", "tail"}) EXPECT_FALSE(graph.contains(word));
  EXPECT_EQ(WordGraph::fromRecords("", 4, 7).wordCount(), 0u);
}

// The carried list whole: the graph holds exactly its words of four to seven letters, and
// nothing a changed letter makes of them that the list lacks.
TEST(WordGraph, HoldsExactlyTheCarriedListsWordsOfFourToSevenLetters) {
  const std::string_view list = carriedWordList();
  ASSERT_FALSE(list.empty());
  const WordGraph graph = WordGraph::fromRecords(list, 4, 7);
  std::set<std::string> expected;
  for (std::size_t at = 0; at + kRecordSize <= list.size(); at += kRecordSize) {
    std::string word(list.substr(at + 1, kRecordSize - 1));
    word.erase(word.find_last_not_of(' ') + 1);
    for (char& c : word) c = static_cast<char>(c - 'A' + 'a');
    if (word.size() >= 4 && word.size() <= 7) expected.insert(word);
  }
  EXPECT_EQ(graph.wordCount(), expected.size());
  std::mt19937 random(7);
  int changedAndHeld = 0;
  for (const std::string& word : expected) {
    ASSERT_TRUE(graph.contains(word)) << word;
    std::string changed = word;
    changed[random() % changed.size()] = static_cast<char>('a' + random() % 26);
    ASSERT_EQ(graph.contains(changed), expected.count(changed) == 1) << changed;
    changedAndHeld += expected.count(changed) == 1 && changed != word;
  }
  EXPECT_GT(changedAndHeld, 1000) << "the changed words must test both answers";
}

}  // namespace
}  // namespace zp::words
