// The reconstruction's settings as plain fields, and the real operating system with the
// program in a folder of the test's choosing: what the reconstruction tests and the
// measuring tool run it with under Wine, instead of the program's INI files.
#pragma once

#include <string>

#include "acquisition/Reconstruction.h"
#include "settings/win/KvSystemWin.h"

struct FakeReconSettings : IReconSettings {
  std::wstring images;
  bool demo = false, imaging = false;
  int quality = 0, gamma = 0, luminosity = 0, contrast = 0;
  std::wstring patient = L"Anne", patientId = L"1234", doctor = L"Dr Blanc";
  std::wstring ImagesPath() override { return images; }
  bool DemoMode() override { return demo; }
  int AcquisitionUseT4() override { return 0; }
  int AcquisitionQuality() override { return quality; }
  orvaq::recon::CorrectionSettings Correction() override { return {}; }
  int AcqFilter() override { return 0; }
  int AcqFilterLevel() override { return 0; }
  int AcqGamma() override { return gamma; }
  int AcqLuminosity() override { return luminosity; }
  int AcqContrast() override { return contrast; }
  bool ShowImagePreview() override { return false; }
  int AdvancedDenoising() override { return 0; }
  std::wstring LUMEQ2Serial() override { return L"LQ2-4711"; }
  bool Imaging() override { return imaging; }
  bool Twain() override { return false; }
  int OutputDepth() override { return 8; }
  std::wstring PatientName() override { return patient; }
  std::wstring PatientId() override { return patientId; }
  std::wstring DoctorName() override { return doctor; }
  std::wstring GetText(int id) override { return L"T" + std::to_wstring(id); }
  std::wstring PendingPlatesFolder() override { return std::wstring(); }
};

// The real operating system, with the program in `programFolder`: the rebuild program
// looked for beside it is the one the test puts there, or none.
class ProgramFolderSystem : public CKvSystemWin {
 public:
  std::wstring programFolder;
  std::wstring GetProgramPath() override { return programFolder + L"Orvaq.exe"; }
};
