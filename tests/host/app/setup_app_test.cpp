#include "app/setup_app.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

class RecordingHost : public StartHost {
 public:
  explicit RecordingHost(unsigned long id) : id_(id) {}
  unsigned long PlatformId() override { return id_; }
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void RunSetupDialog() override { ++dialogs; }
  std::vector<std::string> messages;
  int dialogs = 0;

 private:
  unsigned long id_;
};

TEST(StartTest, PlatformIdentifierDecidesKind) {
  struct Case {
    unsigned long id;
    int kind;
  };
  // Only the two low bits count; 0 is the 16-bit Windows layer, 3 would be both.
  for (const Case c : {Case{2, 2}, Case{1, 1}, Case{3, 2}, Case{6, 2}, Case{5, 1}}) {
    SCOPED_TRACE(c.id);
    SetupApp app;
    RecordingHost host(c.id);
    EXPECT_FALSE(Start(app, host));
    EXPECT_EQ(app.platformKind, c.kind);
    EXPECT_EQ(host.dialogs, 1);
    EXPECT_TRUE(host.messages.empty());
  }
}

TEST(StartTest, UnknownPlatformIsRefusedWithoutDialog) {
  for (unsigned long id : {0ul, 4ul, 8ul}) {
    SCOPED_TRACE(id);
    SetupApp app;
    RecordingHost host(id);
    EXPECT_FALSE(Start(app, host));
    EXPECT_EQ(app.platformKind, 0);
    EXPECT_EQ(host.dialogs, 0);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Only Windows 95, 98 or NT4.0"});
    EXPECT_TRUE(app.paths.known.defaultInstall.empty());
  }
}

TEST(AppTitleTest, FileNameWithoutFolderAndExtension) {
  EXPECT_EQ(TitleFromModulePath("C:\\Temp\\CorvaneSetup.exe"), "CorvaneSetup");
  EXPECT_EQ(TitleFromModulePath("Z:\\a.b\\setup.v6.exe"), "setup.v6");
  EXPECT_EQ(TitleFromModulePath("C:\\Temp\\noext"), "noext");
  EXPECT_EQ(TitleFromModulePath("plain.exe"), "plain");
  EXPECT_EQ(TitleFromModulePath("C:\\dir\\.hidden"), ".hidden");
}

TEST(MessageBoxStyleTest, ExclamationAddedOnlyWithoutIconForCommonButtons) {
  constexpr unsigned kExclamation = 0x30, kQuestion = 0x20, kStop = 0x10;
  EXPECT_EQ(MessageBoxStyle(0x0), kExclamation);        // OK
  EXPECT_EQ(MessageBoxStyle(0x1), 0x1 | kExclamation);  // OK/Cancel
  EXPECT_EQ(MessageBoxStyle(0x3), 0x3 | kExclamation);  // Yes/No/Cancel
  EXPECT_EQ(MessageBoxStyle(0x4), 0x4 | kExclamation);  // Yes/No
  EXPECT_EQ(MessageBoxStyle(0x2), 0x2u);                // Abort/Retry/Ignore
  EXPECT_EQ(MessageBoxStyle(0x5), 0x5u);                // Retry/Cancel
  EXPECT_EQ(MessageBoxStyle(0x4 | kQuestion), 0x4 | kQuestion);
  EXPECT_EQ(MessageBoxStyle(kStop), kStop);
  EXPECT_EQ(MessageBoxStyle(0x40000 | 0x4), 0x40000 | 0x4 | kExclamation);  // other flags kept
}

}  // namespace
}  // namespace corvane
