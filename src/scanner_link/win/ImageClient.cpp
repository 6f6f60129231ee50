// Image receiver socket, raw file and socket log over Windows Sockets (see ImageClient.h).
#include "scanner_link/win/ImageClient.h"

#include <shlobj.h>

#include <memory>
#include <string>

#include "common/Text.h"
#include "settings/win/KvSystemWin.h"
#include "settings/KvPaths.h"

CImageClient::CImageClient(uint16_t port) : m_nPort(port) {
  WSADATA data;
  m_bWinsockStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  m_fnTick = [] { return static_cast<uint32_t>(GetTickCount()); };
  m_fnSleep = [](uint32_t ms) { Sleep(ms); };
}

CImageClient::~CImageClient() {
  if (m_hSocket) closesocket(m_hSocket);
  // A connection that was never closed would otherwise keep the scanner waiting.
  if (m_hAccepted) closesocket(m_hAccepted);
  CloseHeldConnection();
  CloseRaw();
  CloseLog();
  if (m_bWinsockStarted) WSACleanup();
}

std::wstring CImageClient::DefaultLogBaseFolder() {
  CKvSystemWin system;
  std::wstring folder;
  if (system.GetLocalAppDataFolder(folder)) return folder;
  return orvaq::paths::Folder(system.GetProgramPath());
}

bool CImageClient::Listen(HWND window) {
  if (m_hSocket) {
    closesocket(m_hSocket);
    m_hSocket = 0;
  }
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    m_nLastError = GetLastError();
    return false;
  }
  m_hSocket = s;
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(m_nPort);
  if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) == SOCKET_ERROR ||
      listen(s, 1) == SOCKET_ERROR) {
    m_nLastError = GetLastError();
    return false;
  }
  m_hNotifyWindow = window;
  if (WSAAsyncSelect(s, window, kImageSocketMessage, FD_READ | FD_ACCEPT | FD_CLOSE) == SOCKET_ERROR) {
    m_nLastError = WSAGetLastError();
    return false;
  }
  return true;
}

bool CImageClient::OpenLog() {
  CloseLog();
  const std::wstring base = m_sLogBase.empty() ? DefaultLogBaseFolder() : m_sLogBase;
  CreateDirectoryW(ImageSocketLogFolder(base).c_str(), nullptr);
  m_hLogFile.Reset(CreateFileW(ImageSocketLogPath(base).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return m_hLogFile.Valid();
}

void CImageClient::CloseLog() {
  m_hLogFile.Close();
  m_bLogEnabled = false;
}

void CImageClient::CloseRaw() {
  m_hRawFile.Close();
}

void CImageClient::WriteLog(const std::string& line) {
  if (!m_bLogEnabled || !m_hLogFile || line.empty()) return;
  DWORD written = 0;
  WriteFile(m_hLogFile.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

int CImageClient::GetIntOption(SOCKET s, int option) {
  int value = 0;
  int size = sizeof value;
  getsockopt(s, SOL_SOCKET, option, reinterpret_cast<char*>(&value), &size);
  return value;
}

bool CImageClient::Accept(const std::wstring& rawPath, bool wantLog) {
  m_Log.Start(0);
  m_sPeerAddress.clear();
  CloseRaw();
  DeleteFileW(rawPath.c_str());
  m_hRawFile.Reset(CreateFileW(rawPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!m_hRawFile) {
    m_nLastError = GetLastError();
    // A held connection with nowhere to go is closed: the scanner then keeps its image.
    CloseHeldConnection();
    return false;
  }
  m_bLogEnabled = false;
  if (wantLog) m_bLogEnabled = OpenLog();

  sockaddr_in peer = {};
  SOCKET accepted = m_hHeld;
  if (accepted) {
    peer = m_HeldPeer;
    m_hHeld = 0;
  } else {
    int peerSize = sizeof peer;  // 16 bytes
    accepted = accept(m_hSocket, reinterpret_cast<sockaddr*>(&peer), &peerSize);
    if (accepted == INVALID_SOCKET) {
      m_nLastError = WSAGetLastError();
      return false;
    }
  }
  m_hAccepted = accepted;
  m_nTickStart = m_fnTick();
  m_Log.Start(m_nTickStart);
  m_bFirstReadLogged = false;
  const std::string peerText = FormatPeerAddress(reinterpret_cast<const uint8_t*>(&peer.sin_addr));
  m_sPeerAddress = orvaq::FromLatin1(peerText);
  WriteLog(CImageReceiveLog::ConnectionLine(peerText, static_cast<long long>(m_hAccepted)));
  // The tick the times below count from, so that they can be set beside the main log's.
  WriteLog("Tick count at accept : " + std::to_string(m_nTickStart) + "\r\n");

  WriteLog(CImageReceiveLog::SockOptLine("m_hAccepted", "SO_RCVBUF", GetIntOption(m_hAccepted, SO_RCVBUF)));
  int receiveBuffer = kImageReceiveBufferSize;
  setsockopt(m_hAccepted, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
             sizeof receiveBuffer);
  WriteLog(CImageReceiveLog::SockOptLine("m_hAccepted", "SO_RCVBUF", GetIntOption(m_hAccepted, SO_RCVBUF)));
  WriteLog(CImageReceiveLog::SockOptLine("m_hAccepted", "SO_SNDBUF", GetIntOption(m_hAccepted, SO_SNDBUF)));
  const int timeout = GetIntOption(m_hAccepted, SO_RCVTIMEO);
  WriteLog(CImageReceiveLog::SockOptLine("m_hAccepted", "SO_RCVTIMEO", timeout));
  if (timeout == 0) {
    int newTimeout = kImageReceiveTimeoutMs;
    setsockopt(m_hAccepted, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&newTimeout),
               sizeof newTimeout);
    WriteLog(CImageReceiveLog::SockOptLine("m_hAccepted", "SO_RCVTIMEO", GetIntOption(m_hAccepted, SO_RCVTIMEO)));
  }
  WriteLog(CImageReceiveLog::SockOptLine("m_hSocket", "SO_RCVTIMEO", GetIntOption(m_hSocket, SO_RCVTIMEO)));
  return m_hAccepted != 0;
}

int CImageClient::ReceivePending() {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kImageReadBufferSize]);
  if (!buffer) {
    m_nLastError = ERROR_NOT_ENOUGH_MEMORY;
    return -1;
  }
  const std::string first = m_Log.FirstReadLine();
  if (!first.empty()) {
    WriteLog(first);
    m_bFirstReadLogged = true;
  }
  // The pause lets data gather before the read; once the scanner has closed and every
  // byte is read (nothing waiting, a peek finds the end), there is nothing to wait for.
  u_long waiting = 0;
  char peek = 0;
  const bool drained = ioctlsocket(m_hAccepted, FIONREAD, &waiting) == 0 && waiting == 0 &&
                       recv(m_hAccepted, &peek, 1, MSG_PEEK) == 0;
  if (!drained) m_fnSleep(kImageReadPauseMs);
  const int n = recv(m_hAccepted, buffer.get(), static_cast<int>(kImageReadBufferSize), 0);
  if (n == SOCKET_ERROR) {
    m_nLastError = WSAGetLastError();
    WriteLog(CImageReceiveLog::RecvErrorLine(static_cast<int>(m_nLastError), static_cast<long long>(m_hAccepted)));
    return -1;
  }
  if (n == 0) return 0;
  DWORD written = 0;
  if (!m_hRawFile || !WriteFile(m_hRawFile.Get(), buffer.get(), static_cast<DWORD>(n), &written, nullptr) ||
      written != static_cast<DWORD>(n)) {
    // Bytes that cannot be stored are an error, not a success: the file would be short.
    m_nLastError = !m_hRawFile ? ERROR_INVALID_HANDLE : GetLastError();
    return -1;
  }
  WriteLog(m_Log.Received(static_cast<uint32_t>(n), m_fnTick(), static_cast<long long>(m_hAccepted)));
  return n;
}

bool CImageClient::AcceptPending(uint32_t& peer) {
  if (!m_hHeld) {
    sockaddr_in from = {};
    int fromSize = sizeof from;
    const SOCKET s = accept(m_hSocket, reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (s == INVALID_SOCKET) {
      m_nLastError = WSAGetLastError();
      return false;
    }
    m_hHeld = s;
    m_HeldPeer = from;
  }
  peer = ntohl(m_HeldPeer.sin_addr.s_addr);
  return true;
}

void CImageClient::CloseHeldConnection() {
  if (m_hHeld) closesocket(m_hHeld);
  m_hHeld = 0;
}

void CImageClient::RefuseConnection() {
  const SOCKET extra = accept(m_hSocket, nullptr, nullptr);
  if (extra != INVALID_SOCKET) closesocket(extra);
}

bool CImageClient::Close() {
  const int result = closesocket(m_hAccepted);
  const uint32_t closedAt = m_fnTick();
  const std::string total = m_Log.Closed(closedAt);
  m_nTickStart = m_Log.TickStart();
  if (result == SOCKET_ERROR) {
    m_nLastError = WSAGetLastError();
    WriteLog(CImageReceiveLog::CloseErrorLine(static_cast<int>(m_nLastError)));
    return false;
  }
  m_hAccepted = 0;
  WriteLog(total);
  WriteLog("Tick count at close : " + std::to_string(closedAt) + "\r\n");
  CloseLog();
  CloseRaw();
  return true;
}
