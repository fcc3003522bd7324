// The system's LZ expansion library (LZ32), which the tests compare our SZDD decoder with.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "system/win32/system_library.h"

namespace corvane {

class Lz32Expander {
 public:
  // Loads lz32.dll from System32.
  Lz32Expander();

  // Expands the SZDD file at `szddPath` into `out`: the number of bytes delivered, 0 or less
  // when the library or the file cannot be opened, the file is not an SZDD file, or it cannot
  // be expanded. A file longer than `out` delivers out.size() bytes.
  long Expand(const std::string& szddPath, std::span<std::uint8_t> out);

 private:
  using LZInitFn = INT(WINAPI*)(INT);
  using LZReadFn = INT(WINAPI*)(INT, LPSTR, INT);
  using LZCloseFn = void(WINAPI*)(INT);

  SystemLibrary lib_;
  LZInitFn init_;
  LZReadFn read_;
  LZCloseFn close_;
};

}  // namespace corvane
