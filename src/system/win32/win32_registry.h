// RegistryApi on the wide registry API: one system call per operation.
#pragma once

#include "system/registry.h"

namespace corvane {

class Win32Registry : public RegistryApi {
 public:
  Key LocalMachine() override;
  Key CurrentUser() override;
  long OpenKey(Key parent, const std::string& name, Key& result) override;
  long CreateKey(Key parent, const std::string& name, Key& result) override;
  long SetString(Key key, const std::string& name, const std::string& value) override;
  long SetDword(Key key, const std::string& name, std::uint32_t value) override;
  long DeleteKey(Key parent, const std::string& name) override;
  long QueryString(Key key, const std::string& name, std::string& value) override;
  void CloseKey(Key key) override;
};

}  // namespace corvane
