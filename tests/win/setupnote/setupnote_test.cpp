// The installation note under Wine: language by thread locale, caption and message,
// the bold 3/2 message font (compared pixel by pixel with reference renderings), the
// three ways to close it, exit code 1, and a screenshot per language.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>

#include "win_test_support.h"

namespace {

const wchar_t kEnglishCaption[] = L"LUMEQ Device Driver Installer";
const wchar_t kEnglishText[] = L"Congratulations! You have finished installing your LUMEQ device driver.";
const wchar_t kFrenchCaption[] = L"Installation des pilotes mat\u00e9riel LUMEQ";
const wchar_t kFrenchText[] =
    L"F\u00e9licitations ! Vous avez termin\u00e9 l'installation des pilotes mat\u00e9riel LUMEQ.";

enum class CloseBy { Escape, OkButton, CloseBox };

struct Row {
  const char* name;
  const char* lang;
  bool french;
  CloseBy close;
};

// Renders `text` the way a left-aligned static control does, with the given font, on
// the dialog background, and returns the pixels.
wintest::Pixels RenderReference(const std::wstring& text, int width, int height, const LOGFONTW& lf) {
  wintest::Pixels px;
  px.width = width;
  px.height = height;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ oldBmp = SelectObject(mem, dib);
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ oldFont = SelectObject(mem, font);
  RECT rc = {0, 0, width, height};
  FillRect(mem, &rc, GetSysColorBrush(COLOR_3DFACE));
  SetBkMode(mem, TRANSPARENT);
  SetTextColor(mem, GetSysColor(COLOR_WINDOWTEXT));
  DrawTextW(mem, text.c_str(), -1, &rc, DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  GdiFlush();
  px.data.assign(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + width * height);
  for (auto& v : px.data) v &= 0x00FFFFFF;
  SelectObject(mem, oldFont);
  DeleteObject(font);
  SelectObject(mem, oldBmp);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return px;
}

// Share of pixels whose "ink" (dark against the background) differs.
double InkDifference(const wintest::Pixels& a, const wintest::Pixels& b) {
  if (a.width != b.width || a.height != b.height || a.data.empty()) return 1.0;
  auto ink = [](uint32_t v) {
    int lum = ((v >> 16) & 0xFF) + ((v >> 8) & 0xFF) + (v & 0xFF);
    return lum < 3 * 128;
  };
  size_t diff = 0, inkCount = 0;
  for (size_t i = 0; i < a.data.size(); ++i) {
    bool x = ink(a.data[i]), y = ink(b.data[i]);
    inkCount += x || y;
    diff += x != y;
  }
  return inkCount ? static_cast<double>(diff) / static_cast<double>(inkCount) : 1.0;
}

bool HasInk(const wintest::Pixels& px) {
  for (uint32_t v : px.data)
    if (((v >> 16) & 0xFF) + ((v >> 8) & 0xFF) + (v & 0xFF) < 3 * 128) return true;
  return false;
}

// True once `control` is painted on screen: the dialog's process waits for input with no
// repaint pending, and two captures in a row are alike and show ink; false after `ms`.
bool WaitForPainted(HANDLE process, HWND dlg, HWND control, DWORD ms) {
  const DWORD start = GetTickCount();
  wintest::Pixels last;
  for (;;) {
    const DWORD spent = GetTickCount() - start;
    if (spent > ms) return false;
    WaitForInputIdle(process, ms - spent);
    RECT pending;
    if (!GetUpdateRect(dlg, &pending, FALSE) && !GetUpdateRect(control, &pending, FALSE)) {
      wintest::Pixels now = wintest::CaptureClient(control);
      if (HasInk(now) && now.width == last.width && now.height == last.height && now.data == last.data) return true;
      last = std::move(now);
    }
    Sleep(50);
  }
}

class SetupNote : public ::testing::TestWithParam<Row> {};

TEST_P(SetupNote, ShowsItsLanguageAndClosesWithExitCodeOne) {
  const Row& row = GetParam();
  wintest::ChildProcess child;
  // The thread locale follows the Unix locale of the process (LANG, set for each
  // CTest test), which the child inherits.
  const char* lang = getenv("LANG");
  ASSERT_TRUE(lang && std::string(lang) == row.lang) << "run this row with LANG=" << row.lang;
  ASSERT_TRUE(child.Start(wintest::ProgramFolder() + L"setupnote.exe", L""))
      << "CreateProcess error " << GetLastError();
  HWND dlg = wintest::WaitForProcessWindow(child.Id(), L"#32770", 20000);
  ASSERT_NE(dlg, nullptr) << row.name << ": no dialog appeared";

  EXPECT_EQ(wintest::WindowText(dlg), row.french ? kFrenchCaption : kEnglishCaption) << row.name;
  HWND message = GetDlgItem(dlg, 1000);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(wintest::WindowText(message), row.french ? kFrenchText : kEnglishText) << row.name;
  ASSERT_NE(GetDlgItem(dlg, IDOK), nullptr);

  // The message font: compare what the control shows with the text drawn in the
  // expected font (default GUI font, height x 3/2, weight 700) and in two near misses.
  ASSERT_TRUE(WaitForPainted(child.Handle(), dlg, message, 10000)) << row.name << ": the message was never painted";
  wintest::Pixels shown = wintest::CaptureClient(message);
  ASSERT_FALSE(shown.data.empty());
  LOGFONTW gui = {};
  ASSERT_NE(GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui), 0);
  LOGFONTW expected = gui, plainSize = gui, notBold = gui;
  expected.lfHeight = gui.lfHeight * 3 / 2;
  expected.lfWeight = 700;
  plainSize.lfWeight = 700;
  notBold.lfHeight = expected.lfHeight;
  notBold.lfWeight = FW_NORMAL;
  const std::wstring text = row.french ? kFrenchText : kEnglishText;
  const double dExpected = InkDifference(shown, RenderReference(text, shown.width, shown.height, expected));
  const double dPlainSize = InkDifference(shown, RenderReference(text, shown.width, shown.height, plainSize));
  const double dNotBold = InkDifference(shown, RenderReference(text, shown.width, shown.height, notBold));
  EXPECT_LT(dExpected, 0.05) << row.name << ": the message is not drawn in the bold 3/2 font";
  EXPECT_LT(dExpected, dPlainSize) << row.name;
  // Known Wine gap: Wine's Tahoma has no bold face and draws bold as regular, so there
  // the two renderings are identical and weight cannot be told apart by pixels.
  const bool boldDistinct =
      InkDifference(RenderReference(text, shown.width, shown.height, expected),
                    RenderReference(text, shown.width, shown.height, notBold)) > 0.0;
  if (boldDistinct) {
    EXPECT_LT(dExpected, dNotBold) << row.name;
  }

  EXPECT_TRUE(wintest::SaveWindowPng(dlg, wintest::ArtifactFolder() + L"setupnote-" +
                                              std::wstring(row.name, row.name + strlen(row.name)) + L".png"));

  switch (row.close) {
    case CloseBy::Escape:
      // The OK button has the focus; the dialog manager turns Escape into Cancel.
      PostMessageW(GetDlgItem(dlg, IDOK), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      break;
    case CloseBy::OkButton:
      PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
      break;
    case CloseBy::CloseBox:
      PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
  }
  EXPECT_EQ(child.WaitExit(15000), 1u) << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    Locales, SetupNote,
    ::testing::Values(Row{"fr-FR", "fr_FR.UTF-8", true, CloseBy::Escape},
                      Row{"fr-CA", "fr_CA.UTF-8", true, CloseBy::OkButton},
                      Row{"fr-CH", "fr_CH.UTF-8", true, CloseBy::CloseBox},
                      Row{"en-US", "en_US.UTF-8", false, CloseBy::Escape},
                      Row{"de-DE", "de_DE.UTF-8", false, CloseBy::OkButton}),
    [](const ::testing::TestParamInfo<Row>& info) {
      std::string n = info.param.name;
      for (auto& c : n) if (c == '-') c = '_';
      return n;
    });

}  // namespace
