// RXFilter.DLL under Wine, found by name beside the test program and bound through
// CRXFilterLibrary: every entry point resolves, a simulated plate is reconstructed and
// filtered, the library is gone after the owner frees it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "win_test_support.h"
#include "filter_binding/RXFilterLibrary.h"
#include "filter_binding/win/RXFilterLibraryWin.h"
#include "simulator/Plates.h"

namespace {

std::wstring TempFile(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + name;
}

}  // namespace

TEST(RXFilterDll, EveryEntryPointResolvesByName) {
  CRXFilterLibrary lib(CWinModuleLoader::Instance());
  ASSERT_TRUE(lib.Load());
  EXPECT_TRUE(lib.Require(0xFF));
  EXPECT_NE(GetModuleHandleW(L"RXFilter.DLL"), nullptr);
  lib.Free();
  EXPECT_EQ(GetModuleHandleW(L"RXFilter.DLL"), nullptr);
}

TEST(RXFilterDll, ReconstructsAndFiltersASimulatedPlate) {
  orvaq::sim::PlateOrder plateOrder;
  plateOrder.size = 2;
  plateOrder.mode = 2;
  plateOrder.sensorVariant = 1;
  plateOrder.wantIdeal = false;
  orvaq::sim::Plate plate;
  ASSERT_TRUE(orvaq::sim::BuildPlate(plateOrder, plate));
  const std::wstring path = TempFile(L"rxfilter_wine_plate.bin");
  ASSERT_TRUE(wintest::WriteFileBytes(path, plate.raw));

  const unsigned w = 2 * plate.samplesPerLine, h = 4 * plate.lineCount;
  std::vector<uint8_t> px8(size_t(w) * h);
  std::vector<uint16_t> px16(size_t(w) * h);
  BufferFinal b8{RXF_TAG_8, uint16_t(w), uint16_t(h), px8.data()};
  BufferFinal16 b16{0, uint16_t(w), uint16_t(h), px16.data()};
  std::vector<uint8_t> work(1024);
  CorrectionParams cp{};
  cp.version = 4;
  cp.pWorkBuffer = work.data();
  cp.nWorkBufferSize = 1024;
  cp.HorizontalCorrection = 1;
  cp.HorizontalCorrectionFactor = 0.016;
  cp.HorizontalEpsilonCorrection = 0.1f;
  cp.ImageCode = 2;
  cp.ValeurEtirement = 57000;

  CRXFilterLibrary lib(CWinModuleLoader::Instance());
  ASSERT_TRUE(lib.Load());
  ASSERT_TRUE(lib.Require(CRXFilterLibrary::kFullCorrection8_16 | CRXFilterLibrary::kApplyFilter));
  int result = -1;
  ASSERT_TRUE(CRXFilterLibrary::Guarded("Exception lors des phases de reconstruction.",
                                        [&] { result = lib.m_pfnFullCorrection8_16(path.c_str(), &b8, &b16, &cp); }));
  ASSERT_EQ(result, RXF_OK);
  EXPECT_EQ(b8.width, 31 * 30);
  EXPECT_EQ(b8.height, 41 * 30);
  EXPECT_EQ(cp.ImageCode, 102);

  FilterImage fi{b8.width, b8.height, b8.width, 8, 1, px8.data()};
  FilterParams fp{};
  fp.iterations = 5;
  fp.strength = 0.4;
  fp.imageCode = 102;
  EXPECT_NE(lib.m_pfnApplyFilter(&fi, &fp, 0), 0);

  BufferFinal none{RXF_TAG_8, uint16_t(w), uint16_t(h), px8.data()};
  EXPECT_EQ(lib.m_pfnFullCorrection(TempFile(L"rxfilter_no_such_file.bin").c_str(), &none, &cp), RXF_CANNOT_READ);
  DeleteFileW(path.c_str());
}
