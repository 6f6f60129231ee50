// Sharpening filters and their rules (see Filters.h). The fast forms keep the literal
// definitions' integer arithmetic exactly, only ordered for speed.
#include "imaging/Filters.h"
#include "imaging/Gather.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/Text.h"

// SSE2 forms of the integer kernels (every x86 build here has SSE2: the i686 programs are
// built with it); other processors, or a build defining ORVAQ_PLAIN_KERNELS, take the
// plain loops, which give the same bytes.
#if defined(__SSE2__) && !defined(ORVAQ_PLAIN_KERNELS)
#define ORVAQ_SSE2 1
#include <emmintrin.h>
#else
#define ORVAQ_SSE2 0
#endif

namespace orvaq {
namespace imaging {

namespace {

struct GaussTables {
  int t5[25];
  int t17[289];
  GaussTables() {
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx)
        t5[(dy + 2) * 5 + dx + 2] = int(std::lround(1000.0 * std::exp(-(dx * dx + dy * dy) / 2.0)));
    for (int dy = -8; dy <= 8; ++dy)
      for (int dx = -8; dx <= 8; ++dx)
        t17[(dy + 8) * 17 + dx + 8] = int(std::lround(1000.0 * std::exp(-(dx * dx + dy * dy) / 32.0)));
  }
};
const GaussTables& Tables() {
  static const GaussTables t;
  return t;
}

inline uint8_t Clamp255(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Each of `width` grey bytes to the three channels of its pixel: one 4-byte store per
// pixel, its fourth byte overwritten by the next pixel.
void SpreadGrey(const uint8_t* src, int width, uint8_t* dst) {
  int x = 0;
  for (; x + 1 < width; ++x) {
    const uint32_t v = src[x] * 0x01010101u;
    std::memcpy(dst + 3 * x, &v, 4);
  }
  for (; x < width; ++x) dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = src[x];
}

// ---- BoxUnsharp -------------------------------------------------------------------
// Rows of L samples whose neighbours are s apart (s = 3: the three channels of 24-bit
// rows side by side). Column sums over n rows fit 16 bits (49 * 255); a running sum
// along the row turns them into window sums.

// sum / n^2 for a window sum (at most 49 * 49 * 255 < 2^20) as (sum + 0.5) * (1 / n^2) in
// single precision, which vectorises: the true quotient of sum + 0.5 lies at least
// 0.5 / n^2 (>= 2e-4) from an integer and the two roundings move it by under 256 * 2^-23
// (3e-5), so the truncation equals the integer quotient for every possible sum.
inline int BoxMean(uint32_t sum, float inv) { return int((float(int32_t(sum)) + 0.5f) * inv); }

// col[i] += add[i] - sub[i] (wrapping in 16 bits, exact since the result fits).
void BoxColumns(uint16_t* __restrict col, const uint8_t* __restrict add, const uint8_t* __restrict sub, int L) {
  for (int i = 0; i < L; ++i) col[i] = uint16_t(col[i] + add[i] - sub[i]);
}

// pf[i + s] = pf[i] + col[i], pf[0..s) = 0. `col` is readable one sample past L and `pf`
// writable one past L + s.
void BoxRunningSums(const uint16_t* col, int L, int s, uint32_t* pf) {
  for (int k = 0; k < s; ++k) pf[k] = 0;
#if ORVAQ_SSE2
  if (s == 3) {
    // One pixel per step: its three sums in one register (the fourth lane is spare and
    // overwritten by the next store).
    const __m128i zero = _mm_setzero_si128();
    __m128i run = zero;
    for (int i = 0; i < L; i += 3) {
      const __m128i c = _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(col + i)), zero);
      run = _mm_add_epi32(run, c);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(pf + i + 3), run);
    }
    return;
  }
#endif
  for (int i = 0; i < L; ++i) pf[i + s] = pf[i] + col[i];
}

// Output samples [rs, L - rs) of one row: 2 centre - mean, clamped.
void BoxOutput(const uint32_t* pf, const uint8_t* __restrict centre, int L, int s, int r, float inv,
               uint8_t* __restrict out) {
  const uint32_t* __restrict hi = pf + s * (r + 1);
  const uint32_t* __restrict lo = pf - s * r;
  const int first = s * r, last = L - s * r;
  int i = first;
#if ORVAQ_SSE2
  const __m128 vinv = _mm_set1_ps(inv), half = _mm_set1_ps(0.5f);
  auto mean4 = [&](int k) {
    const __m128i sum = _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hi + k)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(lo + k)));
    return _mm_cvttps_epi32(_mm_mul_ps(_mm_add_ps(_mm_cvtepi32_ps(sum), half), vinv));
  };
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= last; i += 16) {
    const __m128i m0 = _mm_packs_epi32(mean4(i), mean4(i + 4));
    const __m128i m1 = _mm_packs_epi32(mean4(i + 8), mean4(i + 12));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre + i));
    const __m128i c0 = _mm_unpacklo_epi8(c, zero), c1 = _mm_unpackhi_epi8(c, zero);
    const __m128i v0 = _mm_sub_epi16(_mm_add_epi16(c0, c0), m0);
    const __m128i v1 = _mm_sub_epi16(_mm_add_epi16(c1, c1), m1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(v0, v1));
  }
#endif
  for (; i < last; ++i) out[i] = Clamp255(2 * int(centre[i]) - BoxMean(hi[i] - lo[i], inv));
}

// BoxUnsharp in place over rows `row(y)`: rows are saved to a ring of r + 2 before they
// are overwritten, as the sliding sums still subtract them r + 1 rows later.
template <class RowOf>
void BoxRows(int L, int h, int s, int n, RowOf row) {
  const int r = n / 2;
  const float inv = 1.0f / float(n * n);
  const int ringRows = r + 2;
  std::vector<uint8_t> ring(size_t(ringRows) * L);
  std::vector<uint16_t> col(size_t(L) + 8, 0);
  std::vector<uint32_t> pf(size_t(L) + 8, 0);
  for (int y = 0; y < n; ++y) {
    const uint8_t* in = row(y);
    for (int i = 0; i < L; ++i) col[i] = uint16_t(col[i] + in[i]);
  }
  for (int y = r; y < h - r; ++y) {
    if (y > r) {
      const int old = y - r - 1;  // overwritten already when it was an output row
      BoxColumns(col.data(), row(y + r), old >= r ? &ring[size_t(old % ringRows) * L] : row(old), L);
    }
    uint8_t* centre = &ring[size_t(y % ringRows) * L];
    std::memcpy(centre, row(y), size_t(L));
    BoxRunningSums(col.data(), L, s, pf.data());
    BoxOutput(pf.data(), centre, L, s, r, inv, row(y));
  }
}

// ---- Median3 and GaussUnsharp17 ---------------------------------------------------

// Exact 3 x 3 median of one row from the rows above (a), at (b) and below (c), samples
// [s, L - s); the end samples keep b. The median of nine is the median of (largest column
// minimum, median of column medians, smallest column maximum) over sorted columns.
void MedianRow(const uint8_t* a, const uint8_t* b, const uint8_t* c, int L, int s, uint8_t* out) {
  constexpr int kBlock = 2048;
  uint8_t lo[kBlock + 8], mid[kBlock + 8], hi[kBlock + 8];
  std::memcpy(out, b, size_t(s));
  std::memcpy(out + L - s, b + L - s, size_t(s));
  for (int c0 = s; c0 < L - s; c0 += kBlock) {
    const int c1 = std::min(c0 + kBlock, L - s);
    const int base = c0 - s, count = c1 - c0 + 2 * s;
    for (int k = 0; k < count; ++k) {
      const uint8_t p = a[base + k], q = b[base + k], t = c[base + k];
      const uint8_t mn = std::min(p, q), mx = std::max(p, q);
      lo[k] = std::min(mn, t);
      const uint8_t m2 = std::max(mn, t);
      mid[k] = std::min(mx, m2);
      hi[k] = std::max(mx, m2);
    }
    uint8_t* o = out + c0;
    const uint8_t *l0 = lo, *l1 = lo + s, *l2 = lo + 2 * s;
    const uint8_t *m0 = mid, *m1 = mid + s, *m2 = mid + 2 * s;
    const uint8_t *h0 = hi, *h1 = hi + s, *h2 = hi + 2 * s;
    for (int k = 0; k < c1 - c0; ++k) {
      const uint8_t x = std::max(std::max(l0[k], l1[k]), l2[k]);
      const uint8_t y = std::max(std::min(m0[k], m1[k]), std::min(std::max(m0[k], m1[k]), m2[k]));
      const uint8_t z = std::min(std::min(h0[k], h1[k]), h2[k]);
      o[k] = std::max(std::min(x, y), std::min(std::max(x, y), z));
    }
  }
}

// A plane's median into `out` (rows 1..h-2; their end samples are copied from `in`).
void MedianPlane(const uint8_t* in, uint8_t* out, int w, int h) {
  for (int y = 1; y < h - 1; ++y)
    MedianRow(in + size_t(y - 1) * w, in + size_t(y) * w, in + size_t(y + 1) * w, w, 1, out + size_t(y) * w);
}

// The 17 x 17 and 5 x 5 Gaussian sums of one output row use both kernels' symmetry:
// rows y - d and y + d are added first (q_d, at most 510), then for each column offset
// e the vertical sum R_e = sum over d of w[d][e] q_d is formed once per position and
// the window sum is R_0(x) + sum over e of R_e(x - e) + R_e(x + e): 81 + 9 products and
// 16 + 4 additions per sample instead of 289 + 25. All in exact integers, ordered for
// speed only; blocks of kGaussBlock samples keep the work in the first-level cache.
constexpr int kGaussBlock = 256;
constexpr int kGaussSpan = kGaussBlock + 16 * 3 + 32;  // positions of a block, with margins

struct GaussScratch {
  int16_t w17[9][9], w5[3][3];  // [d][e]
  std::vector<int16_t> q;       // SSE2: 5 pair arrays (q_2k, q_2k+1); else 9 arrays
  std::vector<int32_t> r17, r5, acc17, acc5;
  GaussScratch() : q(size_t(10) * kGaussSpan), r17(kGaussSpan), r5(kGaussSpan), acc17(kGaussSpan), acc5(kGaussSpan) {
    const GaussTables& T = Tables();
    for (int d = 0; d < 9; ++d)
      for (int e = 0; e < 9; ++e) w17[d][e] = int16_t(T.t17[(d + 8) * 17 + e + 8]);
    for (int d = 0; d < 3; ++d)
      for (int e = 0; e < 3; ++e) w5[d][e] = int16_t(T.t5[(d + 2) * 5 + e + 2]);
  }
};

// rows[k] is the median row y - 8 + k; output samples [c0, c1).
#if ORVAQ_SSE2
// The products as pairs: q_2k and q_2k+1 of a position side by side, so one multiply-add
// instruction forms w[2k][e] q_2k + w[2k+1][e] q_2k+1 for four positions. Every row is
// readable 32 bytes past its end (the ring's margin); samples past c1 are computed from
// whatever lies there and never stored.
void GaussBlock(const uint8_t* const* rows, int s, int c0, int c1, uint8_t* out, GaussScratch& sc) {
  const int b0 = c0 - 8 * s, m = c1 - c0;
  const int n16 = (m + 16 * s + 8 + 15) & ~15;
  int16_t* P = sc.q.data();  // pair array k at P + 2 * kGaussSpan * k
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0; i < n16; i += 16) {
    __m128i qlo[10], qhi[10];
    for (int d = 0; d <= 8; ++d) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[8 - d] + b0 + i));
      qlo[d] = _mm_unpacklo_epi8(a, zero);
      qhi[d] = _mm_unpackhi_epi8(a, zero);
      if (d) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[8 + d] + b0 + i));
        qlo[d] = _mm_add_epi16(qlo[d], _mm_unpacklo_epi8(b, zero));
        qhi[d] = _mm_add_epi16(qhi[d], _mm_unpackhi_epi8(b, zero));
      }
    }
    qlo[9] = qhi[9] = zero;
    for (int k = 0; k < 5; ++k) {
      __m128i* dst = reinterpret_cast<__m128i*>(P + 2 * kGaussSpan * k + 2 * i);
      _mm_storeu_si128(dst + 0, _mm_unpacklo_epi16(qlo[2 * k], qlo[2 * k + 1]));
      _mm_storeu_si128(dst + 1, _mm_unpackhi_epi16(qlo[2 * k], qlo[2 * k + 1]));
      _mm_storeu_si128(dst + 2, _mm_unpacklo_epi16(qhi[2 * k], qhi[2 * k + 1]));
      _mm_storeu_si128(dst + 3, _mm_unpackhi_epi16(qhi[2 * k], qhi[2 * k + 1]));
    }
  }
  auto pairWeight = [](int16_t lo, int16_t hi) { return _mm_set1_epi32(int32_t(uint32_t(uint16_t(lo)) | uint32_t(uint16_t(hi)) << 16)); };
  int32_t* r17 = sc.r17.data();
  int32_t* r5 = sc.r5.data();
  int32_t* acc17 = sc.acc17.data();
  int32_t* acc5 = sc.acc5.data();
  const int m4 = (m + 3) & ~3;
  for (int e = 0; e <= 8; ++e) {
    __m128i w[5];
    for (int k = 0; k < 5; ++k) w[k] = pairWeight(sc.w17[2 * k][e], k < 4 ? sc.w17[2 * k + 1][e] : int16_t(0));
    const bool five = e <= 2;
    const __m128i v0 = five ? pairWeight(sc.w5[0][e], sc.w5[1][e]) : zero;
    const __m128i v1 = five ? pairWeight(sc.w5[2][e], 0) : zero;
    const int lo = (8 - e) * s, span = e * s, count = m4 + 2 * span;
    for (int i = 0; i < count; i += 4) {
      const int16_t* p = P + 2 * (lo + i);
      const __m128i p0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i p1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * kGaussSpan));
      __m128i sum = _mm_add_epi32(_mm_madd_epi16(p0, w[0]), _mm_madd_epi16(p1, w[1]));
      for (int k = 2; k < 5; ++k)
        sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * kGaussSpan * k)), w[k]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(r17 + i), sum);
      if (five)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r5 + i), _mm_add_epi32(_mm_madd_epi16(p0, v0), _mm_madd_epi16(p1, v1)));
    }
    for (int j = 0; j < m4; j += 4) {
      const __m128i* a = reinterpret_cast<const __m128i*>(r17 + j);
      __m128i* t = reinterpret_cast<__m128i*>(acc17 + j);
      if (e == 0) {
        _mm_storeu_si128(t, _mm_loadu_si128(a));
      } else {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r17 + j + 2 * span));
        _mm_storeu_si128(t, _mm_add_epi32(_mm_loadu_si128(t), _mm_add_epi32(_mm_loadu_si128(a), b)));
      }
      if (five) {
        const __m128i* a5 = reinterpret_cast<const __m128i*>(r5 + j);
        __m128i* t5 = reinterpret_cast<__m128i*>(acc5 + j);
        if (e == 0) {
          _mm_storeu_si128(t5, _mm_loadu_si128(a5));
        } else {
          const __m128i b5 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r5 + j + 2 * span));
          _mm_storeu_si128(t5, _mm_add_epi32(_mm_loadu_si128(t5), _mm_add_epi32(_mm_loadu_si128(a5), b5)));
        }
      }
    }
  }
  // Quotients: (sum + 0.5) times the reciprocal, truncated. The true value of (sum + 0.5) / D
  // lies at least 0.5 / D from an integer; the roundings move it by far less (double:
  // 2^-44 at 256 against 5e-6 for D = 93988; float: 256 * 2^-23 against 8e-5 for D = 6168,
  // exact since the 5 x 5 sum is below 2^21), so each equals the integer quotient.
  const __m128d inv17 = _mm_set1_pd(1.0 / kGaussDivisor17), halfd = _mm_set1_pd(0.5);
  const __m128 inv5 = _mm_set1_ps(1.0f / kGaussDivisor5), halff = _mm_set1_ps(0.5f);
  auto div17 = [&](const int32_t* a) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128d lo = _mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(v), halfd), inv17);
    const __m128d hi = _mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(v, 0x0E)), halfd), inv17);
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(lo), _mm_cvttpd_epi32(hi));
  };
  auto div5 = [&](const int32_t* a) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    return _mm_cvttps_epi32(_mm_mul_ps(_mm_add_ps(_mm_cvtepi32_ps(v), halff), inv5));
  };
  const __m128i max255 = _mm_set1_epi16(255);
  const uint8_t* centre = rows[8] + c0;
  for (int j = 0; j < m; j += 8) {
    const __m128i b17 = _mm_min_epi16(_mm_packs_epi32(div17(acc17 + j), div17(acc17 + j + 4)), max255);
    const __m128i b5 = _mm_min_epi16(_mm_packs_epi32(div5(acc5 + j), div5(acc5 + j + 4)), max255);
    const __m128i c = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(centre + j)), zero);
    // c + 2 (c - b5) + 4 (c - b17) = 8c - c - 2 b5 - 4 b17
    const __m128i v = _mm_sub_epi16(_mm_sub_epi16(_mm_sub_epi16(_mm_slli_epi16(c, 3), c), _mm_slli_epi16(b5, 1)),
                                    _mm_slli_epi16(b17, 2));
    const __m128i bytes = _mm_packus_epi16(v, v);
    if (j + 8 <= m) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + c0 + j), bytes);
    } else {
      uint8_t tail[16];
      _mm_storeu_si128(reinterpret_cast<__m128i*>(tail), bytes);
      std::memcpy(out + c0 + j, tail, size_t(m - j));
    }
  }
}
#else
void GaussBlock(const uint8_t* const* rows, int s, int c0, int c1, uint8_t* out, GaussScratch& sc) {
  const int b0 = c0 - 8 * s, m = c1 - c0, n = m + 16 * s;
  int16_t* q = sc.q.data();  // q_d at q + kGaussSpan * d
  for (int d = 0; d <= 8; ++d) {
    const uint8_t* a = rows[8 - d] + b0;
    const uint8_t* b = rows[8 + d] + b0;
    int16_t* qd = q + kGaussSpan * d;
    if (d == 0) for (int i = 0; i < n; ++i) qd[i] = a[i];
    else for (int i = 0; i < n; ++i) qd[i] = int16_t(a[i] + b[i]);
  }
  int32_t* r17 = sc.r17.data();
  int32_t* r5 = sc.r5.data();
  int32_t* acc17 = sc.acc17.data();
  int32_t* acc5 = sc.acc5.data();
  for (int e = 0; e <= 8; ++e) {
    const int lo = (8 - e) * s, span = e * s, count = m + 2 * span;
    for (int i = 0; i < count; ++i) {
      int32_t v = 0;
      for (int d = 0; d <= 8; ++d) v += sc.w17[d][e] * q[kGaussSpan * d + lo + i];
      r17[i] = v;
    }
    if (e <= 2)
      for (int i = 0; i < count; ++i)
        r5[i] = sc.w5[0][e] * q[lo + i] + sc.w5[1][e] * q[kGaussSpan + lo + i] + sc.w5[2][e] * q[2 * kGaussSpan + lo + i];
    for (int j = 0; j < m; ++j) {
      acc17[j] = e ? acc17[j] + r17[j] + r17[j + 2 * span] : r17[j];
      if (e <= 2) acc5[j] = e ? acc5[j] + r5[j] + r5[j + 2 * span] : r5[j];
    }
  }
  const uint8_t* centre = rows[8] + c0;
  for (int j = 0; j < m; ++j) {
    const int b5 = std::min(255, acc5[j] / kGaussDivisor5);
    const int b17 = std::min(255, acc17[j] / kGaussDivisor17);
    const int v = centre[j];
    out[c0 + j] = Clamp255(v + 2 * (v - b5) + 4 * (v - b17));
  }
}
#endif

void GaussRow(const uint8_t* const* rows, int L, int s, uint8_t* out, GaussScratch& sc) {
  std::memcpy(out, rows[8], size_t(8 * s));
  std::memcpy(out + L - 8 * s, rows[8] + L - 8 * s, size_t(8 * s));
  for (int c0 = 8 * s; c0 < L - 8 * s; c0 += kGaussBlock) GaussBlock(rows, s, c0, std::min(c0 + kGaussBlock, L - 8 * s), out, sc);
}

// Median3 then GaussUnsharp17 (either may be left out) streamed over rows of L samples,
// neighbours s apart: `load(y)` gives the original row y (called once per row, in order;
// the last three stay readable), `store(y, row)` takes the finished row y. Median rows go
// to a ring of 17 (3 without the Gaussian); a row is finished 8 (1) rows after its median,
// so a caller working in place is never asked for a row it has already been given back.
template <class Load, class Store>
void MedianGaussRows(int L, int h, int s, bool median, bool gauss, Load load, Store store) {
  const int w = L / s;
  median = median && w >= 3 && h >= 3;
  gauss = gauss && w >= 17 && h >= 17;
  if (!median && !gauss) return;
  const int lag = gauss ? 8 : 1, ringRows = 2 * lag + 1;
  const size_t pitch = size_t(L) + 32;  // readable margin for the block loads
  std::vector<uint8_t> ring(ringRows * pitch, 0), done(pitch, 0);
  auto slot = [&](int y) { return &ring[size_t(y % ringRows) * pitch]; };
  GaussScratch sc;
  auto finish = [&](int y) {
    if (gauss && y >= 8 && y < h - 8) {
      const uint8_t* rows[17];
      for (int k = 0; k < 17; ++k) rows[k] = slot(y - 8 + k);
      GaussRow(rows, L, s, done.data(), sc);
      store(y, done.data());
    } else {
      store(y, slot(y));
    }
  };
  const uint8_t* prev = nullptr;
  const uint8_t* cur = load(0);
  const uint8_t* next = h > 1 ? load(1) : nullptr;
  for (int y = 0; y < h; ++y) {
    if (median && y >= 1 && y < h - 1) MedianRow(prev, cur, next, L, s, slot(y));
    else std::memcpy(slot(y), cur, size_t(L));
    if (y >= lag) finish(y - lag);
    prev = cur;
    cur = next;
    next = y + 2 < h ? load(y + 2) : nullptr;
  }
  for (int y = std::max(0, h - lag); y < h; ++y) finish(y);
}

// The grey picture on its first channel (written to all three), else the three channels
// side by side in place.
void MedianGauss(const PictureView& p, bool median, bool gauss) {
  if (!p.Valid()) return;
  const int w = p.width, h = p.height;
  if (IsGreyPicture(p)) {
    std::vector<uint8_t> in(size_t(4) * w);
    MedianGaussRows(
        w, h, 1, median, gauss,
        [&](int y) {
          uint8_t* d = &in[size_t(y % 4) * w];
          GatherFirstOf3(p.Row(y), w, d, p.Row(y));
          return static_cast<const uint8_t*>(d);
        },
        [&](int y, const uint8_t* row) { SpreadGrey(row, w, p.Row(y)); });
  } else {
    MedianGaussRows(
        3 * w, h, 3, median, gauss, [&](int y) { return static_cast<const uint8_t*>(p.Row(y)); },
        [&](int y, const uint8_t* row) { std::memcpy(p.Row(y), row, size_t(3) * w); });
  }
}

// One line of the separable Gaussian blur: the line extended at both ends by n copies
// of its end value, out(j) = w0 x(j) + sum over i of w(i) (x(j - i) + x(j + i)).
#if defined(__GNUC__)
#define ORVAQ_ALWAYS_INLINE __attribute__((always_inline))
#else
#define ORVAQ_ALWAYS_INLINE
#endif

ORVAQ_ALWAYS_INLINE inline void BlurRowBody(const double* src, int L, const std::vector<double>& wts, double* dst,
                                            std::vector<double>& ext) {
  const int n = int(wts.size());
  ext.resize(size_t(L) + 2 * n);
  for (int k = 0; k < n; ++k) ext[k] = src[0];
  std::copy(src, src + L, ext.begin() + n);
  for (int k = 0; k < n; ++k) ext[size_t(n) + L + k] = src[L - 1];
  const double* x = ext.data() + n;
  // Term by term over the whole line: each output still adds its terms in order.
  for (int j = 0; j < L; ++j) dst[j] = wts[0] * x[j];
  for (int i = 1; i < n; ++i) {
    const double wi = wts[i];
    const double* a = x - i;
    const double* b = x + i;
    for (int j = 0; j < L; ++j) dst[j] += wi * (a[j] + b[j]);
  }
}

// One row of the same blur along the columns (the rows beyond the ends are the end
// rows), each output's terms added in the same order.
ORVAQ_ALWAYS_INLINE inline void BlurColumnRowBody(const double* src, int w, int h, int j,
                                                  const std::vector<double>& wts, double* out) {
  const int n = int(wts.size());
  const double* c = src + size_t(j) * w;
  for (int x = 0; x < w; ++x) out[x] = wts[0] * c[x];
  for (int i = 1; i < n; ++i) {
    const double* a = src + size_t(std::max(j - i, 0)) * w;
    const double* b = src + size_t(std::min(j + i, h - 1)) * w;
    const double wi = wts[i];
    for (int x = 0; x < w; ++x) out[x] += wi * (a[x] + b[x]);
  }
}

// The loops above compiled once more for processors with AVX2, chosen at run time (the
// shipped programs cannot assume it). No fused multiply-add is enabled, so both give the
// same bits.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ORVAQ_BLUR_AVX2 1
__attribute__((target("avx2"))) void BlurRowAvx2(const double* src, int L, const std::vector<double>& wts,
                                                 double* dst, std::vector<double>& ext) {
  BlurRowBody(src, L, wts, dst, ext);
}
__attribute__((target("avx2"))) void BlurColumnRowAvx2(const double* src, int w, int h, int j,
                                                       const std::vector<double>& wts, double* out) {
  BlurColumnRowBody(src, w, h, j, wts, out);
}
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

void BlurRow(const double* src, int L, const std::vector<double>& wts, double* dst, std::vector<double>& ext) {
#ifdef ORVAQ_BLUR_AVX2
  if (HasAvx2()) return BlurRowAvx2(src, L, wts, dst, ext);
#endif
  BlurRowBody(src, L, wts, dst, ext);
}

void BlurColumnRow(const double* src, int w, int h, int j, const std::vector<double>& wts, double* out) {
#ifdef ORVAQ_BLUR_AVX2
  if (HasAvx2()) return BlurColumnRowAvx2(src, w, h, j, wts, out);
#endif
  BlurColumnRowBody(src, w, h, j, wts, out);
}

// 5 x 5 mean (sum / 25) of the interior with sliding sums; borders of 2 keep `in`.
void Mean5Plane(const uint8_t* in, uint8_t* out, int w, int h) {
  if (w < 5 || h < 5) return;
  std::vector<uint32_t> col(w, 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < w; ++x) col[x] += in[size_t(y) * w + x];
  for (int y = 2; y < h - 2; ++y) {
    if (y > 2) {
      const uint8_t* sub = in + size_t(y - 3) * w;
      const uint8_t* add = in + size_t(y + 2) * w;
      for (int x = 0; x < w; ++x) col[x] += uint32_t(add[x]) - sub[x];
    }
    uint32_t s = col[0] + col[1] + col[2] + col[3] + col[4];
    uint8_t* o = out + size_t(y) * w;
    for (int x = 2; x < w - 2; ++x) {
      if (x > 2) s += col[x + 2] - col[x - 3];
      o[x] = uint8_t(s / 25);
    }
  }
}

std::vector<double> GaussWeights(double s, int L) {
  const int longest = std::max(L, 50);
  const int n = std::min(longest, int(std::ceil(s * std::sqrt(-2.0 * std::log(0.01)))) + 1);
  std::vector<double> w(n);
  for (int i = 0; i < n; ++i) w[i] = std::exp(-double(i) * i / (2 * s * s));
  double norm = w[0];
  for (int i = 1; i < n; ++i) norm += 2 * w[i];
  if (n == longest) norm = s * std::sqrt(2 * 3.14159265358979323846);
  for (double& v : w) v /= norm;
  return w;
}

}  // namespace

const int* GaussTable5() { return Tables().t5; }
const int* GaussTable17() { return Tables().t17; }

bool IsGreyPicture(const PictureView& p) {
  if (p.width <= 0 || p.height <= 0) return true;
  // A pixel is grey when its byte 0 equals byte 1 and byte 1 equals byte 2: over the
  // row, byte i equals byte i + 1 wherever i % 3 != 2. Masked differences of neighbours
  // keep the loop unit-stride (it vectorises); a row is judged as a whole.
  const int last = 3 * p.width - 1;  // byte pairs (i, i + 1), i < last
  std::vector<uint8_t> mask(size_t(last) + 1);
  for (int i = 0; i < last; ++i) mask[i] = i % 3 == 2 ? 0 : 0xFF;
  for (int y = 0; y < p.height; ++y) {
    const uint8_t* row = p.Row(y);
    const uint8_t* m = mask.data();
    uint8_t diff = 0;
    for (int i = 0; i < last; ++i) diff |= uint8_t((row[i] ^ row[i + 1]) & m[i]);
    if (diff) return false;
  }
  return true;
}

void ApplyNeighbourhood(const PictureView& p, int n, NeighbourhoodOp op, const void* params) {
  if (!p.Valid() || n < 1 || !op) return;
  const int r = n / 2;
  std::vector<uint8_t> copy(size_t(p.stride) * p.height);
  for (int y = 0; y < p.height; ++y) std::memcpy(&copy[size_t(y) * p.stride], p.Row(y), size_t(p.width) * 3);
  const bool grey = IsGreyPicture(p);
  for (int y = r; y < p.height - r; ++y) {
    uint8_t* row = p.Row(y);
    const uint8_t* src = &copy[size_t(y) * p.stride];
    for (int x = r; x < p.width - r; ++x) {
      const uint8_t* left = src + 3 * (x - r);
      if (grey) {
        row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = op(left, p.stride, params);
      } else {
        for (int c = 0; c < 3; ++c) row[3 * x + c] = op(left + c, p.stride, params);
      }
    }
  }
}

uint8_t MedianOp3(const uint8_t* w, ptrdiff_t stride, const void*) {
  uint8_t v[9];
  int k = 0;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = 0; dx < 3; ++dx) v[k++] = w[dy * stride + 3 * dx];
  std::sort(v, v + 9);
  return v[4];
}

uint8_t BoxUnsharpOp(const uint8_t* w, ptrdiff_t stride, const void* params) {
  const int n = *static_cast<const int*>(params);
  const int r = n / 2;
  int sum = 0;
  for (int dy = -r; dy <= r; ++dy)
    for (int dx = 0; dx < n; ++dx) sum += w[dy * stride + 3 * dx];
  const int centre = w[3 * r];
  return Clamp255(2 * centre - sum / (n * n));
}

uint8_t GaussUnsharpOp17(const uint8_t* w, ptrdiff_t stride, const void*) {
  const int* t5 = GaussTable5();
  const int* t17 = GaussTable17();
  int s5 = 0, s17 = 0;
  for (int dy = -8; dy <= 8; ++dy)
    for (int dx = -8; dx <= 8; ++dx) {
      const int v = w[dy * stride + 3 * (dx + 8)];
      s17 += t17[(dy + 8) * 17 + dx + 8] * v;
      if (dy >= -2 && dy <= 2 && dx >= -2 && dx <= 2) s5 += t5[(dy + 2) * 5 + dx + 2] * v;
    }
  const int b5 = std::clamp(s5 / kGaussDivisor5, 0, 255);
  const int b17 = std::clamp(s17 / kGaussDivisor17, 0, 255);
  const int c = w[3 * 8];
  return Clamp255(c + 2 * (c - b5) + 4 * (c - b17));
}

bool BoxUnsharp(const PictureView& p, int size) {
  if (size < 3 || size > 49 || size % 2 == 0) return false;
  const int r = size / 2;
  const int w = p.width, h = p.height;
  if (!p.Valid() || w <= 2 * r || h <= 2 * r) return true;
  // The three channels side by side, grey or not: the sums of a grey picture's three
  // channels are equal, and one pass over the rows costs less than taking the first
  // channel out and spreading the result back.
  BoxRows(3 * w, h, 3, size, [&](int y) { return p.Row(y); });
  return true;
}

void Median3(const PictureView& p) { MedianGauss(p, true, false); }
void GaussUnsharp17(const PictureView& p) { MedianGauss(p, false, true); }
void MedianGaussianUnsharp(const PictureView& p) { MedianGauss(p, true, true); }

void GaussianPass(const PictureView& p, double sigma, double strength, double gamma) {
  if (!p.Valid()) return;
  const int w = p.width, h = p.height;
  if (sigma != 0) {
    const double s = 0.8 * sigma;
    std::vector<double> plane(size_t(w) * h), tmp(plane.size()), ext;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) plane[size_t(y) * w + x] = p.Row(y)[3 * x];
    const std::vector<double> wr = GaussWeights(s, w), wc = GaussWeights(s, h);
    for (int y = 0; y < h; ++y) BlurRow(&plane[size_t(y) * w], w, wr, &tmp[size_t(y) * w], ext);
    // Each blurred row is used at once, so the blurred plane is never stored whole.
    std::vector<double> blurred(static_cast<size_t>(w));
    std::vector<uint8_t> bytes(plane.size());
    for (int y = 0; y < h; ++y) {
      BlurColumnRow(tmp.data(), w, h, y, wc, blurred.data());
      const double* in = &plane[size_t(y) * w];
      uint8_t* out = &bytes[size_t(y) * w];
      for (int x = 0; x < w; ++x) {
        const double v = (in[x] - strength * blurred[x]) / (1 - strength);
        out[x] = uint8_t(v <= 0 ? 0 : v >= 255 ? 255 : int(v));
      }
    }
    std::vector<uint8_t> med = bytes;
    if (w >= 3 && h >= 3) MedianPlane(bytes.data(), med.data(), w, h);
    std::vector<uint8_t> mean = med;
    Mean5Plane(med.data(), mean.data(), w, h);
    for (int y = 0; y < h; ++y) {
      uint8_t* row = p.Row(y);
      for (int x = 0; x < w; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = mean[size_t(y) * w + x];
    }
  }
  if (gamma != 1 && gamma > 0) {
    uint8_t table[256];
    for (int i = 0; i < 256; ++i)
      table[i] = uint8_t(std::clamp(std::floor(255.0 * std::pow(i / 255.0, gamma)), 0.0, 255.0));
    for (int y = 0; y < h; ++y) {
      uint8_t* row = p.Row(y);
      for (int x = 0; x < w; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = table[row[3 * x]];
    }
  }
}

bool GaussianUnsharp(const PictureView& p, int amount, int type) {
  if (type < 1 || type > 3 || amount < 33 || amount > 93) return false;
  GaussianPass(p, 10, amount / 100.0, 1.0);
  if (type == 2) GaussianPass(p, 0, 0, 1.7);
  if (type == 3) GaussianPass(p, 0, 0, 2.6);
  return true;
}

DisplayFilterSettings DisplayFilterFor(int level) {
  DisplayFilterSettings s;
  if (level >= 100) {
    s.iterations = 50;
    s.strength = (level + 120) / 1000.0;
    s.strong = 1;
  }
  return s;
}

int DisplayFilterImageCode(int width, int height) {
  const int shorter = std::min(width, height), longer = std::max(width, height);
  if (shorter <= 0) return 12;
  const double ratio = double(longer) / shorter;
  int lo, hi;
  if (ratio > 1.75) { lo = 50; hi = 58; }
  else if (ratio > 1.63) { lo = 37; hi = 43; }
  else if (ratio > 1.45) { lo = 32; hi = 38; }
  else { lo = 38; hi = 44; }
  const int a = shorter / 30, b = shorter / 40;
  const double c = shorter / 58.2;
  if (lo < a && a < hi) return 0;
  if (lo < b && b < hi) return 2;
  if (lo < c && c < hi) return 10;
  return 12;
}

std::wstring ProgramBaseName(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return name;
}

ModuleFilter FilterForProgram(const std::wstring& programName) {
  const std::wstring n = AsciiUpper(programName);
  if (n == L"ORVAQ") return ModuleFilter::Display;
  if (n == L"TAVIN1W") return ModuleFilter::Box;
  if (n == L"SELKU1W" || n == L"SELKW1W") return ModuleFilter::MedianGaussian;
  if (n == L"SELK2W") return ModuleFilter::Gaussian;
  return ModuleFilter::None;
}

int BoxSizeFromValue(int value) {
  if (value % 2 == 0) value -= 1;
  return std::clamp(value, 3, 49);
}
int GaussianAmountFromValue(int value) { return std::clamp(value, 33, 93); }
int GaussianTypeFromLevel(int level) { return std::clamp(level, 0, 3); }

}  // namespace imaging
}  // namespace orvaq
