// Private-profile adapter: each call opens the file by name, nothing is kept open.
#include "settings/win/KvProfileWin.h"

#include <windows.h>

#include <vector>

std::wstring CKvProfileWin::ReadString(const std::wstring& file, const std::wstring& section,
                                      const std::wstring& key, const std::wstring& def,
                                      size_t capacity) {
  if (capacity == 0) return std::wstring();
  std::vector<wchar_t> buffer(capacity, L'\0');
  const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                                           static_cast<DWORD>(capacity), file.c_str());
  return std::wstring(buffer.data(), n < capacity ? n : capacity - 1);
}

int CKvProfileWin::ReadInt(const std::wstring& file, const std::wstring& section,
                          const std::wstring& key, int def) {
  return static_cast<int>(GetPrivateProfileIntW(section.c_str(), key.c_str(), def, file.c_str()));
}

bool CKvProfileWin::WriteString(const std::wstring& file, const std::wstring& section,
                               const std::wstring& key, const std::wstring* value) {
  return WritePrivateProfileStringW(section.c_str(), key.c_str(), value ? value->c_str() : nullptr,
                                    file.c_str()) != FALSE;
}

void CKvProfileWin::Flush() {
  // Wine answers FALSE here and writes through anyway; the result means nothing.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, nullptr);
}
