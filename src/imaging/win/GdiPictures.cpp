// GDI+ edge of the picture operations (see GdiPictures.h).
#include "imaging/win/GdiPictures.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "filter_binding/RXFilterLibrary.h"
#include "common/Text.h"
#include "common/win/KvHandle.h"
#include "filter_binding/win/RXFilterLibraryWin.h"
#include "imaging/Adjust.h"
#include "imaging/GreyBmp.h"
#include "imaging/Grey8.h"
#include "imaging/RawStrip.h"
#include "settings/win/KvSystemWin.h"

namespace gp = Gdiplus;

namespace orvaq {
namespace imaging {

namespace {

// Holds a bitmap's pixels locked as 24-bit RGB for as long as it lives.
class CLockedPixels {
 public:
  CLockedPixels(gp::Bitmap* bmp, UINT mode) : m_pBitmap(bmp) {
    gp::Rect r(0, 0, INT(bmp->GetWidth()), INT(bmp->GetHeight()));
    m_bOk = bmp->LockBits(&r, mode, PixelFormat24bppRGB, &m_Data) == gp::Ok;
  }
  ~CLockedPixels() {
    if (m_bOk) m_pBitmap->UnlockBits(&m_Data);
  }
  bool Ok() const { return m_bOk && m_Data.Stride > 0; }
  PictureView View() const {
    return PictureView{static_cast<uint8_t*>(m_Data.Scan0), INT(m_Data.Width), INT(m_Data.Height), m_Data.Stride};
  }

 private:
  gp::Bitmap* m_pBitmap;
  gp::BitmapData m_Data{};
  bool m_bOk = false;
};

// Holds a rectangle of an 8-bit indexed bitmap locked in its own format (no conversion:
// the indices themselves) for as long as it lives. The stride may be negative.
class CLockedGrey {
 public:
  CLockedGrey(gp::Bitmap* bmp, const gp::Rect& r, UINT mode) : m_pBitmap(bmp) {
    m_bOk = bmp->LockBits(&r, mode, PixelFormat8bppIndexed, &m_Data) == gp::Ok;
  }
  ~CLockedGrey() {
    if (m_bOk) m_pBitmap->UnlockBits(&m_Data);
  }
  bool Ok() const { return m_bOk && View().Valid(); }
  GreyView View() const {
    return GreyView{static_cast<uint8_t*>(m_Data.Scan0), INT(m_Data.Width), INT(m_Data.Height), m_Data.Stride};
  }

 private:
  gp::Bitmap* m_pBitmap;
  gp::BitmapData m_Data{};
  bool m_bOk = false;
};

// Distance kept around the mark's rectangle in the corner copy: more than the text
// fallback's widened rectangle (15 and 5 pixels) and any edge the interpolation reaches.
constexpr INT kMarkMargin = 32;

// A new 24-bit copy of `src` drawn with the given quality settings.
gp::Bitmap* Copy24(gp::Bitmap* src, gp::CompositingQuality quality, gp::InterpolationMode interpolation,
                   gp::SmoothingMode smoothing, gp::ImageAttributes* attributes = nullptr) {
  if (!src || src->GetLastStatus() != gp::Ok) return nullptr;
  const INT w = INT(src->GetWidth()), h = INT(src->GetHeight());
  if (w <= 0 || h <= 0) return nullptr;
  std::unique_ptr<gp::Bitmap> dst(new gp::Bitmap(w, h, PixelFormat24bppRGB));
  if (!dst || dst->GetLastStatus() != gp::Ok) return nullptr;
  dst->SetResolution(src->GetHorizontalResolution(), src->GetVerticalResolution());
  {
    gp::Graphics g(dst.get());
    g.SetCompositingQuality(quality);
    g.SetInterpolationMode(interpolation);
    g.SetPixelOffsetMode(gp::PixelOffsetModeNone);
    g.SetSmoothingMode(smoothing);
    if (g.DrawImage(src, gp::Rect(0, 0, w, h), 0, 0, w, h, gp::UnitPixel, attributes) != gp::Ok) return nullptr;
  }
  return dst.release();
}

// `text` in solid white bold Arial (the generic sans-serif family when Arial is missing)
// of `pixels` pixels, anti-aliased, untrimmed, aligned in `box` both ways as `align` says.
void DrawWhiteText(gp::Graphics& g, const std::wstring& text, int pixels, gp::StringAlignment align,
                   const gp::RectF& box) {
  gp::FontFamily arial(L"Arial");
  const gp::FontFamily* family = &arial;
  std::unique_ptr<gp::FontFamily> generic;
  if (arial.GetLastStatus() != gp::Ok) {
    generic.reset(gp::FontFamily::GenericSansSerif()->Clone());
    family = generic.get();
  }
  gp::Font font(family, gp::REAL(pixels), gp::FontStyleBold, gp::UnitPixel);
  gp::SolidBrush white(gp::Color(255, 255, 255, 255));
  g.SetTextRenderingHint(gp::TextRenderingHintAntiAlias);
  gp::StringFormat format;
  format.SetAlignment(align);
  format.SetLineAlignment(align);
  format.SetTrimming(gp::StringTrimmingNone);
  g.DrawString(text.c_str(), -1, &font, box, &format, &white);
}

gp::Bitmap* PlainCopy(gp::Bitmap* src) {
  return Copy24(src, gp::CompositingQualityAssumeLinear, gp::InterpolationModeNearestNeighbor, gp::SmoothingModeNone);
}

// Copies, then runs `work` on the copy's locked pixels; null when any step fails.
template <typename Work>
gp::Bitmap* OnCopy(gp::Bitmap* copy, Work work) {
  if (!copy) return nullptr;
  std::unique_ptr<gp::Bitmap> owned(copy);
  {
    CLockedPixels px(copy, gp::ImageLockModeRead | gp::ImageLockModeWrite);
    if (!px.Ok()) return nullptr;
    if (!work(px.View())) return nullptr;
  }
  return owned.release();
}


bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& out) {
  CKvFileHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(f.Get(), &size) && size.QuadPart >= 0 && size.QuadPart < (1LL << 30);
  if (ok) {
    try {
      out.resize(size_t(size.QuadPart));
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  size_t got = 0;
  while (ok && got < out.size()) {
    DWORD n = 0;
    if (!ReadFile(f.Get(), out.data() + got, DWORD(std::min<size_t>(out.size() - got, 1u << 30)), &n, nullptr) || n == 0) ok = false;
    got += n;
  }
  return ok;
}

}  // namespace

CGdiplusSession::CGdiplusSession() {
  gp::GdiplusStartupInput input;
  m_bOk = gp::GdiplusStartup(&m_Token, &input, nullptr) == gp::Ok;
}
CGdiplusSession::~CGdiplusSession() {
  if (m_bOk) gp::GdiplusShutdown(m_Token);
}

gp::Bitmap* AdjustGamma(gp::Bitmap* picture, int gamma) {
  uint8_t table[256];
  if (!picture || !BuildGammaTable(gamma, table)) return nullptr;
  return OnCopy(PlainCopy(picture), [&](const PictureView& v) { ApplyTable24(v, table); return true; });
}

gp::Bitmap* AdjustContrastLuminosity(gp::Bitmap* picture, int lum, int con) {
  uint8_t table[256];
  if (!picture || !BuildContrastLuminosityTable(lum, con, table)) return nullptr;
  return OnCopy(PlainCopy(picture), [&](const PictureView& v) { ApplyTable24(v, table); return true; });
}

gp::Bitmap* AddSensorMark(gp::Bitmap* picture, gp::Bitmap* mark, const std::wstring& text) {
  if (!picture || !mark || picture->GetLastStatus() != gp::Ok) return nullptr;
  mark->SetResolution(picture->GetHorizontalResolution(), picture->GetVerticalResolution());
  gp::RectF bounds;
  gp::Unit unit;
  if (picture->GetBounds(&bounds, &unit) != gp::Ok) return nullptr;
  std::unique_ptr<gp::Bitmap> dst(new gp::Bitmap(INT(bounds.Width), INT(bounds.Height), PixelFormat24bppRGB));
  if (!dst || dst->GetLastStatus() != gp::Ok) return nullptr;
  dst->SetResolution(picture->GetHorizontalResolution(), picture->GetVerticalResolution());
  gp::Graphics g(dst.get());
  g.SetCompositingQuality(gp::CompositingQualityHighQuality);
  g.SetInterpolationMode(gp::InterpolationModeHighQuality);
  g.SetPixelOffsetMode(gp::PixelOffsetModeNone);
  g.SetSmoothingMode(gp::SmoothingModeNone);
  if (g.DrawImage(picture, bounds) != gp::Ok) return nullptr;
  const INT w = INT(mark->GetWidth()), h = INT(mark->GetHeight());
  const INT x = INT(bounds.X + bounds.Width) - w - 16, y = INT(bounds.Y + bounds.Height) - h - 16;
  if (g.DrawImage(mark, x, y, w, h) != gp::Ok) {
    // The mark cannot be drawn: its text instead, centred in its widened rectangle.
    DrawWhiteText(g, text, 16, gp::StringAlignmentCenter,
                  gp::RectF(gp::REAL(x - 15), gp::REAL(y - 5), gp::REAL(w + 30), gp::REAL(h + 10)));
  }
  return dst.release();
}

bool IsGrey8Picture(gp::Bitmap* picture) {
  if (!picture || picture->GetLastStatus() != gp::Ok || picture->GetPixelFormat() != PixelFormat8bppIndexed)
    return false;
  const INT size = picture->GetPaletteSize();
  if (size < INT(sizeof(gp::ColorPalette))) return false;
  std::vector<uint8_t> bytes(size_t(size), 0);
  auto* palette = reinterpret_cast<gp::ColorPalette*>(bytes.data());
  if (picture->GetPalette(palette, size) != gp::Ok || palette->Count != 256) return false;
  for (UINT i = 0; i < 256; ++i) {
    const gp::Color c(palette->Entries[i]);
    if (c.GetB() != i) return false;
  }
  return true;
}

bool ApplyGreyTable(gp::Bitmap* picture, const uint8_t table[256]) {
  if (!IsGrey8Picture(picture)) return false;
  CLockedGrey px(picture, gp::Rect(0, 0, INT(picture->GetWidth()), INT(picture->GetHeight())),
                 gp::ImageLockModeRead | gp::ImageLockModeWrite);
  if (!px.Ok()) return false;
  ApplyTable8(px.View(), table);
  return true;
}

bool AddSensorMarkGrey(gp::Bitmap* picture, gp::Bitmap* mark, const std::wstring& text) {
  if (!mark || !IsGrey8Picture(picture)) return false;
  // The same geometry as AddSensorMark: the mark takes the picture's resolution and sits
  // 16 pixels in from the bottom-right corner.
  mark->SetResolution(picture->GetHorizontalResolution(), picture->GetVerticalResolution());
  gp::RectF bounds;
  gp::Unit unit;
  if (picture->GetBounds(&bounds, &unit) != gp::Ok) return false;
  const INT pw = INT(bounds.Width), ph = INT(bounds.Height);
  if (pw != INT(picture->GetWidth()) || ph != INT(picture->GetHeight()) || bounds.X != 0 || bounds.Y != 0)
    return false;
  const INT w = INT(mark->GetWidth()), h = INT(mark->GetHeight());
  const INT x = pw - w - 16, y = ph - h - 16;
  const INT x0 = std::min(pw, std::max(0, x - kMarkMargin)), y0 = std::min(ph, std::max(0, y - kMarkMargin));
  const INT rw = pw - x0, rh = ph - y0;
  if (rw <= 0 || rh <= 0) return true;
  // The corner as 24-bit pixels, exactly the grey levels that a full copy would hold there.
  CLockedGrey px(picture, gp::Rect(x0, y0, rw, rh), gp::ImageLockModeRead | gp::ImageLockModeWrite);
  if (!px.Ok()) return false;
  const GreyView corner = px.View();
  gp::Bitmap region(rw, rh, PixelFormat24bppRGB);
  if (region.GetLastStatus() != gp::Ok) return false;
  region.SetResolution(picture->GetHorizontalResolution(), picture->GetVerticalResolution());
  {
    CLockedPixels rgb(&region, gp::ImageLockModeWrite);
    if (!rgb.Ok()) return false;
    const PictureView v = rgb.View();
    GreyToRgb24(corner, 0, 0, rw, rh, v.data, v.stride);
  }
  {
    gp::Graphics g(&region);
    g.SetCompositingQuality(gp::CompositingQualityHighQuality);
    g.SetInterpolationMode(gp::InterpolationModeHighQuality);
    g.SetPixelOffsetMode(gp::PixelOffsetModeNone);
    g.SetSmoothingMode(gp::SmoothingModeNone);
    const INT rx = x - x0, ry = y - y0;
    if (g.DrawImage(mark, rx, ry, w, h) != gp::Ok)
      DrawWhiteText(g, text, 16, gp::StringAlignmentCenter,
                    gp::RectF(gp::REAL(rx - 15), gp::REAL(ry - 5), gp::REAL(w + 30), gp::REAL(h + 10)));
  }
  CLockedPixels rgb(&region, gp::ImageLockModeRead);
  if (!rgb.Ok()) return false;
  const PictureView v = rgb.View();
  BlueToGrey(v.data, v.stride, 0, 0, rw, rh, corner);
  return true;
}

gp::Bitmap* DrawProductMark(gp::Bitmap* picture, const std::wstring& text) {
  std::unique_ptr<gp::Bitmap> dst(
      Copy24(picture, gp::CompositingQualityHighQuality, gp::InterpolationModeHighQuality, gp::SmoothingModeNone));
  if (!dst) return nullptr;
  const INT w = INT(dst->GetWidth()), h = INT(dst->GetHeight());
  // The text is drawn with the copy's own settings.
  gp::Graphics g(dst.get());
  g.SetCompositingQuality(gp::CompositingQualityHighQuality);
  g.SetInterpolationMode(gp::InterpolationModeHighQuality);
  g.SetPixelOffsetMode(gp::PixelOffsetModeNone);
  g.SetSmoothingMode(gp::SmoothingModeNone);
  DrawWhiteText(g, text, 20, gp::StringAlignmentFar, gp::RectF(16, 16, gp::REAL(w - 32), gp::REAL(h - 32)));
  return dst.release();
}

bool WriteGreyBmp(gp::Bitmap* picture, const std::wstring& path) {
  if (!picture || picture->GetLastStatus() != gp::Ok) return false;
  const int w = int(picture->GetWidth()), h = int(picture->GetHeight());
  if (!GreyBmpSizeOk(w, h)) return false;
  // An 8-bit grey picture is read as it is; any other as 24 bits, its blue byte taken.
  const bool grey = IsGrey8Picture(picture);
  std::unique_ptr<CLockedGrey> greyPx;
  std::unique_ptr<CLockedPixels> rgbPx;
  const uint8_t* rows = nullptr;
  ptrdiff_t stride = 0;
  if (grey) {
    greyPx.reset(new CLockedGrey(picture, gp::Rect(0, 0, w, h), gp::ImageLockModeRead));
    if (!greyPx->Ok()) return false;
    rows = greyPx->View().data;
    stride = greyPx->View().stride;
  } else {
    rgbPx.reset(new CLockedPixels(picture, gp::ImageLockModeRead));
    if (!rgbPx->Ok()) return false;
    rows = rgbPx->View().data;
    stride = rgbPx->View().stride;
  }
  CKvFileHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  // Pieces of about 1 MiB from one buffer, one write each: no file-sized allocation.
  bool ok = false;
  try {
    ok = StreamGreyBmpFile(rows, w, h, stride, grey ? 1 : 3, picture->GetHorizontalResolution(),
                           picture->GetVerticalResolution(),
                           [&f](const uint8_t* bytes, size_t size) { return KvWriteAll(f.Get(), bytes, size); });
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  ok = f.Close() && ok;
  // A half-written picture must not be taken for an image by whoever reads the folder.
  if (!ok) DeleteFileW(path.c_str());
  return ok;
}

int FindBmpEncoder(CLSID* id) {
  UINT count = 0, size = 0;
  if (gp::GetImageEncodersSize(&count, &size) != gp::Ok || count == 0 || size == 0) return -1;
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(size);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  auto* codecs = reinterpret_cast<gp::ImageCodecInfo*>(buffer.data());
  if (gp::GetImageEncoders(count, size, codecs) != gp::Ok) return -1;
  for (UINT i = 0; i < count; ++i)
    if (codecs[i].MimeType && _wcsicmp(codecs[i].MimeType, L"image/bmp") == 0) {
      if (id) *id = codecs[i].Clsid;
      return int(i);
    }
  return -1;
}

bool SaveWithBmpEncoder(gp::Bitmap* picture, const std::wstring& path) {
  CLSID bmp;
  if (!picture || FindBmpEncoder(&bmp) < 0) return false;
  return picture->Save(path.c_str(), &bmp, nullptr) == gp::Ok;
}

void MakeUniqueFileName(wchar_t* path) {
  if (!path) return;
  std::wstring p(path, wcsnlen(path, 260));
  CKvSystemWin system;
  // A folder of that name takes the number as much as a file does.
  if (orvaq::imaging::MakeUniqueFileName(p, [&system](const std::wstring& c) {
        return system.FileExists(c) || system.DirectoryExists(c);
      }))
    wcsncpy(path, p.c_str(), 260);
}

namespace {
struct ThumbPaint {
  gp::Bitmap* picture;
  RECT rect;
};

BOOL CALLBACK PaintOnMonitor(HMONITOR, HDC hdc, LPRECT monitorPart, LPARAM data) {
  const ThumbPaint& t = *reinterpret_cast<ThumbPaint*>(data);
  HBITMAP bitmap = nullptr;
  if (t.picture->GetHBITMAP(gp::Color(255, 0, 0, 0), &bitmap) != gp::Ok || !bitmap) return TRUE;
  HDC mem = CreateCompatibleDC(hdc);
  if (mem) {
    HGDIOBJ old = SelectObject(mem, bitmap);
    const int saved = SaveDC(hdc);
    IntersectClipRect(hdc, monitorPart->left, monitorPart->top, monitorPart->right, monitorPart->bottom);
    const int oldMode = SetStretchBltMode(hdc, COLORONCOLOR);
    StretchBlt(hdc, t.rect.left, t.rect.top, t.rect.right - t.rect.left, t.rect.bottom - t.rect.top, mem, 0, 0,
               INT(t.picture->GetWidth()), INT(t.picture->GetHeight()), SRCCOPY);
    SetStretchBltMode(hdc, oldMode);
    RestoreDC(hdc, saved);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  DeleteObject(bitmap);
  return TRUE;
}
}  // namespace

void DrawScreenThumbnail(gp::Bitmap* picture, int x, int y, int width, RECT* painted) {
  if (!picture) return;
  ThumbRect r;
  if (!ThumbnailRect(int(picture->GetWidth()), int(picture->GetHeight()), x, y, width, r)) return;
  ThumbPaint t{picture, RECT{r.left, r.top, r.right, r.bottom}};
  if (painted) *painted = t.rect;
  // A large grey picture is first reduced to every n-th pixel of every n-th row, n as
  // many as still leaves at least one pixel for each on the screen: the screen bitmap
  // of the whole picture would cost more than everything else done with it.
  const int pw = int(picture->GetWidth()), ph = int(picture->GetHeight());
  const int step = std::min(pw / std::max(1, int(r.right - r.left)), ph / std::max(1, int(r.bottom - r.top)));
  std::vector<uint8_t> sampled;
  std::unique_ptr<gp::Bitmap> small;
  if (step > 1 && IsGrey8Picture(picture)) {
    CLockedGrey px(picture, gp::Rect(0, 0, pw, ph), gp::ImageLockModeRead);
    if (px.Ok()) {
      const int sw = (pw + step - 1) / step, sh = (ph + step - 1) / step, stride = (sw + 3) & ~3;
      sampled.assign(size_t(stride) * sh, 0);
      SampleGrey(px.View(), step, GreyView{sampled.data(), sw, sh, stride});
      small.reset(new gp::Bitmap(sw, sh, stride, PixelFormat8bppIndexed, sampled.data()));
      std::vector<uint8_t> paletteBytes(sizeof(gp::ColorPalette) + 255 * sizeof(gp::ARGB));
      auto* palette = reinterpret_cast<gp::ColorPalette*>(paletteBytes.data());
      palette->Flags = gp::PaletteFlagsGrayScale;
      palette->Count = 256;
      for (int i = 0; i < 256; ++i) palette->Entries[i] = gp::Color::MakeARGB(255, BYTE(i), BYTE(i), BYTE(i));
      if (small->GetLastStatus() == gp::Ok && small->SetPalette(palette) == gp::Ok) t.picture = small.get();
    }
  }
  HDC screen = GetDC(nullptr);
  if (!screen) return;
  EnumDisplayMonitors(screen, &t.rect, PaintOnMonitor, reinterpret_cast<LPARAM>(&t));
  ReleaseDC(nullptr, screen);
}

gp::Bitmap* LoadPicture(const std::wstring& path) {
  std::unique_ptr<gp::Bitmap> file(gp::Bitmap::FromFile(path.c_str()));
  if (!file || file->GetLastStatus() != gp::Ok || file->GetWidth() == 0 || file->GetHeight() == 0) return nullptr;
  // A copy, so that the file is not held open (the job may overwrite it).
  return PlainCopy(file.get());
}

void ApplyNeighbourhood(gp::Bitmap* picture, int n, NeighbourhoodOp op, const void* params) {
  if (!picture) return;
  CLockedPixels px(picture, gp::ImageLockModeRead | gp::ImageLockModeWrite);
  if (px.Ok()) orvaq::imaging::ApplyNeighbourhood(px.View(), n, op, params);
}

gp::Bitmap* BoxUnsharp(gp::Bitmap* picture, int size) {
  if (!picture || size < 3 || size > 49 || size % 2 == 0) return nullptr;
  return OnCopy(PlainCopy(picture), [&](const PictureView& v) { return orvaq::imaging::BoxUnsharp(v, size); });
}

gp::Bitmap* MedianGaussianUnsharp(gp::Bitmap* picture) {
  if (!picture) return nullptr;
  gp::Bitmap* copy = Copy24(picture, gp::CompositingQualityAssumeLinear, gp::InterpolationModeNearestNeighbor,
                            gp::SmoothingModeAntiAlias);
  return OnCopy(copy, [](const PictureView& v) { orvaq::imaging::MedianGaussianUnsharp(v); return true; });
}

gp::Bitmap* GaussianUnsharp(gp::Bitmap* picture, int amount, int type) {
  if (!picture || type < 1 || type > 3 || amount < 33 || amount > 93) return nullptr;
  return OnCopy(PlainCopy(picture), [&](const PictureView& v) { return orvaq::imaging::GaussianUnsharp(v, amount, type); });
}

gp::Bitmap* ApplyDisplayFilter(gp::Bitmap* picture, int level, const DisplayFilterUi& ui, IModuleLoader* loader) {
  if (!picture) return nullptr;
  CRXFilterLibrary library(loader ? *loader : CWinModuleLoader::Instance());
  if (!library.Load()) {
    if (ui.showTextError) ui.showTextError(813);
    return nullptr;
  }
  std::unique_ptr<gp::Bitmap> copy(PlainCopy(picture));
  if (!copy || !library.Has(CRXFilterLibrary::kApplyFilter)) return nullptr;
  const DisplayFilterSettings s = DisplayFilterFor(level);
  FilterParams params{};
  params.iterations = uint16_t(s.iterations);
  params.strength = s.strength;
  params.strong = uint16_t(s.strong);
  params.imageCode = uint16_t(DisplayFilterImageCode(int(copy->GetWidth()), int(copy->GetHeight())));
  int result = 0;
  {
    CLockedPixels px(copy.get(), gp::ImageLockModeRead | gp::ImageLockModeWrite);
    if (!px.Ok()) return nullptr;
    const PictureView v = px.View();
    // The library filters 8-bit samples: each channel goes through it as its own plane
    // (a grey picture once, written back to all three).
    const bool grey = IsGreyPicture(v);
    std::vector<uint8_t> plane(size_t(v.width) * v.height);
    result = 1;
    for (int ch = 0; ch < (grey ? 1 : 3) && result; ++ch) {
      for (int y = 0; y < v.height; ++y)
        for (int x = 0; x < v.width; ++x) plane[size_t(y) * v.width + x] = v.Row(y)[3 * x + ch];
      FilterImage image{v.width, v.height, v.width, 8, 1, plane.data()};
      std::string error;
      if (!CRXFilterLibrary::Guarded("Exception lors de l'application du filtre.",
                                     [&] { result = library.m_pfnApplyFilter(&image, &params, 0); }, &error)) {
        // A half-filtered plane is never written back.
        library.Free();
        if (ui.showWarning) ui.showWarning(orvaq::FromUtf8(error));
        return nullptr;
      }
      if (!result) break;
      for (int y = 0; y < v.height; ++y)
        for (int x = 0; x < v.width; ++x) {
          uint8_t* p = v.Row(y) + 3 * x;
          if (grey) p[0] = p[1] = p[2] = plane[size_t(y) * v.width + x];
          else p[ch] = plane[size_t(y) * v.width + x];
        }
    }
  }
  if (!result) {
    if (ui.showMessage) ui.showMessage(L"lpfnApplyLUMEQ2FilterX0X3 Not OK");
    return nullptr;
  }
  return copy.release();
}

void RunRawStraightening(const std::wstring& input, const std::wstring& secondInput, const std::wstring& output) {
  std::vector<uint8_t> first, second;
  if (!ReadWholeFile(input, first) || !ReadWholeFile(secondInput, second)) return;
  RawStripResult strip;
  if (!StraightenStrip(first.data(), first.size(), strip)) return;
  {
    // Closed before the picture work, as soon as the histogram is written.
    CKvFileHandle pal(
        CreateFileW((input + L".pal").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (pal) {
      std::vector<uint8_t> bytes(strip.histogram.size() * 4);
      for (size_t i = 0; i < strip.histogram.size(); ++i)
        for (int b = 0; b < 4; ++b) bytes[4 * i + b] = uint8_t(strip.histogram[i] >> (8 * b));
      KvWriteAll(pal.Get(), bytes.data(), bytes.size());
    }
  }
  // The 8-bit strip as a picture at 50000 pixels per metre (1270 dpi) with a grey palette.
  const INT stride = (kStripSamples + 3) & ~3;
  std::vector<uint8_t> rows(size_t(stride) * kStripLines, 0);
  for (int y = 0; y < kStripLines; ++y)
    std::copy_n(&strip.picture[size_t(y) * kStripSamples], kStripSamples, &rows[size_t(y) * stride]);
  gp::Bitmap strip8(kStripSamples, kStripLines, stride, PixelFormat8bppIndexed, rows.data());
  if (strip8.GetLastStatus() != gp::Ok) return;
  std::vector<uint8_t> paletteBytes(sizeof(gp::ColorPalette) + 255 * sizeof(gp::ARGB));
  auto* palette = reinterpret_cast<gp::ColorPalette*>(paletteBytes.data());
  palette->Flags = gp::PaletteFlagsGrayScale;
  palette->Count = 256;
  for (int i = 0; i < 256; ++i) palette->Entries[i] = gp::Color::MakeARGB(255, BYTE(i), BYTE(i), BYTE(i));
  strip8.SetPalette(palette);
  strip8.SetResolution(1270.0f, 1270.0f);
  gp::Bitmap scaled(1992, kStripLines, PixelFormat24bppRGB);
  if (scaled.GetLastStatus() != gp::Ok) return;
  scaled.SetResolution(1270.0f, 1270.0f);
  {
    gp::Graphics g(&scaled);
    g.SetInterpolationMode(gp::InterpolationModeBicubic);
    g.SetCompositingMode(gp::CompositingModeSourceCopy);
    g.SetCompositingQuality(gp::CompositingQualityAssumeLinear);
    g.SetSmoothingMode(gp::SmoothingModeAntiAlias);
    if (g.DrawImage(&strip8, gp::Rect(0, 0, 1992, kStripLines), 0, 0, kStripSamples, kStripLines, gp::UnitPixel) != gp::Ok)
      return;
  }
  ApplyNeighbourhood(&scaled, 3, MedianOp3, nullptr);
  WriteGreyBmp(&scaled, output);
}

}  // namespace imaging
}  // namespace orvaq
