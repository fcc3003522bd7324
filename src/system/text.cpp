#include "system/text.h"

#include <cstdint>

namespace corvane {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kInvalid = 0xFFFFFFFF;

// Continuation bytes that follow a lead byte of 0x80..0xFF (0 = not a lead byte).
// C0/C1 could only start overlong forms and F5..FF lie beyond U+10FFFF, so they lead nothing.
constexpr unsigned TrailCount(unsigned char lead) {
  if (lead < 0xC2) return 0;
  if (lead < 0xE0) return 1;
  if (lead < 0xF0) return 2;
  if (lead < 0xF5) return 3;
  return 0;
}

// Decodes one non-ASCII sequence whose lead byte has been consumed; `pos` is advanced past the
// bytes that belong to it. The rules mirror the platform decoder byte for byte, because a path
// must convert identically whichever side converts it:
// - a sequence cut short by the end of the input swallows the rest of the input (one U+FFFD);
// - otherwise a bad continuation byte ends the sequence before that byte, and the bytes read so
//   far give one U+FFFD (an overlong or surrogate form stops at its second byte, a code point
//   above U+10FFFF at its third).
char32_t DecodeSequence(unsigned char lead, std::string_view in, std::size_t& pos) {
  static constexpr unsigned char kLeadMask[4] = {0x7F, 0x1F, 0x0F, 0x07};
  const unsigned trail = TrailCount(lead);
  char32_t cp = lead & kLeadMask[trail];
  if (trail == 0) return kInvalid;
  if (in.size() - pos < trail) {
    pos = in.size();
    return kInvalid;
  }
  auto cont = [&](std::size_t at, unsigned& bits) {
    bits = static_cast<unsigned char>(in[at]) ^ 0x80u;
    return bits < 0x40;
  };
  unsigned bits = 0;
  std::size_t next = pos;
  if (trail == 3) {
    if (!cont(next, bits)) return kInvalid;
    cp = (cp << 6) | bits;
    pos = ++next;
    if (cp < 0x10) return kInvalid;  // overlong four-byte form
  }
  if (trail >= 2) {
    if (!cont(next, bits)) return kInvalid;
    cp = (cp << 6) | bits;
    if (cp >= (0x110000 >> 6)) return kInvalid;  // beyond U+10FFFF
    pos = ++next;
    if (cp < 0x20) return kInvalid;                                   // overlong three-byte form
    if (cp >= (0xD800 >> 6) && cp <= (0xDFFF >> 6)) return kInvalid;  // encoded surrogate
  }
  if (!cont(next, bits)) return kInvalid;
  cp = (cp << 6) | bits;
  pos = ++next;
  return cp;
}

// Calls sink(unit) for every UTF-16 unit of the decoded text.
template <typename Sink>
void DecodeUtf8(std::string_view in, Sink&& sink) {
  std::size_t pos = 0;
  while (pos < in.size()) {
    const auto lead = static_cast<unsigned char>(in[pos++]);
    if (lead < 0x80) {
      sink(static_cast<char16_t>(lead));
      continue;
    }
    char32_t cp = DecodeSequence(lead, in, pos);
    if (cp == kInvalid) cp = kReplacement;
    if (cp <= 0xFFFF) {
      sink(static_cast<char16_t>(cp));
    } else {
      cp -= 0x10000;
      sink(static_cast<char16_t>(0xD800 | (cp >> 10)));
      sink(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
    }
  }
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  DecodeUtf8(utf8, [&out](char16_t u) { out.push_back(u); });
  return out;
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t n = 0;
  DecodeUtf8(utf8, [&n](char16_t) { ++n; });
  return n;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    if (IsHighSurrogate(utf16[i]) && i + 1 < utf16.size() && IsLowSurrogate(utf16[i + 1])) {
      cp = 0x10000 + ((cp & 0x3FF) << 10) + (utf16[i + 1] & 0x3FFu);
      ++i;
    } else if (IsHighSurrogate(utf16[i]) || IsLowSurrogate(utf16[i])) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string Fold(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && Fold(a) == Fold(b);
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

}  // namespace corvane
