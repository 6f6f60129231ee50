// COrvaqDlg on a real dialog window under Wine: the controller is created with the window
// and asks for its status listener at once; its messages reach it and SendMessage gets
// its answers; a handed-over command line that changes a name gives the reservation up;
// the reconstruction and log-restart hooks are in place.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "acquisition/OrvaqController.h"
#include "acquisition/win/AcquisitionHostWin.h"
#include "command_line/OneShotJobs.h"
#include "logging/KvLogger.h"
#include "settings/KvMemoryProfile.h"
#include "common/Text.h"
#include "settings/KvParameters.h"
#include "settings/win/KvSystemWin.h"
#include "ui/win/OrvaqDlg.h"
#include "dialog_in_loop.h"
#include "tests/support/memory_logger.h"

namespace {

std::vector<std::string>* g_lines = nullptr;

bool Logged(const std::string& text) {
  for (const auto& l : *g_lines)
    if (l == text) return true;
  return false;
}

using dialogtest::BinSystem;
using dialogtest::NoJobs;

class TestDlg : public dialogtest::DialogInLoop<TestDlg> {
 public:
  using DialogInLoop::DialogInLoop;
};

class OrvaqDlgWine : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lines = &lines;
    ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines));
    params = new CKvParameters(profile, system);
    SetParameters(params);
  }
  void TearDown() override {
    SetParameters(nullptr);
    delete params;
    ReplaceCurrentLogger(nullptr);
    g_lines = nullptr;
  }
  // Lets the posted messages (the start's adapter check) run.
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  std::vector<std::string> lines;
  CKvMemoryProfile profile;
  BinSystem system;
  CKvParameters* params = nullptr;
  NoJobs jobs;
};

TEST_F(OrvaqDlgWine, StartAsksForTheStatusListener) {
  bool ran = false;
  TestDlg dlg(jobs, [&](TestDlg& d) {
    Pump();
    ran = true;
    ASSERT_NE(d.Controller(), nullptr);
    EXPECT_TRUE(Logged("HardwareInfos : 1 sur NULL."));
    EXPECT_TRUE(Logged("HardwareInfos : 4 sur NULL."));  // no local address known yet
    EXPECT_TRUE(Logged("HardwareInfos return : 1."));
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_TRUE(ran);
  // The controller's share of the window's end ran.
  EXPECT_TRUE(Logged("Destruction de l'\xE9""couteur SNDP."));
  EXPECT_EQ(dlg.Controller(), nullptr);
}

TEST_F(OrvaqDlgWine, ControllerMessagesAreAnsweredThroughTheDialog) {
  TestDlg dlg(jobs, [&](TestDlg& d) {
    const HWND w = d.Hwnd();
    // A number answer: no frame of this serial is stored.
    const wchar_t* serial = L"NOSUCH";
    EXPECT_EQ(SendMessageW(w, 0x465, 18, reinterpret_cast<LPARAM>(serial)), -1);
    // A text answer: the address of the controller's text.
    const LRESULT text = SendMessageW(w, 0x465, 2, 0);
    ASSERT_NE(text, 0);
    EXPECT_EQ(reinterpret_cast<const wchar_t*>(text), d.Controller()->HardwareInfosText().c_str());
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(text)), d.Controller()->Status().localIP);
    const LRESULT admin = SendMessageW(w, 0x466, 13, reinterpret_cast<LPARAM>(serial));
    ASSERT_NE(admin, 0);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(admin)), L"");
    EXPECT_TRUE(Logged("AdminAction : 13 sur NOSUCH."));
    std::wstring answer = L"stale";
    SendMessageW(w, 0x467, reinterpret_cast<WPARAM>(L"version"), reinterpret_cast<LPARAM>(&answer));
    EXPECT_TRUE(Logged("ServiceAction : version."));
    lines.clear();
    SendMessageW(w, 0x401, 0, 0);
    EXPECT_TRUE(Logged("R\xE9""ception d'une trame SNDP."));
    SendMessageW(w, 0x402, 0x1234, 8);
    EXPECT_TRUE(Logged("Message Image WP : 1234 (4660) LP : 8 (8)"));
    SendMessageW(w, WM_COMMAND, MAKEWPARAM(1008, BN_CLICKED), 0);
    EXPECT_TRUE(Logged("Action r\xE9servation."));
    d.Controller()->DestroyAllListeners();
    lines.clear();
    SendMessageW(w, WM_TIMER, 1030, 0);  // no listener: it is created again
    EXPECT_TRUE(Logged("HardwareInfos : 4 sur NULL."));
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(OrvaqDlgWine, HandOverReachesTheControllerAndNeverReleasesAFreeStation) {
  // The names compared before and after a hand-over reach the controller, whose release
  // rule (reserved and a name changed) the host controller tests check; no scanner
  // answers here, so this station holds nothing and nothing may be released.
  const wchar_t* const lines_[] = {L"/patient ANNE /doctor \"dr WHO\"", L"/idpatient 77", L"/patient Marie",
                                   L"/doctor \"Dr No\""};
  for (size_t i = 0; i < sizeof(lines_) / sizeof(lines_[0]); ++i) {
    params->m_sPatient = L"Anne";
    params->m_sDoctor = L"Dr Who";
    TestDlg dlg(jobs, [&](TestDlg& d) {
      Pump();
      ASSERT_FALSE(d.Controller()->Status().reserved) << "row " << i;
      lines.clear();
      params->SetStoredCommandLine(lines_[i]);
      SendMessageW(d.Hwnd(), 0x8064, 0, 0);
      EXPECT_TRUE(Logged("Ligne de commande re\xE7ue : " + orvaq::ToUtf8(lines_[i]))) << "row " << i;
      EXPECT_FALSE(Logged("D\xE9j\xE0 r\xE9serv\xE9 : on d\xE9reserve.")) << "row " << i;
      EXPECT_EQ(params->GetStoredCommandLine(), L"") << "row " << i;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK) << "row " << i;
  }
}

TEST_F(OrvaqDlgWine, ReconstructionAndLogRestartHooksAreWired) {
  int restarts = 0;
  TestDlg dlg(jobs, [&](TestDlg& d) {
    ASSERT_NE(d.AcqHost(), nullptr);
    EXPECT_TRUE(static_cast<bool>(d.AcqHost()->reconstruct));
    d.AcqHost()->RestartLogFile();
    EXPECT_EQ(restarts, 1);
  });
  dlg.m_fnRestartLog = [&] { ++restarts; };
  EXPECT_EQ(dlg.DoModal(), IDOK);
}

}  // namespace
