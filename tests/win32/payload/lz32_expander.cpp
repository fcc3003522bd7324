#include "win32/payload/lz32_expander.h"

#include <climits>
#include <cstring>

#include "payload/szdd.h"
#include "system/win32/wide.h"

namespace corvane {

Lz32Expander::Lz32Expander()
    : lib_(L"lz32.dll"),
      init_(lib_.Get<LZInitFn>("LZInit")),
      read_(lib_.Get<LZReadFn>("LZRead")),
      close_(lib_.Get<LZCloseFn>("LZClose")) {}

// The file is opened with CreateFileW and handed to LZInit rather than opened by LZOpenFileW.
// LZOpenFileW converts the path to the ANSI code page and goes through OpenFile, which takes at
// most 128 characters: a work folder in a long or non-ASCII user profile (a Greek user name, say)
// would fail every installation. Going through CreateFileW always, instead of only for paths
// that look risky, keeps one tested path and needs no guess about the ANSI code page.
//
// LZInit takes an HFILE; on Win32 an HFILE is the file handle's value, so the handle is passed
// cast (checked under Wine, where LZInit reads it with _lread, i.e. ReadFile on that handle).
// Once LZInit returns an LZ handle, LZClose closes the file as well.
long Lz32Expander::Expand(const std::string& szddPath, std::span<std::uint8_t> out) {
  if (init_ == nullptr || read_ == nullptr || close_ == nullptr) return -1;
  HANDLE file = CreateFileW(ToWide(szddPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;

  // LZInit hands a file without the SZDD header back unexpanded, as the same value it was
  // given. That value cannot tell the two cases apart: LZ handles start at 0x400, and a file
  // handle may have that value too. So the header is checked here, and LZInit only ever sees
  // SZDD files (it reads from the start of the file again).
  std::uint8_t magic[8] = {};
  DWORD got8 = 0;
  if (!ReadFile(file, magic, sizeof(magic), &got8, nullptr) || got8 != sizeof(magic) ||
      std::memcmp(magic, kSzddMagic.data(), sizeof(magic)) != 0 ||
      SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0) {
    CloseHandle(file);
    return -1;
  }
  const auto source = static_cast<INT>(reinterpret_cast<INT_PTR>(file));
  const INT lz = init_(source);
  if (lz < 0) {
    CloseHandle(file);
    return -1;
  }
  const INT want =
      out.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<INT>(out.size());
  const INT got = read_(lz, reinterpret_cast<LPSTR>(out.data()), want);
  close_(lz);
  return got;
}

}  // namespace corvane
