#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zp::client {

// The text of an INI file, read and changed one key at a time the way the platform's
// profile-string functions do it, so that the other program sharing the file (the lobby)
// still finds everything:
// - section and key names match without regard to ASCII case, blanks around them ignored;
// - a line starting with "[" starts a section named up to its "]", or to the line's end;
// - only the first section of a name counts, and in it the first line of a key;
// - a value is the text after the first "=", blanks trimmed, then one pair of matching
//   outer quotes removed; ";" starts a comment line, "#" is text, a line without "=" is
//   not a key; CR LF, LF and CR all end a line.
// A change touches only the line of its key (or adds one): every other byte stays as it
// was. Lines we write end in CR LF.
class ProfileText {
 public:
  // Longest value a reader gets; longer ones come back cut (in bytes).
  static constexpr std::size_t kMaxValue = 2047;

  ProfileText() = default;
  explicit ProfileText(std::string text) : text_(std::move(text)) {}

  const std::string& Text() const { return text_; }

  // `fallback` when the section or the key is missing; a key present with an empty value
  // reads as "".
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;

  // An existing key is rewritten in place as Key=value with the key's own spelling; a new
  // key goes after the last key line of its section, a new section at the end of the file.
  // CR and LF are dropped from all three texts; a value that would not read back as
  // written (outer blanks or quotes) is quoted. Returns an error for a section or key name
  // that cannot be stored (empty, or one the file's syntax would read differently).
  std::optional<std::string> WriteString(std::string_view section, std::string_view key,
                                         std::string_view value);

 private:
  std::string text_;
};

// One INI file on disk, accessed through ProfileText. Reading never fails: a missing or
// unreadable file reads as empty, so every key gives the caller's default. Writing puts a
// complete new file beside the old one and renames it into place, so a failed write leaves
// the old file as it was; the file's permissions and owner are kept.
//
// What another program may have left at the path is respected: anything but a plain file (a
// named pipe, a device, a folder) is neither waited on nor written (reads as unreadable, a
// write fails); a read-only file is not replaced (the write fails); a link stays a link and
// the file it leads to is replaced, or made if it is missing and its folder exists.
//
// Only the first kMaxBytes of a file are read, so a huge or binary file cannot stall the
// game; such a file is never written back (WriteString reports an error instead), because
// that would lose the part that was not read.
//
//   ProfileFile file(folder / "qelmlobby.ini");
//   const std::string size = file.ReadString("ZanduPelix", "Textsize", "8");
//   if (auto error = file.WriteString("ZanduPelix", "Textsize", "10")) ...
class ProfileFile {
 public:
  static constexpr std::size_t kMaxBytes = 1 << 20;

  // While `path` does not exist, reading and the first write start from `shipped` (when not
  // empty): a per-user copy that replaces a read-only file shipped with the program.
  explicit ProfileFile(std::filesystem::path path, std::filesystem::path shipped = {})
      : path_(std::move(path)), shipped_(std::move(shipped)) {}

  // The file that is written.
  const std::filesystem::path& Path() const { return path_; }
  const std::filesystem::path& Shipped() const { return shipped_; }

  // The current text, for several reads from one look at the file.
  ProfileText Read() const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;

  // Returns an error text, or nothing on success. Creates a missing parent folder.
  std::optional<std::string> WriteString(std::string_view section, std::string_view key,
                                         std::string_view value) const;
  // Several keys of one section with a single read and a single write of the file; the
  // result is that of writing them one by one in this order. On an error nothing is written.
  std::optional<std::string> WriteStrings(
      std::string_view section, const std::vector<std::pair<std::string, std::string>>& keys) const;

 private:
  std::filesystem::path path_;
  std::filesystem::path shipped_;
};

}  // namespace zp::client
