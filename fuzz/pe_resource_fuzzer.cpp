// The PE resource reader on arbitrary bytes: it ends, and what it finds lies inside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "payload/pe_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> image(data, size);
  for (const std::uint32_t id : {129u, 1u}) {
    const corvane::PeResourceLookup r = corvane::FindPeResource(image, 10, id);
    const bool found = r.status == corvane::PeResourceLookup::Status::Found;
    if (found != r.detail.empty()) std::abort();
    if (!found && !r.data.empty()) std::abort();
    if (!r.data.empty() && (r.data.data() < data || r.data.data() + r.data.size() > data + size))
      std::abort();
  }
  return 0;
}
