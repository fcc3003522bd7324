// FileHolders on the Restart Manager.
#pragma once

#include <windows.h>

#include <restartmanager.h>

#include <optional>

#include "system/file_holders.h"

namespace corvane {

// The Restart Manager functions the holders call.
struct RestartManager {
  using StartFn = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
  using EndFn = DWORD(WINAPI*)(DWORD);
  using RegisterFn = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT,
                                    LPCWSTR*);
  using ListFn = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, LPDWORD);
  using ShutdownFn = DWORD(WINAPI*)(DWORD, ULONG, RM_WRITE_STATUS_CALLBACK);

  StartFn startSession = nullptr;
  EndFn endSession = nullptr;
  RegisterFn registerResources = nullptr;
  ListFn getList = nullptr;
  ShutdownFn shutdown = nullptr;
};

class Win32FileHolders final : public FileHolders {
 public:
  // The system's Restart Manager, loaded from System32 for each call.
  Win32FileHolders() = default;
  // These functions instead of the system's.
  explicit Win32FileHolders(const RestartManager& functions) : given_(functions) {}

  bool Find(const std::vector<std::string>& paths, std::vector<FileHolder>& holders) override;
  bool Close(const std::vector<std::string>& paths,
             const std::vector<FileHolder>& allowed) override;

 private:
  std::optional<RestartManager> given_;
};

}  // namespace corvane
