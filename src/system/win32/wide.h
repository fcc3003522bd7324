// UTF-16 copies of the program's UTF-8 strings for the wide (W) API, and back.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// The text decoded as UTF-8 (malformed bytes give U+FFFD as the system's decoder does).
std::wstring ToWide(std::string_view utf8);

// A zero-terminated UTF-16 text as UTF-8; null gives the empty string.
std::string FromWide(const wchar_t* utf16);
std::string FromWide(std::wstring_view utf16);

}  // namespace corvane
