#include <sys/mman.h>
#include <unistd.h>
#include <QResource>
#include <QString>
#include <mutex>

#include <cstdint>

#include "words/tdictn.h"

// Resources in a static library are linked in only when something names their initialiser,
// and Q_INIT_RESOURCE must be used outside any namespace.
static void initWordsResources() {
  Q_INIT_RESOURCE(zp_words);
}

namespace zp::words {

namespace {

// The resources are stored uncompressed, so a view of their bytes lives as long as the
// program and needs no QCoreApplication.
std::string_view resource(const char* name) {
  static std::once_flag once;
  std::call_once(once, initWordsResources);
  const QResource res(QString::fromLatin1(name));
  if (!res.isValid() || res.data() == nullptr ||
      res.compressionAlgorithm() != QResource::Compression::NoCompression)
    return {};
  return {reinterpret_cast<const char*>(res.data()), static_cast<std::size_t>(res.size())};
}

}  // namespace

std::string_view carriedWordList() {
  return resource(":/words/English");
}

void releaseCarriedWordList() {
  // The list lies read-only in the program file: its pages are dropped from memory here
  // and read back from the file should anything look at them again.
  const std::string_view list = carriedWordList();
  if (list.empty()) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(list.data());
  const std::uintptr_t first = (begin + page - 1) / page * page;
  const std::uintptr_t last = (begin + list.size()) / page * page;
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

std::string_view carriedWordListCopyright() {
  return resource(":/words/SCOWL-COPYRIGHT");
}

const std::vector<std::string>& carriedCandidateWords() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> out;
    std::string_view text = resource(":/words/candidates");
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      const std::string_view line = text.substr(0, end);
      if (!line.empty()) out.emplace_back(line);
      if (end == std::string_view::npos) break;
      text.remove_prefix(end + 1);
    }
    return out;
  }();
  return words;
}

}  // namespace zp::words
