#include "words/tdictn.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

namespace zp::words {

namespace {

constexpr std::size_t kQueryLimit = 255;
constexpr std::size_t kWordWidth = 15;  // both sides of a comparison are padded to this

// Moves `from` to `to` unless `to` exists; an existing `to` counts as done, since another
// copy's list is as good as ours.
bool moveIntoPlace(const std::string& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  // Folders that lack this rename still refuse to link over an existing name.
  if (errno == EINVAL && ::link(from.c_str(), to.c_str()) == 0) return true;
  return errno == EEXIST;
}

// Writes through a side file of its own and moves it into place only if no file of that name
// appeared meanwhile, so an interrupted or failed write (disk full) never leaves a truncated
// list under the dictionary's name for a later run to reuse, and of two copies starting in
// one folder the second never replaces the file the first already opened. Returns 0 or errno.
int writeList(const std::filesystem::path& file, std::string_view carried) {
  std::string part = file.string() + ".XXXXXX";
  const int fd = ::mkstemp(part.data());
  if (fd < 0) return errno;
  int error = 0;
  for (std::string_view rest = carried; error == 0 && !rest.empty();) {
    const ssize_t n = ::write(fd, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) error = n < 0 ? errno : EIO;
    if (n > 0) rest.remove_prefix(static_cast<std::size_t>(n));
  }
  if (::fchmod(fd, 0644) != 0 && error == 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && !moveIntoPlace(part, file)) error = errno;
  ::unlink(part.c_str());
  return error;
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when `path` still names the file open on `fd`.
bool namesOpenFile(const std::filesystem::path& path, int fd) {
  struct stat byName = {};
  struct stat byHandle = {};
  return ::stat(path.c_str(), &byName) == 0 && ::fstat(fd, &byHandle) == 0 &&
         sameFile(byName, byHandle);
}

std::string reasonText(const std::filesystem::path& file, const char* what, int error) {
  return std::string(what) + " " + file.string() + ": " + std::strerror(error);
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

  // Every user of the file holds a shared lock on it, and the one that deletes it an exclusive
  // one: a copy that opened the file just as another deleted it tries again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    failure_.clear();
    if (!std::filesystem::exists(std::filesystem::symlink_status(file_, ec)) && !carried.empty()) {
      if (const int error = writeList(file_, carried))
        failure_ = reasonText(file_, "cannot write", error);
    }
    // Non-blocking only so that a pipe of that name cannot hang the start.
    const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      if (failure_.empty()) failure_ = reasonText(file_, "cannot open", errno);
      return;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      failure_ = reasonText(file_, "cannot use", S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
      ::close(fd);
      return;
    }
    int locked;
    do {
      locked = ::flock(fd, LOCK_SH);
    } while (locked != 0 && errno == EINTR);
    // Without locks (some network folders) the file is simply never deleted.
    if (locked != 0 || namesOpenFile(file_, fd)) {
      failure_.clear();
      fd_ = fd;
      lastIndex_ = static_cast<long long>(st.st_size) / kRecordSize - 1;
      return;
    }
    ::close(fd);
  }
  failure_ = reasonText(file_, "cannot keep", EAGAIN);
}

TDictn::~TDictn() {
  if (fd_ < 0) return;
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0 && namesOpenFile(file_, fd_)) ::unlink(file_.c_str());
  ::close(fd_);
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
