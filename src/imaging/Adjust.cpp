// Display adjustments on plain pixels (see Adjust.h).
#include "imaging/Adjust.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <vector>
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(ORVAQ_PLAIN_KERNELS)
#include <immintrin.h>
#endif

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

namespace {

// Below this many bytes the pair table would cost more to build than it saves.
constexpr size_t kPairTableMinBytes = size_t(1) << 18;

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(ORVAQ_PLAIN_KERNELS)
#define ORVAQ_TABLE_VBMI 1
// Processors with the AVX-512 byte permutes look up 64 bytes at once: two permutes over
// the table's halves (each index's low seven bits), the index's top bit choosing between
// them. Seven vector registers, so nothing is spilled to the stack. Chosen at run time.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void ApplyTableRowsVbmi(const PictureView& p, size_t n,
                                                                              const uint8_t* t) {
  const __m512i t0 = _mm512_loadu_si512(t), t1 = _mm512_loadu_si512(t + 64);
  const __m512i t2 = _mm512_loadu_si512(t + 128), t3 = _mm512_loadu_si512(t + 192);
  for (int y = 0; y < p.height; ++y) {
    uint8_t* row = p.Row(y);
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
      const __m512i x = _mm512_loadu_si512(row + i);
      const __m512i low = _mm512_permutex2var_epi8(t0, x, t1);
      const __m512i high = _mm512_permutex2var_epi8(t2, x, t3);
      _mm512_storeu_si512(row + i, _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high));
    }
    for (; i < n; ++i) row[i] = t[row[i]];
  }
}
bool HasVbmi() {
  static const bool has = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
  return has;
}
#endif

}  // namespace

// Without those permutes, two bytes per look-up: a 65536-entry table of byte pairs
// (128 KiB, built in a few microseconds) maps each 16-bit load to its 16-bit result,
// half the look-ups, loads and stores of the byte loop. A pair read through memory in the machine's own
// order maps to the pair written back the same way, so this holds on any byte order.
// Small pictures keep the byte loop.
void ApplyTable24(const PictureView& p, const uint8_t table[256]) {
  if (!p.data || p.width <= 0 || p.height <= 0) return;
  const size_t n = size_t(p.width) * 3;
  uint8_t t[256];
  std::memcpy(t, table, sizeof t);  // a local copy: stores to the rows cannot change it
#ifdef ORVAQ_TABLE_VBMI
  if (HasVbmi()) return ApplyTableRowsVbmi(p, n, t);
#endif
  if (n * size_t(p.height) < kPairTableMinBytes) {
    for (int y = 0; y < p.height; ++y) {
      uint8_t* row = p.Row(y);
      for (size_t i = 0; i < n; ++i) row[i] = t[row[i]];
    }
    return;
  }
  std::vector<uint16_t> pairs(65536);
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) {
      const uint8_t in[2] = {uint8_t(a), uint8_t(b)}, out[2] = {t[a], t[b]};
      uint16_t key, value;
      std::memcpy(&key, in, 2);
      std::memcpy(&value, out, 2);
      pairs[key] = value;
    }
  const uint16_t* pt = pairs.data();
  for (int y = 0; y < p.height; ++y) {
    uint8_t* row = p.Row(y);
    size_t i = 0;
    for (; i + 2 <= n; i += 2) {
      uint16_t v;
      std::memcpy(&v, row + i, 2);
      v = pt[v];
      std::memcpy(row + i, &v, 2);
    }
    for (; i < n; ++i) row[i] = t[row[i]];
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
