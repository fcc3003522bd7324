// Shell actions and the setup's own version record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace corvane {

using WindowRef = std::uintptr_t;  // a window handle, 0 for none

// Show states as the system numbers them.
inline constexpr int kShowNormal = 1;   // SW_SHOWNORMAL
inline constexpr int kShowRestore = 9;  // SW_RESTORE

// How a program or page was started. The setup runs elevated: what it starts should run as the
// signed-in user, so it goes through that user's desktop shell where one answers.
enum class StartWay {
  DesktopShell,  // the signed-in user's desktop shell took the request
  ShellUser,     // the desktop shell did not answer: started with the token of its process
  NotStarted,    // not started from the elevated setup (see StartProgram and OpenPage)
};
struct ShellStart {
  bool started = false;
  StartWay way = StartWay::NotStarted;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Creates a shortcut through the shell-link object; COM must be initialised.
  // Empty arguments set none. Returns the COM status.
  virtual long CreateShortcut(const std::string& target, const std::string& linkPath,
                              const std::string& description, const std::string& arguments) = 0;
  // Opens a web page with the verb "open" and SW_RESTORE.
  virtual ShellStart OpenPage(const std::string& address, WindowRef owner) = 0;
  // Starts a program, given by its full path, in the working folder given, with `show`.
  virtual ShellStart Launch(const std::string& path, const std::string& folder, int show) = 0;
  // The raw string of the running program's version record (block "040904B0"), or empty.
  virtual std::string RawVersionString(const std::string& name) = 0;
};

// The named version-record string with surrounding white space removed.
std::string VersionString(Shell& shell, const std::string& name);

// The integrity level of a signed-in user's unelevated programs (SECURITY_MANDATORY_MEDIUM_RID).
inline constexpr std::uint32_t kMediumIntegrity = 0x2000;

// The ways an elevated program can start something as the signed-in user.
class StartWays {
 public:
  virtual ~StartWays() = default;
  enum class Desktop { Started, Failed, NoAnswer };
  // Hands the request (verb "open") to the signed-in user's desktop shell and waits a bounded
  // time. NoAnswer: there is no such shell, or it did not take the request in time; a request
  // given up then is never carried out later.
  virtual Desktop AskDesktop(const std::string& file, const std::string& folder, int show) = 0;

  // What is known of a process's token. The defaults are what a token that cannot be read
  // counts as: elevated, above medium integrity and the setup's own.
  struct TokenFacts {
    bool elevated = true;                  // TokenElevation
    std::uint32_t integrity = 0xFFFFFFFF;  // the last RID of TokenIntegrityLevel's label
    bool setupsOwn = true;                 // the same token object as the caller's process
  };
  // A process held open (so its id cannot pass to another one), with its token.
  class ShellProcess {
   public:
    virtual ~ShellProcess() = default;
    virtual TokenFacts Token() = 0;
    // Starts the program by its full path with a primary copy of the process's token.
    virtual bool Start(const std::string& program, const std::string& folder, int show) = 0;
  };
  // The id of the process that owns the desktop shell's window, or 0 where there is none.
  virtual std::uint32_t ShellProcessId() = 0;
  // Opens the process and its token; null where either cannot be opened.
  virtual std::unique_ptr<ShellProcess> OpenShellProcess(std::uint32_t processId) = 0;
};

// Through the desktop shell; where it does not answer but its process is there (hung,
// suspended), with that process's token, once the token is shown to be an ordinary user's.
// Never with the setup's own token: without a shell process the program is not started.
ShellStart StartProgram(StartWays& ways, const std::string& program, const std::string& folder,
                        int show);
// Through the desktop shell only: opening an address elevated would run whatever the user's
// registry names for it, so without an answering shell the page is not opened.
ShellStart OpenPage(StartWays& ways, const std::string& address);

}  // namespace corvane
