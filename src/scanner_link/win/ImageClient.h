// CImageClient: the TCP receiver of one raw image. Listens on the port the scanner
// announces, accepts one connection into the raw file (deleted and recreated first),
// appends what arrives, and keeps the optional socket log "LUMImage.log" in the per-user
// "Logs RX" folder. Socket events reach the owner's window as message 0x402.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "common/win/KvHandle.h"

#include "scanner_link/ImageReceiveLog.h"

constexpr UINT kImageSocketMessage = 0x402;

class CImageClient {
 public:
  explicit CImageClient(uint16_t port);
  ~CImageClient();
  CImageClient(const CImageClient&) = delete;
  CImageClient& operator=(const CImageClient&) = delete;

  // Listening socket on INADDR_ANY:port, backlog 1, FD_READ|FD_ACCEPT|FD_CLOSE as 0x402.
  bool Listen(HWND window);
  // On FD_ACCEPT, before anything is decided: takes the waiting connection off the
  // listening socket and holds it, untouched, with its peer's IPv4 address (first octet
  // in the most significant byte). False when accept fails. The owner then adopts it
  // (Accept) or closes it (CloseHeldConnection).
  bool AcceptPending(uint32_t& peer);
  // Closes the held connection; nothing else changes (listener, raw file, log).
  void CloseHeldConnection();
  // On FD_ACCEPT: recreates `rawPath`, opens the socket log when `wantLog`, accepts (or
  // adopts the held connection), sets and logs the socket options.
  bool Accept(const std::wstring& rawPath, bool wantLog);
  // On FD_READ (and once more on FD_CLOSE): pause, one receive of up to 2 MiB appended to
  // the raw file. The byte count, 0 when the connection is closed, -1 on error.
  int ReceivePending();
  // On FD_CLOSE after the last ReceivePending: closes the connection, the socket log and
  // the raw file; tickStart becomes the duration.
  bool Close();
  // On FD_ACCEPT while a connection is held: accepts the newcomer and closes it at once,
  // so it can neither take the raw file nor replace the connection under way.
  void RefuseConnection();

  // Whether a socket message is about a socket this object holds now.
  bool OwnsSocket(SOCKET s) const { return s && (s == m_hSocket || s == m_hAccepted); }

  // Tick source and pause (tests may replace them; defaults GetTickCount and Sleep).
  void SetTickFunction(std::function<uint32_t()> tick) { m_fnTick = std::move(tick); }
  void SetSleepFunction(std::function<void(uint32_t)> sleep) { m_fnSleep = std::move(sleep); }
  // The base folder of the socket log (default: local application data, or the program's
  // folder when that is unknown).
  void SetLogBaseFolder(const std::wstring& base) { m_sLogBase = base; }
  static std::wstring DefaultLogBaseFolder();

  uint32_t TickStart() const { return m_nTickStart; }
  DWORD LastError() const { return m_nLastError; }
  uint16_t Port() const { return m_nPort; }
  const std::wstring& PeerAddress() const { return m_sPeerAddress; }
  uint32_t TotalBytes() const { return m_Log.TotalBytes(); }
  SOCKET ListeningSocket() const { return m_hSocket; }
  SOCKET AcceptedSocket() const { return m_hAccepted; }

 private:
  void WriteLog(const std::string& line);
  bool OpenLog();
  void CloseLog();
  void CloseRaw();
  int GetIntOption(SOCKET s, int option);

  uint32_t m_nTickStart = 0;
  DWORD m_nLastError = 0;
  uint16_t m_nPort;
  bool m_bFirstReadLogged = false;
  HWND m_hNotifyWindow = nullptr;
  bool m_bLogEnabled = false;
  std::wstring m_sPeerAddress;
  CKvFileHandle m_hLogFile;
  SOCKET m_hSocket = 0;
  SOCKET m_hAccepted = 0;
  // A connection taken by AcceptPending and not yet adopted or closed, with its peer.
  SOCKET m_hHeld = 0;
  sockaddr_in m_HeldPeer = {};
  CKvFileHandle m_hRawFile;
  bool m_bWinsockStarted = false;
  CImageReceiveLog m_Log;
  std::wstring m_sLogBase;
  std::function<uint32_t()> m_fnTick;
  std::function<void(uint32_t)> m_fnSleep;
};
