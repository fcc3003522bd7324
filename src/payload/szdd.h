// SZDD compressed files, mode 'A': a 14-byte header followed by LZ data with a 4096-byte
// window. Windows' LZ32 and expand.exe read these files; the setup's payload is made of them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvane {

inline constexpr std::size_t kSzddHeaderSize = 14;
inline constexpr std::array<std::uint8_t, 8> kSzddMagic = {0x53, 0x5A, 0x44, 0x44,
                                                           0x88, 0xF0, 0x27, 0x33};
inline constexpr std::uint8_t kSzddModeA = 0x41;  // 'A'

// Window geometry of mode 'A'.
inline constexpr std::size_t kLzWindowSize = 4096;
inline constexpr std::size_t kLzStartPosition = kLzWindowSize - 16;
inline constexpr std::size_t kLzMinMatch = 3;
inline constexpr std::size_t kLzMaxMatch = 18;

// A complete SZDD file of `data`: magic, mode 'A', missing-character byte 0, expanded length,
// then the smallest LZ data the format allows. Empty when the data is too long for the 32-bit
// length field.
std::vector<std::uint8_t> SzddCompress(std::span<const std::uint8_t> data);

// Decodes a whole SZDD file into `out` and returns the number of bytes delivered. -1 when the
// header is not SZDD mode 'A', and -1 when the expansion would not fit into `out` (pass one
// byte more than the largest acceptable size to tell "too large" from "exactly full").
// Compressed data that stops early simply ends the expansion. The expanded-length field is
// not consulted. Bytes of `out` beyond the returned count may have been overwritten.
long SzddExpand(std::span<const std::uint8_t> szddFile, std::span<std::uint8_t> out);

// The expanded-length field of an SZDD header, or -1 when the header is not SZDD mode 'A'.
long long SzddExpandedLength(std::span<const std::uint8_t> szddFile);

// Raw LZ data of mode 'A' (what follows the header); same rules as SzddExpand.
long LzaDecode(std::span<const std::uint8_t> lz, std::span<std::uint8_t> out);

// One step of a parse: a literal (length 0) or a reference of `length` bytes taken `distance`
// bytes back (1..4096; bytes before the start of the data read as spaces).
struct LzaItem {
  std::uint16_t length = 0;
  std::uint16_t distance = 0;
};

// The parse of minimum encoded size, and the LZ data it encodes to.
std::vector<LzaItem> LzaOptimalParse(std::span<const std::uint8_t> data);
std::vector<std::uint8_t> LzaEmit(std::span<const std::uint8_t> data,
                                  std::span<const LzaItem> parse);
std::vector<std::uint8_t> LzaEncode(std::span<const std::uint8_t> data);

// Bytes of LZ data a parse takes: one control byte per 8 items, 1 per literal, 2 per reference.
std::size_t LzaEncodedSize(std::size_t literals, std::size_t references);

// For every position of `data`, the longest match the window offers (0 when shorter than 3,
// capped at 18 and at the end of the data) and one distance that gives it. Exposed for tests
// and benchmarks, which compare it with exhaustive search.
struct LzaMatches {
  std::vector<std::uint8_t> length;
  std::vector<std::uint16_t> distance;
};
LzaMatches LzaLongestMatches(std::span<const std::uint8_t> data);

}  // namespace corvane
