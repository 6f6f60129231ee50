// The simulated scanner's state and rules, free of sockets and clocks: the device-file
// requests and their answers, stations and reservation, the image held in memory, the
// status frame built from the state, and the fault switches. The network side
// (SimServer) feeds it requests and the time and carries out the deliveries it asks for.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "scanner_link/SNDPFrame.h"
#include "simulator/Plates.h"

namespace orvaq {
namespace sim {

constexpr const char* kSimSuperUserMac = "3A:52:3A:52:3A:52";
constexpr int kSimSuperTerminal = 11;

// Identity of the simulated scanner as its frames announce it.
struct ScannerIdentity {
  std::string name = "slumeq2";      // "lumeq2" for the real-scanner flavour
  std::string serial = "SIM00001";
  uint32_t ipAddress = 0x7F000001;   // first octet most significant
  uint32_t subnetMask = 0xFF000000;
  uint32_t gateway = 0;
  uint8_t mac[6] = {0x02, 0x4C, 0x51, 0x00, 0x00, 0x01};
  char firmware[4] = {'0', '3', '2', '1'};  // shown "2.1.03"
  uint8_t fpga[2] = {7, 1};                 // shown "1.7"
  uint16_t addressMode = 0;
  uint16_t imagePort = 3333;
};

// A key=value payload of "lumeq2.id" / "lumeq2.res".
struct StationPayload {
  int ready = -1;
  int term = -1;
  int color = -1;
  std::string mac;
  std::string textCoding;
  std::string docName;  // escaped, as received
  std::string patName;
  int time = -1;
  int level = -1;
  std::string mode;
};
// Reads the ten lines (CR LF or LF between them). False when a key is missing, a
// number does not read, or a line is not key=value.
bool ParseStationPayload(const std::string& body, StationPayload& out, std::string* why = nullptr);

// Header Mode for a reservation mode word: "sd" 0, "hd" 1, "sd_fast" 2, "debug" 10;
// -1 for any other word.
int ModeForWord(const std::string& word);

struct SimAnswer {
  int status = 200;
  std::string body;
};

// A request as the server received it.
struct SimRequest {
  std::string object;    // device file name without the leading '/'
  std::string body;
  std::string fromAddress;  // dotted IPv4 of the sender
};

// An image to send to a station: the network side connects and streams it.
struct Delivery {
  std::string address;
  uint16_t port = 0;
  std::vector<uint8_t> bytes;
  uint32_t id = 0;
};

// Fault switches. Counters count down as the faults fire; -1 means "until cleared".
enum class FrameFault { None, WrongLength, WrongMagic, WrongVersion, StateZero, EmptySerial, ResaHigh };
struct Faults {
  int forbiddenRequests = 0;   // answer 403 to the next N requests
  int silentRequests = 0;      // never answer the next N requests (-1: all)
  int longBodyRequests = 0;    // pad the next N answers ...
  size_t longBodySize = 5000;  // ... to this many bytes
  int answerDelayMs = 0;       // wait before every answer
  int corruptLine = -1;        // next transfer: this line's previous-line word is wrong
  long truncateAt = -1;        // next transfer: send only this many bytes
  long stallAt = -1;           // next transfer: pause after this many bytes ...
  int stallMs = 0;             // ... for this long (-1: until the station gives up)
  bool refuseImage = false;    // next transfer: never connect
  bool resetImage = false;     // next transfer: connect and close at once
  FrameFault frameFault = FrameFault::None;
  int frameFaultCount = 0;     // frames sent with the fault (-1: all)
  bool vanished = false;       // send no frames at all
};
bool ParseFrameFault(const std::string& word, FrameFault& out);

// What to do with the next HTTP request.
struct HttpFaultDecision {
  bool silent = false;
  bool forbidden = false;
  size_t padTo = 0;
  int delayMs = 0;
};

// A transfer's faults, taken once per transfer.
struct TransferFaults {
  bool refuse = false, reset = false;
  long truncateAt = -1, stallAt = -1;
  int stallMs = 0;
};

class CSimScanner {
 public:
  explicit CSimScanner(const ScannerIdentity& identity);

  const ScannerIdentity& Identity() const { return m_Identity; }

  // The clock: milliseconds from any origin (wrap-safe is not needed: 64 bits).
  void Tick(uint64_t nowMs);

  // One device-file request. `nowMs` stamps reservations.
  SimAnswer Handle(const SimRequest& request, uint64_t nowMs);

  // The next status frame (the frame counter runs with every call) and its bytes with
  // the frame faults applied; false when the scanner has vanished.
  SNDPFrame CurrentFrame() const;
  bool NextFrameBytes(uint8_t out[kSNDPFrameSize]);

  // Scans a plate for the holder of the reservation. `plateOrder.mode` is replaced by the
  // reservation's mode unless `keepMode`. False with `why` when nobody holds the
  // scanner, an image is already held, or the plate cannot be built.
  bool Scan(PlateOrder plateOrder, bool keepMode, std::string* why, std::vector<uint8_t>* copy = nullptr);

  // Deliveries the network side must carry out, oldest first.
  std::vector<Delivery> TakeDeliveries();
  // The outcome of a delivery: a failed one leaves the image waiting for its station.
  void DeliveryDone(uint32_t id, bool ok);

  // Fault switches and their one-shot consumption.
  Faults& MutableFaults() { return m_Faults; }
  const Faults& GetFaults() const { return m_Faults; }
  HttpFaultDecision TakeHttpFault();
  TransferFaults TakeTransferFaults();

  // State changes from the control interface.
  enum class Door { Open, Close, Moving, Error, Unknown };
  void SetStarting(bool on) { m_bStarting = on; }
  void SetOnMenu(bool on) { m_bOnMenu = on; }
  void SetLastError(uint8_t e) { m_nLastError = e; }
  void SetAutoResaTerminal(uint8_t t) { m_nAutoResa = t; }
  void SetReservationModeByte(uint8_t m) { m_nReservationMode = m; }
  void SetDoor(Door d) { m_Door = d; }
  void SetImagePort(uint16_t port) { m_Identity.imagePort = port; }

  // Read access for the control interface and tests.
  struct Station {
    bool known = false;
    int color = 0;
    std::string mac, docName, patName, address;
  };
  const Station& StationAt(int term) const { return m_Stations[term]; }
  int ResaTerminal() const;     // as the frames report it (11 for the super-user alone)
  int StationHolder() const { return m_nHolder; }
  bool SuperHeld() const { return m_bSuperHeld; }
  int WaitingImageTerminal() const;
  bool HoldsImage() const { return m_Image.present; }
  unsigned RemainingSeconds() const;
  std::string StatusJson() const;

 private:
  struct HeldImage {
    bool present = false;
    bool waiting = false;   // reported as waiting for `term`
    bool inFlight = false;
    uint32_t deliveryId = 0;  // the transfer in flight, so a late outcome of an older one is ignored
    int term = 0, color = 0;
    std::string docName, patName;
    unsigned lineCount = 0, lineSize = 0;
    std::vector<uint8_t> bytes;
  };

  SimAnswer HandleId(const StationPayload& p, const SimRequest& r);
  SimAnswer HandleRes(const StationPayload& p, const SimRequest& r, uint64_t nowMs);
  SimAnswer HandlePrm(const std::string& body, const SimRequest& r, uint64_t nowMs);
  void Release(bool expired);
  void ForgetStation(int term);
  void Deliver(const std::string& address);
  std::string ScannerTime() const;
  uint16_t StationMask() const;
  uint8_t StationFlags() const;

  ScannerIdentity m_Identity;
  Station m_Stations[11];
  int m_nHolder = 0;             // station 1..10 that holds the reservation, 0 none
  std::string m_sHolderAddress;
  int m_nHolderMode = 0;         // header Mode of the reservation
  int m_nHolderLevel = 0;
  std::string m_sHolderDoc, m_sHolderPat;
  uint64_t m_nExpiryMs = 0;
  bool m_bSuperHeld = false;
  std::string m_sSuperAddress;
  int m_nSuperMode = 0;
  uint64_t m_nNowMs = 0;

  HeldImage m_Image;
  std::vector<Delivery> m_Deliveries;
  uint32_t m_nNextDelivery = 1;
  uint32_t m_nScanSequence = 0;
  bool m_bPatternNext = false;   // "image_mode=debug": the next read is a test pattern

  bool m_bStarting = false, m_bOnMenu = false;
  uint8_t m_nLastError = 0, m_nAutoResa = 0, m_nFrameNumber = 0;
  uint8_t m_nReservationMode = 1;  // multi
  bool m_bTerminalRes = true, m_bColorRes = true, m_bScreenRes = true;
  bool m_bDemo = false;
  Door m_Door = Door::Close;
  int m_nMenuTimeout = 60, m_nAutoDimmer = 30, m_nEcoTimeout = 15;
  std::string m_sLanguage = "english";
  int64_t m_nClockOffsetS = 0;
  std::map<std::string, std::string> m_Fpga;
  std::string m_sDebugSample;
  Faults m_Faults;
};

// JSON string literal of 8-bit text (bytes above 0x7E and controls as \u00XX).
std::string JsonString(const std::string& text);

}  // namespace sim
}  // namespace orvaq
