// Whole-file reads and writes for host tests that work with real files and tools.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace corvane::testing {

inline bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  std::uint8_t buf[65536];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + got);
  std::fclose(f);
  return true;
}

inline bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace corvane::testing
