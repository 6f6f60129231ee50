// Whole-value reads and the Windows integer rule shared by both profile backends.
#include "settings/KvProfile.h"

#include <cstdint>

std::wstring ReadProfileString(IKvProfile& profile, const std::wstring& file,
                               const std::wstring& section, const std::wstring& key,
                               const std::wstring& def) {
  size_t capacity = 256;
  for (;;) {
    std::wstring value = profile.ReadString(file, section, key, def, capacity);
    if (value.size() + 1 < capacity) return value;
    capacity += 128;
  }
}

int ParseProfileInt(const std::wstring& text, int def) {
  if (text.empty()) return def;
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  uint32_t value = 0;
  if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
    for (i += 2; i < text.size(); ++i) {
      const wchar_t c = text[i];
      uint32_t digit;
      if (c >= L'0' && c <= L'9') digit = static_cast<uint32_t>(c - L'0');
      else if (c >= L'a' && c <= L'f') digit = static_cast<uint32_t>(c - L'a' + 10);
      else if (c >= L'A' && c <= L'F') digit = static_cast<uint32_t>(c - L'A' + 10);
      else break;
      value = value * 16u + digit;
    }
  } else {
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
      value = value * 10u + static_cast<uint32_t>(text[i] - L'0');
  }
  if (negative) value = 0u - value;
  return static_cast<int>(static_cast<int32_t>(value));
}
