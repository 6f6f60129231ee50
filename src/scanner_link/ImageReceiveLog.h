// What the image receiver writes and counts for one connection: the socket-log lines
// ("LUMImage.log", 8-bit text with CR LF), the byte total and the durations from the
// tick at accept (wrap-safe). The sockets and files are win/ImageClient's.
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t kImageReadBufferSize = 2097152;  // one receive of at most 2 MiB
constexpr uint32_t kImageReadPauseMs = 200;         // so that data accumulates before a read
constexpr int kImageReceiveBufferSize = 0x400000;   // SO_RCVBUF of the accepted socket
constexpr int kImageReceiveTimeoutMs = 2000;        // SO_RCVTIMEO when it was 0

// "%d.%d.%d.%d" from the four address bytes in network order.
std::string FormatPeerAddress(const uint8_t address[4]);
// The socket log's folder and file under a base folder (local application data, or the
// program's folder when that is unknown).
std::wstring ImageSocketLogFolder(const std::wstring& base);
std::wstring ImageSocketLogPath(const std::wstring& base);

class CImageReceiveLog {
 public:
  // A new connection accepted at `tick`.
  void Start(uint32_t tick);
  // The count of one receive at `now` on `socket`; returns its log line.
  std::string Received(uint32_t bytes, uint32_t now, long long socket);
  // The connection closed at `now`: the duration replaces the start tick; returns the
  // total line.
  std::string Closed(uint32_t now);
  // The buffer-size line, only for the first read of the connection (empty otherwise).
  std::string FirstReadLine();

  static std::string ConnectionLine(const std::string& peer, long long socket);
  static std::string SockOptLine(const char* socketName, const char* option, int value);
  static std::string RecvErrorLine(int error, long long socket);
  static std::string CloseErrorLine(int error);

  uint32_t TickStart() const { return m_nTickStart; }
  uint32_t TotalBytes() const { return m_nTotalBytes; }

 private:
  uint32_t m_nTickStart = 0;
  uint32_t m_nTotalBytes = 0;
  bool m_bFirstReadLogged = false;
};
