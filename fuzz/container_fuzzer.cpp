// The payload reader on arbitrary bytes: records stay inside the payload, the walk ends,
// and each record's SZDD image decodes without going out of bounds. The digest block after the
// terminator is read from the same bytes: its container is the payload's own start, and a
// block is taken only with one digest per record.
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
  corvane::PayloadReader::Result result;
  for (;;) {
    result = reader.Next(body);
    if (result != corvane::PayloadReader::Result::Record) break;
    if (body.data() < data || body.data() + body.size() > data + size) std::abort();
    if (++records > size / 4) std::abort();  // every record consumes at least its length field
    std::vector<std::uint8_t> image{'S', 'Z', 'D', 'D'};
    image.insert(image.end(), body.begin(), body.end());
    const long n = corvane::SzddExpand(image, out);
    if (n > static_cast<long>(out.size())) std::abort();
  }
  const corvane::PayloadDigests digests = corvane::ReadDigests(payload);
  using Status = corvane::PayloadDigests::Status;
  if (digests.container.data() != nullptr && digests.container.data() != data) std::abort();
  if (digests.container.size() > size) std::abort();
  if (result == corvane::PayloadReader::Result::End &&
      digests.container.size() != reader.Offset() + 4)
    std::abort();
  if (digests.status == Status::Present &&
      (result != corvane::PayloadReader::Result::End || digests.records != records ||
       digests.recordDigests.size() != 32 * records || digests.containerDigest.size() != 32 ||
       digests.recordDigests.data() + digests.recordDigests.size() != data + size))
    std::abort();
  if (digests.status != Status::Present && !digests.recordDigests.empty()) std::abort();
  return 0;
}
