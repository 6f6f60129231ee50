// CSNDPListener: the UDP socket on port 48322 that receives the scanners' status frames
// and reports each datagram to a window as message 0x401 (asynchronous select).
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>

constexpr UINT kSNDPMessage = 0x401;

class CSNDPListener {
 public:
  // Stores the local address (or host name) to bind to and starts Windows Sockets 2.2.
  explicit CSNDPListener(const std::wstring& bindAddress);
  ~CSNDPListener();
  CSNDPListener(const CSNDPListener&) = delete;
  CSNDPListener& operator=(const CSNDPListener&) = delete;

  // Binds to the address and port 48322 and sends FD_READ to `window` as 0x401.
  bool StartListening(HWND window);
  // One recv of at most `size` bytes: the byte count, or -1 with lastError set (also
  // when there is no socket). A datagram longer than the buffer is an error (10040).
  // `source`, when given, receives the sender's IPv4 address (first octet in the most
  // significant byte): the address the scanner really sends from.
  int Receive(uint8_t* buffer, int size, uint32_t* source = nullptr);

  SOCKET Socket() const { return m_hSocket; }
  uint16_t Port() const { return m_nPort; }
  DWORD LastError() const { return m_nLastError; }
  bool WinsockStarted() const { return m_bWinsockStarted; }
  const std::string& BindAddress() const { return m_sBindAddress; }

 private:
  uint16_t m_nPort = 48322;
  DWORD m_nLastError = 0;
  HWND m_hNotifyWindow = nullptr;
  SOCKET m_hSocket = 0;
  bool m_bWinsockStarted = false;
  std::string m_sBindAddress;
};
