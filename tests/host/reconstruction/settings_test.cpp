// The reconstruction's settings over CKvParameters: each read goes to the settings file
// at the moment of the call, with the key's default and limits, and the command-line
// values come from the parameters object.
#include <gtest/gtest.h>

#include "acquisition/KvReconSettings.h"
#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "tests/host/settings/fake_system.h"

namespace {
const wchar_t kIni[] = L"C:\\users\\doc\\AppData\\Local\\Orvaq\\Orvaq.INI";

struct ReconSettingsTest : ::testing::Test {
  FakeSystem sys;
  CKvMemoryProfile profile;
  CKvParameters params{profile, sys};
  CKvReconSettings settings{params};
  void Set(const wchar_t* key, const wchar_t* value, const wchar_t* section = L"SENSOR") {
    const std::wstring v = value;
    profile.WriteString(kIni, section, key, &v);
  }
};
}  // namespace

TEST_F(ReconSettingsTest, CorrectionDefaults) {
  const orvaq::recon::CorrectionSettings c = settings.Correction();
  EXPECT_TRUE(c.horizontalCorrection);
  EXPECT_EQ(c.horizontalCorrectionFactor, 0.0);
  EXPECT_EQ(c.horizontalCorrectionType, 0);
  EXPECT_DOUBLE_EQ(c.horizontalEpsilonCorrection, 0.1);
  EXPECT_EQ(c.horizontalOffsetCorrection, 0);
  EXPECT_FALSE(c.storeIntermediateImages);
  EXPECT_EQ(c.valeurEtirement, 57000);
}

TEST_F(ReconSettingsTest, EachReadSeesTheFileAsItIsNow) {
  Set(L"HorizontalCorrectionFactor", L"0.016");
  Set(L"HorizontalEpsilonCorrection", L"");
  Set(L"ValeurEtirement", L"56000");
  Set(L"StoreIntermediateImages", L"1");
  Set(L"AcqGamma", L"-30");
  orvaq::recon::CorrectionSettings c = settings.Correction();
  EXPECT_DOUBLE_EQ(c.horizontalCorrectionFactor, 0.016);
  EXPECT_EQ(c.horizontalEpsilonCorrection, 0.0);
  EXPECT_EQ(c.valeurEtirement, 56000);
  EXPECT_TRUE(c.storeIntermediateImages);
  EXPECT_EQ(settings.AcqGamma(), -30);
  Set(L"HorizontalCorrectionFactor", L"1001");
  Set(L"AcqGamma", L"50");
  EXPECT_EQ(settings.Correction().horizontalCorrectionFactor, 0.0);
  EXPECT_EQ(settings.AcqGamma(), 50);
}

TEST_F(ReconSettingsTest, TwainForcesIgnoreMireAndQuality) {
  Set(L"IgnoreMire", L"0");
  Set(L"AcquisitionQuality", L"5");
  EXPECT_FALSE(settings.Correction().ignoreMire);
  EXPECT_EQ(settings.AcquisitionQuality(), 2);
  params.m_bTwain = true;
  EXPECT_TRUE(settings.Correction().ignoreMire);
  EXPECT_TRUE(settings.Twain());
}

TEST_F(ReconSettingsTest, CommandLineValues) {
  params.m_bImaging = true;
  params.m_nOutputDepth = 0;
  params.m_sPatient = L"Anne";
  params.m_sPatientId = L"1234";
  params.m_sDoctor = L"Dr Blanc";
  EXPECT_TRUE(settings.Imaging());
  EXPECT_EQ(settings.OutputDepth(), 0);
  EXPECT_EQ(settings.PatientName(), L"Anne");
  EXPECT_EQ(settings.PatientId(), L"1234");
  EXPECT_EQ(settings.DoctorName(), L"Dr Blanc");
}

TEST_F(ReconSettingsTest, MultiImagesTurnsTheCompositionOff) {
  Set(L"AcquisitionUseT4", L"2");
  EXPECT_EQ(settings.AcquisitionUseT4(), 2);
  Set(L"AcqMultiImages", L"1", L"TWAIN");
  EXPECT_EQ(settings.AcquisitionUseT4(), 0);
}
