#pragma once

#include <filesystem>
#include <string>

namespace zp::words {

// Where a program keeps its dictionary file (kDictionaryFileName).
struct DictionaryPlace {
  std::filesystem::path file;  // empty: no folder can take it, and the program must stop
  // Empty when the working folder takes the file. Otherwise one line for stderr: which folder
  // took it instead and why the working folder could not, or, with no file, every path tried
  // and the system's reason for each.
  std::string note;
};

// The working folder, or where it can neither take a new file nor offers a usable one, the
// subfolder "zandupelix" of the per-user runtime folder ($XDG_RUNTIME_DIR) and then of the
// cache folder ($XDG_CACHE_HOME, else ~/.cache), created when missing. A folder can take the
// file when a file can be created in it (tried, then removed) or when a readable regular file
// of that name is already there, which the dictionary then uses unchanged.
DictionaryPlace placeDictionaryFile(const std::filesystem::path& workingFolder);

}  // namespace zp::words
