// Builds small PE images for tests of code that reads executables: headers as the linker writes
// them (PE32 or PE32+), one ".rsrc" section at RVA 0x1000, file offset 0x200, holding a
// resource tree with one type entry per resource and the language 0x409.
#pragma once

#include <cstdint>
#include <vector>

namespace corvane::testing {

struct PeResource {
  std::uint32_t type = 10;  // RT_RCDATA
  std::uint32_t id = 129;
  std::vector<std::uint8_t> data;
};

// Offsets of the image's parts, for tests that damage one of them.
struct PeLayout {
  std::size_t peHeader = 0x80;   // "PE\0\0"
  std::size_t sectionTable = 0;  // the .rsrc section header
  std::size_t rsrc = 0x200;      // start of the resource section's raw data
  std::size_t firstData = 0;     // the first resource's bytes
};

inline std::vector<std::uint8_t> BuildPe(bool pe32Plus, const std::vector<PeResource>& resources,
                                         PeLayout* layout = nullptr) {
  constexpr std::uint32_t kRva = 0x1000, kRawOffset = 0x200, kPe = 0x80;
  std::vector<std::uint8_t> out(kRawOffset, 0);
  auto put16To = [](std::vector<std::uint8_t>& to, std::size_t at, std::uint32_t v) {
    to[at] = static_cast<std::uint8_t>(v);
    to[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  auto put32To = [&](std::vector<std::uint8_t>& to, std::size_t at, std::uint32_t v) {
    put16To(to, at, v & 0xFFFF);
    put16To(to, at + 2, v >> 16);
  };
  auto put16 = [&](std::size_t at, std::uint32_t v) { put16To(out, at, v); };
  auto put32 = [&](std::size_t at, std::uint32_t v) { put32To(out, at, v); };

  // The resource section: directories first, then the data entries, then the data.
  const std::size_t n = resources.size();
  std::vector<std::uint8_t> rsrc(16 + 8 * n + n * (24 + 24 + 16), 0);
  auto r16 = [&](std::size_t at, std::uint32_t v) { put16To(rsrc, at, v); };
  auto r32 = [&](std::size_t at, std::uint32_t v) { put32To(rsrc, at, v); };
  r16(14, static_cast<std::uint32_t>(n));
  std::size_t next = 16 + 8 * n;
  std::vector<std::size_t> dataEntries;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t typeDir = next, nameDir = next + 24, dataEntry = next + 48;
    next += 64;
    r32(16 + 8 * k, resources[k].type);
    r32(16 + 8 * k + 4, 0x80000000u | static_cast<std::uint32_t>(typeDir));
    r16(typeDir + 14, 1);
    r32(typeDir + 16, resources[k].id);
    r32(typeDir + 20, 0x80000000u | static_cast<std::uint32_t>(nameDir));
    r16(nameDir + 14, 1);
    r32(nameDir + 16, 0x409);
    r32(nameDir + 20, static_cast<std::uint32_t>(dataEntry));
    dataEntries.push_back(dataEntry);
  }
  for (std::size_t k = 0; k < n; ++k) {
    while (rsrc.size() % 4) rsrc.push_back(0);
    if (layout && k == 0) layout->firstData = kRawOffset + rsrc.size();
    r32(dataEntries[k], kRva + static_cast<std::uint32_t>(rsrc.size()));
    r32(dataEntries[k] + 4, static_cast<std::uint32_t>(resources[k].data.size()));
    rsrc.insert(rsrc.end(), resources[k].data.begin(), resources[k].data.end());
  }
  while (rsrc.size() % 0x200) rsrc.push_back(0);

  out[0] = 'M';
  out[1] = 'Z';
  put32(0x3C, kPe);
  put32(kPe, 0x00004550);
  put16(kPe + 4, pe32Plus ? 0x8664 : 0x14C);
  put16(kPe + 6, 1);
  const std::uint32_t optionalSize = pe32Plus ? 240 : 224;
  put16(kPe + 20, optionalSize);
  const std::size_t optional = kPe + 24;
  put16(optional, pe32Plus ? 0x20B : 0x10B);
  const std::size_t directories = optional + (pe32Plus ? 108 : 92);
  put32(directories, 16);
  put32(directories + 4 + 2 * 8, kRva);
  put32(directories + 4 + 2 * 8 + 4, static_cast<std::uint32_t>(rsrc.size()));
  const std::size_t section = optional + optionalSize;
  for (int k = 0; k < 5; ++k) out[section + k] = static_cast<std::uint8_t>(".rsrc"[k]);
  put32(section + 8, static_cast<std::uint32_t>(rsrc.size()));
  put32(section + 12, kRva);
  put32(section + 16, static_cast<std::uint32_t>(rsrc.size()));
  put32(section + 20, kRawOffset);
  if (layout) {
    layout->peHeader = kPe;
    layout->sectionTable = section;
    layout->rsrc = kRawOffset;
  }
  out.insert(out.end(), rsrc.begin(), rsrc.end());
  return out;
}

}  // namespace corvane::testing
