// The multi-plate composition with the reference library and parts built like the
// simulator's: parts in the wrong order are arranged by the advice, composed after the
// last one, and no part's data is ever dropped.
#include <gtest/gtest.h>

#include "acquisition/MultiPlate.h"
#include "acquisition/MultiPlateRules.h"
#include "simulator/Plates.h"
#include "tests/host/reconstruction/recon_fakes.h"

namespace {

// The reference library's entry points, as the program finds them in RXFilter.DLL.
class RealLibrary : public IModuleLoader {
 public:
  std::set<std::string> missing;
  void* Load(const wchar_t*) override { return this; }
  void* Find(void*, const char* name) override {
    if (missing.count(name)) return nullptr;
    const std::map<std::string, void*> entries = {
        {"LUMEQ2_IsImageT3", reinterpret_cast<void*>(&LUMEQ2_IsImageT3)},
        {"LUMEQ2_Add_T3", reinterpret_cast<void*>(&LUMEQ2_Add_T3)},
        {"LUMEQ2_End_T3", reinterpret_cast<void*>(&LUMEQ2_End_T3)},
        {"LUMEQ2_Precalculate_T4", reinterpret_cast<void*>(&LUMEQ2_Precalculate_T4)},
        {"LUMEQ2_Calculate_T4", reinterpret_cast<void*>(&LUMEQ2_Calculate_T4)}};
    auto it = entries.find(name);
    return it == entries.end() ? nullptr : it->second;
  }
  void Free(void*) override {}
};

struct Host : IMultiPlateHost {
  int parts = 2, delay = 10;
  bool armed = false;
  uint32_t armedMs = 0;
  std::vector<std::wstring> alone, done;
  int composedWidth = 0, composedHeight = 0, finished = 0;
  std::vector<uint8_t> composed;
  int PartsWanted() override { return parts; }
  int DelayT4() override { return delay; }
  void ArmT4Timer(uint32_t ms) override { armed = true, armedMs = ms; }
  void StopT4Timer() override { armed = false; }
  bool T4TimerArmed() override { return armed; }
  void OnT4ModeChanged(bool) override {}
  bool RebuildAlone(const std::wstring& raw) override {
    alone.push_back(raw);
    return true;
  }
  bool FinishComposed(const uint8_t* pixels, int width, int height, float) override {
    ++finished;
    composedWidth = width, composedHeight = height;
    if (pixels) composed.assign(pixels, pixels + size_t(width) * height);
    return true;
  }
  void PartDone(const std::wstring& raw) override { done.push_back(raw); }
};

class MultiPlate : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.images = folder.Folder();
    plates.SetHost(&host);
  }
  // Writes part `number` of a set of `count` as a raw file and offers it.
  bool Offer(int number, int count) {
    orvaq::sim::PlateOrder order;
    order.size = 0;
    order.kind = orvaq::sim::PlateKind::MultiPart;
    order.partNumber = number;
    order.partCount = count;
    order.wantIdeal = false;
    order.seed = uint32_t(number * 7 + count);
    orvaq::sim::Plate plate;
    EXPECT_TRUE(orvaq::sim::BuildPlate(order, plate));
    const std::wstring raw = folder.Folder() + L"LAST" + std::to_wstring(++offered) + L".tmp";
    rfake::WriteFile(raw, std::string(plate.raw.begin(), plate.raw.end()));
    return plates.DetectT3Part(raw);
  }
  rfake::TempFolder folder;
  rfake::Env env;
  rfake::Settings settings;
  RealLibrary library;
  Host host;
  CMultiPlate plates{settings, env, env, library};
  int offered = 0;
};

TEST_F(MultiPlate, ThreePartsOutOfOrderAreArrangedAndComposed) {
  host.parts = 2;
  ASSERT_TRUE(Offer(3, 3));
  EXPECT_TRUE(plates.T4Mode());
  ASSERT_TRUE(Offer(1, 3));
  EXPECT_FALSE(host.armed);  // with three parts wanted, the delay waits for the third
  ASSERT_TRUE(Offer(2, 3));
  // Boxes held parts 3, 1, 2: the advice asks for the operator and exchanges them into order.
  EXPECT_EQ(host.armedMs, orvaq::t4::kWaitForOperatorMs);
  ASSERT_TRUE(plates.ReconstructT4());
  EXPECT_EQ(host.finished, 1);
  EXPECT_GT(host.composedWidth, host.composedHeight);
  EXPECT_EQ(host.done.size(), 3u);
  for (const std::wstring& raw : host.done) EXPECT_FALSE(rfake::Exists(raw)) << "a part's raw file stays";
  EXPECT_FALSE(plates.T4Mode());
  // The same parts offered in order compose into the same image.
  const std::vector<uint8_t> arranged = host.composed;
  host.composed.clear();
  ASSERT_TRUE(Offer(1, 3));
  ASSERT_TRUE(Offer(2, 3));
  ASSERT_TRUE(Offer(3, 3));
  EXPECT_NE(host.armedMs, orvaq::t4::kWaitForOperatorMs);  // in order: nothing to ask
  ASSERT_TRUE(plates.ReconstructT4());
  EXPECT_EQ(host.composed, arranged);
}

TEST_F(MultiPlate, ThirdPartWithTwoWantedClosesTheSetAndOpensAnother) {
  host.parts = 1;
  ASSERT_TRUE(Offer(1, 2));
  ASSERT_TRUE(Offer(2, 2));
  EXPECT_EQ(host.armedMs, 10000u);  // DelayT4 of 10 s
  ASSERT_TRUE(Offer(1, 2));
  EXPECT_EQ(host.finished, 1);
  EXPECT_TRUE(plates.T4Mode());
  EXPECT_TRUE(plates.IsSlotComplete(1));
  EXPECT_FALSE(plates.IsSlotComplete(2));
}

TEST_F(MultiPlate, NoPartIsDropped) {
  // Three parts wanted and three stored: a fourth keeps its plate.
  host.parts = 2;
  ASSERT_TRUE(Offer(1, 3));
  ASSERT_TRUE(Offer(2, 3));
  ASSERT_TRUE(Offer(3, 3));
  EXPECT_FALSE(Offer(1, 3));
  // Two wanted, the pair not composable (timer gone): the third is a plate of its own.
  CMultiPlate other{settings, env, env, library};
  Host second;
  second.parts = 1;
  other.SetHost(&second);
  plates.SetHost(&second);
  plates.SetT4Mode(false);
  ASSERT_TRUE(Offer(1, 2));
  ASSERT_TRUE(Offer(2, 2));
  second.armed = false;
  library.missing.insert("LUMEQ2_Calculate_T4");
  EXPECT_FALSE(Offer(1, 2));
  EXPECT_TRUE(plates.T4Mode()) << "the stored parts stay for the operator";
  // Cut: each part reconstructed alone.
  plates.CutT4();
  EXPECT_EQ(second.alone.size(), 2u);
  EXPECT_EQ(second.done.size(), 2u);
}

TEST_F(MultiPlate, OperatorControls) {
  host.parts = 1;
  ASSERT_TRUE(Offer(1, 2));
  plates.Rotate(2);  // empty box: a beep, the flag stays clear
  EXPECT_FALSE(plates.Box(2).rotated);
  EXPECT_EQ(host.armedMs, orvaq::t4::kAfterOperatorMs);
  plates.Rotate(1);
  EXPECT_TRUE(plates.Box(1).rotated);
  ASSERT_TRUE(Offer(2, 2));
  const uint8_t* first = plates.Box(1).pixels;
  plates.Exchange(1, 2);
  EXPECT_NE(plates.Box(1).pixels, first);
  EXPECT_EQ(plates.Box(2).pixels, first);
}

TEST_F(MultiPlate, AnOrdinaryPlateIsNoPartAndClosesTheSet) {
  host.parts = 1;
  ASSERT_TRUE(Offer(1, 2));
  ASSERT_TRUE(Offer(2, 2));
  orvaq::sim::PlateOrder order;
  order.size = 0;
  order.wantIdeal = false;
  orvaq::sim::Plate plate;
  ASSERT_TRUE(orvaq::sim::BuildPlate(order, plate));
  const std::wstring raw = folder.Folder() + L"ordinary.tmp";
  rfake::WriteFile(raw, std::string(plate.raw.begin(), plate.raw.end()));
  EXPECT_FALSE(plates.DetectT3Part(raw));
  EXPECT_EQ(host.finished, 1);
  host.parts = 0;
  EXPECT_FALSE(plates.DetectT3Part(raw)) << "multi-plate work off";
}

}  // namespace
