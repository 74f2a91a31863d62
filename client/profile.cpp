#include "profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "records/replace_file.h"

namespace zp::client {
namespace {

using records::ErrnoText;
using records::ReplaceFile;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldCase(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

// A line's text is [begin, end); its line end (CR LF, LF, CR or none) is [end, next).
struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

Line LineAt(std::string_view text, std::size_t pos) {
  const std::size_t end = text.find_first_of("\r\n", pos);
  if (end == std::string_view::npos) return {pos, text.size(), text.size()};
  std::size_t next = end + 1;
  if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
  return {pos, end, next};
}

enum class LineKind { kOther, kHeader, kKey };

struct Entry {
  LineKind kind = LineKind::kOther;
  std::string_view name;   // trimmed
  std::string_view value;  // untrimmed text after the first "="
};

Entry Classify(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos || line[first] == ';') return {};
  if (line[first] == '[') {
    // A header without its "]" still starts a section, named to the end of the line.
    const std::size_t close = std::min(line.find(']', first + 1), line.size());
    return {LineKind::kHeader, Trim(line.substr(first + 1, close - first - 1)), {}};
  }
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {};
  return {LineKind::kKey, Trim(line.substr(0, equals)), line.substr(equals + 1)};
}

std::string_view TextOf(std::string_view text, const Line& line) {
  return text.substr(line.begin, line.end - line.begin);
}

struct Location {
  std::optional<Line> header;    // the first section of the name
  std::optional<Line> key;       // the first line of the key in it
  std::optional<Line> last_key;  // the last key line seen in that section
};

Location Locate(std::string_view text, std::string_view section, std::string_view key) {
  Location at;
  bool inside = false;
  for (std::size_t pos = 0; pos < text.size();) {
    const Line line = LineAt(text, pos);
    pos = line.next;
    const Entry entry = Classify(TextOf(text, line));
    if (entry.kind == LineKind::kHeader) {
      if (inside) break;
      if (EqualsNoCase(entry.name, section)) {
        inside = true;
        at.header = line;
      }
    } else if (inside && entry.kind == LineKind::kKey) {
      at.last_key = line;
      if (EqualsNoCase(entry.name, key)) {
        at.key = line;
        break;
      }
    }
  }
  return at;
}

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

std::string WithoutLineBreaks(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

// Quotes a value whose outer blanks or quotes a reader would otherwise take away.
std::string Encode(const std::string& value) {
  const bool blanks = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
  const bool quoted = value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
  return blanks || quoted ? '"' + value + '"' : value;
}

enum class ReadResult { kRead, kMissing, kTooLarge, kFailed };

// Reads at most ProfileFile::kMaxBytes of `file` into `text`.
ReadResult ReadCapped(const std::filesystem::path& file, std::string& text) {
  text.clear();
  // A named pipe or a device at the path must not hold the window: opened without waiting,
  // and refused unless it is a plain file.
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0)
    return errno == ENOENT || errno == ENOTDIR ? ReadResult::kMissing : ReadResult::kFailed;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadResult::kFailed;
  }
  // One byte more than allowed tells a file at the limit from a larger one.
  text.resize(ProfileFile::kMaxBytes + 1);
  std::size_t done = 0;
  ReadResult result = ReadResult::kRead;
  while (done < text.size()) {
    const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result = ReadResult::kFailed;
      break;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (result == ReadResult::kFailed) {
    text.clear();
    return result;
  }
  text.resize(done);
  if (done > ProfileFile::kMaxBytes) {
    text.resize(ProfileFile::kMaxBytes);
    return ReadResult::kTooLarge;
  }
  return ReadResult::kRead;
}

// The file a write replaces: the path itself, or the file a link at it leads to, so a link
// stays a link. A link whose file is missing gets it made where it points, as long as that
// folder exists; the folder is not made, since the link may point where it no longer should.
std::optional<std::string> LinkTarget(const std::filesystem::path& path,
                                      std::filesystem::path& target) {
  namespace fs = std::filesystem;
  target = path;
  std::error_code ec;
  for (int hops = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
    if (hops == 40) return path.string() + ": too many links in a row";
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) return "Cannot read the link " + target.string() + ": " + ec.message();
    target = (next.is_absolute() ? next : target.parent_path() / next).lexically_normal();
  }
  if (target == path) return std::nullopt;
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec))
    return path.string() + " is a link into " + folder.string() + ", which is not a folder";
  return std::nullopt;
}

// A file its owner made read-only keeps its bytes: renaming a new file over it would need
// only the folder's permission. The mode is looked at too, since root may write anything.
std::optional<std::string> RefuseReadOnly(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return std::nullopt;  // a new file
  if ((st.st_mode & S_IWUSR) == 0 || ::access(file.c_str(), W_OK) != 0)
    return file.string() + " is read-only";
  return std::nullopt;
}

}  // namespace

std::string ProfileText::ReadString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
  const Location at = Locate(text_, Trim(section), Trim(key));
  if (!at.key) return std::string(fallback);
  std::string_view value = Trim(Classify(TextOf(text_, *at.key)).value);
  if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value.substr(0, kMaxValue));
}

std::optional<std::string> ProfileText::WriteString(std::string_view section, std::string_view key,
                                                    std::string_view value) {
  const std::string section_name(Trim(WithoutLineBreaks(section)));
  const std::string key_name(Trim(WithoutLineBreaks(key)));
  if (section_name.empty() || section_name.find(']') != std::string::npos) {
    return "The section name \"" + section_name + "\" cannot be stored";
  }
  if (key_name.empty() || key_name.find('=') != std::string::npos || key_name.front() == ';' ||
      key_name.front() == '[') {
    return "The key name \"" + key_name + "\" cannot be stored";
  }
  const std::string stored = Encode(WithoutLineBreaks(value));

  const Location at = Locate(text_, section_name, key_name);
  if (at.key) {
    const std::string spelling(Classify(TextOf(text_, *at.key)).name);
    text_.replace(at.key->begin, at.key->next - at.key->begin, spelling + "=" + stored + "\r\n");
  } else if (at.header) {
    const Line& after = at.last_key ? *at.last_key : *at.header;
    std::string line = key_name + "=" + stored + "\r\n";
    if (after.next == after.end) line.insert(0, "\r\n");  // the file's last line had no end
    text_.insert(after.next, line);
  } else {
    if (!text_.empty() && text_.back() != '\n' && text_.back() != '\r') text_ += "\r\n";
    text_ += "[" + section_name + "]\r\n" + key_name + "=" + stored + "\r\n";
  }
  return std::nullopt;
}

ProfileText ProfileFile::Read() const {
  std::string text;
  switch (ReadCapped(path_, text)) {
    case ReadResult::kRead:
    case ReadResult::kTooLarge:
      return ProfileText(std::move(text));
    case ReadResult::kMissing:
      if (!shipped_.empty() && ReadCapped(shipped_, text) != ReadResult::kFailed) {
        return ProfileText(std::move(text));
      }
      return {};
    case ReadResult::kFailed:
      break;
  }
  return {};
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
  return Read().ReadString(section, key, fallback);
}

std::optional<std::string> ProfileFile::WriteString(std::string_view section, std::string_view key,
                                                    std::string_view value) const {
  return WriteStrings(section, {{std::string(key), std::string(value)}});
}

std::optional<std::string> ProfileFile::WriteStrings(
    std::string_view section, const std::vector<std::pair<std::string, std::string>>& keys) const {
  try {
    std::string before;
    switch (ReadCapped(path_, before)) {
      case ReadResult::kRead:
        break;
      case ReadResult::kMissing:
        // A shipped file that cannot be read is simply not copied: it stays as it is.
        if (shipped_.empty() || ReadCapped(shipped_, before) != ReadResult::kRead) before.clear();
        break;
      case ReadResult::kTooLarge:
        return path_.string() + " is larger than " + std::to_string(kMaxBytes) +
               " bytes and is left as it is";
      case ReadResult::kFailed:
        return ErrnoText("Cannot read", path_);
    }
    ProfileText profile(before);
    for (const auto& [key, value] : keys) {
      if (auto error = profile.WriteString(section, key, value)) return error;
    }
    if (profile.Text() == before) return std::nullopt;

    std::error_code ec;
    const auto folder = path_.parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
      std::filesystem::create_directories(folder, ec);
      if (ec) return "Cannot create the folder " + folder.string() + ": " + ec.message();
    }
    std::filesystem::path target;
    if (auto error = LinkTarget(path_, target)) return error;
    if (auto refused = RefuseReadOnly(target)) return refused;
    return ReplaceFile(target, profile.Text());
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
}

}  // namespace zp::client
