// FolderSecurity on the Windows security API.
#pragma once

#include "payload/folder_security.h"

namespace corvane {

class Win32FolderSecurity : public FolderSecurity {
 public:
  bool IsReparsePoint(const std::string& path) override;
  PinResult Pin(const std::string& path, std::unique_ptr<PinnedFolder>& pinned) override;
  CreateDirResult MakeProtectedFolder(const std::string& path) override;
};

}  // namespace corvane
