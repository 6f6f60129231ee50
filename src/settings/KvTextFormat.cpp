// Placeholder filling for resource texts (see KvTextFormat.h).
#include "settings/KvTextFormat.h"

#include <cwctype>

std::wstring FormatText(const std::wstring& format, const std::vector<CKvTextArg>& args) {
  std::wstring out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%') {
      out.push_back(format[i]);
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == L'%') {
      out.push_back(L'%');
      ++i;
      continue;
    }
    // flags, width, precision, length, then the conversion letter
    size_t j = i + 1;
    while (j < format.size() && (format[j] == L'-' || format[j] == L'+' || format[j] == L' ' ||
                                 format[j] == L'#' || format[j] == L'0' || format[j] == L'.' ||
                                 (format[j] >= L'1' && format[j] <= L'9')))
      ++j;
    while (j < format.size() && (format[j] == L'l' || format[j] == L'h' || format[j] == L'I' ||
                                 format[j] == L'6' || format[j] == L'4'))
      ++j;
    if (j < format.size()) {
      const wchar_t c = format[j];
      if (c == L's' || c == L'S' || c == L'd' || c == L'i' || c == L'u' || c == L'x' || c == L'X') {
        if (next < args.size()) {
          std::wstring text = args[next].Text();
          if (c == L'x' || c == L'X') {  // hexadecimal of a decimal argument
            long long v = 0;
            try { v = std::stoll(text); } catch (...) { v = 0; }
            wchar_t digits[32];
            const wchar_t* set = c == L'x' ? L"0123456789abcdef" : L"0123456789ABCDEF";
            unsigned long long u = static_cast<unsigned long long>(v) & 0xFFFFFFFFull;
            int n = 0;
            do { digits[n++] = set[u % 16]; u /= 16; } while (u);
            text.clear();
            while (n) text.push_back(digits[--n]);
          }
          out += text;
        }
        ++next;
        i = j;
        continue;
      }
    }
    out.push_back(L'%');  // not a placeholder: keep the percent sign as it stands
  }
  return out;
}
