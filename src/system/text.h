// UTF-8 <-> UTF-16 conversions. All text inside the program is UTF-8 in std::string;
// UTF-16 exists only at the Windows boundary.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {

// Decodes UTF-8. Malformed input gives U+FFFD exactly where the system's UTF-8 decoder
// (MultiByteToWideChar, CP_UTF8, no flags) puts it, so both sides agree on every byte string.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Encodes UTF-16 as UTF-8. An unpaired surrogate becomes U+FFFD, as WideCharToMultiByte does.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Number of UTF-16 code units of the text's UTF-16 form (a character outside the BMP counts twice).
std::size_t Utf16Length(std::string_view utf8);

// The text with the ASCII letters in lower case and every other byte as it is: how the setup and
// the uninstaller compare paths and names, which the file system and registry treat without case.
std::string Fold(std::string_view text);

// The two texts are equal once folded.
bool SameText(std::string_view a, std::string_view b);

// The text begins with `prefix` once both are folded (command-line switches: "/log=" is "/LOG=").
bool StartsWithText(std::string_view text, std::string_view prefix);

}  // namespace corvane
