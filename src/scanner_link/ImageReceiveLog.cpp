// Socket-log lines and counters of one image connection (see ImageReceiveLog.h).
#include "scanner_link/ImageReceiveLog.h"

#include <cstdarg>
#include <cstdio>

namespace {
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}
}  // namespace

std::string FormatPeerAddress(const uint8_t a[4]) { return Printf("%d.%d.%d.%d", a[0], a[1], a[2], a[3]); }

std::wstring ImageSocketLogFolder(const std::wstring& base) {
  std::wstring folder = base;
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder + L"Logs RX";
}

std::wstring ImageSocketLogPath(const std::wstring& base) {
  return ImageSocketLogFolder(base) + L"\\LUMImage.log";
}

void CImageReceiveLog::Start(uint32_t tick) {
  m_nTickStart = tick;
  m_nTotalBytes = 0;
  m_bFirstReadLogged = false;
}

std::string CImageReceiveLog::FirstReadLine() {
  if (m_bFirstReadLogged) return std::string();
  m_bFirstReadLogged = true;
  return Printf("Buffer size %d / Sleep %d.\r\n", static_cast<int>(kImageReadBufferSize),
                static_cast<int>(kImageReadPauseMs));
}

std::string CImageReceiveLog::Received(uint32_t bytes, uint32_t now, long long socket) {
  m_nTotalBytes += bytes;
  return Printf("%05d - %d bytes received from socket #%d\r\n", static_cast<int>(now - m_nTickStart),
                static_cast<int>(bytes), static_cast<int>(socket));
}

std::string CImageReceiveLog::Closed(uint32_t now) {
  m_nTickStart = now - m_nTickStart;
  return Printf("Received %d total bytes in %1.2f seconds.\r\nSocket closed.\r\n",
                static_cast<int>(m_nTotalBytes), m_nTickStart / 1000.0);
}

std::string CImageReceiveLog::ConnectionLine(const std::string& peer, long long socket) {
  return Printf("Connection accepted from %s: creating new socket #%d\r\n", peer.c_str(),
                static_cast<int>(socket));
}

std::string CImageReceiveLog::SockOptLine(const char* socketName, const char* option, int value) {
  return Printf("getsockopt %s SOL_SOCKET / %s : %d\r\n", socketName, option, value);
}

std::string CImageReceiveLog::RecvErrorLine(int error, long long socket) {
  return Printf("Error #%d on recv from socket #%d.\r\n", error, static_cast<int>(socket));
}

std::string CImageReceiveLog::CloseErrorLine(int error) {
  return Printf("Error #%d on closing socket.\r\n", error);
}
