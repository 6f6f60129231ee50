// Plates kept until their outputs exist, and their recovery at the next start (see
// Reconstruction.h and PendingPlate.h). A record is written to a temporary name, flushed
// and renamed, after its raw copy is flushed, so a record always names a whole raw file.
// Nothing here deletes a plate whose outputs do not exist: a plate that cannot be
// recovered stays in the folder and says so in the log.
#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "acquisition/Reconstruction.h"
#include "common/RawFormat.h"
#include "logging/KvLogger.h"
#include "settings/KvPaths.h"

using namespace orvaq::recon;

namespace {

// The settings of this run, but the names, the images folder and "/imaging" of the
// plate's own record: a recovered plate is never written for the current command line.
class CRecoveredPlateSettings : public IReconSettings {
 public:
  CRecoveredPlateSettings(IReconSettings& run, const PendingPlate& plate) : m_Run(run), m_Plate(plate) {}
  std::wstring ImagesPath() override { return m_Plate.imagesFolder; }
  bool DemoMode() override { return false; }
  int AcquisitionUseT4() override { return m_Run.AcquisitionUseT4(); }
  int AcquisitionQuality() override { return m_Run.AcquisitionQuality(); }
  CorrectionSettings Correction() override { return m_Run.Correction(); }
  int AcqFilter() override { return m_Run.AcqFilter(); }
  int AcqFilterLevel() override { return m_Run.AcqFilterLevel(); }
  int AcqGamma() override { return m_Run.AcqGamma(); }
  int AcqLuminosity() override { return m_Run.AcqLuminosity(); }
  int AcqContrast() override { return m_Run.AcqContrast(); }
  bool ShowImagePreview() override { return false; }
  int AdvancedDenoising() override { return m_Run.AdvancedDenoising(); }
  std::wstring LUMEQ2Serial() override { return m_Run.LUMEQ2Serial(); }
  bool Imaging() override { return m_Plate.imaging; }
  bool Twain() override { return m_Run.Twain(); }
  int OutputDepth() override { return m_Run.OutputDepth(); }
  std::wstring PatientName() override { return m_Plate.patient; }
  std::wstring PatientId() override { return m_Plate.patientId; }
  std::wstring DoctorName() override { return m_Plate.doctor; }
  std::wstring GetText(int id) override { return m_Run.GetText(id); }
  std::wstring PendingPlatesFolder() override { return std::wstring(); }

 private:
  IReconSettings& m_Run;
  const PendingPlate& m_Plate;
};

const wchar_t* Shown(const std::wstring& name, const wchar_t* none) { return name.empty() ? none : name.c_str(); }

}  // namespace

bool CReconstruction::WritePendingRecord(const std::wstring& recordPath, const PendingPlate& plate) {
  const std::wstring temporary = orvaq::paths::ReplaceExtension(recordPath, kPendingTempExt);
  if (m_System.WriteNewFile(temporary, ComposePendingPlate(plate)) && m_System.MoveFileOver(temporary, recordPath))
    return true;
  m_System.RemoveFile(temporary);
  return false;
}

CReconstruction::KeptPlate CReconstruction::KeepPendingPlate(const std::wstring& rawPath) {
  KeptPlate kept;
  const std::wstring folder = m_Settings.PendingPlatesFolder();
  if (folder.empty()) return kept;
  m_System.CreateFolder(folder);
  PendingPlate& plate = kept.plate;
  plate.doctor = m_Settings.DoctorName();
  plate.patient = m_Settings.PatientName();
  plate.patientId = m_Settings.PatientId();
  plate.imagesFolder = m_Settings.ImagesPath();
  plate.time = m_Env.LocalTimeText();
  plate.imaging = m_Settings.Imaging();
  const uint32_t tick = m_Env.GetTickCount();
  std::wstring base;
  for (int attempt = 0; attempt < 100; ++attempt) {
    base = PendingPlateBaseName(plate.time, tick, attempt);
    if (!m_System.FileExists(orvaq::paths::Join(folder, base + kPendingRecordExt)) &&
        !m_System.FileExists(orvaq::paths::Join(folder, base + kPendingRawExt)))
      break;
  }
  plate.rawName = base + kPendingRawExt;
  const std::wstring rawCopy = orvaq::paths::Join(folder, plate.rawName);
  const std::wstring recordPath = orvaq::paths::Join(folder, base + kPendingRecordExt);
  if (!m_System.CopyFileOver(rawPath, rawCopy) || !m_System.FlushFile(rawCopy) ||
      !WritePendingRecord(recordPath, plate)) {
    m_System.RemoveFile(rawCopy);
    LogPrintf(L"Impossible de conserver la plaque avant son acquittement : %ls", folder.c_str());
    return KeptPlate();
  }
  kept.recordPath = recordPath;
  LogPrintf(L"Plaque conservée jusqu'à l'écriture de ses fichiers : %ls (%ls - %ls).", recordPath.c_str(),
            Shown(plate.doctor, L"No doctor name"), Shown(plate.patient, L"No patient name"));
  return kept;
}

void CReconstruction::DropPendingPlate(const std::wstring& recordPath, const PendingPlate& plate) {
  if (recordPath.empty()) return;
  // Its outputs exist, but the scanner may not have its acknowledgement yet.
  RememberDelivered(recordPath, plate);
  // The record first: a raw copy without a record is never taken for an unfinished plate.
  if (!m_System.RemoveFile(recordPath)) {
    LogPrintf(L"Suppression de l'enregistrement de la plaque impossible : %ls", recordPath.c_str());
    return;
  }
  m_System.RemoveFile(orvaq::paths::FolderWithSeparator(recordPath) + plate.rawName);
  LogPrintf(L"Fichiers de la plaque écrits : enregistrement supprimé (%ls).", orvaq::paths::FileName(recordPath).c_str());
}

int CReconstruction::RecoverPendingPlates() {
  const std::wstring folder = m_Settings.PendingPlatesFolder();
  std::vector<std::wstring> names;
  if (folder.empty() || !m_System.ListFiles(folder, kPendingRecordExt, names) || names.empty()) return 0;
  LogPrintf(L"Plaques acquittées en attente de leurs fichiers : %d.", static_cast<int>(names.size()));
  int recovered = 0;
  for (const std::wstring& name : names)
    if (RecoverOne(folder, name)) ++recovered;
  return recovered;
}

bool CReconstruction::RecoverOne(const std::wstring& folder, const std::wstring& recordName) {
  const std::wstring recordPath = orvaq::paths::Join(folder, recordName);
  PendingPlate plate;
  bool parsed = false;
  if (std::unique_ptr<IKvReadFile> file = m_System.OpenForReading(recordPath)) {
    const uint64_t size = file->Size();
    if (size > 0 && size < 65536) {
      std::string bytes(static_cast<size_t>(size), '\0');
      parsed = file->ReadAll(reinterpret_cast<uint8_t*>(&bytes[0]), bytes.size()) && ParsePendingPlate(bytes, plate);
    }
  }
  const std::wstring rawPath = parsed ? orvaq::paths::Join(folder, plate.rawName) : std::wstring();
  uint64_t rawSize = 0;
  uint8_t header[orvaq::raw::kHeaderSize];
  const bool rawReadable =
      parsed && m_System.ReadFileStart(rawPath, rawSize, header, sizeof header) && rawSize > orvaq::raw::kHeaderSize;
  const bool handoverPending = parsed && !plate.handover.empty() && m_System.FileExists(plate.handover);

  switch (DecideRecovery(parsed, plate, handoverPending, rawReadable)) {
    case RecoveryAction::kUnreadable:
      LogPrintf(L"Enregistrement de plaque illisible, conservé : %ls", recordPath.c_str());
      return false;
    case RecoveryAction::kDone:
      LogPrintf(L"Plaque terminée par le rebuild externe : %ls", recordName.c_str());
      DropPendingPlate(recordPath, plate);
      return true;
    case RecoveryAction::kGiveUp:
      LogPrintf(L"Plaque abandonnée après %d reprises, conservée : %ls", plate.tries, recordPath.c_str());
      return false;
    case RecoveryAction::kRawMissing:
      LogPrintf(L"Image brute de la plaque illisible, enregistrement conservé : %ls (%ls)", recordPath.c_str(),
                rawPath.c_str());
      return false;
    case RecoveryAction::kRebuild:
      break;
  }

  LogPrintf(L"Reprise d'une plaque acquittée du %ls pour %ls (%ls - %ls) dans %ls.", plate.time.c_str(),
            Shown(plate.patient, L"No patient name"), Shown(plate.patientId, L""),
            Shown(plate.doctor, L"No doctor name"), plate.imagesFolder.c_str());
  // Counted before the attempt: a plate that makes the program fail is not retried forever.
  ++plate.tries;
  if (!WritePendingRecord(recordPath, plate))
    LogPrintf(L"Mise à jour de l'enregistrement de la plaque impossible : %ls", recordPath.c_str());
  // A rebuild that never finished must not complete it later as well.
  if (!plate.handover.empty()) m_System.RemoveFile(plate.handover);

  m_System.CreateFolder(plate.imagesFolder);
  std::wstring work;
  if (!m_System.MakeTempFile(plate.imagesFolder, L"LAST", work) || !m_System.CopyFileOver(rawPath, work)) {
    if (!work.empty()) m_System.RemoveFile(work);
    LogPrintf(L"Reprise de la plaque impossible, conservée : %ls", recordPath.c_str());
    return false;
  }
  CRecoveredPlateSettings settings(m_Settings, plate);
  CNoReconProgress noController;
  CReconstruction job(noController, settings, m_Env, m_System, m_Pictures, m_Loader, m_MultiPlate);
  job.m_bShowThumbnail = false;
  if (!job.ClassicRebuild(work)) {
    LogPrintf(L"Reprise de la plaque impossible, conservée : %ls", recordPath.c_str());
    return false;
  }
  LogPrintf(L"Plaque reprise pour %ls.", Shown(plate.patient, L"No patient name"));
  DropPendingPlate(recordPath, plate);
  return true;
}

bool CReconstruction::FingerprintFile(const std::wstring& path, DeliveredPlate& print) {
  std::unique_ptr<IKvReadFile> file = m_System.OpenForReading(path);
  if (!file) return false;
  const uint64_t size = file->Size();
  // Far above any plate; a size the address space cannot hold is not read.
  if (size == 0 || size > (uint64_t(1) << 30)) return false;
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
  if (!bytes || !file->ReadAll(bytes.get(), static_cast<size_t>(size))) return false;
  print.size = size;
  print.hash = RawFingerprint(bytes.get(), static_cast<size_t>(size));
  return true;
}

void CReconstruction::RememberDelivered(const std::wstring& recordPath, const PendingPlate& plate) {
  DeliveredPlate print;
  if (!FingerprintFile(orvaq::paths::FolderWithSeparator(recordPath) + plate.rawName, print)) return;
  print.patient = plate.patient;
  print.time = plate.time;
  const std::wstring path = orvaq::paths::ReplaceExtension(recordPath, kDeliveredExt);
  if (!m_System.WriteNewFile(path, ComposeDeliveredPlate(print))) {
    LogPrintf(L"Empreinte de la plaque reprise impossible à écrire : %ls", path.c_str());
    return;
  }
  // Names start with the record's time: the oldest come first.
  const std::wstring folder = orvaq::paths::FolderWithSeparator(recordPath);
  std::vector<std::wstring> names;
  if (!m_System.ListFiles(folder, kDeliveredExt, names) || names.size() <= kMaxDeliveredPlates) return;
  std::sort(names.begin(), names.end());
  for (size_t i = 0; i + kMaxDeliveredPlates < names.size(); ++i) m_System.RemoveFile(folder + names[i]);
}

bool CReconstruction::DeliveredBefore(const std::wstring& rawPath) {
  const std::wstring folder = m_Settings.PendingPlatesFolder();
  std::vector<std::wstring> names;
  if (folder.empty() || !m_Controller.ReadingStoredImage() || !m_System.ListFiles(folder, kDeliveredExt, names) ||
      names.empty())
    return false;
  DeliveredPlate received;
  if (!FingerprintFile(rawPath, received)) return false;
  for (const std::wstring& name : names) {
    const std::wstring path = orvaq::paths::Join(folder, name);
    std::unique_ptr<IKvReadFile> file = m_System.OpenForReading(path);
    DeliveredPlate print;
    const uint64_t size = file ? file->Size() : 0;
    if (size == 0 || size > 4096) continue;
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!file->ReadAll(reinterpret_cast<uint8_t*>(&bytes[0]), bytes.size()) || !ParseDeliveredPlate(bytes, print))
      continue;
    if (print.size != received.size || print.hash != received.hash) continue;
    file.reset();
    LogPrintf(L"Image déjà livrée (plaque du %ls pour %ls) : acquittée sans nouvelle image.", print.time.c_str(),
              Shown(print.patient, L"No patient name"));
    m_System.RemoveFile(path);
    return true;
  }
  return false;
}
