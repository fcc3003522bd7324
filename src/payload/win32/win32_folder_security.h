// FolderSecurity on the Windows file and security API: a base folder opened by its path, and
// everything below it through NtCreateFile and NtSetInformationFile relative to held handles.
#pragma once

#include "payload/folder_security.h"

namespace corvane {

class Win32FolderSecurity : public FolderSecurity {
 public:
  PinResult OpenBase(const std::string& path, std::unique_ptr<PinnedFolder>& pinned) override;
};

}  // namespace corvane
