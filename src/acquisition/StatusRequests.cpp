// COrvaqController: the in-process requests HardwareInfos (status queries on the frame
// stack, listener re-creation, full reset), AdminAction (administration of a scanner
// through the main or a super-user client) and ServiceAction (the service console).
#include <cmath>
#include <cstdio>

#include "acquisition/OrvaqController.h"
#include "settings/KvAdapters.h"
#include "common/Text.h"
#include "logging/KvLogger.h"
#include "settings/KvTextFormat.h"

namespace {
bool IsNumericType(int type) {
  return (type >= kInfoAddressMode && type <= kInfoGateway) ||
         (type >= kInfoState && type <= kInfoWaitingImageTerminal) || type == kInfoStationFlags ||
         type == kInfoReservationMode;
}
bool IsMinusOneWhenMissing(int type) {
  return (type >= kInfoState && type <= kInfoWaitingImageTerminal) || type == kInfoStationFlags ||
         type == kInfoReservationMode;
}

bool IsMainPathCode(int code) {
  return code == kAdminDoctorList || code == kAdminBindScanner || code == kAdminDoctorTerminals ||
         code == kAdminCheckClock || (code >= kAdminGetDemo && code <= kAdminDoor) ||
         (code >= 1000 && code <= 1020) || (code >= 15999 && code <= 16060);
}

bool Success(int32_t code) { return code == 200 || code == 0; }

std::wstring Wide(const std::string& text) { return orvaq::FromLatin1(text); }

std::wstring Printf(const wchar_t* format, ...) {
  wchar_t buffer[512];
  va_list args;
  va_start(args, format);
  std::vswprintf(buffer, sizeof buffer / sizeof buffer[0], format, args);
  va_end(args);
  return buffer;
}

std::wstring OkOrError(int32_t code) { return Success(code) ? L"OK" : Printf(L"ERROR:%d", code); }

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int64_t SecondsOf(int year, int month, int day, int hour, int minute, int second) {
  if (month < 1 || month > 12) month = 1;
  if (day < 1 || day > 31) day = 1;
  return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
         static_cast<int64_t>(hour) * 3600 + minute * 60 + second;
}
}  // namespace

// ------------------------------------------------------------------ HardwareInfos

HardwareInfosResult COrvaqController::HardwareInfos(int type, const std::wstring* serialIn) {
  LogPrintf(L"HardwareInfos : %d sur %ls.", type, serialIn ? serialIn->c_str() : L"NULL");
  m_sHardwareInfosText.clear();
  if (!serialIn) return HardwareInfosNoSerial(type);

  std::wstring serial = *serialIn;
  if (serial == m_Settings.GetText(720)) serial = m_sScannerSerial;

  HardwareInfosResult result;
  result.isText = !IsNumericType(type);
  result.number = -1;
  const bool hadFrames = !m_SNDPFrames.Empty();
  m_SNDPFrames.AgeOut(m_Host.GetTickCount());
  if (hadFrames && m_SNDPFrames.Empty()) {
    LogPrintf(L"LUMEQ perdu : reset complet.");
    HardwareInfos(kHardwareRecreateListener, nullptr);
    m_sHardwareInfosText.clear();
    // The answer is the empty text; numeric readers see "not found".
    result.isText = true;
    return result;
  }
  SNDPFrame f;
  if (!FindNewestFrame(serial, f)) {
    LogPrintf(L"HardwareInfos not found : %ls.", serial.c_str());
    if (!IsMinusOneWhenMissing(type)) result.isText = true;
    return result;
  }
  int64_t number = 0;
  bool longLog = false;
  switch (type) {
    case kInfoSerial: m_sHardwareInfosText = SNDPSerialText(f); break;
    case kInfoAddressMode: number = f.addressMode; break;
    case kInfoIpAddress: number = f.ipAddress; longLog = true; break;
    case kInfoSubnetMask: number = f.subnetMask; longLog = true; break;
    case kInfoGateway: number = f.gateway; longLog = true; break;
    case kInfoMac: m_sHardwareInfosText = FormatSNDPMac(f); break;
    case kInfoFirmware: m_sHardwareInfosText = FormatSNDPFirmware(f); break;
    case kInfoFpga: m_sHardwareInfosText = FormatSNDPFpga(f); break;
    case kInfoState: number = f.state; break;
    case kInfoLastError: number = f.lastError; break;
    case kInfoFrameNumber: number = f.frameNumber; break;
    case kInfoRemainingTime: number = f.remainingTime; break;
    case kInfoStationMask: number = f.stationMask; break;
    case kInfoImagePort: number = f.imagePort; break;
    case kInfoResaTerminal: number = f.resaTerminal; break;
    case kInfoWaitingImageTerminal: number = f.waitingImageTerminal; break;
    case kInfoName: m_sHardwareInfosText = SNDPNameText(f); break;
    case kInfoStationFlags: number = f.stationFlags; break;
    case kInfoReservationMode: number = f.reservationMode; break;
    case kInfoIpText: m_sHardwareInfosText = FormatIPv4(f.ipAddress); break;
    case kInfoSubnetText: m_sHardwareInfosText = FormatIPv4(f.subnetMask); break;
    case kInfoGatewayText: m_sHardwareInfosText = FormatIPv4(f.gateway); break;
    default:
      LogPrintf(L"HardwareInfos valeur non reconnue");
      result.isText = true;
      return result;
  }
  if (result.isText) {
    LogPrintf(L"HardwareInfos return : %ls.", m_sHardwareInfosText.c_str());
    result.number = 0;
  } else {
    result.number = number;
    if (longLog)
      LogPrintf(L"HardwareInfos return : %ld.", static_cast<long>(static_cast<int32_t>(number)));
    else
      LogPrintf(L"HardwareInfos return : %d.", static_cast<int>(number));
  }
  return result;
}

HardwareInfosResult COrvaqController::HardwareInfosNoSerial(int type) {
  HardwareInfosResult result;
  switch (type) {
    case kHardwareSerialList:
      result.isText = true;
      for (const auto& record : m_SNDPFrames.Records()) {
        const std::wstring serial = SNDPSerialText(record.frame);
        if (m_sHardwareInfosText.find(serial) != std::wstring::npos) continue;
        if (!m_sHardwareInfosText.empty()) m_sHardwareInfosText += L";";
        m_sHardwareInfosText += serial;
      }
      return result;
    case kHardwareAdapterCheck: {
      int value = 0;
      if (m_Settings.AdapterName() != m_AdapterName || m_LocalIP.empty() || m_LocalMAC.empty()) {
        HardwareInfos(kHardwareRecreateListener, nullptr);
        value = 1;
      }
      LogPrintf(L"HardwareInfos return : %d.", value);
      result.number = value;
      return result;
    }
    case kHardwareLocalIP:
      result.isText = true;
      m_sHardwareInfosText = m_LocalIP;
      return result;
    case kHardwareLocalMAC:
      result.isText = true;
      m_sHardwareInfosText = m_LocalMAC;
      return result;
    case kHardwareRecreateListener:
      RecreateStatusListener();
      LogPrintf(L"HardwareInfos return : %d.", 1);
      result.number = 1;
      return result;
    case kHardwareFullReset:
      FullReset();
      result.number = 1;
      return result;
    default:
      LogPrintf(L"HardwareInfos valeur non reconnue");
      result.isText = true;
      return result;
  }
}

void COrvaqController::RecreateStatusListener() {
  SetScannerIndicator(255, 0);
  DestroyHttpClient();
  DestroyAllListeners();
  m_SNDPFrames.Clear();
  m_LocalIP.clear();
  m_LocalMAC.clear();

  m_AdapterName = m_Settings.AdapterName();
  m_TerminalNum = -1;
  m_TerminalResaNum = 0;
  m_bReserved = false;
  m_bScannerOnGui = false;
  m_nTerminalColor = -1;
  m_sScannerSerial.clear();
  StopTimer(TIMER_WATCHDOG);

  std::wstring addresses, mac;
  if (m_Host.LookupAdapter(m_AdapterName, addresses, mac)) {
    m_LocalMAC = mac;
    m_LocalIP = ChooseLocalAddress(addresses, m_Settings.AdapterIPAddress());
  }

  m_pSNDPListener = m_Host.CreateStatusListener(m_LocalIP);
  if (!m_pSNDPListener) {
    LogPrintf(L"HardwareInfos erreur : m_pSNDPListener == NULL.");
    return;
  }
  if (m_pSNDPListener->StartListening()) {
    ArmTimer(TIMER_CONTROL, kControlPeriodMs);
    return;
  }
  const uint32_t error = m_pSNDPListener->LastError();
  m_nLastHttpStatus = static_cast<int32_t>(error);
  DestroyAllListeners();
  const std::wstring text = FormatText(606, {std::to_wstring(error), m_Host.SystemErrorText(error)});
  LogPrintf(L"HardwareInfos show : %ls.", text.c_str());
}

void COrvaqController::FullReset() {
  LogPrintf(L"HardwareInfos return : Full reset %d.", 1);
  StopTimer(TIMER_MONO_RELOAD);
  StopTimer(TIMER_IDENTIFY);
  StopTimer(TIMER_CONTROL);
  StopTimer(TIMER_WATCHDOG);
  StopTimer(TIMER_LAST_IMAGE);
  // Nothing is said to the scanner: the objects are only deleted.
  m_pImageClient.reset();
  m_bRawFileAccepted = false;
  m_pHTTPClient.reset();
  m_pSNDPListener.reset();
  m_SNDPFrames.Clear();

  m_bInSettings = false;
  m_sScannerSerial.clear();
  m_AdapterName.clear();
  m_LocalIP.clear();
  m_LocalMAC.clear();
  m_TerminalNum = -1;
  m_TerminalResaNum = 0;
  m_nTerminalColor = -1;
  m_bReserved = false;
  m_bScannerOnGui = false;
  m_nBatchReadsLeft = 0;
  m_bReadLastImage = false;
  m_bPatternMode = false;
  m_bImageInMemoryRead = false;
  m_bPatternRead = false;
  m_bBlockedImagePrompted = false;
  m_bTransferInProgress = false;
  m_TickReservation = 0;
  m_Host.PostHardwareInfos(kHardwareAdapterCheck);
}

// ------------------------------------------------------------------ clients

bool COrvaqController::IsSimulatorName(const std::wstring& name) {
  return orvaq::EqualsNoCase(name, L"s" + m_Settings.LUMEQ2Name());
}

std::unique_ptr<CHttpClient> COrvaqController::NewConfiguredClient(const std::wstring& host,
                                                                   const std::wstring& mac,
                                                                   bool simulator) {
  std::unique_ptr<CHttpClient> client = m_Host.CreateHttpClient(host, m_LocalIP, mac);
  if (!client) return client;
  HttpClientConfig config;
  config.httpTimeoutMs = static_cast<uint32_t>(m_Settings.HTTPTimeOut());
  config.agent = m_Settings.HttpAgent();
  config.simulator = simulator;
  client->Configure(config);
  return client;
}

// ------------------------------------------------------------------ AdminAction

const std::wstring& COrvaqController::AdminAction(int code, const std::wstring& serialIn) {
  const std::wstring serial = serialIn;  // the action may empty the member it came from
  LogPrintf(L"AdminAction : %d sur %ls.", code, serial.c_str());
  m_sAdminActionText.clear();

  if (InfoFor(kInfoState, serial) <= 0) return m_sAdminActionText;
  const std::wstring address = InfoText(kInfoIpText, serial);
  const std::wstring name = InfoText(kInfoName, serial);

  std::unique_ptr<CHttpClient> temporary;
  CHttpClient* client = nullptr;
  bool superReserved = false;
  int32_t startCode = 0;
  std::wstring result;
  if (orvaq::EqualsNoCase(serial, m_sScannerSerial) && IsMainPathCode(code)) {
    if (m_pHTTPClient) {
      client = m_pHTTPClient.get();
      LogPrintf(L"AdminAction sur client http principale.");
    } else {
      temporary = NewConfiguredClient(address, m_LocalMAC, IsSimulatorName(name));
      client = temporary.get();
      LogPrintf(L"AdminAction sur client http local : %ls - %ls - %ls.", address.c_str(), m_LocalIP.c_str(),
                m_LocalMAC.c_str());
    }
    if (client) {
      DoctorEntry entry;
      startCode = client->GetDoctor(1, entry);
    }
  } else {
    temporary = NewConfiguredClient(address, kSuperUserMac, IsSimulatorName(name));
    client = temporary.get();
    startCode = client ? client->SuperReserve(L"Control", L"Admin") : -1;
    LogPrintf(L"AdminAction sur client http local ADMIN : %ls - %ls.", address.c_str(), m_LocalIP.c_str());
    if (!Success(startCode)) {
      m_sAdminActionText = L"NOTOK";
      temporary.reset();
      LogPrintf(L"AdminAction return : %ls.", m_sAdminActionText.c_str());
      return m_sAdminActionText;
    }
    superReserved = true;
  }

  if (client) result = RunAdminCode(code, serial, *client, startCode);
  // kAdminBindScanner may have deleted the main client: `client` is not used past here
  // except through `temporary`, which the action never deletes.
  if (superReserved && code != kAdminResetDoctors && temporary) temporary->SuperUnreserve();
  temporary.reset();
  m_sAdminActionText = result;
  LogPrintf(L"AdminAction return : %ls.", m_sAdminActionText.c_str());
  return m_sAdminActionText;
}

std::wstring COrvaqController::RunAdminCode(int code, const std::wstring& serial, CHttpClient& client,
                                            int32_t startCode) {
  auto doctorList = [&](int which) -> std::wstring {
    // which: the code asked, full lines, terms or macs.
    if (!Success(startCode)) return L"";
    std::wstring text;
    if (which == kAdminDoctorList)
      text = Printf(L"%d;%d;%d", static_cast<int>(InfoFor(kInfoStationMask, serial)),
                    static_cast<int>(InfoFor(kInfoResaTerminal, serial)),
                    static_cast<int>(InfoFor(kInfoWaitingImageTerminal, serial)));
    for (int doctor = 1; doctor <= 10; ++doctor) {
      DoctorEntry entry;
      if (!Success(client.GetDoctor(doctor, entry))) return L"NOTOK";
      if (which == kAdminDoctorList) {
        text += Printf(L"\n%d;%d;%d;", doctor, entry.term, entry.color) + Wide(entry.mac);
      } else if (entry.term != 0) {
        if (!text.empty()) text += L";";
        text += which == kAdminDoctorTerminals ? std::to_wstring(entry.term) : Wide(entry.mac);
      }
    }
    return text;
  };
  auto setClockNow = [&]() {
    const AcqLocalTime t = m_Host.LocalTime();
    return client.SetClock(t.hour, t.minute, t.second, t.day, t.month, t.year);
  };

  if (code == kAdminSetClock) return OkOrError(setClockNow());
  if (code == kAdminDoctorList || code == kAdminDoctorTerminals || code == kAdminDoctorMacs)
    return doctorList(code);
  if (code == kAdminBindScanner) {
    DestroyHttpClient();
    DestroyImageListener();
    m_Settings.SetLUMEQ2Serial(serial);
    return L"OK";
  }
  if (code == kAdminResetDoctors) {
    DestroyHttpClient();
    DestroyImageListener();
    client.ResetDoctors();
    return L"OK";
  }
  if (code == kAdminCheckClock) {
    const std::string text = client.GetTime();
    int hour, minute, second, day, month, year;
    if (text.size() != 19 ||
        std::sscanf(text.c_str(), "%d:%d:%d %d.%d.%d", &hour, &minute, &second, &day, &month, &year) != 6)
      return L"";
    const AcqLocalTime now = m_Host.LocalTime();
    const double minutes =
        static_cast<double>(SecondsOf(year, month, day, hour, minute, second) -
                            SecondsOf(now.year, now.month, now.day, now.hour, now.minute, now.second)) /
        60.0;
    const long long rounded = static_cast<long long>(minutes + (minutes < 0 ? -0.5 : 0.5));
    if (std::llabs(rounded) <= 28) return L"";
    return OkOrError(setClockNow());
  }
  if (code == kAdminResetToMono) {
    client.SetReservationMode(false);
    DestroyHttpClient();
    DestroyImageListener();
    client.ResetDoctors();
    m_Settings.SetStationNumber(1);
    HardwareInfos(kHardwareRecreateListener, nullptr);
    return L"OK";
  }
  if (code == kAdminMultiStation) {
    client.SetReservationMode(true);
    return L"OK";
  }
  if (code == kAdminGetReservationMode) return Printf(L"%d", client.GetReservationMode());
  if (code == kAdminGetDemo) return Printf(L"%d", client.GetDemo());
  if (code == kAdminDemoOn || code == kAdminDemoOff) {
    client.SetDemo(code == kAdminDemoOn);
    return L"OK";
  }
  if (code == kAdminReadOk || code == kAdminReadOkAlt) {
    const int32_t status = client.ReadOk();
    // The restarted file opens with its header and "Reset du log suite à un read_ok.".
    if (m_Settings.LoggerType() == 2) m_Host.RestartLogFile();
    return Success(status) ? L"OK" : L"";
  }
  if (code == kAdminImageInfo) {
    ImageInfo info;
    if (client.GetImageInfo(info) != 200) return L"";
    return Printf(L"%d;%d;", info.term, info.color) + info.doctor + L";" + info.patient +
           Printf(L";%d;%d", info.nbLine, info.lineSize);
  }
  if (code == kAdminReadNok) return client.ReadNok() == 200 ? L"OK" : L"";
  if (code == kAdminDoor) return Printf(L"%d", client.GetDoor());
  if (code >= 1001 && code <= 1010) {
    DoctorEntry entry;
    if (!Success(client.GetDoctor(code - 1000, entry))) return L"";
    return Printf(L"%d;%d;%d;", code - 1000, entry.term, entry.color) + Wide(entry.mac);
  }
  if (code >= 1021 && code <= 1030) return OkOrError(client.ResetTerminal(code - 1020));
  if (code >= 1041 && code <= 1050) {
    DestroyHttpClient();
    DestroyImageListener();
    const int32_t status = client.ResetTerminal(code - 1040);
    if (!Success(status)) return Printf(L"ERROR:%d", status);
    m_Settings.SetStationNumber(code - 1040);
    m_Settings.SetLUMEQ2Serial(serial);
    return L"OK";
  }
  if (code >= 1060 && code <= 1062) {
    if (code == 1060) client.SetScreenReservation(true);
    if (code == 1061) client.SetTerminalReservation(true);
    if (code == 1062) client.SetColorReservation(true);
    return L"";
  }
  if (code >= 2060 && code <= 2062) {
    if (code == 2060) client.SetScreenReservation(false);
    if (code == 2061) client.SetTerminalReservation(false);
    if (code == 2062) client.SetColorReservation(false);
    return L"";
  }
  if (code >= 1070 && code <= 1090) {
    const int v = code - 1070;
    client.SetTerminalReservation((v & 1) != 0);
    client.SetColorReservation((v & 2) != 0);
    client.SetScreenReservation((v & 4) != 0);
    return L"OK";
  }
  if (code == 9999) return Printf(L"%d", client.GetTimeoutValue("menu_timeout"));
  if (code >= 10000 && code <= 13600) return OkOrError(client.SetTimeoutValue("menu_timeout", code - 10000));
  if (code == 14999) return Printf(L"%d", client.GetTimeoutValue("auto_dimmer"));
  if (code >= 15000 && code <= 15300) return OkOrError(client.SetTimeoutValue("auto_dimmer", code - 15000));
  if (code == 15999) return Printf(L"%d", client.GetTimeoutValue("eco_timeout"));
  if (code >= 16000 && code <= 16060) return OkOrError(client.SetTimeoutValue("eco_timeout", code - 16000));
  return L"";
}

// ------------------------------------------------------------------ ServiceAction

int32_t COrvaqController::ServiceAction(const std::wstring& command, std::wstring& answer) {
  LogPrintf(L"ServiceAction : %ls.", command.c_str());
  answer.clear();
  const std::wstring serial = m_sScannerSerial;
  const std::wstring address = InfoText(kInfoIpText, serial);
  const std::wstring name = InfoText(kInfoName, serial);
  std::unique_ptr<CHttpClient> client = NewConfiguredClient(address, kSuperUserMac, IsSimulatorName(name));
  const int32_t reservation = client ? client->SuperReserve(L"Control", L"Admin") : -1;
  if (!Success(reservation)) {
    answer = m_Settings.GetText(10000 + reservation);
    return reservation;
  }
  std::string text;
  const int32_t code = client->HTTPTestRequest(kDeviceFilePrm, command, text);
  answer = Wide(text);
  client->SuperUnreserve();
  client.reset();
  LogPrintf(L"ServiceAction return : %ls.", answer.c_str());
  return code;
}
