// The image receiver's socket-log lines and counters.
#include <gtest/gtest.h>

#include <string>

#include "scanner_link/ImageReceiveLog.h"

namespace {

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
