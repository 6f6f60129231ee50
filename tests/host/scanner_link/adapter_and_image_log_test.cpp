// Adapter choice (local IP and MAC texts, the AdapterIPAddress rule) and the image
// receiver's socket-log lines and counters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scanner_link/ImageReceiveLog.h"
#include "scanner_link/NetworkAdapter.h"

namespace {

NetworkAdapter Adapter(const wchar_t* description, bool up, uint32_t type, std::vector<uint32_t> ips) {
  NetworkAdapter a;
  a.description = description;
  a.operUp = up;
  a.ifType = type;
  a.physicalAddress = {0x00, 0x1a, 0x2B, 0xc3, 0x04, 0xFF};
  a.ipv4 = std::move(ips);
  return a;
}

TEST(NetworkAdapter, Choice) {
  const std::vector<NetworkAdapter> adapters = {
      Adapter(L"lo", true, 24, {0x7F000001}),
      Adapter(L"eth0", false, 6, {0x0A000001}),                // down
      Adapter(L"eth0", true, 6, {0xC0A80105, 0x0A0A0A0A}),     // two addresses
      Adapter(L"eth1", true, 6, {0xC0A80205}),
      Adapter(L"wlan0", true, 71, {0xC0A80305}),               // not Ethernet
  };
  struct Row { const wchar_t* description; const wchar_t* setting; bool found; const wchar_t* ip; const wchar_t* mac; };
  const Row rows[] = {
      {L"eth0", L"", true, L"192.168.1.5", L"00:1A:2B:C3:04:FF"},
      {L"eth0", L"10.10.10.10", true, L"10.10.10.10", L"00:1A:2B:C3:04:FF"},
      {L"eth1", L"10.10.10.10", true, L"192.168.2.5", L"00:1A:2B:C3:04:FF"},  // one address: no choice
      {L"wlan0", L"", false, L"", L""},
      {L"lo", L"", false, L"", L""},
      {L"ETH0", L"", false, L"", L""},
      {L"", L"", false, L"", L""},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    std::wstring ip = L"old", mac = L"old";
    EXPECT_EQ(ChooseAdapter(adapters, rows[i].description, rows[i].setting, ip, mac), rows[i].found) << "row " << i;
    EXPECT_EQ(ip, rows[i].ip) << "row " << i;
    EXPECT_EQ(mac, rows[i].mac) << "row " << i;
  }
}

TEST(NetworkAdapter, NoAddressGivesEmptyIp) {
  std::wstring ip, mac;
  EXPECT_TRUE(ChooseAdapter({Adapter(L"eth0", true, 6, {})}, L"eth0", L"", ip, mac));
  EXPECT_EQ(ip, L"");
  EXPECT_EQ(mac, L"00:1A:2B:C3:04:FF");
}

TEST(ImageReceiveLog, Lines) {
  const uint8_t peer[4] = {192, 168, 1, 40};
  EXPECT_EQ(FormatPeerAddress(peer), "192.168.1.40");
  EXPECT_EQ(CImageReceiveLog::ConnectionLine("192.168.1.40", 412),
            "Connection accepted from 192.168.1.40: creating new socket #412\r\n");
  EXPECT_EQ(CImageReceiveLog::SockOptLine("m_hAccepted", "SO_RCVBUF", 4194304),
            "getsockopt m_hAccepted SOL_SOCKET / SO_RCVBUF : 4194304\r\n");
  EXPECT_EQ(CImageReceiveLog::SockOptLine("m_hSocket", "SO_RCVTIMEO", 0),
            "getsockopt m_hSocket SOL_SOCKET / SO_RCVTIMEO : 0\r\n");
  EXPECT_EQ(CImageReceiveLog::RecvErrorLine(10054, 412), "Error #10054 on recv from socket #412.\r\n");
  EXPECT_EQ(CImageReceiveLog::CloseErrorLine(10038), "Error #10038 on closing socket.\r\n");
  EXPECT_EQ(ImageSocketLogPath(L"C:\\users\\u\\AppData\\Local"),
            L"C:\\users\\u\\AppData\\Local\\Logs RX\\LUMImage.log");
  EXPECT_EQ(ImageSocketLogFolder(L"C:\\prog\\"), L"C:\\prog\\Logs RX");
}

TEST(ImageReceiveLog, CountsAndDurations) {
  CImageReceiveLog log;
  log.Start(0xFFFFFF00u);  // the tick wraps during the transfer
  EXPECT_EQ(log.FirstReadLine(), "Buffer size 2097152 / Sleep 200.\r\n");
  EXPECT_EQ(log.FirstReadLine(), "");
  EXPECT_EQ(log.Received(524288, 0xFFFFFF00u + 212, 7), "00212 - 524288 bytes received from socket #7\r\n");
  EXPECT_EQ(log.Received(524288, 0xFFFFFF00u + 2400, 7), "02400 - 524288 bytes received from socket #7\r\n");
  EXPECT_EQ(log.TotalBytes(), 1048576u);
  EXPECT_EQ(log.Closed(0xFFFFFF00u + 2500), "Received 1048576 total bytes in 2.50 seconds.\r\nSocket closed.\r\n");
  EXPECT_EQ(log.TickStart(), 2500u);
  log.Start(100);
  EXPECT_EQ(log.TotalBytes(), 0u);
  EXPECT_EQ(log.FirstReadLine(), "Buffer size 2097152 / Sleep 200.\r\n");
}

}  // namespace
