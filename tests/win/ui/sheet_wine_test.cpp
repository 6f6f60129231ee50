// The parameter sheet and the technical setup on real windows under Wine, with the
// program's own templates and texts: every page in French, English and German (saved as
// screenshots, labels checked against their controls), values loaded from a prepared
// settings file and saved back after real keyboard and mouse input, and what OK does with
// its modifier keys. A scripted main window answers the sheet's requests and records them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "logging/KvLogger.h"
#include "settings/KvParameters.h"
#include "settings/win/KvProfileWin.h"
#include "tests/support/memory_logger.h"
#include "ui/win/SheetParameter.h"
#include "ui/win/TechnicalSetup.h"
#include "dialog_in_loop.h"
#include "win_test_support.h"

namespace {

const wchar_t kSerial[] = L"SIM0001";

// The main window's side of the requests: answers from tables, every request recorded.
struct FakeMain {
  HWND hwnd = nullptr;
  std::wstring scanners = kSerial;
  std::map<int, int> numbers = {{1, 0}, {8, 1}, {9, 0}, {10, 42}, {11, 0}, {12, 0x12}, {13, 2330},
                                {15, 0}, {17, 5}, {18, 1}};
  std::map<int, std::wstring> texts = {{5, L"02:00:00:00:00:05"}, {6, L"2.1.03"}, {7, L"1.4"},
                                       {102, L"127.0.0.2"},        {103, L"255.0.0.0"}, {104, L"127.0.0.1"}};
  std::map<int, std::wstring> admin = {{3, L"2;5"}, {15999, L"15"}, {14, L""}};
  std::vector<int> adminCodes;
  std::vector<std::wstring> commands;
  std::wstring text;  // the answer buffer handed out by address

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const int code = int(wParam);
    if (message == 0x465) {
      if (!lParam) {
        text = code == 0 ? scanners : L"";
        return code == 0 ? reinterpret_cast<LRESULT>(text.c_str()) : 0;
      }
      if (code == 0) {
        text = reinterpret_cast<const wchar_t*>(lParam);
        return reinterpret_cast<LRESULT>(text.c_str());
      }
      auto t = texts.find(code);
      if (t != texts.end()) {
        text = t->second;
        return reinterpret_cast<LRESULT>(text.c_str());
      }
      auto n = numbers.find(code);
      return n == numbers.end() ? -1 : n->second;
    }
    if (message == 0x466) {
      adminCodes.push_back(code);
      auto a = admin.find(code);
      text = a == admin.end() ? L"OK" : a->second;
      return reinterpret_cast<LRESULT>(text.c_str());
    }
    commands.push_back(reinterpret_cast<const wchar_t*>(wParam));
    *reinterpret_cast<std::wstring*>(lParam) = L"answer to " + commands.back();
    return 200;
  }
};

FakeMain* g_pMain = nullptr;

LRESULT CALLBACK FakeMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_pMain && message >= 0x465 && message <= 0x467) return g_pMain->Handle(message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

// A script run by a thread timer, so that it goes on inside every modal loop (the sheet,
// its message boxes, the technical setup). A step returns false to be tried again at the
// next tick; it never waits itself.
struct Script {
  std::vector<std::function<bool()>> steps;
  size_t next = 0;
  DWORD deadline = 0;
  bool timedOut = false;
  size_t failedStep = 0;
  static Script* current;
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script* s = current;
    if (!s || s->next >= s->steps.size()) return;
    if (GetTickCount() > s->deadline) {
      s->timedOut = true;
      s->failedStep = s->next;
      s->next = s->steps.size();
      // Close whatever is open so the test ends.
      for (HWND w = GetForegroundWindow(); w; w = GetForegroundWindow()) {
        SendMessageW(w, WM_COMMAND, IDCANCEL, 0);
        if (GetForegroundWindow() == w) break;
      }
      return;
    }
    size_t step = s->next;
    s->next = s->steps.size() + 1;  // re-entry from a nested loop waits
    const bool done = s->steps[step]();
    s->next = done ? step + 1 : step;
  }
};
Script* Script::current = nullptr;

void Key(WORD vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof(in));
}

void Type(const std::wstring& text) {
  for (wchar_t c : text) {
    Key(WORD(c), false);
    Key(WORD(c), true);
  }
}

void MoveTo(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dx = ((r.left + r.right) / 2) * 65535 / (w - 1);
  in.mi.dy = ((r.top + r.bottom) / 2) * 65535 / (h - 1);
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof(INPUT));
}

// A left click where the pointer is.
void ClickHere() {
  INPUT in[2] = {};
  for (INPUT& i : in) i.type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
}

void Click(HWND control) {
  MoveTo(control);
  ClickHere();
}

// A message box or dialog of this process other than `except`, with `caption` when given.
struct SFindDialog {
  HWND except, found;
  const wchar_t* caption;
};
BOOL CALLBACK FindDialogProc(HWND w, LPARAM p) {
  auto* f = reinterpret_cast<SFindDialog*>(p);
  wchar_t cls[32] = {};
  GetClassNameW(w, cls, 32);
  if (w == f->except || !IsWindowVisible(w) || wcscmp(cls, L"#32770") != 0) return TRUE;
  if (f->caption && wintest::WindowText(w) != f->caption) return TRUE;
  f->found = w;
  return FALSE;
}
HWND FindOwnDialog(HWND except, const wchar_t* caption = nullptr) {
  SFindDialog f{except, nullptr, caption};
  EnumThreadWindows(GetCurrentThreadId(), FindDialogProc, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

std::wstring Text(HWND w) { return wintest::WindowText(w); }

// Labels that do not fit their control, and visible controls of a page that overlap
// (group boxes and the page-wide message aside): "id: reason" lines.
std::vector<std::wstring> LayoutFaults(HWND page) {
  std::vector<HWND> controls;
  for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (IsWindowVisible(c)) controls.push_back(c);
  std::vector<std::wstring> faults;
  HDC dc = GetDC(page);
  for (HWND c : controls) {
    wchar_t cls[32] = {};
    GetClassNameW(c, cls, 32);
    const LONG style = GetWindowLongW(c, GWL_STYLE);
    const bool button = _wcsicmp(cls, L"Button") == 0, label = _wcsicmp(cls, L"Static") == 0;
    const std::wstring text = Text(c);
    if ((!button && !label) || text.empty() || (button && (style & BS_MULTILINE))) continue;
    if (label && (style & SS_TYPEMASK) == SS_ICON) continue;
    if (GetDlgCtrlID(c) == 601) continue;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    SelectObject(dc, old);
    RECT r;
    GetClientRect(c, &r);
    const LONG kind = style & BS_TYPEMASK;
    const bool box = button && (kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX || kind == BS_AUTORADIOBUTTON ||
                                kind == BS_RADIOBUTTON);
    const bool group = button && kind == BS_GROUPBOX;
    const int room = r.right - (box ? 18 : 0) - (button && !box && !group ? 8 : 0) - (group ? 12 : 0);
    if (size.cx > room)
      faults.push_back(std::to_wstring(GetDlgCtrlID(c)) + L": \"" + text + L"\" needs " + std::to_wstring(size.cx) +
                       L" of " + std::to_wstring(room));
  }
  ReleaseDC(page, dc);
  for (size_t i = 0; i < controls.size(); ++i)
    for (size_t j = i + 1; j < controls.size(); ++j) {
      auto skip = [](HWND c) {
        wchar_t cls[32] = {};
        GetClassNameW(c, cls, 32);
        // An up-down control sits on its buddy's edge by design.
        return GetDlgCtrlID(c) == 601 || _wcsicmp(cls, UPDOWN_CLASSW) == 0 ||
               (_wcsicmp(cls, L"Button") == 0 && (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX);
      };
      if (skip(controls[i]) || skip(controls[j])) continue;
      RECT a, b, x;
      GetWindowRect(controls[i], &a);
      GetWindowRect(controls[j], &b);
      if (IntersectRect(&x, &a, &b))
        faults.push_back(std::to_wstring(GetDlgCtrlID(controls[i])) + L" overlaps " +
                         std::to_wstring(GetDlgCtrlID(controls[j])));
    }
  return faults;
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

class SheetWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines));
    params.reset(new CKvParameters(profile, system));
    SetParameters(params.get());
    // A fresh settings file for every test, then the prepared values.
    const std::wstring ini = params->GetSettingsFilePath();
    DeleteFileW(ini.c_str());
    params.reset(new CKvParameters(profile, system));
    SetParameters(params.get());
    params->GetSettingsFilePath();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = FakeMainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SheetFakeMain";
    RegisterClassW(&wc);
    main.hwnd = CreateWindowW(L"SheetFakeMain", L"main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    g_pMain = &main;
  }
  void TearDown() override {
    g_pMain = nullptr;
    DestroyWindow(main.hwnd);
    SetParameters(nullptr);
    params.reset();
    ReplaceCurrentLogger(nullptr);
  }
  void Set(const wchar_t* section, const wchar_t* key, const std::wstring& value) {
    profile.WriteString(params->GetSettingsFilePath(), section, key, &value);
  }
  std::wstring Get(const wchar_t* section, const wchar_t* key) {
    return profile.ReadString(params->GetSettingsFilePath(), section, key, L"<absent>", 256);
  }
  // Runs the sheet with `steps` (the first waits for the sheet's values); true when the
  // script ran to its end in time.
  INT_PTR Run(CSheetParameter& sheet, std::vector<std::function<bool()>> steps) {
    steps.insert(steps.begin(), [&sheet] {
      return sheet.GetSafeHwnd() && sheet.PageWindow(CSheetParameter::kPageAbout) &&
             GetDlgItem(sheet.GetSafeHwnd(), CSheetParameter::kTechnicalButton);
    });
    return RunModal([&sheet] { return sheet.DoModal(); }, std::move(steps));
  }
  INT_PTR RunModal(const std::function<INT_PTR()>& modal, std::vector<std::function<bool()>> steps) {
    Script script;
    script.steps = std::move(steps);
    script.deadline = GetTickCount() + 30000;
    Script::current = &script;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, Script::Tick);
    const INT_PTR result = modal();
    KillTimer(nullptr, timer);
    Script::current = nullptr;
    EXPECT_FALSE(script.timedOut) << "script stopped at step " << script.failedStep;
    EXPECT_EQ(script.next, script.steps.size());
    return result;
  }
  HWND Page(CSheetParameter& s, CSheetParameter::Page p) { return s.PageWindow(p); }

  std::vector<std::string> lines;
  CKvProfileWin profile;
  dialogtest::BinSystem system;
  std::unique_ptr<CKvParameters> params;
  FakeMain main;
};

TEST_F(SheetWine, EveryPageInEachLanguageFitsItsLabels) {
  for (const wchar_t* language : {L"40C", L"409", L"407"}) {
    params->SetLanguage(language);
    Set(L"SENSOR", L"LUMEQ2Serial", kSerial);
    CSheetParameter sheet(main.hwnd, params->GetText(1100) + L" [1.2.3]");
    const std::vector<CSheetParameter::Page> pages = {CSheetParameter::kPageImage,   CSheetParameter::kPageConfig,
                                                      CSheetParameter::kPageScanner, CSheetParameter::kPageCodes,
                                                      CSheetParameter::kPageAbout,   CSheetParameter::kPageService};
    std::vector<std::function<bool()>> steps;
    // The scanner page shows its fields after the first refresh (2 s).
    // The scanner page shows its fields after the first refresh (2 s), when the machine
    // has an Ethernet adapter to choose; without one it shows its message.
    const DWORD refreshed = GetTickCount() + 4000;
    steps.push_back([&, refreshed] {
      return IsWindowVisible(GetDlgItem(Page(sheet, CSheetParameter::kPageScanner), 1124)) ||
             GetTickCount() > refreshed;
    });
    steps.push_back([&] {
      SendMessageW(sheet.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(CSheetParameter::kServicePageButton, BN_CLICKED), 0);
      return true;
    });
    for (size_t i = 0; i < pages.size(); ++i) {
      steps.push_back([&, i] {
        PropSheet_SetCurSel(sheet.GetSafeHwnd(), nullptr, int(i));
        RedrawWindow(sheet.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return true;
      });
      steps.push_back([&, i] {
        const HWND page = Page(sheet, pages[i]);
        const std::wstring name = std::wstring(L"sheet_") + language + L"_" +
                                  std::to_wstring(CSheetParameter::kPageTemplates[pages[i]]) + L".png";
        EXPECT_TRUE(wintest::SaveWindowPng(sheet.GetSafeHwnd(), wintest::ArtifactFolder() + name)) << Narrow(name);
        for (const std::wstring& fault : LayoutFaults(page))
          ADD_FAILURE() << Narrow(language) << " page " << CSheetParameter::kPageTemplates[pages[i]] << ": "
                        << Narrow(fault);
        return true;
      });
    }
    steps.push_back([&] {
      PostMessageW(sheet.GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
      return true;
    });
    Run(sheet, steps);
    // The labels are the text file's, in the sheet's language.
    EXPECT_EQ(sheet.m_bRestartNeeded, true);  // the service page was added
  }
}

TEST_F(SheetWine, LoadsPreparedSettingsAndSavesRealInput) {
  Set(L"SENSOR", L"LUMEQ2Serial", kSerial);
  Set(L"SENSOR", L"ReservationDuration", L"5");
  Set(L"SENSOR", L"AcqGamma", L"50");
  Set(L"SENSOR", L"AcqFilter", L"100");
  Set(L"SENSOR", L"AcquisitionUseT4", L"1");
  Set(L"SENSOR", L"StationName", L"Room 2");
  CSheetParameter sheet(main.hwnd, L"Orvaq");
  std::wstring duration, gammaLabel, filterLabel, name;
  bool mode1 = false;
  Run(sheet, {
                 [&] {
                   HWND config = Page(sheet, CSheetParameter::kPageConfig);
                   HWND image = Page(sheet, CSheetParameter::kPageImage);
                   duration = Text(GetDlgItem(config, 1181));
                   name = Text(GetDlgItem(config, 1170));
                   gammaLabel = Text(GetDlgItem(image, 1107));
                   filterLabel = Text(GetDlgItem(image, 1116));
                   mode1 = SendDlgItemMessageW(image, 1212, BM_GETCHECK, 0, 0) == BST_CHECKED;
                   PropSheet_SetCurSel(sheet.GetSafeHwnd(), nullptr, CSheetParameter::kPageConfig);
                   SetForegroundWindow(sheet.GetSafeHwnd());
                   return true;
                 },
                 [&] {
                   // Real typing into the duration box (3 characters at most).
                   HWND edit = GetDlgItem(Page(sheet, CSheetParameter::kPageConfig), 1181);
                   Click(edit);
                   Key(VK_END, false);
                   Key(VK_END, true);
                   for (int i = 0; i < 4; ++i) {
                     Key(VK_BACK, false);
                     Key(VK_BACK, true);
                   }
                   Type(L"1500");
                   return true;
                 },
                 [&] { return Text(GetDlgItem(Page(sheet, CSheetParameter::kPageConfig), 1181)) == L"150"; },
                 [&] {
                   PropSheet_SetCurSel(sheet.GetSafeHwnd(), nullptr, CSheetParameter::kPageImage);
                   return true;
                 },
                 [&] {
                   Click(GetDlgItem(Page(sheet, CSheetParameter::kPageImage), 1213));
                   return true;
                 },
                 [&] {
                   return SendDlgItemMessageW(Page(sheet, CSheetParameter::kPageImage), 1213, BM_GETCHECK, 0, 0) ==
                          BST_CHECKED;
                 },
                 [&] {
                   Click(GetDlgItem(sheet.GetSafeHwnd(), IDOK));
                   return true;
                 },
             });
  EXPECT_EQ(duration, L"40");
  EXPECT_EQ(gammaLabel, L"2.00");
  EXPECT_EQ(filterLabel, L"---");
  EXPECT_EQ(name, L"Room 2");
  EXPECT_TRUE(mode1);
  EXPECT_EQ(Get(L"SENSOR", L"ReservationDuration"), L"150");
  EXPECT_EQ(Get(L"SENSOR", L"AcquisitionUseT4"), L"2");
  EXPECT_EQ(Get(L"SENSOR", L"AcqGamma"), L"50");
  EXPECT_EQ(Get(L"SENSOR", L"StationName"), L"Room 2");
  // Permissions read as 5 and left alone: nothing sent; the stand-by delay always.
  EXPECT_EQ(std::count(main.adminCodes.begin(), main.adminCodes.end(), 1075), 0);
  EXPECT_EQ(std::count(main.adminCodes.begin(), main.adminCodes.end(), 16015), 1);
  EXPECT_FALSE(sheet.m_bRestartNeeded);
}

TEST_F(SheetWine, OkWithModifiers) {
  struct Row {
    const char* name;
    std::vector<WORD> keys;
    bool configured;
    bool technicalOpens, servicePage, stillOpenAfterOk, restart;
    INT_PTR result;
  };
  const Row rows[] = {
      {"Shift+Ctrl opens the technical setup", {VK_SHIFT, VK_CONTROL}, true, true, false, false, true, IDOK},
      {"Alt+Ctrl adds the service page", {VK_MENU, VK_CONTROL}, true, false, true, true, true, IDCANCEL},
      {"no scanner: #622 answered No", {}, false, false, false, true, false, IDCANCEL},
  };
  bool first = true;
  for (const Row& row : rows) {
    if (!first) {
      TearDown();
      SetUp();
    }
    first = false;
    Set(L"SENSOR", L"ReservationDuration", L"77");
    if (row.configured) Set(L"SENSOR", L"LUMEQ2Serial", kSerial);
    CSheetParameter sheet(main.hwnd, L"Orvaq");
    bool technicalSeen = false, serviceSeen = false, boxSeen = false;
    std::vector<std::function<bool()>> steps = {
        [&] {
          SetDlgItemTextW(Page(sheet, CSheetParameter::kPageConfig), 1181, L"300");
          SetForegroundWindow(sheet.GetSafeHwnd());
          // Wine also resets them when the pointer enters a window: it goes there first.
          MoveTo(GetDlgItem(sheet.GetSafeHwnd(), IDOK));
          return true;
        },
        [&] {
          // Wine resets the modifier keys to the X keyboard's state when a window takes
          // the focus: the keys go down only once the sheet is in front.
          if (GetForegroundWindow() != sheet.GetSafeHwnd()) return false;
          for (WORD k : row.keys) Key(k, false);
          return true;
        },
        [&] {
          // The click only once the keys read as held.
          // Pressed again while Wine's late pointer events reset them.
          bool held = true;
          for (WORD k : row.keys)
            if (GetAsyncKeyState(k) >= 0) {
              Key(k, false);
              held = false;
            }
          if (!held) return false;
          ClickHere();
          return true;
        },
        [&] {
          // The keys are released once the click has had its effect.
          if (row.technicalOpens) {
            HWND technical = FindOwnDialog(sheet.GetSafeHwnd(), L"Technical settings");
            if (!technical) return false;
            technicalSeen = true;
            for (WORD k : row.keys) Key(k, true);
            PostMessageW(technical, WM_COMMAND, IDCANCEL, 0);
            return true;
          }
          if (row.servicePage) {
            serviceSeen = Page(sheet, CSheetParameter::kPageService) != nullptr;
            if (serviceSeen)
              for (WORD k : row.keys) Key(k, true);
            return serviceSeen;
          }
          HWND box = FindOwnDialog(sheet.GetSafeHwnd());
          if (!box) return false;
          boxSeen = true;
          PostMessageW(box, WM_COMMAND, IDNO, 0);
          return true;
        },
    };
    // After the technical setup the sheet closes by itself (checked after the run).
    if (!row.technicalOpens)
      steps.push_back([&] {
          // Still open: the test closes it.
          if (!IsWindowVisible(sheet.GetSafeHwnd()) || FindOwnDialog(sheet.GetSafeHwnd())) return false;
          PostMessageW(sheet.GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
          return true;
        });
    const INT_PTR result = Run(sheet, steps);
    EXPECT_EQ(result, row.result) << row.name;
    EXPECT_EQ(technicalSeen, row.technicalOpens) << row.name;
    EXPECT_EQ(serviceSeen, row.servicePage) << row.name;
    EXPECT_EQ(boxSeen, !row.configured) << row.name;
    EXPECT_EQ(sheet.m_bRestartNeeded, row.restart) << row.name;
    // None of them saves the sheet's values.
    EXPECT_EQ(Get(L"SENSOR", L"ReservationDuration"), L"77") << row.name;
  }
}

TEST_F(SheetWine, ServiceConsoleSendsClearsAndRecalls) {
  Set(L"SENSOR", L"LUMEQ2Serial", kSerial);
  CSheetParameter sheet(main.hwnd, L"Orvaq");
  std::wstring output, recalled;
  Run(sheet, {
                 [&] {
                   SendMessageW(sheet.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(CSheetParameter::kServicePageButton, BN_CLICKED), 0);
                   SetForegroundWindow(sheet.GetSafeHwnd());
                   SetFocus(GetDlgItem(Page(sheet, CSheetParameter::kPageService), 1194));
                   Type(L"A");
                   Key(VK_RETURN, false);
                   Key(VK_RETURN, true);
                   return true;
                 },
                 [&] { return main.commands.size() == 1; },
                 [&] {
                   Type(L"B");
                   Key(VK_RETURN, false);
                   Key(VK_RETURN, true);
                   return true;
                 },
                 [&] { return main.commands.size() == 2; },
                 [&] {
                   output = Text(GetDlgItem(Page(sheet, CSheetParameter::kPageService), 1192));
                   for (int i = 0; i < 2; ++i) {
                     Key(VK_UP, false);
                     Key(VK_UP, true);
                   }
                   return true;
                 },
                 [&] {
                   recalled = Text(GetDlgItem(Page(sheet, CSheetParameter::kPageService), 1194));
                   if (recalled != L"a" && recalled != L"A") return false;
                   SetDlgItemTextW(Page(sheet, CSheetParameter::kPageService), 1194, L"CLS");
                   Key(VK_RETURN, false);
                   Key(VK_RETURN, true);
                   return true;
                 },
                 [&] { return Text(GetDlgItem(Page(sheet, CSheetParameter::kPageService), 1192)).empty(); },
                 [&] {
                   PostMessageW(sheet.GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
                   return true;
                 },
             });
  // Typed letters arrive as the keyboard gives them (lower case without Shift).
  ASSERT_EQ(main.commands.size(), 2u);  // "CLS" sent nothing
  EXPECT_EQ(output, L">> " + main.commands[0] + L"\r\n < 200\r\nanswer to " + main.commands[0] + L"\r\n>> " +
                        main.commands[1] + L"\r\n < 200\r\nanswer to " + main.commands[1]);
  EXPECT_EQ(recalled, main.commands[0]);
}

TEST_F(SheetWine, TechnicalSetupLabelsAndCodes) {
  Set(L"SENSOR", L"LUMEQ2Serial", kSerial);
  main.admin[1] = L"20;3;5\n1;0;0;\n2;3;4;00:11:22:33:44:55\n3;5;11;AA:BB:CC:DD:EE:FF\n4;0;0;\n5;0;0;\n6;0;0;\n"
                  L"7;0;0;\n8;0;0;\n9;0;0;\n10;0;0;";
  main.admin[9999] = L"45";
  CDialogTechnicalSetup dialog(main.hwnd);
  std::wstring label3, delay;
  bool button1Enabled = true, questionSeen = false;
  const INT_PTR result = RunModal([&] { return dialog.DoModal(nullptr); },
      {
          [&] {
            if (!dialog.GetSafeHwnd() || !IsWindowVisible(dialog.GetSafeHwnd())) return false;
            HWND w = dialog.GetSafeHwnd();
            label3 = Text(GetDlgItem(w, 22982));
            button1Enabled = IsWindowEnabled(GetDlgItem(w, 22980)) != 0;
            delay = Text(GetDlgItem(w, 1031));
            // Drawn before it is read from the screen: the capture settles (bounded).
            RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            GdiFlush();
            wintest::Pixels before = wintest::CaptureClient(w), now;
            for (DWORD end = GetTickCount() + 3000; GetTickCount() < end; before = now) {
              MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
              now = wintest::CaptureClient(w);
              if (now.data == before.data) break;
            }
            EXPECT_TRUE(wintest::SaveWindowPng(w, wintest::ArtifactFolder() + L"technical_setup.png"));
            SetForegroundWindow(w);
            MoveTo(GetDlgItem(w, 22982));
            return true;
          },
          [&] {
            if (GetForegroundWindow() != dialog.GetSafeHwnd()) return false;
            Key(VK_SHIFT, false);
            return true;
          },
          [&] {
            if (GetAsyncKeyState(VK_SHIFT) >= 0) {
              Key(VK_SHIFT, false);
              return false;
            }
            ClickHere();
            return true;
          },
          [&] {
            HWND box = FindOwnDialog(dialog.GetSafeHwnd());
            if (!box) return false;
            questionSeen = true;
            Key(VK_SHIFT, true);
            PostMessageW(box, WM_COMMAND, IDYES, 0);
            return true;
          },
          [&] {
            if (FindOwnDialog(dialog.GetSafeHwnd())) return false;
            SendDlgItemMessageW(dialog.GetSafeHwnd(), 1029, TBM_SETPOS, TRUE, 7);
            Click(GetDlgItem(dialog.GetSafeHwnd(), IDOK));
            return true;
          },
      });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(label3, L"3 - 4\n00:11:22:33:44:55\nReg Res  ");
  EXPECT_FALSE(button1Enabled);
  EXPECT_EQ(delay, L"45 sec.");
  EXPECT_TRUE(questionSeen);
  EXPECT_EQ(std::count(main.adminCodes.begin(), main.adminCodes.end(), 1043), 1);
  EXPECT_EQ(std::count(main.adminCodes.begin(), main.adminCodes.end(), 10035), 1);
}

}  // namespace
