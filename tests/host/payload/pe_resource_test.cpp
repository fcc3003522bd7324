#include "payload/pe_resource.h"

#include <gtest/gtest.h>

#include <string>

#include "support/pe_builder.h"

namespace corvane {
namespace {

using testing::BuildPe;
using testing::PeLayout;
using testing::PeResource;
using Status = PeResourceLookup::Status;
using Bytes = std::vector<std::uint8_t>;

const Bytes kPayload = {'p', 'a', 'y', 'l', 'o', 'a', 'd', 0, 1, 2, 3};

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
}

TEST(PeResourceTest, FindsRcDataAmongOtherResourcesInBothFormats) {
  for (const bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    const Bytes image =
        BuildPe(plus, {{3, 129, {9, 9, 9}}, {14, 129, {8, 8}}, {10, 129, kPayload}});
    const PeResourceLookup found = FindPeResource(image, kResourceTypeRcData, 129);
    ASSERT_EQ(found.status, Status::Found) << found.detail;
    EXPECT_EQ(Bytes(found.data.begin(), found.data.end()), kPayload);
    EXPECT_TRUE(found.detail.empty());
  }
}

TEST(PeResourceTest, ForeignFilesAndExecutablesWithoutThePayload) {
  const Bytes elf = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(FindPeResource(elf, 10, 129).status, Status::NotPe);
  EXPECT_EQ(FindPeResource({}, 10, 129).status, Status::NotPe);
  Bytes dosOnly = BuildPe(false, {{10, 129, kPayload}});
  dosOnly[0x81] = 'X';  // "PX\0\0": an old DOS or NE program
  EXPECT_EQ(FindPeResource(dosOnly, 10, 129).status, Status::NotPe);

  EXPECT_EQ(FindPeResource(BuildPe(true, {}), 10, 129).status, Status::Missing);
  EXPECT_EQ(FindPeResource(BuildPe(false, {{10, 130, kPayload}}), 10, 129).status, Status::Missing);
  EXPECT_EQ(FindPeResource(BuildPe(false, {{3, 129, kPayload}}), 10, 129).status, Status::Missing);
}

TEST(PeResourceTest, TruncatedImageNeverReadsPastItsEnd) {
  for (const bool plus : {false, true}) {
    PeLayout layout;
    const Bytes image = BuildPe(plus, {{10, 129, kPayload}}, &layout);
    const std::size_t end = layout.firstData + kPayload.size();
    // Each prefix is a separate allocation, so the sanitizers see any read beyond it.
    for (std::size_t size = 0; size < end; ++size) {
      const Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size));
      const PeResourceLookup r = FindPeResource(cut, 10, 129);
      EXPECT_NE(r.status, Status::Found) << size;
      EXPECT_FALSE(r.detail.empty()) << size;
    }
    const Bytes whole(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(end));
    EXPECT_EQ(FindPeResource(whole, 10, 129).status, Status::Found);
  }
}

TEST(PeResourceTest, OffsetsPointingOutsideTheFileAreDamage) {
  PeLayout layout;
  const Bytes good = BuildPe(false, {{10, 129, kPayload}}, &layout);
  struct Case {
    const char* what;
    std::size_t at;
    std::uint32_t value;
  };
  const std::size_t dataEntry = layout.rsrc + 16 + 8 + 48;  // the one resource's data entry
  for (const Case& c : {
           Case{"section count", layout.peHeader + 6, 0x0000FFFF},
           Case{"optional header size", layout.peHeader + 20, 0x0000FFF0},
           Case{"raw data offset", layout.sectionTable + 20, 0xFFFFFF00},
           Case{"type directory offset", layout.rsrc + 16 + 4, 0xFFFFFFF0},
           Case{"data size", dataEntry + 4, 0xFFFFFFFF},
           Case{"data address", dataEntry, 0x7FFFFFF0},
       }) {
    SCOPED_TRACE(c.what);
    Bytes bad = good;
    // 16-bit fields take the low half; the next field stays as it was.
    if (c.value <= 0xFFFF) {
      bad[c.at] = static_cast<std::uint8_t>(c.value);
      bad[c.at + 1] = static_cast<std::uint8_t>(c.value >> 8);
    } else {
      Put32(bad, c.at, c.value);
    }
    const PeResourceLookup r = FindPeResource(bad, 10, 129);
    EXPECT_EQ(r.status, Status::Damaged) << r.detail;
  }
}

}  // namespace
}  // namespace corvane
