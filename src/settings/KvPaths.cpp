// Windows-path helpers (see KvPaths.h).
#include "settings/KvPaths.h"

namespace orvaq {
namespace paths {
namespace {
bool IsSep(wchar_t c) { return c == L'\\' || c == L'/'; }
size_t LastSep(const std::wstring& path) { return path.find_last_of(L"\\/"); }
}  // namespace

bool EndsWithSeparator(const std::wstring& path) { return !path.empty() && IsSep(path.back()); }

std::wstring WithTrailingSeparator(const std::wstring& path) {
  return EndsWithSeparator(path) ? path : path + L"\\";
}

std::wstring WithoutTrailingSeparator(const std::wstring& path) {
  std::wstring out = path;
  while (out.size() > 1 && IsSep(out.back())) out.pop_back();
  return out;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return name;
  return WithTrailingSeparator(folder) + name;
}

std::wstring FolderWithSeparator(const std::wstring& path) {
  const size_t s = LastSep(path);
  return s == std::wstring::npos ? std::wstring() : path.substr(0, s + 1);
}

std::wstring Folder(const std::wstring& path) {
  const size_t s = LastSep(path);
  return s == std::wstring::npos ? std::wstring() : path.substr(0, s);
}

std::wstring FileName(const std::wstring& path) {
  const size_t s = LastSep(path);
  return s == std::wstring::npos ? path : path.substr(s + 1);
}

std::wstring BaseName(const std::wstring& path) {
  std::wstring name = FileName(path);
  const size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring ReplaceExtension(const std::wstring& path, const std::wstring& extension) {
  const size_t s = LastSep(path);
  const size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || (s != std::wstring::npos && dot < s)) return path + extension;
  return path.substr(0, dot) + extension;
}
}  // namespace paths
}  // namespace orvaq
