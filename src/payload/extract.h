// The embedded payload: its records expanded in memory and installed to the install file list
// with a fixed last-write time. Every file is first staged beside its target; the targets are
// replaced only once all of them are staged, so a failure leaves the old files as they were.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "payload/file_system.h"
#include "resources/resource_ids.h"
#include "system/log.h"

namespace corvane {

// Largest file the extraction expands; a larger one is an expansion failure.
inline constexpr std::size_t kExpansionBufferSize = 20'000'000;
inline constexpr int kPayloadResourceId = IDR_PAYLOAD;
inline constexpr std::string_view kInstallErrorText = "Error in installation";

// Calendar fields of a local time. Stored as a file time as if they were UTC.
struct Timestamp {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// 100 ns ticks since 1601-01-01 of the fields read as UTC (what SystemTimeToFileTime gives).
std::uint64_t ToFileTime(const Timestamp& t);

// Files beside a target while it is replaced: "~" and a tag (the new file while it is written,
// or the old one until the install is done), the target's position in the list as a base-36
// digit, and random letters, as long as the target's own name (at least 7 characters) so that
// no path the install writes is longer than its target's.
inline constexpr char kStagedTag = 'n';
inline constexpr char kBackupTag = 'o';
// True when `name` (without folder) has the form of a staged or backup file.
bool IsWorkingFileName(std::string_view name);
// The list of the staged and backup files an install has made and not yet removed, one full
// path a line, kept in the first target's folder (the install folder, where only
// administrators can write) while any of them is left. Leftovers are resolved by this list
// only: a name someone else put beside a target is never touched.
inline constexpr std::string_view kWorkingListName = "~working.lst";

// The program's own resources (RCDATA); an empty span when the resource is missing.
class ResourceSource {
 public:
  virtual ~ResourceSource() = default;
  virtual std::span<const std::uint8_t> RcData(int id) = 0;
};

// Shows an application message box with an OK button and waits for it.
class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  virtual void ShowError(std::string_view text) = 0;
};

struct ExtractServices {
  FileSystem& files;
  ResourceSource& resources;
  ErrorReporter& errors;
  SetupLog* log = nullptr;  // /LOG: how the payload's digests compared
  // Where set, a target that another program holds open without delete sharing does not fail
  // the install: its new file stays staged beside it and replaces it when the system next
  // starts, and the target is added here.
  std::vector<std::string>* replacedAtRestart = nullptr;
};

// File-output primitives.
bool WriteWholeFile(FileSystem& fs, const std::string& path, std::span<const std::uint8_t> bytes);
std::unique_ptr<OutputFile> CreateFileForWriting(FileSystem& fs, const std::string& path);
bool WriteFileStamped(FileSystem& fs, const std::string& path, std::span<const std::uint8_t> bytes,
                      const Timestamp& stamp);

// True when every list entry was installed. First the leftovers of an installation that was
// cut off, as its working list names them, are resolved: a target that is missing gets its
// old file back, and every staged and backup file is deleted (or, when that fails, deleted at
// the next restart). Then each target is replaced in one step, so that its name always holds
// the old file or the new one; a target that another program holds open without delete
// sharing fails the install before anything is added beside it. On failure nothing of the list
// has changed and nothing staged is left. A damaged
// payload (no record for an entry or no terminator included) and a record that does not expand
// show the message first; a file that cannot be staged or put in place fails without one.
// A payload with digests installs only what was packed: its container must match its digest
// before the first record is read, and each record, once expanded, its own digest before it is
// staged; a mismatch, a digest block that is malformed or that counts other than the list's
// entries are a damaged payload, and the log says which digest differed. A payload without
// digests installs as it expands, and the log says it was not verified.
bool ExtractPayload(ExtractServices& services, const std::vector<std::string>& targets,
                    const Timestamp& stamp, int payloadId);

}  // namespace corvane
