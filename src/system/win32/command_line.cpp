#include "system/win32/command_line.h"

#include <windows.h>

#include <shellapi.h>

#include "system/win32/handle.h"
#include "system/win32/wide.h"

namespace corvane {

std::vector<std::string> CommandArguments() {
  int count = 0;
  const LocalMemory list(CommandLineToArgvW(GetCommandLineW(), &count));
  const auto* argv = static_cast<const LPWSTR*>(list.Get());
  std::vector<std::string> args;
  if (!argv) return args;
  for (int k = 1; k < count; ++k) args.push_back(FromWide(argv[k]));
  return args;
}

}  // namespace corvane
