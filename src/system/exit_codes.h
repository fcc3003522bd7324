// The exit codes of the setup and the uninstaller: the Windows Installer's error numbers, which
// deployment tools already read as an installer's results.
#pragma once

namespace corvane {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitAccessDenied = 5;              // ERROR_ACCESS_DENIED
inline constexpr int kExitUserExit = 1602;               // ERROR_INSTALL_USEREXIT
inline constexpr int kExitInstallFailure = 1603;         // ERROR_INSTALL_FAILURE
inline constexpr int kExitAlreadyRunning = 1618;         // ERROR_INSTALL_ALREADY_RUNNING
inline constexpr int kExitPlatformUnsupported = 1633;    // ERROR_INSTALL_PLATFORM_UNSUPPORTED
inline constexpr int kExitRestartRequired = 3010;        // ERROR_SUCCESS_REBOOT_REQUIRED

}  // namespace corvane
