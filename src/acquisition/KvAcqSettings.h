// The controller's settings reads over the process-wide CKvParameters: each call reads
// its key through the parameters object, which applies the key's default and limits.
#pragma once

#include "acquisition/AcquisitionHost.h"

class CKvParameters;

class CKvAcqSettings : public IAcqSettings {
 public:
  // `major`, `minor`, `build`: the program's file version, for the HTTP agent.
  CKvAcqSettings(CKvParameters& parameters, int major, int minor, int build)
      : m_Parameters(parameters), m_nMajor(major), m_nMinor(minor), m_nBuild(build) {}

  int LUMEQ2Simulated() override;
  std::wstring LUMEQ2Name() override;
  std::wstring LUMEQ2FiltreSerial() override;
  std::wstring LUMEQ2Serial() override;
  void SetLUMEQ2Serial(const std::wstring& serial) override;
  int LUMEQ2Color() override;
  int StationNumber() override;
  void SetStationNumber(int number) override;
  bool DemoMode() override;
  int ReservationDuration() override;
  int AcquisitionQuality() override;
  int HTTPTimeOut() override;
  int BatchLastImage() override;
  std::wstring AdapterName() override;
  std::wstring AdapterIPAddress() override;
  int LoggerType() override;
  std::wstring ImagesPath() override;
  std::wstring DoctorName() override;
  std::wstring PatientName() override;
  int LanguageId() override;
  std::wstring GetText(int id) override;
  std::wstring HttpAgent() override;

 private:
  CKvParameters& m_Parameters;
  int m_nMajor, m_nMinor, m_nBuild;
};
