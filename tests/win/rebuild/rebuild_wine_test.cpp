// OrvaqRbld2.exe under Wine, run as Orvaq runs it, each time from a private folder
// holding the program and a filter library: the reference RXFilter.DLL with simulated
// plates, its faulting twin, or a stand-in steered through the environment. Results are
// read from the "Error" boxes (found, read, closed) and the exit status; the outputs
// are read back by this file's own BMP, ".raw" and info-file readers.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "common/Text.h"
#include "simulator/Plates.h"
#include "win_test_support.h"

namespace {

constexpr DWORD kRunMs = 240000;

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

uint32_t U32(const std::vector<uint8_t>& b, size_t o) {
  return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | uint32_t(b[o + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t o) { return uint16_t(b[o] | b[o + 1] << 8); }

std::vector<std::wstring> Names(const std::wstring& folder) {
  std::vector<std::wstring> out;
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((folder + L"*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    const std::wstring n = d.cFileName;
    if (n != L"." && n != L"..") out.push_back(n);
  } while (FindNextFileW(h, &d));
  FindClose(h);
  std::sort(out.begin(), out.end());
  return out;
}

std::string Narrow(const std::wstring& w) { return orvaq::ToUtf8(w); }

// Keys of an info file (UTF-16LE with its byte-order mark), "SECTION/Key" -> value.
std::map<std::wstring, std::wstring> ReadInfo(const std::wstring& path) {
  std::map<std::wstring, std::wstring> keys;
  const std::vector<uint8_t> bytes = wintest::ReadFileBytes(path);
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return keys;
  const std::wstring text = orvaq::FromUtf16Le(bytes.data() + 2, bytes.size() - 2);
  std::wstring section;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(L'\n', at);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.size() > 1 && line[0] == L'[') {
      section = line.substr(1, line.find(L']') - 1);
    } else if (line.find(L'=') != std::wstring::npos) {
      keys[section + L"/" + line.substr(0, line.find(L'='))] = line.substr(line.find(L'=') + 1);
    }
  }
  return keys;
}

// The info file Orvaq leaves for the rebuild program.
void WriteInfo(const std::wstring& path, const std::wstring& rawPath) {
  const std::wstring text =
      L"[PATIENT]\r\nName=Anne\r\nID=1234\r\n[DOCTOR]\r\nName=Dr Smith\r\n[SENSOR]\r\nType=LUMEQ2\r\nSize=0\r\n"
      L"Serial=LQ2SIM0001\r\nInside=no\r\n[FILTER]\r\nGamma=1.00\r\nLuminosity=0\r\nContrast=0\r\nFilter=0\r\n"
      L"FilterLevel=0\r\n[ACQUISITION]\r\nWidth=0\r\nHeight=0\r\nFile8=\r\nFile16=" +
      rawPath + L"\r\nResolution=\r\nPixelWidth=0.00\r\nPixelHeight=0.00\r\nMire=0\r\n";
  ASSERT_TRUE(wintest::WriteFileText(path, "\xFF\xFE" + orvaq::ToUtf16Le(text)));
}

// A raw file of `lines` zero line records behind a header of `mode` (for the stand-in
// library, which reads only its size).
std::vector<uint8_t> BlankRaw(int mode, unsigned lines) {
  const size_t lineSize = mode == 2 ? 2848 : 5648;
  std::vector<uint8_t> raw(36 + lineSize * lines, 0);
  raw[0] = 0x42, raw[1] = 0x31, raw[2] = 1, raw[4] = uint8_t(mode);
  return raw;
}

std::vector<uint8_t> PlateRaw(int size, int mode, orvaq::sim::PlateKind kind = orvaq::sim::PlateKind::Phantom) {
  orvaq::sim::PlateOrder order;
  order.size = size;
  order.mode = unsigned(mode);
  order.kind = kind;
  order.wantIdeal = false;
  orvaq::sim::Plate plate;
  EXPECT_TRUE(orvaq::sim::BuildPlate(order, plate));
  return plate.raw;
}

struct Box {
  std::wstring caption, text;
};

struct BoxSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM data) {
  auto* s = reinterpret_cast<BoxSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  // The preview has the picture area 1003; a message box has none.
  if (pid == s->pid && IsWindowVisible(hwnd) && std::wstring(cls) == L"#32770" && !GetDlgItem(hwnd, 1003)) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM data) {
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (_wcsicmp(cls, L"Static") == 0) {
    const std::wstring t = wintest::WindowText(hwnd);
    if (!t.empty()) *reinterpret_cast<std::wstring*>(data) += t;
  }
  return TRUE;
}

// A private folder holding OrvaqRbld2.exe, a filter library and an image folder "img".
class RebuildFolder {
 public:
  enum class Library { Reference, Faulty, Stub, StubNoCorrection, StubNoFilter, None };

  explicit RebuildFolder(Library library) {
    static int counter = 0;
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    wchar_t name[64];
    swprintf(name, 64, L"orvaq_rbld_%lu_%d\\", GetCurrentProcessId(), ++counter);
    m_Folder = std::wstring(dir) + name;
    CreateDirectoryW(m_Folder.c_str(), nullptr);
    CreateDirectoryW(Images().c_str(), nullptr);
    const std::wstring bin = wintest::ProgramFolder();
    EXPECT_TRUE(CopyFileW((bin + L"OrvaqRbld2.exe").c_str(), Program().c_str(), FALSE));
    const wchar_t* dll = nullptr;
    switch (library) {
      case Library::Reference: dll = L"RXFilter.DLL"; break;
      case Library::Faulty: dll = L"faulty\\RXFilter.DLL"; break;
      case Library::Stub: dll = L"rebuild_stub\\whole\\RXFilter.DLL"; break;
      case Library::StubNoCorrection: dll = L"rebuild_stub\\no_correction\\RXFilter.DLL"; break;
      case Library::StubNoFilter: dll = L"rebuild_stub\\no_filter\\RXFilter.DLL"; break;
      case Library::None: break;
    }
    if (dll) {
      EXPECT_TRUE(CopyFileW((bin + dll).c_str(), (m_Folder + L"RXFilter.DLL").c_str(), FALSE)) << Narrow(dll);
    }
  }
  ~RebuildFolder() { RemoveTree(m_Folder); }

  std::wstring Program() const { return m_Folder + L"OrvaqRbld2.exe"; }
  std::wstring Images() const { return m_Folder + L"img\\"; }
  std::wstring Info() const { return Images() + L"LAST1A.NFOT"; }
  std::wstring Raw() const { return Images() + L"LAST1A.tmp"; }
  std::wstring Log() const { return m_Folder + L"stub.log"; }

  // The raw file and Orvaq's info file for it.
  void Prepare(const std::vector<uint8_t>& raw) {
    ASSERT_TRUE(wintest::WriteFileBytes(Raw(), raw));
    WriteInfo(Info(), Raw());
  }

  struct Result {
    DWORD exit = STILL_ACTIVE;
    std::vector<Box> boxes;
  };
  // Runs the program with `arguments`, answering every box it shows with OK.
  Result Run(const std::wstring& arguments, const std::vector<std::pair<std::wstring, std::wstring>>& env = {}) {
    Result r;
    wintest::ChildProcess child;
    if (!child.Start(Program(), arguments, env)) {
      ADD_FAILURE() << "CreateProcess error " << GetLastError();
      return r;
    }
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kRunMs) {
      if (WaitForSingleObject(child.Handle(), 100) == WAIT_OBJECT_0) break;
      BoxSearch s{child.Id(), nullptr};
      EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
      if (!s.found) continue;
      Box box;
      box.caption = wintest::WindowText(s.found);
      EnumChildWindows(s.found, CollectStatic, reinterpret_cast<LPARAM>(&box.text));
      r.boxes.push_back(box);
      PostMessageW(s.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      // Bounded wait for this box to go before looking for the next one.
      for (int i = 0; i < 100 && IsWindow(s.found) && IsWindowVisible(s.found); ++i) Sleep(50);
    }
    r.exit = child.WaitExit(1000);
    return r;
  }

 private:
  static void RemoveTree(const std::wstring& folder) {
    for (const auto& n : Names(folder)) {
      const std::wstring p = folder + n;
      if (GetFileAttributesW(p.c_str()) & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(p + L"\\");
      else DeleteFileW(p.c_str());
    }
    RemoveDirectoryW(folder.c_str());
  }
  std::wstring m_Folder;
};

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// ------------------------------------------------------------------ result numbers

struct ResultRow {
  const char* name;
  RebuildFolder::Library library;
  enum class Raw { Plate, Blank, Short20, Mode3, Locked, NoFile16, Missing } raw;
  const wchar_t* arguments;  // "%N": /N:"<info file>"; "%X": /N: naming a file that does not exist
  std::vector<std::pair<std::wstring, std::wstring>> env;
  DWORD result;
  const wchar_t* operation;  // null: the box names the file that failed
  DWORD error;               // the number shown; the system's text for it follows
  const wchar_t* exactText;  // the exception box: its text alone
  int wineError = -1;        // a known Wine gap: the number Wine's call leaves instead
};

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// The system's text for an error number, as the program fetches it.
std::wstring SystemText(DWORD error) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring out = text ? text : L"";
  if (text) LocalFree(text);
  return out;
}

class RebuildResults : public ::testing::TestWithParam<ResultRow> {};

TEST_P(RebuildResults, EachEndsWithItsNumberAndItsBox) {
  const ResultRow& row = GetParam();
  RebuildFolder f(row.library);
  HANDLE lock = INVALID_HANDLE_VALUE;
  switch (row.raw) {
    case ResultRow::Raw::Plate: f.Prepare(PlateRaw(0, 2)); break;
    case ResultRow::Raw::Blank: f.Prepare(BlankRaw(0, 400)); break;
    case ResultRow::Raw::Short20: f.Prepare(std::vector<uint8_t>(20, 0)); break;
    case ResultRow::Raw::Mode3: f.Prepare(BlankRaw(3, 10)); break;
    case ResultRow::Raw::Locked:
      f.Prepare(BlankRaw(0, 10));
      // Held without sharing: the program cannot open it.
      lock = CreateFileW(f.Raw().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(lock, INVALID_HANDLE_VALUE);
      break;
    case ResultRow::Raw::NoFile16:
      ASSERT_TRUE(wintest::WriteFileText(f.Info(), "\xFF\xFE" + orvaq::ToUtf16Le(L"[ACQUISITION]\r\nWidth=0\r\n")));
      break;
    case ResultRow::Raw::Missing:
      WriteInfo(f.Info(), f.Images() + L"gone.tmp");
      break;
  }
  std::wstring args = row.arguments;
  size_t at = args.find(L"%N");
  if (at != std::wstring::npos) args.replace(at, 2, L"/N:" + Quoted(f.Info()));
  at = args.find(L"%X");
  if (at != std::wstring::npos) args.replace(at, 2, L"/N:" + Quoted(f.Images() + L"none.NFOT"));
  const auto r = f.Run(args, row.env);
  if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);

  EXPECT_EQ(r.exit, row.result) << row.name;
  ASSERT_EQ(r.boxes.size(), 1u) << row.name;
  EXPECT_EQ(r.boxes[0].caption, L"Error") << row.name;
  std::wstring expected;
  if (row.exactText) {
    expected = row.exactText;
  } else {
    const std::wstring path = row.raw == ResultRow::Raw::Missing ? f.Images() + L"gone.tmp"
                              : row.result == 10                 ? f.Images() + L"none.NFOT"
                                                                 : f.Raw();
    const DWORD error = row.wineError >= 0 && UnderWine() ? DWORD(row.wineError) : row.error;
    expected = (row.operation ? std::wstring(row.operation) : path) + L" failed with error " +
               std::to_wstring(error) + L" : " + SystemText(error);
  }
  // The box's static control may drop the system text's final line break.
  while (!expected.empty() && (expected.back() == L'\n' || expected.back() == L'\r')) expected.pop_back();
  std::wstring shown = r.boxes[0].text;
  while (!shown.empty() && (shown.back() == L'\n' || shown.back() == L'\r')) shown.pop_back();
  EXPECT_EQ(shown, expected) << row.name;
  EXPECT_FALSE(Exists(f.Images() + L"LAST1A.NFO")) << row.name << ": a failed run never hands over";
}

using L = RebuildFolder::Library;
using R = ResultRow::Raw;
const std::pair<std::wstring, std::wstring> kFilterFails{L"RXSTUB_FILTER8", L"0"};

INSTANTIATE_TEST_SUITE_P(
    Boxes, RebuildResults,
    ::testing::Values(
        ResultRow{"no_library", L::None, R::Blank, L"/rb %N", {}, 1, L"LoadLibrary", 126, nullptr},
        ResultRow{"no_correction_entry", L::StubNoCorrection, R::Blank, L"/rb %N", {}, 2,
                  L"GetProcAddress - LUMEQ2FullCorrection", 127, nullptr},
        ResultRow{"no_filter_entry", L::StubNoFilter, R::Blank, L"/rb %N", {}, 3,
                  L"GetProcAddress - ApplyLUMEQ2FilterX0X3", 127, nullptr},
        ResultRow{"no_info_switch", L::Stub, R::Blank, L"/rb /Tx:5", {}, 4, L"invalid /N:", 160, nullptr},
        ResultRow{"no_mode", L::Stub, R::Blank, L"%N /PW", {}, 5, L"invalid mode", 160, nullptr},
        ResultRow{"no_info_file", L::Stub, R::Blank, L"/rb %X", {}, 10, nullptr, 2, nullptr},
        // Windows leaves ERROR_FILE_NOT_FOUND after a missing key; Wine's profile code
        // leaves the last error untouched (0 here).
        ResultRow{"no_file16", L::Stub, R::NoFile16, L"/rb %N", {}, 11, L"GetPrivateProfileString", 2, nullptr, 0},
        ResultRow{"no_raw_file", L::Stub, R::Missing, L"/rb %N", {}, 12, nullptr, 2, nullptr},
        ResultRow{"filter_8_fails", L::Stub, R::Blank, L"/rf %N", {kFilterFails}, 13, L"ApplyLUMEQ2FilterX0X3", 1287,
                  nullptr},
        ResultRow{"library_fault", L::Faulty, R::Plate, L"/rb %N", {{L"RXFILTER_FAULT", L"access"}}, 14, nullptr, 0,
                  L"Exception 0xC0000005 dans la dll RXFilter."},
        ResultRow{"foreign_exception", L::Faulty, R::Plate, L"/rb %N", {{L"RXFILTER_FAULT", L"foreign"}}, 14, nullptr,
                  0, L"Exception 0xE06D7363 dans la dll RXFilter."},
        ResultRow{"raw_locked", L::Stub, R::Locked, L"/rb %N", {}, 20, nullptr, 32, nullptr},
        ResultRow{"unknown_mode", L::Stub, R::Mode3, L"/rb %N", {}, 24, L"Br1Header.Mode", 24, nullptr},
        ResultRow{"short_raw_no_mode", L::Stub, R::Short20, L"/rb %N", {}, 50, L"Resolution of white image", 30,
                  nullptr}),
    [](const ::testing::TestParamInfo<ResultRow>& info) { return std::string(info.param.name); });

// ----------------------------------------------------------------------- outputs

// An 8-bit grey BMP read back: header fields and the grey values, top row first.
struct GreyBmp {
  bool ok = false;
  int width = 0, height = 0;
  uint32_t ppmX = 0, ppmY = 0;
  std::vector<uint8_t> grey;
  uint8_t At(int x, int y) const { return grey[size_t(y) * width + x]; }
};

GreyBmp ReadGreyBmp(const std::wstring& path) {
  GreyBmp b;
  const std::vector<uint8_t> f = wintest::ReadFileBytes(path);
  if (f.size() < 1078 || f[0] != 'B' || f[1] != 'M' || U32(f, 10) != 1078 || U32(f, 14) != 40 || U16(f, 28) != 8)
    return b;
  b.width = int(U32(f, 18));
  b.height = int(U32(f, 22));
  b.ppmX = U32(f, 38);
  b.ppmY = U32(f, 42);
  const size_t row = (size_t(b.width) + 3) & ~size_t(3);
  if (b.width <= 0 || b.height <= 0 || U32(f, 2) != f.size() || f.size() != 1078 + row * b.height) return b;
  b.grey.resize(size_t(b.width) * b.height);
  for (int y = 0; y < b.height; ++y)  // stored bottom row first
    std::copy_n(&f[1078 + row * (b.height - 1 - y)], b.width, &b.grey[size_t(y) * b.width]);
  b.ok = true;
  return b;
}

std::vector<uint16_t> ReadRaw16(const std::wstring& path) {
  const std::vector<uint8_t> f = wintest::ReadFileBytes(path);
  std::vector<uint16_t> out(f.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = U16(f, 2 * i);
  return out;
}

int Num(const std::wstring& s) { return _wtoi(s.c_str()); }

struct OutputRow {
  const char* name;
  int sizeClass, mode;
  orvaq::sim::PlateKind kind;
  const wchar_t* arguments;
  bool raw16;                 // a ".raw" is written
  bool bmpIsRawHighByte;      // no adjustment: the picture is the 16-bit image's high byte
  const wchar_t* resolution, *pitch, *mire;
  uint32_t ppm;
  const wchar_t* size;        // the size class: a test pattern's is taken at its 1.94 times resolution
};

class RebuildOutputs : public ::testing::TestWithParam<OutputRow> {};

TEST_P(RebuildOutputs, BmpRawAndInfoFileAgree) {
  const OutputRow& row = GetParam();
  RebuildFolder f(RebuildFolder::Library::Reference);
  f.Prepare(PlateRaw(row.sizeClass, row.mode, row.kind));
  const std::wstring finalInfo = f.Images() + L"LAST1A.NFO";

  // A reader polling all along: the final name appears only on a complete record.
  std::atomic<bool> done{false};
  std::atomic<int> seen{0}, incomplete{0};
  std::thread reader([&] {
    while (!done) {
      if (Exists(finalInfo)) {
        auto k = ReadInfo(finalInfo);
        ++seen;
        if (k[L"ACQUISITION/Mire"].empty() || k.count(L"ACQUISITION/FileBIN") == 0 || Num(k[L"ACQUISITION/Width"]) == 0)
          ++incomplete;
      }
      Sleep(2);
    }
  });
  const auto r = f.Run(L"/N:" + Quoted(f.Info()) + L" " + row.arguments);
  done = true;
  reader.join();
  if (Exists(finalInfo)) ++seen;  // the run may end between two looks
  ASSERT_EQ(r.exit, 0u) << row.name << (r.boxes.empty() ? "" : ": " + Narrow(r.boxes[0].text));
  EXPECT_TRUE(r.boxes.empty()) << row.name;
  EXPECT_GT(seen.load(), 0) << row.name;
  EXPECT_EQ(incomplete.load(), 0) << row.name << ": the info file was seen incomplete under its final name";
  EXPECT_FALSE(Exists(f.Info())) << row.name;

  auto k = ReadInfo(finalInfo);
  const std::wstring bmpPath = f.Images() + L"LAST1A.bmp", binPath = f.Images() + L"LAST1A.bin",
                     rawPath = f.Images() + L"LAST1A.raw";
  EXPECT_EQ(k[L"ACQUISITION/File8"], bmpPath) << row.name;
  EXPECT_EQ(k[L"ACQUISITION/FileBIN"], binPath) << row.name;
  EXPECT_TRUE(Exists(binPath) && !Exists(f.Raw())) << row.name << ": the raw file takes its .bin name";
  EXPECT_TRUE(Exists(f.Images() + L"LASTACQP2.BIN.bmp")) << row.name;
  EXPECT_EQ(k[L"ACQUISITION/Resolution"], row.resolution) << row.name;
  EXPECT_EQ(k[L"ACQUISITION/PixelWidth"], row.pitch) << row.name;
  EXPECT_EQ(k[L"ACQUISITION/PixelHeight"], row.pitch) << row.name;
  EXPECT_EQ(k[L"ACQUISITION/Mire"], row.mire) << row.name;
  EXPECT_EQ(k[L"SENSOR/Size"], row.size ? std::wstring(row.size) : std::to_wstring(row.sizeClass)) << row.name;

  const GreyBmp bmp = ReadGreyBmp(bmpPath);
  ASSERT_TRUE(bmp.ok) << row.name;
  EXPECT_EQ(bmp.width, Num(k[L"ACQUISITION/Width"])) << row.name;
  EXPECT_EQ(bmp.height, Num(k[L"ACQUISITION/Height"])) << row.name;
  EXPECT_NEAR(double(bmp.ppmX), double(row.ppm), 1.0) << row.name;
  EXPECT_EQ(bmp.ppmX, bmp.ppmY) << row.name;
  // Sizes 2 and 3 come out turned: the long side across.
  EXPECT_EQ(bmp.width > bmp.height, row.sizeClass >= 2) << row.name << " " << bmp.width << "x" << bmp.height;

  if (!row.raw16) {
    EXPECT_EQ(k[L"ACQUISITION/File16"], L"") << row.name;
    EXPECT_EQ(k[L"ACQUISITION/RAWWidth"], L"0") << row.name;
    EXPECT_EQ(k[L"ACQUISITION/RAWHeight"], L"0") << row.name;
    EXPECT_FALSE(Exists(rawPath)) << row.name;
    return;
  }
  EXPECT_EQ(k[L"ACQUISITION/File16"], rawPath) << row.name;
  EXPECT_EQ(Num(k[L"ACQUISITION/RAWWidth"]), bmp.width) << row.name;
  EXPECT_EQ(Num(k[L"ACQUISITION/RAWHeight"]), bmp.height) << row.name;
  const std::vector<uint16_t> raw = ReadRaw16(rawPath);
  ASSERT_EQ(raw.size(), size_t(bmp.width) * bmp.height) << row.name << ": .raw size is width x height x 2";
  if (!row.bmpIsRawHighByte) return;
  // The picture lies as the .raw does; the mark's corner (bottom right) is left out.
  size_t compared = 0, equal = 0;
  for (int y = 0; y < bmp.height; ++y)
    for (int x = 0; x < bmp.width; ++x) {
      if (x > bmp.width - 120 && y > bmp.height - 50) continue;
      ++compared;
      equal += std::abs(int(bmp.At(x, y)) - int(raw[size_t(y) * bmp.width + x] >> 8)) <= 1;
    }
  EXPECT_GT(double(equal) / double(compared), 0.999) << row.name << ": the picture is not the .raw's high byte";
}

using K = orvaq::sim::PlateKind;
INSTANTIATE_TEST_SUITE_P(
    Plates, RebuildOutputs,
    ::testing::Values(
        OutputRow{"fast_size2_rf", 2, 2, K::Phantom, L"/rf /D:0 /F:0 /G:140 /L:10 /C:10", true, false, L"Fast",
                  L"33.33", L"0", 30000, nullptr},
        OutputRow{"sd_size0_rb", 0, 0, K::Phantom, L"/rb /D:0", true, true, L"HD", L"25.00", L"0", 40000, nullptr},
        OutputRow{"hd40_size1_rf_depth3", 1, 1, K::Phantom, L"/rf /D:3 /F:0", true, false, L"40", L"12.50", L"0",
                  80000, nullptr},
        OutputRow{"sd_size2_rb_depth1", 2, 0, K::Phantom, L"/rb /D:1", false, false, L"HD", L"25.00", L"0", 40000, nullptr},
        OutputRow{"fast_size3_rb_depth2", 3, 2, K::Phantom, L"/rb /D:2", false, false, L"Fast", L"33.33", L"0", 30000, nullptr},
        OutputRow{"fast_size1_rb_depth3", 1, 2, K::Phantom, L"/rb /D:3", true, true, L"Fast", L"33.33", L"0", 30000, nullptr},
        OutputRow{"sd_test_pattern", 1, 0, K::TestPattern, L"/rb", true, true, L"HD", L"12.89", L"1", 77600, L""}),
    [](const ::testing::TestParamInfo<OutputRow>& info) { return std::string(info.param.name); });

// ------------------------------------------------------- what the library is given

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

bool Has(const std::string& line, const std::string& part) { return line.find(part) != std::string::npos; }

TEST(RebuildLibraryCalls, CorrectionParamsAndFiltersOfAMireCode) {
  RebuildFolder f(RebuildFolder::Library::Stub);
  f.Prepare(BlankRaw(0, 400));
  const auto r = f.Run(L"/rf /I1 /P1 /N:" + Quoted(f.Info()) + L" /D:0 /F:150",
                       {{L"RXSTUB_LOG", f.Log()}, {L"RXSTUB_CODE", L"112"}});
  ASSERT_EQ(r.exit, 0u);
  const auto lines = Lines(wintest::ReadFileText(f.Log()));
  ASSERT_EQ(lines.size(), 3u) << wintest::ReadFileText(f.Log());
  std::string folder = Narrow(f.Images()) + "LASTACQP2";
  EXPECT_TRUE(Exists(f.Images() + L"LASTACQP2")) << "the intermediate folder is made";
  for (const char* part : {"FullCorrection8_16 in8=1 in16=1 cap8=5600x1600 cap16=5600x1600", "version=4", "work=1",
                           "worksize=1024", "hc=1", "factor=0.0160", "type=0", "eps=0.100", "offset=0", "r1=0",
                           "code=0", "store=1", "r2=0", "etirement=57000", "ignoremire=1"})
    EXPECT_TRUE(Has(lines[0], part)) << part << " in " << lines[0];
  EXPECT_TRUE(Has(lines[0], "folder=" + folder + " ")) << lines[0];
  EXPECT_TRUE(Has(lines[1], "Filter bits=8 w=880 h=1400 stride=880 planes=1 iterations=50 strength=0.270 reserved=0 "
                            "strong=1 code=112 arg=0"))
      << lines[1];
  EXPECT_TRUE(Has(lines[2], "Filter bits=16 w=880 h=1400 stride=1760 planes=1 iterations=50 strength=0.270 reserved=0 "
                            "strong=1 code=2 arg=0"))
      << lines[2];
  auto k = ReadInfo(f.Images() + L"LAST1A.NFO");
  EXPECT_EQ(k[L"ACQUISITION/Resolution"], L"HD");
  EXPECT_EQ(k[L"ACQUISITION/PixelWidth"], L"12.89");
  EXPECT_EQ(k[L"ACQUISITION/Mire"], L"1");
}

TEST(RebuildLibraryCalls, DepthChoicesAndFilterLevels) {
  struct Row { const wchar_t* args; const char* correction; int filters8, filters16; const wchar_t* rawWidth; };
  const Row rows[] = {
      {L"/rf /D:0 /F:100", "in8=1 in16=1", 1, 0, L"880"},
      {L"/rf /D:1 /F:150", "in8=1 in16=0", 1, 0, L"0"},
      {L"/rf /D:2 /F:150", "in8=0 in16=1", 0, 1, L"0"},
      {L"/rf /D:3 /F:99", "in8=0 in16=1", 0, 0, L"880"},
      {L"/rb /D:0 /F:150", "in8=1 in16=1", 0, 0, L"880"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    RebuildFolder f(RebuildFolder::Library::Stub);
    f.Prepare(BlankRaw(0, 400));
    const auto r = f.Run(L"/N:" + Quoted(f.Info()) + L" " + rows[i].args, {{L"RXSTUB_LOG", f.Log()}});
    ASSERT_EQ(r.exit, 0u) << "row " << i;
    const std::string log = wintest::ReadFileText(f.Log());
    const auto lines = Lines(log);
    ASSERT_FALSE(lines.empty()) << "row " << i;
    EXPECT_TRUE(Has(lines[0], rows[i].correction)) << "row " << i << ": " << lines[0];
    int f8 = 0, f16 = 0;
    for (const auto& l : lines) f8 += Has(l, "bits=8"), f16 += Has(l, "bits=16");
    EXPECT_EQ(f8, rows[i].filters8) << "row " << i;
    EXPECT_EQ(f16, rows[i].filters16) << "row " << i;
    auto k = ReadInfo(f.Images() + L"LAST1A.NFO");
    EXPECT_EQ(k[L"ACQUISITION/RAWWidth"], rows[i].rawWidth) << "row " << i;
    EXPECT_EQ(k[L"ACQUISITION/Width"], L"880") << "row " << i << ": the 8-bit picture exists at every depth";
  }
}

TEST(RebuildLibraryCalls, AFailed16BitFilterDropsTheRawAndGoesOn) {
  RebuildFolder f(RebuildFolder::Library::Stub);
  f.Prepare(BlankRaw(0, 400));
  const auto r = f.Run(L"/rf /N:" + Quoted(f.Info()) + L" /F:150", {{L"RXSTUB_FILTER16", L"0"}});
  EXPECT_EQ(r.exit, 0u);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].text.substr(0, 56), L"ApplyLUMEQ2FilterX0X316bits failed with error 1287 : ");
  auto k = ReadInfo(f.Images() + L"LAST1A.NFO");
  EXPECT_EQ(k[L"ACQUISITION/File16"], L"");
  EXPECT_EQ(k[L"ACQUISITION/Width"], L"880");
}

TEST(RebuildRuns, ModeFtEndsAtOnceTouchingNoFile) {
  RebuildFolder f(RebuildFolder::Library::Stub);
  f.Prepare(BlankRaw(0, 10));
  const auto before = Names(f.Images());
  const auto infoBefore = wintest::ReadFileBytes(f.Info());
  const auto r = f.Run(L"/FT /N:" + Quoted(f.Info()) + L" /PW /Tx:100 /Ty:100", {{L"RXSTUB_LOG", f.Log()}});
  EXPECT_EQ(r.exit, 0u);
  EXPECT_TRUE(r.boxes.empty());
  EXPECT_EQ(Names(f.Images()), before);
  EXPECT_EQ(wintest::ReadFileBytes(f.Info()), infoBefore);
  EXPECT_FALSE(Exists(f.Log())) << "the library was not called";
}

TEST(RebuildRuns, EmptyPlateGivesTheStockPicture) {
  struct Row { int mode; const wchar_t* resolution; const wchar_t* pitch; uint32_t ppm; };
  const Row rows[] = {{2, L"Fast", L"33.33", 30000}, {0, L"HD", L"25.00", 40000}};
  for (const Row& row : rows) {
    RebuildFolder f(RebuildFolder::Library::Stub);
    f.Prepare(BlankRaw(row.mode, 40));
    const auto r = f.Run(L"/rf /N:" + Quoted(f.Info()), {{L"RXSTUB_RC", L"1"}});
    ASSERT_EQ(r.exit, 0u) << row.mode;
    auto k = ReadInfo(f.Images() + L"LAST1A.NFO");
    EXPECT_EQ(k[L"SENSOR/Size"], L"") << row.mode;
    EXPECT_EQ(k[L"ACQUISITION/Resolution"], row.resolution) << row.mode;
    EXPECT_EQ(k[L"ACQUISITION/PixelWidth"], row.pitch) << row.mode;
    EXPECT_EQ(k[L"ACQUISITION/Mire"], L"0") << row.mode;
    EXPECT_EQ(k[L"ACQUISITION/File16"], f.Images() + L"LAST1A.raw") << row.mode;
    EXPECT_EQ(k.count(L"ACQUISITION/FileBIN"), 0u) << row.mode;
    EXPECT_TRUE(Exists(f.Images() + L"LAST1A.raw")) << row.mode << ": the raw file renamed";
    const GreyBmp bmp = ReadGreyBmp(f.Images() + L"LAST1A.bmp");
    ASSERT_TRUE(bmp.ok) << row.mode;
    EXPECT_EQ(bmp.ppmX, row.ppm) << row.mode;
    EXPECT_EQ(Num(k[L"ACQUISITION/Width"]), bmp.width) << row.mode;
    EXPECT_EQ(Num(k[L"ACQUISITION/Height"]), bmp.height) << row.mode;
  }
  // Mode 1 has no stock picture.
  RebuildFolder f(RebuildFolder::Library::Stub);
  f.Prepare(BlankRaw(1, 40));
  const auto r = f.Run(L"/rf /N:" + Quoted(f.Info()), {{L"RXSTUB_RC", L"1"}});
  EXPECT_EQ(r.exit, 50u);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].text.substr(0, 44), L"Resolution of white image failed with error ");
}

// ------------------------------------------------------------------------ preview

HWND WaitForPreview(DWORD pid, DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    HWND w = wintest::WaitForProcessWindow(pid, L"#32770", 200);
    if (w && GetDlgItem(w, 1003)) return w;
  }
  return nullptr;
}

// A real click: the pointer moved and pressed by the X server (xdotool, started through
// Wine's support for Unix programs), not a message posted to the button. `dx` moves the
// point off the centre: two clicks on one spot would make a double click, and a move to
// where the pointer already is never completes for "--sync".
void RealClick(HWND control, int dx) {
  RECT r;
  GetWindowRect(control, &r);
  wchar_t line[128];
  swprintf(line, 128, L"xdotool mousemove --sync %ld %ld click 1", (r.left + r.right) / 2 + dx, (r.top + r.bottom) / 2);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessW(L"Z:\\usr\\bin\\xdotool", line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      << "xdotool could not be started: " << GetLastError();
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
}

// Waits until the preview is in front, its process waits for input and its picture
// area shows the picture (not only black) the same way twice; false after `ms`.
bool WaitForReady(HANDLE process, HWND dlg, HWND area, DWORD ms) {
  const DWORD start = GetTickCount();
  wintest::Pixels last;
  while (GetTickCount() - start < ms) {
    WaitForInputIdle(process, 1000);
    wintest::Pixels now = wintest::CaptureClient(area);
    const bool picture = std::any_of(now.data.begin(), now.data.end(), [](uint32_t v) { return (v & 0xFF) > 16; });
    if (GetForegroundWindow() == dlg && picture && now.data == last.data) return true;
    last = std::move(now);
    Sleep(50);
  }
  return false;
}

// Waits until the picture area shows something else than `before`; false after `ms`.
bool WaitForChange(HWND area, const wintest::Pixels& before, DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    const wintest::Pixels now = wintest::CaptureClient(area);
    if (!now.data.empty() && now.data != before.data) return true;
    Sleep(50);
  }
  return false;
}

TEST(RebuildPreview, OpensAtItsPlaceAndTwoClockwiseTurnsGiveAHalfTurn) {
  // The same plate without preview first, as the reference.
  RebuildFolder plain(RebuildFolder::Library::Stub);
  plain.Prepare(BlankRaw(0, 400));
  ASSERT_EQ(plain.Run(L"/rb /N:" + Quoted(plain.Info())).exit, 0u);
  const GreyBmp bmp0 = ReadGreyBmp(plain.Images() + L"LAST1A.bmp");
  const std::vector<uint16_t> raw0 = ReadRaw16(plain.Images() + L"LAST1A.raw");
  ASSERT_TRUE(bmp0.ok);
  ASSERT_EQ(raw0.size(), size_t(880) * 1400);

  RebuildFolder f(RebuildFolder::Library::Stub);
  f.Prepare(BlankRaw(0, 400));
  wintest::ChildProcess child;
  ASSERT_TRUE(child.Start(f.Program(), L"/rb /N:" + Quoted(f.Info()) + L" /PW /Tx:500 /Ty:100"));
  HWND dlg = WaitForPreview(child.Id(), 60000);
  ASSERT_NE(dlg, nullptr) << "no preview appeared";
  RECT w;
  GetWindowRect(dlg, &w);
  EXPECT_EQ(w.top, 100);
  EXPECT_NEAR((w.left + w.right) / 2.0, 500.0, 1.0);
  // The buttons: 52 x 52, 64 apart, on one bottom edge, in the order 1000, 1004, 1001, 1002.
  RECT b0;
  GetWindowRect(GetDlgItem(dlg, 1000), &b0);
  const int order[] = {1000, 1004, 1001, 1002};
  for (int i = 0; i < 4; ++i) {
    RECT b;
    GetWindowRect(GetDlgItem(dlg, order[i]), &b);
    EXPECT_EQ(b.right - b.left, 52) << order[i];
    EXPECT_EQ(b.bottom - b.top, 52) << order[i];
    EXPECT_EQ(b.left, b0.left + 64 * i) << order[i];
    EXPECT_EQ(b.bottom, b0.bottom) << order[i];
  }
  EXPECT_TRUE(wintest::SaveWindowPng(dlg, wintest::ArtifactFolder() + L"rebuild-preview.png"));

  HWND area = GetDlgItem(dlg, 1003);
  ASSERT_TRUE(WaitForReady(child.Handle(), dlg, area, 20000)) << "the preview never showed its picture";
  for (int turn = 0; turn < 2; ++turn) {
    const wintest::Pixels before = wintest::CaptureClient(area);
    RealClick(GetDlgItem(dlg, 1004), turn == 0 ? -12 : 12);
    EXPECT_TRUE(WaitForChange(area, before, 10000)) << "turn " << turn << " did not show";
  }
  EXPECT_TRUE(wintest::SaveWindowPng(dlg, wintest::ArtifactFolder() + L"rebuild-preview-turned.png"));
  RealClick(GetDlgItem(dlg, IDOK), 0);
  ASSERT_EQ(child.WaitExit(60000), 0u);

  auto k = ReadInfo(f.Images() + L"LAST1A.NFO");
  EXPECT_EQ(k[L"ACQUISITION/Width"], L"880");
  EXPECT_EQ(k[L"ACQUISITION/Height"], L"1400");
  const GreyBmp bmp = ReadGreyBmp(f.Images() + L"LAST1A.bmp");
  const std::vector<uint16_t> raw = ReadRaw16(f.Images() + L"LAST1A.raw");
  ASSERT_TRUE(bmp.ok);
  ASSERT_EQ(bmp.width, 880);
  ASSERT_EQ(bmp.height, 1400);
  ASSERT_EQ(raw.size(), raw0.size());
  size_t rawTurned = 0, bmpTurned = 0, compared = 0;
  for (int y = 0; y < 1400; ++y)
    for (int x = 0; x < 880; ++x) {
      rawTurned += raw[size_t(y) * 880 + x] == raw0[size_t(1399 - y) * 880 + (879 - x)];
      // The mark sits bottom right in both: corners left out of the comparison.
      if ((x > 760 && y > 1350) || (x < 120 && y < 50)) continue;
      ++compared;
      bmpTurned += std::abs(int(bmp.At(x, y)) - int(bmp0.At(879 - x, 1399 - y))) <= 1;
    }
  EXPECT_EQ(rawTurned, raw.size()) << "the .raw is turned by 180 degrees";
  EXPECT_GT(double(bmpTurned) / double(compared), 0.999) << "the picture is turned by 180 degrees";
}

// Each button through the dialog, ended with OK or Escape: the picture, the ".raw" and
// the recorded size always agree (after Escape too, the turns made so far stay).
TEST(RebuildPreview, EachButtonTurnsPictureAndRawAlike) {
  constexpr int W = 880, H = 1400;
  RebuildFolder plain(RebuildFolder::Library::Stub);
  plain.Prepare(BlankRaw(0, 400));
  ASSERT_EQ(plain.Run(L"/rb /N:" + Quoted(plain.Info())).exit, 0u);
  const std::vector<uint16_t> raw0 = ReadRaw16(plain.Images() + L"LAST1A.raw");
  ASSERT_EQ(raw0.size(), size_t(W) * H);
  const auto old = [&](int r, int c) { return raw0[size_t(r) * W + c]; };

  struct Row {
    const char* name;
    int button;
    bool escape;
    int w, h;
    std::function<uint16_t(int r, int c)> expected;  // new pixel (r, c) from the old image
  };
  const Row rows[] = {
      {"counter-clockwise", 1000, false, H, W, [&](int r, int c) { return old(c, W - 1 - r); }},
      {"mirror left-right", 1001, false, W, H, [&](int r, int c) { return old(r, W - 1 - c); }},
      {"mirror top-bottom", 1002, false, W, H, [&](int r, int c) { return old(H - 1 - r, c); }},
      {"clockwise, then Escape", 1004, true, H, W, [&](int r, int c) { return old(H - 1 - c, r); }},
  };
  for (const Row& row : rows) {
    RebuildFolder f(RebuildFolder::Library::Stub);
    f.Prepare(BlankRaw(0, 400));
    wintest::ChildProcess child;
    ASSERT_TRUE(child.Start(f.Program(), L"/rb /N:" + Quoted(f.Info()) + L" /PW"));
    HWND dlg = WaitForPreview(child.Id(), 60000);
    ASSERT_NE(dlg, nullptr) << row.name;
    HWND button = GetDlgItem(dlg, row.button);
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(row.button, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    if (row.escape) {
      // The dialog manager turns Escape on a button into Cancel.
      PostMessageW(button, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    } else {
      PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
    }
    ASSERT_EQ(child.WaitExit(60000), 0u) << row.name;
    auto k = ReadInfo(f.Images() + L"LAST1A.NFO");
    EXPECT_EQ(Num(k[L"ACQUISITION/Width"]), row.w) << row.name;
    EXPECT_EQ(Num(k[L"ACQUISITION/Height"]), row.h) << row.name;
    EXPECT_EQ(Num(k[L"ACQUISITION/RAWWidth"]), row.w) << row.name;
    EXPECT_EQ(Num(k[L"ACQUISITION/RAWHeight"]), row.h) << row.name;
    const GreyBmp bmp = ReadGreyBmp(f.Images() + L"LAST1A.bmp");
    ASSERT_TRUE(bmp.ok) << row.name;
    EXPECT_EQ(bmp.width, row.w) << row.name;
    EXPECT_EQ(bmp.height, row.h) << row.name;
    const std::vector<uint16_t> raw = ReadRaw16(f.Images() + L"LAST1A.raw");
    ASSERT_EQ(raw.size(), raw0.size()) << row.name;
    size_t rawOk = 0, bmpOk = 0, compared = 0;
    for (int r = 0; r < row.h; ++r)
      for (int c = 0; c < row.w; ++c) {
        const uint16_t want = row.expected(r, c);
        rawOk += raw[size_t(r) * row.w + c] == want;
        if (c > row.w - 140 && r > row.h - 50) continue;  // the mark
        ++compared;
        bmpOk += std::abs(int(bmp.At(c, r)) - int(want >> 8)) <= 1;
      }
    EXPECT_EQ(rawOk, raw.size()) << row.name;
    EXPECT_GT(double(bmpOk) / double(compared), 0.999) << row.name;
  }
}

}  // namespace
