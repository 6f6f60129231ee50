// Frame stack: age-out across the 32-bit tick wrap, the bound of 51 records, newest
// first search, and the acceptance of whole datagrams.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/KvLogger.h"
#include "tests/support/memory_logger.h"
#include "scanner_link/SNDPFrameStack.h"

namespace {

struct LogCapture {
  std::vector<std::string> lines;
  LogCapture() { ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines)); }
  ~LogCapture() { ReplaceCurrentLogger(nullptr); }
};

SNDPFrame Frame(const char* serial, uint8_t number) {
  SNDPFrame f;
  f.state = SNDP_STATE_READY;
  f.SetName("lumeq2");
  f.SetSerial(serial);
  f.frameNumber = number;
  return f;
}

TEST(SNDPFrameStack, AgeOutAcrossTheTickWrap) {
  struct Row { uint32_t pushed; uint32_t now; uint32_t maxAge; size_t left; };
  const Row rows[] = {
      {1000, 8500, 7500, 1},                  // exactly the limit: kept
      {1000, 8501, 7500, 0},
      {0xFFFFF000u, 0x00000100u, 7500, 1},    // 4352 ms across the wrap: kept
      {0xFFFFF000u, 0x00001D4Du, 7500, 0},    // 7501 ms across the wrap: removed
      {0xFFFFFFFFu, 0x00001D4Bu, 7500, 1},    // 7500 ms across the wrap: kept
      {100, 20100, 20000, 1},                 // the longer limit after an image
      {100, 20101, 20000, 0},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    LogCapture log;
    CSNDPFrameStack stack;
    stack.SetMaxAge(rows[i].maxAge);
    stack.Push(Frame("A", 1), rows[i].pushed);
    stack.AgeOut(rows[i].now);
    EXPECT_EQ(stack.Size(), rows[i].left) << "row " << i;
    EXPECT_EQ(log.lines.size(), 1 - rows[i].left) << "row " << i;
    if (!log.lines.empty()) {
      EXPECT_EQ(log.lines[0], "Effacement d'une trame SNDP ancienne sous la pile.") << "row " << i;
    }
  }
}

TEST(SNDPFrameStack, AgeOutStopsAtTheFirstYoungRecord) {
  CSNDPFrameStack stack;
  stack.Push(Frame("A", 1), 0xFFFFE000u);  // 8192 ms old at 0
  stack.Push(Frame("B", 2), 0xFFFFF000u);  // 4096 ms old at 0
  stack.Push(Frame("C", 3), 0x00000000u);
  EXPECT_EQ(stack.AgeOut(0), 1u);
  ASSERT_EQ(stack.Size(), 2u);
  EXPECT_EQ(stack.Records().front().frame.Serial(), "B");
}

TEST(SNDPFrameStack, FiftySecondFrameRemovesTheOldest) {
  LogCapture log;
  CSNDPFrameStack stack;
  for (int i = 0; i < 51; ++i) {
    EXPECT_EQ(stack.TrimForNewFrame(), 0u);
    stack.Push(Frame("A", static_cast<uint8_t>(i)), 1000 + i * 100);
  }
  EXPECT_EQ(stack.Size(), 51u);
  EXPECT_EQ(stack.TrimForNewFrame(), 1u);
  stack.AgeOut(1000 + 51 * 100);
  stack.Push(Frame("A", 51), 1000 + 51 * 100);
  EXPECT_EQ(stack.Size(), 51u);
  EXPECT_EQ(stack.Records().front().frame.frameNumber, 1);
  EXPECT_EQ(stack.Records().back().frame.frameNumber, 51);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0], "Effacement d'une trame SNDP sous la pile.");
}

TEST(SNDPFrameStack, FindNewestFrame) {
  CSNDPFrameStack stack;
  stack.Push(Frame("AB1", 1), 1000);
  stack.Push(Frame("CD2", 2), 2000);
  stack.Push(Frame("AB1", 3), 3000);
  stack.Push(Frame("ab1", 4), 4000);
  SNDPFrame f;
  ASSERT_TRUE(stack.FindNewestFrame(L"AB1", 5000, f));
  EXPECT_EQ(f.frameNumber, 3);
  EXPECT_FALSE(stack.FindNewestFrame(L"AB", 5000, f));
  // The other scanner's last frame is 7.5 s old at 9501: aged out first.
  EXPECT_FALSE(stack.FindNewestFrame(L"CD2", 9501, f));
  EXPECT_EQ(stack.Size(), 2u);
  stack.Clear();
  EXPECT_TRUE(stack.Empty());
  EXPECT_FALSE(stack.FindNewestFrame(L"AB1", 9501, f));
}

TEST(SNDPFrameStack, AcceptDatagram) {
  struct Row {
    const char* name; const char* serial; uint8_t state, resa;
    SNDPAcceptSettings settings; bool accepted, simulator; uint8_t storedState, storedResa;
  };
  const SNDPAcceptSettings defaults;
  SNDPAcceptSettings simulated; simulated.simulated = 1;
  SNDPAcceptSettings filtered; filtered.serialFilter = L"AB";
  const Row rows[] = {
      {"lumeq2", "AB123", 2, 12, defaults, true, false, 1, 0},
      {"SLUMEQ2", "AB123", 1, 0, defaults, true, true, 1, 0},
      {"LUMEQ2", "AB123", 1, 0, defaults, false, false, 0, 0},
      {"other", "AB123", 3, 4, simulated, true, true, 3, 4},
      {"lumeq2", "AB123", 1, 0, filtered, true, false, 1, 0},
      {"lumeq2", "XAB12", 1, 0, filtered, false, false, 0, 0},
      {"lumeq2", "", 1, 0, defaults, false, false, 0, 0},
      {"lumeq2", "AB123", 0, 0, defaults, false, false, 0, 0},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SNDPFrame f = Frame(rows[i].serial, 9);
    f.SetName(rows[i].name);
    f.state = rows[i].state;
    f.resaTerminal = rows[i].resa;
    uint8_t bytes[kSNDPFrameSize];
    EncodeSNDPFrame(f, bytes);
    const SNDPAcceptResult r = AcceptSNDPDatagram(bytes, sizeof bytes, rows[i].settings);
    EXPECT_EQ(r.accepted, rows[i].accepted) << "row " << i;
    if (!r.accepted) continue;
    EXPECT_EQ(r.simulator, rows[i].simulator) << "row " << i;
    EXPECT_EQ(r.frame.state, rows[i].storedState) << "row " << i;
    EXPECT_EQ(r.frame.resaTerminal, rows[i].storedResa) << "row " << i;
  }
}

}  // namespace
