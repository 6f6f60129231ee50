// The controller's Win32 effects on a message-only window: timers, posted commands and
// requests, system error texts, the raw file read with sharing, the adapter lookup and
// the hooks left to the dialog's owner.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acquisition/win/AcquisitionHostWin.h"
#include "scanner_link/HttpClient.h"
#include "settings/KvAdapters.h"

namespace {

class MessageWindow {
 public:
  MessageWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvaqAcqHostTest";
    RegisterClassW(&wc);
    m_hWnd = CreateWindowExW(0, L"OrvaqAcqHostTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  }
  ~MessageWindow() { DestroyWindow(m_hWnd); }
  HWND Get() const { return m_hWnd; }

 private:
  HWND m_hWnd = nullptr;
};

// Waits (at most `ms`) for a message of `message` to `hwnd`, removing it from the queue.
bool WaitFor(HWND hwnd, UINT message, MSG& out, DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    if (PeekMessageW(&out, hwnd, message, message, PM_REMOVE)) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return false;
}

class FakeAdapters : public IKvAdapterSource {
 public:
  bool EnumerateAdapters(std::vector<KvAdapter>& adapters) override {
    KvAdapter loop;
    loop.description = L"lo";
    loop.operStatus = 1;
    loop.interfaceType = 24;
    loop.ipv4Addresses = {L"127.0.0.1"};
    KvAdapter eth;
    eth.description = L"eth0";
    eth.operStatus = 1;
    eth.interfaceType = 6;
    eth.hardwareAddress = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    eth.ipv4Addresses = {L"127.0.0.2", L"127.0.0.3"};
    adapters = {loop, eth};
    return true;
  }
};

TEST(AcquisitionHostWin, TimersArriveAsWmTimerWithTheirId) {
  MessageWindow window;
  ASSERT_NE(window.Get(), nullptr);
  CAcquisitionHostWin host(window.Get(), window.Get(), nullptr);
  host.SetTimer(1030, 10);
  MSG msg;
  ASSERT_TRUE(WaitFor(window.Get(), WM_TIMER, msg, 3000));
  EXPECT_EQ(msg.wParam, 1030u);
  host.KillTimer(1030);
  while (PeekMessageW(&msg, window.Get(), WM_TIMER, WM_TIMER, PM_REMOVE)) {
  }
  EXPECT_FALSE(WaitFor(window.Get(), WM_TIMER, msg, 200));
}

TEST(AcquisitionHostWin, PostedCommandAndRequest) {
  MessageWindow dialog, main;
  CAcquisitionHostWin host(dialog.Get(), main.Get(), nullptr);
  host.PostCommand(1008);
  host.PostHardwareInfos(5);
  MSG msg;
  ASSERT_TRUE(WaitFor(dialog.Get(), WM_COMMAND, msg, 1000));
  EXPECT_EQ(LOWORD(msg.wParam), 1008);
  EXPECT_EQ(HIWORD(msg.wParam), BN_CLICKED);
  ASSERT_TRUE(WaitFor(main.Get(), 0x465, msg, 1000));
  EXPECT_EQ(msg.wParam, 5u);
  EXPECT_EQ(msg.lParam, 0);
}

TEST(AcquisitionHostWin, SystemErrorTextAndClock) {
  MessageWindow window;
  CAcquisitionHostWin host(window.Get(), window.Get(), nullptr);
  EXPECT_FALSE(host.SystemErrorText(ERROR_FILE_NOT_FOUND).empty());
  const AcqLocalTime t = host.LocalTime();
  EXPECT_GE(t.year, 2020);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12);
}

TEST(AcquisitionHostWin, RawFileIsReadWhileTheReceiverStillHoldsIt) {
  MessageWindow window;
  CAcquisitionHostWin host(window.Get(), window.Get(), nullptr);
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + L"orvaq_acq_LASTACQP2.BIN";
  EXPECT_EQ(host.System().OpenForReading(path + L".missing"), nullptr);

  // The receiver's handle: write only, shared for reading.
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> bytes(3 * 1024 * 1024 + 17);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(writer, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  std::unique_ptr<IKvReadFile> file = host.System().OpenForReading(path);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Size(), bytes.size());
  std::vector<uint8_t> read(bytes.size());
  EXPECT_TRUE(file->ReadAll(read.data(), read.size()));
  EXPECT_EQ(read, bytes);
  std::vector<uint8_t> more(bytes.size() + 1);
  EXPECT_FALSE(file->ReadAll(more.data(), more.size()));
  file.reset();
  CloseHandle(writer);
  DeleteFileW(path.c_str());
}

TEST(AcquisitionHostWin, AdapterLookupByDescription) {
  MessageWindow window;
  FakeAdapters adapters;
  CAcquisitionHostWin host(window.Get(), window.Get(), &adapters);
  std::wstring ips, mac;
  ASSERT_TRUE(host.LookupAdapter(L"eth0", ips, mac));
  EXPECT_EQ(ips, L"127.0.0.2\n127.0.0.3");
  EXPECT_EQ(mac, L"00:1A:2B:3C:4D:5E");
  EXPECT_FALSE(host.LookupAdapter(L"lo", ips, mac));  // not Ethernet
  CAcquisitionHostWin without(window.Get(), window.Get(), nullptr);
  EXPECT_FALSE(without.LookupAdapter(L"eth0", ips, mac));
}

TEST(AcquisitionHostWin, ScannerLinkObjectsOnLoopback) {
  MessageWindow window;
  CAcquisitionHostWin host(window.Get(), window.Get(), nullptr);
  std::unique_ptr<CHttpClient> client = host.CreateHttpClient(L"127.0.0.1", L"127.0.0.1", L"00:11:22:33:44:55");
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->Mac(), L"00:11:22:33:44:55");

  // An image receiver on a loopback port: a connection arrives as 0x402 FD_ACCEPT.
  std::unique_ptr<IImageClient> image = host.CreateImageClient(47113);
  ASSERT_NE(image, nullptr);
  ASSERT_TRUE(image->Listen());
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(47113);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  MSG msg;
  ASSERT_TRUE(WaitFor(window.Get(), 0x402, msg, 3000));
  EXPECT_EQ(WSAGETSELECTEVENT(msg.lParam), FD_ACCEPT);
  closesocket(s);

  // The status listener on a loopback address: a datagram is received whole.
  std::unique_ptr<IStatusListener> listener = host.CreateStatusListener(L"127.0.0.1");
  ASSERT_NE(listener, nullptr);
  if (!listener->StartListening()) GTEST_SKIP() << "port 48322 busy: " << listener->LastError();
  SOCKET u = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  to.sin_port = htons(48322);
  const char datagram[122] = {122, 0, 0x5A, static_cast<char>(0xA5), 1};
  sendto(u, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  closesocket(u);
  ASSERT_TRUE(WaitFor(window.Get(), 0x401, msg, 3000));
  uint8_t buffer[122];
  size_t received = 0;
  uint32_t error = 0, source = 0;
  ASSERT_TRUE(listener->Receive(buffer, sizeof buffer, received, source, error));
  EXPECT_EQ(received, 122u);
  EXPECT_EQ(source, 0x7F000001u);  // the sender's address, not a field of the datagram
  EXPECT_EQ(buffer[2], 0x5A);
}

TEST(AcquisitionHostWin, HooksLeftEmptyAnswerNothing) {
  MessageWindow window;
  CAcquisitionHostWin host(window.Get(), window.Get(), nullptr);
  EXPECT_FALSE(host.ReconstructAcquisition());
  host.RunMultiPlateReconstruction();
  host.OnFolderWatchTimer();
  host.OnBaseTimer(1010);
  int reconstructions = 0;
  host.reconstruct = [&] { return ++reconstructions > 0; };
  EXPECT_TRUE(host.ReconstructAcquisition());
  EXPECT_EQ(reconstructions, 1);
}

}  // namespace
