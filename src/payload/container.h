// The payload container: records of (u32 little-endian length L, L bytes of an SZDD file
// without its first four bytes "SZDD"), one after another, ended by a u32 zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvane {

// Packs complete SZDD files (each starting with "SZDD") into a payload. Empty when a file does
// not start with "SZDD" or has nothing after it, or too long for the 32-bit length field.
std::vector<std::uint8_t> BuildPayload(const std::vector<std::vector<std::uint8_t>>& szddFiles);

// Walks a payload front to back without ever reading past it.
class PayloadReader {
 public:
  explicit PayloadReader(std::span<const std::uint8_t> payload) : rest_(payload) {}

  enum class Result { Record, End, Malformed };

  // Record: `body` is the next record's body (an SZDD file without "SZDD"). End: the
  // terminator. Malformed: fewer than 4 bytes left for a length (an empty or missing payload
  // included) or a length larger than the bytes left; the reader stays malformed after that.
  Result Next(std::span<const std::uint8_t>& body);

  // Offset of the next unread byte from the start of the payload.
  std::size_t Offset() const { return consumed_; }

 private:
  std::span<const std::uint8_t> rest_;
  std::size_t consumed_ = 0;
  bool broken_ = false;
};

// The SZDD file a record body stands for: "SZDD" followed by the body.
std::vector<std::uint8_t> SzddImageOf(std::span<const std::uint8_t> body);

}  // namespace corvane
