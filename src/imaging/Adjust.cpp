// Display adjustments on plain pixels (see Adjust.h).
#include "imaging/Adjust.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace orvaq {
namespace imaging {

int GammaFromSetting(int g) { return g >= 0 ? 100 + 2 * g : 100 + (2 * g) / 3; }

std::wstring FormatGamma(int G) {
  wchar_t buf[32];
  std::swprintf(buf, 32, L"%01d.%02.2d", G / 100, G % 100);
  return buf;
}

bool BuildGammaTable(int G, uint8_t table[256]) {
  if (G == 100 || G <= 32 || G > 300) return false;
  const double e = G / 100.0;
  for (int v = 0; v < 256; ++v)
    table[v] = uint8_t(std::clamp(std::lround(255.0 * std::pow(v / 255.0, e)), 0L, 255L));
  return true;
}

bool BuildContrastLuminosityTable(int lum, int con, uint8_t table[256]) {
  if ((lum == 0 && con == 0) || lum < -100 || lum > 100 || con < -100 || con > 100) return false;
  const int c = con * 128 / 100;
  const int l = lum * 128 / 100;
  int d = 255 - c;
  if (d <= 0) d = 1;
  for (int i = 0; i < 256; ++i) table[i] = uint8_t(std::clamp((i + l - c) * 255 / d, 0, 255));
  return true;
}

void ApplyTable24(const PictureView& p, const uint8_t table[256]) {
  const size_t n = size_t(p.width) * 3;
  for (int y = 0; y < p.height; ++y) {
    uint8_t* row = p.Row(y);
    for (size_t i = 0; i < n; ++i) row[i] = table[row[i]];
  }
}

bool MakeUniqueFileName(std::wstring& path, const std::function<bool(const std::wstring&)>& exists) {
  const size_t slash = path.find_last_of(L"\\/");
  const size_t dot = path.find_last_of(L'.');
  const bool hasExt = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
  const std::wstring base = hasExt ? path.substr(0, dot) : path;
  const std::wstring ext = hasExt ? path.substr(dot) : std::wstring();
  // "%03d" is a minimum width: _1000 follows _999. The bound only keeps a folder that
  // answers "exists" for everything from turning this into an endless loop.
  for (int i = 1; i <= kMaxUniqueFileNumber; ++i) {
    wchar_t num[16];
    std::swprintf(num, 16, L"_%03d", i);
    std::wstring candidate = base + num + ext;
    if (candidate.size() >= 260) return false;
    if (!exists(candidate)) {
      path = candidate;
      return true;
    }
  }
  return false;
}

bool ThumbnailRect(int pw, int ph, int x, int y, int width, ThumbRect& r) {
  if (width <= 0 || pw <= 0 || ph <= 0) return false;
  r.left = x - width / 2;
  r.top = y;
  r.right = x + width / 2;
  r.bottom = y + int((long long)width * ph / pw);
  return true;
}

}  // namespace imaging
}  // namespace orvaq
