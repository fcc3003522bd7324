#include "payload/container.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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

TEST(SzddImageOf, PrefixesTheMagic) {
  EXPECT_EQ(SzddImageOf(Bytes{1, 2}), (Bytes{'S', 'Z', 'D', 'D', 1, 2}));
  EXPECT_EQ(SzddImageOf(Bytes{}), (Bytes{'S', 'Z', 'D', 'D'}));
}

}  // namespace
}  // namespace corvane
