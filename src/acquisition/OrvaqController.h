// COrvaqController: the acquisition side of COrvaqDlg. It owns the binding of the station
// to one scanner (status frames, identification, reservation, timers), the image
// transfer and the raw-file check, and answers the in-process requests HardwareInfos,
// AdminAction and ServiceAction. Everything it does to the outside goes through
// IAcquisitionHost, so every rule can be driven by a test.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/AcquisitionHost.h"
#include "acquisition/ReconProgress.h"
#include "scanner_link/HttpClient.h"
#include "scanner_link/SNDPFrame.h"
#include "scanner_link/SNDPFrameStack.h"

// Timer ids of the dialog.
enum AcqTimer : uint32_t {
  TIMER_THUMBNAIL = 1010,
  TIMER_IDENTIFY = 1020,
  TIMER_CONTROL = 1030,
  TIMER_MONO_RELOAD = 1050,
  TIMER_LAST_IMAGE = 1060,
  TIMER_FOLDER_WATCH = 1070,
  TIMER_WATCHDOG = 1420,
  TIMER_T4 = 4444,
};

// Message and control ids the controller's owner routes to it.
constexpr unsigned kMsgSNDPFrame = 0x401;
constexpr unsigned kMsgImageSocket = 0x402;
constexpr unsigned kMsgHardwareInfos = 0x465;
constexpr unsigned kMsgAdminAction = 0x466;
constexpr unsigned kMsgServiceAction = 0x467;
constexpr int kIdReservationButton = 1008;

// Request types of HardwareInfos with a serial: fields of the scanner's newest frame.
enum HardwareInfoType : int {
  kInfoSerial = 0,
  kInfoAddressMode = 1,
  kInfoIpAddress = 2,
  kInfoSubnetMask = 3,
  kInfoGateway = 4,
  kInfoMac = 5,
  kInfoFirmware = 6,
  kInfoFpga = 7,
  kInfoState = 8,
  kInfoLastError = 9,
  kInfoFrameNumber = 10,
  kInfoRemainingTime = 11,
  kInfoStationMask = 12,
  kInfoImagePort = 13,
  kInfoResaTerminal = 14,
  kInfoWaitingImageTerminal = 15,
  kInfoName = 16,
  kInfoStationFlags = 17,
  kInfoReservationMode = 18,
  kInfoIpText = 102,
  kInfoSubnetText = 103,
  kInfoGatewayText = 104,
};

// Request types of HardwareInfos without a serial: the station's own side.
enum HardwareRequest : int {
  kHardwareSerialList = 0,
  kHardwareAdapterCheck = 1,
  kHardwareLocalIP = 2,
  kHardwareLocalMAC = 3,
  kHardwareRecreateListener = 4,
  kHardwareFullReset = 5,
};

// AdminAction codes with a single meaning (the ranges are decoded in RunAdminCode).
enum AdminCode : int {
  kAdminSetClock = 0,
  kAdminDoctorList = 1,
  kAdminBindScanner = 2,
  kAdminDoctorTerminals = 3,
  kAdminResetDoctors = 4,
  kAdminCheckClock = 5,
  kAdminResetToMono = 6,
  kAdminMultiStation = 7,
  kAdminGetReservationMode = 8,
  kAdminGetDemo = 9,
  kAdminDemoOn = 10,
  kAdminDemoOff = 11,
  kAdminDoctorMacs = 12,
  kAdminReadOk = 13,
  kAdminImageInfo = 14,
  kAdminReadNok = 15,
  kAdminDoor = 16,
  kAdminReadOkAlt = 3001,
};

// Timer periods and waits, in milliseconds.
constexpr uint32_t kIdentifyPeriodMs = 5000;
constexpr uint32_t kControlPeriodMs = 2500;
constexpr uint32_t kMonoReloadPeriodMs = 20000;
constexpr uint32_t kLastImageFirstDelayMs = 1000;
constexpr uint32_t kLastImageRetryMs = 500;
constexpr uint32_t kWatchdogMs = 10000;
// A pattern read gives the scanner this long after each of its set-up steps.
constexpr uint32_t kPatternSettleMs = 3000;

// Socket events in the low word of a 0x402 lParam.
constexpr uint32_t kFdRead = 1, kFdAccept = 8, kFdClose = 32;

// The raw file written by the image receiver, in the image folder.
extern const wchar_t* const kRawFileName;  // "LASTACQP2.BIN"

// A HardwareInfos answer: a number, or a text (kept in the controller's result buffer).
struct HardwareInfosResult {
  bool isText = false;
  int64_t number = 0;
};

// What the main panel and the tests read of the controller; a copy taken by Status().
struct SControllerStatus {
  // The scanner indicator lamps.
  bool ledReady = false, ledReserved = false, ledReceiving = false, ledError = false;
  bool reserved = false;
  bool scannerOnGui = false;
  int32_t terminalNum = -1;
  int32_t terminalResaNum = 0;
  int32_t terminalColor = -1;
  std::wstring scannerSerial;
  bool inSettings = false;
  bool transferInProgress = false;
  bool readLastImage = false;
  bool patternMode = false;
  bool imageInMemoryRead = false;
  bool patternRead = false;
  bool blockedImagePrompted = false;
  bool t4Mode = false;
  int32_t batchReadsLeft = 0;
  int32_t lastHttpStatus = 0;
  int32_t lastImageRetries = 0;  // refused "image_read" requests in a row
  uint32_t tickReservation = 0;
  uint32_t frameMaxAge = 0;      // the frame stack's age limit
  std::wstring adapterName, localIP, localMAC;
  bool hasStatusListener = false, hasHttpClient = false, hasImageClient = false;
};

class COrvaqController : public IReconProgress {
 public:
  COrvaqController(IAcquisitionHost& host, IAcqSettings& settings);
  ~COrvaqController();
  COrvaqController(const COrvaqController&) = delete;
  COrvaqController& operator=(const COrvaqController&) = delete;

  // --- message handlers
  void OnSNDPFrame();                                   // 0x401
  void OnImageMessage(uintptr_t wParam, uint32_t lParam);  // 0x402
  void OnTimer(uint32_t id);                            // WM_TIMER
  void ReservationAction();                             // WM_COMMAND 1008
  // 0x8064 after the base ran the stored command line: the names of before.
  void OnCommandLineChanged(const std::wstring& previousDoctor, const std::wstring& previousPatient);
  // WM_DESTROY: the controller's share of the window's destruction.
  void OnDestroyWindow();

  // --- in-process requests (0x465, 0x466, 0x467); serial null = none
  HardwareInfosResult HardwareInfos(int type, const std::wstring* serial);
  const std::wstring& HardwareInfosText() const { return m_sHardwareInfosText; }
  const std::wstring& AdminAction(int code, const std::wstring& serial);
  int32_t ServiceAction(const std::wstring& command, std::wstring& answer);

  // --- binding and reservation
  bool Reserve(int level, const std::wstring* doctor = nullptr, const std::wstring* patient = nullptr);
  void SetScannerIndicator(uint8_t lastError, uint8_t state);
  void DestroyHttpClient();
  void DestroyImageListener();
  void DestroyAllListeners();
  // A read of the image the scanner holds (the parameter sheet's choice): the status
  // control timer then reserves and reads, `BatchLastImage` times in a row.
  void RequestLastImageRead(bool pattern);
  // The parameter sheet closed: its scanner (the serial setting, when set), its
  // last-image read and its pattern choice become the controller's.
  void TakeSheetResults(bool readLastImage, bool pattern);
  bool CheckRawImage();

  // Timers armed by the other parts of the dialog (1070, 4444).
  void ArmTimer(uint32_t id, uint32_t periodMs) override;
  void StopTimer(uint32_t id);
  bool IsTimerArmed(uint32_t id) const;

  // --- read-only view
  SControllerStatus Status() const;
  const CSNDPFrameStack& Frames() const { return m_SNDPFrames; }
  // The main HTTP client, null when none (its configuration is read, never changed).
  const CHttpClient* HttpClient() const { return m_pHTTPClient.get(); }

  // The parameter sheet is open: the reservation button is refused and frames are only
  // stored, not followed.
  void SetInSettings(bool inSettings) { m_bInSettings = inSettings; }

  // --- reports of the reconstruction
  // A reconstruction started: the cleanup grace after a reservation runs from `tick`.
  void OnReconstructionStarted(uint32_t tick) override { m_TickReservation = tick; }
  // Turns the receiving lamp off; true when it was on (the caller repaints).
  bool ClearReceivingLed() override;
  // A last-image read is under way: the scanner sends its stored image again.
  bool ReadingStoredImage() override { return m_bImageInMemoryRead; }

 private:
  // --- state (the dialog's members; read through Status())
  // The frame stack; its age limit is 7500 ms while frames arrive and 20000 ms after an
  // image transfer (CSNDPFrameStack::SetMaxAge).
  CSNDPFrameStack m_SNDPFrames;
  std::unique_ptr<IStatusListener> m_pSNDPListener;
  std::unique_ptr<CHttpClient> m_pHTTPClient;
  std::unique_ptr<IImageClient> m_pImageClient;
  uint32_t m_TickReservation = 0;
  int32_t m_TerminalResaNum = 0;
  int32_t m_TerminalNum = -1;
  int32_t m_nTerminalColor = -1;
  bool m_bReserved = false;
  bool m_bScannerOnGui = false;
  std::wstring m_sScannerSerial;
  bool m_bInSettings = false;
  bool m_bReadLastImage = false;
  bool m_bPatternMode = false;
  bool m_bImageInMemoryRead = false;
  bool m_bPatternRead = false;
  bool m_bBlockedImagePrompted = false;
  int32_t m_nBatchReadsLeft = 0;
  int32_t m_nLastHttpStatus = 0;
  bool m_bTransferInProgress = false;
  bool m_bT4Mode = false;
  bool m_bLedReady = false;
  bool m_bLedReserved = false;
  bool m_bLedReceiving = false;
  bool m_bLedError = false;
  std::wstring m_AdapterName;
  std::wstring m_LocalIP;
  std::wstring m_LocalMAC;
  // One id member per timer: 0 = not armed.
  uint32_t m_nTimerIdentify = 0, m_nTimerControl = 0, m_nTimerMonoReload = 0,
           m_nTimerLastImage = 0, m_nTimerFolderWatch = 0, m_nTimerWatchdog = 0, m_nTimerT4 = 0;
  // Refused "image_read" requests in a row.
  int32_t m_nLastImageRetries = 0;

  // Frame stack lookup at the current tick.
  bool FindNewestFrame(const std::wstring& serial, SNDPFrame& frame);
  // Linking steps of OnSNDPFrame; false ends the handling of the frame.
  bool LinkScanner(const SNDPFrame& frame, bool simulator);
  void FollowScanner(const SNDPFrame& frame);
  void StartImageListenerAfterReservation();

  // Queries of the bound scanner.
  int64_t Info(int type);
  int64_t InfoFor(int type, const std::wstring& serial);
  std::wstring InfoText(int type, const std::wstring& serial);

  // Reservation pieces.
  void PatternRead();
  bool CreateAndStartImageListener();
  void ResetCommunication();

  // Transfer.
  // Whether an image connection from `peer` (IPv4, first octet most significant) comes
  // from the bound scanner: the sender of its newest status frame.
  bool IsScannerPeer(uint32_t peer);
  void OnImageClose();
  void ClearAfterLostImageListener();

  // Requests.
  HardwareInfosResult HardwareInfosNoSerial(int type);
  void RecreateStatusListener();
  void FullReset();
  std::unique_ptr<CHttpClient> NewConfiguredClient(const std::wstring& host, const std::wstring& mac,
                                                   bool simulator);
  bool IsSimulatorName(const std::wstring& name);
  std::wstring RunAdminCode(int code, const std::wstring& serial, CHttpClient& client,
                            int32_t startCode);

  std::wstring DoctorOrDefault();
  std::wstring PatientOrDefault();
  std::wstring FormatText(int id, const std::vector<std::wstring>& args);
  std::wstring RawFilePath();
  uint32_t& TimerMember(uint32_t id);

  IAcquisitionHost& m_Host;
  IAcqSettings& m_Settings;
  std::wstring m_sHardwareInfosText;
  std::wstring m_sAdminActionText;
  // Set while a reservation already held for this terminal is being handled.
  bool m_bHeldReservationBusy = false;
  // The scanner clock is checked once per run.
  bool m_bClockChecked = false;
  // The blocked-image flag as the status control timer last saw it.
  bool m_bBlockedImageSeen = false;
  uint32_t m_nUnknownTimer = 0;
  // The connection being received was accepted into a fresh raw file. Without it the
  // file on disk is not this connection's image and must never be acknowledged.
  bool m_bRawFileAccepted = false;
};
