// The multi-plate decisions: the slot ladder, the advice bits, the delay, the
// orientation flags and the 16-to-8-bit reduction.
#include <gtest/gtest.h>

#include "acquisition/MultiPlateRules.h"

using namespace orvaq::t4;

TEST(MultiPlateRules, SlotLadder) {
  struct Case {
    bool composing;
    bool filled[3];
    int parts;
    PartPlace place;
  };
  const Case cases[] = {
      {false, {false, false, false}, 1, PartPlace::kOpenInSlot1},
      {true, {false, false, false}, 2, PartPlace::kSlot1},
      {true, {true, false, false}, 1, PartPlace::kSlot2},
      {true, {true, true, false}, 2, PartPlace::kSlot3},
      {true, {true, true, false}, 1, PartPlace::kComposeFirst},  // the third part with N = 1
      {true, {true, true, true}, 2, PartPlace::kAlone},         // a fourth part keeps its plate
  };
  for (const Case& c : cases) EXPECT_EQ(PlacePart(c.composing, c.filled, c.parts), c.place);
}

TEST(MultiPlateRules, DelayAndOrientation) {
  EXPECT_EQ(DelayMs(0), 3600000u);
  EXPECT_EQ(DelayMs(10), 10000u);
  const bool two[3] = {true, true, false}, three[3] = {true, true, true};
  const bool none[3] = {false, false, false}, second[3] = {false, true, false};
  EXPECT_EQ(OrientationFlags(two, none), 0x11001u);
  EXPECT_EQ(OrientationFlags(three, second), 0x120010u | 0x1000u);
}

TEST(MultiPlateRules, Advice) {
  struct Case {
    uint32_t flags;
    bool wait;
    std::vector<std::pair<int, int>> exchanges;
    bool rotation[3];
    bool box3;
  };
  const Case cases[] = {
      {0x1 | (1u << 13), false, {}, {true, false, false}, false},  // in order: only the rotations
      {0x2, true, {{1, 2}}, {false, false, false}, false},
      {0x4, true, {}, {false, false, false}, false},
      {0x10 | (1u << 21), false, {}, {false, false, true}, true},
      {0x20, true, {{2, 3}}, {}, true},
      {0x40, true, {{1, 2}}, {}, true},
      {0x80, true, {{1, 2}, {2, 3}}, {}, true},
      {0x100, true, {{2, 3}, {1, 2}, {2, 3}}, {}, true},
      {0x200, true, {{2, 3}, {1, 2}}, {}, true},
      {0x400, true, {}, {}, true},
      {0, false, {}, {}, false},
  };
  for (const Case& c : cases) {
    const SAdvice a = AdviceFromFlags(c.flags);
    EXPECT_EQ(a.waitForOperator, c.wait) << std::hex << c.flags;
    EXPECT_EQ(a.exchanges, c.exchanges) << std::hex << c.flags;
    EXPECT_EQ(a.box3Counts, c.box3) << std::hex << c.flags;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(a.rotation[i], c.rotation[i]) << std::hex << c.flags << " box " << i;
  }
}

TEST(MultiPlateRules, ReductionKeepsTheHighBytes) {
  uint8_t buffer[] = {0x34, 0x12, 0xFF, 0x80, 0x00, 0x01};
  ReduceToHighBytes(buffer, 3);
  EXPECT_EQ(buffer[0], 0x12);
  EXPECT_EQ(buffer[1], 0x80);
  EXPECT_EQ(buffer[2], 0x01);
}

TEST(MultiPlateRules, DroppedFiles) {
  EXPECT_TRUE(IsDroppedRawFile(L"C:\\scans\\plate.bin"));
  EXPECT_TRUE(IsDroppedRawFile(L"C:\\scans\\plate.RaW"));
  EXPECT_FALSE(IsDroppedRawFile(L"C:\\scans\\notes.txt"));
  EXPECT_FALSE(IsDroppedRawFile(L"C:\\scans\\plate.braw"));
  EXPECT_FALSE(IsDroppedRawFile(L"bin"));
}
