#include "payload/extract.h"

#include <new>

#include "payload/container.h"
#include "payload/szdd.h"

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

bool WriteNewFileStamped(FileSystem& fs, const std::string& path,
                         std::span<const std::uint8_t> bytes, const Timestamp& stamp) {
  auto file = fs.OpenForWriting(path, ShareMode::None, OpenMode::CreateNew);
  if (file == nullptr || !file->Write(bytes)) return false;
  return file->SetLastWriteTime(ToFileTime(stamp));
}

namespace {

// The files of one installation on their way in. Each is written complete beside its target
// under a name of its own; only when all are there are the targets replaced, the old files
// kept aside until the last one is in place. Whatever goes wrong, the targets end as they
// were and nothing staged is left.
class Staging {
 public:
  explicit Staging(FileSystem& fs) : fs_(fs) {}
  ~Staging() { Discard(); }
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  bool Stage(const std::string& target, std::span<const std::uint8_t> bytes,
             const Timestamp& stamp) {
    const std::string staged = StagedName(target);
    fs_.RemoveFile(staged);  // left by an installation that was cut off
    if (!WriteNewFileStamped(fs_, staged, bytes, stamp)) {
      fs_.RemoveFile(staged);  // a part of it may have been written
      return false;
    }
    entries_.push_back(Entry{target, false, false});
    return true;
  }

  bool Commit() {
    for (Entry& e : entries_) {
      if (fs_.HasAttributes(e.target)) {
        if (!fs_.RenameFile(e.target, BackupName(e.target), true)) return RollBack();
        e.keptOld = true;
      }
      if (!fs_.RenameFile(StagedName(e.target), e.target, false)) return RollBack();
      e.placed = true;
    }
    for (const Entry& e : entries_) {
      if (e.keptOld) fs_.RemoveFile(BackupName(e.target));
    }
    entries_.clear();
    return true;
  }

  // Removes every staged file; the targets are not touched.
  void Discard() {
    for (const Entry& e : entries_) {
      if (!e.placed) fs_.RemoveFile(StagedName(e.target));
    }
    entries_.clear();
  }

 private:
  struct Entry {
    std::string target;
    bool keptOld;  // the old file is under its backup name
    bool placed;   // the new file is under the target's name
  };

  static std::string StagedName(const std::string& target) {
    return target + std::string(kStagingSuffix);
  }
  static std::string BackupName(const std::string& target) {
    return target + std::string(kBackupSuffix);
  }

  // Puts back what was replaced, newest first; always false.
  bool RollBack() {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
      if (it->keptOld) {
        fs_.RenameFile(BackupName(it->target), it->target, true);
      } else if (it->placed) {
        fs_.RemoveFile(it->target);
      }
      it->keptOld = it->placed = false;
    }
    Discard();
    return false;
  }

  FileSystem& fs_;
  std::vector<Entry> entries_;
};

}  // namespace

bool ExtractPayload(ExtractServices& services, const std::vector<std::string>& targets,
                    const Timestamp& stamp, int payloadId) {
  // One more byte than the largest accepted file, so that a larger one shows as an overflow
  // instead of being cut silently. Reserved once and reused for every record; if it cannot be
  // had, the first expansion fails as any failed expansion does.
  constexpr std::size_t kBufferSize = kExpansionBufferSize + 1;
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kBufferSize]);

  // The resource stays mapped for the life of the process; records are read from it in place
  // and expanded in memory, so nothing on the way can be changed by another process.
  PayloadReader reader(services.resources.RcData(payloadId));
  Staging staging(services.files);
  auto fail = [&services, &staging] {
    staging.Discard();  // before the message, which waits for the user
    services.errors.ShowError(kInstallErrorText);
    return false;
  };

  for (const std::string& target : targets) {
    std::span<const std::uint8_t> body;
    // A missing payload, a length beyond its end, a missing terminator, or a terminator before
    // the last entry: the payload is damaged, which the user learns like a failed expansion.
    if (reader.Next(body) != PayloadReader::Result::Record) return fail();
    if (buffer == nullptr) return fail();
    const long n =
        SzddExpand(SzddImageOf(body), std::span<std::uint8_t>(buffer.get(), kBufferSize));
    if (n <= 0 || static_cast<std::size_t>(n) > kExpansionBufferSize) return fail();

    const std::span<const std::uint8_t> expanded(buffer.get(), static_cast<std::size_t>(n));
    if (!staging.Stage(target, expanded, stamp)) return false;
  }
  return staging.Commit();
}

}  // namespace corvane
