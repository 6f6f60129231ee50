// The skinned panel on a real window under Wine, with the program's own template and
// skin: for each state of the scanner and the station the screen shows, at two window
// sizes, the overlays that must show and not those that must not; the window opens at
// its default or saved place; a ".PRS" file replaces one picture and nothing else.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "command_line/OneShotJobs.h"
#include "logging/KvLogger.h"
#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "settings/win/KvSystemWin.h"
#include "tests/support/memory_logger.h"
#include "win_test_support.h"
#include "acquisition/MultiPlate.h"
#include "acquisition/win/ReconstructionWin.h"
#include "ui/MultiImageList.h"
#include "ui/PanelModel.h"
#include "ui/win/KvControls.h"
#include "ui/win/KvSkinObject.h"
#include "ui/win/OrvaqDlg.h"
#include "dialog_in_loop.h"

namespace gp = Gdiplus;
using namespace orvaq::ui;

namespace {

using dialogtest::BinSystem;
using dialogtest::NoJobs;

// The panel with scripted inputs; `checks` run inside the modal loop.
class PanelDlg : public dialogtest::DialogInLoop<PanelDlg> {
 public:
  using DialogInLoop::DialogInLoop;
  SPanelInputs inputs;
  bool scripted = false;
  // Shows the panel for `in` at the size given and returns it as captured from the
  // screen once the screen shows the panel's frame (polled, bounded).
  wintest::Pixels Show(const SPanelInputs& in, int width, int height) {
    inputs = in;
    scripted = true;
    SetWindowPos(m_hWnd, HWND_TOPMOST, 100, 100, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    wintest::Pixels screen;
    const DWORD end = GetTickCount() + 5000;
    do {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      screen = wintest::CaptureClient(m_hWnd);
      if (screen.width == width && !screen.data.empty() && Matches(screen)) break;
      Sleep(20);
    } while (GetTickCount() < end);
    return screen;
  }
  int thumbnailErased = 0;
  // The pixel this window drew last at the middle of the left edge (the panel's body).
  std::function<bool(const wintest::Pixels&)> Matches = [](const wintest::Pixels&) { return true; };

 protected:
  RECT ThumbnailRect() override {
    ++thumbnailErased;
    return RECT{0, 0, 10, 10};
  }
  SPanelInputs PanelInputs() override {
    if (!scripted) return COrvaqDlg::PanelInputs();
    SPanelInputs in = inputs;
    in.lower = CurrentLowerPanel();
    in.t4Mode = T4ModeCounter();
    return in;
  }
};

// A skin picture's pixels as 0xAARRGGBB.
struct Argb {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t At(int x, int y) const { return px[size_t(y) * w + x]; }
};
Argb Read(gp::Bitmap* b) {
  Argb out;
  if (!b) return out;
  out.w = INT(b->GetWidth());
  out.h = INT(b->GetHeight());
  out.px.resize(size_t(out.w) * out.h);
  gp::Rect all(0, 0, out.w, out.h);
  gp::BitmapData data = {};
  data.Width = out.w;
  data.Height = out.h;
  data.Stride = out.w * 4;
  data.PixelFormat = PixelFormat32bppARGB;
  data.Scan0 = out.px.data();
  b->LockBits(&all, gp::ImageLockModeRead | gp::ImageLockModeUserInputBuf, PixelFormat32bppARGB, &data);
  b->UnlockBits(&data);
  return out;
}

int Distance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int c = std::abs(int((a >> shift) & 255) - int((b >> shift) & 255));
    d = c > d ? c : d;
  }
  return d;
}

// The colour of the panel at a skin pixel with `layers` drawn over `background`.
uint32_t Composite(const Argb& background, const std::vector<const Argb*>& layers, int x, int y) {
  double c[3];
  const uint32_t b = background.At(x, y);
  for (int i = 0; i < 3; ++i) c[i] = double((b >> (16 - 8 * i)) & 255);
  for (const Argb* l : layers) {
    const uint32_t p = l->At(x, y);
    const double a = double(p >> 24) / 255.0;
    for (int i = 0; i < 3; ++i) c[i] = c[i] * (1 - a) + double((p >> (16 - 8 * i)) & 255) * a;
  }
  return (uint32_t(c[0] + 0.5) << 16) | (uint32_t(c[1] + 0.5) << 8) | uint32_t(c[2] + 0.5);
}

// A point inside `area` where the panel with and without one overlay differ clearly
// all over a 3 x 3 block, so that the scaled window shows the difference; false when none.
bool SamplePoint(const Argb& background, const std::vector<const Argb*>& with, const std::vector<const Argb*>& without,
                 SRect area, POINT& p) {
  for (int y = std::max(area.y, 1); y < std::min(area.y + area.h, background.h - 1); ++y)
    for (int x = std::max(area.x, 1); x < std::min(area.x + area.w, background.w - 1); ++x) {
      bool apart = true;
      for (int dy = -1; apart && dy <= 1; ++dy)
        for (int dx = -1; apart && dx <= 1; ++dx)
          apart = Distance(Composite(background, with, x + dx, y + dy), Composite(background, without, x + dx, y + dy)) > 72;
      if (apart) {
        p = {x, y};
        return true;
      }
    }
  return false;
}

// The panel's colour averaged over the skin pixels that one window pixel covers.
uint32_t Average(const Argb& background, const std::vector<const Argb*>& layers, int x0, int y0, int f) {
  int sum[3] = {};
  for (int y = y0; y < y0 + f; ++y)
    for (int x = x0; x < x0 + f; ++x) {
      const uint32_t c = Composite(background, layers, x, y);
      for (int i = 0; i < 3; ++i) sum[i] += int((c >> (16 - 8 * i)) & 255);
    }
  const int n = f * f;
  return (uint32_t(sum[0] / n) << 16) | (uint32_t(sum[1] / n) << 8) | uint32_t(sum[2] / n);
}

// The screen shows the panel once the body left of the front plate has the skin's colour.
std::function<bool(const wintest::Pixels&)> BodyShown(const Argb& control) {
  const uint32_t body = control.At(10, 60);
  return [body](const wintest::Pixels& screen) {
    return Distance(screen.data[size_t(screen.height / 2) * screen.width + screen.width * 10 / 320], body) <= 24;
  };
}

class PanelWine : public ::testing::Test {
 protected:
  void SetUp() override {
    gp::GdiplusStartupInput input;
    gp::GdiplusStartup(&token, &input, nullptr);
    ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines));
    params = new CKvParameters(profile, system);
    SetParameters(params);
    skinObject.reset(new CKvSkinObject);
    SetSkinObject(skinObject.get());
  }
  void TearDown() override {
    SetSkinObject(nullptr);
    skinObject.reset();
    SetParameters(nullptr);
    delete params;
    ReplaceCurrentLogger(nullptr);
    gp::GdiplusShutdown(token);
  }
  Argb Picture(const wchar_t* name) { return Read(skinObject->Picture(name)); }

  ULONG_PTR token = 0;
  std::vector<std::string> lines;
  CKvMemoryProfile profile;
  BinSystem system;
  CKvParameters* params = nullptr;
  NoJobs jobs;
  std::unique_ptr<CKvSkinObject> skinObject;
};

SPanelInputs Multi() {
  SPanelInputs in;
  in.reservationMode = 1;
  in.scannerSerialEmpty = false;
  in.ledError = false;
  in.terminalNum = 2;
  in.stationFlags = 1;
  return in;
}

TEST_F(PanelWine, EachStateShowsItsOverlaysAtTwoSizes) {
  struct Case {
    const char* name;
    std::function<void(SPanelInputs&)> set;
    std::vector<const wchar_t*> shown, hidden;
  };
  const std::vector<Case> cases = {
      {"no_scanner", [](SPanelInputs& in) { in = SPanelInputs(); }, {skin::kLedOrange},
       {skin::kLedBlue, skin::kLedPurple}},
      {"ready", [](SPanelInputs& in) { in.ledReady = true; }, {skin::kLedBlue, skin::kBtnReserv, skin::kBtnParam},
       {skin::kLedOrange, skin::kLedPurple}},
      {"reserved_multi", [](SPanelInputs& in) { in.ledReady = in.ledReserved = true; },
       {skin::kLedBlue, skin::kLedYellow}, {skin::kLedOrange}},
      {"receiving", [](SPanelInputs& in) { in.ledReceiving = true; }, {skin::kLedPurple}, {skin::kLedOrange}},
      {"terminal_3_holds", [](SPanelInputs& in) { in.ledReady = true, in.terminalResaNum = 3; },
       {skin::kBtnReservNo, skin::kLedBlue}, {skin::kBtnParam, skin::kBtnReserv}},
      {"this_station_holds", [](SPanelInputs& in) { in.ledReady = in.ledReserved = true, in.terminalResaNum = 2; },
       {skin::kBtnReservOn}, {skin::kBtnParam}},
      {"blocked_image_4", [](SPanelInputs& in) { in.waitingImageTerminal = 4; },
       {skin::kLedBlue, skin::kLedYellow, skin::kBtnReservNo}, {skin::kLedOrange}},
      {"single_station", [](SPanelInputs& in) { in.reservationMode = 0, in.ledReady = true; },
       {skin::kLedBlue, skin::kLedOrange, skin::kBtnParam}, {skin::kBtnReserv}},
  };
  const Argb background = Picture(skin::kControl);
  ASSERT_EQ(background.w, 320);
  PanelDlg dlg(jobs, [&](PanelDlg& d) {
    d.Matches = BodyShown(background);
    for (const Case& c : cases) {
      SPanelInputs in = Multi();
      c.set(in);
      // The overlays drawn in this state, as the panel model lists them.
      std::vector<std::wstring> drawn;
      for (const SPanelLayer& l : ComposePanel(in, 320, 120, [&](const wchar_t* n) { return skinObject->OpaqueArea(n); }).layers)
        if (l.picture != skin::kControl) drawn.push_back(l.picture);
      for (int width : {160, 320}) {
        const wintest::Pixels screen = d.Show(in, width, width * 120 / 320);
        ASSERT_EQ(screen.width, width) << c.name;
        wintest::SaveWindowPng(d.Hwnd(), wintest::ArtifactFolder() + L"panel_" +
                                             std::wstring(c.name, c.name + strlen(c.name)) + L"_" +
                                             std::to_wstring(width) + L".png");
        auto check = [&](const wchar_t* name, bool mustShow) {
          std::vector<Argb> pictures;
          pictures.reserve(drawn.size() + 1);
          std::vector<const Argb*> with, without;
          for (const std::wstring& n : drawn) {
            pictures.push_back(Picture(n.c_str()));
            with.push_back(&pictures.back());
            if (n != name) without.push_back(&pictures.back());
          }
          if (!mustShow) {
            pictures.push_back(Picture(name));
            with.push_back(&pictures.back());
          }
          POINT p;
          if (!SamplePoint(background, with, without, skinObject->OpaqueArea(name), p)) {
            // A hidden overlay may lie wholly under others that show; one that must show never.
            EXPECT_FALSE(mustShow) << c.name << ": no visible point of " << std::string(name, name + wcslen(name));
            return;
          }
          // The window pixel over that point, and what it shows with and without the overlay.
          const int f = 320 / width, sx = p.x / f, sy = p.y / f;
          const uint32_t seen = screen.data[size_t(sy) * screen.width + sx];
          const uint32_t on = Average(background, with, sx * f, sy * f, f);
          const uint32_t off = Average(background, without, sx * f, sy * f, f);
          const bool showsIt = Distance(seen, on) < Distance(seen, off);
          EXPECT_EQ(showsIt, mustShow) << c.name << " " << width << ": " << std::string(name, name + wcslen(name))
                                       << " at " << p.x << "," << p.y << " seen " << std::hex << seen << " with " << on
                                       << " without " << off << std::dec;
          EXPECT_LE(Distance(seen, mustShow ? on : off), 64) << c.name << " " << width << " at " << p.x << "," << p.y;
        };
        for (const wchar_t* name : c.shown) check(name, true);
        for (const wchar_t* name : c.hidden) check(name, false);
      }
    }
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
}

// The texts over the panel: brighter (or redder) pixels where they are drawn.
TEST_F(PanelWine, NumbersAndDemoTextAreDrawnOverThePanel) {
  PanelDlg dlg(jobs, [&](PanelDlg& d) {
    d.Matches = BodyShown(Picture(skin::kControl));
    auto changed = [&](SPanelInputs with, SPanelInputs without, RECT skinArea, int channelShift) {
      const wintest::Pixels a = d.Show(without, 320, 120);
      const wintest::Pixels b = d.Show(with, 320, 120);
      int count = 0;
      for (int y = skinArea.top; y < skinArea.bottom; ++y)
        for (int x = skinArea.left; x < skinArea.right; ++x) {
          const size_t i = size_t(y) * 320 + x;
          if (int((b.data[i] >> channelShift) & 255) - int((a.data[i] >> channelShift) & 255) > 40) ++count;
        }
      return count;
    };
    SPanelInputs other = Multi();
    other.terminalResaNum = 3;
    SPanelInputs refused = Multi();
    refused.stationFlags = 0;  // the same overlay, no number
    const SRect no = skinObject->OpaqueArea(skin::kBtnReservNo);
    EXPECT_GT(changed(other, refused, {no.x, no.y, no.x + no.w, no.y + no.h}, 0), 20) << "holder number";
    SPanelInputs demo = Multi();
    demo.demoMode = true;
    EXPECT_GT(changed(demo, Multi(), {0, 0, 320, 120}, 0), 200) << "demonstration text";
    SPanelInputs batch = Multi();
    batch.batchReadsLeft = 4;
    EXPECT_GT(changed(batch, Multi(), {0, 0, 320, 120}, 16), 200) << "batch count in red";
    SPanelInputs one = Multi();
    one.batchReadsLeft = 1;
    EXPECT_EQ(changed(one, Multi(), {0, 0, 320, 120}, 16), 0) << "a single read shows no count";
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(PanelWine, PlacementDefaultSavedAndLimits) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  struct Case {
    const char* name;
    int width, height;  // saved; 0 = none
    RECT expected;
  };
  const std::vector<Case> cases = {
      {"no placement", 0, 0, {(screenWidth - 160) / 2, 0, (screenWidth - 160) / 2 + 160, 60}},
      {"300 x 100 ignored", 300, 100, {(screenWidth - 160) / 2, 0, (screenWidth - 160) / 2 + 160, 60}},
      {"240 x 90 restored", 240, 90, {50, 70, 290, 160}},
  };
  for (const Case& c : cases) {
    params->WriteWindowPlacement(KvWindowPlacement());  // length 0: none
    if (c.width) {
      KvWindowPlacement saved;
      saved.length = 44;
      saved.showCmd = SW_SHOWNORMAL;
      saved.rcNormalPositionLeft = 50;
      saved.rcNormalPositionTop = 70;
      saved.rcNormalPositionRight = 50 + c.width;
      saved.rcNormalPositionBottom = 70 + c.height;
      params->WriteWindowPlacement(saved);
    }
    RECT seen = {};
    MINMAXINFO limits = {};
    PanelDlg dlg(jobs, [&](PanelDlg& d) {
      GetWindowRect(d.Hwnd(), &seen);
      SendMessageW(d.Hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
      SetWindowPos(d.Hwnd(), nullptr, 10, 20, 200, 75, SWP_NOZORDER);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(seen.left, c.expected.left) << c.name;
    EXPECT_EQ(seen.top, c.expected.top) << c.name;
    EXPECT_EQ(seen.right - seen.left, c.expected.right - c.expected.left) << c.name;
    EXPECT_EQ(seen.bottom - seen.top, c.expected.bottom - c.expected.top) << c.name;
    EXPECT_EQ(limits.ptMinTrackSize.x, 160);
    EXPECT_EQ(limits.ptMaxTrackSize.x, 320);
    EXPECT_EQ(limits.ptMaxTrackSize.y, 120);
    // The closing saved where the window was.
    const KvWindowPlacement saved = params->ReadWindowPlacement();
    EXPECT_EQ(saved.length, 44) << c.name;
    EXPECT_EQ(saved.rcNormalPositionRight - saved.rcNormalPositionLeft, 200) << c.name;
  }
}

// Timer 1010 erases the thumbnail once and stops.
// The GDI+ encoder of a MIME type.
CLSID Encoder(const wchar_t* mime) {
  UINT n = 0, size = 0;
  gp::GetImageEncodersSize(&n, &size);
  std::vector<BYTE> buffer(size);
  auto* codecs = reinterpret_cast<gp::ImageCodecInfo*>(buffer.data());
  gp::GetImageEncoders(n, size, codecs);
  for (UINT i = 0; i < n; ++i)
    if (wcscmp(codecs[i].MimeType, mime) == 0) return codecs[i].Clsid;
  return CLSID{};
}

// A fresh folder for one test's files, with a trailing backslash.
std::wstring FreshFolder(const wchar_t* name) {
  const std::wstring folder = wintest::ArtifactFolder() + name + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((folder + L"*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do DeleteFileW((folder + found.cFileName).c_str());
    while (FindNextFileW(h, &found));
    FindClose(h);
  }
  return folder;
}

int CountFiles(const std::wstring& pattern) {
  int n = 0;
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(pattern.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do ++n;
  while (FindNextFileW(h, &found));
  FindClose(h);
  return n;
}

// Mean brightness of a window rectangle of a capture.
double Mean(const wintest::Pixels& p, RECT r) {
  double sum = 0;
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x, ++n) {
      const uint32_t c = p.data[size_t(y) * p.width + x];
      sum += ((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255);
    }
  return n ? sum / (3.0 * n) : 0;
}

// Parts of a three-plate set in the boxes: the pictures show inside their frames (two,
// then three), a box turns its picture by 180 degrees, and box 3 fades in two-plate mode.
TEST_F(PanelWine, MultiPlateBoxesShowTheirPartsTurnedAndFaded) {
  params->SetAcquisitionUseT4(2);
  const std::wstring work = FreshFolder(L"panel_parts");
  PanelDlg dlg(jobs, [&](PanelDlg& d) {
    d.Matches = BodyShown(Picture(skin::kControl));
    CMultiPlate& t4 = d.Reconstruction()->MultiPlate();
    for (int part = 1; part <= 2; ++part) {
      const std::wstring raw = work + L"part" + std::to_wstring(part) + L".tmp";
      ASSERT_TRUE(CopyFileW((wintest::ProgramFolder() + L"rawimageT4_" + std::to_wstring(part) + L".bin").c_str(),
                            raw.c_str(), FALSE));
      ASSERT_TRUE(t4.DetectT3Part(raw)) << "part " << part;
    }
    ASSERT_TRUE(t4.T4Mode());
    // The window took the multi-plate panel: 320 x 360 in the skin.
    const wintest::Pixels two = d.Show(Multi(), 320, 360);
    ASSERT_EQ(two.height, 360);
    wintest::SaveWindowPng(d.Hwnd(), wintest::ArtifactFolder() + L"panel_two_boxes.png");
    const SRect b1 = skinObject->OpaqueArea(skin::kBoxes[0]), b3 = skinObject->OpaqueArea(skin::kBoxes[2]);
    const RECT inside1 = {b1.x + 15, 120 + b1.y + 30, b1.x + b1.w - 15, 120 + b1.y + b1.h - 30};
    const RECT inside3 = {b3.x + 15, 120 + b3.y + 30, b3.x + b3.w - 15, 120 + b3.y + b3.h - 30};
    EXPECT_GT(Mean(two, inside1), Mean(two, inside3) + 20) << "box 1 shows its part, box 3 is empty";
    // Turned: the picture in box 1 is the one before, upside down and mirrored.
    t4.Rotate(1);
    EXPECT_TRUE(t4.Box(1).rotated);
    const wintest::Pixels turned = d.Show(Multi(), 320, 360);
    wintest::SaveWindowPng(d.Hwnd(), wintest::ArtifactFolder() + L"panel_box1_turned.png");
    const SRect fit = FitCentred(t4.Box(1).width, t4.Box(1).height, {b1.x, 120 + b1.y, b1.w, b1.h});
    double same = 0, opposite = 0;
    int n = 0;
    for (int y = fit.y + 4; y < fit.y + fit.h - 4; y += 3)
      for (int x = fit.x + 4; x < fit.x + fit.w - 4; x += 3, ++n) {
        const int mx = fit.x + fit.w - 1 - (x - fit.x), my = fit.y + fit.h - 1 - (y - fit.y);
        same += Distance(turned.data[size_t(y) * 320 + x], two.data[size_t(y) * 320 + x]);
        opposite += Distance(turned.data[size_t(y) * 320 + x], two.data[size_t(my) * 320 + mx]);
      }
    ASSERT_GT(n, 0);
    EXPECT_LT(opposite / n, 12.0) << "box 1 is not its picture turned";
    EXPECT_GT(same / n, opposite / n + 5) << "box 1 did not change";
    // Two-plate mode (the mode button from 2 to 0 to 1): box 3's frame fades.
    // The third part fills box 3.
    const std::wstring third = work + L"part3.tmp";
    ASSERT_TRUE(CopyFileW((wintest::ProgramFolder() + L"rawimageT4_3.bin").c_str(), third.c_str(), FALSE));
    ASSERT_TRUE(t4.DetectT3Part(third));
    const wintest::Pixels three = d.Show(Multi(), 320, 360);
    wintest::SaveWindowPng(d.Hwnd(), wintest::ArtifactFolder() + L"panel_three_boxes.png");
    EXPECT_GT(Mean(three, inside3), Mean(two, inside3) + 20) << "box 3 shows its part";
    SendMessageW(d.Hwnd(), WM_COMMAND, kIdT4Mode, 0);
    SendMessageW(d.Hwnd(), WM_COMMAND, kIdT4Mode, 0);
    EXPECT_EQ(d.T4ModeCounter(), 1);
    const wintest::Pixels faded = d.Show(Multi(), 320, 360);
    wintest::SaveWindowPng(d.Hwnd(), wintest::ArtifactFolder() + L"panel_box3_faded.png");
    int changed = 0;
    for (int y = 120 + b3.y; y < 120 + b3.y + b3.h; ++y)
      for (int x = b3.x; x < b3.x + b3.w; ++x)
        changed += Distance(faded.data[size_t(y) * 320 + x], two.data[size_t(y) * 320 + x]) > 20 ? 1 : 0;
    EXPECT_GT(changed, 200) << "box 3 did not fade";
    t4.SetT4Mode(false);  // the parts stay where they are: nothing to compose here
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
}

// Files dropped on the panel: each ".RAW" or ".BIN" is reconstructed in turn as a received
// plate, anything else is ignored.
TEST_F(PanelWine, DroppedRawFilesAreReconstructedInTurn) {
  const std::wstring images = FreshFolder(L"panel_drop_images");
  const std::wstring source = FreshFolder(L"panel_drop_source");
  params->SetImagesPath(images);
  std::vector<std::wstring> files = {source + L"first.BIN", source + L"second.bin", source + L"notes.txt"};
  for (const std::wstring& f : files)
    ASSERT_TRUE(CopyFileW((wintest::ProgramFolder() + L"rawimage_0.bin").c_str(), f.c_str(), FALSE));
  PanelDlg dlg(jobs, [&](PanelDlg& d) {
    // The message the shell sends: a DROPFILES block with the wide paths, double-ended.
    std::wstring list;
    for (const std::wstring& f : files) list += f + L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    ASSERT_NE(memory, nullptr);
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(d.Hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    EXPECT_EQ(CountFiles(images + L"*.NFO"), 2);
    EXPECT_EQ(CountFiles(images + L"*.bmp") - CountFiles(images + L"LASTACQP2.BIN.bmp"), 2);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
}

// Multi-image mode: the stored acquisitions of the images folder in list box 1022, in the
// order of their information files' times, the newest selected; a new one appears when
// the folder watch fires.
TEST_F(PanelWine, StoredAcquisitionsAreListedAndFollowTheFolder) {
  const std::wstring images = FreshFolder(L"panel_stored");
  params->SetImagesPath(images);
  params->m_bTwain = true;
  params->SetAcqMultiImages(1);
  const CLSID bmpEncoder = Encoder(L"image/bmp");
  // An acquisition: its picture and its information file, written `age` minutes ago.
  auto store = [&](const std::wstring& name, int shade, int age) {
    gp::Bitmap picture(60, 100, PixelFormat24bppRGB);
    gp::Graphics(&picture).Clear(gp::Color(255, BYTE(shade), BYTE(shade), BYTE(shade)));
    const std::wstring bmp = images + name + L".bmp";
    ASSERT_EQ(picture.Save(bmp.c_str(), &bmpEncoder, nullptr), gp::Ok);
    const std::wstring text = L"[ACQUISITION]\r\nFile8=" + bmp + L"\r\n";
    std::string bytes("\xFF\xFE", 2);
    for (wchar_t c : text) bytes += std::string{char(c & 0xFF), char(c >> 8)};
    const std::wstring nfo = images + name + L".NFO";
    ASSERT_TRUE(wintest::WriteFileText(nfo, bytes));
    HANDLE h = CreateFileW(nfo.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t = {{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= ULONGLONG(age) * 60 * 10000000ULL;
    FILETIME then = {t.LowPart, t.HighPart};
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &then));
    CloseHandle(h);
  };
  store(L"b_newer", 220, 5);
  store(L"a_older", 90, 60);
  PanelDlg dlg(jobs, [&](PanelDlg& d) {
    d.Matches = BodyShown(Picture(skin::kControl));
    d.Show(Multi(), 320, 720);  // "/twain" doubles the panel's size limits
    HWND list = GetDlgItem(d.Hwnd(), kIdStoredList);
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
    auto item = [&](int i) { return std::wstring(reinterpret_cast<const wchar_t*>(SendMessageW(list, LB_GETITEMDATA, i, 0))); };
    EXPECT_EQ(item(0), L"a_older.NFO");
    EXPECT_EQ(item(1), L"b_newer.NFO");
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
    wintest::SaveWindowPng(d.Hwnd(), wintest::ArtifactFolder() + L"panel_stored_list.png");
    store(L"c_newest", 160, 0);
    const DWORD end = GetTickCount() + 15000;
    MSG msg;
    while (SendMessageW(list, LB_GETCOUNT, 0, 0) < 3 && GetTickCount() < end)
      if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      else MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 3) << "the folder watch did not refresh the list";
    EXPECT_EQ(item(2), L"c_newest.NFO");
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(PanelWine, ThumbnailTimerErasesOnceAndStops) {
  PanelDlg dlg(jobs, [&](PanelDlg& d) {
    ASSERT_NE(SetTimer(d.Hwnd(), kThumbnailTimerId, 20, nullptr), 0u);
    const DWORD end = GetTickCount() + 5000;
    MSG msg;
    while (d.thumbnailErased == 0 && GetTickCount() < end)
      if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      else MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    EXPECT_EQ(d.thumbnailErased, 1);
    EXPECT_FALSE(KillTimer(d.Hwnd(), kThumbnailTimerId)) << "the timer still runs";
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
}

// A right click puts a parameter slider back to its default and tells its parent.
TEST_F(PanelWine, SliderRightClickReturnsToDefault) {
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 60, nullptr, nullptr, nullptr, nullptr);
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  HWND track = CreateWindowExW(0, TRACKBAR_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 280, 40, parent, nullptr,
                               nullptr, nullptr);
  ASSERT_NE(track, nullptr);
  SendMessageW(track, TBM_SETRANGE, TRUE, MAKELPARAM(-100, 100));
  SendMessageW(track, TBM_SETPOS, TRUE, 60);
  CKvWSlider slider;
  ASSERT_TRUE(slider.Attach(track, 0));
  SendMessageW(track, WM_RBUTTONUP, 0, MAKELPARAM(20, 10));
  EXPECT_EQ(SendMessageW(track, TBM_GETPOS, 0, 0), 0);
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, parent, WM_HSCROLL, WM_HSCROLL, PM_REMOVE)) << "the parent is told";
  EXPECT_EQ(reinterpret_cast<HWND>(msg.lParam), track);
  DestroyWindow(parent);
}

TEST_F(PanelWine, SkinFileReplacesOnlyThePicturesItNames) {
  // A blue lamp of another colour, saved as a file beside the program.
  const Argb blue = Picture(skin::kLedBlue);
  ASSERT_EQ(blue.w, 320);
  std::vector<uint32_t> swapped(blue.px);
  for (uint32_t& p : swapped) p = (p & 0xFF00FF00u) | ((p >> 16) & 0xFF) | ((p & 0xFF) << 16);
  const std::wstring folder = wintest::ProgramFolder();
  {
    gp::Bitmap file(320, 120, 320 * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(swapped.data()));
    const CLSID png = Encoder(L"image/png");
    ASSERT_EQ(file.Save((folder + L"panel_blue.png").c_str(), &png, nullptr), gp::Ok);
  }
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring skinFile = exe;
  skinFile = skinFile.substr(0, skinFile.find_last_of(L'.')) + L".PRS";
  ASSERT_TRUE(wintest::WriteFileText(skinFile, "[SKIN]\r\nLUMEQ_LED_BLUE=panel_blue.png\r\n"
                                               "LUMEQ_LED_YELLOW=no_such_file.png\r\n"));
  {
    CKvSkinObject replaced;
    EXPECT_EQ(Read(replaced.Picture(skin::kLedBlue)).px, swapped);
    // The file is not held open.
    EXPECT_TRUE(DeleteFileW((folder + L"panel_blue.png").c_str()));
    for (const wchar_t* name : {skin::kLedYellow, skin::kLedOrange, skin::kControl, skin::kBtnReserv})
      EXPECT_EQ(Read(replaced.Picture(name)).px, Picture(name).px) << "changed beside the blue lamp";
    EXPECT_EQ(replaced.Picture(L"NO_SUCH_PICTURE"), nullptr);
    EXPECT_TRUE(replaced.OpaqueArea(L"NO_SUCH_PICTURE").Empty());
  }
  DeleteFileW(skinFile.c_str());
}

}  // namespace
