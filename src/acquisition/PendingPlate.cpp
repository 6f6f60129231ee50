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
  size_t at = 0;
  bool header = false;
  while (at < bytes.size()) {
    size_t end = bytes.find('\n', at);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!header) {
      if (line != kHeader) return false;
      header = true;
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::wstring value = FromUtf8(line.substr(equals + 1));
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
  }
  return header && !plate.imagesFolder.empty() && IsPlainName(plate.rawName);
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

}  // namespace recon
}  // namespace orvaq
