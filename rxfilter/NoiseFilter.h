// The reference library's edge-preserving noise filter (ApplyLUMEQ2FilterX0X3):
// nonlinear diffusion after Perona and Malik on 8- or 16-bit images, in place.
//
// The noise S is estimated from the image itself (median absolute difference of pixels
// two apart in a row / (0.6745 * sqrt 2); two apart because the reconstruction repeats
// every sample over two pixels). Each iteration moves every pixel towards
// its four neighbours by step * sum(g(d) * d), d the difference to the neighbour and
// g(d) = 1 / (1 + (d / K)^2), so differences well above K (edges) hardly move while
// noise is smoothed. K = 2 S, or S with the strong flag (whose callers run tens of
// iterations: the lower K keeps fine detail over the longer run); halved for a
// test-pattern image (image code tens digit 1) to keep its fine lines. The step is
// 0.25 * strength / 0.4, limited to 0.01 .. 0.25 (0.25 is the stable limit).
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvaq {
namespace rxf {

struct NoiseFilterParams {
  int iterations = 5;
  double strength = 0.4;
  bool strong = false;
  unsigned imageCode = 0;
};

// Filters `width` x `height` samples of `bits` (8 or 16) with `stride` bytes per row.
// Returns false (image untouched) for unusable arguments.
bool FilterNoise(void* pixels, int width, int height, int stride, int bits,
                 const NoiseFilterParams& params);

}  // namespace rxf
}  // namespace orvaq
