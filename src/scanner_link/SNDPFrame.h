// The scanner's 122-byte status frame (SNDP), broadcast on UDP port 48322: the record
// with every field, its decoder and acceptance rules, and the encoder the scanner
// simulator uses. Pure functions over bytes; no platform code here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Size of a frame on the wire and of the listener's receive buffer.
constexpr size_t kSNDPFrameSize = 122;
constexpr uint16_t kSNDPMagic = 0xA55A;
constexpr uint8_t kSNDPVersion = 1;
constexpr uint16_t kSNDPPort = 48322;

// Scanner states carried in `state`.
enum SNDPState : uint8_t {
  SNDP_STATE_STARTING = 0,
  SNDP_STATE_READY = 1,
  SNDP_STATE_RESERVED = 2,
  SNDP_STATE_ON_GUI = 3,  // the scanner's own menu is open
};

// One frame, field by field (little-endian on the wire, no padding there; this record's
// layout in memory is not the wire layout: use Decode/Encode). Bytes the workstation
// does not read are kept so that encoding a decoded frame gives the same bytes.
struct SNDPFrame {
  uint16_t length = kSNDPFrameSize;  // 0
  uint16_t magic = kSNDPMagic;       // 2
  uint8_t version = kSNDPVersion;    // 4
  char scannerName[16] = {};         // 5, zero-terminated within its 16 bytes (or full)
  char serial[16] = {};              // 21, same rule
  uint32_t ipAddress = 0;            // 37, most significant byte = first octet
  uint8_t unused41[12] = {};         // 41
  uint16_t imagePort = 0;            // 53
  uint8_t unused55 = 0;              // 55
  uint8_t macAddress[6] = {};        // 56, first byte first
  uint8_t firmwareVersion[4] = {};   // 62, four characters
  uint8_t fpgaVersion[2] = {};       // 66, minor then major
  uint16_t addressMode = 0;          // 68
  uint32_t subnetMask = 0;           // 70, same layout as ipAddress
  uint32_t gateway = 0;              // 74, same layout as ipAddress
  uint8_t state = 0;                 // 78, SNDPState
  uint8_t resaTerminal = 0;          // 79, 1..10 holds the reservation, 0 none
  uint8_t lastError = 0;             // 80
  uint8_t autoResaTerminal = 0;      // 81
  uint16_t stationMask = 0;          // 82, bit n: station n + 1 known
  uint16_t remainingTime = 0;        // 84
  uint8_t frameNumber = 0;           // 86
  uint8_t waitingImageTerminal = 0;  // 87
  uint8_t unused88[8] = {};          // 88
  uint8_t reservationMode = 0;       // 96, 0 mono, 1 multi, other undetermined
  uint8_t stationFlags = 0;          // 97, bit 0: a reservation may start from the station
  uint8_t unused98[24] = {};         // 98

  // The text fields up to their first zero, never beyond their 16 bytes.
  std::string Name() const;
  std::string Serial() const;
  void SetName(const std::string& name);      // cut to 16 bytes, zero-filled
  void SetSerial(const std::string& serial);  // cut to 16 bytes, zero-filled
};

// A stored frame: its arrival tick (32-bit, wraps) and the whole frame.
struct SNDPFrameRecord {
  uint32_t tick = 0;
  SNDPFrame frame;
  // The IPv4 address the datagram came from (first octet in the most significant byte),
  // 0 when unknown. Unlike the frame's ipAddress field it is not the sender's own claim.
  uint32_t source = 0;
};

// Reads a datagram into `frame` and applies the checks that belong to the frame itself:
// exactly 122 bytes, length 122, magic 0xA55A, version 1 and a state other than
// "starting". Returns false for anything else (the frame is then filled as far as the
// bytes allow and must not be used). A datagram shorter than a frame is never accepted.
bool DecodeSNDPFrame(const uint8_t* data, size_t size, SNDPFrame& frame);

// Writes the 122 wire bytes of `frame` exactly as given (no field is corrected).
void EncodeSNDPFrame(const SNDPFrame& frame, uint8_t out[kSNDPFrameSize]);

// Who sent an accepted frame, by the scanner-name rule.
enum class SNDPSender { Rejected, Scanner, Simulator };

// The name rule: with `simulatedSetting` non-zero every frame counts as the simulator;
// otherwise a name equal to `configuredName` (exact) is a real scanner, and "s" followed
// by `configuredName` (ignoring case) is the simulator; anything else is rejected.
SNDPSender ClassifySNDPSender(const SNDPFrame& frame, const std::wstring& configuredName,
                              int simulatedSetting);

// The serial rule: the serial must not be empty and must begin with `serialFilter`
// (case-sensitive prefix; an empty filter accepts every serial).
bool SNDPSerialAccepted(const SNDPFrame& frame, const std::wstring& serialFilter);

// The normalisation applied before a frame is stored: a resaTerminal above 10 becomes 0,
// and then a "reserved" state becomes "ready".
void NormalizeSNDPFrame(SNDPFrame& frame);

// Text forms used by the logs and the status queries.
std::wstring SNDPSerialText(const SNDPFrame& frame);    // serial as wide text
std::wstring SNDPNameText(const SNDPFrame& frame);      // scanner name as wide text
std::wstring FormatIPv4(uint32_t address);              // "%d.%d.%d.%d", first octet first
std::wstring FormatSNDPMac(const SNDPFrame& frame);     // "AA:BB:CC:DD:EE:FF"
std::wstring FormatSNDPFirmware(const SNDPFrame& frame);  // bytes 64, 65, 62, 63: "a.b.cd"
std::wstring FormatSNDPFpga(const SNDPFrame& frame);    // "%d.%d" from bytes 67 then 66
