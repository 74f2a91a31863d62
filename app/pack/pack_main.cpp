// zandupelix-pack compress --fast|--good|--auto IN OUT
// zandupelix-pack decompress IN OUT
// zandupelix-pack advise IN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "records/lzrw1.h"
#include "rules/constants.h"

namespace {

constexpr const char* kUsage =
    "usage: zandupelix-pack compress --fast|--good|--auto IN OUT\n"
    "       zandupelix-pack decompress IN OUT\n"
    "       zandupelix-pack advise IN\n"
    "       zandupelix-pack --help | -h | --version\n"
    "\n"
    "Packs one file into the game's compressed container (as the tally file is kept) and back.\n"
    "An existing OUT is overwritten; after a failure no partly written OUT is left.\n"
    "\n"
    "  compress --fast   LZRW1/KH: quick, the way the game writes its tally file\n"
    "  compress --good   LZHUF: slower, usually smaller\n"
    "  compress --auto   chosen by the file's size: LZHUF below 96 KiB; for larger files two\n"
    "                    samples are tried with LZRW1/KH, which is taken if they shrink below\n"
    "                    40% of their size\n"
    "  decompress        restores either kind; the container's first bytes say which\n"
    "  advise            tells which of --fast and --good --auto would take\n"
    "\n"
    "\"compressed at N%\" is the output's size as a share of the input's (smaller is better);\n"
    "\"decompressed at N%\" is the restored size as a share of the container's.\n";

int usageError() {
  std::fputs(kUsage, stderr);
  return 2;
}

bool startsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// Empty when `path` can be opened for reading as a file, else the system's reason.
std::string whyUnreadable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::strerror(errno);
  struct stat st = {};
  const bool directory = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  ::close(fd);
  if (directory) return std::strerror(EISDIR);
  if (S_ISREG(st.st_mode) && st.st_size > 0x7fffffff) return "larger than the container's 2 GiB";
  return {};
}

// Empty when `path` can be created or overwritten, else the system's reason. Leaves no trace:
// an existing file is opened without truncating it, a new one is removed again.
std::string whyUnwritable(const std::string& path, const std::string& input) {
  std::error_code ec;
  if (std::filesystem::equivalent(path, input, ec)) return "it is the input file";
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd >= 0) {
    ::close(fd);
    return {};
  }
  if (errno != ENOENT) return std::strerror(errno);
  fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  ::unlink(path.c_str());
  return {};
}

// The container's texts name a file that could not be opened but not why: the line that says.
std::string reasonFor(std::string_view message, const zp::records::Tlzrw1& doit) {
  for (std::string_view input :
       {"Lzrw1 compression : Failed to obtain the size of : ",
        "Lzrw1 (de)compression : Failed to open input file : ",
        "Lzrw1 advise : can not get the size of : ", "Lzrw1 advise : can open input file : "}) {
    if (!startsWith(message, input)) continue;
    const std::string why = whyUnreadable(doit.InputFile);
    return why.empty() ? std::string() : "cannot read " + doit.InputFile + ": " + why;
  }
  if (startsWith(message, "Lzrw1 (de)compression : Failed to open output file : ")) {
    const std::string why = whyUnwritable(doit.OutputFile, doit.InputFile);
    return why.empty() ? std::string() : "cannot write " + doit.OutputFile + ": " + why;
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  using zp::records::TCompressMode;
  if (argc < 2) return usageError();
  const std::string_view command = argv[1];
  if (argc == 2 && (command == "--help" || command == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && command == "--version") {
    std::printf("zandupelix-pack %s\n", zp::kGameVersion.data());
    return 0;
  }
  zp::records::Tlzrw1 doit;
  doit.Visible = true;  // its caption is our result text
  try {
    if (command == "compress" && argc == 5) {
      const std::string_view mode = argv[2];
      if (mode == "--fast") {
        doit.CompressMode = TCompressMode::Fast;
      } else if (mode == "--good") {
        doit.CompressMode = TCompressMode::Good;
      } else if (mode == "--auto") {
        doit.CompressMode = TCompressMode::Auto;
      } else {
        return usageError();
      }
      doit.InputFile = argv[3];
      doit.OutputFile = argv[4];
      if (doit.CompressMode == TCompressMode::Auto) {
        // Asked first so that the choice is shown before the result.
        doit.CompressMode = doit.Advise();
        std::printf("%s\n", doit.Caption().c_str());
      }
      doit.Compress();
    } else if (command == "decompress" && argc == 4) {
      doit.InputFile = argv[2];
      doit.OutputFile = argv[3];
      doit.Decompress();
    } else if (command == "advise" && argc == 3) {
      doit.InputFile = argv[2];
      doit.Advise();
    } else {
      return usageError();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    const std::string reason = reasonFor(e.what(), doit);
    if (!reason.empty()) std::fprintf(stderr, "zandupelix-pack: %s\n", reason.c_str());
    return 1;
  }
  std::printf("%s\n", doit.Caption().c_str());
  return 0;
}
