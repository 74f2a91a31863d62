#include "words/tdictn.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace zp::words {

namespace {

constexpr std::size_t kQueryLimit = 255;
constexpr std::size_t kWordWidth = 15;  // both sides of a comparison are padded to this

// Writes through a side file of its own and renames it into place, so an interrupted or
// failed write (disk full) never leaves a truncated list under the dictionary's name for a
// later run to reuse, and two copies starting in one folder never write the same file.
void writeList(const std::filesystem::path& file, std::string_view carried) {
  std::string part = file.string() + ".XXXXXX";
  const int fd = ::mkstemp(part.data());
  if (fd < 0) return;
  bool ok = true;
  for (std::string_view rest = carried; ok && !rest.empty();) {
    const ssize_t n = ::write(fd, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) rest.remove_prefix(static_cast<std::size_t>(n));
  }
  ok = ::fchmod(fd, 0644) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  std::error_code ec;
  if (ok) std::filesystem::rename(part, file, ec);
  if (!ok || ec) std::filesystem::remove(part, ec);
}

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view stripBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Padded to the word width, cut to it, upper-cased: the shape a query is compared in.
std::array<char, kWordWidth> candidateOf(const std::array<char, kRecordSize>& record) {
  std::string_view word = stripBlanks(std::string_view(record.data() + 1, kRecordSize - 1));
  std::array<char, kWordWidth> out;
  out.fill(' ');
  for (std::size_t i = 0; i < word.size() && i < kWordWidth; ++i) out[i] = upper(word[i]);
  return out;
}

}  // namespace

TDictn::TDictn(std::filesystem::path file, std::string_view carried) {
  std::error_code ec;
  // Deleting at the end must hit the file opened here even if the working directory changed.
  file_ = std::filesystem::absolute(file, ec);
  if (ec) file_ = std::move(file);

  if (!std::filesystem::exists(std::filesystem::symlink_status(file_, ec)) && !carried.empty())
    writeList(file_, carried);

  int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return;
  }
  fd_ = fd;
  lastIndex_ = static_cast<long long>(st.st_size) / kRecordSize - 1;
}

TDictn::~TDictn() {
  if (fd_ >= 0) ::close(fd_);
  std::error_code ec;
  std::filesystem::remove(file_, ec);
}

bool TDictn::checkword(std::string_view word) {
  lastReads_ = 0;
  if (fd_ < 0) return false;

  std::string query(word.substr(0, kQueryLimit));
  for (char& c : query)
    if (c == '\0') c = ' ';
  query = std::string(stripBlanks(query));
  if (query.empty()) return false;
  if (query.size() < kWordWidth) query.resize(kWordWidth, ' ');
  for (char& c : query) c = upper(c);

  long long lo = 0;
  long long hi = lastIndex_;
  std::array<char, kRecordSize> record;
  while (lo <= hi) {
    const long long mid = lo + (hi - lo) / 2;
    ssize_t got;
    do {
      got = ::pread(fd_, record.data(), record.size(), static_cast<off_t>(mid * kRecordSize));
    } while (got < 0 && errno == EINTR);
    ++lastReads_;
    if (got != static_cast<ssize_t>(record.size())) return false;

    const std::array<char, kWordWidth> candidate = candidateOf(record);
    // char_traits<char> compares as unsigned bytes, the order the list is sorted in.
    const int order = std::string_view(candidate.data(), candidate.size()).compare(query);
    if (order == 0) return true;
    if (order < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return false;
}

}  // namespace zp::words
