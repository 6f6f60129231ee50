// Status frame: every field at its offset, the acceptance rules, the name and serial
// rules, normalisation, and the text forms the status queries show.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "scanner_link/SNDPFrame.h"

namespace {

// A frame written byte by byte (not through the encoder), so offsets are checked independently.
std::vector<uint8_t> HandMadeFrame() {
  std::vector<uint8_t> b(122, 0);
  b[0] = 122; b[1] = 0;
  b[2] = 0x5A; b[3] = 0xA5;
  b[4] = 1;
  std::memcpy(&b[5], "lumeq2", 6);
  std::memcpy(&b[21], "AB123456", 8);
  b[37] = 40; b[38] = 1; b[39] = 168; b[40] = 192;  // 192.168.1.40
  b[41] = 0xEE;                                     // unread bytes survive
  b[53] = 0x05; b[54] = 0x0D;                       // 3333
  b[56] = 0x00; b[57] = 0x11; b[58] = 0x22; b[59] = 0xA3; b[60] = 0x44; b[61] = 0x5F;
  b[62] = '2'; b[63] = '7'; b[64] = '3'; b[65] = '1';
  b[66] = 4; b[67] = 2;
  b[68] = 2; b[69] = 0;
  b[70] = 0; b[71] = 255; b[72] = 255; b[73] = 255;  // 255.255.255.0
  b[74] = 1; b[75] = 1; b[76] = 168; b[77] = 192;    // 192.168.1.1
  b[78] = 2; b[79] = 7; b[80] = 9; b[81] = 4;
  b[82] = 0x05; b[83] = 0x02;                        // 0x0205
  b[84] = 0x2C; b[85] = 0x01;                        // 300
  b[86] = 200; b[87] = 3;
  b[96] = 1; b[97] = 1;
  b[121] = 0x77;
  return b;
}

TEST(SNDPFrame, DecodesEveryField) {
  const auto b = HandMadeFrame();
  SNDPFrame f;
  ASSERT_TRUE(DecodeSNDPFrame(b.data(), b.size(), f));
  EXPECT_EQ(f.Name(), "lumeq2");
  EXPECT_EQ(f.Serial(), "AB123456");
  EXPECT_EQ(f.ipAddress, 0xC0A80128u);
  EXPECT_EQ(FormatIPv4(f.ipAddress), L"192.168.1.40");
  EXPECT_EQ(f.imagePort, 3333);
  EXPECT_EQ(FormatSNDPMac(f), L"00:11:22:A3:44:5F");
  EXPECT_EQ(FormatSNDPFirmware(f), L"3.1.27");
  EXPECT_EQ(FormatSNDPFpga(f), L"2.4");
  EXPECT_EQ(f.addressMode, 2);
  EXPECT_EQ(FormatIPv4(f.subnetMask), L"255.255.255.0");
  EXPECT_EQ(FormatIPv4(f.gateway), L"192.168.1.1");
  EXPECT_EQ(f.state, 2);
  EXPECT_EQ(f.resaTerminal, 7);
  EXPECT_EQ(f.lastError, 9);
  EXPECT_EQ(f.autoResaTerminal, 4);
  EXPECT_EQ(f.stationMask, 0x0205);
  EXPECT_EQ(f.remainingTime, 300);
  EXPECT_EQ(f.frameNumber, 200);
  EXPECT_EQ(f.waitingImageTerminal, 3);
  EXPECT_EQ(f.reservationMode, 1);
  EXPECT_EQ(f.stationFlags, 1);
}

TEST(SNDPFrame, EncodeGivesBackTheSameBytes) {
  const auto b = HandMadeFrame();
  SNDPFrame f;
  ASSERT_TRUE(DecodeSNDPFrame(b.data(), b.size(), f));
  uint8_t out[kSNDPFrameSize];
  EncodeSNDPFrame(f, out);
  EXPECT_EQ(0, std::memcmp(out, b.data(), b.size()));
}

TEST(SNDPFrame, DefaultFrameEncodesAValidHeader) {
  SNDPFrame f;
  f.state = SNDP_STATE_READY;
  f.SetSerial("X1");
  uint8_t out[kSNDPFrameSize];
  EncodeSNDPFrame(f, out);
  EXPECT_EQ(out[0], 122);
  EXPECT_EQ(out[2], 0x5A);
  EXPECT_EQ(out[3], 0xA5);
  SNDPFrame back;
  EXPECT_TRUE(DecodeSNDPFrame(out, sizeof out, back));
}

TEST(SNDPFrame, RejectedHeadersAndSizes) {
  struct Row { int offset; uint8_t value; size_t size; };
  const Row rows[] = {
      {0, 121, 122},  // length field
      {1, 1, 122},    // length high byte
      {2, 0xA5, 122}, // magic byte order swapped
      {3, 0x5A, 122},
      {4, 0, 122},    // version
      {4, 2, 122},
      {78, 0, 122},   // state "starting"
      {-1, 0, 121},   // short datagram
      {-1, 0, 0},
      {-1, 0, 123},   // longer than the receive buffer
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    auto b = HandMadeFrame();
    b.resize(rows[i].size + 1, 0);
    if (rows[i].offset >= 0) b[rows[i].offset] = rows[i].value;
    SNDPFrame f;
    EXPECT_FALSE(DecodeSNDPFrame(b.data(), rows[i].size, f)) << "row " << i;
  }
  SNDPFrame f;
  EXPECT_FALSE(DecodeSNDPFrame(nullptr, 122, f));
}

TEST(SNDPFrame, TextFieldsStopAtSixteenBytes) {
  auto b = HandMadeFrame();
  std::memset(&b[5], 'N', 16);   // no terminating zero
  std::memset(&b[21], 'S', 16);
  SNDPFrame f;
  ASSERT_TRUE(DecodeSNDPFrame(b.data(), b.size(), f));
  EXPECT_EQ(f.Name(), std::string(16, 'N'));
  EXPECT_EQ(f.Serial(), std::string(16, 'S'));
}

TEST(SNDPFrame, NameRule) {
  struct Row { const char* name; const wchar_t* configured; int simulated; SNDPSender expected; };
  const Row rows[] = {
      {"lumeq2", L"lumeq2", 0, SNDPSender::Scanner},
      {"LUMEQ2", L"lumeq2", 0, SNDPSender::Rejected},  // a real scanner's name is exact
      {"SLUMEQ2", L"lumeq2", 0, SNDPSender::Simulator},
      {"slumeq2", L"lumeq2", 0, SNDPSender::Simulator},
      {"xlumeq2", L"lumeq2", 0, SNDPSender::Rejected},
      {"other", L"lumeq2", 1, SNDPSender::Simulator},   // LUMEQ2Simulated set
      {"lumeq2", L"lumeq2", 5, SNDPSender::Simulator},
      {"", L"lumeq2", 0, SNDPSender::Rejected},
      {"s", L"", 0, SNDPSender::Simulator},
      {"", L"", 0, SNDPSender::Scanner},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SNDPFrame f;
    f.SetName(rows[i].name);
    EXPECT_EQ(ClassifySNDPSender(f, rows[i].configured, rows[i].simulated), rows[i].expected)
        << "row " << i;
  }
}

TEST(SNDPFrame, SerialRule) {
  struct Row { const char* serial; const wchar_t* filter; bool accepted; };
  const Row rows[] = {
      {"AB123", L"AB", true},  {"XAB12", L"AB", false}, {"ab123", L"AB", false},
      {"", L"", false},        {"", L"AB", false},      {"Z9", L"", true},
      {"AB", L"AB", true},     {"A", L"AB", false},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SNDPFrame f;
    f.SetSerial(rows[i].serial);
    EXPECT_EQ(SNDPSerialAccepted(f, rows[i].filter), rows[i].accepted) << "row " << i;
  }
}

TEST(SNDPFrame, Normalisation) {
  struct Row { uint8_t resa, state, expectedResa, expectedState; };
  const Row rows[] = {
      {12, 2, 0, 1}, {11, 3, 0, 3}, {255, 2, 0, 1}, {10, 2, 10, 2}, {0, 2, 0, 2}, {12, 1, 0, 1},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SNDPFrame f;
    f.resaTerminal = rows[i].resa;
    f.state = rows[i].state;
    NormalizeSNDPFrame(f);
    EXPECT_EQ(f.resaTerminal, rows[i].expectedResa) << "row " << i;
    EXPECT_EQ(f.state, rows[i].expectedState) << "row " << i;
  }
}

TEST(SNDPFrame, FirmwareStopsAtAZeroByte) {
  SNDPFrame f;
  const uint8_t fw[4] = {'2', 0, '3', '1'};
  std::memcpy(f.firmwareVersion, fw, 4);
  EXPECT_EQ(FormatSNDPFirmware(f), L"3.1.2");
  f.firmwareVersion[2] = 0;
  EXPECT_EQ(FormatSNDPFirmware(f), L"");
}

}  // namespace
