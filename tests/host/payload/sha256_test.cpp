#include "payload/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

// The test vectors published with FIPS 180-2 (appendix B).
TEST(Sha256, PublishedVectors) {
  const struct {
    std::string message;
    const char* digest;
  } kVectors[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& v : kVectors) {
    SCOPED_TRACE(v.message.substr(0, 8));
    const std::vector<std::uint8_t> bytes(v.message.begin(), v.message.end());
    EXPECT_EQ(DigestHex(Sha256Of(bytes)), v.digest);
    // The same in pieces of odd sizes that straddle the 64-byte blocks.
    Sha256 pieces;
    for (std::size_t at = 0, step = 1; at < bytes.size(); at += step, step = step % 97 + 13)
      pieces.Update(std::span(bytes).subspan(at, std::min(step, bytes.size() - at)));
    EXPECT_EQ(DigestHex(pieces.Finish()), v.digest);
  }
}

}  // namespace
}  // namespace corvane
