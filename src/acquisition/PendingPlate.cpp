// The pending-plate record as text, and the start-up decision (see PendingPlate.h).
#include "acquisition/PendingPlate.h"

#include <cstdio>

#include "common/Text.h"

namespace orvaq {
namespace recon {

namespace {
const char kHeader[] = "[PLAQUE]";

// Values are single lines: a line break in a name would end its value early.
std::string Value(const std::wstring& text) {
  std::string out = ToUtf8(text);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

bool IsPlainName(const std::wstring& name) {
  return !name.empty() && name.find_first_of(L"\\/:") == std::wstring::npos && name != L"." && name != L"..";
}

// Calls `field` with the key and value of every "Key=value" line after the first, which
// must be `header` (lines end with LF or CR LF; lines without "=" are skipped). False when
// the header is missing or `field` refuses a value.
template <typename Field>
bool ForEachField(const std::string& bytes, const char* header, Field field) {
  size_t at = 0;
  bool seen = false;
  while (at < bytes.size()) {
    size_t end = bytes.find('\n', at);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!seen) {
      if (line != header) return false;
      seen = true;
      continue;
    }
    const size_t equals = line.find('=');
    if (equals != std::string::npos && !field(line.substr(0, equals), line.substr(equals + 1))) return false;
  }
  return seen;
}
}  // namespace

std::string ComposePendingPlate(const PendingPlate& p) {
  std::string text = std::string(kHeader) + "\r\n";
  auto line = [&text](const char* key, const std::string& value) { text += std::string(key) + "=" + value + "\r\n"; };
  line("Doctor", Value(p.doctor));
  line("Patient", Value(p.patient));
  line("PatientID", Value(p.patientId));
  line("Images", Value(p.imagesFolder));
  line("Time", Value(p.time));
  line("Imaging", p.imaging ? "1" : "0");
  line("Raw", Value(p.rawName));
  line("Handover", Value(p.handover));
  line("Tries", std::to_string(p.tries));
  return text;
}

bool ParsePendingPlate(const std::string& bytes, PendingPlate& plate) {
  plate = PendingPlate();
  const bool read = ForEachField(bytes, kHeader, [&plate](const std::string& key, const std::string& text) {
    const std::wstring value = FromUtf8(text);
    if (key == "Doctor") plate.doctor = value;
    else if (key == "Patient") plate.patient = value;
    else if (key == "PatientID") plate.patientId = value;
    else if (key == "Images") plate.imagesFolder = value;
    else if (key == "Time") plate.time = value;
    else if (key == "Imaging") plate.imaging = value == L"1";
    else if (key == "Raw") plate.rawName = value;
    else if (key == "Handover") plate.handover = value;
    else if (key == "Tries") {
      int tries = 0;
      for (wchar_t c : value) {
        if (c < L'0' || c > L'9' || tries > 1000) return false;
        tries = tries * 10 + (c - L'0');
      }
      plate.tries = tries;
    }
    return true;
  });
  return read && !plate.imagesFolder.empty() && IsPlainName(plate.rawName);
}

std::wstring PendingPlateBaseName(const std::wstring& time, uint32_t tick, int attempt) {
  std::wstring digits;
  for (wchar_t c : time) {
    if (c >= L'0' && c <= L'9') digits += c;
    if (digits.size() == 8 && (c == L' ' || c == L'T')) digits += L'-';
  }
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, "-%08X", static_cast<unsigned>(tick + static_cast<uint32_t>(attempt)));
  return digits + FromUtf8(suffix);
}

RecoveryAction DecideRecovery(bool parsed, const PendingPlate& plate, bool handoverStillPending, bool rawReadable) {
  if (!parsed) return RecoveryAction::kUnreadable;
  if (!plate.handover.empty() && !handoverStillPending) return RecoveryAction::kDone;
  if (plate.tries >= kMaxRecoveryTries) return RecoveryAction::kGiveUp;
  if (!rawReadable) return RecoveryAction::kRawMissing;
  return RecoveryAction::kRebuild;
}

// Eight bytes a step (a plate is tens of megabytes), then the tail byte by byte, each
// step mixed by a multiply and a shift; the size goes in last. Not cryptographic: it tells
// one scan from another, whose noise differs everywhere.
uint64_t RawFingerprint(const uint8_t* data, size_t size) {
  uint64_t h = 0xCBF29CE484222325ull;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word = 0;
    for (int b = 0; b < 8; ++b) word |= uint64_t(data[i + b]) << (8 * b);
    h = (h ^ word) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
  }
  for (; i < size; ++i) h = (h ^ data[i]) * 0x100000001B3ull;
  return (h ^ uint64_t(size)) * 0x9E3779B97F4A7C15ull;
}

namespace {
const char kDeliveredHeader[] = "[LIVREE]";

bool ParseUnsigned(const std::string& text, int base, uint64_t& value) {
  if (text.empty() || text.size() > 20) return false;
  value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    const uint64_t next = value * uint64_t(base) + uint64_t(digit);
    if ((next - uint64_t(digit)) / uint64_t(base) != value) return false;  // overflow
    value = next;
  }
  return true;
}
}  // namespace

std::string ComposeDeliveredPlate(const DeliveredPlate& p) {
  char hash[24];
  std::snprintf(hash, sizeof hash, "%016llX", static_cast<unsigned long long>(p.hash));
  return std::string(kDeliveredHeader) + "\r\nSize=" + std::to_string(p.size) + "\r\nHash=" + hash +
         "\r\nPatient=" + Value(p.patient) + "\r\nTime=" + Value(p.time) + "\r\n";
}

bool ParseDeliveredPlate(const std::string& bytes, DeliveredPlate& plate) {
  plate = DeliveredPlate();
  bool size = false, hash = false;
  const bool read = ForEachField(bytes, kDeliveredHeader, [&](const std::string& key, const std::string& value) {
    if (key == "Size") size = ParseUnsigned(value, 10, plate.size);
    else if (key == "Hash") hash = value.size() == 16 && ParseUnsigned(value, 16, plate.hash);
    else if (key == "Patient") plate.patient = FromUtf8(value);
    else if (key == "Time") plate.time = FromUtf8(value);
    return true;
  });
  return read && size && hash && plate.size > 0;
}

}  // namespace recon
}  // namespace orvaq
