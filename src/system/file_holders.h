// Which running programs hold files open, and closing them through the system's restart
// manager.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

struct FileHolder {
  std::string name;  // as the system names the program
  unsigned long processId = 0;
  std::uint64_t started = 0;  // when the process started: with the id, it names one process
  std::string path;          // the program's full path; empty where the system does not tell
  bool restartable = false;  // it registered to be started again after it is closed
  bool system = false;       // a service, a critical process or the desktop shell
};

class FileHolders {
 public:
  virtual ~FileHolders() = default;
  // Fills `holders` with the programs that hold any of `paths` open; false when the system
  // cannot tell. Nothing is closed or asked to close.
  virtual bool Find(const std::vector<std::string>& paths, std::vector<FileHolder>& holders) = 0;
  // Asks the programs that hold any of `paths` to close (never forced) and waits a bounded
  // time for them to end. Only when every holder the system lists at that moment is one of
  // `allowed` (by process id and start time); otherwise nothing is asked and the result is false. True when
  // every one of them ended.
  virtual bool Close(const std::vector<std::string>& paths,
                     const std::vector<FileHolder>& allowed) = 0;
};

}  // namespace corvane
