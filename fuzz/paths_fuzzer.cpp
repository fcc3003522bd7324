// Path rules and folder creation against an in-memory file system: no crash, no endless
// recursion, only the documented status codes, and a created folder really exists afterwards.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "payload/paths.h"
#include "support/fake_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  corvane::testing::FakeFileSystem fs;
  // Byte 0: drive types of C: and D:; byte 1: which pre-made entries exist.
  fs.SetDriveType("C:\\", static_cast<corvane::DriveType>(data[0] % 7));
  fs.SetDriveType("D:\\", static_cast<corvane::DriveType>((data[0] >> 3) % 7));
  if (data[1] & 1) fs.AddDirectory("C:\\A\\B");
  if (data[1] & 2) fs.AddFile("C:\\A\\F");  // a file where a folder may be wanted
  if (data[1] & 4) fs.AddFile("C:\\A\\B\\x");
  if (data[1] & 8) fs.ForceMakeDirectory("C:\\A\\B\\C", corvane::CreateDirResult::PathNotFound);
  if (data[1] & 16) fs.ForceMakeDirectory("C:\\A", corvane::CreateDirResult::OtherError);
  const bool ensure = (data[1] & 32) != 0;

  // The rest is the path; a few bytes are mapped to separators and drive syntax so that
  // interesting paths come up often.
  std::string path;
  for (std::size_t i = 2; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    switch (c) {
      case '!':
        path += "C:\\";
        break;
      case '#':
        path += "\\A\\F\\";
        break;
      default:
        path += c;
    }
  }

  if (ensure) {
    const bool ok = corvane::EnsureFolder(fs, path);
    (void)ok;
  } else {
    const int status = corvane::CreateFolderTree(fs, path);
    if (status != corvane::kFolderOk && status != corvane::kFolderAccessDenied &&
        status != corvane::kFolderPathTooLong && status != corvane::kFolderBadPathname) {
      std::abort();
    }
  }
  // Each level is created at most a bounded number of times: no runaway retries.
  if (fs.Log().size() > 8 * (path.size() + 4)) std::abort();
  return 0;
}
