// The WinINet transport of CHttpClient: one asynchronous HTTP/1.0 POST attempt with the
// named events "Cnx_Event", "ROp_Event" and "RCo_Event" signalled by the status callback.
// Owns the attempt's handles and events, and the memory WinINet may still write after a
// timed-out wait. One attempt is in flight per process (the event names are shared).
#pragma once

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "common/win/KvHandle.h"
#include "scanner_link/HttpClient.h"

// WinINet's sessions, connections and requests.
struct KvInternetHandleTraits {
  using Type = HINTERNET;
  static HINTERNET Invalid() { return nullptr; }
  static bool Close(HINTERNET h) { return InternetCloseHandle(h) != FALSE; }
};
using CKvInternetHandle = CKvHandle<KvInternetHandleTraits>;

// The InternetOpenW seam: tests pass a function that fails to check the failed-open path.
using InternetOpenFunction = HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);

class CWinInetTransport : public IHttpTransport {
 public:
  explicit CWinInetTransport(InternetOpenFunction internetOpen = nullptr);
  ~CWinInetTransport() override;

  bool Open(const HttpAttemptParams& params, uint32_t& lastError) override;
  bool Send(uint32_t& status, uint32_t& lastError) override;
  HttpReadOutcome Read(std::string& text, uint32_t& lastError) override;
  void Close() override;

  // Bodies and read blocks left to WinINet because an operation was still pending at the close
  // (process-wide count, for diagnostics and tests).
  static long AbandonedBlocks();

  struct ReadBlock;  // the read record and its buffer (heap)

 private:
  bool Wait(HANDLE event, DWORD timeoutMs);

  InternetOpenFunction m_fnInternetOpen;
  HttpAttemptParams m_Params;
  CKvInternetHandle m_hRoot;
  CKvInternetHandle m_hConnection;
  CKvInternetHandle m_hRequest;
  CKvObjectHandle m_hConnectedEvent;
  CKvObjectHandle m_hRequestOpenedEvent;
  CKvObjectHandle m_hRequestCompletedEvent;
  bool m_bCallbackRegistered = false;
  bool m_bSendPending = false;  // the send wait timed out: WinINet may still read the body
  bool m_bReadPending = false;  // the read wait timed out: WinINet may still fill the block
  std::string* m_pBody = nullptr;
  ReadBlock* m_pReadBlock = nullptr;
};

// A transport for a new client.
std::unique_ptr<IHttpTransport> CreateWinInetTransport();
