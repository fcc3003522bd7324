// In-memory registry with a log of every call, for the registry and known-folder logic.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "system/registry.h"
#include "system/text.h"

namespace corvane::testing {

class FakeRegistry : public RegistryApi {
 public:
  static constexpr long kErrorFileNotFound = 2;
  static constexpr long kErrorMoreData = 234;
  static constexpr std::size_t kQueryUnits = 261;

  FakeRegistry() {
    AddKey("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths");
    AddKey("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  }

  // Creates a key and all its parents. Paths start with "HKLM" or "HKCU".
  void AddKey(const std::string& path) {
    std::string sofar;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
      const std::size_t cut = path.find('\\', pos);
      sofar = path.substr(0, cut);
      keys_[Fold(sofar)];
      pos = cut == std::string::npos ? cut : cut + 1;
    }
  }
  void SetValue(const std::string& keyPath, const std::string& name, const std::string& data) {
    AddKey(keyPath);
    keys_[Fold(keyPath)][name] = data;
  }
  bool HasKey(const std::string& path) const { return keys_.count(Fold(path)) != 0; }
  bool HasValue(const std::string& keyPath, const std::string& name) const {
    auto it = keys_.find(Fold(keyPath));
    return it != keys_.end() && it->second.count(name) != 0;
  }
  std::string Value(const std::string& keyPath, const std::string& name) const {
    auto it = keys_.find(Fold(keyPath));
    if (it == keys_.end()) return "<no key>";
    auto v = it->second.find(name);
    return v == it->second.end() ? "<no value>" : v->second;
  }
  std::size_t ValueCount(const std::string& keyPath) const {
    auto it = keys_.find(Fold(keyPath));
    return it == keys_.end() ? 0 : it->second.size();
  }

  // Failure injection.
  std::map<std::string, long> failOpenOf;  // subkey name -> status of its open
  long failCreateWith = 0;                 // status of every CreateKey when non-zero
  std::map<std::string, long> failSetOf;   // value name -> status

  // "open NAME", "create NAME", "set NAME=DATA", "query NAME", "close PATH", in call order.
  std::vector<std::string> log;
  std::vector<std::string> writes;  // "KEY PATH|NAME" of every value set, in order
  // When set, also told "reg set KEY PATH|NAME" (a log shared with other doubles).
  std::vector<std::string>* events = nullptr;

  std::size_t OpenHandles() const { return handles_.size(); }

  Key LocalMachine() override { return kLocalMachine; }
  Key CurrentUser() override { return kCurrentUser; }

  long OpenKey(Key parent, const std::string& name, Key& result) override {
    log.push_back("open " + name);
    const std::string path = PathOf(parent) + "\\" + name;
    result = kNullKey;
    if (auto fail = failOpenOf.find(name); fail != failOpenOf.end()) return fail->second;
    if (!HasKey(path)) return kErrorFileNotFound;
    result = NewHandle(path);
    return 0;
  }

  long CreateKey(Key parent, const std::string& name, Key& result) override {
    log.push_back("create " + name);
    if (failCreateWith != 0) return failCreateWith;
    const std::string path = PathOf(parent) + "\\" + name;
    AddKey(path);
    result = NewHandle(path);
    return 0;
  }

  long SetString(Key key, const std::string& name, const std::string& value) override {
    log.push_back("set " + name + "=" + value);
    writes.push_back(PathOf(key) + "|" + name);
    if (events) events->push_back("reg set " + writes.back());
    auto fail = failSetOf.find(name);
    if (fail != failSetOf.end()) return fail->second;
    keys_[Fold(PathOf(key))][name] = value;
    return 0;
  }

  // Stored as "dword:N" beside the strings.
  long SetDword(Key key, const std::string& name, std::uint32_t value) override {
    return SetString(key, name, "dword:" + std::to_string(value));
  }

  long DeleteKey(Key parent, const std::string& name) override {
    log.push_back("delete " + name);
    const std::string path = Fold(PathOf(parent) + "\\" + name);
    if (!keys_.count(path)) return kErrorFileNotFound;
    for (const auto& entry : keys_) {
      if (entry.first.rfind(path + "\\", 0) == 0) return 5;  // has subkeys: access denied
    }
    keys_.erase(path);
    return 0;
  }

  long QueryString(Key key, const std::string& name, std::string& value) override {
    log.push_back("query " + name);
    auto it = keys_.find(Fold(PathOf(key)));
    if (it == keys_.end()) return kErrorFileNotFound;
    auto v = it->second.find(name);
    if (v == it->second.end()) return kErrorFileNotFound;
    if (Utf16Length(v->second) + 1 > kQueryUnits) return kErrorMoreData;
    value = v->second;
    return 0;
  }

  void CloseKey(Key key) override {
    auto it = handles_.find(key);
    log.push_back("close " + (it == handles_.end() ? std::string("<bad handle>") : it->second));
    if (it != handles_.end()) handles_.erase(it);
  }

 private:
  static constexpr Key kLocalMachine = 1;
  static constexpr Key kCurrentUser = 2;

  static std::string Fold(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
  }
  std::string PathOf(Key key) const {
    if (key == kLocalMachine) return "HKLM";
    if (key == kCurrentUser) return "HKCU";
    auto it = handles_.find(key);
    return it == handles_.end() ? "<bad handle>" : it->second;
  }
  Key NewHandle(const std::string& path) {
    const Key key = nextHandle_++;
    handles_[key] = path;
    return key;
  }

  std::map<std::string, std::map<std::string, std::string>> keys_;
  std::map<Key, std::string> handles_;
  Key nextHandle_ = 100;
};

}  // namespace corvane::testing
