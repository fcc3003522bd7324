// The /LOG file on a real file system: UTF-8 lines ending in CR LF, an older plain file emptied
// first, and a file that has a second name left alone, since emptying it would empty the other.
#include "system/win32/log_file.h"

#include <gtest/gtest.h>

#include <string>

#include "system/win32/wide.h"
#include "win32/payload/scratch_folder.h"

namespace corvane {
namespace {

std::string Contents(const std::string& path) {
  const auto bytes = testing::ReadAll(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(LogFileTest, WritesLinesInPlaceOfAnOlderLog) {
  testing::ScratchFolder folder("log");
  const std::string path = folder.Path() + "setup.log";
  ASSERT_TRUE(testing::WriteAll(path, std::vector<std::uint8_t>(100, 'x')));
  {
    Win32LogFile log(path);
    log.Line({"start C:\\Caf\xC3\xA9", "\r\nkvx.exe"});
    log.Line("result: installed");
  }
  EXPECT_EQ(Contents(path), "start C:\\Caf\xC3\xA9 kvx.exe\r\nresult: installed\r\n");
}

TEST(LogFileTest, LeavesAFileWithASecondNameAsItWas) {
  testing::ScratchFolder folder("log");
  const std::string other = folder.Path() + "other.txt";
  const std::string path = folder.Path() + "setup.log";
  ASSERT_TRUE(testing::WriteAll(other, {'k', 'e', 'e', 'p'}));
  ASSERT_TRUE(CreateHardLinkW(ToWide(path).c_str(), ToWide(other).c_str(), nullptr));
  Win32LogFile(path).Line("written");
  EXPECT_EQ(Contents(other), "keep");
}

}  // namespace
}  // namespace corvane
