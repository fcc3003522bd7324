// File holders double: answers from its fields and records what it was asked.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "system/file_holders.h"

namespace corvane::testing {

class FakeFileHolders : public FileHolders {
 public:
  bool known = true;
  std::vector<FileHolder> holders;
  std::vector<std::string> asked;
  // Close: what it answers (the programs end when it is true), and the allowed lists it was
  // given.
  std::function<bool()> close = [] { return false; };
  std::vector<std::vector<FileHolder>> closeCalls;

  bool Find(const std::vector<std::string>& paths, std::vector<FileHolder>& found) override {
    asked = paths;
    found = holders;
    return known;
  }
  bool Close(const std::vector<std::string>& paths,
             const std::vector<FileHolder>& allowed) override {
    asked = paths;
    closeCalls.push_back(allowed);
    return close();
  }
};

}  // namespace corvane::testing
