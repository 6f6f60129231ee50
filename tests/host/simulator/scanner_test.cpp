// Tests of the simulated scanner's rules: payloads as the workstation builds them,
// every query answered in the form the workstation reads, the reservation rules, the
// image held in memory, the status frame's layout and the fault switches.
#include "simulator/SimScanner.h"

#include <gtest/gtest.h>

#include "scanner_link/ScannerCommands.h"

namespace orvaq {
namespace sim {
namespace {

const char kStationA[] = "10.77.0.21";
const char kStationB[] = "10.77.0.22";

class SimScannerTest : public ::testing::Test {
 protected:
  SimScannerTest() : m_Scanner(Identity()) { m_Scanner.Tick(m_Now); }

  static ScannerIdentity Identity() {
    ScannerIdentity id;
    id.serial = "LQ2-00042";
    id.ipAddress = 0x0A4D000A;  // 10.77.0.10
    id.imagePort = 3333;
    return id;
  }

  SimAnswer Post(const char* object, const std::string& body, const char* from = kStationA) {
    SimRequest r;
    r.object = object;
    r.body = body;
    r.fromAddress = from;
    return m_Scanner.Handle(r, m_Now);
  }
  SimAnswer Prm(const std::string& body, const char* from = kStationA) { return Post("lumeq2.prm", body, from); }
  int Code(const SimAnswer& a) { return MapAnswerCode(a.status, a.body); }

  void IdentifyAndReserve(int term, const wchar_t* mac, const char* from, int mode = 0) {
    ASSERT_EQ(Post("lumeq2.id", IdentifyPayload(mac, term, term + 2, L"Dr Smith", L"Anne-Marie"), from).status, 200);
    ASSERT_EQ(Post("lumeq2.res", ReservationPayload(mac, 40, 0, term, term + 2, mode, L"Dr Smith", L"Anne-Marie"), from).status, 200);
  }

  uint64_t m_Now = 1000000;
  CSimScanner m_Scanner;
};

TEST_F(SimScannerTest, ReadsTheIdentificationExample) {
  const std::string body =
      "ready=1\r\nterm=03\r\ncolor=05\r\nmac=00:11:22:33:44:55\r\ntext_coding=ASCII\r\ndoc_name=Dr Smith\r\n"
      "pat_name=Anne\\x2dMarie\r\ntime=000\r\nlevel=0\r\nmode=sd";
  // The workstation's own builder produces exactly this text.
  ASSERT_EQ(IdentifyPayload(L"00:11:22:33:44:55", 3, 5, L"Dr Smith", L"Anne-Marie"), body);
  StationPayload p;
  ASSERT_TRUE(ParseStationPayload(body, p));
  EXPECT_EQ(p.ready, 1);
  EXPECT_EQ(p.term, 3);
  EXPECT_EQ(p.color, 5);
  EXPECT_EQ(p.mac, "00:11:22:33:44:55");
  EXPECT_EQ(p.textCoding, "ASCII");
  EXPECT_EQ(p.docName, "Dr Smith");
  EXPECT_EQ(p.patName, "Anne\\x2dMarie");
  EXPECT_EQ(p.time, 0);
  EXPECT_EQ(p.level, 0);
  EXPECT_EQ(p.mode, "sd");

  EXPECT_EQ(Post("lumeq2.id", body).status, 200);
  EXPECT_TRUE(m_Scanner.StationAt(3).known);
  EXPECT_EQ(m_Scanner.StationAt(3).address, kStationA);
  EXPECT_EQ(m_Scanner.CurrentFrame().stationMask, 1u << 2);
}

TEST_F(SimScannerTest, PayloadsWithEscapedNamesAndWithdrawals) {
  // Non-ASCII names arrive escaped byte by byte and are kept as they came.
  std::string body = IdentifyPayload(L"00:11:22:33:44:55", 2, 1, L"Dupont-\u00C9ric", L"L\u00E9a");
  StationPayload p;
  ASSERT_TRUE(ParseStationPayload(body, p));
  EXPECT_EQ(p.docName, "Dupont\\x2d\\xc3\\x89ric");
  EXPECT_EQ(UnescapeName(p.docName), L"Dupont-\u00C9ric");

  // A withdrawal has every key, with empty values.
  ASSERT_TRUE(ParseStationPayload(WithdrawIdentificationPayload(L"00:11:22:33:44:55", 2, 1), p));
  EXPECT_EQ(p.ready, 0);
  EXPECT_EQ(p.mode, "");
  EXPECT_EQ(p.docName, "");

  // LF alone between lines is read too; a missing key or a bad number is refused.
  ASSERT_TRUE(ParseStationPayload("ready=1\nterm=01\ncolor=01\nmac=m\ntext_coding=ASCII\ndoc_name=a\n"
                                  "pat_name=b\ntime=040\nlevel=0\nmode=hd", p));
  EXPECT_EQ(p.time, 40);
  EXPECT_FALSE(ParseStationPayload("ready=1\r\nterm=01", p));
  EXPECT_FALSE(ParseStationPayload(body + "\r\nbroken", p));
  std::string badTerm = body;
  badTerm.replace(badTerm.find("term=02"), 7, "term=x2");
  EXPECT_FALSE(ParseStationPayload(badTerm, p));
  EXPECT_EQ(Post("lumeq2.id", "ready=1").status, 400);
  EXPECT_EQ(Post("lumeq2.xx", body).status, 404);
}

TEST_F(SimScannerTest, ModeWords) {
  const struct { const char* word; int mode; } rows[] = {{"sd", 0}, {"hd", 1}, {"sd_fast", 2}, {"debug", 10}, {"SD", -1}, {"", -1}};
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) EXPECT_EQ(ModeForWord(rows[i].word), rows[i].mode) << "row " << i;
  // The workstation's words for its modes 0, 1, 2 and 7 map to the header Modes.
  EXPECT_EQ(ModeForWord(ReservationModeWord(7)), 10);
  EXPECT_EQ(ModeForWord(ReservationModeWord(2)), 2);
}

TEST_F(SimScannerTest, SuperUserReservesBesideTheStations) {
  EXPECT_EQ(Post("lumeq2.res", SuperReservePayload(40, L"Control", L"Admin")).status, 200);
  EXPECT_TRUE(m_Scanner.SuperHeld());
  SNDPFrame f = m_Scanner.CurrentFrame();
  EXPECT_EQ(f.resaTerminal, 11);
  EXPECT_EQ(f.state, SNDP_STATE_RESERVED);
  // A station may still reserve; the frames then name the station.
  IdentifyAndReserve(4, L"00:00:00:00:00:04", kStationB);
  EXPECT_EQ(m_Scanner.CurrentFrame().resaTerminal, 4);
  EXPECT_EQ(Post("lumeq2.res", SuperUnreservePayload(40)).status, 200);
  EXPECT_FALSE(m_Scanner.SuperHeld());
  // Terminal 11 with another mac is no super-user.
  std::string fake = SuperReservePayload(40, L"Control", L"Admin");
  fake.replace(fake.find("3A:52:3A:52:3A:52"), 17, "00:00:00:00:00:09");
  EXPECT_EQ(Post("lumeq2.res", fake).status, 400);
}

TEST_F(SimScannerTest, ReservationRules) {
  const wchar_t* macA = L"00:00:00:00:00:0A";
  const wchar_t* macB = L"00:00:00:00:00:0B";
  // Not identified: refused.
  EXPECT_EQ(Code(Post("lumeq2.res", ReservationPayload(macA, 40, 0, 1, 1, 0, L"d", L"p"))), 412);
  IdentifyAndReserve(1, macA, kStationA);
  EXPECT_EQ(m_Scanner.ResaTerminal(), 1);
  EXPECT_EQ(m_Scanner.RemainingSeconds(), 40u);

  // A second station cannot reserve while the first holds the scanner.
  ASSERT_EQ(Post("lumeq2.id", IdentifyPayload(macB, 2, 2, L"d", L"p"), kStationB).status, 200);
  SimAnswer a = Post("lumeq2.res", ReservationPayload(macB, 40, 0, 2, 2, 0, L"d", L"p"), kStationB);
  EXPECT_EQ(a.status, 409);
  EXPECT_EQ(Code(a), 409);
  // Nor cancel the first one's reservation, nor take its terminal number.
  EXPECT_EQ(Post("lumeq2.res", CancelReservationPayload(macB, 40, 2, 2), kStationB).status, 409);
  EXPECT_EQ(Post("lumeq2.id", IdentifyPayload(macB, 1, 2, L"d", L"p"), kStationB).status, 409);

  // The reload from the holder refreshes the time; from another station it is refused.
  m_Now += 30000;
  m_Scanner.Tick(m_Now);
  EXPECT_EQ(m_Scanner.RemainingSeconds(), 10u);
  EXPECT_EQ(Prm("reload=040", kStationB).status, 409);
  EXPECT_EQ(Prm("reload=040", kStationA).status, 200);
  EXPECT_EQ(m_Scanner.CurrentFrame().remainingTime, 40);

  // Time runs out (multi mode): the scanner is free again and B may reserve.
  m_Now += 40000;
  m_Scanner.Tick(m_Now);
  EXPECT_EQ(m_Scanner.ResaTerminal(), 0);
  EXPECT_EQ(m_Scanner.CurrentFrame().state, SNDP_STATE_READY);
  EXPECT_EQ(Post("lumeq2.res", ReservationPayload(macB, 600, 1, 2, 2, 1, L"d", L"p"), kStationB).status, 200);
  EXPECT_EQ(m_Scanner.RemainingSeconds(), 600u);
  // Cancel by the holder frees it.
  EXPECT_EQ(Post("lumeq2.res", CancelReservationPayload(macB, 40, 2, 2), kStationB).status, 200);
  EXPECT_EQ(m_Scanner.ResaTerminal(), 0);

  // The scanner's menu and the station switch refuse reservations.
  m_Scanner.SetOnMenu(true);
  EXPECT_EQ(m_Scanner.CurrentFrame().state, SNDP_STATE_ON_GUI);
  EXPECT_EQ(Post("lumeq2.res", ReservationPayload(macB, 40, 0, 2, 2, 0, L"d", L"p"), kStationB).status, 409);
  m_Scanner.SetOnMenu(false);
  EXPECT_EQ(Prm("terminal_reservation=off").status, 200);
  EXPECT_EQ(m_Scanner.CurrentFrame().stationFlags & 1, 0);
  EXPECT_EQ(Post("lumeq2.res", ReservationPayload(macB, 40, 0, 2, 2, 0, L"d", L"p"), kStationB).status, 409);
  EXPECT_EQ(Prm("terminal_reservation=on").status, 200);

  // reset_terminal forgets a station; the identification withdrawal too.
  EXPECT_EQ(Prm("reset_terminal=02").status, 200);
  EXPECT_FALSE(m_Scanner.StationAt(2).known);
  EXPECT_EQ(Post("lumeq2.id", WithdrawIdentificationPayload(macA, 1, 3)).status, 200);
  EXPECT_EQ(m_Scanner.CurrentFrame().stationMask, 0);
}

TEST_F(SimScannerTest, EveryQueryIsAnsweredInTheFormItIsRead) {
  IdentifyAndReserve(3, L"00:11:22:33:44:55", kStationA, 1);

  EXPECT_EQ(ReadReservationMode(200, Prm("reservation_mode").body), 1);
  EXPECT_EQ(Code(Prm("reservation_mode=mono")), 200);
  EXPECT_EQ(ReadReservationMode(200, Prm("reservation_mode").body), 0);
  EXPECT_EQ(m_Scanner.CurrentFrame().reservationMode, 0);
  EXPECT_EQ(Code(Prm("reservation_mode=Mono")), 400);

  EXPECT_EQ(ReadDoorState(200, Prm("door").body), 1);
  m_Scanner.SetDoor(CSimScanner::Door::Open);
  EXPECT_EQ(ReadDoorState(200, Prm("door").body), 0);

  EXPECT_EQ(ReadDemo(200, Prm("demo").body), 0);
  EXPECT_EQ(Code(Prm("demo=enable")), 200);
  EXPECT_EQ(ReadDemo(200, Prm("demo").body), 1);

  const struct { const char* key; int start; int set; int tooBig; } timeouts[] = {
      {"menu_timeout", 60, 2000, 3601}, {"auto_dimmer", 30, 300, 301}, {"eco_timeout", 15, 60, 61}};
  for (size_t i = 0; i < 3; ++i) {
    const auto& t = timeouts[i];
    EXPECT_EQ(ReadTimeoutValue(200, Prm(t.key).body), t.start) << "row " << i;
    EXPECT_EQ(Code(Prm(SetValueCommand(t.key, t.set))), 200) << "row " << i;
    EXPECT_EQ(ReadTimeoutValue(200, Prm(t.key).body), t.set) << "row " << i;
    EXPECT_EQ(Code(Prm(SetValueCommand(t.key, t.tooBig))), 400) << "row " << i;
  }

  std::string time = ReadTimeText(200, Prm("time").body);
  int h, mi, s, d, mo, y;
  ASSERT_EQ(time.size(), 19u) << time;
  EXPECT_EQ(std::sscanf(time.c_str(), "%d:%d:%d %d.%d.%d", &h, &mi, &s, &d, &mo, &y), 6);
  EXPECT_EQ(Code(Prm(SetClockCommand(10, 20, 30, 24, 12, 2030))), 200);
  time = Prm("time").body;
  EXPECT_EQ(time.substr(9), "24.12.2030") << time;  // the clock moved; seconds run on
  EXPECT_EQ(Code(Prm("time=25:00:00 01.01.2030")), 400);

  DoctorEntry doc;
  EXPECT_EQ(ReadDoctorEntry(200, Prm(GetDoctorQuery(3)).body, doc), 200);
  EXPECT_EQ(doc.term, 3);
  EXPECT_EQ(doc.color, 5);
  EXPECT_EQ(doc.mac, "00:11:22:33:44:55");
  EXPECT_EQ(ReadDoctorEntry(200, Prm(GetDoctorQuery(4)).body, doc), 200);
  EXPECT_EQ(doc.term, 0);  // unknown doctors read as term 0
  EXPECT_EQ(Code(Prm("get_doctor=11")), 400);

  for (int lang : {1025, 1031, 1036, 1033, 2052}) EXPECT_EQ(Code(Prm(LanguageCommand(lang))), 200) << lang;
  EXPECT_EQ(Code(Prm("gui_language=klingon")), 400);

  for (const char* cmd : {"screen_reservation=off", "color_reservation=off", "terminal_reservation=on"})
    EXPECT_EQ(Code(Prm(cmd)), 200) << cmd;
  EXPECT_EQ(m_Scanner.CurrentFrame().stationFlags, 1);

  for (const char* cmd : {"fpga:0080=00000001", "fpga:00e0=00000002", "fpga:0083=00000dac", "fpga:0093=00000001",
                          "fpga:0091=00000af0", "debug_sample=02800", "image_mode=debug"})
    EXPECT_EQ(Code(Prm(cmd)), 200) << cmd;
  EXPECT_NE(Prm("fpga_read").body.find("0083=00000dac"), std::string::npos);

  // Without an image: image_info refused with its number first.
  ImageInfo info;
  EXPECT_EQ(ReadImageInfo(Code(Prm("image_info")), Prm("image_info").body, info), 404);
  EXPECT_EQ(Code(Prm("no_such_command")), 400);
}

TEST_F(SimScannerTest, ScannedImageIsDeliveredHeldAndAcknowledged) {
  std::string why;
  PlateOrder plateOrder;
  plateOrder.size = 0;
  EXPECT_FALSE(m_Scanner.Scan(plateOrder, false, &why));  // nobody holds the scanner
  IdentifyAndReserve(3, L"00:11:22:33:44:55", kStationA, 1);

  std::vector<uint8_t> copy;
  ASSERT_TRUE(m_Scanner.Scan(plateOrder, false, &why, &copy)) << why;
  std::vector<Delivery> d = m_Scanner.TakeDeliveries();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].address, kStationA);
  EXPECT_EQ(d[0].port, 3333);
  EXPECT_EQ(d[0].bytes, copy);
  EXPECT_EQ(copy[4], 1);  // the reservation asked for "hd"
  EXPECT_TRUE(CheckRawLayout(copy.data(), copy.size()));
  EXPECT_FALSE(m_Scanner.Scan(plateOrder, false, &why));  // one image at a time

  ImageInfo info;
  SimAnswer a = Prm("image_info");
  ASSERT_EQ(ReadImageInfo(Code(a), a.body, info), 200) << a.body;
  EXPECT_EQ(info.term, 3);
  EXPECT_EQ(info.color, 5);
  EXPECT_EQ(info.doctor, L"Dr Smith");
  EXPECT_EQ(info.patient, L"Anne-Marie");
  EXPECT_EQ(size_t(info.nbLine) * info.lineSize + 36, copy.size());
  EXPECT_EQ(info.lineSize, 5648);

  m_Scanner.DeliveryDone(d[0].id, true);
  EXPECT_EQ(m_Scanner.CurrentFrame().waitingImageTerminal, 0);
  // Negative acknowledgement: the image waits for its station, and nobody else may reserve.
  EXPECT_EQ(Code(Prm("read_nok")), 200);
  EXPECT_EQ(m_Scanner.CurrentFrame().waitingImageTerminal, 3);
  EXPECT_EQ(Post("lumeq2.res", CancelReservationPayload(L"00:11:22:33:44:55", 40, 3, 5)).status, 200);
  ASSERT_EQ(Post("lumeq2.id", IdentifyPayload(L"00:00:00:00:00:0B", 2, 2, L"d", L"p"), kStationB).status, 200);
  EXPECT_EQ(Post("lumeq2.res", ReservationPayload(L"00:00:00:00:00:0B", 40, 0, 2, 2, 0, L"d", L"p"), kStationB).status, 409);

  // The last-image read: the super-user reserves and asks for it; it goes there again.
  EXPECT_EQ(Post("lumeq2.res", RetrieveReservePayload(40, 1), kStationA).status, 200);
  EXPECT_EQ(Code(Prm("image_read")), 200);
  d = m_Scanner.TakeDeliveries();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].bytes, copy);
  EXPECT_EQ(Code(Prm("image_read")), 409);  // already on its way
  m_Scanner.DeliveryDone(d[0].id, true);
  EXPECT_EQ(Code(Prm("read_ok")), 200);
  EXPECT_FALSE(m_Scanner.HoldsImage());
  EXPECT_EQ(Code(Prm("image_read")), 409);
  EXPECT_EQ(m_Scanner.CurrentFrame().waitingImageTerminal, 0);
}

TEST_F(SimScannerTest, UndeliveredImageWaitsAndPatternReadSendsATestPattern) {
  IdentifyAndReserve(5, L"00:00:00:00:00:05", kStationA);
  PlateOrder plateOrder;
  std::string why;
  ASSERT_TRUE(m_Scanner.Scan(plateOrder, false, &why));
  std::vector<Delivery> d = m_Scanner.TakeDeliveries();
  ASSERT_EQ(d.size(), 1u);
  m_Scanner.DeliveryDone(d[0].id, false);
  EXPECT_EQ(m_Scanner.WaitingImageTerminal(), 5);
  EXPECT_EQ(Code(Prm("read_ok")), 200);

  // The outcome of an older transfer arriving late does not touch a newer image.
  ASSERT_TRUE(m_Scanner.Scan(plateOrder, false, &why));
  std::vector<Delivery> newer = m_Scanner.TakeDeliveries();
  ASSERT_EQ(newer.size(), 1u);
  m_Scanner.DeliveryDone(d[0].id, false);
  EXPECT_EQ(m_Scanner.WaitingImageTerminal(), 0);
  EXPECT_EQ(Code(Prm("image_read")), 409);  // the newer one is still on its way
  m_Scanner.DeliveryDone(newer[0].id, true);
  EXPECT_EQ(Code(Prm("read_ok")), 200);

  EXPECT_EQ(Code(Prm("image_mode=debug")), 200);
  EXPECT_EQ(Code(Prm("image_read")), 200);
  d = m_Scanner.TakeDeliveries();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].bytes[4], 10);
  EXPECT_EQ(d[0].bytes[6] & 1, 1);  // test-pattern flag
  EXPECT_TRUE(CheckRawLayout(d[0].bytes.data(), d[0].bytes.size()));
}

uint16_t W16(const uint8_t* b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }

TEST_F(SimScannerTest, FrameLayoutFollowsTheWireOffsets) {
  IdentifyAndReserve(7, L"00:00:00:00:00:07", kStationA);
  m_Scanner.SetAutoResaTerminal(9);
  m_Scanner.SetLastError(4);
  uint8_t b[kSNDPFrameSize];
  ASSERT_TRUE(m_Scanner.NextFrameBytes(b));
  EXPECT_EQ(W16(b, 0), 122);
  EXPECT_EQ(b[2], 0x5A);
  EXPECT_EQ(b[3], 0xA5);
  EXPECT_EQ(b[4], 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(b + 5), "slumeq2");
  EXPECT_STREQ(reinterpret_cast<const char*>(b + 21), "LQ2-00042");
  EXPECT_EQ(b[40], 10);  // first octet
  EXPECT_EQ(b[39], 77);
  EXPECT_EQ(b[37], 10);  // last octet
  EXPECT_EQ(W16(b, 53), 3333);
  EXPECT_EQ(b[56], 0x02);
  EXPECT_EQ(b[78], SNDP_STATE_RESERVED);
  EXPECT_EQ(b[79], 7);
  EXPECT_EQ(b[80], 4);
  EXPECT_EQ(b[81], 9);
  EXPECT_EQ(W16(b, 82), 1 << 6);
  EXPECT_EQ(W16(b, 84), 40);
  EXPECT_EQ(b[86], 0);
  EXPECT_EQ(b[87], 0);
  EXPECT_EQ(b[96], 1);
  EXPECT_EQ(b[97], 7);
  SNDPFrame f;
  EXPECT_TRUE(DecodeSNDPFrame(b, sizeof b, f));
  EXPECT_EQ(FormatIPv4(f.ipAddress), L"10.77.0.10");
  // The frame counter runs and wraps.
  for (int i = 1; i < 300; ++i) ASSERT_TRUE(m_Scanner.NextFrameBytes(b));
  EXPECT_EQ(b[86], 299 % 256);
  // The station that asked for an automatic reservation is cleared once it reserves.
  ASSERT_EQ(Post("lumeq2.id", IdentifyPayload(L"00:00:00:00:00:09", 9, 1, L"d", L"p"), kStationB).status, 200);
  EXPECT_EQ(Post("lumeq2.res", CancelReservationPayload(L"00:00:00:00:00:07", 40, 7, 9)).status, 200);
  EXPECT_EQ(Post("lumeq2.res", ReservationPayload(L"00:00:00:00:00:09", 40, 0, 9, 1, 0, L"d", L"p"), kStationB).status, 200);
  EXPECT_EQ(m_Scanner.CurrentFrame().autoResaTerminal, 0);
}

TEST_F(SimScannerTest, FrameFaultsAreRefusedByTheDecoder) {
  const struct { const char* word; bool decodes; } rows[] = {
      {"length", false}, {"magic", false}, {"version", false}, {"state0", false}, {"serial", true}, {"resa", true}};
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    Faults& f = m_Scanner.MutableFaults();
    ASSERT_TRUE(ParseFrameFault(rows[i].word, f.frameFault)) << "row " << i;
    f.frameFaultCount = 1;
    uint8_t b[kSNDPFrameSize];
    ASSERT_TRUE(m_Scanner.NextFrameBytes(b));
    SNDPFrame frame;
    EXPECT_EQ(DecodeSNDPFrame(b, sizeof b, frame), rows[i].decodes) << "row " << i;
    if (std::string(rows[i].word) == "serial") {
      EXPECT_FALSE(SNDPSerialAccepted(frame, L"")) << "row " << i;
    }
    if (std::string(rows[i].word) == "resa") {
      EXPECT_EQ(frame.resaTerminal, 12);
      NormalizeSNDPFrame(frame);
      EXPECT_EQ(frame.resaTerminal, 0);
      EXPECT_EQ(frame.state, SNDP_STATE_READY);
    }
    // One frame only: the next one is sound again.
    ASSERT_TRUE(m_Scanner.NextFrameBytes(b));
    EXPECT_TRUE(DecodeSNDPFrame(b, sizeof b, frame)) << "row " << i;
  }
  FrameFault ff;
  EXPECT_FALSE(ParseFrameFault("bogus", ff));
  m_Scanner.MutableFaults().vanished = true;
  uint8_t b[kSNDPFrameSize];
  EXPECT_FALSE(m_Scanner.NextFrameBytes(b));
}

TEST_F(SimScannerTest, HttpFaultsCountDown) {
  Faults& f = m_Scanner.MutableFaults();
  f.forbiddenRequests = 2;
  f.longBodyRequests = 1;
  f.longBodySize = 5000;
  EXPECT_TRUE(m_Scanner.TakeHttpFault().forbidden);
  EXPECT_TRUE(m_Scanner.TakeHttpFault().forbidden);
  HttpFaultDecision d = m_Scanner.TakeHttpFault();
  EXPECT_FALSE(d.forbidden);
  EXPECT_EQ(d.padTo, 5000u);
  EXPECT_EQ(m_Scanner.TakeHttpFault().padTo, 0u);
  f.silentRequests = -1;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(m_Scanner.TakeHttpFault().silent);
  f.silentRequests = 0;
  EXPECT_FALSE(m_Scanner.TakeHttpFault().silent);

  f.truncateAt = 100;
  f.refuseImage = true;
  TransferFaults t = m_Scanner.TakeTransferFaults();
  EXPECT_EQ(t.truncateAt, 100);
  EXPECT_TRUE(t.refuse);
  t = m_Scanner.TakeTransferFaults();  // one transfer only
  EXPECT_EQ(t.truncateAt, -1);
  EXPECT_FALSE(t.refuse);
}

TEST(SimJson, EscapesEverythingOutsidePrintableAscii) {
  EXPECT_EQ(JsonString("a\"b\\c\r\n\x01\xE9"), "\"a\\\"b\\\\c\\r\\n\\u0001\\u00e9\"");
}

}  // namespace
}  // namespace sim
}  // namespace orvaq
