#include "system/win32/wide.h"

#include <cwchar>

#include "system/text.h"

namespace corvane {

// The wide API's wchar_t is a UTF-16 unit on Windows; the portable code speaks char16_t.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be a UTF-16 unit");

std::wstring ToWide(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

std::string FromWide(std::wstring_view utf16) {
  const std::u16string units(utf16.begin(), utf16.end());
  return Utf16ToUtf8(units);
}

std::string FromWide(const wchar_t* utf16) {
  if (utf16 == nullptr) return std::string();
  return FromWide(std::wstring_view(utf16, std::wcslen(utf16)));
}

}  // namespace corvane
