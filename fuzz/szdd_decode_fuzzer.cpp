// The SZDD decoder on arbitrary files: never out of bounds, never more than the buffer holds,
// and the same result whatever the buffer's slack.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "payload/szdd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // First two bytes choose the output capacity, so short buffers are exercised too.
  const std::size_t cap = (static_cast<std::size_t>(data[0]) << 8 | data[1]) * 4;
  const std::span<const std::uint8_t> file(data + 2, size - 2);
  std::vector<std::uint8_t> out(cap);
  const long n = corvane::SzddExpand(file, out);
  if (n > static_cast<long>(cap)) std::abort();
  if (n >= 0) {
    // With more room the decoder must deliver the same bytes (or more, if it stopped at the cap).
    std::vector<std::uint8_t> big(cap + 4096);
    const long m = corvane::SzddExpand(file, big);
    if (m < n) std::abort();
    if (n > 0 && std::memcmp(out.data(), big.data(), static_cast<std::size_t>(n)) != 0)
      std::abort();
  }
  return 0;
}
