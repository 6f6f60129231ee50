// Picture operations on GDI+ bitmaps for Orvaq and OrvaqRbld2: the display adjustments,
// the sensor mark, the grey BMP writer and the encoder fallback, unique file names, the
// screen thumbnail, the sharpening filters and the display filter. GDI+ decodes,
// encodes, copies, draws text and paints the screen; the pixel work is the core's.
// Every operation leaves its input alone and returns a new picture (owned by the
// caller) or null; none shows a message except ApplyDisplayFilter, through its hooks.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/Filters.h"

class IModuleLoader;

namespace orvaq {
namespace imaging {

// Starts GDI+ for the lifetime of the object (GDI+ start-ups nest).
class CGdiplusSession {
 public:
  CGdiplusSession();
  ~CGdiplusSession();
  bool Ok() const { return m_bOk; }

 private:
  ULONG_PTR m_Token = 0;
  bool m_bOk = false;
};

Gdiplus::Bitmap* AdjustGamma(Gdiplus::Bitmap* picture, int gamma);
Gdiplus::Bitmap* AdjustContrastLuminosity(Gdiplus::Bitmap* picture, int lum, int con);
Gdiplus::Bitmap* AddSensorMark(Gdiplus::Bitmap* picture, Gdiplus::Bitmap* mark, const std::wstring& text);
// An acquired picture as FromGreyRows makes it: 8 bits a pixel, indexed, each index
// its own grey level. The grey BMP writer reads such a picture as it is.
bool IsGrey8Picture(Gdiplus::Bitmap* picture);
// Replaces every grey level v of an 8-bit grey picture by table[v], in place. False
// (picture untouched) for any other picture: the 24-bit operations above then apply.
bool ApplyGreyTable(Gdiplus::Bitmap* picture, const uint8_t table[256]);
// What AddSensorMark draws, in place on an 8-bit grey picture: only the corner that
// the mark (or its text) can reach is copied to 24 bits, drawn on with the same
// settings and copied back, so the grey levels come out as AddSensorMark's copy has
// them. False (picture untouched) for any other picture, or when the mark is missing.
bool AddSensorMarkGrey(Gdiplus::Bitmap* picture, Gdiplus::Bitmap* mark, const std::wstring& text);
// The rebuild program's mark: a 24-bit copy of the picture (same size and resolution)
// with `text` in white bold Arial of 20 pixels in its bottom-right corner, 16 pixels in
// from both edges. Null when the copy cannot be made.
Gdiplus::Bitmap* DrawProductMark(Gdiplus::Bitmap* picture, const std::wstring& text);
bool WriteGreyBmp(Gdiplus::Bitmap* picture, const std::wstring& path);
int FindBmpEncoder(CLSID* id);
// Saves through the platform's "image/bmp" encoder (the fallback writer).
bool SaveWithBmpEncoder(Gdiplus::Bitmap* picture, const std::wstring& path);
// `path` holds at most 260 characters with its terminator.
void MakeUniqueFileName(wchar_t* path);
void DrawScreenThumbnail(Gdiplus::Bitmap* picture, int x, int y, int width, RECT* painted);

// Loads a picture file into a new 24-bit bitmap that does not keep the file open.
Gdiplus::Bitmap* LoadPicture(const std::wstring& path);

// The filters (Filters.h) on a copy of `picture`.
void ApplyNeighbourhood(Gdiplus::Bitmap* picture, int n, NeighbourhoodOp op, const void* params);
Gdiplus::Bitmap* BoxUnsharp(Gdiplus::Bitmap* picture, int size);
Gdiplus::Bitmap* MedianGaussianUnsharp(Gdiplus::Bitmap* picture);
Gdiplus::Bitmap* GaussianUnsharp(Gdiplus::Bitmap* picture, int amount, int type);

// What ApplyDisplayFilter shows: an error by text id (813: library missing) and a
// plain message ("lpfnApplyLUMEQ2FilterX0X3 Not OK").
struct DisplayFilterUi {
  std::function<void(int textId)> showTextError;                   // error box of a text id
  std::function<void(const std::wstring& message)> showMessage;    // plain box
  std::function<void(const std::wstring& message)> showWarning;    // warning box (library exception)
};
// `loader` binds the library (null: the Windows loader).
Gdiplus::Bitmap* ApplyDisplayFilter(Gdiplus::Bitmap* picture, int level, const DisplayFilterUi& ui,
                                    IModuleLoader* loader = nullptr);

// The raw line-straightening tool; silent on every failure.
void RunRawStraightening(const std::wstring& input, const std::wstring& secondInput, const std::wstring& output);

}  // namespace imaging
}  // namespace orvaq
