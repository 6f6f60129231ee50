// Skin pictures (see KvSkinObject.h).
#include "ui/win/KvSkinObject.h"

#include <objidl.h>
#include <gdiplus.h>

namespace gp = Gdiplus;

namespace {
CKvSkinObject* g_pSkin = nullptr;

// A copy with the same pixel format, owned by nobody else: neither the file nor the
// stream it came from stays in use.
gp::Bitmap* DetachedCopy(gp::Bitmap& source) {
  const UINT w = source.GetWidth(), h = source.GetHeight();
  if (source.GetLastStatus() != gp::Ok || w == 0 || h == 0) return nullptr;
  gp::PixelFormat format = source.GetPixelFormat();
  // Indexed pictures are widened: the panel draws everything as ARGB anyway.
  if (format & PixelFormatIndexed) format = PixelFormat32bppARGB;
  std::unique_ptr<gp::Bitmap> copy(new gp::Bitmap(INT(w), INT(h), format));
  if (copy->GetLastStatus() != gp::Ok) return nullptr;
  gp::Rect all(0, 0, INT(w), INT(h));
  gp::BitmapData in = {}, out = {};
  if (source.LockBits(&all, gp::ImageLockModeRead, format, &in) != gp::Ok) return nullptr;
  if (copy->LockBits(&all, gp::ImageLockModeWrite, format, &out) != gp::Ok) {
    source.UnlockBits(&in);
    return nullptr;
  }
  const UINT rowBytes = UINT(in.Stride < 0 ? -in.Stride : in.Stride);
  for (UINT y = 0; y < h; ++y)
    memcpy(static_cast<BYTE*>(out.Scan0) + INT_PTR(y) * out.Stride,
           static_cast<const BYTE*>(in.Scan0) + INT_PTR(y) * in.Stride, rowBytes);
  copy->UnlockBits(&out);
  source.UnlockBits(&in);
  gp::REAL dpiX = source.GetHorizontalResolution(), dpiY = source.GetVerticalResolution();
  if (dpiX > 0 && dpiY > 0) copy->SetResolution(dpiX, dpiY);
  return copy.release();
}
}  // namespace

CKvSkinObject* GetSkinObject() { return g_pSkin; }
void SetSkinObject(CKvSkinObject* skin) { g_pSkin = skin; }

CKvSkinObject::CKvSkinObject(HMODULE module) : m_hModule(module ? module : GetModuleHandleW(nullptr)) {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(m_hModule, path, MAX_PATH);
  std::wstring program(path, n < MAX_PATH ? n : 0);
  const size_t slash = program.find_last_of(L"\\/");
  m_sFolder = slash == std::wstring::npos ? std::wstring() : program.substr(0, slash + 1);
  const size_t dot = program.find_last_of(L'.');
  m_sSkinFile = (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash) ? program
                                                                                           : program.substr(0, dot)) +
                L".PRS";
}

CKvSkinObject::~CKvSkinObject() = default;

gp::Bitmap* CKvSkinObject::Picture(const std::wstring& name) {
  auto it = m_Pictures.find(name);
  if (it != m_Pictures.end()) return it->second.get();
  gp::Bitmap* picture = Load(name);
  m_Pictures[name].reset(picture);
  return picture;
}

gp::Bitmap* CKvSkinObject::Load(const std::wstring& name) {
  wchar_t file[MAX_PATH] = {};
  GetPrivateProfileStringW(L"SKIN", name.c_str(), L"", file, MAX_PATH, m_sSkinFile.c_str());
  if (file[0]) {
    const std::wstring path = m_sFolder + file;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
      if (gp::Bitmap* picture = LoadFile(path)) return picture;
  }
  return LoadResource(name);
}

gp::Bitmap* CKvSkinObject::LoadFile(const std::wstring& path) {
  gp::Bitmap file(path.c_str());
  return DetachedCopy(file);
}

gp::Bitmap* CKvSkinObject::LoadResource(const std::wstring& name) {
  HRSRC found = FindResourceW(m_hModule, name.c_str(), L"RXSK");
  if (!found) return nullptr;
  HGLOBAL loaded = ::LoadResource(m_hModule, found);
  const DWORD size = SizeofResource(m_hModule, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return nullptr;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  void* target = memory ? GlobalLock(memory) : nullptr;
  IStream* stream = nullptr;
  if (target) {
    memcpy(target, data, size);
    GlobalUnlock(memory);
    if (CreateStreamOnHGlobal(memory, TRUE, &stream) != S_OK) stream = nullptr;
  }
  if (!stream) {
    if (memory) GlobalFree(memory);
    MessageBeep(MB_ICONHAND);
    return nullptr;
  }
  gp::Bitmap* picture = nullptr;
  {
    gp::Bitmap decoded(stream);
    picture = DetachedCopy(decoded);
  }
  stream->Release();
  return picture;
}

std::vector<orvaq::ui::SRect> CKvSkinObject::Runs(const std::wstring& name) {
  gp::Bitmap* picture = Picture(name);
  if (!picture) return {};
  gp::Rect all(0, 0, INT(picture->GetWidth()), INT(picture->GetHeight()));
  gp::BitmapData data = {};
  if (picture->LockBits(&all, gp::ImageLockModeRead, PixelFormat32bppARGB, &data) != gp::Ok) return {};
  std::vector<orvaq::ui::SRect> runs =
      orvaq::ui::OpaqueRuns(static_cast<const uint8_t*>(data.Scan0), all.Width, all.Height, data.Stride);
  picture->UnlockBits(&data);
  return runs;
}

HRGN CKvSkinObject::OpaqueRegion(const std::wstring& name) {
  if (!Picture(name)) return nullptr;
  const std::vector<orvaq::ui::SRect> runs = Runs(name);
  std::vector<BYTE> buffer(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
  RGNDATA* data = reinterpret_cast<RGNDATA*>(buffer.data());
  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = DWORD(runs.size());
  data->rdh.nRgnSize = DWORD(runs.size() * sizeof(RECT));
  const orvaq::ui::SRect box = orvaq::ui::BoundingBox(runs);
  data->rdh.rcBound = {box.x, box.y, box.x + box.w, box.y + box.h};
  RECT* rects = reinterpret_cast<RECT*>(data->Buffer);
  for (size_t i = 0; i < runs.size(); ++i)
    rects[i] = {runs[i].x, runs[i].y, runs[i].x + runs[i].w, runs[i].y + runs[i].h};
  if (runs.empty()) return CreateRectRgn(0, 0, 0, 0);
  return ExtCreateRegion(nullptr, DWORD(buffer.size()), data);
}

orvaq::ui::SRect CKvSkinObject::OpaqueArea(const std::wstring& name) {
  auto it = m_Areas.find(name);
  if (it != m_Areas.end()) return it->second;
  const orvaq::ui::SRect area = orvaq::ui::BoundingBox(Runs(name));
  m_Areas[name] = area;
  return area;
}
