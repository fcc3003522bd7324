#include "payload/sha256.h"

#include <cstring>

namespace corvane {
namespace {

constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

std::uint32_t LoadBigEndian(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
             0x5be0cd19},
      pending_{} {}

// One 64-byte block. The eight working variables are an array shifted by one each round, and
// the message schedule a ring of 16 words: small code, which the setup needs more than speed.
void Sha256::Block(const std::uint8_t* block) {
  std::uint32_t w[16];
  std::uint32_t v[8];
  std::memcpy(v, state_, sizeof v);
  for (int i = 0; i < 64; ++i) {
    std::uint32_t& word = w[i & 15];
    if (i < 16) {
      word = LoadBigEndian(block + 4 * i);
    } else {
      const std::uint32_t a = w[(i + 1) & 15], b = w[(i + 14) & 15];
      word += (Rotr(a, 7) ^ Rotr(a, 18) ^ (a >> 3)) + w[(i + 9) & 15] +
              (Rotr(b, 17) ^ Rotr(b, 19) ^ (b >> 10));
    }
    const std::uint32_t t1 = v[7] + (Rotr(v[4], 6) ^ Rotr(v[4], 11) ^ Rotr(v[4], 25)) +
                             ((v[4] & v[5]) ^ (~v[4] & v[6])) + kRound[i] + word;
    const std::uint32_t t2 = (Rotr(v[0], 2) ^ Rotr(v[0], 13) ^ Rotr(v[0], 22)) +
                             ((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
    for (int k = 7; k > 0; --k) v[k] = v[k - 1];
    v[4] += t1;
    v[0] = t1 + t2;
  }
  for (int k = 0; k < 8; ++k) state_[k] += v[k];
}

void Sha256::Update(std::span<const std::uint8_t> bytes) {
  totalBytes_ += bytes.size();
  const std::uint8_t* p = bytes.data();
  const std::uint8_t* const end = p + bytes.size();
  while (p != end) {
    if (pendingSize_ == 0 && end - p >= 64) {  // whole blocks straight from the input
      Block(p);
      p += 64;
      continue;
    }
    pending_[pendingSize_++] = *p++;
    if (pendingSize_ == 64) {
      Block(pending_);
      pendingSize_ = 0;
    }
  }
}

Sha256Digest Sha256::Finish() {
  const std::uint64_t bits = totalBytes_ * 8;
  std::uint8_t tail[72] = {0x80};
  // Padding up to 56 bytes in the last block, then the message length in bits, big-endian.
  const std::size_t padding = (pendingSize_ < 56 ? 56 : 120) - pendingSize_;
  for (int k = 0; k < 8; ++k) tail[padding + k] = static_cast<std::uint8_t>(bits >> (56 - 8 * k));
  Update(std::span<const std::uint8_t>(tail, padding + 8));
  Sha256Digest digest;
  for (int k = 0; k < 32; ++k)
    digest[k] = static_cast<std::uint8_t>(state_[k / 4] >> (24 - 8 * (k % 4)));
  return digest;
}

Sha256Digest Sha256Of(std::span<const std::uint8_t> bytes) {
  Sha256 hash;
  hash.Update(bytes);
  return hash.Finish();
}

std::string DigestHex(std::span<const std::uint8_t> digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(64);
  for (const std::uint8_t b : digest) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  return hex;
}

}  // namespace corvane
