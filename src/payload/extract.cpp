#include "payload/extract.h"

#include <algorithm>
#include <new>

#include "payload/container.h"
#include "payload/paths.h"
#include "payload/sha256.h"
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

int Base36(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return -1;
}

// Random letters in a working name of the target: as many as keep it as long as the target's
// own name.
std::size_t RandomLettersFor(const std::string& target) {
  const std::size_t nameLength = Utf16Length(LastName(target));
  return nameLength > kMinRandomLetters + 3 ? nameLength - 3 : kMinRandomLetters;
}

std::string WorkingName(FileSystem& fs, const std::string& target, std::size_t index, char tag) {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  return Parent(target) + '~' + tag + kDigits[index % 36] +
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
  if (!SameText(Parent(target), folder) || name.size() != 3 + RandomLettersFor(target)) {
    return -1;
  }
  return index;
}

// The working list of an install: every staged and backup name it made, written down before
// the name is made and dropped once it is gone, so that a run that was cut off leaves only
// names the next run can prove are the setup's own.
class WorkingList {
 public:
  WorkingList(FileSystem& fs, const std::vector<std::string>& targets)
      : fs_(fs), path_(targets.empty() ? std::string() : Parent(targets[0]) +
                                                             std::string(kWorkingListName)) {}

  // The names a previous run left in the list.
  std::vector<std::string> Read() {
    std::vector<std::string> names;
    std::string text;
    if (path_.empty() || !fs_.ReadSmallFile(path_, text)) return names;
    onDisk_ = true;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      if (end > start) names.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    return names;
  }

  bool Add(const std::string& name) {
    names_.push_back(name);
    return Save();
  }
  void Drop(const std::string& name) {
    names_.erase(std::remove(names_.begin(), names_.end(), name), names_.end());
    Save();
  }
  // Keeps only the names that are still there; the list itself goes with the last one.
  void Prune() {
    names_.erase(std::remove_if(names_.begin(), names_.end(),
                                [this](const std::string& n) { return !fs_.HasAttributes(n); }),
                 names_.end());
    Save();
  }

 private:
  bool Save() {
    if (path_.empty()) return false;
    if (names_.empty()) {
      if (onDisk_) fs_.RemoveFile(path_);
      onDisk_ = false;
      return true;
    }
    std::string text;
    for (const std::string& n : names_) text += n + '\n';
    onDisk_ = true;
    return WriteWholeFile(fs_, path_,
                          std::span<const std::uint8_t>(
                              reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }

  FileSystem& fs_;
  std::string path_;
  std::vector<std::string> names_;
  bool onDisk_ = false;
};

// What an installation that was cut off left beside the targets, as its working list names
// it; names that are not working names of this list's targets are ignored. Where a target is
// missing its old file is put back (that happens only on volumes without hard links, where the
// old file leaves the target's name for a moment); then every staged and backup file goes.
// Those that cannot go yet stay in `list`.
void ResolveLeftovers(FileSystem& fs, const std::vector<std::string>& targets,
                      WorkingList& list) {
  std::vector<std::string> ours;
  for (const std::string& path : list.Read()) {
    const std::string folder = Parent(path);
    if (WorkingNameOwner(targets, folder, path.substr(folder.size())) >= 0) ours.push_back(path);
  }
  for (const std::string& path : ours) {
    const std::string folder = Parent(path);
    const int index = WorkingNameOwner(targets, folder, path.substr(folder.size()));
    const std::string& target = targets[static_cast<std::size_t>(index)];
    if (path[folder.size() + 1] == kBackupTag && !fs.HasAttributes(target)) {
      fs.RenameFile(path, target, false);
    }
  }
  for (const std::string& path : ours) {
    if (!fs.HasAttributes(path)) continue;
    list.Add(path);  // until it is gone
    RemoveWorkingFile(fs, path);
  }
  list.Prune();
}

// The files of one installation on their way in. Each is written complete beside its target
// under a fresh name; only when all are there are the targets replaced, each in one step, the
// old file kept under a second name until the last one is in place. Whatever goes wrong, the
// targets end as they were and nothing staged is left; a kill at any moment leaves every
// target with its old file or its new one.
class Staging {
 public:
  Staging(FileSystem& fs, WorkingList& list, std::vector<std::string>* atRestart)
      : fs_(fs), list_(list), atRestart_(atRestart) {}
  ~Staging() { Discard(); }
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  bool Stage(std::size_t index, const std::string& target, std::span<const std::uint8_t> bytes,
             const Timestamp& stamp) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      const std::string staged = WorkingName(fs_, target, index, kStagedTag);
      if (!list_.Add(staged)) return false;
      auto file = fs_.OpenForWriting(staged, ShareMode::None, OpenMode::CreateNew);
      if (file == nullptr) {
        list_.Drop(staged);                       // not made here: never to be touched
        if (fs_.HasAttributes(staged)) continue;  // the name is taken (by anyone): another one
        return false;
      }
      const bool written = file->Write(bytes) && file->SetLastWriteTime(ToFileTime(stamp));
      file.reset();
      if (!written) {
        fs_.RemoveFile(staged);  // a part of it may have been written
        list_.Prune();
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
      if (Place(e)) continue;
      // Held by another program: replaced at the next restart, where that was asked for, once
      // every other target is in place.
      if (!e.held || atRestart_ == nullptr) return RollBack();
    }
    for (Entry& e : entries_) {
      if (e.placed) continue;
      if (!fs_.ReplaceAtRestart(e.staged, e.target)) return RollBack();
      e.placed = e.atRestart = true;
    }
    for (Entry& e : entries_) {
      if (e.atRestart) atRestart_->push_back(e.target);
      for (const std::string* old : {&e.backup, &e.aside}) {
        if (!old->empty()) RemoveWorkingFile(fs_, *old);
      }
    }
    entries_.clear();
    list_.Prune();
    return true;
  }

  // Removes every staged file; the targets are not touched.
  void Discard() {
    for (const Entry& e : entries_) {
      if (!e.placed) fs_.RemoveFile(e.staged);
    }
    entries_.clear();
    list_.Prune();
  }

 private:
  struct Entry {
    std::string target;
    std::string staged;
    std::size_t index = 0;
    std::string backup;   // a second name of the old file, while the targets are replaced
    bool linked = false;  // the backup is a hard link: the target kept its old file meanwhile
    std::string aside;    // where a target in use was renamed to, beside the backup link
    bool placed = false;  // the new file has the target's name, or takes it at the restart
    bool held = false;    // another program holds the target open without delete sharing
    bool atRestart = false;  // the staged file replaces the target when the system starts
  };

  // A fresh working name for the old file of `e`, in the working list before it is made.
  std::string OldFileName(const Entry& e) {
    std::string name = FreshWorkingName(fs_, e.target, e.index, kBackupTag);
    if (!name.empty() && !list_.Add(name)) name.clear();
    return name;
  }

  bool Place(Entry& e) {
    if (fs_.HasAttributes(e.target)) {
      // A target that another program holds open without delete sharing cannot be replaced:
      // found out before anything is added beside it. Held until the replacement, so that
      // nobody can open it that way in between; let go just before it, since the replacement
      // fails while any handle to the old file is open.
      std::unique_ptr<HeldFile> hold = fs_.HoldForReplacing(e.target);
      if (hold == nullptr) return !(e.held = true);
      e.backup = OldFileName(e);
      if (e.backup.empty()) return false;
      e.linked = fs_.LinkFile(e.target, e.backup);
      hold.reset();
      if (e.linked) {
        if (fs_.RenameFile(e.staged, e.target, true)) return e.placed = true;
        // Windows renames a running program's file but does not replace it: move it aside.
        e.aside = OldFileName(e);
        if (e.aside.empty() || !fs_.RenameFile(e.target, e.aside, false)) {
          if (!e.aside.empty()) list_.Drop(e.aside);
          e.aside.clear();
          return false;
        }
      } else if (!fs_.RenameFile(e.target, e.backup, false)) {
        // No hard links on this volume: the old file leaves the target's name for a moment.
        list_.Drop(e.backup);
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
      if (e.atRestart) {
        // Its staged file goes with the others, so the replacement finds nothing to do.
        e.placed = e.atRestart = false;
        continue;
      }
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
  WorkingList& list_;
  std::vector<std::string>* atRestart_;
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
  const std::span<const std::uint8_t> payload = services.resources.RcData(payloadId);
  PayloadReader reader(payload);
  WorkingList list(services.files, targets);
  ResolveLeftovers(services.files, targets, list);
  Staging staging(services.files, list, services.replacedAtRestart);
  auto fail = [&services, &staging] {
    staging.Discard();  // before the message, which waits for the user
    services.errors.ShowError(kInstallErrorText);
    return false;
  };
  // True when `bytes` have the digest `packed`; otherwise the log names both.
  auto matches = [&services](std::span<const std::uint8_t> bytes,
                             std::span<const std::uint8_t> packed, std::string_view what) {
    const Sha256Digest actual = Sha256Of(bytes);
    if (std::equal(actual.begin(), actual.end(), packed.begin())) return true;
    if (services.log != nullptr) {
      services.log->Line({"payload damaged: ", what, " SHA-256 ", DigestHex(actual),
                          ", packed as ", DigestHex(packed)});
    }
    return false;
  };
  if (targets.empty()) return true;

  // The payload as a whole first: one changed byte anywhere in it fails here, before a record
  // is expanded.
  const PayloadDigests digests = ReadDigests(payload);
  const bool verified = digests.status == PayloadDigests::Status::Present;
  std::string_view problem = digests.problem;
  if (verified && digests.records != targets.size())
    problem = "its digests are for another number of files than the install list";
  if (!problem.empty()) {
    if (services.log != nullptr) services.log->Line({"payload damaged: ", problem});
    return fail();
  }
  if (verified && !matches(digests.container, digests.containerDigest, "the records have"))
    return fail();
  if (!verified && services.log != nullptr)
    services.log->Line("payload not verified (no digests)");

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
    const std::string& target = targets[index];
    if (verified && !matches(expanded, digests.RecordDigest(index),
                             LastName(target) + " expands to"))
      return fail();
    if (!staging.Stage(index, target, expanded, stamp)) return false;
  }
  if (verified && services.log != nullptr) services.log->Line("payload verified (SHA-256)");
  return staging.Commit();
}

}  // namespace corvane
