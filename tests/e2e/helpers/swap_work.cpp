// Another process of the same user attacking the setup's work folder: until the file named
// second exists (or 120 s pass) it keeps overwriting every file in the folder named first, and
// replacing "prog.tmp" there, with an SZDD file of its own whose text is kMarker. Creates the
// file named third once it runs, and writes the number of files it changed into it at the end.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr char kMarker[] = "SWAPPED-IN-BY-ANOTHER-PROCESS ";

// An SZDD file (mode 'A') made of literals only: the marker, repeated.
std::vector<std::uint8_t> AttackSzdd() {
  std::string text;
  for (int i = 0; i < 64; ++i) text += kMarker;
  std::vector<std::uint8_t> out = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0};
  const auto n = static_cast<std::uint32_t>(text.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i % 8 == 0) out.push_back(0xFF);
    out.push_back(static_cast<std::uint8_t>(text[i]));
  }
  return out;
}

bool WriteAll(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  const std::wstring folder = std::wstring(argv[1]) + L"\\";
  const std::vector<std::uint8_t> attack = AttackSzdd();
  const std::wstring spare = folder + L"attacker.szdd";
  unsigned long changes = 0;
  WriteAll(argv[3], {});
  const DWORD start = GetTickCount();
  while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES &&
         GetTickCount() - start < 120000) {
    // Replace prog.tmp, the setup's old work file, in one step as well as by overwriting.
    if (WriteAll(spare, attack) &&
        MoveFileExW(spare.c_str(), (folder + L"prog.tmp").c_str(), MOVEFILE_REPLACE_EXISTING)) {
      ++changes;
    }
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      if (WriteAll(folder + found.cFileName, attack)) ++changes;
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  const std::string count = std::to_string(changes);
  WriteAll(argv[3], std::vector<std::uint8_t>(count.begin(), count.end()));
  return 0;
}
