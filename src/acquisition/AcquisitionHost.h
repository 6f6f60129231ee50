// What the acquisition controller asks of the world around it: the window (timers, posted
// messages, message boxes, beeps, repaint), the clock, the settings and texts, the raw
// file, and factories for the scanner-link objects. COrvaqDlg implements it on Win32
// (win/AcquisitionHostWin); the host tests implement it with a scripted fake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/MessageBox.h"
#include "settings/KvSystem.h"

class CHttpClient;

// The UDP status listener (CSNDPListener) as the controller uses it.
class IStatusListener {
 public:
  virtual ~IStatusListener() = default;
  // Binds port 48322 on the listener's address and arms the 0x401 messages to the dialog.
  virtual bool StartListening() = 0;
  // Last Windows Sockets error of the listener.
  virtual uint32_t LastError() const = 0;
  // One recv of at most `capacity` bytes, with the sender's IPv4 address in `source`
  // (first octet in the most significant byte). False when there is no socket or recv
  // failed; `error` then holds the WSAGetLastError value.
  virtual bool Receive(uint8_t* buffer, size_t capacity, size_t& received, uint32_t& source,
                       uint32_t& error) = 0;
};

// The TCP image receiver (CImageClient) as the controller uses it.
class IImageClient {
 public:
  virtual ~IImageClient() = default;
  // Listens on the port given at creation and arms the 0x402 messages to the dialog.
  virtual bool Listen() = 0;
  // Takes the waiting connection off the listening socket and holds it, untouched, with
  // its peer's IPv4 address (first octet in the most significant byte). False when
  // accept fails (Accept then tries again and reports it).
  virtual bool AcceptPending(uint32_t& peer) = 0;
  // Closes the connection held by AcceptPending; the listener and the raw file stay.
  virtual void CloseHeldConnection() = 0;
  // Accepts the scanner's connection (or adopts the held one) and directs its bytes into
  // `rawPath`.
  virtual bool Accept(const std::wstring& rawPath, bool wantLog) = 0;
  // Reads what arrived: the byte count, or -1 once the connection is closed.
  virtual int32_t ReceivePending() = 0;
  virtual bool Close() = 0;
  // Whether a socket event is about the listening socket or the connection held now
  // (Winsock reuses handle values: an event of a connection closed before is stale).
  virtual bool OwnsSocket(uintptr_t socket) const = 0;
  // A connection is accepted and not yet closed.
  virtual bool HasConnection() const = 0;
  // Takes a further waiting connection off the listening socket and closes it at once.
  virtual void RefuseConnection() = 0;
};

// Local time broken down as the scanner clock wants it.
struct AcqLocalTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// Settings, texts and command-line values the controller reads. Settings are read at
// every use: implementations must not cache them.
class IAcqSettings {
 public:
  virtual ~IAcqSettings() = default;
  virtual int LUMEQ2Simulated() = 0;
  virtual std::wstring LUMEQ2Name() = 0;          // default "lumeq2"
  virtual std::wstring LUMEQ2FiltreSerial() = 0;  // default empty
  virtual std::wstring LUMEQ2Serial() = 0;
  virtual void SetLUMEQ2Serial(const std::wstring& serial) = 0;
  virtual int LUMEQ2Color() = 0;
  virtual int StationNumber() = 0;
  virtual void SetStationNumber(int number) = 0;
  virtual bool DemoMode() = 0;
  virtual int ReservationDuration() = 0;  // already limited to 0..999
  virtual int AcquisitionQuality() = 0;
  virtual int HTTPTimeOut() = 0;          // milliseconds
  virtual int BatchLastImage() = 0;
  virtual std::wstring AdapterName() = 0;
  virtual std::wstring AdapterIPAddress() = 0;
  virtual int LoggerType() = 0;
  // The image folder (created when missing).
  virtual std::wstring ImagesPath() = 0;
  // Command-line names of this run; empty when the command line gave none.
  virtual std::wstring DoctorName() = 0;
  virtual std::wstring PatientName() = 0;
  // The program's language as a Windows language identifier.
  virtual int LanguageId() = 0;
  // A text of the text-resource file ("" when unknown).
  virtual std::wstring GetText(int id) = 0;
  // The HTTP user agent: text 1000 followed by the version.
  virtual std::wstring HttpAgent() = 0;
};

class IAcquisitionHost {
 public:
  virtual ~IAcquisitionHost() = default;

  // --- window and clock
  virtual uint32_t GetTickCount() = 0;
  virtual void SetTimer(uint32_t id, uint32_t periodMs) = 0;
  virtual void KillTimer(uint32_t id) = 0;
  // Posts WM_COMMAND `id` to the dialog (handled on a later turn of the message loop).
  virtual void PostCommand(int id) = 0;
  // Posts message 0x465 (HardwareInfos) with `type` and no serial to the main window.
  virtual void PostHardwareInfos(int type) = 0;
  // A modal message box with the text `text` (resource `textId`); returns the answer.
  virtual int ShowMessageBox(int textId, const std::wstring& text, unsigned style) = 0;
  virtual void Beep() = 0;  // MessageBeep(0xFFFFFFFF)
  // InvalidateRect with erase, then UpdateWindow.
  virtual void Repaint() = 0;
  // Shows or hides the reservation button (control 1008).
  virtual void ShowReservationButton(bool show) = 0;
  virtual void Sleep(uint32_t ms) = 0;
  // FormatMessageW's text for a system error code.
  virtual std::wstring SystemErrorText(uint32_t code) = 0;
  virtual AcqLocalTime LocalTime() = 0;
  // Replaces the current logger by a new file logger on the log file (LoggerType 2), which
  // opens with "Reset du log suite à un read_ok.".
  virtual void RestartLogFile() = 0;

  // --- scanner-link objects (null when they cannot be created)
  virtual std::unique_ptr<CHttpClient> CreateHttpClient(const std::wstring& host,
                                                        const std::wstring& originHost,
                                                        const std::wstring& mac) = 0;
  virtual std::unique_ptr<IStatusListener> CreateStatusListener(const std::wstring& bindAddress) = 0;
  virtual std::unique_ptr<IImageClient> CreateImageClient(uint16_t port) = 0;
  // The first Ethernet adapter that is up and has this description: its IPv4 addresses
  // joined by "\n" and its hardware address "AA:BB:...". False when there is none.
  virtual bool LookupAdapter(const std::wstring& description, std::wstring& addresses,
                             std::wstring& mac) = 0;

  // --- the operating system (files)
  virtual IKvSystem& System() = 0;

  // --- work that belongs to the other parts of the dialog
  // Reconstruction of the checked raw file (the one entry point of that pipeline).
  virtual bool ReconstructAcquisition() = 0;
  // The multi-plate reconstruction run by timer 4444.
  virtual void RunMultiPlateReconstruction() = 0;
  // The folder watch of timer 1070.
  virtual void OnFolderWatchTimer() = 0;
  // The skinned base's own timer handling (timer 1010).
  virtual void OnBaseTimer(uint32_t id) = 0;
};
