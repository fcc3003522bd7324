// SHA-256 (FIPS 180-2), small and portable: the packaging tool and the setup compute the
// digests of the payload with this one implementation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace corvane {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  void Update(std::span<const std::uint8_t> bytes);
  // The digest of everything passed to Update; the object is spent afterwards.
  Sha256Digest Finish();

 private:
  void Block(const std::uint8_t* block);

  std::uint32_t state_[8];
  std::uint8_t pending_[64];
  std::size_t pendingSize_ = 0;
  std::uint64_t totalBytes_ = 0;
};

Sha256Digest Sha256Of(std::span<const std::uint8_t> bytes);

// Lower-case hexadecimal, two characters a byte, as sha256sum prints a digest.
std::string DigestHex(std::span<const std::uint8_t> digest);

}  // namespace corvane
