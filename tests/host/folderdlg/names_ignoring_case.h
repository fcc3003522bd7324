// Equality of two UTF-8 names without regard to letter case, from a portable table: the
// chooser's test file system stands in with it for the system's case mapping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane::testing {

// Decodes one UTF-8 sequence at `i` and advances past it. A malformed byte comes back as a
// value outside the Unicode range, so it only ever equals the same malformed byte.
inline std::uint32_t NextCodePoint(std::string_view s, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  const std::uint32_t malformed = 0x80000000u | lead;
  std::size_t extra = 0;
  std::uint32_t cp = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    cp = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    cp = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    cp = lead & 0x07u;
  } else {
    ++i;
    return malformed;
  }
  if (i + extra >= s.size()) {
    ++i;
    return malformed;
  }
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0u) != 0x80u) {
      ++i;
      return malformed;
    }
    cp = (cp << 6) | (c & 0x3Fu);
  }
  i += extra + 1;
  return cp;
}

// Simple upper-case mapping of the scripts most folder names are written in.
inline std::uint32_t FoldCase(std::uint32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x137 && c != 0x131) return c & ~1u;
  if (c >= 0x139 && c <= 0x148) return (c & 1u) ? c : c - 1;
  if (c >= 0x14A && c <= 0x177) return c & ~1u;
  if (c >= 0x179 && c <= 0x17E) return (c & 1u) ? c : c - 1;
  if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? 0x3A3 : c - 0x20;
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

// Equality of two UTF-8 names without regard to letter case, from a portable table: ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic letters fold as the system's upper-case table
// does. The system's own mapping (ChooserFileSystem::SameName) covers every script.
inline bool NamesEqualIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j))) return false;
  }
  return i == a.size() && j == b.size();
}

}  // namespace corvane::testing
