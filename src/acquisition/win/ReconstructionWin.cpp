// Win32 and GDI+ edge of the reconstruction (see ReconstructionWin.h).
#include "acquisition/win/ReconstructionWin.h"


#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "acquisition/win/AcquisitionHostWin.h"
#include "filter_binding/win/RXFilterLibraryWin.h"
#include "imaging/Grey8.h"
#include "imaging/win/GdiPictures.h"
#include "logging/KvLogger.h"
#include "settings/KvParameters.h"

namespace gp = Gdiplus;

namespace {

CGdiReconPicture& G(IReconPicture& p) { return static_cast<CGdiReconPicture&>(p); }

// The names of the steps in the log (read by tools/acqtimes.py).
const wchar_t* StepName(ReconStep step) {
  switch (step) {
    case ReconStep::Start: return L"début";
    case ReconStep::Correction: return L"correction";
    case ReconStep::Filter: return L"filtre";
    case ReconStep::RawCopy: return L"copie RAW";
    case ReconStep::Bitmap: return L"bitmap";
    case ReconStep::Thumbnail: return L"vignette";
    case ReconStep::Adjustments: return L"réglages";
    case ReconStep::Mark: return L"marqueur";
    case ReconStep::Files: return L"fichiers";
    case ReconStep::End: return L"fin";
  }
  return L"?";
}

std::unique_ptr<IReconPicture> Wrap(gp::Bitmap* bitmap) {
  if (!bitmap) return nullptr;
  return std::unique_ptr<IReconPicture>(new CGdiReconPicture(bitmap));
}


}  // namespace

// ------------------------------------------------------------------ CReconEnvWin

uint32_t CReconEnvWin::GetTickCount() { return ::GetTickCount(); }

int CReconEnvWin::ShowMessageBox(const std::wstring& text, unsigned style) {
  return MessageBoxW(m_hMainWindow, text.c_str(), m_sCaption.c_str(), style);
}

void CReconEnvWin::MessageBeep(unsigned type) { ::MessageBeep(type); }

void CReconEnvWin::Repaint() {
  if (!m_hMainWindow) return;
  InvalidateRect(m_hMainWindow, nullptr, TRUE);
  UpdateWindow(m_hMainWindow);
}

std::wstring CReconEnvWin::LocalTimeText() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  wchar_t text[32];
  swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
           st.wSecond);
  return text;
}

void CReconEnvWin::MainWindowRect(int& left, int& top, int& right, int& bottom) {
  RECT r{0, 0, 0, 0};
  if (m_hMainWindow) GetWindowRect(m_hMainWindow, &r);
  left = r.left;
  top = r.top;
  right = r.right;
  bottom = r.bottom;
}

// ------------------------------------------------------------- CGdiReconPictures

namespace {
// A bottom-up 8-bit device-independent bitmap with the grey palette and `ppm` pixels per
// metre both ways; `pixels` points at its first (bottom) row. The pixels are left for the
// caller to write, all of them: only the padding at the end of each row is zeroed.
std::unique_ptr<uint8_t[]> NewGreyDib(int width, int height, int32_t ppm, uint8_t*& pixels) {
  const size_t stride = (size_t(width) + 3) & ~size_t(3);
  const size_t headerSize = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
  std::unique_ptr<uint8_t[]> dib(new (std::nothrow) uint8_t[headerSize + stride * size_t(height)]);
  if (!dib) return nullptr;
  std::memset(dib.get(), 0, headerSize);
  if (stride > size_t(width))
    for (int y = 0; y < height; ++y) std::memset(dib.get() + headerSize + size_t(y) * stride + width, 0, stride - width);
  auto* info = reinterpret_cast<BITMAPINFO*>(dib.get());
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = width;
  info->bmiHeader.biHeight = height;  // bottom-up
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = 8;
  info->bmiHeader.biCompression = BI_RGB;
  info->bmiHeader.biXPelsPerMeter = ppm;
  info->bmiHeader.biYPelsPerMeter = ppm;
  info->bmiHeader.biClrUsed = 256;
  info->bmiHeader.biClrImportant = 256;
  for (int i = 0; i < 256; ++i) info->bmiColors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  pixels = dib.get() + headerSize;
  return dib;
}

// An 8-bit bitmap over `memory` (allocated here, top row first, rows padded to 4 bytes
// and the padding zeroed; the caller writes the pixels before the bitmap is used), with
// the palette and resolution of `model`. Null when GDI+ refuses any of it.
gp::Bitmap* NewGreyBitmapLike(gp::Bitmap& model, int width, int height, std::unique_ptr<uint8_t[]>& memory,
                              INT& stride) {
  stride = INT((size_t(width) + 3) & ~size_t(3));
  memory.reset(new (std::nothrow) uint8_t[size_t(stride) * size_t(height)]);
  if (!memory) return nullptr;
  if (stride > width)
    for (int y = 0; y < height; ++y) std::memset(memory.get() + size_t(y) * stride + width, 0, size_t(stride - width));
  const INT paletteSize = model.GetPaletteSize();
  if (paletteSize <= 0) return nullptr;
  std::vector<uint8_t> palette(size_t(paletteSize), 0);
  auto* colours = reinterpret_cast<gp::ColorPalette*>(palette.data());
  std::unique_ptr<gp::Bitmap> bitmap(new gp::Bitmap(width, height, stride, PixelFormat8bppIndexed, memory.get()));
  if (!bitmap || bitmap->GetLastStatus() != gp::Ok || model.GetPalette(colours, paletteSize) != gp::Ok ||
      bitmap->SetPalette(colours) != gp::Ok ||
      bitmap->SetResolution(model.GetHorizontalResolution(), model.GetVerticalResolution()) != gp::Ok)
    return nullptr;
  return bitmap.release();
}
}  // namespace

std::unique_ptr<IReconPicture> CGdiReconPictures::FromGreyRows(const uint8_t* rows, int width, int height,
                                                               int32_t ppm) {
  if (!rows || width <= 0 || height <= 0) return nullptr;
  // What the platform makes of such a device-independent bitmap (format, palette,
  // resolution) is read from a 1 x 1 one; the picture itself is then written straight
  // into a bitmap of GDI+'s own, which saves a copy of the whole picture.
  uint8_t* probePixels = nullptr;
  std::unique_ptr<uint8_t[]> probeDib = NewGreyDib(1, 1, ppm, probePixels);
  if (probeDib) {
    gp::Bitmap probe(reinterpret_cast<BITMAPINFO*>(probeDib.get()), probePixels);
    std::unique_ptr<uint8_t[]> memory;
    INT stride = 0;
    std::unique_ptr<gp::Bitmap> bitmap;
    if (probe.GetLastStatus() == gp::Ok && probe.GetPixelFormat() == PixelFormat8bppIndexed)
      bitmap.reset(NewGreyBitmapLike(probe, width, height, memory, stride));
    if (bitmap) {
      // The library's first row is the bottom one, as in the device-independent bitmap.
      for (int y = 0; y < height; ++y)
        std::memcpy(memory.get() + size_t(y) * stride, rows + size_t(height - 1 - y) * width, size_t(width));
      if (orvaq::imaging::IsGrey8Picture(bitmap.get()))
        return std::unique_ptr<IReconPicture>(new CGdiReconPicture(bitmap.release(), std::move(memory)));
    }
  }
  const size_t stride = (size_t(width) + 3) & ~size_t(3);
  uint8_t* pixels = nullptr;
  std::unique_ptr<uint8_t[]> dib = NewGreyDib(width, height, ppm, pixels);
  if (!dib) return nullptr;
  // The library's rows in order: its first row is the bitmap's first (bottom) row.
  for (int y = 0; y < height; ++y) std::memcpy(pixels + size_t(y) * stride, rows + size_t(y) * width, size_t(width));
  std::unique_ptr<gp::Bitmap> bitmap(new gp::Bitmap(reinterpret_cast<BITMAPINFO*>(dib.get()), pixels));
  if (!bitmap || bitmap->GetLastStatus() != gp::Ok) return nullptr;
  return std::unique_ptr<IReconPicture>(new CGdiReconPicture(bitmap.release(), std::move(dib)));
}

void CGdiReconPictures::ShowThumbnail(IReconPicture& picture, int x, int y, int width) {
  orvaq::imaging::DrawScreenThumbnail(G(picture).Bitmap(), x, y, width, &m_LastThumbnail);
}

bool CGdiReconPictures::Rotate90(IReconPicture& picture) {
  gp::Bitmap* b = G(picture).Bitmap();
  if (!b) return false;
  // A grey picture is turned on its 8-bit pixels, straight into a new bitmap of the same
  // kind (palette and resolution copied): GDI+ would take several times as long.
  if (orvaq::imaging::IsGrey8Picture(b)) {
    const INT w = INT(b->GetWidth()), h = INT(b->GetHeight());
    std::unique_ptr<uint8_t[]> memory;
    INT stride = 0;
    std::unique_ptr<gp::Bitmap> rotated(NewGreyBitmapLike(*b, h, w, memory, stride));
    gp::Rect from(0, 0, w, h);
    gp::BitmapData s{};
    if (rotated && b->LockBits(&from, gp::ImageLockModeRead, PixelFormat8bppIndexed, &s) == gp::Ok) {
      const bool turned = orvaq::imaging::RotateGreyClockwise(
          orvaq::imaging::GreyView{static_cast<uint8_t*>(s.Scan0), w, h, s.Stride},
          orvaq::imaging::GreyView{memory.get(), h, w, stride});
      b->UnlockBits(&s);
      // Its resolution as the platform's turn leaves it: across and down exchanged.
      if (turned && rotated->SetResolution(b->GetVerticalResolution(), b->GetHorizontalResolution()) == gp::Ok &&
          orvaq::imaging::IsGrey8Picture(rotated.get())) {
        G(picture).Replace(rotated.release(), std::move(memory));
        return true;
      }
    }
  }
  return b->RotateFlip(gp::Rotate90FlipNone) == gp::Ok;
}

bool CGdiReconPictures::SaveWithBmpEncoder(IReconPicture& picture, const std::wstring& path) {
  return orvaq::imaging::SaveWithBmpEncoder(G(picture).Bitmap(), path);
}

bool CGdiReconPictures::WriteGreyBmp(IReconPicture& picture, const std::wstring& path) {
  return orvaq::imaging::WriteGreyBmp(G(picture).Bitmap(), path);
}

std::unique_ptr<IReconPicture> CGdiReconPictures::AdjustGamma(IReconPicture& picture, int gamma) {
  return Wrap(orvaq::imaging::AdjustGamma(G(picture).Bitmap(), gamma));
}

std::unique_ptr<IReconPicture> CGdiReconPictures::AdjustContrastLuminosity(IReconPicture& picture, int lum, int con) {
  return Wrap(orvaq::imaging::AdjustContrastLuminosity(G(picture).Bitmap(), lum, con));
}

std::unique_ptr<IReconPicture> CGdiReconPictures::AddSensorMark(IReconPicture& picture, const std::wstring& markName,
                                                                const std::wstring& text) {
  return Wrap(orvaq::imaging::AddSensorMark(G(picture).Bitmap(), SkinOrStandIn(markName), text));
}

bool CGdiReconPictures::ApplyGreyTable(IReconPicture& picture, const uint8_t table[256]) {
  return orvaq::imaging::ApplyGreyTable(G(picture).Bitmap(), table);
}

bool CGdiReconPictures::AddSensorMarkGrey(IReconPicture& picture, const std::wstring& markName,
                                          const std::wstring& text) {
  return orvaq::imaging::AddSensorMarkGrey(G(picture).Bitmap(), SkinOrStandIn(markName), text);
}

void CGdiReconPictures::SetResolution(IReconPicture& picture, float dpi) {
  if (gp::Bitmap* b = G(picture).Bitmap()) b->SetResolution(dpi, dpi);
}

IReconPicture* CGdiReconPictures::BuiltInPicture(const std::wstring& name) {
  auto it = m_BuiltIn.find(name);
  if (it != m_BuiltIn.end()) return it->second.get();
  gp::Bitmap* source = SkinOrStandIn(name);
  if (!source) return nullptr;
  // A copy of our own: the resolution set on it must not change the skin's picture.
  gp::Bitmap* copy = source->Clone(0, 0, INT(source->GetWidth()), INT(source->GetHeight()), PixelFormat24bppRGB);
  if (!copy || copy->GetLastStatus() != gp::Ok) {
    delete copy;
    return nullptr;
  }
  CGdiReconPicture* picture = new CGdiReconPicture(copy);
  m_BuiltIn[name].reset(picture);
  return picture;
}

gp::Bitmap* CGdiReconPictures::SkinOrStandIn(const std::wstring& name) {
  if (skinPicture)
    if (gp::Bitmap* b = skinPicture(name)) return b;
  auto it = m_StandIns.find(name);
  if (it != m_StandIns.end()) return it->second.get();
  // The skin's sizes: marks 32 x 12 and 64 x 24, empty plates 500 and 1000 square.
  int w = 0, h = 0;
  if (name == L"MARK_SENSOR_20") w = 32, h = 12;
  else if (name == L"MARK_SENSOR_40") w = 64, h = 24;
  else if (name == L"EMPY_PLATE_FAST") w = h = 500;
  else if (name == L"EMPY_PLATE_SD") w = h = 1000;
  else return nullptr;
  std::unique_ptr<gp::Bitmap> b(new gp::Bitmap(w, h, PixelFormat24bppRGB));
  if (!b || b->GetLastStatus() != gp::Ok) return nullptr;
  {
    gp::Graphics g(b.get());
    const bool mark = h < 100;
    gp::SolidBrush fill(mark ? gp::Color(255, 255, 255, 255) : gp::Color(255, 200, 200, 200));
    g.FillRectangle(&fill, 0, 0, w, h);
    if (!mark) {
      // A frame and a diagonal, so an empty plate is never taken for an exposed one.
      gp::Pen pen(gp::Color(255, 96, 96, 96), gp::REAL(w / 100));
      g.DrawRectangle(&pen, w / 20, h / 20, w - w / 10, h - h / 10);
      g.DrawLine(&pen, w / 20, h - h / 20, w - w / 20, h / 20);
    }
  }
  gp::Bitmap* raw = b.get();
  m_StandIns[name] = std::move(b);
  return raw;
}

// ------------------------------------------------------------- CReconstructionWin

CReconstructionWin::CReconstructionWin(IReconProgress& controller, CKvParameters& parameters, HWND mainWindow)
    : m_Settings(parameters),
      m_Env(mainWindow, parameters.GetText(1000)),
      m_MultiPlate(m_Settings, m_Env, m_System, CWinModuleLoader::Instance()),
      m_Reconstruction(controller, m_Settings, m_Env, m_System, m_Pictures, CWinModuleLoader::Instance(),
                       m_MultiPlate),
      m_MultiPlateHost(parameters, m_Reconstruction) {
  m_MultiPlate.SetHost(&m_MultiPlateHost);
  // Each step's tick in the log, so that the time from the last received byte to the
  // ".NFO" can be read step by step (tools/acqtimes.py).
  m_Reconstruction.onStep = [this](ReconStep step) {
    LogPrintf(L"Étape de la reconstruction : %ls à %lu ms.", StepName(step),
              static_cast<unsigned long>(m_Env.GetTickCount()));
  };
}

int CMultiPlateHostWin::DelayT4() { return m_Parameters.GetDelayT4(); }

bool CMultiPlateHostWin::RebuildAlone(const std::wstring& rawPath) {
  // A part handed to the rebuild program keeps its pending record until that program's
  // outputs exist; only a part rebuilt here is done at once.
  if (m_Reconstruction.ExternalRebuild(rawPath)) return false;
  return m_Reconstruction.ClassicRebuild(rawPath);
}

void CReconstructionWin::Attach(CAcquisitionHostWin& host) {
  host.reconstruct = [this] { return m_Reconstruction.ReconstructAcquisition(); };
}

int RecoverPendingPlatesWin(CKvParameters& parameters,
                            std::function<Gdiplus::Bitmap*(const std::wstring& name)> skinPicture) {
  CKvReconSettings settings(parameters);
  CReconEnvWin env(nullptr, parameters.GetText(1000));
  CKvSystemWin system;
  CGdiReconPictures pictures;
  pictures.skinPicture = std::move(skinPicture);
  CNoMultiPlate noMultiPlate;
  CNoReconProgress noController;
  CReconstruction reconstruction(noController, settings, env, system, pictures, CWinModuleLoader::Instance(),
                                 noMultiPlate);
  return reconstruction.RecoverPendingPlates();
}
