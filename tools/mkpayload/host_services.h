// The extraction's services on an ordinary desktop: files through the standard library,
// the payload from a file instead of a resource, messages on stderr.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "payload/extract.h"
#include "payload/file_system.h"

namespace mkpayload {

using Bytes = std::vector<std::uint8_t>;

// Paths are UTF-8 inside the tool.
std::filesystem::path PathOf(const std::string& utf8);

// Whole-file helpers; on failure `error` says why.
bool ReadWholeFile(const std::string& path, Bytes& out, std::string& error);
bool WriteBytes(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error);

// Enough room for any expansion of `lzBytes` bytes of mode 'A' data: at best 17 bits of
// input give 18 bytes of output.
std::size_t ExpansionBound(std::size_t lzBytes);

class HostFileSystem : public corvane::FileSystem {
 public:
  std::unique_ptr<corvane::OutputFile> OpenForWriting(const std::string& path,
                                                      corvane::ShareMode share,
                                                      corvane::OpenMode mode) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to, bool replace) override;
  bool HasAttributes(const std::string& path) override;
  corvane::DriveType DriveTypeOf(const std::string& rootPath) override;
  corvane::CreateDirResult MakeDirectory(const std::string& path) override;
};

// Serves one payload file as the payload resource.
class FileResourceSource : public corvane::ResourceSource {
 public:
  explicit FileResourceSource(Bytes payload) : payload_(std::move(payload)) {}
  std::span<const std::uint8_t> RcData(int id) override;

 private:
  Bytes payload_;
};

class StderrReporter : public corvane::ErrorReporter {
 public:
  void ShowError(std::string_view text) override;
};

}  // namespace mkpayload
