// Small Windows-path helpers of the portable core (backslash paths as text).
#pragma once

#include <string>

namespace orvaq {
namespace paths {
// `folder` + "\" + `name`, with no doubled separator.
std::wstring Join(const std::wstring& folder, const std::wstring& name);
// The folder part without the trailing separator ("" when there is none).
std::wstring Folder(const std::wstring& path);
// The folder part with its separator, as the path writes it ("" when there is none).
std::wstring FolderWithSeparator(const std::wstring& path);
// File name without folder.
std::wstring FileName(const std::wstring& path);
// File name without folder and extension.
std::wstring BaseName(const std::wstring& path);
// `path` with its extension replaced by `extension` (which includes the dot).
std::wstring ReplaceExtension(const std::wstring& path, const std::wstring& extension);
bool EndsWithSeparator(const std::wstring& path);
std::wstring WithTrailingSeparator(const std::wstring& path);
std::wstring WithoutTrailingSeparator(const std::wstring& path);
}  // namespace paths
}  // namespace orvaq
