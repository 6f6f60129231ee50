// CKvReconSettings: forwards every read to CKvParameters (see KvReconSettings.h).
#include "acquisition/KvReconSettings.h"

#include "settings/KvParameters.h"

std::wstring CKvReconSettings::ImagesPath() { return m_Parameters.GetImagesPath(); }
bool CKvReconSettings::DemoMode() { return m_Parameters.GetDemoMode(); }
int CKvReconSettings::AcquisitionUseT4() { return m_Parameters.GetAcquisitionUseT4(); }
int CKvReconSettings::AcquisitionQuality() { return m_Parameters.GetAcquisitionQuality(); }

orvaq::recon::CorrectionSettings CKvReconSettings::Correction() {
  orvaq::recon::CorrectionSettings s;
  s.horizontalCorrection = m_Parameters.GetHorizontalCorrection();
  s.horizontalCorrectionFactor = m_Parameters.GetHorizontalCorrectionFactor();
  s.horizontalCorrectionType = m_Parameters.GetHorizontalCorrectionType();
  s.horizontalEpsilonCorrection = m_Parameters.GetHorizontalEpsilonCorrection();
  s.horizontalOffsetCorrection = m_Parameters.GetHorizontalOffsetCorrection();
  s.storeIntermediateImages = m_Parameters.GetStoreIntermediateImages();
  s.valeurEtirement = m_Parameters.GetValeurEtirement();
  s.ignoreMire = m_Parameters.GetIgnoreMire();
  return s;
}

int CKvReconSettings::AcqFilter() { return m_Parameters.GetAcqFilter(); }
int CKvReconSettings::AcqFilterLevel() { return m_Parameters.GetAcqFilterLevel(); }
int CKvReconSettings::AcqGamma() { return m_Parameters.GetAcqGamma(); }
int CKvReconSettings::AcqLuminosity() { return m_Parameters.GetAcqLuminosity(); }
int CKvReconSettings::AcqContrast() { return m_Parameters.GetAcqContrast(); }
bool CKvReconSettings::ShowImagePreview() { return m_Parameters.GetShowImagePreview(); }
int CKvReconSettings::AdvancedDenoising() { return m_Parameters.GetAdvancedDenoising(); }
std::wstring CKvReconSettings::LUMEQ2Serial() { return m_Parameters.GetLUMEQ2Serial(); }
bool CKvReconSettings::Imaging() { return m_Parameters.m_bImaging; }
bool CKvReconSettings::Twain() { return m_Parameters.m_bTwain; }
int CKvReconSettings::OutputDepth() { return m_Parameters.m_nOutputDepth; }
std::wstring CKvReconSettings::PatientName() { return m_Parameters.m_sPatient; }
std::wstring CKvReconSettings::PatientId() { return m_Parameters.m_sPatientId; }
std::wstring CKvReconSettings::DoctorName() { return m_Parameters.m_sDoctor; }
std::wstring CKvReconSettings::GetText(int id) { return m_Parameters.GetText(id); }
std::wstring CKvReconSettings::PendingPlatesFolder() { return m_Parameters.GetPendingPlatesFolder(); }
