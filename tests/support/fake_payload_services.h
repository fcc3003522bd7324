// Doubles for the extraction's other services: an in-memory resource table, a recording
// message box and a log kept in memory (also the setup's and the uninstaller's /LOG log).
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "payload/extract.h"
#include "system/log.h"

namespace corvane::testing {

class FakeResources : public ResourceSource {
 public:
  std::span<const std::uint8_t> RcData(int id) override {
    lookups.push_back(id);
    auto it = data.find(id);
    if (it == data.end()) return {};
    return it->second;
  }
  std::map<int, std::vector<std::uint8_t>> data;
  std::vector<int> lookups;
};

class RecordingErrorReporter : public ErrorReporter {
 public:
  void ShowError(std::string_view text) override { messages.emplace_back(text); }
  std::vector<std::string> messages;
};

class MemoryLog : public SetupLog {
 public:
  std::vector<std::string> lines;
  bool Has(const std::string& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  long Count(const std::string& line) const { return std::count(lines.begin(), lines.end(), line); }

 protected:
  void WriteLine(std::string_view line) override { lines.emplace_back(line); }
};

}  // namespace corvane::testing
