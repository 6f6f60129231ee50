// Stands in for OrvaqRbld2 in the reconstruction Wine test: writes the command line it
// was started with (UTF-16LE) to "cmdline.txt" beside the information file it was given.
#include <windows.h>

#include <string>

int wmain(int, wchar_t**) {
  const std::wstring line = GetCommandLineW();
  const size_t n = line.find(L"/N:\"");
  if (n == std::wstring::npos) return 1;
  const size_t end = line.find(L'"', n + 4);
  std::wstring info = line.substr(n + 4, end - n - 4);
  info = info.substr(0, info.find_last_of(L'\\') + 1) + L"cmdline.txt";
  HANDLE f = CreateFileW(info.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  WriteFile(f, line.data(), DWORD(line.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(f);
  return 0;
}
