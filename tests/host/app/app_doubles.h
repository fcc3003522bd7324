// Doubles of the system services the setup logic drives, sharing one event log so that tests
// can check the order of steps across services.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "app/setup_logic.h"
#include "payload/container.h"
#include "payload/szdd.h"
#include "support/fake_file_system.h"
#include "support/fake_folder_security.h"

namespace corvane::testing {

using EventLog = std::vector<std::string>;

// Registry tree keyed by lower-cased path; handles are indexes into an open-key table.
class AppFakeRegistry : public RegistryApi {
 public:
  explicit AppFakeRegistry(EventLog& log) : log_(log) {}

  void Put(const std::string& keyPath, const std::string& name, const std::string& value) {
    keys_[Lower(keyPath)][name] = value;
  }
  void AddKey(const std::string& keyPath) { keys_[Lower(keyPath)]; }
  bool Has(const std::string& keyPath, const std::string& name) const {
    auto k = keys_.find(Lower(keyPath));
    return k != keys_.end() && k->second.count(name) != 0;
  }
  std::string Get(const std::string& keyPath, const std::string& name) const {
    return keys_.at(Lower(keyPath)).at(name);
  }
  bool HasKey(const std::string& keyPath) const { return keys_.count(Lower(keyPath)) != 0; }
  int OpenKeys() const { return static_cast<int>(open_.size()); }
  std::vector<std::string> writes;  // "<key path>|<name>" in order

  Key LocalMachine() override { return Root("HKLM"); }
  Key CurrentUser() override { return Root("HKCU"); }
  long OpenKey(Key parent, const std::string& name, Key& result) override {
    const std::string path = PathOf(parent) + "\\" + name;
    result = IsKeyOrAncestor(Lower(path)) ? Open(path) : kNullKey;
    return result == kNullKey ? 2 : 0;
  }
  long CreateKey(Key parent, const std::string& name, Key& result) override {
    const std::string path = PathOf(parent) + "\\" + name;
    keys_[Lower(path)];
    result = Open(path);
    return 0;
  }
  long SetString(Key key, const std::string& name, const std::string& value) override {
    const std::string path = PathOf(key);
    log_.push_back("reg set " + path + "|" + name);
    writes.push_back(path + "|" + name);
    keys_[Lower(path)][name] = value;
    return 0;
  }
  long SetDword(Key key, const std::string& name, std::uint32_t value) override {
    return SetString(key, name, "dword:" + std::to_string(value));
  }
  long DeleteKey(Key parent, const std::string& name) override {
    const std::string path = PathOf(parent) + "\\" + name;
    log_.push_back("reg delete " + path);
    return keys_.erase(Lower(path)) != 0 ? 0 : 2;
  }
  long QueryString(Key key, const std::string& name, std::string& value) override {
    auto k = keys_.find(Lower(PathOf(key)));
    if (k == keys_.end() || !k->second.count(name)) return 2;
    if (k->second.at(name).size() >= 261) return 234;
    value = k->second.at(name);
    return 0;
  }
  void CloseKey(Key key) override {
    if (key < kRoots) return;
    open_.erase(key);
  }

 private:
  static constexpr Key kRoots = 100;
  static std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
  }
  Key Root(const std::string& name) { return name == "HKLM" ? 1 : 2; }
  std::string PathOf(Key key) const {
    if (key == 1) return "HKLM";
    if (key == 2) return "HKCU";
    return open_.at(key);
  }
  bool IsKeyOrAncestor(const std::string& lower) const {
    for (const auto& [k, v] : keys_) {
      if (k == lower || k.rfind(lower + "\\", 0) == 0) return true;
    }
    return false;
  }
  Key Open(const std::string& path) {
    const Key k = next_++;
    open_[k] = path;
    return k;
  }

  EventLog& log_;
  std::map<std::string, std::map<std::string, std::string>> keys_;
  std::map<Key, std::string> open_;
  Key next_ = kRoots;
};

class AppFakeShell : public Shell {
 public:
  explicit AppFakeShell(EventLog& log) : log_(log) {}
  struct Link {
    std::string target, linkPath, description, arguments;
  };
  std::vector<Link> links;
  std::vector<std::string> opened;    // OpenPage addresses
  std::vector<std::string> launched;  // Launch paths
  std::vector<int> shows;             // Launch show states
  std::vector<WindowRef> owners;
  std::map<std::string, std::string> version{{"FileVersion", " 6, 1, 0, 0 "},
                                             {"SpecialBuild", "0"}};
  // Runs inside OpenPage (the system's call is synchronous).
  std::function<void()> duringOpen;

  long CreateShortcut(const std::string& target, const std::string& linkPath,
                      const std::string& description, const std::string& arguments) override {
    log_.push_back("shell link " + linkPath);
    links.push_back(Link{target, linkPath, description, arguments});
    return 0;
  }
  ShellStart OpenPage(const std::string& address, WindowRef owner) override {
    log_.push_back("shell open " + address);
    opened.push_back(address);
    owners.push_back(owner);
    if (duringOpen) duringOpen();
    return {true, StartWay::DesktopShell};
  }
  ShellStart Launch(const std::string& path, const std::string& folder, int show) override {
    log_.push_back("shell launch " + path + " in " + folder);
    launched.push_back(path);
    shows.push_back(show);
    return {true, StartWay::DesktopShell};
  }
  std::string RawVersionString(const std::string& name) override {
    log_.push_back("shell version " + name);
    auto it = version.find(name);
    return it == version.end() ? std::string() : it->second;
  }

 private:
  EventLog& log_;
};

// A Windows-like set of special folders.
class AppFakeFolders : public KnownFolderSource {
 public:
  std::map<int, std::string> special{
      {38, "C:\\Program Files"},
      {35, "C:\\ProgramData"},
      {28, "C:\\users\\pat\\AppData\\Local"},
      {26, "C:\\users\\pat\\AppData\\Roaming"},
      {25, "C:\\users\\Public\\Desktop"},
      {23, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
  };
  std::string SpecialFolder(int csidl) override {
    auto it = special.find(csidl);
    return it == special.end() ? std::string() : it->second;
  }
  std::string TempPath() override { return "C:\\users\\pat\\Temp\\"; }
  std::string FindName(const std::string& path) override {
    return path.substr(path.rfind('\\') + 1);
  }
};

class FakeResources : public ResourceSource {
 public:
  std::map<int, std::vector<std::uint8_t>> data;
  std::span<const std::uint8_t> RcData(int id) override {
    auto it = data.find(id);
    if (it == data.end()) return {};
    return it->second;
  }
};

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

// Every service the setup needs, as doubles sharing one event log.
struct AppFakes {
  EventLog log;
  FakeFileSystem fs;
  AppFakeRegistry reg{log};
  AppFakeShell shell{log};
  AppFakeFolders folders;
  FakeResources resources;
  FakeCom com{log};
  FakeFolderSecurity security{fs};
};

inline std::string BytesText(const std::vector<std::uint8_t>& b) {
  return std::string(b.begin(), b.end());
}

}  // namespace corvane::testing
