// The reconstruction's settings and command-line values over the process-wide
// CKvParameters: every call reads its key there, with the key's default and limits.
#pragma once

#include "acquisition/Reconstruction.h"

class CKvParameters;

class CKvReconSettings : public IReconSettings {
 public:
  explicit CKvReconSettings(CKvParameters& parameters) : m_Parameters(parameters) {}

  std::wstring ImagesPath() override;
  bool DemoMode() override;
  int AcquisitionUseT4() override;
  int AcquisitionQuality() override;
  orvaq::recon::CorrectionSettings Correction() override;
  int AcqFilter() override;
  int AcqFilterLevel() override;
  int AcqGamma() override;
  int AcqLuminosity() override;
  int AcqContrast() override;
  bool ShowImagePreview() override;
  int AdvancedDenoising() override;
  std::wstring LUMEQ2Serial() override;
  bool Imaging() override;
  bool Twain() override;
  int OutputDepth() override;
  std::wstring PatientName() override;
  std::wstring PatientId() override;
  std::wstring DoctorName() override;
  std::wstring GetText(int id) override;
  std::wstring PendingPlatesFolder() override;

 private:
  CKvParameters& m_Parameters;
};
