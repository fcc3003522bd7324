#include "payload/container.h"

#include <cstring>
#include <limits>

#include "payload/szdd.h"

namespace corvane {

namespace {

constexpr std::size_t kPrefix = 4;  // the "SZDD" the records leave out

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}

}  // namespace

std::vector<std::uint8_t> BuildPayload(const std::vector<std::vector<std::uint8_t>>& szddFiles) {
  std::size_t total = 4;
  for (const auto& file : szddFiles) {
    // A zero length would read as the terminator, so every record needs a body.
    if (file.size() <= kPrefix || std::memcmp(file.data(), kSzddMagic.data(), kPrefix) != 0 ||
        file.size() - kPrefix > std::numeric_limits<std::uint32_t>::max())
      return {};
    total += 4 + file.size() - kPrefix;
  }
  std::vector<std::uint8_t> payload;
  payload.reserve(total);
  for (const auto& file : szddFiles) {
    PutU32(payload, static_cast<std::uint32_t>(file.size() - kPrefix));
    payload.insert(payload.end(), file.begin() + kPrefix, file.end());
  }
  PutU32(payload, 0);
  return payload;
}

PayloadReader::Result PayloadReader::Next(std::span<const std::uint8_t>& body) {
  body = {};
  if (broken_ || rest_.size() < 4) {
    broken_ = true;
    return Result::Malformed;
  }
  const std::size_t length =
      static_cast<std::size_t>(rest_[0]) | static_cast<std::size_t>(rest_[1]) << 8 |
      static_cast<std::size_t>(rest_[2]) << 16 | static_cast<std::size_t>(rest_[3]) << 24;
  if (length == 0) return Result::End;
  if (length > rest_.size() - 4) {
    broken_ = true;
    return Result::Malformed;
  }
  body = rest_.subspan(4, length);
  rest_ = rest_.subspan(4 + length);
  consumed_ += 4 + length;
  return Result::Record;
}

std::vector<std::uint8_t> SzddImageOf(std::span<const std::uint8_t> body) {
  std::vector<std::uint8_t> image(kPrefix + body.size());
  std::memcpy(image.data(), kSzddMagic.data(), kPrefix);
  if (!body.empty()) std::memcpy(image.data() + kPrefix, body.data(), body.size());
  return image;
}

}  // namespace corvane
