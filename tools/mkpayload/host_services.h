// The file services of the tool on an ordinary desktop, through the standard library.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

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
  std::unique_ptr<corvane::HeldFile> HoldForReplacing(const std::string& path) override;
  bool ReadSmallFile(const std::string& path, std::string& contents) override;
  bool RenameFile(const std::string& from, const std::string& to, bool replace) override;
  bool LinkFile(const std::string& existing, const std::string& link) override;
  bool RemoveAtRestart(const std::string& path) override;
  std::uint64_t RandomNumber() override;
  bool HasAttributes(const std::string& path) override;
  corvane::DriveType DriveTypeOf(const std::string& rootPath) override;
  corvane::CreateDirResult MakeDirectory(const std::string& path) override;
};

}  // namespace mkpayload
