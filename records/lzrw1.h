#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>

#include "records/lzhuf.h"
#include "records/lzrw1kh.h"

namespace zp::records {

enum class TCompressMode { Good, Fast, Auto };

// Every failure of Compress, Decompress and Advise; what() is the text a user is shown.
class ELzrw1Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Memory failure of the LZRW1/KH engine.
class ELzrw1KHCompressor : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Turns one file (or stream) into a compressed container and back. The container is the
// 4-byte signature ("WRZL" for LZRW1/KH, "!HZL" for LZH), the uncompressed size as a
// little-endian signed 32-bit number, then the data.
//
//   Tlzrw1 doit;
//   doit.CompressMode = TCompressMode::Fast;
//   doit.InputFile = "tally.txt";
//   doit.OutputFile = "ZanduPelixtally.tld";
//   doit.Compress();  // throws ELzrw1Exception; a partly written output is deleted
class Tlzrw1 {
 public:
  Tlzrw1();
  ~Tlzrw1();
  Tlzrw1(const Tlzrw1&) = delete;
  Tlzrw1& operator=(const Tlzrw1&) = delete;

  // false: InputFile to OutputFile; true: InputStream to OutputStream. Streams must be
  // seekable; data is read from the input stream's current position to its end.
  bool UseStream = false;
  std::string InputFile;
  std::string OutputFile;
  TCompressMode CompressMode = TCompressMode::Good;
  int Threshold = 40;  // percent: Advise recommends Fast below this ratio
  std::istream* InputStream = nullptr;
  std::ostream* OutputStream = nullptr;

  // While visible, progress and result texts go to the caption.
  bool Visible = false;
  const std::string& Caption() const { return caption_; }
  // Called after every checked read and write, so a GUI can keep handling its events.
  std::function<void()> OnProcessMessages;

  // Returns bytes written, header included.
  std::int64_t Compress();
  // Returns the restored length.
  std::int64_t Decompress();
  // Recommends Fast or Good for the current input.
  TCompressMode Advise();

 private:
  class Input;
  class Output;
  class FileInput;
  class FileOutput;
  class StreamInput;
  class StreamOutput;
  class LzhReader;
  class LzhWriter;
  struct Buffers;
  struct Ends;  // the input and output of one operation
  // Checks and opens them, raising the text of whichever fails.
  Ends OpenEnds();
  // A file output that cannot be closed is deleted and reported.
  void CloseEnds(Ends& ends);

  void Show(const std::string& text);
  void Pump();
  void CompressFast(Input& in, Output& out, Buffers& buffers);
  void CompressGood(Input& in, Output& out, Buffers& buffers);
  void DecompressFast(Input& in, Output& out, Buffers& buffers, std::int32_t size);
  void DecompressGood(Input& in, Output& out, Buffers& buffers, std::int32_t size);
  void WriteChecked(Output& out, const std::uint8_t* data, std::size_t size);
  void ReadExact(Input& in, std::uint8_t* data, std::size_t size);
  std::string ReadErrorText() const;
  std::string WriteErrorText() const;

  std::unique_ptr<TLZR> lzr_;
  TLZH lzh_;
  std::string caption_;
  std::int64_t bytes_in_ = 0;
  std::int64_t bytes_out_ = 0;
  bool busy_ = false;
};

}  // namespace zp::records
