// One table of folder look-ups and creations, run against the host's FakeFileSystem
// (tests/host/payload/paths_test.cpp) and against the file system of a fresh prefix
// (tests/win32/payload/folders_test.cpp): what the double answers is what the system answers.
// Both start from a folder C:\fold holding a file `blocker`, on a fixed drive C: and no Q:.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/paths.h"

namespace corvane::testing {

struct FolderStep {
  enum Kind { kEnsure, kCreate, kFolderExists, kPathExists };
  Kind kind;
  std::string path;
  int expected;  // the bool of kEnsure and the look-ups, the status of kCreate
};

// "C:\fold\" followed by 'x's up to the given number of UTF-16 units.
inline std::string FoldPathOfUnits(std::size_t units) {
  return "C:\\fold\\" + std::string(units - 8, 'x');
}

inline const std::vector<FolderStep> kFolderSteps = {
    // Nested folders are made from the outermost in; made again, they are found.
    {FolderStep::kEnsure, "C:\\fold\\A\\B\\C\\", true},
    {FolderStep::kFolderExists, "C:\\fold\\A\\B\\C", true},
    {FolderStep::kEnsure, "C:\\fold\\A\\B\\C\\", true},
    {FolderStep::kCreate, "C:\\fold\\A\\B\\C", kFolderOk},
    // "C:\fold\Données\中文\😀"
    {FolderStep::kEnsure, "C:\\fold\\Donn\xC3\xA9" "es\\\xE4\xB8\xAD\xE6\x96\x87\\\xF0\x9F\x98\x80\\",
     true},
    {FolderStep::kFolderExists, "C:\\fold\\Donn\xC3\xA9" "es\\", true},
    // Drive roots.
    {FolderStep::kEnsure, "C:\\", true},
    {FolderStep::kEnsure, "C:", true},
    {FolderStep::kFolderExists, "C:", true},
    // 252 to 259 units: FolderExists does not find it, CreateFolderTree still creates it.
    {FolderStep::kEnsure, FoldPathOfUnits(255) + "\\", true},
    {FolderStep::kFolderExists, FoldPathOfUnits(255), false},
    {FolderStep::kPathExists, FoldPathOfUnits(255), true},
    {FolderStep::kCreate, FoldPathOfUnits(260), kFolderPathTooLong},
    {FolderStep::kEnsure, FoldPathOfUnits(260), false},
    {FolderStep::kPathExists, FoldPathOfUnits(260), false},
    // Names the system refuses, and UNC paths.
    {FolderStep::kCreate, "C:\\fold\\a<b", kFolderBadPathname},
    {FolderStep::kEnsure, "C:\\fold\\a|b\\", false},
    {FolderStep::kEnsure, "C:\\fold\\a*", false},
    {FolderStep::kEnsure, "\\\\nosuchserver\\share\\new\\", false},
    // A parent that is a file ends the creation; the file itself passes, as neither existence
    // test tells files from folders.
    {FolderStep::kCreate, "C:\\fold\\blocker\\sub\\leaf", kFolderAccessDenied},
    {FolderStep::kEnsure, "C:\\fold\\blocker\\sub\\", false},
    {FolderStep::kEnsure, "C:\\fold\\blocker\\", true},
    // Surrounding white space is trimmed for the creation.
    {FolderStep::kEnsure, "  C:\\fold\\Trimmed\\  ", true},
    {FolderStep::kFolderExists, "C:\\fold\\Trimmed", true},
    // A drive letter with nothing behind it.
    {FolderStep::kFolderExists, "Q:", false},
    {FolderStep::kEnsure, "Q:", false},
    {FolderStep::kEnsure, "Q:\\", false},
    {FolderStep::kEnsure, "Q:\\x\\y\\", false},
    // Creating the missing root fails with an error other than path-not-found (seen under Wine).
    {FolderStep::kCreate, "Q:\\x\\y", kFolderAccessDenied},
};

inline void RunFolderSteps(FileSystem& fs) {
  for (const FolderStep& step : kFolderSteps) {
    SCOPED_TRACE(step.path);
    switch (step.kind) {
      case FolderStep::kEnsure:
        EXPECT_EQ(EnsureFolder(fs, step.path), step.expected != 0);
        break;
      case FolderStep::kCreate:
        EXPECT_EQ(CreateFolderTree(fs, step.path), step.expected);
        break;
      case FolderStep::kFolderExists:
        EXPECT_EQ(FolderExists(fs, step.path), step.expected != 0);
        break;
      case FolderStep::kPathExists:
        EXPECT_EQ(PathExists(fs, step.path), step.expected != 0);
        break;
    }
  }
}

}  // namespace corvane::testing
