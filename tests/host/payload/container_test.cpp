#include "payload/container.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>
#include <utility>

#include "payload/szdd.h"

namespace corvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Result = PayloadReader::Result;

Bytes U32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(BuildPayload, LaysOutRecordsAndTerminator) {
  const Bytes a = SzddCompress(Bytes{'a', 'b', 'c'});
  const Bytes b = SzddCompress(Bytes(1000, 'z'));
  const Bytes payload = BuildPayload({a, b});
  const Bytes expect = Concat(
      {U32(static_cast<std::uint32_t>(a.size() - 4)), Bytes(a.begin() + 4, a.end()),
       U32(static_cast<std::uint32_t>(b.size() - 4)), Bytes(b.begin() + 4, b.end()), U32(0)});
  EXPECT_EQ(payload, expect);
  // Every body starts with the second half of the magic.
  EXPECT_EQ(Bytes(payload.begin() + 4, payload.begin() + 8), (Bytes{0x88, 0xF0, 0x27, 0x33}));
  EXPECT_EQ(BuildPayload({}), U32(0));
}

TEST(BuildPayload, RejectsFilesThatAreNotSzdd) {
  EXPECT_TRUE(BuildPayload({Bytes{'S', 'Z', 'D', 'D'}}).empty());  // nothing after the prefix
  EXPECT_TRUE(BuildPayload({Bytes{'M', 'Z', 0, 0, 1, 2}}).empty());
  EXPECT_TRUE(BuildPayload({SzddCompress(Bytes{1}), Bytes{}}).empty());
}

TEST(PayloadReader, ReadsRecordsBackAndRebuildsImages) {
  const std::vector<Bytes> files = {SzddCompress(Bytes{'x'}), SzddCompress(Bytes(5000, 7)),
                                    SzddCompress(Bytes{'h', 'i', '!'})};
  const Bytes payload = BuildPayload(files);
  PayloadReader reader(payload);
  std::span<const std::uint8_t> body;
  for (const Bytes& file : files) {
    ASSERT_EQ(reader.Next(body), Result::Record);
    EXPECT_EQ(SzddImageOf(body), file);
  }
  EXPECT_EQ(reader.Next(body), Result::End);
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(reader.Offset(), payload.size() - 4);
  EXPECT_EQ(reader.Next(body), Result::End);  // stays at the terminator
}

TEST(PayloadReader, MissingOrEmptyPayloadIsMalformed) {
  std::span<const std::uint8_t> body;
  PayloadReader none{std::span<const std::uint8_t>{}};
  EXPECT_EQ(none.Next(body), Result::Malformed);
  const Bytes three = {0, 0, 0};
  PayloadReader shortLength(three);
  EXPECT_EQ(shortLength.Next(body), Result::Malformed);
}

TEST(PayloadReader, LengthBeyondTheRestIsMalformed) {
  std::span<const std::uint8_t> body;
  const Bytes oneShort = Concat({U32(5), Bytes{0x88, 0xF0, 0x27, 0x33}});
  PayloadReader a(oneShort);
  EXPECT_EQ(a.Next(body), Result::Malformed);
  EXPECT_TRUE(body.empty());
  const Bytes huge = Concat({U32(0xFFFFFFFFu), Bytes(16, 1)});
  PayloadReader b(huge);
  EXPECT_EQ(b.Next(body), Result::Malformed);
}

TEST(PayloadReader, NoTerminatorIsMalformedAfterTheLastRecord) {
  std::span<const std::uint8_t> body;
  const Bytes noEnd = Concat({U32(2), Bytes{9, 8}});
  PayloadReader reader(noEnd);
  ASSERT_EQ(reader.Next(body), Result::Record);
  EXPECT_EQ(Bytes(body.begin(), body.end()), (Bytes{9, 8}));
  EXPECT_EQ(reader.Next(body), Result::Malformed);
  // A partial terminator is no terminator either, and the reader stays malformed.
  const Bytes partial = Concat({U32(1), Bytes{9}, Bytes{0, 0}});
  PayloadReader p(partial);
  ASSERT_EQ(p.Next(body), Result::Record);
  EXPECT_EQ(p.Next(body), Result::Malformed);
  EXPECT_EQ(p.Next(body), Result::Malformed);
}

TEST(PayloadReader, BytesAfterTheTerminatorAreIgnored) {
  std::span<const std::uint8_t> body;
  const Bytes trailing = Concat({U32(1), Bytes{5}, U32(0), Bytes{1, 2, 3}});
  PayloadReader reader(trailing);
  ASSERT_EQ(reader.Next(body), Result::Record);
  EXPECT_EQ(reader.Next(body), Result::End);
}

TEST(ReadDigests, BlockAfterTheTerminatorRoundTripsAndAnythingElseIsMalformed) {
  using Status = PayloadDigests::Status;
  const Bytes container = BuildPayload({SzddCompress(Bytes{'x'}), SzddCompress(Bytes(900, 7))});
  Sha256Digest whole{}, first{}, second{};
  whole.fill(0xC0);
  first.fill(0x11);
  second.fill(0x22);
  const Bytes block = DigestBlock(whole, {first, second});
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 16),
            Concat({Bytes{'C', 'V', 'N', 'D', 'I', 'G', 'S', 'T'}, U32(1), U32(2)}));
  ASSERT_EQ(block.size(), 16u + 3 * 32);

  const Bytes payload = Concat({container, block});
  const PayloadDigests read = ReadDigests(payload);
  EXPECT_EQ(read.status, Status::Present);
  EXPECT_EQ(Bytes(read.container.begin(), read.container.end()), container);
  EXPECT_EQ(read.records, 2u);
  EXPECT_EQ(Bytes(read.containerDigest.begin(), read.containerDigest.end()),
            Bytes(whole.begin(), whole.end()));
  EXPECT_EQ(Bytes(read.RecordDigest(0).begin(), read.RecordDigest(0).end()),
            Bytes(first.begin(), first.end()));
  EXPECT_EQ(Bytes(read.RecordDigest(1).begin(), read.RecordDigest(1).end()),
            Bytes(second.begin(), second.end()));

  const PayloadDigests none = ReadDigests(container);
  EXPECT_EQ(none.status, Status::Absent);
  EXPECT_EQ(Bytes(none.container.begin(), none.container.end()), container);

  auto changed = [&payload](std::size_t at, std::uint8_t value) {
    Bytes p = payload;
    p[at] = value;
    return p;
  };
  const std::size_t at = container.size();
  const std::vector<std::pair<const char*, Bytes>> malformed = {
      {"no terminator", Bytes(container.begin(), container.end() - 4)},
      {"a byte after the terminator", Concat({container, Bytes{0}})},
      {"marker", changed(at + 7, 'X')},
      {"version", changed(at + 8, 2)},
      {"count too high", changed(at + 12, 3)},
      {"count too low", changed(at + 12, 1)},
      {"count beyond 32 bits of length", changed(at + 15, 0x80)},
      {"one digest byte short", Bytes(payload.begin(), payload.end() - 1)},
      {"one byte more", Concat({payload, Bytes{0}})},
      {"the head cut off", Bytes(payload.begin(), payload.begin() + at + 10)},
      {"a block for other records", Concat({container, DigestBlock(whole, {first})})},
  };
  for (const auto& [what, bytes] : malformed) {
    SCOPED_TRACE(what);
    const PayloadDigests d = ReadDigests(bytes);
    EXPECT_EQ(d.status, Status::Malformed);
    EXPECT_FALSE(d.problem.empty());
    EXPECT_TRUE(d.recordDigests.empty());
  }
}

TEST(SzddImageOf, PrefixesTheMagic) {
  EXPECT_EQ(SzddImageOf(Bytes{1, 2}), (Bytes{'S', 'Z', 'D', 'D', 1, 2}));
  EXPECT_EQ(SzddImageOf(Bytes{}), (Bytes{'S', 'Z', 'D', 'D'}));
}

}  // namespace
}  // namespace corvane
