// zandupelix-pack compress --fast|--good|--auto IN OUT
// zandupelix-pack decompress IN OUT
// zandupelix-pack advise IN
#include <cstdio>
#include <exception>
#include <string_view>

#include "lzrw1.h"

namespace {

int Usage() {
  std::fputs(
      "usage: zandupelix-pack compress --fast|--good|--auto IN OUT\n"
      "       zandupelix-pack decompress IN OUT\n"
      "       zandupelix-pack advise IN\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using zp::records::TCompressMode;
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
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
        return Usage();
      }
      doit.InputFile = argv[3];
      doit.OutputFile = argv[4];
      doit.Compress();
    } else if (command == "decompress" && argc == 4) {
      doit.InputFile = argv[2];
      doit.OutputFile = argv[3];
      doit.Decompress();
    } else if (command == "advise" && argc == 3) {
      doit.InputFile = argv[2];
      doit.Advise();
    } else {
      return Usage();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::printf("%s\n", doit.Caption().c_str());
  return 0;
}
