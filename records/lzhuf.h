#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace zp::records {

// Memory failures of the LZH engine.
class ElzhException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the LZH engine pulls its input from: Read fills up to `capacity` bytes of `buffer`
// and returns how many it placed there, 0 at the end of the input.
class LzhInput {
 public:
  virtual ~LzhInput() = default;
  virtual std::size_t Read(std::uint8_t* buffer, std::size_t capacity) = 0;
};

// Where the LZH engine pushes its output, one full buffer at a time.
class LzhOutput {
 public:
  virtual ~LzhOutput() = default;
  virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
};

// The LZHUF engine (LZSS with adaptive Huffman codes) with the classic parameters, so its
// streams and those of the 1988 program are interchangeable. Its tables live only for
// the duration of one Encode or Decode.
class TLZH {
 public:
  enum class DecodeResult {
    kOk,
    kTruncated,  // the codes ran past the end of the input
    kOvershoot,  // the last copy would produce more than the stated size
  };

  // Codes everything `in` delivers; the two buffers (of `capacity` bytes each) are the
  // caller's I/O buffers. Returns the number of bytes read.
  std::uint64_t Encode(LzhInput& in, LzhOutput& out, std::uint8_t* in_buffer,
                       std::uint8_t* out_buffer, std::size_t capacity);

  // Restores exactly `size` bytes. Output produced before a failure has been written.
  DecodeResult Decode(LzhInput& in, LzhOutput& out, std::uint64_t size, std::uint8_t* in_buffer,
                      std::uint8_t* out_buffer, std::size_t capacity);

  // Bytes of tables one run allocates, for the memory budget.
  static std::size_t TableBytes();

 private:
  struct Tables;
  static std::unique_ptr<Tables> AllocateTables();
};

}  // namespace zp::records
