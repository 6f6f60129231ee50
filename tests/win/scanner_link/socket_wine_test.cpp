// CSNDPListener and CImageClient on real sockets: frames sent to 127.0.0.1:48322 arrive
// as message 0x401 (an oversized datagram is a receive error), and an image stream
// arrives whole in the raw file with the socket log lines (or no log at all).
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "scanner_link/SNDPFrame.h"
#include "scanner_link/win/ImageClient.h"
#include "scanner_link/win/SNDPListener.h"
#include "listener_port.h"
#include "test_http_server.h"

namespace {

struct WinsockScope {
  WinsockScope() { WSADATA d; WSAStartup(MAKEWORD(2, 2), &d); }
  ~WinsockScope() { WSACleanup(); }
};

struct MessageWindow {
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ~MessageWindow() { DestroyWindow(hwnd); }
};

// Waits (bounded) for the next message `id` to `hwnd`.
bool NextMessage(HWND hwnd, UINT id, MSG& msg, DWORD limitMs = 10000) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < limitMs) {
    if (PeekMessageW(&msg, hwnd, id, id, PM_REMOVE)) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return false;
}

void SendDatagram(const std::vector<uint8_t>& bytes) {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(48322);
  sendto(s, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
         reinterpret_cast<sockaddr*>(&to), sizeof to);
  closesocket(s);
}

std::vector<uint8_t> FrameBytes(const char* serial, uint8_t number) {
  SNDPFrame f;
  f.state = SNDP_STATE_READY;
  f.SetName("lumeq2");
  f.SetSerial(serial);
  f.frameNumber = number;
  f.imagePort = 3333;
  std::vector<uint8_t> b(kSNDPFrameSize);
  EncodeSNDPFrame(f, b.data());
  return b;
}

TEST(SNDPListenerWine, FramesArriveAsMessagesAndLongDatagramsAreErrors) {
  WinsockScope winsock;
  MessageWindow window;
  CSNDPListener listener(L"127.0.0.1");
  ASSERT_TRUE(listener.WinsockStarted());
  ASSERT_TRUE(StartListeningWhenPortFree(listener, window.hwnd)) << "error " << listener.LastError();
  EXPECT_EQ(listener.Port(), 48322);

  SendDatagram(FrameBytes("AB123", 7));
  MSG msg;
  ASSERT_TRUE(NextMessage(window.hwnd, kSNDPMessage, msg));
  EXPECT_EQ(static_cast<SOCKET>(msg.wParam), listener.Socket());
  EXPECT_EQ(WSAGETSELECTEVENT(msg.lParam), FD_READ);
  uint8_t buffer[kSNDPFrameSize];
  ASSERT_EQ(listener.Receive(buffer, sizeof buffer), 122);
  SNDPFrame f;
  ASSERT_TRUE(DecodeSNDPFrame(buffer, sizeof buffer, f));
  EXPECT_EQ(f.Serial(), "AB123");
  EXPECT_EQ(f.frameNumber, 7);
  EXPECT_EQ(f.imagePort, 3333);

  SendDatagram(std::vector<uint8_t>(200, 0x5A));
  ASSERT_TRUE(NextMessage(window.hwnd, kSNDPMessage, msg));
  EXPECT_EQ(listener.Receive(buffer, sizeof buffer), -1);
  EXPECT_EQ(listener.LastError(), static_cast<DWORD>(WSAEMSGSIZE));

  // The listener stays armed: the next frame arrives normally.
  SendDatagram(FrameBytes("AB123", 8));
  ASSERT_TRUE(NextMessage(window.hwnd, kSNDPMessage, msg));
  ASSERT_EQ(listener.Receive(buffer, sizeof buffer), 122);
  ASSERT_TRUE(DecodeSNDPFrame(buffer, sizeof buffer, f));
  EXPECT_EQ(f.frameNumber, 8);
}

TEST(SNDPListenerWine, BindsByHostName) {
  WinsockScope winsock;
  MessageWindow window;
  CSNDPListener listener(L"localhost");
  ASSERT_TRUE(StartListeningWhenPortFree(listener, window.hwnd)) << "error " << listener.LastError();
  SendDatagram(FrameBytes("CD9", 1));
  MSG msg;
  ASSERT_TRUE(NextMessage(window.hwnd, kSNDPMessage, msg));
  uint8_t buffer[kSNDPFrameSize];
  EXPECT_EQ(listener.Receive(buffer, sizeof buffer), 122);
}

TEST(SNDPListenerWine, NoSocketIsAReceiveError) {
  CSNDPListener listener(L"127.0.0.1");
  uint8_t buffer[kSNDPFrameSize];
  EXPECT_EQ(listener.Receive(buffer, sizeof buffer), -1);
  EXPECT_EQ(listener.LastError(), static_cast<DWORD>(WSAENOTSOCK));
}

std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

std::string ReadWhole(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::string();
  std::string data;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) data.append(buffer, n);
  CloseHandle(h);
  return data;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Sends `data` in one burst to 127.0.0.1:port, then closes.
void SendStream(uint16_t port, const std::string* data) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(port);
  if (connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
    size_t sent = 0;
    while (sent < data->size()) {
      const int n = send(s, data->data() + sent, static_cast<int>(data->size() - sent), 0);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    shutdown(s, SD_SEND);
  }
  closesocket(s);
}

// Drives one transfer the way the dialog does: accept, read events, read and close at
// the end. Returns false when a step failed or the messages stopped.
bool RunTransfer(CImageClient& client, HWND hwnd, const std::wstring& rawPath, bool wantLog) {
  MSG msg;
  for (;;) {
    if (!NextMessage(hwnd, kImageSocketMessage, msg, 30000)) return false;
    if (!client.OwnsSocket(static_cast<SOCKET>(msg.wParam))) continue;
    switch (WSAGETSELECTEVENT(msg.lParam)) {
      case FD_ACCEPT:
        if (!client.Accept(rawPath, wantLog)) return false;
        break;
      case FD_READ:
        if (client.ReceivePending() < 0) return false;
        break;
      case FD_CLOSE:
        while (client.ReceivePending() > 0) {
        }
        return client.Close();
    }
  }
}

std::string Pattern(size_t size) {
  std::string data(size, '\0');
  uint32_t x = 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    data[i] = static_cast<char>(x >> 24);
  }
  return data;
}

TEST(ImageClientWine, ThirtyMebibytesInOneBurstWithTheSocketLog) {
  WinsockScope winsock;
  MessageWindow window;
  const uint16_t port = UnusedLoopbackPort();
  const std::wstring rawPath = TempFile(L"LASTACQP2.BIN");
  const std::wstring logPath = ImageSocketLogPath(CImageClient::DefaultLogBaseFolder());
  wchar_t appData[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, appData)));
  EXPECT_EQ(logPath, std::wstring(appData) + L"\\Logs RX\\LUMImage.log");

  const std::string data = Pattern(30u << 20);
  CImageClient client(port);
  ASSERT_TRUE(client.Listen(window.hwnd)) << "error " << client.LastError();
  std::thread sender(SendStream, port, &data);
  const bool ok = RunTransfer(client, window.hwnd, rawPath, true);
  sender.join();
  ASSERT_TRUE(ok) << "error " << client.LastError();
  EXPECT_EQ(client.TotalBytes(), data.size());
  EXPECT_EQ(client.PeerAddress(), L"127.0.0.1");
  const std::string received = ReadWhole(rawPath);
  EXPECT_EQ(received.size(), data.size());
  EXPECT_TRUE(received == data) << "raw file differs";

  const std::string log = ReadWhole(logPath);
  EXPECT_EQ(log.rfind("Connection accepted from 127.0.0.1: creating new socket #", 0), 0u) << log;
  for (const char* line : {"getsockopt m_hAccepted SOL_SOCKET / SO_RCVBUF : ",
                           "getsockopt m_hAccepted SOL_SOCKET / SO_SNDBUF : ",
                           "getsockopt m_hAccepted SOL_SOCKET / SO_RCVTIMEO : 0\r\n",
                           "getsockopt m_hAccepted SOL_SOCKET / SO_RCVTIMEO : 2000\r\n",
                           "getsockopt m_hSocket SOL_SOCKET / SO_RCVTIMEO : ",
                           "Buffer size 2097152 / Sleep 200.\r\n",
                           " bytes received from socket #",
                           "Received 31457280 total bytes in ",
                           " seconds.\r\nSocket closed.\r\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
  size_t buffers = 0;
  for (size_t at = log.find("SO_RCVBUF"); at != std::string::npos; at = log.find("SO_RCVBUF", at + 1)) ++buffers;
  EXPECT_EQ(buffers, 2u);  // before and after setting it
  EXPECT_EQ(log.find("Buffer size"), log.rfind("Buffer size"));  // only on the first read
  DeleteFileW(rawPath.c_str());
}

TEST(ImageClientWine, ReadsAreAtMostTwoMebibytes) {
  WinsockScope winsock;
  MessageWindow window;
  const uint16_t port = UnusedLoopbackPort();
  const std::wstring rawPath = TempFile(L"LASTACQP2_3mib.BIN");
  const std::string data = Pattern(3u << 20);
  CImageClient client(port);
  ASSERT_TRUE(client.Listen(window.hwnd));
  std::thread sender(SendStream, port, &data);
  std::vector<int> reads;
  MSG msg;
  bool closed = false;
  while (!closed && NextMessage(window.hwnd, kImageSocketMessage, msg, 30000)) {
    switch (WSAGETSELECTEVENT(msg.lParam)) {
      case FD_ACCEPT: ASSERT_TRUE(client.Accept(rawPath, false)); break;
      case FD_READ: reads.push_back(client.ReceivePending()); break;
      case FD_CLOSE:
        for (int n = client.ReceivePending(); n > 0; n = client.ReceivePending()) reads.push_back(n);
        ASSERT_TRUE(client.Close());
        closed = true;
        break;
    }
  }
  sender.join();
  ASSERT_TRUE(closed);
  long long total = 0;
  int positive = 0;
  for (int n : reads) {
    EXPECT_GE(n, 0);
    EXPECT_LE(n, 2097152);
    total += n;
    positive += n > 0;
  }
  EXPECT_EQ(total, static_cast<long long>(data.size()));
  EXPECT_GE(positive, 2);
  EXPECT_TRUE(ReadWhole(rawPath) == data);
  DeleteFileW(rawPath.c_str());
}

TEST(ImageClientWine, NoSocketLogWhenTheLogIsOff) {
  WinsockScope winsock;
  MessageWindow window;
  const uint16_t port = UnusedLoopbackPort();
  const std::wstring rawPath = TempFile(L"LASTACQP2_nolog.BIN");
  const std::wstring logPath = ImageSocketLogPath(CImageClient::DefaultLogBaseFolder());
  DeleteFileW(logPath.c_str());
  const std::string data = Pattern(100000);
  CImageClient client(port);
  client.SetSleepFunction([](uint32_t) {});
  ASSERT_TRUE(client.Listen(window.hwnd));
  std::thread sender(SendStream, port, &data);
  const bool ok = RunTransfer(client, window.hwnd, rawPath, false);
  sender.join();
  ASSERT_TRUE(ok) << "error " << client.LastError();
  EXPECT_TRUE(ReadWhole(rawPath) == data);
  EXPECT_FALSE(Exists(logPath));
  DeleteFileW(rawPath.c_str());
}

TEST(ImageClientWine, TotalLineWithAnInjectedTick) {
  WinsockScope winsock;
  MessageWindow window;
  const uint16_t port = UnusedLoopbackPort();
  const std::wstring rawPath = TempFile(L"LASTACQP2_tick.BIN");
  const std::wstring base = TempFile(L"orvaq-c-logbase");
  CreateDirectoryW(base.c_str(), nullptr);
  uint32_t now = 1000;
  CImageClient client(port);
  client.SetTickFunction([&now] { return now; });
  client.SetSleepFunction([&now](uint32_t ms) { now += ms; });
  client.SetLogBaseFolder(base);
  ASSERT_TRUE(client.Listen(window.hwnd));
  const std::string data = Pattern(1048576);
  std::thread sender(SendStream, port, &data);
  MSG msg;
  bool closed = false;
  while (!closed && NextMessage(window.hwnd, kImageSocketMessage, msg, 30000)) {
    switch (WSAGETSELECTEVENT(msg.lParam)) {
      case FD_ACCEPT: ASSERT_TRUE(client.Accept(rawPath, true)); break;
      case FD_READ: ASSERT_GE(client.ReceivePending(), 0); break;
      case FD_CLOSE:
        while (client.ReceivePending() > 0) {
        }
        now = 3500;
        ASSERT_TRUE(client.Close());
        closed = true;
        break;
    }
  }
  sender.join();
  ASSERT_TRUE(closed);
  EXPECT_EQ(client.TickStart(), 2500u);
  const std::string log = ReadWhole(ImageSocketLogPath(base));
  EXPECT_NE(log.find("Received 1048576 total bytes in 2.50 seconds.\r\nSocket closed.\r\n"), std::string::npos) << log;
  DeleteFileW(rawPath.c_str());
}

TEST(ImageClientWine, SecondConnectionIsRefusedAndTheFirstArrivesWhole) {
  WinsockScope winsock;
  MessageWindow window;
  const uint16_t port = UnusedLoopbackPort();
  const std::wstring rawPath = TempFile(L"LASTACQP2_two.BIN");
  CImageClient client(port);
  ASSERT_TRUE(client.Listen(window.hwnd));
  auto dial = [port] {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    return ::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 ? s : INVALID_SOCKET;
  };
  const SOCKET first = dial();
  ASSERT_NE(first, INVALID_SOCKET);
  MSG msg;
  ASSERT_TRUE(NextMessage(window.hwnd, kImageSocketMessage, msg));
  ASSERT_EQ(WSAGETSELECTEVENT(msg.lParam), FD_ACCEPT);
  ASSERT_TRUE(client.Accept(rawPath, false));
  const std::string head = Pattern(100000);
  ASSERT_EQ(send(first, head.data(), int(head.size()), 0), int(head.size()));

  // The intruder: accepted and closed at once, so its peer sees the end.
  const SOCKET second = dial();
  ASSERT_NE(second, INVALID_SOCKET);
  bool refused = false;
  while (!refused && NextMessage(window.hwnd, kImageSocketMessage, msg)) {
    const SOCKET s = static_cast<SOCKET>(msg.wParam);
    if (WSAGETSELECTEVENT(msg.lParam) == FD_ACCEPT && s == client.ListeningSocket()) {
      client.RefuseConnection();
      refused = true;
    } else if (WSAGETSELECTEVENT(msg.lParam) == FD_READ && client.OwnsSocket(s)) {
      ASSERT_GE(client.ReceivePending(), 0);
    }
  }
  ASSERT_TRUE(refused);
  DWORD timeout = 5000;
  setsockopt(second, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  char byte;
  EXPECT_LE(recv(second, &byte, 1, 0), 0);  // closed (0) or reset (-1), never a timeout's wait
  EXPECT_NE(WSAGetLastError(), WSAETIMEDOUT);
  closesocket(second);

  // The first connection is still the one held, and ends whole.
  EXPECT_NE(client.AcceptedSocket(), 0u);
  shutdown(first, SD_SEND);
  closesocket(first);
  for (;;) {
    ASSERT_TRUE(NextMessage(window.hwnd, kImageSocketMessage, msg, 30000));
    if (!client.OwnsSocket(static_cast<SOCKET>(msg.wParam))) continue;
    if (WSAGETSELECTEVENT(msg.lParam) == FD_READ) {
      ASSERT_GE(client.ReceivePending(), 0);
    }
    if (WSAGETSELECTEVENT(msg.lParam) == FD_CLOSE) {
      while (client.ReceivePending() > 0) {
      }
      ASSERT_TRUE(client.Close());
      break;
    }
  }
  EXPECT_TRUE(ReadWhole(rawPath) == head) << "raw file differs";
  DeleteFileW(rawPath.c_str());
}

TEST(ImageClientWine, AHeldConnectionIsClosedWithoutTouchingTheRawFile) {
  WinsockScope winsock;
  MessageWindow window;
  const uint16_t port = UnusedLoopbackPort();
  const std::wstring rawPath = TempFile(L"LASTACQP2_held.BIN");
  HANDLE h = CreateFileW(rawPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(h, "kept", 4, &n, nullptr);
  CloseHandle(h);
  CImageClient client(port);
  ASSERT_TRUE(client.Listen(window.hwnd));
  SOCKET stray = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(port);
  ASSERT_EQ(::connect(stray, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  MSG msg;
  ASSERT_TRUE(NextMessage(window.hwnd, kImageSocketMessage, msg));
  ASSERT_EQ(WSAGETSELECTEVENT(msg.lParam), FD_ACCEPT);
  uint32_t peer = 0;
  ASSERT_TRUE(client.AcceptPending(peer));
  EXPECT_EQ(peer, 0x7F000001u);
  client.CloseHeldConnection();
  DWORD timeout = 5000;
  setsockopt(stray, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  char byte;
  EXPECT_LE(recv(stray, &byte, 1, 0), 0);  // closed at once, never a time-out's wait
  EXPECT_NE(WSAGetLastError(), WSAETIMEDOUT);
  closesocket(stray);
  EXPECT_EQ(ReadWhole(rawPath), "kept");
  EXPECT_EQ(client.AcceptedSocket(), 0u);

  // The listener still takes the next connection, adopted after its peer was read.
  const std::string data = Pattern(300000);
  std::thread sender(SendStream, port, &data);
  ASSERT_TRUE(NextMessage(window.hwnd, kImageSocketMessage, msg));
  ASSERT_EQ(WSAGETSELECTEVENT(msg.lParam), FD_ACCEPT);
  ASSERT_TRUE(client.AcceptPending(peer));
  ASSERT_TRUE(client.Accept(rawPath, false));
  EXPECT_EQ(client.PeerAddress(), L"127.0.0.1");
  bool closed = false;
  while (!closed && NextMessage(window.hwnd, kImageSocketMessage, msg, 30000)) {
    if (!client.OwnsSocket(static_cast<SOCKET>(msg.wParam))) continue;
    if (WSAGETSELECTEVENT(msg.lParam) == FD_READ) ASSERT_GE(client.ReceivePending(), 0);
    if (WSAGETSELECTEVENT(msg.lParam) == FD_CLOSE) {
      while (client.ReceivePending() > 0) {
      }
      closed = client.Close();
    }
  }
  sender.join();
  EXPECT_TRUE(closed);
  EXPECT_TRUE(ReadWhole(rawPath) == data) << "raw file differs";
  DeleteFileW(rawPath.c_str());
}

TEST(ImageClientWine, RawFileIsRecreatedEvenWhenTheAcceptFails) {
  WinsockScope winsock;
  MessageWindow window;
  const std::wstring rawPath = TempFile(L"LASTACQP2_old.BIN");
  HANDLE h = CreateFileW(rawPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(h, "old image", 9, &n, nullptr);
  CloseHandle(h);
  CImageClient client(UnusedLoopbackPort());
  ASSERT_TRUE(client.Listen(window.hwnd));
  EXPECT_FALSE(client.Accept(rawPath, false));  // nobody is connecting
  EXPECT_EQ(client.LastError(), static_cast<DWORD>(WSAEWOULDBLOCK));
  EXPECT_TRUE(Exists(rawPath));
  EXPECT_EQ(ReadWhole(rawPath), "");
}

}  // namespace
