// The payload container: records of (u32 little-endian length L, L bytes of an SZDD file
// without its first four bytes "SZDD"), one after another, ended by a u32 zero.
//
// After the terminator a payload may carry the digests the packaging tool computed, as one
// block (integers little-endian):
//   8 bytes "CVNDIGST", u32 version 1, u32 record count N,
//   the SHA-256 of the container (from the first record's length through the terminator),
//   N SHA-256 digests of the records' expanded bytes, in record order.
// A payload that ends at its terminator has no digests; any other bytes after it are damage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "payload/sha256.h"

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

inline constexpr std::string_view kDigestMarker = "CVNDIGST";
inline constexpr std::uint32_t kDigestVersion = 1;

// The digest block for a container whose own digest is `container`.
std::vector<std::uint8_t> DigestBlock(const Sha256Digest& container,
                                      const std::vector<Sha256Digest>& records);

// A payload's digests, as far as it has them.
struct PayloadDigests {
  enum class Status {
    Absent,     // nothing follows the terminator
    Present,    // one well-formed block follows it, with one digest per record
    Malformed,  // no terminator, or after it anything but such a block
  };
  Status status = Status::Absent;
  std::string_view problem;                       // what is malformed, for a log
  std::span<const std::uint8_t> container;        // through the terminator (empty without one)
  std::size_t records = 0;                        // before the terminator
  std::span<const std::uint8_t> containerDigest;  // 32 bytes, as packed (Present)
  std::span<const std::uint8_t> recordDigests;    // 32 bytes a record, as packed (Present)

  std::span<const std::uint8_t> RecordDigest(std::size_t k) const {
    return recordDigests.subspan(32 * k, 32);
  }
};
// Walks the records to the terminator, without expanding them, and reads what follows.
PayloadDigests ReadDigests(std::span<const std::uint8_t> payload);

// The SZDD file a record body stands for: "SZDD" followed by the body.
std::vector<std::uint8_t> SzddImageOf(std::span<const std::uint8_t> body);

}  // namespace corvane
