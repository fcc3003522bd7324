// UTF-8 <-> UTF-16: no crash on any input; valid text survives both round trips.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "system/text.h"

namespace {

// Strict UTF-8 validity (shortest form, no surrogates, at most U+10FFFF).
bool IsValidUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    char32_t cp = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 1, cp = b & 0x1Fu;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 2, cp = b & 0x0Fu;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 3, cp = b & 0x07u;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += n + 1;
  }
  return true;
}

bool IsValidUtf16(const std::u16string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string wide = corvane::Utf8ToUtf16(bytes);
  const std::string back = corvane::Utf16ToUtf8(wide);
  if (corvane::Utf16Length(bytes) != wide.size()) std::abort();
  if (IsValidUtf8(bytes) && back != bytes) std::abort();
  // Whatever the decoder made of it must be well-formed UTF-16 that survives a round trip.
  if (!IsValidUtf16(wide) || corvane::Utf8ToUtf16(back) != wide) std::abort();

  // The same bytes read as UTF-16 units.
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const std::string narrow = corvane::Utf16ToUtf8(units);
  if (IsValidUtf16(units) && corvane::Utf8ToUtf16(narrow) != units) std::abort();
  if (!IsValidUtf8(narrow)) std::abort();
  return 0;
}
