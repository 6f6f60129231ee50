// Sharpening filters and their rules (see Filters.h). The fast forms keep the literal
// definitions' integer arithmetic exactly, only ordered for speed.
#include "imaging/Filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/Text.h"

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

// One channel of a view as a plane.
void ExtractPlane(const PictureView& p, int channel, std::vector<uint8_t>& plane) {
  plane.resize(size_t(p.width) * p.height);
  for (int y = 0; y < p.height; ++y) {
    const uint8_t* row = p.Row(y) + channel;
    uint8_t* dst = &plane[size_t(y) * p.width];
    for (int x = 0; x < p.width; ++x) dst[x] = row[3 * x];
  }
}

// Writes the interior (border r) of `plane` back to one channel, or to all three.
void StorePlane(const PictureView& p, int channel, bool allChannels, int r, const std::vector<uint8_t>& plane) {
  for (int y = r; y < p.height - r; ++y) {
    uint8_t* row = p.Row(y);
    const uint8_t* src = &plane[size_t(y) * p.width];
    for (int x = r; x < p.width - r; ++x) {
      if (allChannels) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = src[x];
      else row[3 * x + channel] = src[x];
    }
  }
}

// Runs a plane filter (in -> out, interior only) the way ApplyNeighbourhood would.
// `knownGrey` is 0 or 1 when the caller has looked already, -1 otherwise.
template <typename PlaneFilter>
void ForEachPlane(const PictureView& p, int n, PlaneFilter filter, int knownGrey = -1) {
  const int r = n / 2;
  if (!p.Valid() || p.width <= 2 * r || p.height <= 2 * r) return;
  const bool grey = knownGrey >= 0 ? knownGrey != 0 : IsGreyPicture(p);
  std::vector<uint8_t> in, out;
  for (int ch = 0; ch < (grey ? 1 : 3); ++ch) {
    ExtractPlane(p, ch, in);
    out.resize(in.size());  // only the interior is written and stored
    filter(in.data(), out.data(), p.width, p.height);
    StorePlane(p, ch, grey, r, out);
  }
}

// sum / n^2 for a window sum (at most 49 * 49 * 255 < 2^20) as (sum + 0.5) * (1 / n^2) in
// single precision, which vectorises: the true quotient of sum + 0.5 lies at least
// 0.5 / n^2 (>= 2e-4) from an integer and the two roundings move it by under 256 * 2^-23
// (3e-5), so the truncation equals the integer quotient for every possible sum.
inline int BoxMean(uint32_t sum, float inv) { return int((float(int32_t(sum)) + 0.5f) * inv); }

void BoxPlane(const uint8_t* in, uint8_t* out, int w, int h, int n) {
  const int r = n / 2;
  const float inv = 1.0f / float(n * n);
  std::vector<uint32_t> col(w, 0), prefix(size_t(w) + 1, 0);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < w; ++x) col[x] += in[size_t(y) * w + x];
  for (int y = r; y < h - r; ++y) {
    if (y > r) {
      const uint8_t* sub = in + size_t(y - r - 1) * w;
      const uint8_t* add = in + size_t(y + r) * w;
      for (int x = 0; x < w; ++x) col[x] += uint32_t(add[x]) - sub[x];
    }
    for (int x = 0; x < w; ++x) prefix[x + 1] = prefix[x] + col[x];
    const uint8_t* c = in + size_t(y) * w;
    uint8_t* o = out + size_t(y) * w;
    for (int x = r; x < w - r; ++x) {
      const int mean = BoxMean(prefix[x + r + 1] - prefix[x - r], inv);
      o[x] = Clamp255(2 * int(c[x]) - mean);
    }
  }
}

// BoxUnsharp on the three interleaved channels at once, in place: no plane copies, the
// column sums run over whole 24-bit rows and the window sums over three independent
// running chains. Rows are saved to a ring of r + 2 before they are overwritten, as the
// sliding sums still subtract them r + 1 rows later. Same arithmetic as BoxPlane.
void BoxInterleaved(const PictureView& p, int n) {
  const int r = n / 2;
  const int w3 = 3 * p.width;
  const float inv = 1.0f / float(n * n);
  const int ringRows = r + 2;
  std::vector<uint8_t> ring(size_t(ringRows) * w3);
  std::vector<uint32_t> col(w3, 0), prefix(size_t(w3) + 3, 0);
  for (int y = 0; y < n; ++y) {
    const uint8_t* row = p.Row(y);
    for (int i = 0; i < w3; ++i) col[i] += row[i];
  }
  const int first = 3 * r, last = 3 * (p.width - r);  // interior bytes [first, last)
  for (int y = r; y < p.height - r; ++y) {
    if (y > r) {
      const int old = y - r - 1;  // overwritten already when it was an output row
      const uint8_t* sub = old >= r ? &ring[size_t(old % ringRows) * w3] : p.Row(old);
      const uint8_t* add = p.Row(y + r);
      uint32_t* cl = col.data();
      for (int i = 0; i < w3; ++i) cl[i] += uint32_t(add[i]) - sub[i];
    }
    uint8_t* centre = &ring[size_t(y % ringRows) * w3];
    std::memcpy(centre, p.Row(y), size_t(w3));
    // prefix[i + 3] = col[i] + col[i - 3] + ...: one running sum per channel.
    uint32_t* pf = prefix.data();
    const uint32_t* cl = col.data();
    uint32_t s0 = 0, s1 = 0, s2 = 0;  // in registers, not reloaded from the row just stored
    for (int i = 0; i < w3; i += 3) {
      s0 += cl[i];
      s1 += cl[i + 1];
      s2 += cl[i + 2];
      pf[i + 3] = s0;
      pf[i + 4] = s1;
      pf[i + 5] = s2;
    }
    uint8_t* __restrict o = p.Row(y);
    const uint8_t* __restrict c = centre;
    // window of pixel x, channel k: prefix[3(x+r+1)+k] - prefix[3(x-r)+k]
    const uint32_t* __restrict hi = pf + 3 * (r + 1);
    const uint32_t* __restrict lo = pf - 3 * r;
    for (int i = first; i < last; ++i) {
      const int mean = BoxMean(hi[i] - lo[i], inv);
      o[i] = Clamp255(2 * int(c[i]) - mean);
    }
  }
}

inline void Sort3(uint8_t& a, uint8_t& b, uint8_t& c) {
  uint8_t t;
  if (a > b) { t = a; a = b; b = t; }
  if (b > c) { t = b; b = c; c = t; }
  if (a > b) { t = a; a = b; b = t; }
}
inline uint8_t Med3(uint8_t a, uint8_t b, uint8_t c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// Exact 3 x 3 median: the median of nine is the median of (largest column minimum,
// median of column medians, smallest column maximum) over sorted columns.
void MedianPlane(const uint8_t* in, uint8_t* out, int w, int h) {
  std::vector<uint8_t> lo(w), mid(w), hi(w);
  for (int y = 1; y < h - 1; ++y) {
    const uint8_t* a = in + size_t(y - 1) * w;
    const uint8_t* b = in + size_t(y) * w;
    const uint8_t* c = in + size_t(y + 1) * w;
    for (int x = 0; x < w; ++x) {
      uint8_t p = a[x], q = b[x], s = c[x];
      Sort3(p, q, s);
      lo[x] = p; mid[x] = q; hi[x] = s;
    }
    uint8_t* o = out + size_t(y) * w;
    for (int x = 1; x < w - 1; ++x) {
      const uint8_t mx = std::max(std::max(lo[x - 1], lo[x]), lo[x + 1]);
      const uint8_t md = Med3(mid[x - 1], mid[x], mid[x + 1]);
      const uint8_t mn = std::min(std::min(hi[x - 1], hi[x]), hi[x + 1]);
      o[x] = Med3(mx, md, mn);
    }
  }
}

// The 5 x 5 and 17 x 17 Gaussian sums with both kernels' mirror symmetry: rows y - d
// and y + d are added first, then columns x - d and x + d, so 81 products remain.
void GaussUnsharpPlane(const uint8_t* in, uint8_t* out, int w, int h) {
  const GaussTables& T = Tables();
  const int* t5 = T.t5;
  std::vector<int16_t> q(size_t(9) * w);
  std::vector<int32_t> acc17(w), acc5(w);
  for (int y = 8; y < h - 8; ++y) {
    for (int d = 0; d <= 8; ++d) {
      const uint8_t* a = in + size_t(y - d) * w;
      const uint8_t* b = in + size_t(y + d) * w;
      int16_t* qd = &q[size_t(d) * w];
      if (d == 0) for (int x = 0; x < w; ++x) qd[x] = a[x];
      else for (int x = 0; x < w; ++x) qd[x] = int16_t(a[x] + b[x]);
    }
    std::fill(acc17.begin(), acc17.end(), 0);
    std::fill(acc5.begin(), acc5.end(), 0);
    for (int d = 0; d <= 8; ++d) {
      const int16_t* qd = &q[size_t(d) * w];
      for (int dx = 0; dx <= 8; ++dx) {
        const int32_t wt = T.t17[(d + 8) * 17 + dx + 8];
        int32_t* acc = acc17.data();
        if (dx == 0) for (int x = 8; x < w - 8; ++x) acc[x] += wt * qd[x];
        else for (int x = 8; x < w - 8; ++x) acc[x] += wt * int32_t(qd[x - dx] + qd[x + dx]);
      }
      if (d <= 2) {
        for (int dx = 0; dx <= 2; ++dx) {
          const int32_t wt = t5[(d + 2) * 5 + dx + 2];
          int32_t* acc = acc5.data();
          if (dx == 0) for (int x = 8; x < w - 8; ++x) acc[x] += wt * qd[x];
          else for (int x = 8; x < w - 8; ++x) acc[x] += wt * int32_t(qd[x - dx] + qd[x + dx]);
        }
      }
    }
    const uint8_t* c = in + size_t(y) * w;
    uint8_t* o = out + size_t(y) * w;
    for (int x = 8; x < w - 8; ++x) {
      const int b5 = std::min(255, acc5[x] / kGaussDivisor5);
      const int b17 = std::min(255, acc17[x] / kGaussDivisor17);
      const int v = c[x];
      o[x] = Clamp255(v + 2 * (v - b5) + 4 * (v - b17));
    }
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
  if (!p.Valid() || p.width <= 2 * r || p.height <= 2 * r) return true;
  if (!IsGreyPicture(p)) {
    BoxInterleaved(p, size);
    return true;
  }
  ForEachPlane(p, size, [size](const uint8_t* in, uint8_t* out, int w, int h) { BoxPlane(in, out, w, h, size); }, 1);
  return true;
}

void Median3(const PictureView& p) { ForEachPlane(p, 3, MedianPlane); }
void GaussUnsharp17(const PictureView& p) { ForEachPlane(p, 17, GaussUnsharpPlane); }
void MedianGaussianUnsharp(const PictureView& p) {
  Median3(p);
  GaussUnsharp17(p);
}

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
