#include "payload/win32/module_resources.h"

#include <windows.h>

namespace corvane {

std::span<const std::uint8_t> ModuleResources::RcData(int id) {
  HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (info == nullptr) return {};
  const DWORD size = SizeofResource(nullptr, info);
  HGLOBAL loaded = LoadResource(nullptr, info);
  if (loaded == nullptr) return {};
  const void* bytes = LockResource(loaded);
  if (bytes == nullptr) return {};
  return {static_cast<const std::uint8_t*>(bytes), size};
}

}  // namespace corvane
