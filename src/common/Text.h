// Text conversions of the portable core. Wide text in the core is a sequence of
// Unicode code points held in std::wstring (UTF-16 on Windows, UTF-32 on Linux);
// every conversion to and from bytes goes through this module so both builds agree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvaq {

// UTF-8 bytes -> wide text. Malformed sequences become U+FFFD.
std::wstring FromUtf8(const std::string& bytes);
// Wide text -> UTF-8. Lone surrogates become U+FFFD.
std::string ToUtf8(const std::wstring& text);

// UTF-16LE bytes (no BOM handling) -> wide text.
std::wstring FromUtf16Le(const uint8_t* data, size_t size);
// Wide text -> UTF-16LE bytes (without BOM).
std::string ToUtf16Le(const std::wstring& text);

// Windows Latin-1 code page as used by the log: characters up to 0xFF map to the byte
// of the same value. Returns false (and leaves `out` empty) when a character has no
// single-byte form.
bool ToLatin1(const std::wstring& text, std::string& out);
std::wstring FromLatin1(const std::string& bytes);

// ASCII-only case folding, enough for keys, switches and file extensions.
std::wstring AsciiUpper(std::wstring text);
std::wstring AsciiLower(std::wstring text);
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);

// The pieces of `text` between the separators (an empty text gives one empty piece).
std::vector<std::wstring> SplitText(const std::wstring& text, wchar_t separator);

}  // namespace orvaq
