// Windows services for the settings store: shell folders, files, boxes, exit.
#include "settings/win/KvSystemWin.h"
#include "common/win/KvHandle.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

std::wstring GetModulePath(void* module) {
  std::vector<wchar_t> buffer(256);
  for (;;) {
    const DWORD n = GetModuleFileNameW(static_cast<HMODULE>(module), buffer.data(),
                                       static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::wstring();
    if (n < buffer.size() - 1) return std::wstring(buffer.data(), n);
    buffer.resize(buffer.size() + 128);
  }
}

std::wstring CKvSystemWin::GetProgramPath() { return GetModulePath(nullptr); }

static bool ShellFolder(int csidl, std::wstring& folder) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) || !path[0])
    return false;
  folder = path;
  return true;
}

bool CKvSystemWin::GetLocalAppDataFolder(std::wstring& folder) {
  return ShellFolder(CSIDL_LOCAL_APPDATA, folder);
}

bool CKvSystemWin::GetCommonDocumentsFolder(std::wstring& folder) {
  return ShellFolder(CSIDL_COMMON_DOCUMENTS, folder);
}

bool CKvSystemWin::FileExists(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CKvSystemWin::DirectoryExists(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CKvSystemWin::CreateFolder(const std::wstring& path) {
  if (CreateDirectoryW(path.c_str(), nullptr)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(path);
}

bool CKvSystemWin::MoveFileTo(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) != FALSE;
}

bool CKvSystemWin::CreateFileWithBytes(const std::wstring& path, const std::string& bytes) {
  CKvFileHandle h(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return false;
  return KvWriteAll(h.Get(), bytes.data(), bytes.size());
}

bool CKvSystemWin::WriteTestFile(const std::wstring& path) {
  CKvFileHandle h(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return h.Valid();
}

int CKvSystemWin::ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) {
  return MessageBoxW(nullptr, text.c_str(), caption.c_str(), style);
}

void CKvSystemWin::ExitProcessNow(int code) { ExitProcess(static_cast<UINT>(code)); }

std::wstring CKvSystemWin::GetComputerNameText() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 2] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size)) return std::wstring();
  return std::wstring(name, size);
}

uint16_t CKvSystemWin::GetThreadLanguageId() { return static_cast<uint16_t>(GetThreadLocale() & 0xFFFF); }
