// A plate kept until its outputs exist: who it belongs to (doctor, patient, patient id,
// images folder, time, "/imaging"), the name of its raw copy beside the record, and the
// information file of a hand-over to the rebuild program. The record is a small UTF-8
// text ("[PLAQUE]", one "Key=value" per line, CR LF), in a folder of the program's data
// that the calling application never reads. Pure functions; CReconstruction does the files.
#pragma once

#include <cstdint>
#include <string>

namespace orvaq {
namespace recon {

struct PendingPlate {
  std::wstring doctor, patient, patientId;
  std::wstring imagesFolder;
  std::wstring time;     // local time of the record, "YYYY-MM-DD hh:mm:ss"
  bool imaging = false;  // the run was started with "/imaging"
  std::wstring rawName;  // the kept raw file, a plain name in the record's folder
  // The ".NFOT" left for the rebuild program (empty: reconstructed in this process). Its
  // disappearance (renamed to ".NFO") means the rebuild's outputs exist.
  std::wstring handover;
  int tries = 0;  // recoveries started at a start of the program
};

// Extensions in the pending folder: the record, its temporary name while it is written,
// and the raw copy.
constexpr const wchar_t* kPendingRecordExt = L".PLQ";
constexpr const wchar_t* kPendingTempExt = L".PLQT";
constexpr const wchar_t* kPendingRawExt = L".BIN";
// A plate whose recovery was started this many times (each may have failed or crashed)
// is no longer tried; its files stay for the service staff.
constexpr int kMaxRecoveryTries = 3;

std::string ComposePendingPlate(const PendingPlate& plate);
// False when the text is not a whole record (header, an images folder, a raw name that
// is a plain file name); unknown keys are ignored.
bool ParsePendingPlate(const std::string& bytes, PendingPlate& plate);

// The base name of a new plate from its time text and a tick, e.g. "20261208-093000-0001869F";
// `attempt` > 0 makes another name when that one is taken.
std::wstring PendingPlateBaseName(const std::wstring& time, uint32_t tick, int attempt);

// What a start of the program does with one record.
enum class RecoveryAction {
  kUnreadable,  // record not readable: kept, logged
  kDone,        // handed over and the rebuild's information file is complete: removed
  kGiveUp,      // tried kMaxRecoveryTries times already: kept, logged
  kRawMissing,  // the raw copy cannot be read: kept, logged
  kRebuild,     // reconstructed for the recorded patient
};
RecoveryAction DecideRecovery(bool parsed, const PendingPlate& plate, bool handoverStillPending, bool rawReadable);

// A delivered plate the scanner may still hold: the process can stop after the plate's
// outputs exist (written at once, or by the recovery at the next start) and before the
// scanner had its acknowledgement; the scanner then offers the same bytes again as its
// stored image. The fingerprint (".LIV" beside the records) lets that read be
// acknowledged without a second delivery, perhaps for another patient.
struct DeliveredPlate {
  uint64_t size = 0;
  uint64_t hash = 0;  // RawFingerprint of the whole raw file
  std::wstring patient, time;
};
constexpr const wchar_t* kDeliveredExt = L".LIV";
// The newest fingerprints kept; older ones go when a new one is written.
constexpr size_t kMaxDeliveredPlates = 32;

uint64_t RawFingerprint(const uint8_t* data, size_t size);
std::string ComposeDeliveredPlate(const DeliveredPlate& plate);
bool ParseDeliveredPlate(const std::string& bytes, DeliveredPlate& plate);

}  // namespace recon
}  // namespace orvaq
