// Any bytes as a container, through both ends of Decompress: streams, and files (where a
// failure must also leave no output file behind).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "records/lzrw1.h"

namespace {

std::string ScratchDir() {
  static const std::string dir = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "zp-fuzz-lzrw1-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return pattern;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zp::records::ELzrw1Exception;
  using zp::records::Tlzrw1;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  Tlzrw1 doit;
  doit.UseStream = true;
  std::istringstream in(bytes);
  std::stringstream out;
  doit.InputStream = &in;
  doit.OutputStream = &out;
  bool stream_ok = true;
  std::int64_t restored = 0;
  try {
    restored = doit.Decompress();
  } catch (const ELzrw1Exception&) {
    stream_ok = false;
  }
  if (stream_ok && static_cast<std::int64_t>(out.str().size()) != restored) std::abort();

  const std::string input = ScratchDir() + "/in";
  const std::string output = ScratchDir() + "/out";
  if (std::FILE* f = std::fopen(input.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  Tlzrw1 file_mode;
  file_mode.InputFile = input;
  file_mode.OutputFile = output;
  bool file_ok = true;
  try {
    file_mode.Decompress();
  } catch (const ELzrw1Exception&) {
    file_ok = false;
  }
  // Both ends agree, and a failure leaves no output file.
  if (file_ok != stream_ok) std::abort();
  if (!file_ok && std::filesystem::exists(output)) std::abort();
  std::remove(output.c_str());
  return 0;
}
