// decode(encode(x)) == x for every input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "payload/szdd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const std::vector<std::uint8_t> packed = corvane::SzddCompress(input);
  std::vector<std::uint8_t> out(size + 1);
  const long n = corvane::SzddExpand(packed, out);
  if (n != static_cast<long>(size)) std::abort();
  for (std::size_t i = 0; i < size; ++i) {
    if (out[i] != data[i]) std::abort();
  }
  return 0;
}
