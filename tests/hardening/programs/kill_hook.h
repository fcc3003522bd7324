// Test builds of the setup only (CorvaneSetupKill): a folder guard that ends the process, as a
// kill would, right after the n-th successful call of one kind in any folder it hands out.
// CORVANE_KILL_AFTER names it: "link:1" (the first backup name made), "rename:6", "remove:3".
// Nothing runs after the call: no destructor, no clean-up, no message.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "payload/folder_security.h"

namespace corvane {

// The kind and count from CORVANE_KILL_AFTER, shared by every folder of the run.
class KillCounter {
 public:
  KillCounter() {
    char value[64] = {};
    const DWORD n = GetEnvironmentVariableA("CORVANE_KILL_AFTER", value, sizeof(value));
    if (n == 0 || n >= sizeof(value)) return;
    const char* colon = std::strchr(value, ':');
    if (colon == nullptr) return;
    kind_.assign(value, static_cast<std::size_t>(colon - value));
    remaining_ = std::atoi(colon + 1);
  }

  bool Counted(const char* kind, bool ok) {
    if (ok && kind_ == kind && --remaining_ == 0) TerminateProcess(GetCurrentProcess(), 99);
    return ok;
  }

 private:
  std::string kind_;
  int remaining_ = 0;
};

class KillingPinnedFolder final : public PinnedFolder {
 public:
  KillingPinnedFolder(std::unique_ptr<PinnedFolder> inner, KillCounter& counter)
      : inner_(std::move(inner)), counter_(counter) {}

  bool ReadAccess(FolderAccess& access) override { return inner_->ReadAccess(access); }
  bool InheritFromParent() override { return inner_->InheritFromParent(); }
  std::string FinalPath() override { return inner_->FinalPath(); }
  bool RemoveFolder(const std::string& name) override { return inner_->RemoveFolder(name); }
  bool HoldsOnlyAdministratorsEntries() override {
    return inner_->HoldsOnlyAdministratorsEntries();
  }
  PinResult OpenFolder(const std::string& name, std::unique_ptr<PinnedFolder>& pinned) override {
    const PinResult result = inner_->OpenFolder(name, pinned);
    if (pinned) pinned = std::make_unique<KillingPinnedFolder>(std::move(pinned), counter_);
    return result;
  }
  CreateDirResult MakeFolder(const std::string& name, NewFolder security,
                             std::unique_ptr<PinnedFolder>& pinned) override {
    const CreateDirResult result = inner_->MakeFolder(name, security, pinned);
    if (pinned) pinned = std::make_unique<KillingPinnedFolder>(std::move(pinned), counter_);
    return result;
  }
  std::unique_ptr<OutputFile> OpenFile(const std::string& name, ShareMode share,
                                       OpenMode mode) override {
    return inner_->OpenFile(name, share, mode);
  }
  bool Has(const std::string& name) override { return inner_->Has(name); }
  bool RemoveFile(const std::string& name) override {
    return counter_.Counted("remove", inner_->RemoveFile(name));
  }
  std::unique_ptr<HeldFile> HoldForReplacing(const std::string& name) override {
    return inner_->HoldForReplacing(name);
  }
  bool RenameFile(const std::string& from, const std::string& to, bool replace) override {
    return counter_.Counted("rename", inner_->RenameFile(from, to, replace));
  }
  bool LinkFile(const std::string& existing, const std::string& link) override {
    return counter_.Counted("link", inner_->LinkFile(existing, link));
  }
  bool ReadOwnFile(const std::string& name, std::string& contents) override {
    return inner_->ReadOwnFile(name, contents);
  }
  bool RemoveAtRestart(const std::string& name) override { return inner_->RemoveAtRestart(name); }
  bool ReplaceAtRestart(const std::string& from, const std::string& to) override {
    return inner_->ReplaceAtRestart(from, to);
  }

 private:
  std::unique_ptr<PinnedFolder> inner_;
  KillCounter& counter_;
};

class KillingFolderSecurity final : public FolderSecurity {
 public:
  explicit KillingFolderSecurity(FolderSecurity& inner) : inner_(inner) {}

  PinResult OpenBase(const std::string& path, std::unique_ptr<PinnedFolder>& pinned) override {
    const PinResult result = inner_.OpenBase(path, pinned);
    if (pinned) pinned = std::make_unique<KillingPinnedFolder>(std::move(pinned), counter_);
    return result;
  }

 private:
  FolderSecurity& inner_;
  KillCounter counter_;
};

}  // namespace corvane
