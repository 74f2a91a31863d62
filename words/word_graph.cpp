#include "words/word_graph.h"

#include <algorithm>

namespace zp::words {
namespace {

constexpr std::size_t kRecordWidth = 15;

// `word` in lower case when it is all letters a..z of an allowed length; empty otherwise.
std::string keyOf(std::string_view word, std::size_t minLength, std::size_t maxLength) {
  if (word.size() < minLength || word.size() > maxLength) return {};
  std::string key(word);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c < 'a' || c > 'z') return {};
  }
  return key;
}

void sortedWithoutRepeats(std::vector<std::string>& keys) {
  if (!std::is_sorted(keys.begin(), keys.end())) std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
}

}  // namespace

WordGraph::WordGraph() : nodes_(1) {}

WordGraph WordGraph::fromWords(std::span<const std::string> words, std::size_t minLength,
                               std::size_t maxLength) {
  std::vector<std::string> keys;
  keys.reserve(words.size());
  for (const std::string& word : words)
    if (std::string key = keyOf(word, std::max<std::size_t>(minLength, 1), maxLength); !key.empty())
      keys.push_back(std::move(key));
  sortedWithoutRepeats(keys);
  return WordGraph(keys);
}

WordGraph WordGraph::fromRecords(std::string_view records, std::size_t minLength,
                                 std::size_t maxLength) {
  std::vector<std::string> keys;
  for (std::size_t at = 0; at + kRecordWidth <= records.size(); at += kRecordWidth) {
    std::string_view word = records.substr(at + 1, kRecordWidth - 1);
    while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
    while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
    if (std::string key = keyOf(word, std::max<std::size_t>(minLength, 1), maxLength); !key.empty())
      keys.push_back(std::move(key));
  }
  sortedWithoutRepeats(keys);
  return WordGraph(keys);
}

WordGraph::WordGraph(const std::vector<std::string>& words) : words_(words.size()) {
  // Breadth first: a node's children are appended together, so they lie side by side. Each
  // node stands for the run of words that share its prefix; in sorted order the prefix
  // itself, when it is a word, comes first.
  struct Run {
    std::uint32_t begin, end, depth;
  };
  std::vector<Run> runs{{0, static_cast<std::uint32_t>(words.size()), 0}};
  nodes_.resize(1);
  for (std::size_t n = 0; n < nodes_.size(); ++n) {
    auto [begin, end, depth] = runs[n];
    if (begin < end && words[begin].size() == depth) {
      nodes_[n].letters |= kWordEnds;
      ++begin;
    }
    nodes_[n].firstChild = static_cast<std::uint32_t>(nodes_.size());
    while (begin < end) {
      const char letter = words[begin][depth];
      std::uint32_t next = begin + 1;
      while (next < end && words[next][depth] == letter) ++next;
      nodes_[n].letters |= std::uint32_t{1} << (letter - 'a');
      nodes_.emplace_back();
      runs.push_back({begin, next, depth + 1});
      begin = next;
    }
  }
  nodes_.shrink_to_fit();
}

bool WordGraph::contains(std::string_view word) const {
  Node node = kRoot;
  for (const char c : word) {
    const int letter = (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) - 'a';
    if (letter < 0 || letter >= kLetters) return false;
    if ((node = child(node, letter)) == kNone) return false;
  }
  return endsWord(node);
}

}  // namespace zp::words
