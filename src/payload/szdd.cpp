#include "payload/szdd.h"

#include <algorithm>
#include <bit>
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

// Length of the common prefix of a and b, at least `from` (already known equal) and at most
// `limit`; both may be read up to 16 bytes past `limit`.
inline std::size_t CommonPrefix(const std::uint8_t* a, const std::uint8_t* b, std::size_t from,
                                std::size_t limit) {
  std::size_t len = from;
  if constexpr (std::endian::native == std::endian::little) {
    while (len < limit) {
      std::uint64_t wa;
      std::uint64_t wb;
      std::memcpy(&wa, a + len, sizeof wa);
      std::memcpy(&wb, b + len, sizeof wb);
      const std::uint64_t diff = wa ^ wb;
      if (diff != 0) {
        len += static_cast<std::size_t>(std::countr_zero(diff)) / 8;
        break;
      }
      len += sizeof wa;
    }
    return std::min(len, limit);
  } else {
    while (len < limit && a[len] == b[len]) ++len;
    return len;
  }
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

  // The fill, the data, and slack so that comparisons may load whole words near the end.
  constexpr std::size_t kSlack = 2 * sizeof(std::uint64_t);
  std::vector<std::uint8_t> ext(kLzWindowSize + n + kSlack, 0);
  std::memset(ext.data(), kFill, kLzWindowSize);
  std::memcpy(ext.data() + kLzWindowSize, data.data(), n);
  const std::uint8_t* const buf = ext.data();
  const std::size_t total = kLzWindowSize + n;

  // Two links per node, in a ring twice the window so that a node exactly one window back
  // (distance 4096) never shares its slot with the new one.
  constexpr std::size_t kRing = 2 * kLzWindowSize;
  constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint32_t> links(2 * kRing, kNone);
  // One tree per pair of leading bytes: a match of 3 or more can only be with a position that
  // starts with the same two bytes, and the trees are much shallower than one for all.
  std::vector<std::uint32_t> roots(1u << 16, kNone);

  for (std::size_t pos = 0; pos < total; ++pos) {
    const std::size_t limit = std::min(kLzMaxMatch, total - pos);
    if (limit < kLzMinMatch) break;  // nothing later can match either
    const std::uint8_t* const cur = buf + pos;
    std::uint32_t* leftLink = &links[2 * (pos & (kRing - 1))];  // receives smaller suffixes
    std::uint32_t* rightLink = leftLink + 1;                    // receives larger suffixes
    std::uint32_t& root = roots[cur[0] | cur[1] << 8];
    std::size_t leftLen = 2;
    std::size_t rightLen = 2;
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
      const std::size_t len = CommonPrefix(cand, cur, std::min(leftLen, rightLen), limit);
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
namespace {

// The backward pass: cost[i] is the fewest bits for the data from i on. Overwrites each
// longest-match length with the length of the chosen item (0 for a literal).
template <typename Cost>
void ChooseItems(std::vector<std::uint8_t>& lengths) {
  const std::size_t n = lengths.size();
  std::vector<Cost> cost(n + 1);
  cost[n] = 0;
  for (std::size_t i = n; i-- > 0;) {
    const Cost literal = static_cast<Cost>(cost[i + 1] + 9);
    const std::size_t longest = lengths[i];
    std::uint8_t choice = 0;
    Cost best = literal;
    if (longest != 0) {
      // Every reference costs the same, so the cheapest one leads to the cheapest rest.
      Cost rest = cost[i + kLzMinMatch];
      for (std::size_t len = kLzMinMatch + 1; len <= longest; ++len)
        rest = std::min(rest, cost[i + len]);
      if (static_cast<Cost>(rest + 17) < literal) {
        best = static_cast<Cost>(rest + 17);
        std::size_t len = kLzMinMatch;
        while (cost[i + len] != rest) ++len;
        choice = static_cast<std::uint8_t>(len);
      }
    }
    cost[i] = best;
    lengths[i] = choice;
  }
}

}  // namespace

std::vector<LzaItem> LzaOptimalParse(std::span<const std::uint8_t> data) {
  const std::size_t n = data.size();
  LzaMatches matches = LzaLongestMatches(data);
  // 32-bit costs while 9 bits a byte cannot overflow them (the common case, and faster).
  if (n < std::numeric_limits<std::uint32_t>::max() / 9)
    ChooseItems<std::uint32_t>(matches.length);
  else
    ChooseItems<std::uint64_t>(matches.length);

  std::vector<LzaItem> parse;
  parse.reserve(n / 4 + 16);
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
