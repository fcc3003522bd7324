#include "payload/container.h"

#include <algorithm>
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

std::vector<std::uint8_t> DigestBlock(const Sha256Digest& container,
                                      const std::vector<Sha256Digest>& records) {
  std::vector<std::uint8_t> block(kDigestMarker.begin(), kDigestMarker.end());
  PutU32(block, kDigestVersion);
  PutU32(block, static_cast<std::uint32_t>(records.size()));
  block.insert(block.end(), container.begin(), container.end());
  for (const Sha256Digest& d : records) block.insert(block.end(), d.begin(), d.end());
  return block;
}

PayloadDigests ReadDigests(std::span<const std::uint8_t> payload) {
  using Status = PayloadDigests::Status;
  PayloadDigests found;
  PayloadReader reader(payload);
  std::span<const std::uint8_t> body;
  std::size_t& count = found.records;
  PayloadReader::Result result;
  while ((result = reader.Next(body)) == PayloadReader::Result::Record) ++count;
  if (result == PayloadReader::Result::Malformed) {
    found.status = Status::Malformed;
    found.problem = "the records do not end in a terminator";
    return found;
  }
  found.container = payload.first(reader.Offset() + 4);
  const std::span<const std::uint8_t> rest = payload.subspan(found.container.size());
  if (rest.empty()) return found;

  found.status = Status::Malformed;
  constexpr std::size_t kHead = 8 + 4 + 4;
  if (rest.size() < kHead || !std::equal(kDigestMarker.begin(), kDigestMarker.end(), rest.begin())) {
    found.problem = "bytes after the terminator that are not a digest block";
    return found;
  }
  auto u32 = [&rest](std::size_t at) {
    return static_cast<std::uint32_t>(rest[at]) | static_cast<std::uint32_t>(rest[at + 1]) << 8 |
           static_cast<std::uint32_t>(rest[at + 2]) << 16 |
           static_cast<std::uint32_t>(rest[at + 3]) << 24;
  };
  if (u32(8) != kDigestVersion) {
    found.problem = "a digest block of an unknown version";
    return found;
  }
  // The count is compared before it is multiplied: no overflow whatever it says.
  if (u32(12) != count || rest.size() != kHead + 32 * (count + 1)) {
    found.problem = "a digest block whose length or record count does not match the records";
    return found;
  }
  found.containerDigest = rest.subspan(kHead, 32);
  found.recordDigests = rest.subspan(kHead + 32);
  found.status = Status::Present;
  return found;
}

std::vector<std::uint8_t> SzddImageOf(std::span<const std::uint8_t> body) {
  std::vector<std::uint8_t> image(kPrefix + body.size());
  std::memcpy(image.data(), kSzddMagic.data(), kPrefix);
  if (!body.empty()) std::memcpy(image.data() + kPrefix, body.data(), body.size());
  return image;
}

}  // namespace corvane
