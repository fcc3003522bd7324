#include "system/win32/win32_shell.h"

#include <windows.h>

#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>

#include <atomic>
#include <cwchar>
#include <new>
#include <utility>
#include <vector>

#include "system/win32/file_paths.h"
#include "system/win32/handle.h"
#include "system/win32/system_library.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

using AllocStringFn = BSTR(WINAPI*)(const OLECHAR*);
using FreeStringFn = void(WINAPI*)(BSTR);

// Holds a BSTR and frees it. oleaut32 is loaded from System32 at run time: it is a KnownDLL on
// Windows, but a static import would let a copy beside the setup in wherever else it is not.
class Bstr {
 public:
  Bstr(const std::wstring& text, AllocStringFn alloc, FreeStringFn free)
      : b_(alloc(text.c_str())), free_(free) {}
  ~Bstr() { free_(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }

 private:
  BSTR b_;
  FreeStringFn free_;
};

VARIANT EmptyVariant() {
  VARIANT v;
  ZeroMemory(&v, sizeof v);
  v.vt = VT_EMPTY;
  return v;
}

VARIANT StringVariant(BSTR text) {
  VARIANT v = EmptyVariant();
  v.vt = VT_BSTR;
  v.bstrVal = text;
  return v;
}

// The desktop shell's interfaces, spelled out here like the shell-link ones, so that the exe
// does not link libuuid.
constexpr GUID kShellWindowsClass = {
    0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
constexpr GUID kShellWindows = {
    0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
constexpr GUID kServiceProvider = {
    0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};
constexpr GUID kTopLevelBrowser = {
    0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};
constexpr GUID kShellBrowser = {0x000214E2, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kDispatch = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kShellFolderViewDual = {
    0xE7A1AF80, 0x4D96, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
constexpr GUID kShellDispatch2 = {
    0xA4C6892C, 0x3BA9, 0x11D2, {0x9D, 0xEA, 0x00, 0xC0, 0x4F, 0xB1, 0x61, 0x62}};

// A start request handed to the thread that asks the desktop shell. The waiter and the thread
// each hold a reference, so a request given up after the wait lives until the thread ends.
struct DesktopRequest {
  enum : long { kPending, kExecuting, kGivenUp };
  std::wstring file, folder;
  int show = SW_SHOWNORMAL;
  // Pending until either the thread claims it to execute or the waiter gives it up: only one
  // of the two can win, so a given-up request is never executed later.
  std::atomic<long> state{kPending};
  std::atomic<long> references{2};
  HRESULT status = E_FAIL;

  void Release() {
    if (references.fetch_sub(1) == 1) delete this;
  }
};

// The shell dispatch object of the desktop window that the signed-in user's shell runs: its
// ShellExecute is the same as the user's own double-click, so what starts runs as that user,
// with that user's environment, not with the elevated setup's token.
//
// Nobody answers where no shell registers its desktop window with the shell windows list: on
// Server Core and in a session without a signed-in user (a service, a deployment agent), under
// a replacement shell, and where the setup was elevated as another account than the one signed
// in (the list lives in the signed-in user's shell and is not reachable from another account).
// A hung or suspended shell does not answer in time either (see AskDesktop).
HRESULT FindDesktopDispatch(ComRef<IShellDispatch2>& shell) {
  ComRef<IShellWindows> windows;
  HRESULT status = CoCreateInstance(kShellWindowsClass, nullptr, CLSCTX_LOCAL_SERVER, kShellWindows,
                                    windows.OutAny());
  if (FAILED(status)) return status;
  VARIANT none = EmptyVariant();
  long window = 0;
  ComRef<IDispatch> desktop;
  status =
      windows->FindWindowSW(&none, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.Out());
  if (status != S_OK) return FAILED(status) ? status : E_FAIL;
  ComRef<IServiceProvider> provider;
  status = desktop->QueryInterface(kServiceProvider, provider.OutAny());
  if (FAILED(status)) return status;
  ComRef<IShellBrowser> browser;
  status = provider->QueryService(kTopLevelBrowser, kShellBrowser, browser.OutAny());
  if (FAILED(status)) return status;
  ComRef<IShellView> view;
  status = browser->QueryActiveShellView(view.Out());
  if (FAILED(status)) return status;
  ComRef<IDispatch> background;
  status = view->GetItemObject(SVGIO_BACKGROUND, kDispatch, background.OutAny());
  if (FAILED(status)) return status;
  ComRef<IShellFolderViewDual> folderView;
  status = background->QueryInterface(kShellFolderViewDual, folderView.OutAny());
  if (FAILED(status)) return status;
  ComRef<IDispatch> application;
  status = folderView->get_Application(application.Out());
  if (FAILED(status)) return status;
  return application->QueryInterface(kShellDispatch2, shell.OutAny());
}

// Hands the request to the desktop's ShellExecute, verb "open".
HRESULT ExecuteThroughDesktop(IShellDispatch2* shell, const DesktopRequest& request) {
  const SystemLibrary oleaut(L"oleaut32.dll");
  const auto alloc = oleaut.Get<AllocStringFn>("SysAllocString");
  const auto release = oleaut.Get<FreeStringFn>("SysFreeString");
  if (alloc == nullptr || release == nullptr) return E_NOINTERFACE;
  const Bstr file(request.file, alloc, release), folder(request.folder, alloc, release),
      verb(L"open", alloc, release);
  const VARIANT arguments = EmptyVariant();
  const VARIANT dir = request.folder.empty() ? arguments : StringVariant(folder.get());
  const VARIANT operation = StringVariant(verb.get());
  VARIANT show = EmptyVariant();
  show.vt = VT_I4;
  show.lVal = request.show;
  return shell->ShellExecute(file.get(), arguments, dir, operation, show);
}

DWORD WINAPI DesktopStartThread(void* parameter) {
  auto* request = static_cast<DesktopRequest*>(parameter);
  if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    ComRef<IShellDispatch2> shell;
    HRESULT status = FindDesktopDispatch(shell);
    long pending = DesktopRequest::kPending;
    if (SUCCEEDED(status) &&
        request->state.compare_exchange_strong(pending, DesktopRequest::kExecuting)) {
      status = ExecuteThroughDesktop(shell.Get(), *request);
    } else if (SUCCEEDED(status)) {
      status = E_ABORT;  // given up while the dispatch was being found
    }
    request->status = status;
    CoUninitialize();
  }
  request->Release();
  return 0;
}

// How long the desktop shell may take to answer before the setup gives the request up.
constexpr DWORD kDesktopWait = 8000;
// How long a request the shell has already taken may take to come back.
constexpr DWORD kExecuteWait = 30000;

// The desktop shell's process and its token, both held while the token is read and used.
class Win32ShellProcess final : public StartWays::ShellProcess {
 public:
  Win32ShellProcess(Handle process, Handle token)
      : process_(std::move(process)), token_(std::move(token)) {}

  StartWays::TokenFacts Token() override {
    StartWays::TokenFacts facts;  // unread: refused
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (GetTokenInformation(token_.Get(), TokenElevation, &elevation, sizeof elevation, &size)) {
      facts.elevated = elevation.TokenIsElevated != 0;
    }
    // The label holds one SID, at most SECURITY_MAX_SID_SIZE bytes, after the structure.
    alignas(TOKEN_MANDATORY_LABEL) unsigned char
        label[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE];
    if (GetTokenInformation(token_.Get(), TokenIntegrityLevel, label, sizeof label, &size)) {
      const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label)->Label.Sid;
      if (IsValidSid(sid) && *GetSidSubAuthorityCount(sid) > 0) {
        facts.integrity = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u);
      }
    }
    // The token id names one token object: equal only when the shell's window is the setup's.
    TOKEN_STATISTICS theirs{}, ours{};
    Handle own;
    if (GetTokenInformation(token_.Get(), TokenStatistics, &theirs, sizeof theirs, &size) &&
        OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.Out())) {
      if (GetTokenInformation(own.Get(), TokenStatistics, &ours, sizeof ours, &size)) {
        facts.setupsOwn = theirs.TokenId.LowPart == ours.TokenId.LowPart &&
                          theirs.TokenId.HighPart == ours.TokenId.HighPart;
      }
    }
    return facts;
  }

  bool Start(const std::string& program, const std::string& folder, int show) override {
    Handle primary;
    if (!DuplicateTokenEx(token_.Get(),
                          TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY |
                              TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID,
                          nullptr, SecurityImpersonation, TokenPrimary, primary.Out())) {
      return false;
    }
    const std::wstring path = ToWide(program), dir = ToWide(folder);
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION started{};
    if (!CreateProcessWithTokenW(primary.Get(), 0, path.c_str(), commandLine.data(), 0, nullptr,
                                 dir.empty() ? nullptr : dir.c_str(), &startup, &started)) {
      return false;
    }
    const Handle processHandle(started.hProcess), threadHandle(started.hThread);
    return true;
  }

 private:
  Handle process_;  // held so that its id names no other process while the token is used
  Handle token_;
};

}  // namespace

// Asks on a thread of its own (its own apartment, whatever the caller's is) and waits a
// bounded time: a shell that hangs must not hang the setup.
StartWays::Desktop Win32StartWays::AskDesktop(const std::string& file, const std::string& folder,
                                              int show) {
  auto* request = new (std::nothrow) DesktopRequest;
  if (request == nullptr) return Desktop::NoAnswer;
  request->file = ToWide(file);
  request->folder = ToWide(folder);
  request->show = show;
  const Handle thread(CreateThread(nullptr, 0, DesktopStartThread, request, 0, nullptr));
  if (!thread.Valid()) {
    request->Release();
    request->Release();
    return Desktop::NoAnswer;
  }
  DWORD waited = WaitForSingleObject(thread.Get(), kDesktopWait);
  long pending = DesktopRequest::kPending;
  if (waited != WAIT_OBJECT_0 &&
      request->state.compare_exchange_strong(pending, DesktopRequest::kGivenUp)) {
    request->Release();
    return Desktop::NoAnswer;
  }
  // Ended, or the shell has the request already: then it is never asked for elsewhere.
  if (waited != WAIT_OBJECT_0) waited = WaitForSingleObject(thread.Get(), kExecuteWait);
  const bool executed = request->state.load() == DesktopRequest::kExecuting;
  Desktop answer = Desktop::Failed;
  if (!executed) {
    answer = Desktop::NoAnswer;
  } else if (waited == WAIT_OBJECT_0 && request->status == S_OK) {
    answer = Desktop::Started;
  }
  request->Release();
  return answer;
}

std::uint32_t Win32StartWays::ShellProcessId() {
  const HWND desktop = GetShellWindow();
  DWORD processId = 0;
  if (desktop == nullptr || GetWindowThreadProcessId(desktop, &processId) == 0) return 0;
  return processId;
}

std::unique_ptr<StartWays::ShellProcess> Win32StartWays::OpenShellProcess(std::uint32_t processId) {
  Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process.Valid()) return nullptr;
  Handle token;
  if (!OpenProcessToken(process.Get(), TOKEN_DUPLICATE | TOKEN_QUERY, token.Out())) return nullptr;
  return std::make_unique<Win32ShellProcess>(std::move(process), std::move(token));
}

ShellStart Win32Shell::OpenPage(const std::string& address, WindowRef) {
  return corvane::OpenPage(ways_, address);
}

ShellStart Win32Shell::Launch(const std::string& path, const std::string& folder, int show) {
  return StartProgram(ways_, path, folder, show);
}

long Win32Shell::CreateShortcut(const std::string& target, const std::string& linkPath,
                                const std::string& description, const std::string& arguments) {
  ComRef<IShellLinkW> link;
  HRESULT status = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    link.OutAny());
  if (FAILED(status)) return status;
  if (!arguments.empty()) link->SetArguments(ToWide(arguments).c_str());
  link->SetPath(ToWide(target).c_str());
  link->SetDescription(ToWide(description).c_str());
  ComRef<IPersistFile> file;
  status = link->QueryInterface(IID_IPersistFile, file.OutAny());
  if (SUCCEEDED(status)) status = file->Save(ToWide(linkPath).c_str(), TRUE);
  return status;
}

std::string Win32Shell::RawVersionString(const std::string& name) {
  const std::wstring module = ModulePath();
  if (module.empty()) return {};

  // version.dll is not one of the system's KnownDLLs: load it from System32 only.
  SystemLibrary library(L"version.dll");
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  const auto getSize = library.Get<SizeFn>("GetFileVersionInfoSizeW");
  const auto getInfo = library.Get<InfoFn>("GetFileVersionInfoW");
  const auto query = library.Get<QueryFn>("VerQueryValueW");
  if (getSize == nullptr || getInfo == nullptr || query == nullptr) return {};

  DWORD ignored = 0;
  const DWORD size = getSize(module.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> record(size);
  if (!getInfo(module.c_str(), 0, size, record.data())) return {};

  const std::wstring subBlock = L"\\StringFileInfo\\040904B0\\" + ToWide(name);
  void* found = nullptr;
  UINT units = 0;
  if (!query(record.data(), subBlock.c_str(), &found, &units) || found == nullptr || units == 0) {
    return {};
  }
  // The string must lie inside the record; its length may or may not count the terminator.
  const auto* text = static_cast<const wchar_t*>(found);
  const auto* begin = reinterpret_cast<const unsigned char*>(text);
  if (begin < record.data() ||
      begin + std::size_t{units} * sizeof(wchar_t) > record.data() + size) {
    return {};
  }
  return FromWide(std::wstring_view(text, wcsnlen(text, units)));
}

}  // namespace corvane
