#include "app/product_files.h"

#include "payload/container.h"
#include "payload/szdd.h"

namespace corvane {

std::string DisplayVersionOf(std::string_view fileVersion) {
  std::string version;
  for (const char c : fileVersion) {
    if (c == ',') {
      version += '.';
    } else if (c != ' ' && c != '\t') {
      version += c;
    }
  }
  return version;
}

std::uint32_t ExpandedSizeKb(std::span<const std::uint8_t> payload) {
  PayloadReader reader(payload);
  std::span<const std::uint8_t> body;
  std::uint64_t bytes = 0;
  for (;;) {
    const PayloadReader::Result result = reader.Next(body);
    if (result == PayloadReader::Result::End) break;
    if (result == PayloadReader::Result::Malformed) return 0;
    // The header alone tells the expanded length.
    const std::span<const std::uint8_t> header = body.first(body.size() < 16 ? body.size() : 16);
    const long long length = SzddExpandedLength(SzddImageOf(header));
    if (length < 0) return 0;
    bytes += static_cast<std::uint64_t>(length);
  }
  return static_cast<std::uint32_t>((bytes + 1023) / 1024);
}

}  // namespace corvane
