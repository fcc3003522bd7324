#include "payload/extract.h"

#include <new>

#include "payload/container.h"

namespace corvane {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr std::int64_t kDaysFrom1601To1970 = 134774;
constexpr std::uint64_t kTicksPerSecond = 10'000'000;

}  // namespace

std::uint64_t ToFileTime(const Timestamp& t) {
  const std::int64_t days =
      DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) +
      kDaysFrom1601To1970;
  const std::int64_t seconds = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  return static_cast<std::uint64_t>(seconds) * kTicksPerSecond;
}

bool WriteWholeFile(FileSystem& fs, const std::string& path, std::span<const std::uint8_t> bytes) {
  auto file = fs.OpenForWriting(path, ShareMode::None, OpenMode::CreateAlways);
  return file != nullptr && file->Write(bytes);
}

std::unique_ptr<OutputFile> CreateFileForWriting(FileSystem& fs, const std::string& path) {
  return fs.OpenForWriting(path, ShareMode::Read, OpenMode::CreateAlways);
}

bool WriteFileStamped(FileSystem& fs, const std::string& path, std::span<const std::uint8_t> bytes,
                      const Timestamp& stamp) {
  auto file = CreateFileForWriting(fs, path);
  if (file == nullptr || !file->Write(bytes)) return false;
  return file->SetLastWriteTime(ToFileTime(stamp));
}

bool ExtractPayload(ExtractServices& services, const std::vector<std::string>& targets,
                    const std::string& tempPath, const Timestamp& stamp, int payloadId) {
  // One more byte than the largest accepted file, so that a larger one shows as an overflow
  // instead of being cut silently. Reserved once and reused for every record; if it cannot be
  // had, the first expansion fails as any failed expansion does.
  constexpr std::size_t kBufferSize = kExpansionBufferSize + 1;
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kBufferSize]);

  // The resource stays mapped for the life of the process; records are read from it in place.
  PayloadReader reader(services.resources.RcData(payloadId));
  auto fail = [&services] {
    services.errors.ShowError(kInstallErrorText);
    return false;
  };

  for (const std::string& target : targets) {
    std::span<const std::uint8_t> body;
    const PayloadReader::Result r = reader.Next(body);
    if (r == PayloadReader::Result::End) break;
    // A missing payload, a length beyond its end or a missing terminator: nothing sound can
    // be expanded, which the user learns like any other failed expansion.
    if (r == PayloadReader::Result::Malformed) return fail();

    if (!WriteWholeFile(services.files, tempPath, SzddImageOf(body))) return fail();
    if (buffer == nullptr) return fail();
    const long n = services.lz.Expand(tempPath, std::span<std::uint8_t>(buffer.get(), kBufferSize));
    if (n <= 0 || static_cast<std::size_t>(n) > kExpansionBufferSize) return fail();

    if (!WriteFileStamped(services.files, target,
                          std::span<const std::uint8_t>(buffer.get(), static_cast<std::size_t>(n)),
                          stamp)) {
      return false;
    }
  }
  services.files.RemoveFile(tempPath);
  return true;
}

}  // namespace corvane
