#include "payload/szdd.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace corvane {

namespace {

constexpr std::size_t kWindowMask = kLzWindowSize - 1;
constexpr std::uint8_t kFill = 0x20;  // the window starts out full of spaces

bool HasModeAHeader(std::span<const std::uint8_t> file) {
  return file.size() >= kSzddHeaderSize &&
         std::memcmp(file.data(), kSzddMagic.data(), kSzddMagic.size()) == 0 &&
         file[8] == kSzddModeA;
}

// Copies one reference whose source starts before the data (in the initial fill) or
// overlaps the bytes it produces; `produced` is the number of bytes already in `out`.
inline void CopyReferenceSlow(std::uint8_t* out, std::size_t produced, std::size_t distance,
                              std::size_t length) {
  std::uint8_t* dst = out + produced;
  std::size_t k = 0;
  // Bytes that lie before the start of the data are still the initial spaces.
  for (; k < length && produced + k < distance; ++k) dst[k] = kFill;
  // Index from `out` so the arithmetic never steps before the buffer.
  for (; k < length; ++k) dst[k] = out[produced + k - distance];
}

// Distance back from the write position to absolute window position `p`: 1..4096.
inline std::size_t DistanceTo(std::size_t produced, std::size_t p) {
  const std::size_t writePos = (kLzStartPosition + produced) & kWindowMask;
  return ((writePos - p - 1) & kWindowMask) + 1;
}

}  // namespace

long LzaDecode(std::span<const std::uint8_t> lz, std::span<std::uint8_t> out) {
  const std::uint8_t* in = lz.data();
  const std::uint8_t* const inEnd = in + lz.size();
  std::uint8_t* const base = out.data();
  const std::size_t cap = out.size();
  std::size_t produced = 0;

  // Fast loop: a whole control byte's items fit in both buffers, so no bounds checks
  // inside (8 references of 18 bytes at most; 1 + 8 * 2 input bytes at most).
  constexpr std::size_t kGroupOut = 8 * kLzMaxMatch;
  constexpr std::ptrdiff_t kGroupIn = 1 + 8 * 2;
  while (inEnd - in >= kGroupIn && cap - produced >= kGroupOut) {
    unsigned flags = *in++;
    for (int item = 0; item < 8; ++item, flags >>= 1) {
      if (flags & 1u) {
        base[produced++] = *in++;
        continue;
      }
      const std::size_t b0 = in[0];
      const std::size_t b1 = in[1];
      in += 2;
      const std::size_t length = (b1 & 0x0F) + kLzMinMatch;
      const std::size_t distance = DistanceTo(produced, b0 | ((b1 & 0xF0) << 4));
      std::uint8_t* dst = base + produced;
      if (distance >= kLzMaxMatch && distance <= produced) {
        // Source and destination are at least 18 apart: one fixed-size copy; the bytes it
        // writes past `length` are overwritten by the next items (room was checked).
        std::memcpy(dst, dst - distance, kLzMaxMatch);
      } else if (distance == 1 && produced != 0) {
        std::memset(dst, dst[-1], length);
      } else {
        CopyReferenceSlow(base, produced, distance, length);
      }
      produced += length;
    }
  }

  // Tail: every item checked against both ends.
  while (in < inEnd) {
    unsigned flags = *in++;
    for (int item = 0; item < 8; ++item, flags >>= 1) {
      if (flags & 1u) {
        if (in == inEnd) return static_cast<long>(produced);
        if (produced == cap) return -1;
        base[produced++] = *in++;
        continue;
      }
      if (inEnd - in < 2) return static_cast<long>(produced);
      const std::size_t b0 = in[0];
      const std::size_t b1 = in[1];
      in += 2;
      const std::size_t length = (b1 & 0x0F) + kLzMinMatch;
      if (cap - produced < length) return -1;
      CopyReferenceSlow(base, produced, DistanceTo(produced, b0 | ((b1 & 0xF0) << 4)), length);
      produced += length;
    }
  }
  return static_cast<long>(produced);
}

long SzddExpand(std::span<const std::uint8_t> szddFile, std::span<std::uint8_t> out) {
  if (!HasModeAHeader(szddFile)) return -1;
  return LzaDecode(szddFile.subspan(kSzddHeaderSize), out);
}

long long SzddExpandedLength(std::span<const std::uint8_t> szddFile) {
  if (!HasModeAHeader(szddFile)) return -1;
  return static_cast<long long>(szddFile[10]) | static_cast<long long>(szddFile[11]) << 8 |
         static_cast<long long>(szddFile[12]) << 16 | static_cast<long long>(szddFile[13]) << 24;
}

// Longest matches with a binary-tree match finder over the window. The data is preceded by
// 4096 spaces (the initial window contents), so references into the fill need no special case.
// Every new position becomes the root and the old tree is split along the search path; a
// node's descendants are therefore always older than the node, and the first node found
// outside the window ends the walk with everything below it also outside. The lexicographic
// neighbours of the new position lie on that path, so the longest match is exact; the walk
// is bounded by the number of live nodes and is short on real data.
LzaMatches LzaLongestMatches(std::span<const std::uint8_t> data) {
  LzaMatches result;
  const std::size_t n = data.size();
  result.length.assign(n, 0);
  result.distance.assign(n, 0);
  if (n == 0) return result;

  std::vector<std::uint8_t> ext(kLzWindowSize + n);
  std::memset(ext.data(), kFill, kLzWindowSize);
  std::memcpy(ext.data() + kLzWindowSize, data.data(), n);
  const std::uint8_t* const buf = ext.data();
  const std::size_t total = ext.size();

  // Two links per node, in a ring twice the window so that a node exactly one window back
  // (distance 4096) never shares its slot with the new one.
  constexpr std::size_t kRing = 2 * kLzWindowSize;
  constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint32_t> links(2 * kRing, kNone);
  std::uint32_t root = kNone;

  // Position 0 of `ext` starts the fill; the earliest fill byte a data position can reach is
  // exactly one window back, so the tree is built from there.
  for (std::size_t pos = 0; pos < total; ++pos) {
    const std::size_t limit = std::min(kLzMaxMatch, total - pos);
    if (limit < kLzMinMatch) break;  // nothing later can match either
    const std::uint8_t* const cur = buf + pos;
    std::uint32_t* leftLink = &links[2 * (pos & (kRing - 1))];  // receives smaller suffixes
    std::uint32_t* rightLink = leftLink + 1;                    // receives larger suffixes
    std::size_t leftLen = 0;
    std::size_t rightLen = 0;
    std::size_t best = 0;
    std::size_t bestDistance = 0;
    std::uint32_t node = root;
    while (true) {
      if (node == kNone || pos - node > kLzWindowSize) {
        *leftLink = kNone;
        *rightLink = kNone;
        break;
      }
      std::uint32_t* const pair = &links[2 * (node & (kRing - 1))];
      const std::uint8_t* const cand = buf + node;
      std::size_t len = std::min(leftLen, rightLen);
      while (len < limit && cand[len] == cur[len]) ++len;
      if (len > best) {
        best = len;
        bestDistance = pos - node;
      }
      if (len == limit) {
        // Same as far as any later position can look: the new position takes the old one's
        // place and children; the old one is no longer needed.
        *leftLink = pair[0];
        *rightLink = pair[1];
        break;
      }
      if (cand[len] < cur[len]) {
        *leftLink = node;
        leftLink = &pair[1];
        node = pair[1];
        leftLen = len;
      } else {
        *rightLink = node;
        rightLink = &pair[0];
        node = pair[0];
        rightLen = len;
      }
    }
    root = static_cast<std::uint32_t>(pos);
    if (pos >= kLzWindowSize && best >= kLzMinMatch) {
      result.length[pos - kLzWindowSize] = static_cast<std::uint8_t>(best);
      result.distance[pos - kLzWindowSize] = static_cast<std::uint16_t>(bestDistance);
    }
  }
  return result;
}

std::size_t LzaEncodedSize(std::size_t literals, std::size_t references) {
  return (literals + references + 7) / 8 + literals + 2 * references;
}

// Minimum-size parse by dynamic programming over the suffixes. A literal costs 9 bits and a
// reference 17 (its data bytes plus one control bit); since every distance costs the same,
// the longest match at a position stands for all shorter ones at the same distance.
//
// Minimising bits also minimises the real byte size D + ceil(I/8) (D data bytes, I items):
// take a bit-optimal parse B and any parse A. Then
//   D_A + I_A/8 <= D_A + ceil(I_A/8) = bytes(A),   bytes(B) = D_B + ceil(I_B/8) < D_B + I_B/8 + 1,
// so bytes(A) <= bytes(B) - 1 would give bits(A)/8 < bits(B)/8, against B's optimality.
std::vector<LzaItem> LzaOptimalParse(std::span<const std::uint8_t> data) {
  const std::size_t n = data.size();
  LzaMatches matches = LzaLongestMatches(data);
  std::vector<std::uint64_t> cost(n + 1);
  cost[n] = 0;
  // After this loop matches.length[i] holds the chosen item length at i (0: literal).
  for (std::size_t i = n; i-- > 0;) {
    std::uint64_t best = cost[i + 1] + 9;
    std::size_t choice = 0;
    const std::size_t longest = matches.length[i];
    for (std::size_t len = kLzMinMatch; len <= longest; ++len) {
      const std::uint64_t c = cost[i + len] + 17;
      if (c < best) {
        best = c;
        choice = len;
      }
    }
    cost[i] = best;
    matches.length[i] = static_cast<std::uint8_t>(choice);
  }

  std::vector<LzaItem> parse;
  for (std::size_t i = 0; i < n;) {
    const std::size_t len = matches.length[i];
    if (len == 0) {
      parse.push_back({});
      ++i;
    } else {
      parse.push_back({static_cast<std::uint16_t>(len), matches.distance[i]});
      i += len;
    }
  }
  return parse;
}

std::vector<std::uint8_t> LzaEmit(std::span<const std::uint8_t> data,
                                  std::span<const LzaItem> parse) {
  std::size_t literals = 0;
  for (const LzaItem& item : parse) literals += item.length == 0 ? 1 : 0;
  std::vector<std::uint8_t> out(LzaEncodedSize(literals, parse.size() - literals));
  std::size_t o = 0;
  std::size_t pos = 0;  // bytes of data produced so far
  std::size_t control = 0;
  for (std::size_t k = 0; k < parse.size(); ++k) {
    if (k % 8 == 0) {
      control = o;
      out[o++] = 0;
    }
    const LzaItem& item = parse[k];
    if (item.length == 0) {
      out[control] = static_cast<std::uint8_t>(out[control] | (1u << (k % 8)));
      out[o++] = data[pos++];
      continue;
    }
    const std::size_t writePos = (kLzStartPosition + pos) & kWindowMask;
    const std::size_t p = (writePos - item.distance) & kWindowMask;
    out[o++] = static_cast<std::uint8_t>(p & 0xFF);
    out[o++] = static_cast<std::uint8_t>(((p >> 4) & 0xF0) | (item.length - kLzMinMatch));
    pos += item.length;
  }
  return out;
}

std::vector<std::uint8_t> LzaEncode(std::span<const std::uint8_t> data) {
  return LzaEmit(data, LzaOptimalParse(data));
}

std::vector<std::uint8_t> SzddCompress(std::span<const std::uint8_t> data) {
  if (data.size() > std::numeric_limits<std::uint32_t>::max()) return {};
  const std::vector<std::uint8_t> lz = LzaEncode(data);
  std::vector<std::uint8_t> file(kSzddHeaderSize + lz.size());
  std::memcpy(file.data(), kSzddMagic.data(), kSzddMagic.size());
  file[8] = kSzddModeA;
  file[9] = 0;
  const auto length = static_cast<std::uint32_t>(data.size());
  for (int k = 0; k < 4; ++k) file[10 + k] = static_cast<std::uint8_t>(length >> (8 * k));
  if (!lz.empty()) std::memcpy(file.data() + kSzddHeaderSize, lz.data(), lz.size());
  return file;
}

}  // namespace corvane
