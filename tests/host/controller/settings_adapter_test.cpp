// The controller's settings reads over CKvParameters: keys with their defaults and
// limits, read again at every use, texts, the language identifier and the HTTP agent.
#include <gtest/gtest.h>

#include "acquisition/KvAcqSettings.h"
#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "tests/host/settings/fake_system.h"

namespace {

class AcqSettings : public ::testing::Test {
 protected:
  CKvMemoryProfile profile;
  FakeSystem system;
  CKvParameters parameters{profile, system};
  CKvAcqSettings settings{parameters, 1, 2, 3};
};

TEST_F(AcqSettings, DefaultsOfAnEmptySettingsFile) {
  EXPECT_EQ(settings.LUMEQ2Name(), L"lumeq2");
  EXPECT_EQ(settings.LUMEQ2Simulated(), 0);
  EXPECT_EQ(settings.LUMEQ2FiltreSerial(), L"");
  EXPECT_EQ(settings.LUMEQ2Serial(), L"");
  EXPECT_EQ(settings.HTTPTimeOut(), 1500);
  EXPECT_EQ(settings.BatchLastImage(), 1);
  EXPECT_FALSE(settings.DemoMode());
}

TEST_F(AcqSettings, ValuesAreReadAtEveryUseWithTheirLimits) {
  settings.SetStationNumber(4);
  EXPECT_EQ(settings.StationNumber(), 4);
  settings.SetStationNumber(7);
  EXPECT_EQ(settings.StationNumber(), 7);
  settings.SetLUMEQ2Serial(L"AB123");
  EXPECT_EQ(settings.LUMEQ2Serial(), L"AB123");
  parameters.WriteInt(L"SENSOR", L"ReservationDuration", 1200);
  EXPECT_EQ(settings.ReservationDuration(), 999);
  parameters.WriteInt(L"SENSOR", L"LUMEQ2Simulated", 5);
  EXPECT_EQ(settings.LUMEQ2Simulated(), 1);
  parameters.WriteString(L"SENSOR", L"LUMEQ2Name", L"lumeq3");
  EXPECT_EQ(settings.LUMEQ2Name(), L"lumeq3");
}

TEST_F(AcqSettings, CommandLineNamesLanguageTextsAndAgent) {
  parameters.m_sDoctor = L"Dr Who";
  parameters.m_sPatient = L"Amy";
  EXPECT_EQ(settings.DoctorName(), L"Dr Who");
  EXPECT_EQ(settings.PatientName(), L"Amy");
  parameters.SetLanguage(L"40C");
  EXPECT_EQ(settings.LanguageId(), 0x40C);
  parameters.SetLanguage(L"407");
  EXPECT_EQ(settings.LanguageId(), 0x407);
  const std::wstring text = L"Orvaq";
  profile.WriteString(parameters.GetTextFilePath(), L"407", L"1000", &text);
  EXPECT_EQ(settings.GetText(1000), L"Orvaq");
  EXPECT_EQ(settings.HttpAgent(), L"Orvaq [1.2.3]");
}

}  // namespace
