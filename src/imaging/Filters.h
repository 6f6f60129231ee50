// The sharpening filters of the command-line image tool, on 24-bit pixel views, and the
// rules around them: the neighbourhood operation framework, BoxUnsharp,
// MedianGaussianUnsharp, GaussianUnsharp, the display filter's image code and
// parameters, and the choice of filter by the program's file name.
//
// ApplyNeighbourhood is the literal form (an operation called per pixel); the named
// filters compute the same results with sliding sums, symmetric integer kernels and
// sorting networks, and are checked bit for bit against the literal form in the tests.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/Picture.h"

namespace orvaq {
namespace imaging {

// Given the left-most pixel of the centre row of an n x n window, the stride and a
// parameter block, returns one output byte. Neighbours are 3 bytes apart in a row.
using NeighbourhoodOp = uint8_t (*)(const uint8_t* centreRowLeft, ptrdiff_t stride, const void* params);

// True when every pixel has equal blue, green and red.
bool IsGreyPicture(const PictureView& p);
// Applies `op` to the interior (n / 2 from each edge) of `p`, reading a copy of it;
// a grey picture is processed on its first channel and written to all three.
void ApplyNeighbourhood(const PictureView& p, int n, NeighbourhoodOp op, const void* params);

// The literal operations (parameter block: const int* holding n where it is needed).
uint8_t MedianOp3(const uint8_t* w, ptrdiff_t stride, const void*);
uint8_t BoxUnsharpOp(const uint8_t* w, ptrdiff_t stride, const void* n);
uint8_t GaussUnsharpOp17(const uint8_t* w, ptrdiff_t stride, const void*);

// The integer Gaussian tables: weight [dy][dx] for dx, dy -half..half, and divisors.
const int* GaussTable5();   // 5 x 5, divisor 6168
const int* GaussTable17();  // 17 x 17, divisor 93988
constexpr int kGaussDivisor5 = 6168, kGaussDivisor17 = 93988;

// Fast filters, in place on the view (the caller works on its own copy of the picture).
bool BoxUnsharp(const PictureView& p, int size);          // false unless size is odd, 3..49
void Median3(const PictureView& p);                        // ApplyNeighbourhood(3, MedianOp3)
void GaussUnsharp17(const PictureView& p);                 // ApplyNeighbourhood(17, GaussUnsharpOp17)
void MedianGaussianUnsharp(const PictureView& p);          // Median3 then GaussUnsharp17
bool GaussianUnsharp(const PictureView& p, int amount, int type);  // false unless 33..93, 1..3
// One pass of GaussianUnsharp (sigma 0 skips the blur, gamma 1 or below 0 skips the curve).
void GaussianPass(const PictureView& p, double sigma, double strength, double gamma);

// ApplyDisplayFilter's rules.
struct DisplayFilterSettings {
  int iterations = 5;
  double strength = 0.4;
  int strong = 0;
};
DisplayFilterSettings DisplayFilterFor(int level);
int DisplayFilterImageCode(int width, int height);

// The filter a module applies, by its program file name (without folder and extension).
enum class ModuleFilter { None, Display, Box, MedianGaussian, Gaussian };
ModuleFilter FilterForProgram(const std::wstring& programName);
// The file name without folder and extension ("C:\x\Orvaq.exe" -> "Orvaq").
std::wstring ProgramBaseName(const std::wstring& path);
// "/filter " value -> BoxUnsharp size: made odd (even loses 1), clamped to 3..49.
int BoxSizeFromValue(int value);
// "/filter " -> amount 33..93 and "/filterlevel" -> type 0..3 for GaussianUnsharp.
int GaussianAmountFromValue(int value);
int GaussianTypeFromLevel(int level);

}  // namespace imaging
}  // namespace orvaq
