// Doubles for the extraction's other services: an LZ expander that decodes the file from a
// FakeFileSystem with the portable codec, an in-memory resource table and a recording
// message box.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "payload/extract.h"
#include "payload/szdd.h"
#include "support/fake_file_system.h"

namespace corvane::testing {

class FakeLzExpander : public LzExpander {
 public:
  explicit FakeLzExpander(FakeFileSystem& fs) : fs_(fs) {}

  long Expand(const std::string& szddPath, std::span<std::uint8_t> out) override {
    paths.push_back(szddPath);
    if (forcedResult) return *forcedResult;
    const FakeFileSystem::File* f = fs_.FindFile(szddPath);
    if (f == nullptr) return -1;  // the open fails
    const long n = SzddExpand(f->bytes, out);
    // LZ32 hands over what fits into the caller's buffer rather than failing.
    return n < 0 && SzddExpandedLength(f->bytes) >= 0 ? static_cast<long>(out.size()) : n;
  }

  std::optional<long> forcedResult;
  std::vector<std::string> paths;  // every expanded path, in order

 private:
  FakeFileSystem& fs_;
};

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

}  // namespace corvane::testing
