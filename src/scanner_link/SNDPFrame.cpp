// Status frame decoding, encoding and the per-frame acceptance rules (see SNDPFrame.h).
#include "scanner_link/SNDPFrame.h"

#include <cstdio>
#include <cstring>

#include "common/ByteReader.h"
#include "common/Text.h"

namespace {

std::string FixedText(const char (&field)[16]) {
  size_t n = 0;
  while (n < sizeof field && field[n] != '\0') ++n;
  return std::string(field, n);
}

void SetFixedText(char (&field)[16], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), text.size() < sizeof field ? text.size() : sizeof field);
}

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::string SNDPFrame::Name() const { return FixedText(scannerName); }
std::string SNDPFrame::Serial() const { return FixedText(serial); }
void SNDPFrame::SetName(const std::string& name) { SetFixedText(scannerName, name); }
void SNDPFrame::SetSerial(const std::string& text) { SetFixedText(serial, text); }

bool DecodeSNDPFrame(const uint8_t* data, size_t size, SNDPFrame& f) {
  orvaq::CByteReader r(data, size);
  f.length = r.U16();
  f.magic = r.U16();
  f.version = r.U8();
  r.Bytes(f.scannerName, sizeof f.scannerName);
  r.Bytes(f.serial, sizeof f.serial);
  f.ipAddress = r.U32();
  r.Bytes(f.unused41, sizeof f.unused41);
  f.imagePort = r.U16();
  f.unused55 = r.U8();
  r.Bytes(f.macAddress, sizeof f.macAddress);
  r.Bytes(f.firmwareVersion, sizeof f.firmwareVersion);
  r.Bytes(f.fpgaVersion, sizeof f.fpgaVersion);
  f.addressMode = r.U16();
  f.subnetMask = r.U32();
  f.gateway = r.U32();
  f.state = r.U8();
  f.resaTerminal = r.U8();
  f.lastError = r.U8();
  f.autoResaTerminal = r.U8();
  f.stationMask = r.U16();
  f.remainingTime = r.U16();
  f.frameNumber = r.U8();
  f.waitingImageTerminal = r.U8();
  r.Bytes(f.unused88, sizeof f.unused88);
  f.reservationMode = r.U8();
  f.stationFlags = r.U8();
  r.Bytes(f.unused98, sizeof f.unused98);
  if (!r.Ok() || size != kSNDPFrameSize) return false;
  return f.length == kSNDPFrameSize && f.magic == kSNDPMagic && f.version == kSNDPVersion &&
         f.state != SNDP_STATE_STARTING;
}

void EncodeSNDPFrame(const SNDPFrame& f, uint8_t out[kSNDPFrameSize]) {
  std::memset(out, 0, kSNDPFrameSize);
  Put16(out + 0, f.length);
  Put16(out + 2, f.magic);
  out[4] = f.version;
  std::memcpy(out + 5, f.scannerName, 16);
  std::memcpy(out + 21, f.serial, 16);
  Put32(out + 37, f.ipAddress);
  std::memcpy(out + 41, f.unused41, 12);
  Put16(out + 53, f.imagePort);
  out[55] = f.unused55;
  std::memcpy(out + 56, f.macAddress, 6);
  std::memcpy(out + 62, f.firmwareVersion, 4);
  std::memcpy(out + 66, f.fpgaVersion, 2);
  Put16(out + 68, f.addressMode);
  Put32(out + 70, f.subnetMask);
  Put32(out + 74, f.gateway);
  out[78] = f.state;
  out[79] = f.resaTerminal;
  out[80] = f.lastError;
  out[81] = f.autoResaTerminal;
  Put16(out + 82, f.stationMask);
  Put16(out + 84, f.remainingTime);
  out[86] = f.frameNumber;
  out[87] = f.waitingImageTerminal;
  std::memcpy(out + 88, f.unused88, 8);
  out[96] = f.reservationMode;
  out[97] = f.stationFlags;
  std::memcpy(out + 98, f.unused98, 24);
}

SNDPSender ClassifySNDPSender(const SNDPFrame& frame, const std::wstring& configuredName,
                              int simulatedSetting) {
  if (simulatedSetting != 0) return SNDPSender::Simulator;
  const std::wstring name = SNDPNameText(frame);
  if (name == configuredName) return SNDPSender::Scanner;
  if (orvaq::EqualsNoCase(name, L"s" + configuredName)) return SNDPSender::Simulator;
  return SNDPSender::Rejected;
}

bool SNDPSerialAccepted(const SNDPFrame& frame, const std::wstring& serialFilter) {
  const std::wstring serial = SNDPSerialText(frame);
  if (serial.empty()) return false;
  return serial.compare(0, serialFilter.size(), serialFilter) == 0;
}

void NormalizeSNDPFrame(SNDPFrame& frame) {
  if (frame.resaTerminal > 10) {
    frame.resaTerminal = 0;
    if (frame.state == SNDP_STATE_RESERVED) frame.state = SNDP_STATE_READY;
  }
}

std::wstring SNDPSerialText(const SNDPFrame& frame) { return orvaq::FromLatin1(frame.Serial()); }
std::wstring SNDPNameText(const SNDPFrame& frame) { return orvaq::FromLatin1(frame.Name()); }

std::wstring FormatIPv4(uint32_t a) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", (a >> 24) & 0xFF, (a >> 16) & 0xFF,
                (a >> 8) & 0xFF, a & 0xFF);
  return orvaq::FromLatin1(text);
}

std::wstring FormatSNDPMac(const SNDPFrame& f) {
  char text[32];
  const uint8_t* m = f.macAddress;
  std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4],
                m[5]);
  return orvaq::FromLatin1(text);
}

std::wstring FormatSNDPFirmware(const SNDPFrame& f) {
  // Printed character by character; a zero byte ends the text as it would in a C string.
  const uint8_t chars[4] = {f.firmwareVersion[2], f.firmwareVersion[3], f.firmwareVersion[0],
                            f.firmwareVersion[1]};
  static const char* const kSeparators[4] = {"", ".", ".", ""};
  std::string text;
  for (int i = 0; i < 4; ++i) {
    text += kSeparators[i];
    if (chars[i] == 0) break;
    text += static_cast<char>(chars[i]);
  }
  return orvaq::FromLatin1(text);
}

std::wstring FormatSNDPFpga(const SNDPFrame& f) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u", f.fpgaVersion[1], f.fpgaVersion[0]);
  return orvaq::FromLatin1(text);
}
