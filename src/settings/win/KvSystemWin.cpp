// Windows services for the settings store: shell folders, files, boxes, exit.
#include "settings/win/KvSystemWin.h"
#include "common/win/KvHandle.h"
#include "common/Text.h"
#include "settings/KvPaths.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

// A file opened for reading with read and write sharing: its writer may still hold it.
class CWinReadFile : public IKvReadFile {
 public:
  explicit CWinReadFile(CKvFileHandle file) : m_hFile(std::move(file)) {}
  uint64_t Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_hFile.Get(), &size)) return 0;
    return static_cast<uint64_t>(size.QuadPart);
  }
  bool ReadAll(uint8_t* buffer, size_t size) override {
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(m_hFile.Get(), start, nullptr, FILE_BEGIN)) return false;
    size_t done = 0;
    while (done < size) {
      const DWORD chunk = static_cast<DWORD>(size - done > 0x100000 ? 0x100000 : size - done);
      DWORD read = 0;
      if (!ReadFile(m_hFile.Get(), buffer + done, chunk, &read, nullptr) || read == 0) return false;
      done += read;
    }
    return true;
  }

 private:
  CKvFileHandle m_hFile;
};

}  // namespace

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

bool CKvSystemWin::CopyFileOver(const std::wstring& from, const std::wstring& to) {
  return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool CKvSystemWin::MoveFileOver(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
}

bool CKvSystemWin::RemoveFile(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

bool CKvSystemWin::MakeTempFile(const std::wstring& folder, const std::wstring& prefix, std::wstring& path) {
  wchar_t name[MAX_PATH + 1] = {};
  if (folder.size() >= MAX_PATH - 14) return false;
  if (GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, name) == 0) return false;
  path = name;
  return true;
}

bool CKvSystemWin::ReadFileStart(const std::wstring& path, uint64_t& size, uint8_t* start, size_t count) {
  std::memset(start, 0, count);
  CKvFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER length{};
  bool ok = GetFileSizeEx(file.Get(), &length) != FALSE;
  size = ok ? uint64_t(length.QuadPart) : 0;
  if (ok && size > count) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), start, DWORD(count), &read, nullptr) || read != count) std::memset(start, 0, count);
  }
  return ok;
}

bool CKvSystemWin::WriteNewFile(const std::wstring& path, const std::string& bytes) {
  CKvFileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  bool ok = KvWriteAll(file.Get(), bytes.data(), bytes.size());
  ok = FlushFileBuffers(file.Get()) && ok;
  ok = file.Close() && ok;
  return ok;
}

bool CKvSystemWin::FlushFile(const std::wstring& path) {
  CKvFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  bool ok = FlushFileBuffers(file.Get()) != FALSE;
  ok = file.Close() && ok;
  return ok;
}

bool CKvSystemWin::ListFiles(const std::wstring& folder, const std::wstring& extension,
                             std::vector<std::wstring>& names) {
  names.clear();
  WIN32_FIND_DATAW found;
  // "*.EXT" would also match longer extensions through the short names: checked below.
  const std::wstring pattern = orvaq::paths::Join(folder, L"*" + extension);
  HANDLE find = FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::wstring name = found.cFileName;
    if (name.size() >= extension.size() &&
        orvaq::EqualsNoCase(name.substr(name.size() - extension.size()), extension))
      names.push_back(name);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return true;
}

bool CKvSystemWin::StartProcess(const std::wstring& commandLine, bool show) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = WORD(show ? SW_SHOW : SW_HIDE);
  PROCESS_INFORMATION process{};
  // CreateProcessW may write into the command line: a private copy.
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                      &process))
    return false;
  CKvObjectHandle thread(process.hThread), child(process.hProcess);
  WaitForInputIdle(child.Get(), 1000);
  return true;
}

std::unique_ptr<IKvReadFile> CKvSystemWin::OpenForReading(const std::wstring& path) {
  CKvFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;
  return std::unique_ptr<IKvReadFile>(new CWinReadFile(std::move(file)));
}
