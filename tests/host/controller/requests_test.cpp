// HardwareInfos, AdminAction and ServiceAction: the frame queries with and without a
// serial, expired frames, the main and super-user client paths and the action codes.
#include "tests/host/controller/fixture.h"

namespace {

const std::wstring kSerial = L"SN1000";

std::vector<std::string> PrmBodies(const fake::Host& host) {
  std::vector<std::string> out;
  for (const auto& r : host.scanner.requests)
    if (r.object == L"lumeq2.prm") out.push_back(r.body);
  return out;
}

const char* const kSuperReserve =
    "ready=1\r\nterm=11\r\ncolor=11\r\nmac=3A:52:3A:52:3A:52\r\ntext_coding=ASCII\r\ndoc_name=Control\r\n"
    "pat_name=Admin\r\ntime=040\r\nlevel=2\r\nmode=sd";
const char* const kSuperUnreserve =
    "ready=0\r\nterm=11\r\ncolor=11\r\nmac=3A:52:3A:52:3A:52\r\ntext_coding=\r\ndoc_name=\r\npat_name=\r\n"
    "time=040\r\nlevel=0\r\nmode=";

TEST_F(ControllerTest, HardwareInfosFrameFields) {
  SNDPFrame f = fake::MakeFrame();
  f.macAddress[0] = 0x0A;
  f.macAddress[5] = 0xFE;
  f.subnetMask = 0xFFFFFF00;
  f.gateway = 0xC0A80101;
  f.firmwareVersion[0] = '4';
  f.firmwareVersion[1] = '5';
  f.firmwareVersion[2] = '1';
  f.firmwareVersion[3] = '2';
  f.fpgaVersion[0] = 7;
  f.fpgaVersion[1] = 2;
  f.addressMode = 2;
  f.stationMask = 0x0204;
  f.remainingTime = 33;
  f.waitingImageTerminal = 6;
  Link(f);
  struct Row {
    int type;
    bool text;
    int64_t number;
    const wchar_t* value;
    const wchar_t* log;
  } rows[] = {
      {0, true, 0, L"SN1000", L"HardwareInfos return : SN1000."},
      {1, false, 2, nullptr, L"HardwareInfos return : 2."},
      {2, false, 0xC0A80132, nullptr, L"HardwareInfos return : -1062731470."},
      {3, false, 0xFFFFFF00, nullptr, L"HardwareInfos return : -256."},
      {5, true, 0, L"0A:00:00:00:00:FE", nullptr},
      {6, true, 0, L"1.2.45", nullptr},
      {7, true, 0, L"2.7", nullptr},
      {8, false, 1, nullptr, nullptr},
      {10, false, 7, nullptr, nullptr},
      {11, false, 33, nullptr, nullptr},
      {12, false, 0x0204, nullptr, L"HardwareInfos return : 516."},
      {13, false, 3333, nullptr, nullptr},
      {15, false, 6, nullptr, nullptr},
      {16, true, 0, L"lumeq2", nullptr},
      {17, false, 1, nullptr, nullptr},
      {18, false, 1, nullptr, nullptr},
      {102, true, 0, L"192.168.1.50", L"HardwareInfos return : 192.168.1.50."},
      {103, true, 0, L"255.255.255.0", nullptr},
      {104, true, 0, L"192.168.1.1", nullptr},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    lines.clear();
    const HardwareInfosResult r = ctl->HardwareInfos(rows[i].type, &kSerial);
    EXPECT_EQ(r.isText, rows[i].text);
    if (rows[i].text) {
      EXPECT_EQ(ctl->HardwareInfosText(), rows[i].value);
    } else {
      EXPECT_EQ(r.number, rows[i].number);
    }
    EXPECT_TRUE(HasLog(L"HardwareInfos : " + std::to_wstring(rows[i].type) + L" sur SN1000."));
    if (rows[i].log) {
      EXPECT_TRUE(HasLog(rows[i].log));
    }
  }
  lines.clear();
  ctl->HardwareInfos(99, &kSerial);
  EXPECT_TRUE(HasLog(L"HardwareInfos valeur non reconnue"));
  EXPECT_TRUE(ctl->HardwareInfosText().empty());
}

TEST_F(ControllerTest, HardwareInfosText720MeansTheLinkedScanner) {
  settings.texts[720] = L"<current>";
  Link();
  const std::wstring alias = L"<current>";
  EXPECT_EQ(ctl->HardwareInfos(13, &alias).number, 3333);
}

TEST_F(ControllerTest, HardwareInfosSerialListWithoutSerial) {
  StartListener();
  Feed(fake::MakeFrame("SN2"));
  Feed(fake::MakeFrame("AB7"));
  Feed(fake::MakeFrame("SN2"));
  Feed(fake::MakeFrame("SN"));  // contained in "SN2": not added
  ctl->HardwareInfos(0, nullptr);
  EXPECT_EQ(ctl->HardwareInfosText(), L"SN2;AB7");
  EXPECT_TRUE(HasLog(L"HardwareInfos : 0 sur NULL."));
  ctl->HardwareInfos(2, nullptr);
  EXPECT_EQ(ctl->HardwareInfosText(), L"192.168.1.10");
  ctl->HardwareInfos(3, nullptr);
  EXPECT_EQ(ctl->HardwareInfosText(), L"00:11:22:33:44:55");
}

TEST_F(ControllerTest, HardwareInfosOnAnExpiredSerialWithOthersStored) {
  StartListener();
  Feed(fake::MakeFrame("SN1000X"));
  host.tick += 5000;
  Feed(fake::MakeFrame("OTHER"));
  host.tick += 3000;  // the first frame is now 8000 ms old, the other 3000
  const std::wstring serial = L"SN1000X";
  const HardwareInfosResult r = ctl->HardwareInfos(14, &serial);
  EXPECT_EQ(r.number, -1);
  EXPECT_TRUE(HasLog(L"HardwareInfos not found : SN1000X."));
  EXPECT_FALSE(HasLog(L"LUMEQ perdu : reset complet."));
  const HardwareInfosResult name = ctl->HardwareInfos(16, &serial);
  EXPECT_TRUE(name.isText);
  EXPECT_TRUE(ctl->HardwareInfosText().empty());
}

TEST_F(ControllerTest, HardwareInfosWhenEveryFrameExpiredRecreatesTheListener) {
  Link();
  host.events.clear();
  host.tick += 7501;
  const HardwareInfosResult r = ctl->HardwareInfos(0, &kSerial);
  EXPECT_TRUE(r.isText);
  EXPECT_TRUE(ctl->HardwareInfosText().empty());
  EXPECT_TRUE(HasLog(L"LUMEQ perdu : reset complet."));
  EXPECT_TRUE(host.Has("StatusListener 192.168.1.10"));
  EXPECT_TRUE(ctl->Status().scannerSerial.empty());
  // Numeric readers see "not found".
  Link();
  host.tick += 7501;
  EXPECT_EQ(ctl->HardwareInfos(18, &kSerial).number, -1);
}

TEST_F(ControllerTest, AdminActionOnAScannerWithoutRecentFrameDoesNothing) {
  StartListener();
  host.scanner.requests.clear();
  EXPECT_EQ(ctl->AdminAction(7, kSerial), L"");
  EXPECT_TRUE(host.scanner.requests.empty());
  EXPECT_TRUE(HasLog(L"AdminAction : 7 sur SN1000."));
}

TEST_F(ControllerTest, AdminAction1070And1077SetTheThreeReservationSwitches) {
  Link();
  struct Row {
    int code;
    std::vector<std::string> bodies;
  } rows[] = {
      {1070, {"terminal_reservation=off", "color_reservation=off", "screen_reservation=off"}},
      {1077, {"terminal_reservation=on", "color_reservation=on", "screen_reservation=on"}},
      {1071, {"terminal_reservation=on", "color_reservation=off", "screen_reservation=off"}},
      {1076, {"terminal_reservation=off", "color_reservation=on", "screen_reservation=on"}},
      {1060, {"screen_reservation=on"}},
      {2061, {"terminal_reservation=off"}},
      {1062, {"color_reservation=on"}},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    host.scanner.requests.clear();
    const std::wstring result = ctl->AdminAction(rows[i].code, kSerial);
    EXPECT_EQ(result, rows[i].code < 1070 || rows[i].code > 2000 ? L"" : L"OK");
    EXPECT_EQ(PrmBodies(host), rows[i].bodies);
    ASSERT_GE(host.scanner.requests.size(), 2u);
    EXPECT_EQ(host.scanner.requests.front().body, kSuperReserve);
    EXPECT_EQ(host.scanner.requests.back().body, kSuperUnreserve);
  }
}

TEST_F(ControllerTest, AdminActionSetCommandsAndQueries) {
  Link();
  host.scanner.byBody["menu_timeout"] = {true, 200, "60"};
  host.scanner.byBody["reservation_mode"] = {true, 200, "multi"};
  host.scanner.byBody["demo"] = {true, 200, "ENABLE"};
  host.scanner.byBody["eco_timeout=61"] = {true, 500, ""};
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(100, 5648)};
  host.scanner.byBody["get_doctor=04"] = {true, 200, "term=02 color=07 mac=AA:BB"};
  host.scanner.byBody["reset_terminal=05"] = {true, 500, ""};
  struct Row {
    int code;
    const char* body;
    const wchar_t* result;
  } rows[] = {
      {12000, "menu_timeout=2000", L"OK"},
      {10060, "menu_timeout=60", L"OK"},
      {9999, "menu_timeout", L"60"},
      {15150, "auto_dimmer=150", L"OK"},
      {16060, "eco_timeout=60", L"OK"},
      {16061, nullptr, L""},  // out of every range
      {8, "reservation_mode", L"1"},
      {9, "demo", L"1"},
      {11, "demo=disable", L"OK"},
      {14, "image_info", L"3;5;Dr Smith;Anne;100;5648"},
      {15, "read_nok", L"OK"},
      {16, "door", L"-1"},
      {1004, "get_doctor=04", L"4;2;7;AA:BB"},
      {1022, "reset_terminal=02", L"OK"},
      {1025, "reset_terminal=05", L"ERROR:500"},
      {0, "time=09:30:00 08.12.2026", L"OK"},
      {77, nullptr, L""},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + " code " + std::to_string(rows[i].code));
    host.scanner.requests.clear();
    lines.clear();
    EXPECT_EQ(ctl->AdminAction(rows[i].code, kSerial), rows[i].result);
    if (rows[i].body) {
      EXPECT_EQ(host.scanner.Count(rows[i].body), 1);
    }
    EXPECT_TRUE(HasLog(std::wstring(L"AdminAction return : ") + rows[i].result + L"."));
  }
}

TEST_F(ControllerTest, AdminAction7OnTheLinkedScannerGoesThroughTheSuperUser) {
  Link();
  host.scanner.requests.clear();
  host.events.clear();
  EXPECT_EQ(ctl->AdminAction(7, kSerial), L"OK");
  EXPECT_TRUE(HasLog(L"AdminAction sur client http local ADMIN : 192.168.1.50 - 192.168.1.10."));
  EXPECT_TRUE(host.Has("HttpClient 192.168.1.50 192.168.1.10 3A:52:3A:52:3A:52"));
  const std::vector<std::string> expected = {std::string("lumeq2.res|") + kSuperReserve,
                                             "lumeq2.prm|reservation_mode=multi",
                                             std::string("lumeq2.res|") + kSuperUnreserve};
  EXPECT_EQ(host.scanner.Log(), expected);
  EXPECT_TRUE(ctl->HttpClient() != nullptr);  // the main client is untouched
}

TEST_F(ControllerTest, AdminAction4LeavesTheSuperUserReservation) {
  LinkAndReserve();
  host.scanner.requests.clear();
  EXPECT_EQ(ctl->AdminAction(4, kSerial), L"OK");
  EXPECT_EQ(host.scanner.Count(kSuperReserve), 1);
  EXPECT_EQ(host.scanner.Count("reset_doctors"), 1);
  EXPECT_EQ(host.scanner.Count(kSuperUnreserve), 0);
  EXPECT_EQ(ctl->HttpClient(), nullptr);
  EXPECT_FALSE(ctl->Status().hasImageClient);
}

TEST_F(ControllerTest, AdminActionMainPathUsesTheMainClientAfterTheDoctorQuery) {
  Link();
  host.scanner.byBody["door"] = {true, 200, "close"};
  host.scanner.requests.clear();
  EXPECT_EQ(ctl->AdminAction(16, kSerial), L"1");
  EXPECT_TRUE(HasLog(L"AdminAction sur client http principale."));
  EXPECT_EQ(PrmBodies(host), (std::vector<std::string>{"get_doctor=01", "door"}));
}

TEST_F(ControllerTest, AdminActionMainPathWithoutMainClientUsesALocalOne) {
  SNDPFrame f = fake::MakeFrame();
  f.SetName("slumeq2");
  Link(f);
  ctl->DestroyHttpClient();
  host.scanner.requests.clear();
  EXPECT_EQ(ctl->AdminAction(9, kSerial), L"0");
  EXPECT_TRUE(HasLog(L"AdminAction sur client http local : 192.168.1.50 - 192.168.1.10 - 00:11:22:33:44:55."));
  ASSERT_FALSE(host.scanner.requests.empty());
  EXPECT_EQ(host.scanner.requests.back().port, 9080);
}

TEST_F(ControllerTest, AdminActionRefusedSuperReservationIsNotOk) {
  Link();
  host.scanner.byBody[kSuperReserve] = {true, 409, ""};
  host.scanner.requests.clear();
  EXPECT_EQ(ctl->AdminAction(7, kSerial), L"NOTOK");
  ASSERT_EQ(host.scanner.requests.size(), 1u);
  EXPECT_TRUE(HasLog(L"AdminAction return : NOTOK."));
}

TEST_F(ControllerTest, AdminActionDoctorLists) {
  SNDPFrame f = fake::MakeFrame();
  f.stationMask = 5;
  f.waitingImageTerminal = 2;
  Link(f);
  for (int d = 1; d <= 10; ++d) {
    char body[32], answer[64];
    std::snprintf(body, sizeof body, "get_doctor=%02d", d);
    std::snprintf(answer, sizeof answer, "term=%02d color=%02d mac=M%d", d % 3 == 0 ? 0 : d, d, d);
    host.scanner.byBody[body] = {true, 200, answer};
  }
  const std::wstring list = ctl->AdminAction(1, kSerial);
  EXPECT_EQ(list.substr(0, 6), L"5;0;2\n");
  EXPECT_NE(list.find(L"\n3;0;3;M3\n"), std::wstring::npos);
  EXPECT_EQ(std::count(list.begin(), list.end(), L'\n'), 10);
  EXPECT_EQ(ctl->AdminAction(3, kSerial), L"1;2;4;5;7;8;10");
  EXPECT_EQ(ctl->AdminAction(12, kSerial), L"M1;M2;M4;M5;M7;M8;M10");
  host.scanner.byBody["get_doctor=06"] = {true, 500, ""};
  EXPECT_EQ(ctl->AdminAction(3, kSerial), L"NOTOK");
}

TEST_F(ControllerTest, AdminActionTakeOverAndLinkStoreTheSettings) {
  Link();
  settings.serial = L"";
  EXPECT_EQ(ctl->AdminAction(1047, kSerial), L"OK");
  EXPECT_EQ(settings.station, 7);
  EXPECT_EQ(settings.serial, L"SN1000");
  EXPECT_EQ(host.scanner.Count("reset_terminal=07"), 1);
  settings.serial = L"";
  Feed(fake::MakeFrame());
  EXPECT_EQ(ctl->AdminAction(2, kSerial), L"OK");
  EXPECT_EQ(settings.serial, L"SN1000");
}

TEST_F(ControllerTest, AdminAction6GoesMonoposteAsStationOne) {
  Link();
  settings.station = 4;
  EXPECT_EQ(ctl->AdminAction(6, kSerial), L"OK");
  EXPECT_EQ(settings.station, 1);
  EXPECT_EQ(host.scanner.Count("reservation_mode=mono"), 1);
  EXPECT_EQ(host.scanner.Count("reset_doctors"), 1);
  EXPECT_TRUE(ctl->Status().scannerSerial.empty());  // the listener was re-created
}

TEST_F(ControllerTest, ServiceActionReturnsTheRawCodeAndAnswer) {
  Link();
  host.scanner.byBody["version"] = {true, 200, "v1.2"};
  host.scanner.requests.clear();
  std::wstring answer = L"old";
  EXPECT_EQ(ctl->ServiceAction(L"version", answer), 200);
  EXPECT_EQ(answer, L"v1.2");
  EXPECT_TRUE(HasLog(L"ServiceAction : version."));
  EXPECT_TRUE(HasLog(L"ServiceAction return : v1.2."));
  EXPECT_EQ(host.scanner.Log(),
            (std::vector<std::string>{std::string("lumeq2.res|") + kSuperReserve, "lumeq2.prm|version",
                                      std::string("lumeq2.res|") + kSuperUnreserve}));
}

TEST_F(ControllerTest, ServiceActionWithAnUnreachableScanner) {
  settings.texts[10001] = L"Pas de réponse";
  Link();
  host.scanner.byBody[kSuperReserve] = {false, 0, ""};
  std::wstring answer;
  EXPECT_EQ(ctl->ServiceAction(L"version", answer), 1);
  EXPECT_EQ(answer, L"Pas de réponse");
  EXPECT_FALSE(HasLogPrefix(L"ServiceAction return"));
  EXPECT_EQ(host.scanner.Count("version"), 0);
}

}  // namespace
