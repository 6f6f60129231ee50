// Stored acquisitions (see MultiImageList.h).
#include "ui/MultiImageList.h"

#include <cmath>
#include <cwctype>

#include "common/Text.h"

namespace orvaq::ui {

namespace {
std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}
std::wstring Trim(const std::wstring& s) {
  const size_t b = s.find_first_not_of(L" \t\r\n");
  if (b == std::wstring::npos) return std::wstring();
  return s.substr(b, s.find_last_not_of(L" \t\r\n") - b + 1);
}
}  // namespace

bool IsInfoFileName(const std::wstring& name) {
  return name.size() > 4 && Lower(name.substr(name.size() - 4)) == L".nfo";
}

std::wstring InfoFileValue(const std::string& bytes, const std::wstring& section, const std::wstring& key) {
  std::wstring text;
  if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE)
    text = orvaq::FromUtf16Le(reinterpret_cast<const uint8_t*>(bytes.data()) + 2, (bytes.size() - 2) & ~size_t(1));
  else
    text = orvaq::FromLatin1(bytes);  // each byte its own character, never sign-extended
  const std::wstring wantSection = Lower(section), wantKey = Lower(key);
  bool inSection = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
      inSection = Lower(Trim(line.substr(1, line.size() - 2))) == wantSection;
    } else if (inSection) {
      const size_t eq = line.find(L'=');
      if (eq != std::wstring::npos && Lower(Trim(line.substr(0, eq))) == wantKey) return Trim(line.substr(eq + 1));
    }
    if (end == text.size()) break;
  }
  return std::wstring();
}

int CompareEntries(double firstTime, bool firstValid, double secondTime, bool secondValid) {
  if (!firstValid || !secondValid) return 1;
  // Date-times count days: compared in whole seconds, rounded up.
  return std::ceil(firstTime * 86400.0) < std::ceil(secondTime * 86400.0) ? -1 : 1;
}

SRect ItemPictureArea(const SRect& item) { return {item.x + 5, item.y + 5, item.w - 10, item.h - 10}; }

SRect FitCentred(int width, int height, const SRect& area) {
  if (width <= 0 || height <= 0 || area.Empty()) return {};
  // The side that limits the scale decides; the other is centred.
  if (static_cast<long long>(width) * area.h > static_cast<long long>(height) * area.w) {
    const int h = static_cast<int>(static_cast<long long>(height) * area.w / width);
    return {area.x, area.y + (area.h - h) / 2, area.w, h};
  }
  const int w = static_cast<int>(static_cast<long long>(width) * area.h / height);
  return {area.x + (area.w - w) / 2, area.y, w, area.h};
}

}  // namespace orvaq::ui
