// The dialog's message routing under Wine: status frames, the in-process requests with
// their text results by address, timers and the reservation button reach the controller
// through real SendMessageW calls on a message-only window.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "acquisition/win/ControllerMessages.h"
#include "tests/host/controller/fake_host.h"
#include "tests/support/memory_logger.h"

namespace {

COrvaqController* g_pController = nullptr;

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (g_pController && ControllerHandleMessage(*g_pController, message, wParam, lParam, result)) return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class ControllerMessages : public ::testing::Test {
 protected:
  fake::Host host;
  fake::Settings settings;
  std::vector<std::string> lines;
  std::unique_ptr<COrvaqController> ctl;
  HWND hwnd = nullptr;

  void SetUp() override {
    ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines));
    ctl.reset(new COrvaqController(host, settings));
    g_pController = ctl.get();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvaqControllerMessagesTest";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
  }
  void TearDown() override {
    DestroyWindow(hwnd);
    g_pController = nullptr;
    ctl.reset();
    ReplaceCurrentLogger(nullptr);
  }
  void LinkThroughMessages() {
    SendMessageW(hwnd, 0x465, 1, 0);
    host.datagrams.push_back(fake::Encode(fake::MakeFrame()));
    SendMessageW(hwnd, 0x401, 0, 0);
    ASSERT_EQ(ctl->Status().terminalNum, 3);
  }
};

TEST_F(ControllerMessages, HardwareInfosAnswersNumbersAndTextsByAddress) {
  LinkThroughMessages();
  const wchar_t* ip = reinterpret_cast<const wchar_t*>(SendMessageW(hwnd, 0x465, 2, 0));
  ASSERT_NE(ip, nullptr);
  EXPECT_STREQ(ip, L"192.168.1.10");
  EXPECT_EQ(SendMessageW(hwnd, 0x465, 13, reinterpret_cast<LPARAM>(L"SN1000")), 3333);
  EXPECT_EQ(SendMessageW(hwnd, 0x465, 14, reinterpret_cast<LPARAM>(L"NOPE")), -1);
  const wchar_t* address = reinterpret_cast<const wchar_t*>(SendMessageW(hwnd, 0x465, 102, reinterpret_cast<LPARAM>(L"SN1000")));
  EXPECT_STREQ(address, L"192.168.1.50");
}

TEST_F(ControllerMessages, AdminAndServiceActions) {
  LinkThroughMessages();
  const wchar_t* result =
      reinterpret_cast<const wchar_t*>(SendMessageW(hwnd, 0x466, 12000, reinterpret_cast<LPARAM>(L"SN1000")));
  EXPECT_STREQ(result, L"OK");
  EXPECT_EQ(host.scanner.Count("menu_timeout=2000"), 1);
  result = reinterpret_cast<const wchar_t*>(SendMessageW(hwnd, 0x466, 7, 0));
  EXPECT_STREQ(result, L"");

  host.scanner.byBody["version"] = {true, 200, "v9"};
  std::wstring answer;
  EXPECT_EQ(SendMessageW(hwnd, 0x467, reinterpret_cast<WPARAM>(L"version"), reinterpret_cast<LPARAM>(&answer)), 200);
  EXPECT_EQ(answer, L"v9");
}

TEST_F(ControllerMessages, TimerAndReservationButton) {
  LinkThroughMessages();
  host.scanner.requests.clear();
  SendMessageW(hwnd, WM_TIMER, 1020, 0);
  EXPECT_EQ(host.scanner.CountContaining("ready=1\r\nterm=03"), 1);
  SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(1008, BN_CLICKED), 0);
  EXPECT_TRUE(ctl->Status().reserved);
  SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(1009, BN_CLICKED), 0);
  EXPECT_TRUE(ctl->Status().reserved);
  SendMessageW(hwnd, 0x402, 0x40, 8);
  EXPECT_TRUE(host.Has("Accept C:\\images\\LASTACQP2.BIN log"));
}

}  // namespace
