// WinINet attempt cycle. The status callback can run late: after a timed-out wait,
// closing the handles does not cancel a pending send or read (Wine delivers callbacks
// with the old context and writes into the old read buffer more than a second later).
// So the callback identifies the attempt by a number, not a pointer, and touches only
// the attempt registered now, under a lock; callbacks are unregistered before the
// handles close; and the block WinINet writes into (read record, buffer, body) is left
// allocated whenever an operation may still be pending.
#include "scanner_link/win/WinInetTransport.h"

#include <cstring>

#include "common/Text.h"

struct CWinInetTransport::ReadBlock {
  INTERNET_BUFFERSA buffers;
  char data[4096];
};
static_assert(sizeof(void*) != 4 || sizeof(INTERNET_BUFFERSA) == 40, "read record of 40 bytes");

namespace {

// What the callback may touch: the attempt registered now.
struct CallbackTarget {
  DWORD_PTR id = 0;
  int phase = 0;  // 1 connecting, 2 request (send), 3 reading
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
  HANDLE connectedEvent = nullptr;
  HANDLE requestOpenedEvent = nullptr;
  HANDLE requestCompletedEvent = nullptr;
  bool completed = false;
  DWORD completeResult = 0;
  DWORD completeError = 0;
};

CRITICAL_SECTION& TargetLock() {
  static CRITICAL_SECTION* lock = [] {
    auto* cs = new CRITICAL_SECTION;
    InitializeCriticalSection(cs);
    return cs;
  }();
  return *lock;
}

CallbackTarget g_Target;  // id 0: nothing registered
DWORD_PTR g_nNextId = 0;
volatile LONG g_nAbandoned = 0;

void CALLBACK StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength) {
  if (context == 0) return;
  EnterCriticalSection(&TargetLock());
  CallbackTarget& t = g_Target;
  if (t.id == context) {
    const INTERNET_ASYNC_RESULT* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
    const bool hasResult = result && infoLength >= sizeof(DWORD_PTR);
    if (status == INTERNET_STATUS_HANDLE_CREATED && hasResult) {
      if (t.phase == 1) {
        t.connection = reinterpret_cast<HINTERNET>(result->dwResult);
        SetEvent(t.connectedEvent);
      } else if (t.phase == 2) {
        t.request = reinterpret_cast<HINTERNET>(result->dwResult);
        SetEvent(t.requestOpenedEvent);
      }
    } else if (status == INTERNET_STATUS_REQUEST_COMPLETE && (t.phase == 2 || t.phase == 3)) {
      t.completed = true;
      t.completeResult = hasResult ? static_cast<DWORD>(result->dwResult) : 0;
      t.completeError = hasResult && infoLength >= sizeof(INTERNET_ASYNC_RESULT) ? result->dwError : 0;
      SetEvent(t.requestCompletedEvent);
    }
  }
  LeaveCriticalSection(&TargetLock());
}

HANDLE NewNamedEvent(const wchar_t* name) {
  HANDLE h = CreateEventW(nullptr, FALSE, FALSE, name);
  // The name is process-wide (and machine-wide): drop a signal left by anyone else.
  if (h) ResetEvent(h);
  return h;
}

}  // namespace

CWinInetTransport::CWinInetTransport(InternetOpenFunction internetOpen)
    : m_fnInternetOpen(internetOpen ? internetOpen : &InternetOpenW) {}

CWinInetTransport::~CWinInetTransport() { Close(); }

long CWinInetTransport::AbandonedBlocks() { return g_nAbandoned; }

bool CWinInetTransport::Wait(HANDLE event, DWORD timeoutMs) {
  return event && WaitForSingleObject(event, timeoutMs) == WAIT_OBJECT_0;
}

bool CWinInetTransport::Open(const HttpAttemptParams& params, uint32_t& lastError) {
  Close();
  m_Params = params;
  m_hConnectedEvent.Reset(NewNamedEvent(L"Cnx_Event"));
  m_hRequestOpenedEvent.Reset(NewNamedEvent(L"ROp_Event"));
  m_hRequestCompletedEvent.Reset(NewNamedEvent(L"RCo_Event"));
  m_hRoot.Reset(m_fnInternetOpen(m_Params.agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr,
                             INTERNET_FLAG_ASYNC));
  if (!m_hRoot) {
    lastError = GetLastError();
    return false;
  }
  m_pBody = new std::string(m_Params.body);
  EnterCriticalSection(&TargetLock());
  g_Target = CallbackTarget();
  g_Target.id = ++g_nNextId;
  g_Target.connectedEvent = m_hConnectedEvent.Get();
  g_Target.requestOpenedEvent = m_hRequestOpenedEvent.Get();
  g_Target.requestCompletedEvent = m_hRequestCompletedEvent.Get();
  LeaveCriticalSection(&TargetLock());
  m_bCallbackRegistered =
      InternetSetStatusCallbackW(m_hRoot.Get(), &StatusCallback) != INTERNET_INVALID_STATUS_CALLBACK;
  return true;
}

bool CWinInetTransport::Send(uint32_t& status, uint32_t& lastError) {
  if (!m_hRoot || !m_bCallbackRegistered) return false;
  EnterCriticalSection(&TargetLock());
  const DWORD_PTR id = g_Target.id;
  g_Target.phase = 1;
  LeaveCriticalSection(&TargetLock());

  m_hConnection.Reset(InternetConnectW(m_hRoot.Get(), m_Params.host.c_str(), m_Params.port, nullptr, nullptr,
                                   INTERNET_SERVICE_HTTP, 0, id));
  if (!m_hConnection) {
    const DWORD error = GetLastError();
    lastError = error;
    if (error != ERROR_IO_PENDING) return false;
    if (Wait(m_hConnectedEvent.Get(), m_Params.connectTimeoutMs)) {
      EnterCriticalSection(&TargetLock());
      m_hConnection.Reset(g_Target.connection);
      LeaveCriticalSection(&TargetLock());
    }
    if (!m_hConnection) return false;
  }

  EnterCriticalSection(&TargetLock());
  g_Target.phase = 2;
  LeaveCriticalSection(&TargetLock());
  const wchar_t* acceptTypes[] = {L"*/*", nullptr};
  const wchar_t* referrer = m_Params.referrer.empty() ? nullptr : m_Params.referrer.c_str();
  m_hRequest.Reset(HttpOpenRequestW(m_hConnection.Get(), L"POST", m_Params.objectName.c_str(), L"HTTP/1.0",
                                referrer, acceptTypes,
                                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES, id));
  if (!m_hRequest) {
    const DWORD error = GetLastError();
    lastError = error;
    if (error != ERROR_IO_PENDING) return false;
    if (Wait(m_hRequestOpenedEvent.Get(), m_Params.requestTimeoutMs)) {
      EnterCriticalSection(&TargetLock());
      m_hRequest.Reset(g_Target.request);
      LeaveCriticalSection(&TargetLock());
    }
    if (!m_hRequest) return false;
  }

  // The status is read only when the send really completed: after a failed or timed-out
  // send Wine's status query answers 0 where Windows has no status at all.
  bool sent = false;
  std::string& body = *m_pBody;
  if (HttpSendRequestW(m_hRequest.Get(), nullptr, 0, body.empty() ? nullptr : &body[0],
                       static_cast<DWORD>(body.size()))) {
    sent = true;
  } else {
    const DWORD error = GetLastError();
    lastError = error;
    if (error == ERROR_IO_PENDING && !Wait(m_hRequestCompletedEvent.Get(), m_Params.requestTimeoutMs)) {
      m_bSendPending = true;
    } else if (error == ERROR_IO_PENDING) {
      EnterCriticalSection(&TargetLock());
      sent = g_Target.completed && g_Target.completeResult != 0;
      if (!sent && g_Target.completeError) lastError = g_Target.completeError;
      LeaveCriticalSection(&TargetLock());
    }
  }
  if (!sent) return false;

  DWORD value = 1;
  DWORD size = sizeof value;
  if (!HttpQueryInfoW(m_hRequest.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value, &size,
                      nullptr)) {
    lastError = GetLastError();
    return false;
  }
  status = value;
  return true;
}

HttpReadOutcome CWinInetTransport::Read(std::string& text, uint32_t& lastError) {
  text.clear();
  if (!m_hRequest) return HttpReadOutcome::Failed;
  m_pReadBlock = new ReadBlock();
  EnterCriticalSection(&TargetLock());
  const DWORD_PTR id = g_Target.id;
  g_Target.phase = 3;
  g_Target.completed = false;
  LeaveCriticalSection(&TargetLock());
  ResetEvent(m_hRequestCompletedEvent.Get());

  INTERNET_BUFFERSA& b = m_pReadBlock->buffers;
  std::memset(&b, 0, sizeof b);
  std::memset(m_pReadBlock->data, 0, sizeof m_pReadBlock->data);
  b.dwStructSize = sizeof b;  // 40 bytes in the shipped 32-bit program
  b.lpvBuffer = m_pReadBlock->data;
  b.dwBufferLength = kHttpReadLimit;
  if (!InternetReadFileExA(m_hRequest.Get(), &b, 0, id)) {
    const DWORD error = GetLastError();
    lastError = error;
    if (error != ERROR_IO_PENDING) return HttpReadOutcome::Failed;
    if (!Wait(m_hRequestCompletedEvent.Get(), m_Params.requestTimeoutMs)) {
      m_bReadPending = true;
      return HttpReadOutcome::WaitFailed;
    }
    EnterCriticalSection(&TargetLock());
    const bool ok = g_Target.completeResult != 0;
    if (!ok && g_Target.completeError) lastError = g_Target.completeError;
    LeaveCriticalSection(&TargetLock());
    if (!ok) return HttpReadOutcome::Failed;
  }
  DWORD count = b.dwBufferLength;
  if (count > kHttpReadLimit) count = kHttpReadLimit;
  m_pReadBlock->data[count] = '\0';
  text.assign(m_pReadBlock->data, std::strlen(m_pReadBlock->data));
  return HttpReadOutcome::Ok;
}

void CWinInetTransport::Close() {
  // No callback may reach this attempt once it is closed.
  if (m_hRequest) InternetSetStatusCallbackW(m_hRequest.Get(), nullptr);
  if (m_hConnection) InternetSetStatusCallbackW(m_hConnection.Get(), nullptr);
  if (m_hRoot) InternetSetStatusCallbackW(m_hRoot.Get(), nullptr);
  EnterCriticalSection(&TargetLock());
  g_Target = CallbackTarget();
  LeaveCriticalSection(&TargetLock());

  m_hConnectedEvent.Close();
  m_hRequestOpenedEvent.Close();
  m_hRequestCompletedEvent.Close();
  // The request before its connection, the connection before the session.
  m_hRequest.Close();
  m_hConnection.Close();
  m_hRoot.Close();
  m_bCallbackRegistered = false;

  // A send or read that may still complete keeps its memory: it is left to WinINet.
  if (m_pBody) {
    if (m_bSendPending) InterlockedIncrement(&g_nAbandoned);
    else delete m_pBody;
    m_pBody = nullptr;
  }
  if (m_pReadBlock) {
    if (m_bReadPending) InterlockedIncrement(&g_nAbandoned);
    else delete m_pReadBlock;
    m_pReadBlock = nullptr;
  }
  m_bSendPending = m_bReadPending = false;
}

std::unique_ptr<IHttpTransport> CreateWinInetTransport() {
  return std::make_unique<CWinInetTransport>();
}
