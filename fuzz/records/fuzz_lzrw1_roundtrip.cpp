// Any bytes compressed in either mode must come back unchanged; the first byte picks the mode.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "records/lzrw1.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zp::records::TCompressMode;
  if (size == 0) return 0;
  const bool fast = (data[0] & 1) != 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  zp::records::Tlzrw1 doit;
  doit.UseStream = true;
  doit.CompressMode = fast ? TCompressMode::Fast : TCompressMode::Good;
  std::istringstream in(bytes);
  std::stringstream packed;
  doit.InputStream = &in;
  doit.OutputStream = &packed;
  doit.Compress();
  std::stringstream restored;
  doit.InputStream = &packed;
  doit.OutputStream = &restored;
  doit.Decompress();
  if (restored.str() != bytes) std::abort();
  return 0;
}
