#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "words/word_checker.h"

namespace zp::words {

// Scratch file the dictionary writes at start, in the folder placeDictionaryFile chooses, and
// deletes at exit.
inline constexpr std::string_view kDictionaryFileName = "English";
// What the host is told when the dictionary cannot be opened.
inline constexpr std::string_view kDictionaryNotFound = "English.dic dictionary not found!";
inline constexpr int kRecordSize = 15;

// The server's dictionary: a sorted file of 15-byte records (0x1E, then the upper-case word
// padded with blanks to 14) searched in place, one positioned read per step, so the list never
// sits in memory. Not thread-safe; one owner calls it from one thread.
class TDictn final : public WordChecker {
 public:
  // Writes `carried` to `file` unless a file of that name exists (an existing file is used
  // unchanged), then opens it for lookups. An empty `carried` counts as missing: nothing is
  // written, and without a file the dictionary stays closed.
  TDictn(std::filesystem::path file, std::string_view carried);
  // Closes the file and deletes it unless another dictionary (in any process) still has it
  // open, so a second program in the same folder never takes the file from a first one that
  // runs on, while a file left by a killed run goes. Errors swallowed.
  ~TDictn() override;
  TDictn(const TDictn&) = delete;
  TDictn& operator=(const TDictn&) = delete;

  // False: the caller shows kDictionaryNotFound, and every lookup answers false.
  bool isOpen() const { return fd_ >= 0; }
  // Why it is closed, naming the file and the system's reason; empty while open.
  const std::string& failure() const { return failure_; }
  // Case and surrounding blanks do not matter; an I/O error answers false.
  bool checkword(std::string_view word) override;
  // Record reads of the last lookup.
  int lastLookupReads() const { return lastReads_; }

 private:
  std::filesystem::path file_;
  std::string failure_;
  int fd_ = -1;
  long long lastIndex_ = -1;  // number of records - 1
  int lastReads_ = 0;
};

// The word list compiled into the program; empty if the resource is missing.
std::string_view carriedWordList();
// Lets the memory of the carried list go once the dictionary file is written.
void releaseCarriedWordList();
// The computer player's candidate words, lower-case and sorted, entry 0 first.
const std::vector<std::string>& carriedCandidateWords();
// SCOWL's copyright notice, which must travel with the word list.
std::string_view carriedWordListCopyright();

}  // namespace zp::words
