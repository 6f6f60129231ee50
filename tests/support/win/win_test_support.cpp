// Wine-test helpers (see win_test_support.h).
#include "win_test_support.h"

#include <objidl.h>
#include <shlobj.h>
#include <gdiplus.h>

#include <algorithm>
#include <map>

namespace wintest {

std::string ReadFileText(const std::wstring& path) {
  std::string out;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n) out.append(buffer, n);
  CloseHandle(h);
  return out;
}

std::vector<uint8_t> ReadFileBytes(const std::wstring& path) {
  const std::string text = ReadFileText(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

bool WriteFileText(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = bytes.empty() || (WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                                    written == bytes.size());
  return CloseHandle(h) && ok;
}

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  return WriteFileText(path, std::string(bytes.begin(), bytes.end()));
}

std::wstring LocalAppData() {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

std::wstring WinePath(const std::string& linuxPath) {
  std::wstring w = L"Z:";
  for (char c : linuxPath) w.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return w;
}

std::wstring ArtifactFolder() {
#ifdef ORVAQ_BINARY_DIR
  std::wstring dir = WinePath(ORVAQ_BINARY_DIR) + L"\\artifacts\\";
#else
  std::wstring dir = ProgramFolder() + L"artifacts\\";
#endif
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

ChildProcess::~ChildProcess() {
  if (m_Info.hProcess) {
    if (WaitForSingleObject(m_Info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(m_Info.hProcess, 99);
    CloseHandle(m_Info.hProcess);
  }
  if (m_Info.hThread) CloseHandle(m_Info.hThread);
}

bool ChildProcess::Start(const std::wstring& exe, const std::wstring& arguments,
                         const std::vector<std::pair<std::wstring, std::wstring>>& environment) {
  // Current environment, names compared without case as Windows does.
  std::map<std::wstring, std::wstring> vars;
  std::vector<std::wstring> order;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (wchar_t* p = block; *p; p += wcslen(p) + 1) {
      std::wstring entry(p);
      size_t eq = entry.find(L'=', 1);
      if (eq == std::wstring::npos) continue;
      std::wstring key = entry.substr(0, eq);
      std::wstring upper = key;
      std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
      if (!vars.count(upper)) order.push_back(upper);
      vars[upper] = entry;
    }
    FreeEnvironmentStringsW(block);
  }
  for (auto& kv : environment) {
    std::wstring upper = kv.first;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    if (!vars.count(upper)) order.push_back(upper);
    vars[upper] = kv.first + L"=" + kv.second;
  }
  std::sort(order.begin(), order.end());
  std::wstring env;
  for (auto& k : order) env += vars[k] + L'\0';
  env += L'\0';

  std::wstring cmd = L"\"" + exe + L"\"";
  if (!arguments.empty()) cmd += L" " + arguments;
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  return CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        &env[0], nullptr, &si, &m_Info) != FALSE;
}

DWORD ChildProcess::WaitExit(DWORD timeoutMs) {
  if (!m_Info.hProcess) return STILL_ACTIVE;
  if (WaitForSingleObject(m_Info.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(m_Info.hProcess, &code);
  return code;
}

namespace {
struct FindData {
  DWORD pid;
  const wchar_t* className;
  HWND found;
};
BOOL CALLBACK FindProc(HWND hwnd, LPARAM lp) {
  auto* d = reinterpret_cast<FindData*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[128] = {};
  GetClassNameW(hwnd, cls, 128);
  if (pid == d->pid && IsWindowVisible(hwnd) && (!d->className || lstrcmpiW(cls, d->className) == 0)) {
    d->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND WaitForProcessWindow(DWORD pid, const wchar_t* className, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    FindData d{pid, className, nullptr};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&d));
    if (d.found) return d.found;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(100);
  }
}

std::wstring WindowText(HWND hwnd) {
  wchar_t buf[1024] = {};
  // WM_GETTEXT works across processes (the system marshals the buffer).
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, nullptr);
  return buf;
}

namespace {
Pixels CaptureRect(const RECT& screen) {
  Pixels px;
  px.width = screen.right - screen.left;
  px.height = screen.bottom - screen.top;
  if (px.width <= 0 || px.height <= 0) return Pixels{};
  HDC screenDc = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screenDc);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = px.width;
  bi.bmiHeader.biHeight = -px.height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screenDc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, px.width, px.height, screenDc, screen.left, screen.top, SRCCOPY);
  GdiFlush();
  px.data.assign(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + px.width * px.height);
  for (auto& v : px.data) v &= 0x00FFFFFF;
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screenDc);
  return px;
}
}  // namespace

Pixels CaptureClient(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
  return CaptureRect(rc);
}

bool SaveWindowPng(HWND hwnd, const std::wstring& path) {
  RECT rc;
  if (!GetWindowRect(hwnd, &rc)) return false;
  Pixels px = CaptureRect(rc);
  if (px.data.empty()) return false;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  bool ok = false;
  {
    Gdiplus::Bitmap bmp(px.width, px.height, px.width * 4, PixelFormat32bppRGB,
                        reinterpret_cast<BYTE*>(px.data.data()));
    UINT num = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&num, &size);
    std::vector<BYTE> buf(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.data());
    if (size && Gdiplus::GetImageEncoders(num, size, codecs) == Gdiplus::Ok) {
      for (UINT i = 0; i < num; ++i) {
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
          ok = bmp.Save(path.c_str(), &codecs[i].Clsid, nullptr) == Gdiplus::Ok;
          break;
        }
      }
    }
  }
  Gdiplus::GdiplusShutdown(token);
  return ok;
}

}  // namespace wintest
