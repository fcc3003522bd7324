#include "payload/paths.h"

#include <string_view>

#include "system/text.h"

namespace corvane {
namespace {

// FolderExists refuses paths this long; CreateFolderTree and IsValidPath refuse the next limit.
constexpr std::size_t kFolderExistsLimit = 252;
constexpr std::size_t kMaxPathUnits = 260;

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string TrimWhiteSpace(const std::string& s) {
  std::size_t begin = 0;
  std::size_t end = s.size();
  while (begin < end && IsWhiteSpace(s[begin])) ++begin;
  while (end > begin && IsWhiteSpace(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

bool EndsWithBackslash(const std::string& s) { return !s.empty() && s.back() == '\\'; }

// Removable, fixed and remote drives take folders; a CD-ROM counts as existing only.
bool IsWritableDriveType(DriveType type) {
  return type == DriveType::Removable || type == DriveType::Fixed || type == DriveType::Remote;
}

}  // namespace

bool IsValidName(const std::string& component) {
  if (component.empty()) return false;
  for (char ch : component) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 32) return false;
    switch (c) {
      case '\\':
      case '/':
      case ':':
      case '*':
      case '?':
      case '"':
      case '<':
      case '>':
      case '|':
        return false;
      default:
        break;
    }
  }
  return true;
}

bool IsAbsolutePath(const std::string& path) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
    const char d = path[0];
    return (d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z');
  }
  if (path.rfind("\\\\", 0) != 0) return false;
  // \\server\share: both named; "." and "?" introduce device paths, not servers.
  const std::size_t serverEnd = path.find('\\', 2);
  if (serverEnd == std::string::npos || serverEnd == 2) return false;
  const std::string server = path.substr(2, serverEnd - 2);
  if (server == "." || server == "?") return false;
  const std::size_t shareEnd = path.find('\\', serverEnd + 1);
  return (shareEnd == std::string::npos ? path.size() : shareEnd) > serverEnd + 1;
}

bool IsValidPath(const std::string& path) {
  const std::size_t units = Utf16Length(path);
  if (units == 0 || units >= kMaxPathUnits) return false;
  if (EndsWithBackslash(path)) return false;

  // Skip a drive prefix ("C:" alone or "C:\"); everything else is checked whole, so rooted and
  // UNC paths fail on their empty first component.
  std::string_view rest = path;
  if (path.size() == 2 && path[1] == ':') {
    rest = {};
  } else if (path.size() > 2 && path[1] == ':' && path[2] == '\\') {
    rest.remove_prefix(3);
  }
  while (!rest.empty()) {
    const std::size_t cut = rest.find('\\');
    const std::string_view component = rest.substr(0, cut);
    if (!IsValidName(std::string(component))) return false;
    if (cut == std::string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  return true;
}

bool PathExists(FileSystem& fs, const std::string& path) { return fs.HasAttributes(path); }

bool FolderExists(FileSystem& fs, std::string path) {
  path = TrimWhiteSpace(path);
  if (Utf16Length(path) >= kFolderExistsLimit) return false;
  path = StripTrailingBackslash(std::move(path));
  if (path.empty()) return false;
  if (path.back() == ':') {
    const DriveType type = fs.DriveTypeOf(path + "\\");
    return IsWritableDriveType(type) || type == DriveType::CdRom;
  }
  return PathExists(fs, path);
}

int CreateFolderTree(FileSystem& fs, std::string path) {
  path = StripTrailingBackslash(TrimWhiteSpace(path));
  if (Utf16Length(path) >= kMaxPathUnits) return kFolderPathTooLong;
  if (!IsValidPath(path)) return kFolderBadPathname;

  switch (fs.MakeDirectory(path)) {
    case CreateDirResult::Created:
    case CreateDirResult::AlreadyExists:
      return kFolderOk;
    case CreateDirResult::PathNotFound:
      break;
    case CreateDirResult::OtherError:
      return kFolderAccessDenied;
  }

  // A parent is missing: create it first (each level recurses on a strictly shorter path, so the
  // depth is bounded by the number of components), then retry this level once.
  const std::size_t cut = path.rfind('\\');
  const std::string parent = cut == std::string::npos ? std::string() : path.substr(0, cut);
  const int parentStatus = CreateFolderTree(fs, parent);
  if (parentStatus != kFolderOk) return parentStatus;

  switch (fs.MakeDirectory(path)) {
    case CreateDirResult::Created:
    case CreateDirResult::AlreadyExists:
      return kFolderOk;
    case CreateDirResult::PathNotFound:
      // The parent "exists" yet the system still cannot find it: it is a file (creating it
      // reported already-exists). Retrying again would never end.
    case CreateDirResult::OtherError:
      break;
  }
  return kFolderAccessDenied;
}

bool EnsureFolder(FileSystem& fs, std::string path) {
  path = StripTrailingBackslash(std::move(path));
  if (FolderExists(fs, path)) return true;
  const std::size_t units = Utf16Length(path);
  if (units < 2) return false;
  if (units == 2) return IsWritableDriveType(fs.DriveTypeOf(path + "\\"));
  if (PathExists(fs, path)) return true;
  return CreateFolderTree(fs, path) == kFolderOk;
}

std::string RandomName(FileSystem& fs, std::size_t length) {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name;
  std::uint64_t random = 0;
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < length; ++i) {
    // 36^6 < 2^32: six letters from each half of a random number, in 32-bit arithmetic (the
    // 32-bit program would otherwise carry the runtime's 64-bit division for this alone).
    if (i % 12 == 0) random = fs.RandomNumber();
    if (i % 6 == 0) {
      bits = static_cast<std::uint32_t>(random);
      random >>= 32;
    }
    name += kAlphabet[bits % 36];
    bits /= 36;
  }
  return name;
}

}  // namespace corvane
