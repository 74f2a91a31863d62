// The computer's four strengths: the word each picks on a fixed board, the best word a search
// of the whole board finds, and Classic's choices as they always were.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "server/word_search.h"
#include "tests/server/table_harness.h"
#include "words/tdictn.h"
#include "words/word_graph.h"

namespace zp::server::testing {
namespace {

using Inbox = std::vector<std::string>;

// Seat 2's turn, the host alone, the board all x; the words the strengths choose from:
//
//   x x x x x x z     cart   6  (plain squares)
//   x x t o n x e     tones  5  (plain squares, but five letters)
//   q c x e x x t     quiz  66  (its triple word square; only a search that may step along
//   u a x x s x a               column 0 traces it)
//   i r x x x x x     zeta  69  (double letter and triple word squares)
//   z x t x x x x
//   x x x x x x x
const std::vector<std::string> kCandidates = {"zzzz", "cart", "tones", "quiz"};
const std::vector<std::string> kWholeList = {"cart", "tones", "quiz", "zeta"};

void layTheBoard(Table& t) {
  blank(t);
  t.lay("cart", {{1, 2}, {1, 3}, {1, 4}, {2, 5}});
  t.lay("tones", {{2, 1}, {3, 1}, {4, 1}, {3, 2}, {4, 3}});
  t.lay("quiz", {{0, 2}, {0, 3}, {0, 4}, {0, 5}});
  t.lay("zeta", {{6, 0}, {6, 1}, {6, 2}, {6, 3}});
}

// A table whose host is alone and whose computer, at `strength`, is about to play seat 2's
// first turn.
struct SeatTwo {
  SeatTwo(ComputerStrength strength, std::set<std::string> words,
          std::vector<std::string> candidates, const words::WordGraph* wholeList = nullptr,
          std::uint64_t seed = 1, int shuffles = 0)
      : t(std::move(words), std::move(candidates), seed) {
    t.server.setComputerStrength(strength, wholeList);
    t.join("Ann");
    t.start(/*playTo=*/1000, /*seconds=*/30, /*team=*/false, shuffles);
    t.seconds(34 + 4);
    EXPECT_EQ(t.server.game().current, 2);
    blank(t);
    t.clearInboxes();
  }
  Table t;
};

const std::set<std::string> kChecked = {"CART", "TONES", "QUIZ", "ZETA"};

struct Pick {
  ComputerStrength strength;
  std::string word;
  std::string madeword;
};

class StrengthPicks : public ::testing::TestWithParam<Pick> {};

TEST_P(StrengthPicks, TheWordOfItsStrengthAfterItsFiveSeconds) {
  const words::WordGraph wholeList = words::WordGraph::fromWords(kWholeList, 4, 7);
  for (const std::uint64_t seed : {1, 2, 3, 4}) {
    SeatTwo seat(GetParam().strength, kChecked, kCandidates, &wholeList, seed);
    Table& t = seat.t;
    layTheBoard(t);
    t.seconds(4);
    EXPECT_TRUE(t.received(1, "CMD_madeword").empty()) << "it still waits its seconds";
    t.second();
    EXPECT_EQ(t.received(1, "CMD_madeword"), Inbox{GetParam().madeword}) << "seed " << seed;
    // Through the same word check as a person's word.
    EXPECT_EQ(t.checker.asked, Inbox{GetParam().word});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Computer, StrengthPicks,
    ::testing::Values(
        // Four letters only, the cheapest its own search finds: not tones, worth less.
        Pick{ComputerStrength::Easy, "CART", "CMD_madeword+2+CART+6+6+0+6+1+2+1+3+1+4+2+5"},
        // The best candidate, along a trace the classic search never takes.
        Pick{ComputerStrength::Strong, "QUIZ", "CMD_madeword+2+QUIZ+66+66+0+66+0+2+0+3+0+4+0+5"},
        // Better still, a word only the whole list holds.
        Pick{ComputerStrength::Expert, "ZETA", "CMD_madeword+2+ZETA+69+69+0+69+6+0+6+1+6+2+6+3"}),
    [](const ::testing::TestParamInfo<Pick>& param) {
      return std::string(computerStrengthName(param.param.strength));
    });

TEST(EasyComputer, TakesTheCheapestFourLetterWordItFinds) {
  // Zeta and cart both trace; tones, cheaper still, has five letters. From wherever in the
  // list it starts, cart.
  for (const std::uint64_t seed : {1, 2, 3, 4, 5, 6}) {
    SeatTwo seat(ComputerStrength::Easy, kChecked, {"zzzz", "cart", "tones", "zeta"}, nullptr,
                 seed);
    layTheBoard(seat.t);
    seat.t.seconds(5);
    EXPECT_EQ(seat.t.checker.asked, Inbox{"CART"}) << "seed " << seed;
  }
}

TEST(StrongComputer, TakesTheBestTraceOfAWord) {
  // The first cart found (from column 1) is worth 6; the later one crosses a double word.
  SeatTwo seat(ComputerStrength::Strong, {"CART"}, {"zzzz", "cart"});
  seat.t.lay("cart", {{1, 2}, {1, 3}, {1, 4}, {2, 5}});
  seat.t.lay("cart", {{5, 1}, {6, 2}, {5, 3}, {4, 3}});
  seat.t.seconds(5);
  EXPECT_EQ(seat.t.received(1, "CMD_madeword"),
            Inbox{"CMD_madeword+2+CART+12+12+0+12+5+1+6+2+5+3+4+3"});
}

TEST(StrongComputer, OfEqualWordsPlaysTheFirstItFinds) {
  // Cart and trac trace the same cells backwards for the same points; the search comes to
  // cart's first cell first. A seeded game replays only if the tie always goes the same way.
  SeatTwo seat(ComputerStrength::Strong, {"CART", "TRAC"}, {"zzzz", "trac", "cart"});
  seat.t.lay("cart", {{1, 2}, {1, 3}, {1, 4}, {2, 5}});
  seat.t.seconds(5);
  EXPECT_EQ(seat.t.received(1, "CMD_madeword"),
            Inbox{"CMD_madeword+2+CART+6+6+0+6+1+2+1+3+1+4+2+5"});
}

TEST(StrongComputer, CountsTheSevenLetterBonus) {
  // Seven letters on plain squares: 7, and 20 more, beat zeta's 13.
  SeatTwo seat(ComputerStrength::Strong, {"RETINAS", "ZETA"}, {"zzzz", "retinas", "zeta"});
  seat.t.lay("retinas", {{1, 2}, {1, 3}, {1, 4}, {2, 5}, {3, 5}, {4, 5}, {4, 6}});
  seat.t.lay("zeta", {{5, 2}, {5, 3}, {5, 4}, {6, 5}});
  seat.t.seconds(5);
  EXPECT_EQ(seat.t.received(1, "CMD_madeword"),
            Inbox{"CMD_madeword+2+RETINAS+27+27+0+27+1+2+1+3+1+4+2+5+3+5+4+5+4+6"});
}

TEST(ComputerStrengths, EachShufflesWhenItFindsNothing) {
  const words::WordGraph wholeList = words::WordGraph::fromWords(kWholeList, 4, 7);
  for (const ComputerStrength strength : kComputerStrengths) {
    SeatTwo seat(strength, kChecked, kCandidates, &wholeList, 1, /*shuffles=*/2);
    seat.t.seconds(5);
    EXPECT_EQ(seat.t.received(1, "CMD_useshuffle"), Inbox{"CMD_useshuffle+2+1+44+"})
        << computerStrengthName(strength);
    EXPECT_TRUE(seat.t.checker.asked.empty());
  }
}

TEST(ComputerStrengths, ExpertWithoutTheWholeListPlaysAsStrong) {
  SeatTwo seat(ComputerStrength::Expert, kChecked, kCandidates);
  layTheBoard(seat.t);
  seat.t.seconds(5);
  EXPECT_EQ(seat.t.received(1, "CMD_madeword"),
            Inbox{"CMD_madeword+2+QUIZ+66+66+0+66+0+2+0+3+0+4+0+5"});
}

// Every trace of up to seven cells, as plainly as it can be written, against a set of words
// and their prefixes; the best points any of them scores.
int plainBest(const Board& board, const std::set<std::string>& words,
              const std::set<std::string>& prefixes) {
  int best = -1;
  std::vector<Cell> path;
  std::string spelled;
  auto extend = [&](auto& self, Cell c) -> void {
    if (std::find(path.begin(), path.end(), c) != path.end()) return;
    path.push_back(c);
    spelled += convertoletter(board.at(c.a, c.b));
    if (prefixes.count(spelled) != 0) {
      if (words.count(spelled) != 0) best = std::max(best, wordPoints(board, path));
      if (path.size() < 7) {
        for (int a = 0; a < 7; ++a)
          for (int b = 0; b < 7; ++b)
            if (touching(c, {a, b})) self(self, Cell{a, b});
      }
    }
    path.pop_back();
    spelled.pop_back();
  };
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b) extend(extend, Cell{a, b});
  return best;
}

// Random boards of the real letter supply, some with emptied cells, against the whole
// carried word list: the search finds a word exactly as good as the best any trace spells,
// and what it returns is a real trace of a real word, scored as the table scores it.
TEST(WordSearch, FindsTheBestWordAnyTraceOfTheBoardSpells) {
  const words::WordGraph graph = words::WordGraph::fromRecords(words::carriedWordList(), 4, 7);
  std::set<std::string> words, prefixes;
  const std::string_view list = words::carriedWordList();
  for (std::size_t at = 0; at + 15 <= list.size(); at += 15) {
    std::string word(list.substr(at + 1, 14));
    word.erase(word.find_last_not_of(' ') + 1);
    if (word.size() < 4 || word.size() > 7) continue;
    for (char& c : word) c = static_cast<char>(c - 'A' + 'a');
    for (std::size_t n = 1; n <= word.size(); ++n) prefixes.insert(word.substr(0, n));
    words.insert(word);
  }
  std::mt19937 random(2024);
  int found = 0;
  for (int round = 0; round < 8; ++round) {
    Board board;
    for (int a = 0; a < 7; ++a) {
      for (int b = 0; b < 7; ++b) {
        int code = letterFromDraw(std::uniform_int_distribution<int>(1, 98)(random));
        if (round % 4 == 3 && random() % 5 == 0) code = kEmptyCode;
        board.set(a, b, code);
      }
    }
    const auto trace = bestTrace(board, graph);
    const int expected = plainBest(board, words, prefixes);
    if (expected < 0) {
      EXPECT_FALSE(trace) << "round " << round;
      continue;
    }
    ASSERT_TRUE(trace) << "round " << round;
    ++found;
    EXPECT_EQ(trace->points, expected) << "round " << round;
    EXPECT_EQ(trace->points, wordPoints(board, trace->path));
    std::string spelled;
    for (std::size_t i = 0; i < trace->path.size(); ++i) {
      const Cell c = trace->path[i];
      ASSERT_TRUE(board::onBoard(c));
      if (i > 0) {
        ASSERT_TRUE(touching(c, trace->path[i - 1]));
      }
      ASSERT_EQ(std::count(trace->path.begin(), trace->path.end(), c), 1);
      spelled += convertoletter(board.at(c.a, c.b));
    }
    EXPECT_EQ(words.count(spelled), 1u) << spelled;
  }
  EXPECT_GE(found, 6);
}

// Accepts every word, so the computer's choices alone decide the game.
class AnyWord : public words::WordChecker {
 public:
  bool checkword(std::string_view) override { return true; }
};

// The computer in both seats of a seeded game: its words, points and shuffles, in order.
std::vector<std::string> computerMoves(std::uint64_t seed, bool sayClassic) {
  AnyWord anyWord;
  Table t(anyWord, words::carriedCandidateWords(), seed);
  if (sayClassic) t.server.setComputerStrength(ComputerStrength::Classic);
  t.join("Ann");
  t.start(/*playTo=*/150, /*seconds=*/30, /*team=*/false, /*shuffles=*/1);
  t.deliver(1, net::to_server::justwatch({1, 1}));
  for (int tick = 0; tick < 20000 && t.server.game().running; ++tick) t.second();
  std::vector<std::string> moves;
  for (const std::string& m : t.inbox(1)) {
    if (m.starts_with("CMD_madeword+")) {
      // Seat, word and points.
      std::size_t end = m.find('+', 13);
      end = m.find('+', end + 1);
      end = m.find('+', end + 1);
      moves.push_back(m.substr(13, end - 13));
    } else if (m.starts_with("CMD_useshuffle+")) {
      moves.push_back("shuffle " + m.substr(15, 1));
    }
  }
  return moves;
}

// Recorded from the computer before it had strengths: Classic keeps every choice.
TEST(ClassicComputer, MakesTheChoicesItAlwaysMadeForTheSameSeeds) {
  const std::vector<std::pair<std::uint64_t, std::vector<std::string>>> recorded = {
      {3,
       {"1+ALAS+12", "2+DARE+8", "1+TUNE+26", "2+OVEN+46", "1+EATING+10", "2+MOOD+36", "1+NEED+6",
        "2+BOUT+12", "1+BEND+10", "2+NEAT+12", "1+POND+12", "2+CANS+18", "1+CHIP+20", "2+THAN+12",
        "1+FACE+20", "2+DARE+8"}},
      {11,
       {"1+BOUT+28", "2+IDOL+56", "1+ROWS+20", "2+COIN+24", "1+INSIST+12", "2+COMA+10",
        "1+EATING+42", "2+FAIR+8", "1+TORE+6", "2+YOGA+14", "1+GOSH+10", "2+GOLD+36", "1+OATH+10",
        "2+RELAY+81"}},
  };
  for (const auto& [seed, moves] : recorded) {
    EXPECT_EQ(computerMoves(seed, false), moves) << "seed " << seed;
    EXPECT_EQ(computerMoves(seed, true), moves) << "seed " << seed << ", said to be classic";
  }
}

}  // namespace
}  // namespace zp::server::testing
