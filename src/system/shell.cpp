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

namespace {

// A program started with this token runs with no more rights than the signed-in user's own
// programs. An elevated token (a full administrator's, the setup's own among them) or one above
// medium integrity (an elevated or a service's) is refused, and so is the setup's very token
// when the shell's window belongs to the setup itself. The setup's logon session is not compared:
// a setup that is not elevated shares it with the user's shell, and is no more than that user.
bool OrdinaryUserToken(const StartWays::TokenFacts& token) {
  return !token.elevated && token.integrity <= kMediumIntegrity && !token.setupsOwn;
}

}  // namespace

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
  // Without a shell process there is no user's token to take; the setup's own is never used,
  // for the signed-in user can end their own shell to get one.
  constexpr ShellStart kNotStarted{false, StartWay::NotStarted};
  const std::uint32_t shellId = ways.ShellProcessId();
  if (shellId == 0) return kNotStarted;
  const std::unique_ptr<StartWays::ShellProcess> shell = ways.OpenShellProcess(shellId);
  if (shell == nullptr) return kNotStarted;
  // The id may have passed to another process between the lookup and the open, after the shell
  // ended. Now that the process is held its id cannot pass on, so the shell window must still
  // belong to it.
  if (ways.ShellProcessId() != shellId) return kNotStarted;
  if (!OrdinaryUserToken(shell->Token())) return kNotStarted;
  if (!shell->Start(program, folder, show)) return kNotStarted;
  return {true, StartWay::ShellUser};
}

ShellStart OpenPage(StartWays& ways, const std::string& address) {
  const StartWays::Desktop answer = ways.AskDesktop(address, std::string(), kShowRestore);
  if (answer == StartWays::Desktop::NoAnswer) return {false, StartWay::NotStarted};
  return {answer == StartWays::Desktop::Started, StartWay::DesktopShell};
}

}  // namespace corvane
