// Status listener socket over Windows Sockets.
#include "scanner_link/win/SNDPListener.h"

#include <ws2tcpip.h>

#include "common/Text.h"

CSNDPListener::CSNDPListener(const std::wstring& bindAddress) {
  m_sBindAddress = orvaq::ToUtf8(bindAddress);
  WSADATA data;
  const int result = WSAStartup(MAKEWORD(2, 2), &data);
  m_bWinsockStarted = result == 0;
  if (!m_bWinsockStarted) m_nLastError = static_cast<DWORD>(result);
}

CSNDPListener::~CSNDPListener() {
  if (m_bWinsockStarted) {
    if (m_hSocket) {
      WSAAsyncSelect(m_hSocket, m_hNotifyWindow, 0, 0);
      closesocket(m_hSocket);
    }
    WSACleanup();
  }
}

bool CSNDPListener::StartListening(HWND window) {
  if (!m_bWinsockStarted) return false;
  if (m_hSocket) {
    WSAAsyncSelect(m_hSocket, m_hNotifyWindow, 0, 0);
    closesocket(m_hSocket);
    m_hSocket = 0;
  }
  in_addr address;
  address.s_addr = inet_addr(m_sBindAddress.c_str());
  if (address.s_addr == INADDR_NONE) {
    address.s_addr = 0;
    const hostent* host = gethostbyname(m_sBindAddress.c_str());
    if (host && host->h_addrtype == AF_INET && host->h_addr_list && host->h_addr_list[0])
      memcpy(&address.s_addr, host->h_addr_list[0], sizeof address.s_addr);
  }
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    m_nLastError = GetLastError();
    return false;
  }
  m_hSocket = s;
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr = address;
  local.sin_port = htons(m_nPort);
  if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
    m_nLastError = GetLastError();
    return false;
  }
  m_hNotifyWindow = window;
  if (WSAAsyncSelect(s, window, kSNDPMessage, FD_READ) == SOCKET_ERROR) {
    m_nLastError = WSAGetLastError();
    return false;
  }
  return true;
}

int CSNDPListener::Receive(uint8_t* buffer, int size, uint32_t* source) {
  if (!m_hSocket) {
    m_nLastError = WSAENOTSOCK;
    return -1;
  }
  // recvfrom is recv with the sender's address beside the datagram.
  sockaddr_in from = {};
  int fromSize = sizeof from;
  const int n = recvfrom(m_hSocket, reinterpret_cast<char*>(buffer), size, 0, reinterpret_cast<sockaddr*>(&from),
                         &fromSize);
  if (n == SOCKET_ERROR) {
    m_nLastError = WSAGetLastError();
    return -1;
  }
  if (source) *source = ntohl(from.sin_addr.s_addr);
  return n;
}
