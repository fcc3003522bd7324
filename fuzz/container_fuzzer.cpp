// The payload reader on arbitrary bytes: records stay inside the payload, the walk ends,
// and each record's SZDD image decodes without going out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "payload/container.h"
#include "payload/szdd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> payload(data, size);
  corvane::PayloadReader reader(payload);
  std::span<const std::uint8_t> body;
  std::vector<std::uint8_t> out(1 << 16);
  std::size_t records = 0;
  for (;;) {
    const auto result = reader.Next(body);
    if (result != corvane::PayloadReader::Result::Record) break;
    if (body.data() < data || body.data() + body.size() > data + size) std::abort();
    if (++records > size / 4) std::abort();  // every record consumes at least its length field
    std::vector<std::uint8_t> image{'S', 'Z', 'D', 'D'};
    image.insert(image.end(), body.begin(), body.end());
    const long n = corvane::SzddExpand(image, out);
    if (n > static_cast<long>(out.size())) std::abort();
  }
  return 0;
}
