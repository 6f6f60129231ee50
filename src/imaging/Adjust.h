// Display adjustments on plain pixels: the gamma table, the contrast and luminosity
// table, their application to 24-bit rows, the gamma setting rule, unique file names
// and the screen thumbnail's rectangle.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/Picture.h"

namespace orvaq {
namespace imaging {

// The operator's gamma slider g (-100..100) in hundredths: 100 + 2g, or 100 + trunc(2g/3).
int GammaFromSetting(int g);
// "%01d.%02.2d" of G / 100 and G mod 100, as the information file and "/G:" carry it.
std::wstring FormatGamma(int G);

// table[v] = round(255 (v / 255)^(G / 100)). False (no adjustment) when G is 100,
// at most 32 or above 300.
bool BuildGammaTable(int G, uint8_t table[256]);
// The luminosity/contrast table. False when both are 0 or either lies outside -100..100.
bool BuildContrastLuminosityTable(int lum, int con, uint8_t table[256]);
// Replaces every byte of the 3 x width bytes of every row by its table entry.
void ApplyTable24(const PictureView& picture, const uint8_t table[256]);

// Replaces `path` by base + "_%03d" of 1, 2, 3 ... + extension, the first for which
// `exists` is false (_1000 follows _999). False (path unchanged) when the result would
// exceed 260 characters or every number up to kMaxUniqueFileNumber is taken.
constexpr int kMaxUniqueFileNumber = 9999999;
bool MakeUniqueFileName(std::wstring& path, const std::function<bool(const std::wstring&)>& exists);

struct ThumbRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
// The thumbnail's rectangle centred on x, top at y, `width` wide with the picture's
// proportions; false when there is nothing to paint.
bool ThumbnailRect(int pictureWidth, int pictureHeight, int x, int y, int width, ThumbRect& rect);

}  // namespace imaging
}  // namespace orvaq
