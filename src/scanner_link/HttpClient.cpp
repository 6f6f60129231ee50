// CHttpClient: attempt decisions, retry rule and the command operations (see HttpClient.h).
#include "scanner_link/HttpClient.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "common/Text.h"
#include "logging/KvLogger.h"

std::wstring FormatHttpAgent(const std::wstring& text1000, int major, int minor, int build) {
  char version[64];
  std::snprintf(version, sizeof version, " [%d.%d.%d]", major, minor, build);
  return text1000 + orvaq::FromLatin1(version);
}

CHttpClient::CHttpClient(const std::wstring& host, const std::wstring& originHost,
                         const std::wstring& mac, std::unique_ptr<IHttpTransport> transport)
    : m_sHost(host), m_sOriginHost(originHost), m_sMac(mac), m_pTransport(std::move(transport)) {
  m_fnSleep = [](uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
}

CHttpClient::~CHttpClient() = default;

void CHttpClient::Configure(const HttpClientConfig& config) {
  m_nConnectTimeoutMs = config.httpTimeoutMs;
  m_nRequestTimeoutMs = config.httpTimeoutMs;
  m_sAgent = config.agent;
  if (config.simulator) m_nPort = kHttpPortSimulator;
}

int32_t CHttpClient::Attempt(const std::string& objectName, const std::string& body,
                             std::string& answer) {
  HttpAttemptParams p;
  p.host = m_sHost;
  p.port = m_nPort;
  p.agent = m_sAgent;
  p.objectName = orvaq::FromLatin1(objectName);
  if (!m_sOriginHost.empty()) p.referrer = L"http://" + m_sOriginHost;
  p.body = body;
  p.connectTimeoutMs = m_nConnectTimeoutMs;
  p.requestTimeoutMs = m_nRequestTimeoutMs;

  if (!m_pTransport || !m_pTransport->Open(p, m_nLastError)) {
    LogLine("InternetOpen return NULL.");
    if (m_pTransport) m_pTransport->Close();
    return -1;
  }
  // The status stays 1 when it cannot be read: nothing was sent or nothing came back.
  uint32_t status = 1;
  int32_t result = 1;
  if (m_pTransport->Send(status, m_nLastError)) result = status == 0 ? 50 : static_cast<int32_t>(status);
  if (result >= 100) {
    answer.clear();
    std::string text;
    switch (m_pTransport->Read(text, m_nLastError)) {
      case HttpReadOutcome::Ok: break;
      case HttpReadOutcome::Failed: result = 50; break;
      case HttpReadOutcome::WaitFailed: result = 54; break;
    }
    if (text.size() > kHttpReadLimit) text.resize(kHttpReadLimit);
    if (result >= 100) answer += text;
  }
  m_pTransport->Close();
  return result;
}

int32_t CHttpClient::PostRequest(const std::string& objectName, const std::string& body,
                                 std::string& answer) {
  int32_t result = Attempt(objectName, body, answer);
  if (result == 50) return result;  // only the first attempt's 50 ends the request at once
  if (HttpResultWantsRetry(result)) {
    m_fnSleep(250);
    result = Attempt(objectName, body, answer);
  }
  if (HttpResultWantsRetry(result)) {
    m_fnSleep(500);
    result = Attempt(objectName, body, answer);
  }
  return result;
}

int32_t CHttpClient::Post(const char* file, const std::string& body) {
  std::string answer;
  return MapAnswerCode(PostRequest(file, body, answer), answer);
}

int32_t CHttpClient::SendCommand(const std::string& text) { return Post(kDeviceFilePrm, text); }

int32_t CHttpClient::QueryValue(const std::string& key, std::string& answer) {
  return MapAnswerCode(PostRequest(kDeviceFilePrm, key, answer), answer);
}

int32_t CHttpClient::QueryFormatted(const char* format, int number, std::string& answer) {
  return QueryValue(FormatBody(format, number), answer);
}

int32_t CHttpClient::SendFormatted(const char* format, int argument) {
  return SendCommand(FormatBody(format, argument));
}

int32_t CHttpClient::HTTPTestRequest(const std::string& objectName, const std::wstring& text,
                                     std::string& answer) {
  return PostRequest(objectName, ToBodyText(text), answer);
}

int32_t CHttpClient::Identify(int term, int color, const std::wstring& doctor,
                              const std::wstring& patient) {
  return Post(kDeviceFileId, IdentifyPayload(m_sMac, term, color, doctor, patient));
}

int32_t CHttpClient::WithdrawIdentification(int term, int color) {
  return Post(kDeviceFileId, WithdrawIdentificationPayload(m_sMac, term, color));
}

int32_t CHttpClient::ReserveScanner(int level, int term, int color, int mode,
                                    const std::wstring& doctor, const std::wstring& patient) {
  return Post(kDeviceFileRes,
              ReservationPayload(m_sMac, m_nReservationTime, level, term, color, mode, doctor, patient));
}

int32_t CHttpClient::CancelReservation(int term, int color) {
  return Post(kDeviceFileRes, CancelReservationPayload(m_sMac, m_nReservationTime, term, color));
}

int32_t CHttpClient::RetrieveReserve(int mode) {
  return Post(kDeviceFileRes, RetrieveReservePayload(m_nReservationTime, mode));
}

int32_t CHttpClient::SuperReserve(const std::wstring& doctor, const std::wstring& patient) {
  return Post(kDeviceFileRes, SuperReservePayload(m_nReservationTime, doctor, patient));
}

int32_t CHttpClient::SuperUnreserve() {
  return Post(kDeviceFileRes, SuperUnreservePayload(m_nReservationTime));
}

int32_t CHttpClient::SetImageMode(int mode) {
  // Debug is the only image mode the workstation ever asks for.
  (void)mode;
  return SendCommand("image_mode=debug");
}

int32_t CHttpClient::SetReservationMode(bool multi) {
  return SendCommand(multi ? "reservation_mode=multi" : "reservation_mode=mono");
}

int CHttpClient::GetReservationMode() {
  std::string answer;
  const int32_t code = QueryValue("reservation_mode", answer);
  return ReadReservationMode(code, answer);
}

int32_t CHttpClient::GetImageInfo(ImageInfo& info) {
  std::string answer;
  const int32_t code = QueryValue("image_info", answer);
  return ReadImageInfo(code, answer, info);
}

int32_t CHttpClient::SetScreenReservation(bool on) {
  return SendCommand(on ? "screen_reservation=on" : "screen_reservation=off");
}
int32_t CHttpClient::SetTerminalReservation(bool on) {
  return SendCommand(on ? "terminal_reservation=on" : "terminal_reservation=off");
}
int32_t CHttpClient::SetColorReservation(bool on) {
  return SendCommand(on ? "color_reservation=on" : "color_reservation=off");
}

int32_t CHttpClient::SetClock(int hour, int minute, int second, int day, int month, int year) {
  return SendCommand(SetClockCommand(hour, minute, second, day, month, year));
}

std::string CHttpClient::GetTime() {
  std::string answer;
  const int32_t code = QueryValue("time", answer);
  return ReadTimeText(code, answer);
}

int32_t CHttpClient::GetDoctor(int doctor, DoctorEntry& entry) {
  std::string answer;
  const int32_t code = QueryValue(GetDoctorQuery(doctor), answer);
  return ReadDoctorEntry(code, answer, entry);
}

int CHttpClient::GetDoor() {
  std::string answer;
  const int32_t code = QueryValue("door", answer);
  return ReadDoorState(code, answer);
}

int CHttpClient::GetTimeoutValue(const char* key) {
  std::string answer;
  const int32_t code = QueryValue(key, answer);
  return ReadTimeoutValue(code, answer);
}

int32_t CHttpClient::SetTimeoutValue(const char* key, int value) {
  return SendCommand(SetValueCommand(key, value));
}

int CHttpClient::GetDemo() {
  std::string answer;
  const int32_t code = QueryValue("demo", answer);
  return ReadDemo(code, answer);
}

int32_t CHttpClient::SetDemo(bool enable) { return SendCommand(enable ? "demo=enable" : "demo=disable"); }
int32_t CHttpClient::SetLanguage(int langId) { return SendCommand(LanguageCommand(langId)); }
int32_t CHttpClient::Reload(int value) { return SendCommand(ReloadCommand(value)); }
int32_t CHttpClient::ResetTerminal(int terminal) { return SendCommand(ResetTerminalCommand(terminal)); }
int32_t CHttpClient::ResetDoctors() { return SendCommand("reset_doctors"); }
int32_t CHttpClient::ReadOk() { return SendCommand("read_ok"); }
int32_t CHttpClient::ReadNok() { return SendCommand("read_nok"); }
int32_t CHttpClient::GetLastImage() { return SendCommand("image_read"); }
