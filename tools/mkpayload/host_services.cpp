#include "host_services.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <random>
#include <system_error>

#include "payload/szdd.h"

namespace mkpayload {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

bool ReadWholeFile(const std::string& path, Bytes& out, std::string& error) {
  std::error_code ec;
  const fs::path p = PathOf(path);
  if (fs::is_directory(p, ec)) {
    error = "is a folder";
    return false;
  }
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    error = fs::exists(p, ec) ? "cannot be opened" : "does not exist";
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0) {
    error = "cannot be read";
    return false;
  }
  out.resize(static_cast<std::size_t>(size));
  if (size > 0 &&
      !in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size))) {
    error = "cannot be read";
    return false;
  }
  return true;
}

bool WriteBytes(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  if (!out) {
    error = "cannot be created";
    return false;
  }
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    error = "cannot be written";
    return false;
  }
  return true;
}

std::size_t ExpansionBound(std::size_t lzBytes) {
  return lzBytes / 17 * 8 * corvane::kLzMaxMatch + 8 * corvane::kLzMaxMatch;
}

namespace {

class HostOutputFile : public corvane::OutputFile {
 public:
  HostOutputFile(fs::path path, std::fstream stream)
      : path_(std::move(path)), stream_(std::move(stream)) {}

  bool Write(std::span<const std::uint8_t> bytes) override {
    stream_.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    stream_.flush();
    return static_cast<bool>(stream_);
  }

  bool SetLastWriteTime(std::uint64_t fileTime) override {
    // 100 ns ticks since 1601 to the file clock; everything is flushed first, so closing
    // the stream later does not move the time again.
    stream_.flush();
    constexpr std::int64_t kTicks1601To1970 = 116'444'736'000'000'000;
    const std::chrono::sys_time<std::chrono::nanoseconds> unixTime{
        std::chrono::nanoseconds((static_cast<std::int64_t>(fileTime) - kTicks1601To1970) * 100)};
    std::error_code ec;
    fs::last_write_time(path_, std::chrono::file_clock::from_sys(unixTime), ec);
    return !ec;
  }

 private:
  fs::path path_;
  std::fstream stream_;
};

}  // namespace

std::unique_ptr<corvane::OutputFile> HostFileSystem::OpenForWriting(const std::string& path,
                                                                    corvane::ShareMode,
                                                                    corvane::OpenMode mode) {
  const fs::path p = PathOf(path);
  std::error_code ec;
  if (fs::is_directory(p, ec)) return nullptr;
  const bool exists = fs::exists(p, ec);
  const bool createNew =
      mode == corvane::OpenMode::CreateNew || mode == corvane::OpenMode::CreateNewGone;
  if ((createNew && exists) || (mode == corvane::OpenMode::OpenExisting && !exists)) return nullptr;
  std::fstream stream;
  if (mode == corvane::OpenMode::OpenExisting) {
    stream.open(p, std::ios::binary | std::ios::in | std::ios::out);
  } else {
    stream.open(p, std::ios::binary | std::ios::out | std::ios::trunc);
  }
  if (!stream.is_open()) return nullptr;
  return std::make_unique<HostOutputFile>(p, std::move(stream));
}

bool HostFileSystem::RemoveFile(const std::string& path) {
  std::error_code ec;
  return fs::remove(PathOf(path), ec);
}

// Share modes are Windows' own: here nothing can keep a file from being replaced.
std::unique_ptr<corvane::HeldFile> HostFileSystem::HoldForReplacing(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(PathOf(path), ec)) return nullptr;
  return std::make_unique<corvane::HeldFile>();
}

bool HostFileSystem::ReadSmallFile(const std::string& path, std::string& contents) {
  constexpr std::size_t kLimit = 64 * 1024;
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) return false;
  contents.assign(kLimit + 1, '\0');
  in.read(contents.data(), static_cast<std::streamsize>(contents.size()));
  const auto n = static_cast<std::size_t>(in.gcount());
  if (n > kLimit) return false;
  contents.resize(n);
  return true;
}

bool HostFileSystem::RenameFile(const std::string& from, const std::string& to, bool replace) {
  std::error_code ec;
  const fs::path target = PathOf(to);
  if (!replace && fs::exists(target, ec)) return false;
  fs::rename(PathOf(from), target, ec);
  return !ec;
}

bool HostFileSystem::LinkFile(const std::string& existing, const std::string& link) {
  std::error_code ec;
  fs::create_hard_link(PathOf(existing), PathOf(link), ec);
  return !ec;
}

// There is no restart to wait for on a desktop the tool runs on.
bool HostFileSystem::RemoveAtRestart(const std::string&) { return false; }

std::uint64_t HostFileSystem::RandomNumber() {
  std::random_device device;
  return (std::uint64_t{device()} << 32) ^ device();
}

bool HostFileSystem::HasAttributes(const std::string& path) {
  std::error_code ec;
  return fs::exists(PathOf(path), ec);
}

corvane::DriveType HostFileSystem::DriveTypeOf(const std::string&) {
  return corvane::DriveType::Fixed;
}

corvane::CreateDirResult HostFileSystem::MakeDirectory(const std::string& path) {
  std::error_code ec;
  const fs::path p = PathOf(path);
  if (fs::create_directory(p, ec)) return corvane::CreateDirResult::Created;
  if (fs::is_directory(p)) return corvane::CreateDirResult::AlreadyExists;
  if (!fs::exists(p.parent_path())) return corvane::CreateDirResult::PathNotFound;
  return corvane::CreateDirResult::OtherError;
}

}  // namespace mkpayload
