// The protected access list on real folders, read back with the system's own descriptor-to-text
// conversion.
#include "payload/win32/win32_folder_security.h"

#include <windows.h>

#include <aclapi.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

#include "payload/secure_folders.h"
#include "system/win32/wide.h"
#include "win32/payload/scratch_folder.h"

namespace corvane {
namespace {

using ::testing::AnyOf;
using ::testing::Eq;
using ::testing::HasSubstr;

// Windows keeps the owner and access list as they were set. Wine 8 keeps neither: it reports
// its user as the owner and builds the list from the Unix mode, the others' bits as Everyone
// (checked with Wine 8.0 on ext4). What it shows for the protected list is the owner's and the
// system's full control, and for Everyone no entry (a folder created so) or read and execute
// (a folder taken over).
constexpr const char* kProtectedSddl =
    "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr const char* kWineCreated =
    "O:S-1-5-21-0-0-0-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)";
constexpr const char* kWineTakenOver =
    "O:S-1-5-21-0-0-0-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)(A;OICI;0x1200a9;;;"
    "WD)";

// Owner and access list of a path as security descriptor text, or "" when unreadable.
std::string OwnerAndAccessText(const std::string& path) {
  std::wstring wide = ToWide(path);
  PSECURITY_DESCRIPTOR sd = nullptr;
  const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (GetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, what, nullptr, nullptr, nullptr, nullptr,
                            &sd) != ERROR_SUCCESS) {
    return "";
  }
  LPWSTR text = nullptr;
  std::string result;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1, what, &text,
                                                           nullptr)) {
    result = FromWide(text);
    LocalFree(text);
  }
  LocalFree(sd);
  return result;
}

TEST(FolderSecurityOnDisk, CreatedFolderIsTheAdministratorsAndInheritsNothing) {
  testing::ScratchFolder scratch("guard");
  const std::string folder = scratch.Path() + "Tamarind Software";
  Win32FolderSecurity security;
  ASSERT_EQ(security.MakeProtectedDirectory(folder), CreateDirResult::Created);
  EXPECT_EQ(security.MakeProtectedDirectory(folder), CreateDirResult::AlreadyExists);
  const std::string text = OwnerAndAccessText(folder);
  EXPECT_THAT(text, AnyOf(Eq(kProtectedSddl), Eq(kWineCreated)));
  // The adapter's own reading agrees with the system's text.
  FolderAccess access;
  ASSERT_TRUE(security.ReadAccess(folder, access));
  EXPECT_EQ(IsAdministratorsOnly(access), text == kProtectedSddl);
  EXPECT_FALSE(security.IsReparsePoint(folder));
}

TEST(FolderSecurityOnDisk, FoundFolderIsTakenOver) {
  testing::ScratchFolder scratch("found\\Corvane");
  const std::string folder = scratch.Path().substr(0, scratch.Path().size() - 1);
  // Everyone may change it, as if an ordinary user had made it so.
  PSECURITY_DESCRIPTOR open = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr));
  ASSERT_TRUE(SetFileSecurityW(ToWide(folder).c_str(), DACL_SECURITY_INFORMATION, open));
  LocalFree(open);
  // Wine: the others' read, write and execute bits.
  ASSERT_THAT(OwnerAndAccessText(folder),
              AnyOf(HasSubstr("(A;OICI;FA;;;WD)"), HasSubstr("(A;OICI;0x1301ff;;;WD)")));
  Win32FolderSecurity security;
  FolderAccess before;
  ASSERT_TRUE(security.ReadAccess(folder, before));
  EXPECT_FALSE(IsAdministratorsOnly(before));

  ASSERT_TRUE(security.Protect(folder));
  const std::string text = OwnerAndAccessText(folder);
  EXPECT_THAT(text, AnyOf(Eq(kProtectedSddl), Eq(kWineTakenOver)));
  FolderAccess after;
  ASSERT_TRUE(security.ReadAccess(folder, after));
  EXPECT_EQ(IsAdministratorsOnly(after), text == kProtectedSddl);
  EXPECT_FALSE(security.Protect(folder + "\\missing"));
}

}  // namespace
}  // namespace corvane
