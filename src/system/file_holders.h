// Which running programs hold files open.
#pragma once

#include <string>
#include <vector>

namespace corvane {

struct FileHolder {
  std::string name;  // as the system names the program
  unsigned long processId = 0;
};

class FileHolders {
 public:
  virtual ~FileHolders() = default;
  // Fills `holders` with the programs that hold any of `paths` open; false when the system
  // cannot tell. Nothing is closed or asked to close.
  virtual bool Find(const std::vector<std::string>& paths, std::vector<FileHolder>& holders) = 0;
};

}  // namespace corvane
