// Text resources on Windows (see TextResourcesWin.h).
#include "app/win/TextResourcesWin.h"
#include "common/win/KvHandle.h"

#include <richedit.h>

#include <cwchar>
#include <vector>

#include "app/StartupRules.h"
#include "logging/KvLogger.h"
#include "settings/KvParameters.h"
#include "settings/KvPaths.h"
#include "settings/win/KvSystemWin.h"

namespace {

BOOL CALLBACK TranslateChild(HWND child, LPARAM) {
  wchar_t className[129] = {};
  GetClassNameW(child, className, 128);
  CKvParameters* params = GetParameters();
  if (params && (_wcsicmp(className, L"Button") == 0 || _wcsicmp(className, L"Static") == 0))
    SetWindowTextW(child, params->GetText(GetDlgCtrlID(child)).c_str());
  return TRUE;  // the enumeration always continues
}

bool ReadVersionBlock(std::vector<unsigned char>& block, std::wstring path) {
  if (path.empty()) path = GetModulePath(nullptr);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return false;
  block.assign(size, 0);
  return GetFileVersionInfoW(path.c_str(), 0, size, block.data()) != FALSE;
}

DWORD CALLBACK StreamFromFile(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) {
  DWORD read = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(cookie), buffer, static_cast<DWORD>(wanted), &read, nullptr)) {
    *got = 0;
    return 1;
  }
  *got = static_cast<LONG>(read);
  return 0;
}

}  // namespace

void TranslateWindow(HWND window) { EnumChildWindows(window, TranslateChild, 0); }

std::wstring GetProgramVersionText(const std::wstring& path) {
  int major = 0, minor = 0, build = 0;
  std::vector<unsigned char> block;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (ReadVersionBlock(block, path) &&
      VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) && info &&
      length >= sizeof(VS_FIXEDFILEINFO)) {
    major = HIWORD(info->dwFileVersionMS);
    minor = LOWORD(info->dwFileVersionMS);
    build = HIWORD(info->dwFileVersionLS);
  }
  return FormatVersionText(major, minor, build);
}

std::wstring GetVersionResourceString(const std::wstring& name, const std::wstring& path) {
  std::vector<unsigned char> block;
  if (!ReadVersionBlock(block, path)) return std::wstring();
  struct Translation { WORD language, codePage; };
  Translation* translations = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                      &length) || !translations || length < sizeof(Translation))
    return std::wstring();
  wchar_t query[256];
  swprintf(query, 256, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language, translations[0].codePage,
           name.c_str());
  wchar_t* value = nullptr;
  if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &length) || !value) return std::wstring();
  return std::wstring(value, length > 0 ? wcsnlen(value, length) : 0);
}

bool LoadErrorList(HWND richEdit) {
  CKvParameters* params = GetParameters();
  if (!params) return false;
  const std::wstring path = ChooseErrorListPath(orvaq::paths::Folder(params->GetTextFilePath()), params->GetLanguage(),
                                                [](const std::wstring& p) { return CKvSystemWin().FileExists(p); });
  if (path.empty()) return false;
  CKvFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  SendMessageW(richEdit, EM_SETTEXTMODE, TM_RICHTEXT, 0);
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(file.Get());
  stream.pfnCallback = StreamFromFile;
  SendMessageW(richEdit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  if (stream.dwError) LogPrintf(L"Liste des codes d'erreur : erreur %u.", static_cast<unsigned>(stream.dwError));
  return stream.dwError == 0;
}
