#pragma once

#include <cstdint>
#include <vector>

// A reference transcription of the classic LZHUF program of 1988 (Yoshizaki), written from
// memory with its 16-bit integers kept 16 bits wide: the 16-bit bit buffers, the 16-bit code
// register of EncodeChar. It exists only to compare our engine's bytes with the classic
// program's. The streams are what follows the program's 4-byte size field.
namespace classic_lzhuf {

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& input);
std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& stream, std::uint32_t size);

}  // namespace classic_lzhuf
