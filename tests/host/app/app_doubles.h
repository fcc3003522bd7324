// Doubles of the system services the setup logic drives, sharing one event log so that tests
// can check the order of steps across services.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/setup_logic.h"
#include "payload/container.h"
#include "payload/szdd.h"
#include "support/fake_file_system.h"
#include "support/fake_folder_security.h"
#include "support/fake_payload_services.h"
#include "support/fake_registry.h"
#include "support/fake_shell.h"

namespace corvane::testing {

using EventLog = std::vector<std::string>;

class FakeCom : public ComApartment {
 public:
  explicit FakeCom(EventLog& log) : log_(log) {}
  bool enterResult = true;
  int depth = 0;
  int leaves = 0;
  bool Enter() override {
    log_.push_back("com enter");
    if (enterResult) ++depth;
    return enterResult;
  }
  void Leave() override {
    log_.push_back("com leave");
    --depth;
    ++leaves;
  }

 private:
  EventLog& log_;
};

// A payload of one record per content, then the terminator.
inline std::vector<std::uint8_t> ContentPayload(const std::vector<std::string>& contents) {
  std::vector<std::vector<std::uint8_t>> files;
  for (const auto& c : contents) {
    files.push_back(SzddCompress(std::vector<std::uint8_t>(c.begin(), c.end())));
  }
  return BuildPayload(files);
}

constexpr const char* kAppPathsKey =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kInstall = "C:\\Program Files\\Tamarind Software\\Corvane\\";
constexpr const char* kDesktop = "C:\\users\\Public\\Desktop\\";
constexpr const char* kPrograms = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\";
// What the payload's records expand to, in order.
inline const std::vector<std::string> kContents = {"main program", "helper", "uninstaller", "rex",
                                                   "stg",          "pds",    "aws",         "help",
                                                   "ws1",          "ws2",    "ws3"};

// Every service the setup needs, as doubles sharing one event log, on a Windows-like machine.
struct AppFakes {
  AppFakes() {
    reg.events = &log;
    shell.events = &log;
    shell.way = StartWay::DesktopShell;
    shell.versionStrings = {{"FileVersion", " 6, 1, 0, 0 "}, {"SpecialBuild", "0"}};
  }
  // The special folders as they exist on a fixed drive C:, and the product's payload.
  void PrepareMachine() {
    AddSystemFolders();
    resources.data[kPayloadResourceId] = ContentPayload(kContents);
  }
  void AddSystemFolders() {
    for (const char* d : {"C:\\Program Files", "C:\\ProgramData", "C:\\users\\pat\\AppData\\Local",
                          kDesktop, kPrograms}) {
      fs.AddDirectory(d);
    }
    fs.SetDriveType("C:\\", DriveType::Fixed);
  }

  EventLog log;
  FakeFileSystem fs;
  FakeRegistry reg;
  FakeShell shell;
  FakeKnownFolderSource folders = AccountFolders("pat");
  FakeResources resources;
  FakeCom com{log};
  FakeFolderSecurity security{fs};
  SetupServices services{fs, resources, reg, folders, shell, com, security};
};

inline std::string BytesText(const std::vector<std::uint8_t>& b) {
  return std::string(b.begin(), b.end());
}

}  // namespace corvane::testing
