#include "words/word_graph.h"

#include <algorithm>

namespace zp::words {
namespace {

constexpr std::size_t kRecordWidth = 15;

// 0 for a or A .. 25 for z or Z; -1 for any other character.
int letterOf(char c) {
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= 'A' && c <= 'Z') return c - 'A';
  return -1;
}

bool fits(std::string_view word, std::size_t minLength, std::size_t maxLength) {
  return word.size() >= std::max<std::size_t>(minLength, 1) && word.size() <= maxLength &&
         std::all_of(word.begin(), word.end(), [](char c) { return letterOf(c) >= 0; });
}

// Alphabetical without regard to case; a word before the longer words it begins.
bool before(std::string_view x, std::string_view y) {
  return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                      [](char a, char b) { return letterOf(a) < letterOf(b); });
}

std::size_t sharedPrefix(std::string_view x, std::string_view y) {
  std::size_t n = 0;
  while (n < x.size() && n < y.size() && letterOf(x[n]) == letterOf(y[n])) ++n;
  return n;
}

}  // namespace

WordGraph::WordGraph() : nodes_(1) {}

WordGraph WordGraph::fromWords(std::span<const std::string> words, std::size_t minLength,
                               std::size_t maxLength) {
  std::vector<std::string_view> kept;
  kept.reserve(words.size());
  for (const std::string& word : words)
    if (fits(word, minLength, maxLength)) kept.emplace_back(word);
  return WordGraph(std::move(kept));
}

WordGraph WordGraph::fromRecords(std::string_view records, std::size_t minLength,
                                 std::size_t maxLength) {
  // The words are looked at where they lie; the list is read twice so the views are
  // allocated once.
  auto forEachWord = [&](auto&& take) {
    for (std::size_t at = 0; at + kRecordWidth <= records.size(); at += kRecordWidth) {
      std::string_view word = records.substr(at + 1, kRecordWidth - 1);
      while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
      while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
      if (fits(word, minLength, maxLength)) take(word);
    }
  };
  std::size_t count = 0;
  forEachWord([&](std::string_view) { ++count; });
  std::vector<std::string_view> kept;
  kept.reserve(count);
  forEachWord([&](std::string_view word) { kept.push_back(word); });
  return WordGraph(std::move(kept));
}

WordGraph::WordGraph(std::vector<std::string_view> words) {
  if (!std::is_sorted(words.begin(), words.end(), before))
    std::sort(words.begin(), words.end(), before);
  words.erase(std::unique(words.begin(), words.end(),
                          [](std::string_view x, std::string_view y) {
                            return !before(x, y) && !before(y, x);
                          }),
              words.end());
  words_ = words.size();
  // A node per distinct prefix, so the nodes are allocated once and exactly.
  std::size_t nodes = 1;
  for (std::size_t i = 0; i < words.size(); ++i)
    nodes += words[i].size() - (i == 0 ? 0 : sharedPrefix(words[i - 1], words[i]));
  nodes_.reserve(nodes);
  nodes_.resize(1);
  grow(kRoot, words, 0);
}

// `words` share the `depth` letters that lead to `node`; in sorted order the prefix itself,
// when it is a word, comes first. A node's children are appended together, so they lie side
// by side, and each is then grown in turn.
void WordGraph::grow(Node node, std::span<const std::string_view> words, std::size_t depth) {
  if (!words.empty() && words.front().size() == depth) {
    nodes_[node].letters |= kWordEnds;
    words = words.subspan(1);
  }
  const auto first = static_cast<Node>(nodes_.size());
  nodes_[node].firstChild = first;
  auto nextRun = [&](std::size_t begin) {
    const int letter = letterOf(words[begin][depth]);
    std::size_t end = begin + 1;
    while (end < words.size() && letterOf(words[end][depth]) == letter) ++end;
    return std::pair{letter, end};
  };
  for (std::size_t begin = 0; begin < words.size();) {
    const auto [letter, end] = nextRun(begin);
    nodes_[node].letters |= std::uint32_t{1} << letter;
    nodes_.emplace_back();
    begin = end;
  }
  Node child = first;
  for (std::size_t begin = 0; begin < words.size(); ++child) {
    const std::size_t end = nextRun(begin).second;
    grow(child, words.subspan(begin, end - begin), depth + 1);
    begin = end;
  }
}

bool WordGraph::contains(std::string_view word) const {
  Node node = kRoot;
  for (const char c : word) {
    const int letter = letterOf(c);
    if (letter < 0) return false;
    if ((node = child(node, letter)) == kNone) return false;
  }
  return endsWord(node);
}

}  // namespace zp::words
