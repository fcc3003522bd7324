// Shell double: records shortcuts, opens and launches; answers version strings from a table.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "system/known_folders.h"
#include "system/shell.h"

namespace corvane::testing {

class FakeShell : public Shell {
 public:
  struct Shortcut {
    std::string target, linkPath, description, arguments;
  };
  std::vector<Shortcut> shortcuts;
  std::vector<std::string> opened, launched;
  std::vector<WindowRef> owners;     // of each page opened
  std::vector<int> shows;            // the show state of each start
  std::vector<std::string> folders;  // the working folder of each start
  std::map<std::string, std::string> versionStrings;
  std::intptr_t openResult = 42;
  StartWay way = StartWay::DesktopShell;
  std::function<void()> duringOpen;  // runs inside OpenPage (the system's call is synchronous)
  // When set, also told "shell link PATH", "shell launch PATH in FOLDER" and "shell version
  // NAME" (a log shared with other doubles).
  std::vector<std::string>* events = nullptr;

  long CreateShortcut(const std::string& target, const std::string& linkPath,
                      const std::string& description, const std::string& arguments) override {
    Note("shell link " + linkPath);
    shortcuts.push_back({target, linkPath, description, arguments});
    return 0;
  }
  ShellStart OpenPage(const std::string& address, WindowRef owner) override {
    opened.push_back(address);
    owners.push_back(owner);
    if (duringOpen) duringOpen();
    return {openResult > 32, way};
  }
  ShellStart Launch(const std::string& path, const std::string& folder, int show) override {
    Note("shell launch " + path + " in " + folder);
    launched.push_back(path);
    folders.push_back(folder);
    shows.push_back(show);
    return {openResult > 32, way};
  }
  std::string RawVersionString(const std::string& name) override {
    Note("shell version " + name);
    auto it = versionStrings.find(name);
    return it == versionStrings.end() ? std::string() : it->second;
  }

 private:
  void Note(const std::string& event) {
    if (events) events->push_back(event);
  }
};

// Special folders, temp path and long names from tables; a missing entry is unavailable.
class FakeKnownFolderSource : public KnownFolderSource {
 public:
  std::map<int, std::string> special;
  std::string temp;
  std::string nativeProgramFiles, nativeCommonFiles;  // 64-bit Windows' own, for a 32-bit program
  std::map<std::string, std::string> longNames;  // path -> found name
  std::vector<int> asked;
  std::vector<std::string> lookedUp;

  std::string SpecialFolder(int csidl) override {
    asked.push_back(csidl);
    auto it = special.find(csidl);
    return it == special.end() ? std::string() : it->second;
  }
  std::string TempPath() override { return temp; }
  std::string FindName(const std::string& path) override {
    lookedUp.push_back(path);
    auto it = longNames.find(path);
    return it == longNames.end() ? std::string() : it->second;
  }
  std::string NativeProgramFiles(bool common) override {
    return common ? nativeCommonFiles : nativeProgramFiles;
  }
};

// The special folders of the account `user` on a Windows installed on C: (by CSIDL), and its
// temporary folder.
inline FakeKnownFolderSource AccountFolders(const std::string& user) {
  FakeKnownFolderSource s;
  const std::string profile = "C:\\users\\" + user;
  s.special = {{23, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
               {25, "C:\\users\\Public\\Desktop"},
               {26, profile + "\\AppData\\Roaming"},
               {28, profile + "\\AppData\\Local"},
               {35, "C:\\ProgramData"},
               {36, "C:\\windows"},
               {37, "C:\\windows\\system32"},
               {38, "C:\\Program Files"},
               {40, profile},
               {46, "C:\\users\\Public\\Documents"}};
  s.temp = profile + "\\Temp\\";
  return s;
}

}  // namespace corvane::testing
