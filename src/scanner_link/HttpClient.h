// CHttpClient: the HTTP command client of one scanner. It owns the configuration, the
// attempt decisions (status to result code, the single bounded read), the retry rule
// and the command operations; the network work of one attempt is an IHttpTransport
// (WinINet on Windows, a scripted fake in tests).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "scanner_link/ScannerCommands.h"

// What one attempt asks of the network.
struct HttpAttemptParams {
  std::wstring host;
  uint16_t port = 80;
  std::wstring agent;
  std::wstring objectName;  // bare device-file name
  std::wstring referrer;    // empty: no referrer
  std::string body;         // sent as it stands, no terminating zero
  uint32_t connectTimeoutMs = 1500;
  uint32_t requestTimeoutMs = 1500;
};

// Outcome of the one answer read of an attempt.
enum class HttpReadOutcome { Ok, Failed, WaitFailed };

// One attempt's network steps. The client calls Open, then (when it succeeded) Send,
// then Read only when the status is 100 or more, and Close at the end of every attempt,
// the failed Open included. Each step stores the Windows error it meets in lastError.
class IHttpTransport {
 public:
  virtual ~IHttpTransport() = default;
  // Creates the events and the root handle; false when the root handle cannot be opened.
  virtual bool Open(const HttpAttemptParams& params, uint32_t& lastError) = 0;
  // Connects, opens and sends the request, and reads the status. False when no status
  // could be read (no connection, no request, the send did not complete).
  virtual bool Send(uint32_t& status, uint32_t& lastError) = 0;
  // One read of at most 4095 bytes into `text`.
  virtual HttpReadOutcome Read(std::string& text, uint32_t& lastError) = 0;
  // Closes the events and the request, connection and root handles.
  virtual void Close() = 0;
};

constexpr uint32_t kHttpReadLimit = 4095;
constexpr uint16_t kHttpPortScanner = 80;
constexpr uint16_t kHttpPortSimulator = 9080;

// Settings an owner applies right after construction (the HTTPTimeOut setting, the agent
// from text 1000 and the version, the simulator flag of the frame).
struct HttpClientConfig {
  uint32_t httpTimeoutMs = 1500;
  std::wstring agent = L"SDK-Orvaq v1.0.0";
  bool simulator = false;
};

// Text 1000 followed by " [%d.%d.%d]" of the file version.
std::wstring FormatHttpAgent(const std::wstring& text1000, int major, int minor, int build);

class CHttpClient {
 public:
  CHttpClient(const std::wstring& host, const std::wstring& originHost, const std::wstring& mac,
              std::unique_ptr<IHttpTransport> transport);
  ~CHttpClient();
  CHttpClient(const CHttpClient&) = delete;
  CHttpClient& operator=(const CHttpClient&) = delete;

  // Time-outs (both from HTTPTimeOut), agent, and port 9080 for the simulator.
  void Configure(const HttpClientConfig& config);
  void SetAgent(const std::wstring& agent) { m_sAgent = agent; }
  void SetHTTPPort(uint16_t port) { m_nPort = port; }
  void SetReservationTime(int32_t seconds) { m_nReservationTime = seconds; }
  void SetTimeouts(uint32_t connectMs, uint32_t requestMs) {
    m_nConnectTimeoutMs = connectMs;
    m_nRequestTimeoutMs = requestMs;
  }
  // The pause between attempts; tests replace it so that nothing waits.
  void SetSleepFunction(std::function<void(uint32_t)> sleep) { m_fnSleep = std::move(sleep); }

  const std::wstring& Host() const { return m_sHost; }
  const std::wstring& OriginHost() const { return m_sOriginHost; }
  const std::wstring& Mac() const { return m_sMac; }
  const std::wstring& Agent() const { return m_sAgent; }
  uint16_t Port() const { return m_nPort; }
  int32_t ReservationTime() const { return m_nReservationTime; }
  uint32_t LastError() const { return m_nLastError; }
  uint32_t ConnectTimeoutMs() const { return m_nConnectTimeoutMs; }
  uint32_t RequestTimeoutMs() const { return m_nRequestTimeoutMs; }

  // Raw request with the retry rule; the answer text is appended to `answer`.
  int32_t PostRequest(const std::string& objectName, const std::string& body, std::string& answer);
  int32_t SendCommand(const std::string& text);
  int32_t QueryValue(const std::string& key, std::string& answer);
  int32_t QueryFormatted(const char* format, int number, std::string& answer);
  int32_t SendFormatted(const char* format, int argument);
  int32_t HTTPTestRequest(const std::string& objectName, const std::wstring& text, std::string& answer);

  // Device files.
  int32_t Identify(int term, int color, const std::wstring& doctor, const std::wstring& patient);
  int32_t WithdrawIdentification(int term, int color);
  int32_t ReserveScanner(int level, int term, int color, int mode, const std::wstring& doctor,
                         const std::wstring& patient);
  int32_t CancelReservation(int term, int color);
  int32_t RetrieveReserve(int mode);
  int32_t SuperReserve(const std::wstring& doctor, const std::wstring& patient);
  int32_t SuperUnreserve();

  // Commands and queries on "lumeq2.prm".
  int32_t SetImageMode(int mode);
  int32_t SetReservationMode(bool multi);
  int GetReservationMode();
  int32_t GetImageInfo(ImageInfo& info);
  int32_t SetScreenReservation(bool on);
  int32_t SetTerminalReservation(bool on);
  int32_t SetColorReservation(bool on);
  int32_t SetClock(int hour, int minute, int second, int day, int month, int year);
  std::string GetTime();
  int32_t GetDoctor(int doctor, DoctorEntry& entry);
  int GetDoor();
  int GetTimeoutValue(const char* key);  // "auto_dimmer", "eco_timeout", "menu_timeout"
  int32_t SetTimeoutValue(const char* key, int value);
  int GetDemo();
  int32_t SetDemo(bool enable);
  int32_t SetLanguage(int langId);
  int32_t Reload(int value);
  int32_t ResetTerminal(int terminal);
  int32_t ResetDoctors();
  int32_t ReadOk();
  int32_t ReadNok();
  int32_t GetLastImage();

 private:
  int32_t Attempt(const std::string& objectName, const std::string& body, std::string& answer);
  int32_t Post(const char* file, const std::string& body);  // PostRequest + MapAnswerCode

  std::wstring m_sHost;
  std::wstring m_sOriginHost;
  uint32_t m_nLastError = 0;
  uint16_t m_nPort = kHttpPortScanner;
  int32_t m_nReservationTime = 40;
  std::wstring m_sAgent = L"SDK-Orvaq v1.0.0";
  std::wstring m_sMac;
  uint32_t m_nConnectTimeoutMs = 1500;
  uint32_t m_nRequestTimeoutMs = 1500;
  std::unique_ptr<IHttpTransport> m_pTransport;
  std::function<void(uint32_t)> m_fnSleep;
};
