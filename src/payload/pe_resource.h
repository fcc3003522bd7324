// Finds a resource in the bytes of a Windows executable (PE32 or PE32+) without loading it,
// so that tools can read a built setup's payload on any system. Every offset and size taken
// from the file is checked against the file's length before it is used.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace corvane {

inline constexpr std::uint32_t kResourceTypeRcData = 10;  // RT_RCDATA

struct PeResourceLookup {
  enum class Status {
    Found,    // `data` holds the resource's bytes
    NotPe,    // no MZ header or no PE signature
    Damaged,  // a header, table or offset points outside the file
    Missing,  // a sound executable without that resource
  };
  Status status = Status::NotPe;
  std::span<const std::uint8_t> data;  // inside the image; empty unless Found
  std::string_view detail;             // what was wrong, for messages; empty when Found
};

// The data of resource `type`/`id` (numeric ids, the first language present).
PeResourceLookup FindPeResource(std::span<const std::uint8_t> image, std::uint32_t type,
                                std::uint32_t id);

}  // namespace corvane
