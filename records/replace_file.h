#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zp::records {

// Writes all of `data` to a fresh file beside `target`, flushes it to the disk and renames
// it over `target`, keeping the old file's permissions and, where it may, its owner. Until
// the rename the old file is untouched, so a failure never loses it. Returns an error text
// naming the file and the system's reason, or nothing on success.
std::optional<std::string> ReplaceFile(const std::filesystem::path& target,
                                       const std::string& data);

// `what` + " " + path + ": " + the system's reason (errno).
std::string ErrnoText(const std::string& what, const std::filesystem::path& path);

}  // namespace zp::records
