// Asks Windows' own signature check about a file: verify_trust FILE [ROOT.cer]
// With ROOT.cer (DER) that certificate is first added to the machine's trusted roots. Prints
// WinVerifyTrust's result as 0x%08lx; exits 0 when the file is trusted, 1 when not.
#include <windows.h>

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <vector>

namespace {

struct Handle {
  HANDLE h;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

struct Store {
  HCERTSTORE s;
  ~Store() {
    if (s) CertCloseStore(s, 0);
  }
};

bool trustRoot(const wchar_t* path) {
  Handle file{CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
  if (file.h == INVALID_HANDLE_VALUE) return false;
  std::vector<BYTE> der(GetFileSize(file.h, nullptr));
  DWORD got = 0;
  if (!ReadFile(file.h, der.data(), static_cast<DWORD>(der.size()), &got, nullptr) ||
      got != der.size()) {
    return false;
  }
  Store root{
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root")};
  return root.s && CertAddEncodedCertificateToStore(root.s, X509_ASN_ENCODING, der.data(), got,
                                                    CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  if (argc > 2 && !trustRoot(argv[2])) {
    std::fprintf(stderr, "cannot add the root certificate\n");
    return 3;
  }
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = argv[1];
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  std::printf("0x%08lx\n", static_cast<unsigned long>(result));
  return result == 0 ? 0 : 1;
}
