// FileHolders on the Restart Manager.
#pragma once

#include "system/file_holders.h"

namespace corvane {

class Win32FileHolders final : public FileHolders {
 public:
  bool Find(const std::vector<std::string>& paths, std::vector<FileHolder>& holders) override;
  bool Close(const std::vector<std::string>& paths,
             const std::vector<FileHolder>& allowed) override;
};

}  // namespace corvane
