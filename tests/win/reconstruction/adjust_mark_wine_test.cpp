// The adjustments and the sensor mark, done on the 8-bit picture, against the way they
// were first done: a full 24-bit GDI+ copy for each adjustment table, and the mark drawn
// on one more full 24-bit copy (kept below as the reference). A plate goes through the
// real reconstruction (RXFilter.DLL, GDI+); its unadjusted picture, which the pipeline
// saves as "LASTACQP2.BIN.bmp" before the adjustments, goes through the reference; the
// two final bitmaps must be the same file, byte for byte.
#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "win_test_support.h"
#include "acquisition/OrvaqController.h"
#include "acquisition/win/ReconstructionWin.h"
#include "common/RawFormat.h"
#include "filter_binding/win/RXFilterLibraryWin.h"
#include "imaging/Adjust.h"
#include "imaging/win/GdiPictures.h"
#include "logging/KvLogger.h"
#include "settings/win/KvSystemWin.h"
#include "simulator/Plates.h"
#include "tests/host/controller/fake_host.h"
#include "tests/win/reconstruction/recon_settings_fake.h"

namespace gp = Gdiplus;

namespace {

// ------------------------------------------------- the reference: full 24-bit copies

// The 8-bit picture as a GDI+ bitmap over a bottom-up device-independent bitmap (`dib`
// keeps its memory), rows in order: the first row is the bitmap's bottom row.
gp::Bitmap* ReferenceFromGreyRows(const std::vector<uint8_t>& rows, int w, int h, int32_t ppm,
                                  std::vector<uint8_t>& dib) {
  const size_t stride = (size_t(w) + 3) & ~size_t(3), header = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
  dib.assign(header + stride * h, 0);
  auto* info = reinterpret_cast<BITMAPINFO*>(dib.data());
  info->bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, h, 1, 8, BI_RGB, 0, ppm, ppm, 256, 256};
  for (int i = 0; i < 256; ++i) info->bmiColors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  for (int y = 0; y < h; ++y) std::copy_n(&rows[size_t(y) * w], w, &dib[header + y * stride]);
  return new gp::Bitmap(info, dib.data() + header);
}

gp::Bitmap* ReferenceCopy24(gp::Bitmap* src) {
  const INT w = INT(src->GetWidth()), h = INT(src->GetHeight());
  std::unique_ptr<gp::Bitmap> dst(new gp::Bitmap(w, h, PixelFormat24bppRGB));
  dst->SetResolution(src->GetHorizontalResolution(), src->GetVerticalResolution());
  gp::Graphics g(dst.get());
  g.SetCompositingQuality(gp::CompositingQualityAssumeLinear);
  g.SetInterpolationMode(gp::InterpolationModeNearestNeighbor);
  g.SetPixelOffsetMode(gp::PixelOffsetModeNone);
  g.SetSmoothingMode(gp::SmoothingModeNone);
  if (g.DrawImage(src, gp::Rect(0, 0, w, h), 0, 0, w, h, gp::UnitPixel, nullptr) != gp::Ok) return nullptr;
  return dst.release();
}

gp::Bitmap* ReferenceTable(gp::Bitmap* src, const uint8_t table[256]) {
  std::unique_ptr<gp::Bitmap> copy(ReferenceCopy24(src));
  if (!copy) return nullptr;
  gp::Rect r(0, 0, INT(copy->GetWidth()), INT(copy->GetHeight()));
  gp::BitmapData d;
  if (copy->LockBits(&r, gp::ImageLockModeRead | gp::ImageLockModeWrite, PixelFormat24bppRGB, &d) != gp::Ok)
    return nullptr;
  for (UINT y = 0; y < d.Height; ++y) {
    uint8_t* row = static_cast<uint8_t*>(d.Scan0) + ptrdiff_t(y) * d.Stride;
    for (UINT i = 0; i < 3 * d.Width; ++i) row[i] = table[row[i]];
  }
  copy->UnlockBits(&d);
  return copy.release();
}

gp::Bitmap* ReferenceMark(gp::Bitmap* picture, gp::Bitmap* mark, const std::wstring& text) {
  mark->SetResolution(picture->GetHorizontalResolution(), picture->GetVerticalResolution());
  gp::RectF bounds;
  gp::Unit unit;
  if (picture->GetBounds(&bounds, &unit) != gp::Ok) return nullptr;
  std::unique_ptr<gp::Bitmap> dst(new gp::Bitmap(INT(bounds.Width), INT(bounds.Height), PixelFormat24bppRGB));
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
    gp::FontFamily arial(L"Arial");
    const gp::FontFamily* family = &arial;
    std::unique_ptr<gp::FontFamily> generic;
    if (arial.GetLastStatus() != gp::Ok) {
      generic.reset(gp::FontFamily::GenericSansSerif()->Clone());
      family = generic.get();
    }
    gp::Font font(family, 16, gp::FontStyleBold, gp::UnitPixel);
    gp::SolidBrush white(gp::Color(255, 255, 255, 255));
    g.SetTextRenderingHint(gp::TextRenderingHintAntiAlias);
    gp::StringFormat format;
    format.SetAlignment(gp::StringAlignmentCenter);
    format.SetLineAlignment(gp::StringAlignmentCenter);
    format.SetTrimming(gp::StringTrimmingNone);
    g.DrawString(text.c_str(), -1, &font,
                 gp::RectF(gp::REAL(x - 15), gp::REAL(y - 5), gp::REAL(w + 30), gp::REAL(h + 10)), &format, &white);
  }
  return dst.release();
}

// ------------------------------------------------------------------ the pipeline

class QuietEnv : public CReconEnvWin {
 public:
  QuietEnv() : CReconEnvWin(nullptr, L"Orvaq") {}
  int ShowMessageBox(const std::wstring&, unsigned) override { return IDOK; }
  void MessageBeep(unsigned) override {}
};

// A mark in colour with every level of transparency, so that the blending counts.
std::unique_ptr<gp::Bitmap> ColourMark(int w, int h) {
  std::unique_ptr<gp::Bitmap> mark(new gp::Bitmap(w, h, PixelFormat32bppARGB));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      mark->SetPixel(x, y, gp::Color(BYTE((x * 255) / (w - 1)), BYTE(40 + 7 * y), BYTE(200 - 3 * x), BYTE(90 + 5 * y)));
  return mark;
}

// The blue byte of each pixel, rows bottom first (as FromGreyRows wants them).
bool GreyRowsBottomFirst(const std::wstring& path, std::vector<uint8_t>& rows, int& w, int& h) {
  std::unique_ptr<gp::Bitmap> file(gp::Bitmap::FromFile(path.c_str()));
  if (!file || file->GetLastStatus() != gp::Ok) return false;
  w = int(file->GetWidth());
  h = int(file->GetHeight());
  gp::Rect r(0, 0, w, h);
  gp::BitmapData d;
  if (file->LockBits(&r, gp::ImageLockModeRead, PixelFormat24bppRGB, &d) != gp::Ok) return false;
  rows.assign(size_t(w) * h, 0);
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = static_cast<const uint8_t*>(d.Scan0) + ptrdiff_t(h - 1 - y) * d.Stride;
    for (int x = 0; x < w; ++x) rows[size_t(y) * w + x] = src[3 * x];
  }
  file->UnlockBits(&d);
  return true;
}

void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((folder + L"*").c_str(), &d);
  if (h != INVALID_HANDLE_VALUE) {
    do DeleteFileW((folder + d.cFileName).c_str());
    while (FindNextFileW(h, &d));
    FindClose(h);
  }
  RemoveDirectoryW(folder.c_str());
}

struct Case {
  const char* what;
  int size;
  unsigned mode;
  bool imaging;
  int gamma, luminosity, contrast;
  bool brokenMark;  // the mark cannot be drawn: its text instead
};

const Case kCases[] = {
    {"gamma, luminosity and contrast, turned plate", 2, 0, false, -35, 12, 27, false},
    {"gamma alone", 0, 1, false, 40, 0, 0, false},
    {"luminosity and contrast alone, the mark's text", 1, 2, false, 0, -20, 45, true},
    {"imaging: the mark alone", 3, 2, true, 0, 0, 0, false},
};

TEST(AdjustMarkWine, TheFinalBitmapIsTheOneTheFullCopiesGave) {
  orvaq::imaging::CGdiplusSession gdiplus;
  ASSERT_TRUE(gdiplus.Ok());
  ReplaceCurrentLogger(nullptr);
  int row = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "case " << row++ << ": " << c.what);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring images =
        std::wstring(temp) + L"orvaq_adjust_mark_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    RemoveFolder(images);  // what a run stopped half-way left
    CreateDirectoryW(images.c_str(), nullptr);

    orvaq::sim::PlateOrder order;
    order.size = c.size;
    order.mode = c.mode;
    order.wantIdeal = false;
    orvaq::sim::Plate plate;
    ASSERT_TRUE(orvaq::sim::BuildPlate(order, plate));
    ASSERT_TRUE(wintest::WriteFileBytes(images + L"LASTACQP2.BIN", plate.raw));

    std::unique_ptr<gp::Bitmap> mark =
        c.brokenMark ? std::unique_ptr<gp::Bitmap>(new gp::Bitmap(0, 0, PixelFormat24bppRGB)) : ColourMark(64, 24);
    fake::Host host;
    fake::Settings acq;
    COrvaqController controller(host, acq);
    QuietEnv env;
    ProgramFolderSystem system;
    system.programFolder = images;
    CGdiReconPictures pictures;
    pictures.skinPicture = [&](const std::wstring&) { return mark.get(); };
    FakeReconSettings settings;
    settings.images = images;
    settings.imaging = c.imaging;
    settings.gamma = c.gamma;
    settings.luminosity = c.luminosity;
    settings.contrast = c.contrast;
    CNoMultiPlate multi;
    CReconstruction recon(controller, settings, env, system, pictures, CWinModuleLoader::Instance(), multi);
    ASSERT_TRUE(recon.ReconstructAcquisition());
    const std::wstring finalBmp = images + L"1234_LastBmpLUM2_001.bmp";
    const std::vector<uint8_t> produced = wintest::ReadFileBytes(finalBmp);
    ASSERT_GT(produced.size(), 1078u);

    // The same picture through the full copies.
    std::vector<uint8_t> rows;
    int w = 0, h = 0;
    ASSERT_TRUE(GreyRowsBottomFirst(images + CReconstruction::kThumbnailFileName, rows, w, h));
    const float resolution = float(orvaq::raw::ResolutionForMode(c.mode));
    std::vector<uint8_t> dib;
    std::unique_ptr<gp::Bitmap> start(ReferenceFromGreyRows(rows, w, h, orvaq::recon::PixelsPerMetre(resolution), dib));
    ASSERT_TRUE(start);
    gp::Bitmap* picture = start.get();
    std::unique_ptr<gp::Bitmap> adjusted, marked;
    if (!c.imaging) {
      uint8_t table[256];
      if (orvaq::imaging::BuildGammaTable(orvaq::imaging::GammaFromSetting(c.gamma), table)) {
        adjusted.reset(ReferenceTable(picture, table));
        ASSERT_TRUE(adjusted);
        picture = adjusted.get();
      }
      if (orvaq::imaging::BuildContrastLuminosityTable(c.luminosity, c.contrast, table)) {
        std::unique_ptr<gp::Bitmap> next(ReferenceTable(picture, table));
        ASSERT_TRUE(next);
        adjusted = std::move(next);
        picture = adjusted.get();
      }
    }
    marked.reset(ReferenceMark(picture, mark.get(), L"LUMEQ"));
    ASSERT_TRUE(marked);
    marked->SetResolution(orvaq::recon::DotsPerInch(resolution), orvaq::recon::DotsPerInch(resolution));
    const std::wstring referenceBmp = images + L"reference.bmp";
    ASSERT_TRUE(orvaq::imaging::WriteGreyBmp(marked.get(), referenceBmp));
    const std::vector<uint8_t> expected = wintest::ReadFileBytes(referenceBmp);

    ASSERT_EQ(produced.size(), expected.size());
    size_t differing = 0, first = 0;
    for (size_t i = 0; i < produced.size(); ++i)
      if (produced[i] != expected[i] && differing++ == 0) first = i;
    EXPECT_EQ(differing, 0u) << "first at byte " << first << " of " << produced.size() << " (" << w << " x " << h
                             << ")";
    RemoveFolder(images);
  }
}

}  // namespace
