// Win32 and GDI+ edge of the reconstruction (see ReconstructionWin.h).
#include "acquisition/win/ReconstructionWin.h"


#include <cstring>
#include <cwchar>
#include <new>

#include "acquisition/win/AcquisitionHostWin.h"
#include "filter_binding/win/RXFilterLibraryWin.h"
#include "imaging/win/GdiPictures.h"
#include "settings/KvParameters.h"

namespace gp = Gdiplus;

namespace {

CGdiReconPicture& G(IReconPicture& p) { return static_cast<CGdiReconPicture&>(p); }

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

std::unique_ptr<IReconPicture> CGdiReconPictures::FromGreyRows(const uint8_t* rows, int width, int height,
                                                               int32_t ppm) {
  if (!rows || width <= 0 || height <= 0) return nullptr;
  const size_t stride = (size_t(width) + 3) & ~size_t(3);
  const size_t headerSize = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
  std::unique_ptr<uint8_t[]> dib(new (std::nothrow) uint8_t[headerSize + stride * size_t(height)]());
  if (!dib) return nullptr;
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
  // The library's rows in order: its first row is the bitmap's first (bottom) row.
  uint8_t* pixels = dib.get() + headerSize;
  for (int y = 0; y < height; ++y) std::memcpy(pixels + size_t(y) * stride, rows + size_t(y) * width, size_t(width));
  std::unique_ptr<gp::Bitmap> bitmap(new gp::Bitmap(info, pixels));
  if (!bitmap || bitmap->GetLastStatus() != gp::Ok) return nullptr;
  return std::unique_ptr<IReconPicture>(new CGdiReconPicture(bitmap.release(), std::move(dib)));
}

void CGdiReconPictures::ShowThumbnail(IReconPicture& picture, int x, int y, int width) {
  orvaq::imaging::DrawScreenThumbnail(G(picture).Bitmap(), x, y, width, &m_LastThumbnail);
}

bool CGdiReconPictures::Rotate90(IReconPicture& picture) {
  gp::Bitmap* b = G(picture).Bitmap();
  return b && b->RotateFlip(gp::Rotate90FlipNone) == gp::Ok;
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
