// The embedded payload: its records turned back into SZDD files, expanded through a
// temporary file and written to the install file list with a fixed last-write time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "payload/file_system.h"

namespace corvane {

// Largest file the extraction expands; a larger one is an expansion failure.
inline constexpr std::size_t kExpansionBufferSize = 20'000'000;
inline constexpr int kPayloadResourceId = 129;
inline constexpr std::string_view kInstallErrorText = "Error in installation";

// Calendar fields of a local time. Stored as a file time as if they were UTC.
struct Timestamp {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// 100 ns ticks since 1601-01-01 of the fields read as UTC (what SystemTimeToFileTime gives).
std::uint64_t ToFileTime(const Timestamp& t);

// Expands one SZDD file on disk into `out`; returns the number of bytes delivered,
// 0 or less on failure (including a failed open). On Windows this is LZ32.
class LzExpander {
 public:
  virtual ~LzExpander() = default;
  virtual long Expand(const std::string& szddPath, std::span<std::uint8_t> out) = 0;
};

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
  LzExpander& lz;
  ResourceSource& resources;
  ErrorReporter& errors;
};

// File-output primitives.
bool WriteWholeFile(FileSystem& fs, const std::string& path, std::span<const std::uint8_t> bytes);
std::unique_ptr<OutputFile> CreateFileForWriting(FileSystem& fs, const std::string& path);
bool WriteFileStamped(FileSystem& fs, const std::string& path, std::span<const std::uint8_t> bytes,
                      const Timestamp& stamp);

// True when every list entry was written or the terminator came first; false at the first
// failure (a message was shown for temp-file and expansion failures, not for target failures).
bool ExtractPayload(ExtractServices& services, const std::vector<std::string>& targets,
                    const std::string& tempPath, const Timestamp& stamp, int payloadId);

}  // namespace corvane
