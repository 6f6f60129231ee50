// COrvaqController: status frames and linking, reservation ladder, timers, tear-down.
// The in-process requests are in StatusRequests.cpp, the image transfer and the raw-file
// check in ImageTransfer.cpp.
#include "acquisition/OrvaqController.h"

#include <cstdlib>

#include "common/Text.h"
#include "logging/KvLogger.h"
#include "settings/KvTextFormat.h"

namespace {
constexpr uint32_t kCleanupGraceMs = 4000;
constexpr int kMonoReservationTime = 40;

const char* YesNoPtr(const void* p) { return p ? "OK" : "KO"; }

int TextToInt(const std::wstring& text) { return static_cast<int>(std::wcstol(text.c_str(), nullptr, 10)); }

}  // namespace

COrvaqController::COrvaqController(IAcquisitionHost& host, IAcqSettings& settings)
    : m_Host(host), m_Settings(settings) {}

COrvaqController::~COrvaqController() = default;

// ------------------------------------------------------------------ helpers

std::wstring COrvaqController::DoctorOrDefault() {
  const std::wstring name = m_Settings.DoctorName();
  return name.empty() ? L"No doctor name" : name;
}

std::wstring COrvaqController::PatientOrDefault() {
  const std::wstring name = m_Settings.PatientName();
  return name.empty() ? L"No patient name" : name;
}

std::wstring COrvaqController::FormatText(int id, const std::vector<std::wstring>& args) {
  std::vector<CKvTextArg> list;
  for (const auto& a : args) list.emplace_back(a);
  return ::FormatText(m_Settings.GetText(id), list);
}

uint32_t& COrvaqController::TimerMember(uint32_t id) {
  switch (id) {
    case TIMER_IDENTIFY: return m_nTimerIdentify;
    case TIMER_CONTROL: return m_nTimerControl;
    case TIMER_MONO_RELOAD: return m_nTimerMonoReload;
    case TIMER_LAST_IMAGE: return m_nTimerLastImage;
    case TIMER_FOLDER_WATCH: return m_nTimerFolderWatch;
    case TIMER_WATCHDOG: return m_nTimerWatchdog;
    case TIMER_T4: return m_nTimerT4;
    default: return m_nUnknownTimer;
  }
}

void COrvaqController::ArmTimer(uint32_t id, uint32_t periodMs) {
  m_Host.SetTimer(id, periodMs);
  TimerMember(id) = id;
}

void COrvaqController::StopTimer(uint32_t id) {
  uint32_t& member = TimerMember(id);
  if (member != 0) m_Host.KillTimer(id);
  member = 0;
}

bool COrvaqController::IsTimerArmed(uint32_t id) const {
  return const_cast<COrvaqController*>(this)->TimerMember(id) != 0;
}

int64_t COrvaqController::Info(int type) { return InfoFor(type, m_sScannerSerial); }

int64_t COrvaqController::InfoFor(int type, const std::wstring& serial) {
  const std::wstring copy = serial;  // the request may empty the member it came from
  return HardwareInfos(type, &copy).number;
}

std::wstring COrvaqController::InfoText(int type, const std::wstring& serial) {
  const std::wstring copy = serial;
  HardwareInfos(type, &copy);
  return m_sHardwareInfosText;
}

// ------------------------------------------------------------------ status view

SControllerStatus COrvaqController::Status() const {
  SControllerStatus s;
  s.ledReady = m_bLedReady;
  s.ledReserved = m_bLedReserved;
  s.ledReceiving = m_bLedReceiving;
  s.ledError = m_bLedError;
  s.reserved = m_bReserved;
  s.scannerOnGui = m_bScannerOnGui;
  s.terminalNum = m_TerminalNum;
  s.terminalResaNum = m_TerminalResaNum;
  s.terminalColor = m_nTerminalColor;
  s.scannerSerial = m_sScannerSerial;
  s.inSettings = m_bInSettings;
  s.transferInProgress = m_bTransferInProgress;
  s.readLastImage = m_bReadLastImage;
  s.patternMode = m_bPatternMode;
  s.imageInMemoryRead = m_bImageInMemoryRead;
  s.patternRead = m_bPatternRead;
  s.blockedImagePrompted = m_bBlockedImagePrompted;
  s.t4Mode = m_bT4Mode;
  s.batchReadsLeft = m_nBatchReadsLeft;
  s.lastHttpStatus = m_nLastHttpStatus;
  s.lastImageRetries = m_nLastImageRetries;
  s.tickReservation = m_TickReservation;
  s.frameMaxAge = m_SNDPFrames.MaxAge();
  s.adapterName = m_AdapterName;
  s.localIP = m_LocalIP;
  s.localMAC = m_LocalMAC;
  s.hasStatusListener = m_pSNDPListener != nullptr;
  s.hasHttpClient = m_pHTTPClient != nullptr;
  s.hasImageClient = m_pImageClient != nullptr;
  return s;
}

bool COrvaqController::ClearReceivingLed() {
  if (!m_bLedReceiving) return false;
  m_bLedReceiving = false;
  return true;
}

// ------------------------------------------------------------------ frame stack

bool COrvaqController::FindNewestFrame(const std::wstring& serial, SNDPFrame& frame) {
  return m_SNDPFrames.FindNewestFrame(serial, m_Host.GetTickCount(), frame);
}

// ------------------------------------------------------------------ status frames

void COrvaqController::OnSNDPFrame() {
  LogPrintf(L"Réception d'une trame SNDP.");
  if (!m_pSNDPListener) {
    LogPrintf(L"Evénement SNDP sans listener valide.");
    m_Host.PostHardwareInfos(kHardwareFullReset);
    return;
  }
  uint8_t buffer[kSNDPFrameSize] = {};
  size_t received = 0;
  uint32_t error = 0, source = 0;
  if (!m_pSNDPListener->Receive(buffer, sizeof buffer, received, source, error)) {
    const std::wstring message =
        FormatText(603, {std::to_wstring(error), m_Host.SystemErrorText(error)});
    LogPrintf(L"Erreur de réception d'une trame SNDP.");
    LogPrintf(L"%ls", message.c_str());
    return;
  }
  SNDPAcceptSettings rules;
  rules.scannerName = m_Settings.LUMEQ2Name();
  rules.simulated = m_Settings.LUMEQ2Simulated();
  rules.serialFilter = m_Settings.LUMEQ2FiltreSerial();
  const SNDPAcceptResult accept = AcceptSNDPDatagram(buffer, received, rules);
  // The link to the simulator is logged even for a frame the serial rule then refuses.
  if (accept.simulator) LogPrintf(L"LIAISON avec le SIMULATEUR.");
  if (!accept.accepted) return;
  const SNDPFrame& frame = accept.frame;

  m_SNDPFrames.SetMaxAge(kSNDPFrameMaxAgeDefault);
  m_SNDPFrames.TrimForNewFrame();
  const uint32_t now = m_Host.GetTickCount();
  m_SNDPFrames.AgeOut(now);

  m_SNDPFrames.Push(frame, now, source);
  LogPrintf(L"Ajout d'une trame SNDP sur la pile : %d - status : %d.", frame.frameNumber, frame.state);

  if (m_bHeldReservationBusy) return;

  if (m_sScannerSerial.empty() && m_nTimerWatchdog == 0) {
    if (!LinkScanner(frame, accept.simulator)) return;
  }
  FollowScanner(frame);
}

bool COrvaqController::LinkScanner(const SNDPFrame& frame, bool simulator) {
  LogPrintf(L"Pas de LUMEQ lié au module.");
  m_TerminalResaNum = 0;
  const std::wstring serial = SNDPSerialText(frame);
  if (!orvaq::EqualsNoCase(m_Settings.LUMEQ2Serial(), serial)) return true;
  m_sScannerSerial = serial;

  LogPrintf(L"Nouvelle connexion à un LUMEQ : %ls.", serial.c_str());
  DestroyHttpClient();

  const std::wstring address = FormatIPv4(frame.ipAddress);
  LogPrintf(L"Nouvelle interface HTTP sur : %ls (%ls - %ls).", address.c_str(), m_LocalIP.c_str(),
            m_LocalMAC.c_str());
  if (m_LocalIP.empty() || m_LocalMAC.empty()) {
    m_Host.PostHardwareInfos(kHardwareAdapterCheck);
    return false;
  }

  m_pHTTPClient = NewConfiguredClient(address, m_LocalMAC, simulator);
  if (!m_pHTTPClient) {
    LogPrintf(L"Echec lors de la création de la couche HTTP.");
    return true;
  }

  m_nTerminalColor = m_Settings.LUMEQ2Color() + 1;
  m_TerminalNum = m_Settings.StationNumber();
  if (m_TerminalNum < 1 || m_TerminalNum > 10) {
    LogPrintf(L"Numéro de station nom configuré.");
    m_TerminalNum = -1;
    m_nTerminalColor = -1;
    DestroyHttpClient();
    m_sScannerSerial.clear();
    return true;
  }

  if (Info(kInfoResaTerminal) == m_TerminalNum) {
    m_bHeldReservationBusy = true;
    const std::wstring door = AdminAction(kAdminDoor, m_sScannerSerial);
    LogPrintf(L"Le LUMEQ est déjà réservé par nous-même.");
    m_TerminalNum = -1;
    m_nTerminalColor = -1;
    DestroyHttpClient();
    if (TextToInt(door) == 0) {
      m_sScannerSerial.clear();
      m_Host.ShowMessageBox(625, m_Settings.GetText(625), orvaq::mb::kOk | orvaq::mb::kIconWarning);
    } else {
      std::wstring answer;
      ServiceAction(L"get_doctor=01", answer);
      m_sScannerSerial.clear();
    }
    m_bHeldReservationBusy = false;
    return false;
  }

  const std::wstring doctor = DoctorOrDefault();
  const std::wstring patient = PatientOrDefault();
  LogPrintf(L"Identification sur le LUMEQ : %d - %d (%ls - %ls).", m_TerminalNum, m_nTerminalColor,
            doctor.c_str(), patient.c_str());
  m_nLastHttpStatus = m_pHTTPClient->Identify(m_TerminalNum, m_nTerminalColor, doctor, patient);

  if (m_nLastHttpStatus == 200) {
    if (!m_bClockChecked) {
      m_bClockChecked = true;
      AdminAction(kAdminCheckClock, std::wstring(m_sScannerSerial));
    }
    LogPrintf(L"Acquisition en mode démo ou non.");
    if (m_Settings.DemoMode()) AdminAction(kAdminDemoOn, std::wstring(m_sScannerSerial));
    ArmTimer(TIMER_IDENTIFY, kIdentifyPeriodMs);
    m_Host.ShowReservationButton(frame.reservationMode != 0);
  } else {
    LogPrintf(L"Echec lors de l'identification.");
    m_sScannerSerial.clear();
    SetScannerIndicator(255, 0);
    m_TerminalNum = -1;
    m_nTerminalColor = -1;
    DestroyHttpClient();
  }
  return true;
}

void COrvaqController::FollowScanner(const SNDPFrame& frame) {
  if (m_bInSettings || m_nTimerWatchdog != 0) return;
  if (m_sScannerSerial.empty() || !orvaq::EqualsNoCase(SNDPSerialText(frame), m_sScannerSerial)) return;

  LogPrintf(L"La trame SNDP concerne le LUMEQ courant.");
  SetScannerIndicator(frame.lastError, frame.state);

  const bool onGui = frame.state == SNDP_STATE_ON_GUI;
  if (frame.resaTerminal != m_TerminalResaNum || m_bScannerOnGui != onGui) {
    m_bScannerOnGui = onGui;
    m_TerminalResaNum = frame.resaTerminal;
    m_Host.Repaint();
  }

  if (m_TerminalResaNum != m_TerminalNum && m_pImageClient) {
    const uint32_t now = m_Host.GetTickCount();
    if (m_TickReservation == 0 || now - m_TickReservation > kCleanupGraceMs) {
      LogPrintf(L"Nettoyage car : m_TerminalResaNum %d/%d m_pImageClient %X m_TickReservation %d/%d.",
                m_TerminalResaNum, m_TerminalNum,
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(m_pImageClient.get())),
                static_cast<int>(m_TickReservation), static_cast<int>(now));
      if (m_bReserved) {
        LogPrintf(L"Déréservation lors du nettoyage.");
        if (m_pHTTPClient) m_pHTTPClient->CancelReservation(m_TerminalNum, m_nTerminalColor);
      }
      m_bReserved = false;
      DestroyImageListener();
    }
  }

  if (frame.waitingImageTerminal == 0) m_bBlockedImagePrompted = false;

  if (!m_bReserved && !m_bScannerOnGui && !m_bReadLastImage && !m_bBlockedImagePrompted &&
      frame.waitingImageTerminal == m_TerminalNum && frame.resaTerminal == 0) {
    LogPrintf(L"Une image bloquée en attente.");
    const std::wstring info = AdminAction(kAdminImageInfo, std::wstring(m_sScannerSerial));
    if (info.empty()) {
      m_Host.Beep();
    } else {
      const std::vector<std::wstring> fields = orvaq::SplitText(info, L';');
      const std::wstring terminal = std::to_wstring(TextToInt(fields[0]));
      const std::wstring doctor = fields.size() > 2 ? fields[2] : std::wstring();
      const std::wstring patient = fields.size() > 3 ? fields[3] : std::wstring();
      const std::wstring question = FormatText(840, {terminal, doctor, patient});
      m_bBlockedImagePrompted = true;
      if (m_Host.ShowMessageBox(840, question, orvaq::mb::kOkCancel | orvaq::mb::kIconInformation) == orvaq::mb::kIdOk)
        m_bReadLastImage = true;
    }
  }

  if (frame.waitingImageTerminal != 0 && frame.waitingImageTerminal != m_TerminalNum) {
    const bool any = m_bLedReady || m_bLedReserved || m_bLedReceiving || m_bLedError;
    m_bLedReady = m_bLedReserved = m_bLedReceiving = m_bLedError = false;
    if (any) m_Host.Repaint();
  }

  if (!m_bReserved && !m_bScannerOnGui && frame.autoResaTerminal == m_TerminalNum &&
      frame.resaTerminal == 0 && !m_pImageClient) {
    LogPrintf(L"Auto réservation sur demande SNDP.");
    if (Reserve(0)) StartImageListenerAfterReservation();
  }
}

void COrvaqController::StartImageListenerAfterReservation() {
  const int64_t port = Info(kInfoImagePort);
  if (port < 1) return;
  if (!CreateAndStartImageListener()) return;
  m_TickReservation = m_Host.GetTickCount();
}

// Creates and starts the image listener on the bound scanner's image port. On failure
// nothing is left half made: the listener is dropped and a full reset is posted, so the
// station is never left reserved without a way to receive the image.
bool COrvaqController::CreateAndStartImageListener() {
  const int64_t port = Info(kInfoImagePort);
  if (port >= 1 && port <= 0xFFFF) {
    m_pImageClient = m_Host.CreateImageClient(static_cast<uint16_t>(port));
    if (m_pImageClient && m_pImageClient->Listen()) return true;
  }
  m_pImageClient.reset();
  m_Host.PostHardwareInfos(kHardwareFullReset);
  return false;
}

// ------------------------------------------------------------------ indicator

void COrvaqController::SetScannerIndicator(uint8_t lastError, uint8_t state) {
  const bool before[4] = {m_bLedReady, m_bLedReserved, m_bLedReceiving, m_bLedError};
  bool always = false;
  if (lastError != 0) {
    m_bLedReady = m_bLedReserved = m_bLedReceiving = false;
    m_bLedError = true;
  } else {
    switch (state) {
      case 0:
        m_bLedReady = !m_bLedReady;
        m_bLedReserved = m_bLedReceiving = m_bLedError = false;
        always = true;
        break;
      case 1:
        m_bLedReady = true;
        m_bLedReserved = m_bLedReceiving = m_bLedError = false;
        break;
      case 2:
        m_bLedReady = m_bLedReserved = true;
        m_bLedReceiving = m_bLedError = false;
        break;
      case 3:
        m_bLedReady = m_bLedReserved = m_bLedReceiving = m_bLedError = false;
        break;
      default:
        return;
    }
  }
  const bool after[4] = {m_bLedReady, m_bLedReserved, m_bLedReceiving, m_bLedError};
  bool changed = false;
  for (int i = 0; i < 4; ++i) changed = changed || before[i] != after[i];
  if (changed || always) m_Host.Repaint();
}

// ------------------------------------------------------------------ reservation

bool COrvaqController::Reserve(int level, const std::wstring* doctor, const std::wstring* patient) {
  LogPrintf(L"Réservation niveau : %d.", level);
  if (m_TerminalNum < 0) {
    LogPrintf(L"m_TerminalNum est inférieur à zéro : %d.", m_TerminalNum);
    DestroyHttpClient();
    return false;
  }
  if (!m_pHTTPClient) {
    LogPrintf(L"m_pHTTPClient est null");
    m_Host.PostHardwareInfos(kHardwareAdapterCheck);
    return false;
  }
  int time = m_Settings.ReservationDuration();
  if (time < 10 || time > 600) time = kMonoReservationTime;
  const int64_t mode = Info(kInfoReservationMode);
  if (mode == 0) time = kMonoReservationTime;
  LogPrintf(L"Temps de réservation demandé : %d.", time);
  if (!m_pHTTPClient) return false;  // the mode query may have reset the link
  m_pHTTPClient->SetReservationTime(time);

  const std::wstring doctorName = doctor ? *doctor : DoctorOrDefault();
  const std::wstring patientName = patient ? *patient : PatientOrDefault();
  const int quality = m_Settings.AcquisitionQuality();
  if (level == 1 && doctor && patient && orvaq::EqualsNoCase(*doctor, L"Retrieve") &&
      orvaq::EqualsNoCase(*patient, L"Image")) {
    m_nLastHttpStatus = m_pHTTPClient->RetrieveReserve(quality);
  } else {
    m_nLastHttpStatus = m_pHTTPClient->ReserveScanner(level, m_TerminalNum, m_nTerminalColor, quality,
                                                      doctorName, patientName);
  }

  if (m_nLastHttpStatus == 200) {
    m_pHTTPClient->SetLanguage(m_Settings.LanguageId());
    const int32_t status = m_pHTTPClient->SetReservationMode(mode != 0);
    if (status != 200) {
      const std::wstring text = ::FormatText(m_Settings.GetText(602) + L"\r\n%d",
                                             {std::to_wstring(status), m_Settings.GetText(10000 + status),
                                              std::wstring(L"4360")});
      LogPrintf(L"Incident pendant la réservation : %ls.", text.c_str());
    }
    LogPrintf(L"Réservation effective.");
    m_bReserved = true;
    if (mode != 0) return true;
    StopTimer(TIMER_MONO_RELOAD);
    LogPrintf(L"Réservation en monoposte : Mise en place du timer de suivi.");
    ArmTimer(TIMER_MONO_RELOAD, kMonoReloadPeriodMs);
    return true;
  }

  const int32_t status = m_nLastHttpStatus;
  m_sScannerSerial.clear();
  SetScannerIndicator(255, 0);
  m_TerminalNum = -1;
  m_nTerminalColor = -1;
  DestroyHttpClient();
  if (mode == 1) {
    const std::wstring text = ::FormatText(m_Settings.GetText(602) + L"\r\n%d",
                                           {std::to_wstring(status), m_Settings.GetText(10000 + status),
                                            std::wstring(L"4347")});
    LogPrintf(L"Echec de la réservation : %ls.", text.c_str());
  }
  return false;
}

void COrvaqController::ReservationAction() {
  LogPrintf(L"Action réservation.");
  if (m_bInSettings) {
    LogPrintf(L"Action refusée car on est dans le paramétrage.");
    return;
  }
  if ((Info(kInfoStationFlags) & 1) == 0 && !m_bReserved) {
    LogPrintf(L"Action refusée car la réservation depuis la station est bloquée.");
    m_Host.Beep();
    return;
  }
  if (m_bScannerOnGui) {
    LogPrintf(L"Action refusée car le LUMEQ est sur GUI.");
    if (Info(kInfoReservationMode) == 1) m_Host.Beep();
    return;
  }
  const int64_t waiting = Info(kInfoWaitingImageTerminal);
  if (waiting >= 1 && waiting <= 10 && !m_bReadLastImage && !m_bImageInMemoryRead) {
    LogPrintf(L"Action refusée car on a une image en attente.");
    if (waiting == m_TerminalNum && Info(kInfoReservationMode) == 1) m_bBlockedImagePrompted = false;
    return;
  }
  if (m_bReserved) {
    LogPrintf(L"Déjà réservé : on déreserve.");
    int32_t status = 0;
    if (m_pHTTPClient)
      status = m_bImageInMemoryRead ? m_pHTTPClient->SuperUnreserve()
                                    : m_pHTTPClient->CancelReservation(m_TerminalNum, m_nTerminalColor);
    if (status == 200) {
      m_bReserved = false;
      m_bImageInMemoryRead = false;
    } else {
      m_Host.Beep();
    }
    m_bPatternRead = false;
    return;
  }

  m_bImageInMemoryRead = false;
  m_bPatternRead = false;
  if (m_TerminalResaNum != 0 || m_bScannerOnGui || m_sScannerSerial.empty() || m_bLedError) {
    LogPrintf(L"Action refusée pour une autre raison : %d %d %ls %d.", m_TerminalResaNum,
              m_bScannerOnGui ? 1 : 0, m_sScannerSerial.c_str(), m_bLedError ? 1 : 0);
    m_Host.Beep();
    return;
  }
  if (m_bReadLastImage && m_bPatternMode) {
    PatternRead();
    m_bReadLastImage = false;
    m_bPatternMode = false;
    return;
  }

  bool reserved;
  if (m_bReadLastImage) {
    const std::wstring doctor = L"Retrieve", patient = L"Image";
    reserved = Reserve(1, &doctor, &patient);
  } else {
    const int64_t mode = Info(kInfoReservationMode);
    if ((mode != 0 && mode == -1) || (mode == 0 && Info(kInfoWaitingImageTerminal) == 1)) {
      LogPrintf(L"Echec de la réservation.");
      return;
    }
    reserved = Reserve(0);
  }
  if (!reserved) {
    LogPrintf(L"Echec de la réservation.");
    return;
  }

  LogPrintf(L"Mise en place du client image.");
  DestroyImageListener();
  if (!CreateAndStartImageListener()) return;

  m_TickReservation = m_Host.GetTickCount();
  LogPrintf(L"Réservation effectuée.");
  if (m_bReadLastImage) {
    m_Host.Repaint();
    LogPrintf(L"Armement du timer de lecture de la dernière image.");
    ArmTimer(TIMER_LAST_IMAGE, kLastImageFirstDelayMs);
    m_bReadLastImage = false;
    m_bPatternMode = false;
  } else {
    m_nBatchReadsLeft = 0;
  }
}

void COrvaqController::PatternRead() {
  LogPrintf(L"Action réservation en mode pattern.");
  const std::wstring host = m_pHTTPClient ? m_pHTTPClient->Host() : std::wstring();
  const std::wstring origin = m_pHTTPClient ? m_pHTTPClient->OriginHost() : m_LocalIP;
  DestroyHttpClient();

  m_pHTTPClient = m_Host.CreateHttpClient(host, origin, kSuperUserMac);
  LogPrintf(L"Nouveau client HTTP en SuperUser : %hs.", YesNoPtr(m_pHTTPClient.get()));
  if (!m_pHTTPClient) return;
  const uint32_t timeout = static_cast<uint32_t>(m_Settings.HTTPTimeOut());
  m_pHTTPClient->SetTimeouts(timeout, timeout);
  m_pHTTPClient->SetAgent(m_Settings.HttpAgent());
  m_pHTTPClient->SetHTTPPort(80);
  LogPrintf(L"SetHTTPPort 80.");

  const int32_t status = m_pHTTPClient->SuperReserve(L"Control", L"Admin");
  LogPrintf(L"SuperReserve : %d.", status);
  if (status != 200 && status != 0) {
    LogPrintf(L"Impossbile de continuer.");
    DestroyHttpClient();
    return;
  }
  m_bReserved = true;
  m_TerminalNum = 1;
  LogPrintf(L"SetImageMode IMAGE_MODE_DEBUG : %d.", m_pHTTPClient->SetImageMode(IMAGE_MODE_DEBUG));
  m_Host.Sleep(kPatternSettleMs);

  auto test = [this](const wchar_t* request, const wchar_t* format) {
    std::string answer;
    const int32_t code = m_pHTTPClient->HTTPTestRequest(kDeviceFilePrm, request, answer);
    const std::wstring text = orvaq::FromLatin1(answer);
    LogPrintf(format, code, text.c_str());
  };
  if (m_nBatchReadsLeft == m_Settings.BatchLastImage()) {
    test(L"fpga:0080=00000001", L"HTTPTestRequest fpga:0080=00000001 : %d / %ls.");
    test(L"fpga:00e0=00000002", L"HTTPTestRequest fpga:00e0=00000002 : %d / %ls.");
    test(L"fpga:0083=00000dac", L"HTTPTestRequest fpga:0083=00000dac : %d / %ls.");
    test(L"fpga:0093=00000001", L"HTTPTestRequest fpga:0093=00000001 : %d / %ls.");
    test(L"fpga:0091=00000af0", L"HTTPTestRequest fpga:0091=00000af0 : %d / %ls.");
  }
  test(L"debug_sample=02800", L"HTTPTestRequest debug_sample=02800 : %d / %ls.");
  m_Host.Sleep(kPatternSettleMs);
  test(L"fpga_read", L"HTTPTestRequest fpga_read : %d / %ls.");

  LogPrintf(L"Mise en place du client image.");
  DestroyImageListener();
  if (Info(kInfoImagePort) < 1) {
    LogPrintf(L"FATAL : Port == -1.");
  } else if (CreateAndStartImageListener()) {
    m_TickReservation = m_Host.GetTickCount();
    LogPrintf(L"Réservation effectuée.");
  }
  m_Host.Repaint();
  if (!m_pHTTPClient) return;
  LogPrintf(L"GetLastImage : %d.", m_pHTTPClient->GetLastImage());
  m_bPatternRead = true;
}

void COrvaqController::RequestLastImageRead(bool pattern) {
  m_bReadLastImage = true;
  m_bPatternMode = pattern;
  m_nBatchReadsLeft = m_Settings.BatchLastImage();
}

void COrvaqController::TakeSheetResults(bool readLastImage, bool pattern) {
  // The scanner chosen in the sheet is the one followed from now on.
  const std::wstring serial = m_Settings.LUMEQ2Serial();
  if (!serial.empty()) m_sScannerSerial = serial;
  if (readLastImage) return RequestLastImageRead(pattern);
  m_bReadLastImage = false;
  m_bPatternMode = pattern;
  m_nBatchReadsLeft = 1;
}

void COrvaqController::OnCommandLineChanged(const std::wstring& previousDoctor,
                                            const std::wstring& previousPatient) {
  if (!m_bReserved) return;
  if (orvaq::EqualsNoCase(previousDoctor, m_Settings.DoctorName()) &&
      orvaq::EqualsNoCase(previousPatient, m_Settings.PatientName()))
    return;
  ReservationAction();
}

// ------------------------------------------------------------------ timers

// Drops the binding without a word to the scanner and asks for the read again: the
// station re-identifies on the next frame and the status control starts the read.
void COrvaqController::ResetCommunication() {
  DestroyHttpClient();
  DestroyImageListener();
  m_sScannerSerial.clear();
  m_TerminalNum = -1;
  m_nTerminalColor = -1;
  SetScannerIndicator(255, 0);
  m_bReadLastImage = true;
}

void COrvaqController::OnTimer(uint32_t id) {
  if (id == TIMER_T4) {
    StopTimer(TIMER_T4);
    m_Host.RunMultiPlateReconstruction();
    return;
  }

  int64_t mode = -1;
  if (!m_sScannerSerial.empty()) {
    mode = Info(kInfoReservationMode);
    if (mode != 0 && mode != 1) {
      LogPrintf(L"MonoMulti foireux : Pas de LUMEQ détecté.");
      if (!m_SNDPFrames.Empty()) HardwareInfos(kHardwareRecreateListener, nullptr);
      return;
    }
  }

  switch (id) {
    case TIMER_CONTROL: {
      if (!m_pSNDPListener || m_LocalIP.empty() || m_LocalMAC.empty()) {
        HardwareInfos(kHardwareRecreateListener, nullptr);
        return;
      }
      LogPrintf(L"Timer de contrôle SNDP.");
      const uint32_t now = m_Host.GetTickCount();
      m_SNDPFrames.AgeOut(now, "Suppression d'une ancienne trame SNDP sous la pile.");
      if (InfoText(kInfoSerial, m_sScannerSerial).empty()) {
        LogPrintf(L"Pas de LUMEQ détecté.");
        if (m_bReserved) {
          StopTimer(TIMER_WATCHDOG);
          // The scanner is unreachable: the reservation is dropped here without a
          // request (a withdrawal would only wait for the time-outs).
          m_TerminalNum = -1;
          DestroyHttpClient();
          DestroyImageListener();
          m_bReserved = false;
        }
        m_TerminalResaNum = 0;
        m_TerminalNum = -1;
        m_nTerminalColor = 0;
        m_bScannerOnGui = false;
        m_sScannerSerial.clear();
        SetScannerIndicator(255, 0);
      }
      if (m_bReadLastImage) {
        LogPrintf(L"Réservation pour lecture de la dernière image.");
        m_Host.PostCommand(kIdReservationButton);
      } else if (mode == 0 && !m_bReserved && m_TerminalNum != -1) {
        LogPrintf(L"Réservation pour le mode Monoposte.");
        m_Host.PostCommand(kIdReservationButton);
      }
      if (m_bBlockedImageSeen && !m_bBlockedImagePrompted) m_Host.Repaint();
      m_bBlockedImageSeen = m_bBlockedImagePrompted;
      break;
    }
    case TIMER_FOLDER_WATCH:
      m_Host.OnFolderWatchTimer();
      break;
    case TIMER_WATCHDOG:
      StopTimer(TIMER_WATCHDOG);
      LogPrintf(L"Watchdog de transfert d'image.");
      DestroyHttpClient();
      DestroyImageListener();
      DestroyAllListeners();
      m_Host.PostHardwareInfos(kHardwareFullReset);
      break;
    case TIMER_LAST_IMAGE:
      StopTimer(TIMER_LAST_IMAGE);
      LogPrintf(L"Timer lecture de la dernière image.");
      if (m_pHTTPClient && m_bReserved && m_pImageClient) {
        LogPrintf(L"Demande de lecture de la dernière image.");
        const int32_t status = m_pHTTPClient->GetLastImage();
        if (status == 200) {
          m_nLastImageRetries = 0;
          m_bImageInMemoryRead = true;
        } else if (++m_nLastImageRetries > 10) {
          LogPrintf(L"Reset de la comm pour lecture de la dernière image après 10 essais.");
          ResetCommunication();
          m_nLastImageRetries = 0;
        } else {
          LogPrintf(L"Read Image refusé par le LUMEQ : %d.", status);
          LogPrintf(L"Armement d'un nouveau timer pour lecture de la dernière image.");
          ArmTimer(TIMER_LAST_IMAGE, kLastImageRetryMs);
        }
      } else {
        LogPrintf(L"Conditions non remplies pour la lecture de la dernière image : %X %d %X.",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(m_pHTTPClient.get())),
                  m_bReserved ? 1 : 0,
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(m_pImageClient.get())));
        LogPrintf(L"Reset de la comm pour lecture de la dernière image.");
        ResetCommunication();
      }
      break;
    case TIMER_MONO_RELOAD:
      StopTimer(TIMER_MONO_RELOAD);
      LogPrintf(L"Réarmement de la réservation Monoposte.");
      if (mode == 0 && m_bReserved && m_TerminalNum != -1 && m_pHTTPClient) {
        if (m_pHTTPClient->Reload(kMonoReservationTime) == 200) ArmTimer(TIMER_MONO_RELOAD, kMonoReloadPeriodMs);
      }
      break;
    case TIMER_IDENTIFY:
      if (!m_pImageClient && m_pHTTPClient && !m_bReserved) {
        LogPrintf(L"Réidentification.");
        m_pHTTPClient->Identify(m_TerminalNum, m_nTerminalColor, DoctorOrDefault(), PatientOrDefault());
      }
      break;
    default:
      break;
  }
  m_Host.OnBaseTimer(id);
}

// ------------------------------------------------------------------ tear-down

void COrvaqController::DestroyHttpClient() {
  LogPrintf(L"Destruction du client HTTP.");
  StopTimer(TIMER_IDENTIFY);
  StopTimer(TIMER_MONO_RELOAD);
  if (m_pHTTPClient) {
    if (m_TerminalNum != -1) {
      if (m_bReserved) m_pHTTPClient->CancelReservation(m_TerminalNum, m_nTerminalColor);
      m_pHTTPClient->WithdrawIdentification(m_TerminalNum, m_nTerminalColor);
    }
    m_pHTTPClient.reset();
  }
  m_TerminalNum = -1;
  m_TerminalResaNum = 0;
  m_nTerminalColor = -1;
  m_bReserved = false;
  m_bTransferInProgress = false;
}

void COrvaqController::DestroyImageListener() {
  LogPrintf(L"Destruction de l'écouteur TCP.");
  if (m_pImageClient) {
    m_pImageClient->Close();
    m_pImageClient.reset();
    m_TickReservation = 0;
  }
  m_bTransferInProgress = false;
  m_bRawFileAccepted = false;
}

void COrvaqController::DestroyAllListeners() {
  LogPrintf(L"Destruction de l'écouteur SNDP.");
  DestroyHttpClient();
  DestroyImageListener();
  // The listener's destructor cancels its selection and closes its socket.
  m_pSNDPListener.reset();
  StopTimer(TIMER_CONTROL);
  m_SNDPFrames.Clear();
}

void COrvaqController::OnDestroyWindow() {
  DestroyHttpClient();
  DestroyAllListeners();
  StopTimer(TIMER_FOLDER_WATCH);
}
