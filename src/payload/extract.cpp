#include "payload/extract.h"

#include <algorithm>
#include <new>

#include "payload/container.h"
#include "payload/paths.h"
#include "payload/szdd.h"
#include "system/text.h"

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

namespace {

constexpr std::size_t kMinRandomLetters = 4;
constexpr int kNameAttempts = 8;

// Both separators: the packaging tool installs with this code on other systems.
std::string FolderOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

int Base36(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return -1;
}

// Random letters in a working name of the target: as many as keep it as long as the target's
// own name.
std::size_t RandomLettersFor(const std::string& target) {
  const std::size_t nameLength = Utf16Length(target.substr(FolderOf(target).size()));
  return nameLength > kMinRandomLetters + 3 ? nameLength - 3 : kMinRandomLetters;
}

std::string WorkingName(FileSystem& fs, const std::string& target, std::size_t index, char tag) {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  return FolderOf(target) + '~' + tag + kDigits[index % 36] +
         RandomName(fs, RandomLettersFor(target));
}

// A working name that nothing has yet; empty when none was found.
std::string FreshWorkingName(FileSystem& fs, const std::string& target, std::size_t index,
                             char tag) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = WorkingName(fs, target, index, tag);
    if (!fs.HasAttributes(name)) return name;
  }
  return {};
}

// Deletes a file the install is done with; one that is in use (the old file of a running
// program) goes at the next restart instead.
void RemoveWorkingFile(FileSystem& fs, const std::string& path) {
  if (!fs.RemoveFile(path) && fs.HasAttributes(path)) fs.RemoveAtRestart(path);
}

// The list entry whose staged or backup file `name` (in `folder`) is; -1 for any other name.
int WorkingNameOwner(const std::vector<std::string>& targets, const std::string& folder,
                     const std::string& name) {
  if (!IsWorkingFileName(name)) return -1;
  const int index = Base36(name[2]);
  if (index < 0 || static_cast<std::size_t>(index) >= targets.size()) return -1;
  const std::string& target = targets[static_cast<std::size_t>(index)];
  if (!SameText(FolderOf(target), folder) || name.size() != 3 + RandomLettersFor(target)) {
    return -1;
  }
  return index;
}

// What an installation that was cut off left beside the targets. Where a target is missing its
// old file is put back (that happens only on volumes without hard links, where the old file
// leaves the target's name for a moment); then every staged and backup file goes.
void ResolveLeftovers(FileSystem& fs, const std::vector<std::string>& targets) {
  std::vector<std::string> folders;
  for (const std::string& target : targets) {
    const std::string folder = FolderOf(target);
    if (std::none_of(folders.begin(), folders.end(),
                     [&](const std::string& f) { return SameText(f, folder); })) {
      folders.push_back(folder);
    }
  }
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    const std::vector<std::string> names = fs.ListNames(folder, "~");
    for (const std::string& name : names) {
      const int index = WorkingNameOwner(targets, folder, name);
      if (index < 0 || name[1] != kBackupTag) continue;
      const std::string& target = targets[static_cast<std::size_t>(index)];
      if (!fs.HasAttributes(target)) fs.RenameFile(folder + name, target, false);
    }
    for (const std::string& name : names) {
      if (WorkingNameOwner(targets, folder, name) < 0 || !fs.HasAttributes(folder + name)) continue;
      RemoveWorkingFile(fs, folder + name);
    }
  }
}

// The files of one installation on their way in. Each is written complete beside its target
// under a fresh name; only when all are there are the targets replaced, each in one step, the
// old file kept under a second name until the last one is in place. Whatever goes wrong, the
// targets end as they were and nothing staged is left; a kill at any moment leaves every
// target with its old file or its new one.
class Staging {
 public:
  explicit Staging(FileSystem& fs) : fs_(fs) {}
  ~Staging() { Discard(); }
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  bool Stage(std::size_t index, const std::string& target, std::span<const std::uint8_t> bytes,
             const Timestamp& stamp) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      const std::string staged = WorkingName(fs_, target, index, kStagedTag);
      auto file = fs_.OpenForWriting(staged, ShareMode::None, OpenMode::CreateNew);
      if (file == nullptr) {
        if (fs_.HasAttributes(staged)) continue;  // the name is taken (by anyone): another one
        return false;
      }
      const bool written = file->Write(bytes) && file->SetLastWriteTime(ToFileTime(stamp));
      file.reset();
      if (!written) {
        fs_.RemoveFile(staged);  // a part of it may have been written
        return false;
      }
      Entry entry;
      entry.target = target;
      entry.staged = staged;
      entry.index = index;
      entries_.push_back(std::move(entry));
      return true;
    }
    return false;
  }

  bool Commit() {
    for (Entry& e : entries_) {
      if (!Place(e)) return RollBack();
    }
    for (const Entry& e : entries_) {
      for (const std::string* old : {&e.backup, &e.aside}) {
        if (!old->empty()) RemoveWorkingFile(fs_, *old);
      }
    }
    entries_.clear();
    return true;
  }

  // Removes every staged file; the targets are not touched.
  void Discard() {
    for (const Entry& e : entries_) {
      if (!e.placed) fs_.RemoveFile(e.staged);
    }
    entries_.clear();
  }

 private:
  struct Entry {
    std::string target;
    std::string staged;
    std::size_t index = 0;
    std::string backup;   // a second name of the old file, while the targets are replaced
    bool linked = false;  // the backup is a hard link: the target kept its old file meanwhile
    std::string aside;    // where a target in use was renamed to, beside the backup link
    bool placed = false;  // the new file has the target's name
  };

  bool Place(Entry& e) {
    if (fs_.HasAttributes(e.target)) {
      e.backup = FreshWorkingName(fs_, e.target, e.index, kBackupTag);
      if (e.backup.empty()) return false;
      e.linked = fs_.LinkFile(e.target, e.backup);
      if (e.linked) {
        if (fs_.RenameFile(e.staged, e.target, true)) return e.placed = true;
        // Windows renames a running program's file but does not replace it: move it aside.
        e.aside = FreshWorkingName(fs_, e.target, e.index, kBackupTag);
        if (e.aside.empty() || !fs_.RenameFile(e.target, e.aside, false)) {
          e.aside.clear();
          return false;
        }
      } else if (!fs_.RenameFile(e.target, e.backup, false)) {
        // No hard links on this volume: the old file leaves the target's name for a moment.
        e.backup.clear();
        return false;
      }
    }
    return e.placed = fs_.RenameFile(e.staged, e.target, false);
  }

  // Puts back what was replaced, newest first; always false.
  bool RollBack() {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
      Entry& e = *it;
      const std::string& old = !e.aside.empty() ? e.aside : e.backup;
      if (e.placed) {
        if (old.empty()) {
          fs_.RemoveFile(e.target);
        } else {
          fs_.RenameFile(old, e.target, true);  // the old file back in one step
        }
      } else if (!old.empty() && (!e.aside.empty() || !e.linked)) {
        fs_.RenameFile(old, e.target, false);
      }
      // Spare names of the old file; one it could not be put back from stays for the next run.
      if (fs_.HasAttributes(e.target)) {
        for (const std::string* name : {&e.backup, &e.aside}) {
          if (!name->empty() && fs_.HasAttributes(*name)) RemoveWorkingFile(fs_, *name);
        }
      }
      e.placed = false;
    }
    Discard();
    return false;
  }

  FileSystem& fs_;
  std::vector<Entry> entries_;
};

}  // namespace

bool IsWorkingFileName(std::string_view name) {
  if (name.size() < 3 + kMinRandomLetters || name[0] != '~') return false;
  if (name[1] != kStagedTag && name[1] != kBackupTag) return false;
  return std::all_of(name.begin() + 2, name.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
}

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
  ResolveLeftovers(services.files, targets);
  Staging staging(services.files);
  auto fail = [&services, &staging] {
    staging.Discard();  // before the message, which waits for the user
    services.errors.ShowError(kInstallErrorText);
    return false;
  };

  for (std::size_t index = 0; index < targets.size(); ++index) {
    std::span<const std::uint8_t> body;
    // A missing payload, a length beyond its end, a missing terminator, or a terminator before
    // the last entry: the payload is damaged, which the user learns like a failed expansion.
    if (reader.Next(body) != PayloadReader::Result::Record) return fail();
    if (buffer == nullptr) return fail();
    const long n =
        SzddExpand(SzddImageOf(body), std::span<std::uint8_t>(buffer.get(), kBufferSize));
    if (n <= 0 || static_cast<std::size_t>(n) > kExpansionBufferSize) return fail();

    const std::span<const std::uint8_t> expanded(buffer.get(), static_cast<std::size_t>(n));
    if (!staging.Stage(index, targets[index], expanded, stamp)) return false;
  }
  return staging.Commit();
}

}  // namespace corvane
