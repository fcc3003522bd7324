#include "system/shell.h"

namespace corvane {

std::string VersionString(Shell& shell, const std::string& name) {
  const std::string raw = shell.RawVersionString(name);
  constexpr const char* kWhiteSpace = " \t\r\n\v\f";
  const std::size_t begin = raw.find_first_not_of(kWhiteSpace);
  if (begin == std::string::npos) return {};
  const std::size_t end = raw.find_last_not_of(kWhiteSpace);
  return raw.substr(begin, end - begin + 1);
}

ShellStart StartProgram(StartWays& ways, const std::string& program, const std::string& folder,
                        int show) {
  switch (ways.AskDesktop(program, folder, show)) {
    case StartWays::Desktop::Started:
      return {true, StartWay::DesktopShell};
    case StartWays::Desktop::Failed:
      // The shell answered: starting it another way could start it twice.
      return {false, StartWay::DesktopShell};
    case StartWays::Desktop::NoAnswer:
      break;
  }
  switch (ways.StartAsShellUser(program, folder, show)) {
    case StartWays::AsUser::Started:
      return {true, StartWay::ShellUser};
    case StartWays::AsUser::Failed:
      return {false, StartWay::NotStarted};
    case StartWays::AsUser::NoShellProcess:
      break;
  }
  return {ways.StartByPath(program, folder, show), StartWay::Direct};
}

ShellStart OpenPage(StartWays& ways, const std::string& address) {
  const StartWays::Desktop answer = ways.AskDesktop(address, std::string(), kShowRestore);
  if (answer == StartWays::Desktop::NoAnswer) return {false, StartWay::NotStarted};
  return {answer == StartWays::Desktop::Started, StartWay::DesktopShell};
}

}  // namespace corvane
