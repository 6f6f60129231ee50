// OrvaqRbld2's work routine (see OrvaqRbld2App.h).
#include "rebuild/win/OrvaqRbld2App.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <new>
#include <utility>

#include "common/RawFormat.h"
#include "common/Text.h"
#include "common/win/KvHandle.h"
#include "filter_binding/win/RXFilterLibraryWin.h"
#include "imaging/win/GdiPictures.h"
#include "rebuild/Image16Transforms.h"
#include "settings/KvPaths.h"

namespace gp = Gdiplus;
using namespace orvaq::rebuild;
using orvaq::imaging::CGdiplusSession;

namespace {

constexpr int kContinue = -1;  // a step went well: the routine goes on
constexpr int kThumbnailWidth = 128;
constexpr DWORD kThumbnailWaitMs = 5000;
constexpr wchar_t kAcquisition[] = L"ACQUISITION";

bool HasImage(const BufferFinal& b) { return b.pBuffer && b.width && b.height; }
bool HasImage(const BufferFinal16& b) { return b.pBuffer && b.width && b.height; }

}  // namespace

// --------------------------------------------------------------- CErrorKeepingLoader

void* CErrorKeepingLoader::Load(const wchar_t* name) {
  SetLastError(0);
  void* module = CWinModuleLoader::Instance().Load(name);
  m_LoadError = module ? 0 : GetLastError();
  return module;
}

void* CErrorKeepingLoader::Find(void* module, const char* name) {
  SetLastError(0);
  void* entry = CWinModuleLoader::Instance().Find(module, name);
  if (!entry) m_FindErrors[name] = GetLastError();
  return entry;
}

void CErrorKeepingLoader::Free(void* module) { CWinModuleLoader::Instance().Free(module); }

DWORD CErrorKeepingLoader::FindError(const char* name) const {
  auto it = m_FindErrors.find(name);
  return it == m_FindErrors.end() ? 0 : it->second;
}

// -------------------------------------------------------------------- COrvaqRbld2App

int COrvaqRbld2App::InitInstance() {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES |
                                    ICC_INTERNET_CLASSES | ICC_PAGESCROLLER_CLASS | ICC_NATIVEFNTCTL_CLASS |
                                    ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
  InitCommonControlsEx(&controls);
  std::vector<std::wstring> arguments;
  int count = 0;
  if (LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) arguments.emplace_back(list[i]);
    LocalFree(list);
  }
  return Run(arguments);
}

int COrvaqRbld2App::Run(const std::vector<std::wstring>& arguments) {
  FreeConsole();
  struct CReleaseLibrary {  // every exit from here on frees the library and the buffers
    COrvaqRbld2App& app;
    ~CReleaseLibrary() {
      app.ReleaseImages();
      app.m_pLibrary.reset();
    }
  } release{*this};

  if (const int r = BindLibrary(); r != kContinue) return r;
  if ((GetAsyncKeyState(VK_SHIFT) & 0x8000) && (GetAsyncKeyState(VK_CONTROL) & 0x8000))
    MessageBoxW(nullptr, FormatArgumentList(arguments).c_str(), L"INFO", MB_OK);

  m_Options = ParseRebuildArguments(arguments);
  // The final rename needs the path within 260 characters with its terminator.
  if (!m_Options.hasInfoPath || m_Options.infoPath.size() >= kMaxPath) return Fail(kResultNoInfoPath, 0);
  if (m_Options.mode == RebuildMode::None) return Fail(kResultNoMode, 0);
  if (m_Options.mode == RebuildMode::NoWork) return kResultOk;

  if (const int r = ReadInfoFile(); r != kContinue) return r;
  bool emptyPlate = false;
  if (const int r = ReadHeaderAndSizeBuffers(emptyPlate); r != kContinue) return r;
  if (emptyPlate) return EmptyPlatePath();
  if (const int r = Reconstruct(); r != kContinue) return r;

  if (!HasImage(m_Image16)) {
    m_Pixels16.Free();
    m_Image16 = BufferFinal16{};
  }
  if (!HasImage(m_Image8)) {
    ReleaseImages();
    return EmptyPlatePath();
  }
  return WriteOutputs();
}

int COrvaqRbld2App::BindLibrary() {
  m_pLibrary.reset(new CRXFilterLibrary(m_Loader));
  if (!m_pLibrary->Load()) return Fail(kResultLoadLibrary, m_Loader.LoadError());
  if (!m_pLibrary->Has(CRXFilterLibrary::kFullCorrection))
    return Fail(kResultNoFullCorrection, m_Loader.FindError("LUMEQ2FullCorrection"));
  if (!m_pLibrary->Has(CRXFilterLibrary::kApplyFilter))
    return Fail(kResultNoApplyFilter, m_Loader.FindError("ApplyLUMEQ2FilterX0X3"));
  return kContinue;
}

int COrvaqRbld2App::ReadInfoFile() {
  const std::wstring& info = m_Options.infoPath;
  if (GetFileAttributesW(info.c_str()) == INVALID_FILE_ATTRIBUTES) return Fail(kResultNoInfoFile, GetLastError(), info);
  wchar_t raw[kMaxPath] = {};
  SetLastError(0);
  if (GetPrivateProfileStringW(kAcquisition, L"File16", L"", raw, kMaxPath, info.c_str()) == 0)
    return Fail(kResultNoFile16, GetLastError());
  m_sRawPath = raw;
  if (GetFileAttributesW(m_sRawPath.c_str()) == INVALID_FILE_ATTRIBUTES)
    return Fail(kResultNoRawFile, GetLastError(), m_sRawPath);
  return kContinue;
}

int COrvaqRbld2App::ReadHeaderAndSizeBuffers(bool& emptyPlate) {
  CKvFileHandle file(CreateFileW(m_sRawPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Fail(kResultOpenRaw, GetLastError(), m_sRawPath);
  LARGE_INTEGER size{}, zero{};
  if (!SetFilePointerEx(file.Get(), zero, &size, FILE_END) || !SetFilePointerEx(file.Get(), zero, nullptr, FILE_BEGIN))
    return Fail(kResultRawSize, GetLastError());
  if (size.QuadPart < LONGLONG(orvaq::raw::kHeaderSize)) {
    emptyPlate = true;
    return kContinue;
  }
  uint8_t header[orvaq::raw::kHeaderSize] = {};
  DWORD got = 0;
  if (!ReadFile(file.Get(), header, sizeof header, &got, nullptr)) return Fail(kResultReadHeader, GetLastError());
  if (got < sizeof header) return Fail(kResultShortHeader, 0);
  file.Close();

  m_nMode = header[orvaq::raw::kOffMode];
  const ModeRow row = ModeTable(m_nMode);
  if (!row.known) return Fail(kResultUnknownMode, 0);
  m_fResolution = row.resolution;
  const orvaq::recon::BufferSizing sizing = SizeBuffers(uint64_t(size.QuadPart), m_nMode);
  if (!m_Pixels8.Allocate(sizing.Bytes())) return Fail(kResultNoMemory8, 0);
  if (!m_Pixels16.Allocate(sizing.Bytes())) {
    m_Pixels8.Free();
    return Fail(kResultNoMemory16, 0);
  }
  m_Image8 = BufferFinal{0, sizing.width, sizing.height, m_Pixels8.Get()};
  m_Image16 = BufferFinal16{0, sizing.width, sizing.height, m_Pixels16.Get()};

  // The correction's parameters; the work block is optional to the library.
  char* folder = nullptr;
  if (m_Options.storeIntermediateImages) {
    const std::wstring wide = IntermediateFolderFor(m_Options.infoPath);
    CreateDirectoryW(wide.c_str(), nullptr);  // an existing folder is no error
    if (m_FolderPath.Allocate(kMaxPath)) {
      WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, m_FolderPath.Get(), int(kMaxPath) - 1, nullptr, nullptr);
      folder = m_FolderPath.Get();
    }
  }
  orvaq::recon::CorrectionSettings settings;
  settings.horizontalCorrection = true;
  settings.horizontalCorrectionFactor = 0.016;
  settings.horizontalCorrectionType = 0;
  settings.horizontalEpsilonCorrection = 0.1;
  settings.horizontalOffsetCorrection = 0;
  settings.storeIntermediateImages = m_Options.storeIntermediateImages;
  settings.valeurEtirement = 57000;
  settings.ignoreMire = m_Options.ignoreMire;
  m_WorkBlock.Allocate(1024);
  orvaq::recon::FillCorrectionParams(settings, uint16_t(m_nMode), m_WorkBlock.Get(), folder, m_Params);
  return kContinue;
}

int COrvaqRbld2App::Reconstruct() {
  std::string error;
  int result = kContinue;
  // Standard exceptions and library faults alike, from the correction to the derivation.
  const bool completed = CRXFilterLibrary::Guarded("Exception lors des phases de reconstruction.",
                                                   [&] { result = CorrectAndFilter(); }, &error);
  m_WorkBlock.Free();
  m_FolderPath.Free();
  if (!completed) {
    ReleaseImages();
    MessageBoxW(nullptr, orvaq::FromUtf8(error).c_str(), L"Error", MB_OK | MB_ICONWARNING);
    return kResultException;
  }
  return result;
}

int COrvaqRbld2App::CorrectAndFilter() {
  const DepthPlan plan = PlanForDepth(m_Options.depthChoice);
  if (m_pLibrary->Has(CRXFilterLibrary::kFullCorrection8_16)) {
    BufferFinal* out8 = &m_Image8;
    BufferFinal16* out16 = &m_Image16;
    if (!plan.pass8) {
      m_Image8.width = 0;
      out8 = nullptr;
    }
    if (!plan.pass16) {
      m_Pixels16.Free();
      m_Image16 = BufferFinal16{};
      out16 = nullptr;
    }
    if (m_pLibrary->m_pfnFullCorrection8_16(m_sRawPath.c_str(), out8, out16, &m_Params) != 0)
      m_Image8.width = m_Image16.width = 0;
  } else {
    // The 16-bit record never reaches the library, so it holds no image.
    m_Image16.width = 0;
    if (m_pLibrary->m_pfnFullCorrection(m_sRawPath.c_str(), &m_Image8, &m_Params) != 0) m_Image8.width = 0;
  }
  // A record claiming more than its buffer holds is no image: nothing past it is read.
  if (size_t(m_Image8.width) * m_Image8.height > m_Pixels8.Count()) m_Image8.width = 0;
  if (size_t(m_Image16.width) * m_Image16.height > m_Pixels16.Count()) m_Image16.width = 0;

  m_Code = DecodeImageCode(m_Params.ImageCode, m_fResolution);
  m_fResolution = m_Code.resolution;

  if (m_Options.mode == RebuildMode::RebuildAndFilter) {
    const int level = m_Options.filterLevel;
    if (HasImage(m_Image8)) {
      FilterImage image{m_Image8.width, m_Image8.height, m_Image8.width, 8, 1, m_Image8.pBuffer};
      FilterParams params = FilterParams8(level, m_Code);
      if (m_pLibrary->m_pfnApplyFilter(&image, &params, 0) == 0) {
        m_Pixels8.Free();
        m_Image8 = BufferFinal{};
        return Fail(kResultFilter8, 0);
      }
    }
    if (HasImage(m_Image16) && Filters16(level)) {
      FilterImage image{m_Image16.width, m_Image16.height, 2 * m_Image16.width, 16, 1, m_Image16.pBuffer};
      FilterParams params = FilterParams16(level, m_Code);
      if (m_pLibrary->m_pfnApplyFilter(&image, &params, 0) == 0) {
        ReportFailure(kFilter16Operation, kErrorUnidentified);
        m_Pixels16.Free();
        m_Image16 = BufferFinal16{};
      }
    }
  }

  if (plan.derive8 && HasImage(m_Image16)) {
    const size_t count = size_t(m_Image16.width) * m_Image16.height;
    // Within the 8-bit buffer of the raw file's size, or no 8-bit picture at all.
    if (DeriveHighBytes(m_Image16.pBuffer, count, m_Pixels8.Get(), m_Pixels8.Count()))
      m_Image8 = BufferFinal{0, m_Image16.width, m_Image16.height, m_Pixels8.Get()};
    if (!plan.keep16) {
      m_Pixels16.Free();
      m_Image16 = BufferFinal16{};
    }
  }
  return kContinue;
}

int COrvaqRbld2App::WriteOutputs() {
  const std::wstring& info = m_Options.infoPath;
  const bool preview = m_Options.preview, place = m_Options.HasThumbnailPlace();
  int width = m_Image8.width, height = m_Image8.height;

  // The 8-bit device-independent bitmap: bottom-up, so the first buffer row is the
  // picture's bottom row; grey palette.
  const size_t stride = (size_t(width) + 3) & ~size_t(3);
  const size_t headerSize = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
  std::unique_ptr<uint8_t[]> dib(new (std::nothrow) uint8_t[headerSize + stride * size_t(height)]());
  if (!dib) return Fail(kResultNoMemory8, 0);
  auto* bitmapInfo = reinterpret_cast<BITMAPINFO*>(dib.get());
  BITMAPINFOHEADER& h = bitmapInfo->bmiHeader;
  h.biSize = sizeof h;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 8;
  h.biCompression = BI_RGB;
  h.biSizeImage = 0;
  h.biXPelsPerMeter = h.biYPelsPerMeter = PixelsPerMetre(m_fResolution);
  h.biClrUsed = h.biClrImportant = 256;
  for (int i = 0; i < 256; ++i) bitmapInfo->bmiColors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  uint8_t* rows = dib.get() + headerSize;
  for (int y = 0; y < height; ++y)
    std::memcpy(rows + size_t(y) * stride, m_Image8.pBuffer + size_t(y) * width, size_t(width));
  m_Pixels8.Free();
  m_Image8 = BufferFinal{};

  const int sizeClass = SizeClass(width, height, m_fResolution);
  const std::wstring bmpPath = BitmapPathFor(info);
  {
    CGdiplusSession gdiplus;
    std::unique_ptr<gp::Bitmap> picture(gdiplus.Ok() ? new gp::Bitmap(bitmapInfo, rows) : nullptr);
    if (!picture || picture->GetLastStatus() != gp::Ok) {
      picture.reset();
      return Fail(kResultNoMemory8, 0);
    }
    if (place && !preview)
      orvaq::imaging::DrawScreenThumbnail(picture.get(), m_Options.thumbX, m_Options.thumbY, kThumbnailWidth,
                                          &m_ThumbnailRect);

    // Orientation: afterwards the 16-bit image lies as the picture is seen, top row
    // first. A 16-bit image that cannot follow the picture is dropped, never written
    // the other way round.
    if (TurnsClockwise(sizeClass)) {
      if (picture->RotateFlip(gp::Rotate90FlipNone) == gp::Ok) {
        std::swap(width, height);
        if (HasImage(m_Image16) && !Transpose16(m_Image16)) m_Image16 = BufferFinal16{};
      } else if (HasImage(m_Image16) && !MirrorTopBottom16(m_Image16)) {
        m_Image16 = BufferFinal16{};
      }
    } else if (HasImage(m_Image16) && !MirrorTopBottom16(m_Image16)) {
      m_Image16 = BufferFinal16{};
    }
    orvaq::imaging::SaveWithBmpEncoder(picture.get(), ThumbnailFileFor(info));

    if (m_Options.mode == RebuildMode::RebuildAndFilter) {
      if (gp::Bitmap* adjusted = orvaq::imaging::AdjustGamma(picture.get(), m_Options.gamma)) picture.reset(adjusted);
      if (gp::Bitmap* adjusted =
              orvaq::imaging::AdjustContrastLuminosity(picture.get(), m_Options.luminosity, m_Options.contrast))
        picture.reset(adjusted);
    }

    m_Dlg.DoModal(picture.get(), HasImage(m_Image16) ? &m_Image16 : nullptr, m_Options.thumbX, m_Options.thumbY,
                  !preview);
    // OK or Escape, the size recorded is the size of the picture written: the turns
    // made in the preview stay in both the picture and the 16-bit image.
    width = int(picture->GetWidth());
    height = int(picture->GetHeight());

    const float dpi = DotsPerInch(m_fResolution);
    picture->SetResolution(dpi, dpi);
    if (gp::Bitmap* marked = orvaq::imaging::DrawProductMark(picture.get(), L"LUMEQ")) picture.reset(marked);
    if (!orvaq::imaging::WriteGreyBmp(picture.get(), bmpPath))
      orvaq::imaging::SaveWithBmpEncoder(picture.get(), bmpPath);
    picture.reset();
  }
  dib.reset();

  MainPathRecord record;
  record.sizeClass = sizeClass;
  record.resolution = m_fResolution;
  record.width = width;
  record.height = height;
  record.bmpPath = bmpPath;
  record.binPath = orvaq::paths::ReplaceExtension(m_sRawPath, L".bin");
  MoveFileExW(m_sRawPath.c_str(), record.binPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
  if (HasImage(m_Image16)) {
    record.rawPath = orvaq::paths::ReplaceExtension(record.binPath, L".raw");
    record.rawWidth = m_Image16.width;
    record.rawHeight = m_Image16.height;
    CKvFileHandle raw(CreateFileW(record.rawPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!raw) {
      record.raw16 = Raw16Outcome::NotCreated;
    } else {
      // The samples in one write, no header.
      const DWORD bytes = DWORD(m_Image16.width) * m_Image16.height * 2;
      DWORD written = 0;
      bool whole = WriteFile(raw.Get(), m_Image16.pBuffer, bytes, &written, nullptr) && written == bytes;
      whole = raw.Close() && whole;
      record.raw16 = whole ? Raw16Outcome::Written : Raw16Outcome::Short;
    }
  }
  record.mire = m_Code.mire;
  WriteKeys(MainPathKeys(record));
  ReleaseImages();
  HandOver();
  return kResultOk;
}

int COrvaqRbld2App::EmptyPlatePath() {
  const std::wstring& info = m_Options.infoPath;
  wchar_t raw[kMaxPath] = {};
  if (GetPrivateProfileStringW(kAcquisition, L"File16", L"", raw, kMaxPath, info.c_str()) > 0) m_sRawPath = raw;
  const int mode = ReadModeAgain();

  CGdiplusSession gdiplus;
  const wchar_t* name = EmptyPlatePictureFor(mode);
  if (!name) return Fail(kResultNoEmptyPlatePicture, 0);
  std::unique_ptr<gp::Bitmap> picture(gdiplus.Ok() ? LoadEmptyPlatePicture(name) : nullptr);
  if (!picture) {
    MessageBeep(MB_ICONHAND);
    return kResultEmptyPlatePictureLost;
  }
  const bool fast = mode == 2;
  m_Dlg.DoModal(picture.get(), nullptr, -1, -1, !m_Options.preview);
  if (m_Options.HasThumbnailPlace() && !m_Options.preview)
    orvaq::imaging::DrawScreenThumbnail(picture.get(), m_Options.thumbX, m_Options.thumbY, kThumbnailWidth,
                                        &m_ThumbnailRect);
  const float dpi = EmptyPlateDotsPerInch(fast);
  picture->SetResolution(dpi, dpi);
  const std::wstring bmpPath = BitmapPathFor(info);
  if (!orvaq::imaging::WriteGreyBmp(picture.get(), bmpPath)) orvaq::imaging::SaveWithBmpEncoder(picture.get(), bmpPath);

  EmptyPlateRecord record{fast, int(picture->GetWidth()), int(picture->GetHeight()), bmpPath,
                          orvaq::paths::ReplaceExtension(m_sRawPath, L".raw")};
  picture.reset();
  MoveFileExW(m_sRawPath.c_str(), record.rawPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
  WriteKeys(EmptyPlateKeys(record));
  HandOver();
  return kResultOk;
}

int COrvaqRbld2App::ReadModeAgain() {
  CKvFileHandle file(CreateFileW(m_sRawPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return -1;
  uint8_t header[orvaq::raw::kHeaderSize] = {};
  DWORD got = 0;
  if (!ReadFile(file.Get(), header, sizeof header, &got, nullptr) || got < sizeof header) return -1;
  return header[orvaq::raw::kOffMode];
}

gp::Bitmap* COrvaqRbld2App::LoadEmptyPlatePicture(const wchar_t* name) {
  HRSRC resource = FindResourceW(m_hInstance, name, L"RXSK");
  HGLOBAL loaded = resource ? LoadResource(m_hInstance, resource) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = resource ? SizeofResource(m_hInstance, resource) : 0;
  if (!bytes || !size) return nullptr;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return nullptr;
  if (void* p = GlobalLock(memory)) {
    std::memcpy(p, bytes, size);
    GlobalUnlock(memory);
  }
  IStream* stream = nullptr;
  if (CreateStreamOnHGlobal(memory, TRUE, &stream) != S_OK || !stream) {
    GlobalFree(memory);
    return nullptr;
  }
  std::unique_ptr<gp::Bitmap> png(gp::Bitmap::FromStream(stream));
  std::unique_ptr<gp::Bitmap> copy;
  if (png && png->GetLastStatus() == gp::Ok && png->GetWidth() && png->GetHeight()) {
    // A 24-bit copy of our own, so the stream can go now.
    const INT w = INT(png->GetWidth()), h = INT(png->GetHeight());
    copy.reset(new gp::Bitmap(w, h, PixelFormat24bppRGB));
    if (copy->GetLastStatus() == gp::Ok) {
      gp::Graphics g(copy.get());
      g.SetCompositingMode(gp::CompositingModeSourceCopy);
      g.SetInterpolationMode(gp::InterpolationModeNearestNeighbor);
      if (g.DrawImage(png.get(), gp::Rect(0, 0, w, h), 0, 0, w, h, gp::UnitPixel) != gp::Ok) copy.reset();
    } else {
      copy.reset();
    }
  }
  png.reset();
  stream->Release();
  return copy.release();
}

void COrvaqRbld2App::WriteKeys(const std::vector<InfoKey>& keys) {
  for (const InfoKey& k : keys)
    WritePrivateProfileStringW(k.section.c_str(), k.key.c_str(), k.value.c_str(), m_Options.infoPath.c_str());
}

void COrvaqRbld2App::HandOver() {
  const std::wstring& info = m_Options.infoPath;
  // Everything is on disk before the final name appears: the rename is the signal.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, info.c_str());
  MoveFileExW(info.c_str(), FinalInfoPath(info).c_str(), MOVEFILE_REPLACE_EXISTING);
  MessageBeep(0xFFFFFFFF);
  if (m_Options.HasThumbnailPlace()) {
    Sleep(kThumbnailWaitMs);
    InvalidateRect(nullptr, &m_ThumbnailRect, TRUE);
  }
}

int COrvaqRbld2App::Fail(RebuildResult result, DWORD error, const std::wstring& path) {
  const FailureText f = FailureFor(result);
  ReportFailure(f.operation ? std::wstring(f.operation) : path, f.useSystemError ? error : f.error);
  ReleaseImages();
  return result;
}

void COrvaqRbld2App::ReportFailure(const std::wstring& operation, DWORD error) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  const std::wstring message = FormatFailure(operation, error, text ? text : L"");
  if (text) LocalFree(text);
  MessageBoxW(nullptr, message.c_str(), L"Error", MB_OK);
}

void COrvaqRbld2App::ReleaseImages() {
  m_Pixels8.Free();
  m_Pixels16.Free();
  m_Image8 = BufferFinal{};
  m_Image16 = BufferFinal16{};
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  COrvaqRbld2App app(instance);
  return app.InitInstance();
}
