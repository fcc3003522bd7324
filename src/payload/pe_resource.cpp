#include "payload/pe_resource.h"

namespace corvane {
namespace {

using Bytes = std::span<const std::uint8_t>;
using Status = PeResourceLookup::Status;

constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint32_t kPe32Magic = 0x10B, kPe32PlusMagic = 0x20B;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kResourceDirectory = 2;  // index in the data directories
constexpr std::uint32_t kSubdirectory = 0x80000000u;

// Sizes and offsets are widened to 64 bits, so that no sum of file values can wrap.
bool Has(Bytes b, std::uint64_t offset, std::uint64_t size) {
  return offset <= b.size() && size <= b.size() - offset;
}
// Only called once Has() has confirmed the bytes, so the offset fits in a size_t.
std::uint32_t U16(Bytes b, std::uint64_t o) {
  const std::uint8_t* p = b.data() + static_cast<std::size_t>(o);
  return static_cast<std::uint32_t>(p[0] | p[1] << 8);
}
std::uint32_t U32(Bytes b, std::uint64_t o) {
  const std::uint8_t* p = b.data() + static_cast<std::size_t>(o);
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The file bytes from `rva` to the end of its section's raw data (cut at the end of the file),
// or empty when no section holds that address in the file.
Bytes MapRva(Bytes image, Bytes sections, std::uint32_t rva) {
  for (std::size_t s = 0; s + kSectionHeaderSize <= sections.size(); s += kSectionHeaderSize) {
    const std::uint64_t va = U32(sections, s + 12), rawSize = U32(sections, s + 16),
                        rawOffset = U32(sections, s + 20);
    if (rva < va || rva - va >= rawSize) continue;
    const std::uint64_t offset = rawOffset + (rva - va);
    if (offset >= image.size()) return {};
    const std::uint64_t available = rawSize - (rva - va);
    return image.subspan(
        static_cast<std::size_t>(offset),
        static_cast<std::size_t>(available < image.size() - offset ? available
                                                                   : image.size() - offset));
  }
  return {};
}

// Looks up `id` among a resource directory's numeric entries; the entry's offset in `entry`.
Status FindEntry(Bytes rsrc, std::uint64_t dir, std::uint32_t id, std::uint64_t& entry) {
  if (!Has(rsrc, dir, 16)) return Status::Damaged;
  const std::uint64_t named = U16(rsrc, dir + 12), ids = U16(rsrc, dir + 14);
  if (!Has(rsrc, dir + 16, (named + ids) * 8)) return Status::Damaged;
  for (std::uint64_t k = named; k < named + ids; ++k) {
    entry = dir + 16 + k * 8;
    if (U32(rsrc, entry) == id) return Status::Found;
  }
  return Status::Missing;
}

PeResourceLookup Fail(Status status, std::string_view detail) { return {status, {}, detail}; }

}  // namespace

PeResourceLookup FindPeResource(Bytes image, std::uint32_t type, std::uint32_t id) {
  if (!Has(image, 0, 64) || image[0] != 'M' || image[1] != 'Z')
    return Fail(Status::NotPe, "no MZ header");
  const std::uint64_t pe = U32(image, 0x3C);
  if (!Has(image, pe, 24) || U32(image, pe) != kPeSignature)
    return Fail(Status::NotPe, "no PE signature");

  const std::uint64_t sectionCount = U16(image, pe + 6), optionalSize = U16(image, pe + 20);
  const std::uint64_t optional = pe + 24;
  if (!Has(image, optional, optionalSize) || optionalSize < 2)
    return Fail(Status::Damaged, "the optional header is cut off");
  const std::uint32_t magic = U16(image, optional);
  if (magic != kPe32Magic && magic != kPe32PlusMagic)
    return Fail(Status::Damaged, "the optional header is neither PE32 nor PE32+");
  // NumberOfRvaAndSizes, then the data directories of 8 bytes each.
  const std::uint64_t directoryCount = optional + (magic == kPe32Magic ? 92 : 108);
  const std::uint64_t resourceEntry = directoryCount + 4 + kResourceDirectory * 8;
  if (resourceEntry + 8 > optional + optionalSize ||
      U32(image, directoryCount) <= kResourceDirectory || U32(image, resourceEntry) == 0)
    return Fail(Status::Missing, "no resources");
  if (!Has(image, optional + optionalSize, sectionCount * kSectionHeaderSize))
    return Fail(Status::Damaged, "the section table is cut off");
  const Bytes sections = image.subspan(static_cast<std::size_t>(optional + optionalSize),
                                       static_cast<std::size_t>(sectionCount * kSectionHeaderSize));

  // Type, then name, then language; the tree's own offsets are relative to its start.
  const Bytes rsrc = MapRva(image, sections, U32(image, resourceEntry));
  if (rsrc.empty()) return Fail(Status::Damaged, "the resource directory is outside the file");
  std::uint64_t dir = 0, entry = 0;
  for (const std::uint32_t key : {type, id}) {
    const Status found = FindEntry(rsrc, dir, key, entry);
    if (found == Status::Damaged) return Fail(found, "a resource directory is cut off");
    if (found == Status::Missing) return Fail(found, "no such resource");
    const std::uint32_t offset = U32(rsrc, entry + 4);
    if ((offset & kSubdirectory) == 0) return Fail(Status::Damaged, "a resource entry is broken");
    dir = offset & ~kSubdirectory;
  }
  if (!Has(rsrc, dir, 16)) return Fail(Status::Damaged, "a resource directory is cut off");
  if (U16(rsrc, dir + 12) + U16(rsrc, dir + 14) == 0)
    return Fail(Status::Missing, "no such resource");
  if (!Has(rsrc, dir + 16, 8)) return Fail(Status::Damaged, "a resource directory is cut off");
  const std::uint64_t dataEntry = U32(rsrc, dir + 16 + 4);
  if ((dataEntry & kSubdirectory) != 0 || !Has(rsrc, dataEntry, 16))
    return Fail(Status::Damaged, "a resource entry is broken");

  const std::uint32_t size = U32(rsrc, dataEntry + 4);
  const Bytes data = MapRva(image, sections, U32(rsrc, dataEntry));
  if (data.size() < size) return Fail(Status::Damaged, "the resource data is outside the file");
  return {Status::Found, data.first(size), {}};
}

}  // namespace corvane
