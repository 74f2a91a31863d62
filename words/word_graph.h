#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zp::words {

// A set of words held as a letter tree for walking a board: from a node, the letter a path
// steps onto leads to the next node, and a node says whether a word ends there. Every node
// takes eight bytes, its children lie side by side in letter order, so a step is one mask
// test and one popcount. Built once; read-only after, so one graph serves any number of
// searches.
//
//   const WordGraph graph = WordGraph::fromRecords(carriedWordList(), 4, 7);
//   WordGraph::Node node = graph.child(WordGraph::kRoot, 'c' - 'a');  // kNone: no word
//   if (node != WordGraph::kNone && graph.endsWord(node)) ...
class WordGraph {
 public:
  using Node = std::uint32_t;
  static constexpr Node kRoot = 0;
  static constexpr Node kNone = ~Node{0};
  static constexpr int kLetters = 26;

  // Holds nothing.
  WordGraph();
  // The words of `minLength` to `maxLength` letters a..z, in either case; every other word
  // (too short, too long, or with any other character) is left out. Order and repeats do not
  // matter.
  static WordGraph fromWords(std::span<const std::string> words, std::size_t minLength,
                             std::size_t maxLength);
  // The same from the dictionary's records: 15 bytes each, a marker byte and then the word
  // padded with blanks. A short last record is ignored.
  static WordGraph fromRecords(std::string_view records, std::size_t minLength,
                               std::size_t maxLength);

  // The node a step onto `letter` (0 for a .. 25 for z) leads to, or kNone.
  Node child(Node node, int letter) const {
    const std::uint32_t mask = nodes_[node].letters;
    const std::uint32_t bit = std::uint32_t{1} << letter;
    if ((mask & bit) == 0) return kNone;
    return nodes_[node].firstChild +
           static_cast<Node>(__builtin_popcount(mask & (bit - 1) & kLetterBits));
  }
  // True when the letters that led from the root to `node` make a word of the set.
  bool endsWord(Node node) const { return (nodes_[node].letters & kWordEnds) != 0; }
  bool contains(std::string_view word) const;

  std::size_t wordCount() const { return words_; }
  std::size_t nodeCount() const { return nodes_.size(); }
  // The memory the graph holds.
  std::size_t bytes() const { return nodes_.capacity() * sizeof(Entry); }

 private:
  struct Entry {
    std::uint32_t letters = 0;     // bit i: a child for letter i; kWordEnds: a word ends here
    std::uint32_t firstChild = 0;  // the child of the lowest letter
  };
  static constexpr std::uint32_t kLetterBits = (std::uint32_t{1} << kLetters) - 1;
  static constexpr std::uint32_t kWordEnds = std::uint32_t{1} << 31;

  // `words`: letters only, of the allowed lengths, in any order and case.
  explicit WordGraph(std::vector<std::string_view> words);
  void grow(Node node, std::span<const std::string_view> words, std::size_t depth);

  std::vector<Entry> nodes_;
  std::size_t words_ = 0;
};

}  // namespace zp::words
