// UTF-8 / UTF-16 / Latin-1 conversions over code points (see Text.h).
#include "common/Text.h"

namespace orvaq {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Appends one code point to wide text: a surrogate pair where wchar_t is 16 bits.
void AppendCodePoint(std::wstring& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  if (sizeof(wchar_t) == 2 && cp > 0xFFFF) {
    cp -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(cp));
  }
}

// Reads the code point at text[i], advancing i; pairs surrogates on 16-bit wchar_t.
char32_t NextCodePoint(const std::wstring& text, size_t& i) {
  char32_t c = static_cast<char32_t>(text[i++]);
  if (sizeof(wchar_t) == 2) c &= 0xFFFF;
  if (c >= 0xD800 && c <= 0xDBFF) {
    if (i < text.size()) {
      char32_t d = static_cast<char32_t>(text[i]) & 0xFFFF;
      if (d >= 0xDC00 && d <= 0xDFFF) {
        ++i;
        return 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
      }
    }
    return kReplacement;
  }
  if (c >= 0xDC00 && c <= 0xDFFF) return kReplacement;
  if (c > 0x10FFFF) return kReplacement;
  return c;
}

}  // namespace

std::wstring FromUtf8(const std::string& bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    const unsigned char b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) {
      out.push_back(static_cast<wchar_t>(b0));
      ++i;
      continue;
    }
    int len = 0;
    char32_t cp = 0, min = 0;
    if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; min = 0x10000; }
    else { AppendCodePoint(out, kReplacement); ++i; continue; }
    int k = 1;
    for (; k < len && i + k < n; ++k) {
      const unsigned char b = static_cast<unsigned char>(bytes[i + k]);
      if ((b & 0xC0) != 0x80) break;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (k < len || cp < min) {  // truncated, broken or overlong
      AppendCodePoint(out, kReplacement);
      i += k;
      continue;
    }
    AppendCodePoint(out, cp);
    i += len;
  }
  return out;
}

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const char32_t cp = NextCodePoint(text, i);
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::wstring FromUtf16Le(const uint8_t* data, size_t size) {
  std::wstring out;
  out.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) {
    char32_t c = static_cast<char32_t>(data[i] | (data[i + 1] << 8));
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < size) {
      const char32_t d = static_cast<char32_t>(data[i + 2] | (data[i + 3] << 8));
      if (d >= 0xDC00 && d <= 0xDFFF) {
        AppendCodePoint(out, 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendCodePoint(out, c);
  }
  return out;
}

std::string ToUtf16Le(const std::wstring& text) {
  std::string out;
  out.reserve(text.size() * 2);
  auto put = [&out](char32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>((u >> 8) & 0xFF));
  };
  size_t i = 0;
  while (i < text.size()) {
    char32_t cp = NextCodePoint(text, i);
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

bool ToLatin1(const std::wstring& text, std::string& out) {
  out.clear();
  std::string result;
  result.reserve(text.size());
  for (wchar_t w : text) {
    const char32_t c = static_cast<char32_t>(w) & (sizeof(wchar_t) == 2 ? 0xFFFF : 0xFFFFFFFF);
    if (c > 0xFF) return false;
    result.push_back(static_cast<char>(c));
  }
  out.swap(result);
  return true;
}

std::wstring FromLatin1(const std::string& bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (char b : bytes) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(b)));
  return out;
}

std::wstring AsciiUpper(std::wstring text) {
  for (auto& c : text)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  return text;
}

std::wstring AsciiLower(std::wstring text) {
  for (auto& c : text)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
  return text;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && AsciiUpper(a) == AsciiUpper(b);
}

std::vector<std::wstring> SplitText(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::wstring::npos ? std::wstring::npos : at - start));
    if (at == std::wstring::npos) return parts;
    start = at + 1;
  }
}

}  // namespace orvaq
