// CKvAcqSettings: forwards every read to CKvParameters (see KvAcqSettings.h).
#include "acquisition/KvAcqSettings.h"

#include <cwchar>

#include "scanner_link/HttpClient.h"
#include "settings/KvParameters.h"

int CKvAcqSettings::LUMEQ2Simulated() { return m_Parameters.GetLUMEQ2Simulated() ? 1 : 0; }
std::wstring CKvAcqSettings::LUMEQ2Name() { return m_Parameters.GetLUMEQ2Name(); }
std::wstring CKvAcqSettings::LUMEQ2FiltreSerial() { return m_Parameters.GetLUMEQ2FiltreSerial(); }
std::wstring CKvAcqSettings::LUMEQ2Serial() { return m_Parameters.GetLUMEQ2Serial(); }
void CKvAcqSettings::SetLUMEQ2Serial(const std::wstring& serial) { m_Parameters.SetLUMEQ2Serial(serial); }
int CKvAcqSettings::LUMEQ2Color() { return m_Parameters.GetLUMEQ2Color(); }
int CKvAcqSettings::StationNumber() { return m_Parameters.GetStationNumber(); }
void CKvAcqSettings::SetStationNumber(int number) { m_Parameters.SetStationNumber(number); }
bool CKvAcqSettings::DemoMode() { return m_Parameters.GetDemoMode(); }
int CKvAcqSettings::ReservationDuration() { return m_Parameters.GetReservationDuration(); }
int CKvAcqSettings::AcquisitionQuality() { return m_Parameters.GetAcquisitionQuality(); }
int CKvAcqSettings::HTTPTimeOut() { return m_Parameters.GetHTTPTimeOut(); }
int CKvAcqSettings::BatchLastImage() { return m_Parameters.GetBatchLastImage(); }
std::wstring CKvAcqSettings::AdapterName() { return m_Parameters.GetAdapterName(); }
std::wstring CKvAcqSettings::AdapterIPAddress() { return m_Parameters.GetAdapterIPAddress(); }
int CKvAcqSettings::LoggerType() { return m_Parameters.GetLoggerType(); }
std::wstring CKvAcqSettings::ImagesPath() { return m_Parameters.GetImagesPath(); }
std::wstring CKvAcqSettings::DoctorName() { return m_Parameters.m_sDoctor; }
std::wstring CKvAcqSettings::PatientName() { return m_Parameters.m_sPatient; }

// The language is kept as its hexadecimal identifier text ("40C").
int CKvAcqSettings::LanguageId() {
  return static_cast<int>(std::wcstol(m_Parameters.GetLanguage().c_str(), nullptr, 16));
}

std::wstring CKvAcqSettings::GetText(int id) { return m_Parameters.GetText(id); }

std::wstring CKvAcqSettings::HttpAgent() {
  return FormatHttpAgent(m_Parameters.GetText(1000), m_nMajor, m_nMinor, m_nBuild);
}
