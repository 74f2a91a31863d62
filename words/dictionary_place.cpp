#include "words/dictionary_place.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "words/tdictn.h"

namespace zp::words {

namespace {

constexpr const char* kSubfolder = "zandupelix";

// The variable's value when it is an absolute path; relative ones are to be ignored.
std::filesystem::path absoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};
  return value;
}

// Empty when `file` can serve as the dictionary file, else the system's reason.
std::string whyNot(const std::filesystem::path& file) {
  struct stat st = {};
  if (::lstat(file.c_str(), &st) == 0) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::strerror(errno);
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular) return std::strerror(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    return {};
  }
  if (errno != ENOENT) return std::strerror(errno);
  std::string probe = file.string() + ".XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  ::unlink(probe.c_str());
  return {};
}

}  // namespace

DictionaryPlace placeDictionaryFile(const std::filesystem::path& workingFolder) {
  std::vector<std::filesystem::path> fallbacks;
  if (auto runtime = absoluteFromEnvironment("XDG_RUNTIME_DIR"); !runtime.empty())
    fallbacks.push_back(runtime / kSubfolder);
  if (auto cache = absoluteFromEnvironment("XDG_CACHE_HOME"); !cache.empty()) {
    fallbacks.push_back(cache / kSubfolder);
  } else if (auto home = absoluteFromEnvironment("HOME"); !home.empty()) {
    fallbacks.push_back(home / ".cache" / kSubfolder);
  }

  const std::filesystem::path first = workingFolder / kDictionaryFileName;
  const std::string firstReason = whyNot(first);
  if (firstReason.empty()) return {first, {}};
  std::string tried = first.string() + ": " + firstReason;

  for (const auto& folder : fallbacks) {
    std::error_code ec;
    // Private: the list is nobody else's business, and nobody else may swap it.
    if (std::filesystem::create_directories(folder, ec))
      std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    const std::filesystem::path file = folder / kDictionaryFileName;
    const std::string reason = ec ? ec.message() : whyNot(file);
    if (reason.empty()) {
      return {file, "the working folder cannot take the word file (" + tried + "); using " +
                        file.string() + " instead"};
    }
    tried += "; " + (ec ? folder : file).string() + ": " + reason;
  }
  return {{}, "no folder can take the word file: " + tried};
}

}  // namespace zp::words
