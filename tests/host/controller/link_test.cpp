// Status frames and linking: acceptance, the name and serial rules, the frame stack,
// normalisation, identification, the station number checks, a reservation already held,
// the clean-up window and the following of the linked scanner.
#include "tests/host/controller/fixture.h"

#include "scanner_link/ScannerCommands.h"

namespace {

TEST_F(ControllerTest, StartCreatesTheListenerAndArmsTheStatusControl) {
  StartListener();
  EXPECT_TRUE(host.Has("LookupAdapter eth0"));
  EXPECT_TRUE(host.Has("StatusListener 192.168.1.10"));
  EXPECT_EQ(host.timers.count(TIMER_CONTROL), 1u);
  EXPECT_EQ(host.timers[TIMER_CONTROL], 2500u);
  EXPECT_EQ(ctl->Status().localIP, L"192.168.1.10");
  EXPECT_EQ(ctl->Status().localMAC, L"00:11:22:33:44:55");
  EXPECT_EQ(ctl->Status().adapterName, L"eth0");
  EXPECT_TRUE(HasLog(L"HardwareInfos return : 1."));
  // A second adapter check with nothing changed re-creates nothing.
  host.events.clear();
  EXPECT_EQ(ctl->HardwareInfos(1, nullptr).number, 0);
  EXPECT_FALSE(host.Has("StatusListener 192.168.1.10"));
}

TEST_F(ControllerTest, SeveralAdapterAddressesUseTheChosenOneOrTheFirst) {
  host.addresses = L"10.0.0.5\n192.168.1.10";
  StartListener();
  EXPECT_EQ(ctl->Status().localIP, L"10.0.0.5");
  settings.adapterIP = L"192.168.1.10";
  ctl->HardwareInfos(4, nullptr);
  EXPECT_EQ(ctl->Status().localIP, L"192.168.1.10");
}

TEST_F(ControllerTest, ListenerThatCannotStartIsDroppedAndLogged) {
  host.listenerStarts = false;
  settings.texts[606] = L"Erreur %d : %s";
  StartListener();
  EXPECT_FALSE(ctl->Status().hasStatusListener);
  EXPECT_EQ(host.timers.count(TIMER_CONTROL), 0u);
  EXPECT_EQ(ctl->Status().lastHttpStatus, 10048);
  EXPECT_TRUE(HasLog(L"HardwareInfos show : Erreur 10048 : system text 10048."));
}

TEST_F(ControllerTest, LinkIdentifiesWithTheExactPayload) {
  Link();
  EXPECT_TRUE(HasLog(L"Pas de LUMEQ lié au module."));
  EXPECT_TRUE(HasLog(L"Nouvelle connexion à un LUMEQ : SN1000."));
  EXPECT_TRUE(HasLog(L"Nouvelle interface HTTP sur : 192.168.1.50 (192.168.1.10 - 00:11:22:33:44:55)."));
  EXPECT_TRUE(HasLog(L"Identification sur le LUMEQ : 3 - 5 (Dr Smith - Anne-Marie)."));
  EXPECT_TRUE(host.Has("HttpClient 192.168.1.50 192.168.1.10 00:11:22:33:44:55"));
  const fake::Request* identify = nullptr;
  for (const auto& r : host.scanner.requests)
    if (r.object == L"lumeq2.id") identify = &r;
  ASSERT_NE(identify, nullptr);
  EXPECT_EQ(identify->port, 80);
  EXPECT_EQ(identify->host, L"192.168.1.50");
  EXPECT_EQ(identify->body,
            "ready=1\r\nterm=03\r\ncolor=05\r\nmac=00:11:22:33:44:55\r\ntext_coding=ASCII\r\n"
            "doc_name=Dr Smith\r\npat_name=Anne\\x2dMarie\r\ntime=000\r\nlevel=0\r\nmode=sd");
  EXPECT_EQ(ctl->HttpClient()->Agent(), L"Orvaq [1.2.3]");
  EXPECT_EQ(ctl->HttpClient()->ConnectTimeoutMs(), 1500u);
  EXPECT_EQ(host.timers[TIMER_IDENTIFY], 5000u);
  EXPECT_TRUE(host.Has("ShowButton 1"));
  EXPECT_TRUE(HasLog(L"Acquisition en mode démo ou non."));
  // The clock check ran once (AdminAction 5 on the main client asks "time").
  EXPECT_EQ(host.scanner.Count("time"), 1);
  EXPECT_EQ(ctl->Status().terminalColor, 5);
}

TEST_F(ControllerTest, ClockIsCheckedOncePerRunAndSetWhenFarOff) {
  host.scanner.byBody["time"] = {true, 200, "09:00:00 08.12.2026"};  // 30 minutes behind
  Link();
  EXPECT_EQ(host.scanner.Count("time=09:30:00 08.12.2026"), 1);
  // Linking again later does not check the clock again.
  settings.station = 0;
  ctl->HardwareInfos(4, nullptr);
  settings.station = 3;
  Feed(fake::MakeFrame());
  EXPECT_EQ(host.scanner.Count("time"), 1);
}

TEST_F(ControllerTest, ClockWithin28MinutesIsLeftAlone) {
  host.scanner.byBody["time"] = {true, 200, "09:02:00 08.12.2026"};
  Link();
  EXPECT_EQ(host.scanner.Count("time=09:30:00 08.12.2026"), 0);
}

TEST_F(ControllerTest, DemoModeSendsDemoEnableAfterIdentification) {
  settings.demo = true;
  Link();
  EXPECT_EQ(host.scanner.Count("demo=enable"), 1);
}

TEST_F(ControllerTest, MonoposteFrameHidesTheReservationButton) {
  SNDPFrame f = fake::MakeFrame();
  f.reservationMode = 0;
  Link(f);
  EXPECT_TRUE(host.Has("ShowButton 0"));
}

TEST_F(ControllerTest, FailedIdentificationUnlinks) {
  host.scanner.byFile[L"lumeq2.id"] = {true, 500, ""};
  StartListener();
  Feed(fake::MakeFrame());
  EXPECT_TRUE(HasLog(L"Echec lors de l'identification."));
  EXPECT_TRUE(ctl->Status().scannerSerial.empty());
  EXPECT_EQ(ctl->Status().terminalNum, -1);
  EXPECT_EQ(ctl->HttpClient(), nullptr);
  EXPECT_TRUE(ctl->Status().ledError);
  EXPECT_EQ(host.timers.count(TIMER_IDENTIFY), 0u);
}

TEST_F(ControllerTest, NormalisationOfTheReservationHolder) {
  StartListener();
  SNDPFrame f = fake::MakeFrame("OTHER");
  f.resaTerminal = 12;
  f.state = SNDP_STATE_RESERVED;
  Feed(f);
  ASSERT_EQ(ctl->Frames().Size(), 1u);
  EXPECT_EQ(ctl->Frames().Records().back().frame.resaTerminal, 0);
  EXPECT_EQ(ctl->Frames().Records().back().frame.state, SNDP_STATE_READY);
  EXPECT_TRUE(HasLog(L"Ajout d'une trame SNDP sur la pile : 7 - status : 1."));
  // 10 is a terminal and stays as it is.
  f.resaTerminal = 10;
  Feed(f);
  EXPECT_EQ(ctl->Frames().Records().back().frame.resaTerminal, 10);
  EXPECT_EQ(ctl->Frames().Records().back().frame.state, SNDP_STATE_RESERVED);
}

TEST_F(ControllerTest, TheStackHoldsAtMost51Records) {
  StartListener();
  SNDPFrame f = fake::MakeFrame("OTHER");
  for (int i = 0; i < 51; ++i) Feed(f);
  EXPECT_EQ(ctl->Frames().Size(), 51u);
  EXPECT_EQ(CountLog(L"Effacement d'une trame SNDP sous la pile."), 0);
  const uint32_t oldest = ctl->Frames().Records().front().tick;
  host.tick += 10;
  Feed(f);  // the 52nd
  EXPECT_EQ(ctl->Frames().Size(), 51u);
  EXPECT_EQ(CountLog(L"Effacement d'une trame SNDP sous la pile."), 1);
  EXPECT_EQ(ctl->Frames().Records().back().tick, oldest + 10);
}

TEST_F(ControllerTest, OldFramesAgeOutAfter7500Ms) {
  StartListener();
  Feed(fake::MakeFrame("OTHER"));
  host.tick += 7500;
  Feed(fake::MakeFrame("OTHER"));
  EXPECT_EQ(ctl->Frames().Size(), 2u);
  host.tick += 7501;
  Feed(fake::MakeFrame("OTHER"));
  EXPECT_EQ(ctl->Frames().Size(), 1u);
  EXPECT_EQ(CountLog(L"Effacement d'une trame SNDP ancienne sous la pile."), 2);
}

TEST_F(ControllerTest, AgeOutSurvivesTheTickWrap) {
  host.tick = 0xFFFFF000u;
  StartListener();
  Feed(fake::MakeFrame("OTHER"));
  host.tick = 0x00000100u;  // 0x1100 ms later, across the wrap
  Feed(fake::MakeFrame("OTHER"));
  EXPECT_EQ(ctl->Frames().Size(), 2u);
}

struct NameRow {
  const char* frameName;
  const wchar_t* setting;
  int simulated;
  bool accepted;
  bool simulator;
};

TEST_F(ControllerTest, ScannerNameRuleAndSimulatorPort) {
  const NameRow rows[] = {
      {"lumeq2", L"lumeq2", 0, true, false},  {"SLUMEQ2", L"lumeq2", 0, true, true},
      {"slumeq2", L"lumeq2", 0, true, true},  {"LUMEQ2", L"lumeq2", 0, false, false},
      {"other", L"lumeq2", 1, true, true},    {"lumeq", L"lumeq2", 0, false, false},
      {"xlumeq2", L"lumeq2", 0, false, false},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    TearDown();
    lines.clear();
    host = fake::Host();
    settings = fake::Settings();
    SetUp();
    settings.name = rows[i].setting;
    settings.simulated = rows[i].simulated;
    StartListener();
    SNDPFrame f = fake::MakeFrame();
    f.SetName(rows[i].frameName);
    Feed(f);
    EXPECT_EQ(ctl->Frames().Size(), rows[i].accepted ? 1u : 0u);
    EXPECT_EQ(HasLog(L"LIAISON avec le SIMULATEUR."), rows[i].simulator);
    if (rows[i].accepted) {
      ASSERT_FALSE(host.scanner.requests.empty());
      EXPECT_EQ(host.scanner.requests.front().port, rows[i].simulator ? 9080 : 80);
    } else {
      EXPECT_TRUE(host.scanner.requests.empty());
    }
  }
}

TEST_F(ControllerTest, SerialFilterIsACaseSensitivePrefix) {
  struct Row {
    const wchar_t* filter;
    const char* serial;
    bool accepted;
  } rows[] = {{L"AB", "AB123", true}, {L"AB", "XAB12", false}, {L"AB", "ab123", false},
              {L"", "XAB12", true},   {L"AB", "AB", true},     {L"", "", false}};
  StartListener();
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    settings.filter = rows[i].filter;
    const size_t before = ctl->Frames().Size();
    Feed(fake::MakeFrame(rows[i].serial));
    EXPECT_EQ(ctl->Frames().Size() - before, rows[i].accepted ? 1u : 0u);
  }
}

TEST_F(ControllerTest, BadHeadersAreDroppedSilently) {
  StartListener();
  const size_t logged = lines.size();
  SNDPFrame f = fake::MakeFrame();
  f.state = SNDP_STATE_STARTING;
  Feed(f);
  f = fake::MakeFrame();
  f.magic = 0x5AA5;
  Feed(f);
  f = fake::MakeFrame();
  f.version = 2;
  Feed(f);
  std::vector<uint8_t> shortDatagram = fake::Encode(fake::MakeFrame());
  shortDatagram.resize(100);
  host.datagrams.push_back(shortDatagram);
  ctl->OnSNDPFrame();
  EXPECT_TRUE(ctl->Frames().Empty());
  // Only the reception line of each message.
  EXPECT_EQ(lines.size() - logged, 4u);
}

TEST_F(ControllerTest, ReceiveErrorIsLoggedWithTheSystemText) {
  settings.texts[603] = L"Erreur réseau %d : %s";
  StartListener();
  std::vector<uint8_t> longDatagram(200, 0);
  host.datagrams.push_back(longDatagram);
  ctl->OnSNDPFrame();
  EXPECT_TRUE(HasLog(L"Erreur de réception d'une trame SNDP."));
  EXPECT_TRUE(HasLog(L"Erreur réseau 10040 : system text 10040"));
  EXPECT_TRUE(ctl->Status().hasStatusListener);
}

TEST_F(ControllerTest, FrameWithoutListenerAsksAFullReset) {
  ctl->OnSNDPFrame();
  EXPECT_TRUE(HasLog(L"Evénement SNDP sans listener valide."));
  EXPECT_TRUE(host.Has("PostHardwareInfos 5"));
}

TEST_F(ControllerTest, StationNumbersOutsideOneToTenLeaveTheStationUnlinked) {
  const int rows[] = {0, 11, -1, 1, 10};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    TearDown();
    lines.clear();
    host = fake::Host();
    settings = fake::Settings();
    SetUp();
    settings.station = rows[i];
    StartListener();
    Feed(fake::MakeFrame());
    const bool valid = rows[i] >= 1 && rows[i] <= 10;
    EXPECT_EQ(HasLog(L"Numéro de station nom configuré."), !valid);
    EXPECT_EQ(ctl->Status().scannerSerial.empty(), !valid);
    EXPECT_EQ(ctl->Status().terminalNum, valid ? rows[i] : -1);
    EXPECT_EQ(host.scanner.Count("time") + host.scanner.CountContaining("ready=1"), valid ? 2 : 0);
  }
}

TEST_F(ControllerTest, EmptySerialSettingNeverLinks) {
  settings.serial = L"";
  StartListener();
  Feed(fake::MakeFrame());
  EXPECT_TRUE(ctl->Status().scannerSerial.empty());
  EXPECT_TRUE(host.scanner.requests.empty());
}

TEST_F(ControllerTest, SerialSettingIsComparedIgnoringCase) {
  settings.serial = L"sn1000";
  StartListener();
  Feed(fake::MakeFrame());
  EXPECT_EQ(ctl->Status().scannerSerial, L"SN1000");
}

TEST_F(ControllerTest, MissingLocalAddressAsksTheAdapterCheck) {
  host.adapterFound = false;
  StartListener();
  Feed(fake::MakeFrame());
  EXPECT_TRUE(host.Has("PostHardwareInfos 1"));
  EXPECT_TRUE(host.scanner.requests.empty());
}

TEST_F(ControllerTest, HttpClientThatCannotBeCreatedIsLogged) {
  host.failHttp = true;
  StartListener();
  Feed(fake::MakeFrame());
  EXPECT_TRUE(HasLog(L"Echec lors de la création de la couche HTTP."));
  EXPECT_EQ(ctl->HttpClient(), nullptr);
}

TEST_F(ControllerTest, ReservationAlreadyHeldWithTheDoorOpenShowsText625) {
  host.scanner.byBody["door"] = {true, 200, "open"};
  StartListener();
  SNDPFrame f = fake::MakeFrame();
  f.resaTerminal = 3;
  f.state = SNDP_STATE_RESERVED;
  Feed(f);
  EXPECT_TRUE(HasLog(L"Le LUMEQ est déjà réservé par nous-même."));
  EXPECT_EQ(host.scanner.CountContaining("ready=1\r\nterm=03"), 0);  // never identifies
  EXPECT_EQ(host.scanner.Count("door"), 1);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0], 625);
  EXPECT_TRUE(host.Has("MessageBox 625 48 T625"));
  EXPECT_TRUE(ctl->Status().scannerSerial.empty());
  EXPECT_EQ(ctl->Status().terminalNum, -1);
  EXPECT_EQ(ctl->HttpClient(), nullptr);
}

TEST_F(ControllerTest, ReservationAlreadyHeldWithTheDoorClosedAsksTheDoctorList) {
  host.scanner.byBody["door"] = {true, 200, "close"};
  StartListener();
  SNDPFrame f = fake::MakeFrame();
  f.resaTerminal = 3;
  Feed(f);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(host.scanner.Count("get_doctor=01"), 2);  // the AdminAction opening query and the service request
  EXPECT_TRUE(HasLog(L"ServiceAction : get_doctor=01."));
  EXPECT_TRUE(ctl->Status().scannerSerial.empty());
}

TEST_F(ControllerTest, FramesDuringTheHeldReservationQuestionAreOnlyStored) {
  StartListener();
  SNDPFrame f = fake::MakeFrame();
  f.resaTerminal = 3;
  int nested = 0;
  // While the message box is up, another frame arrives.
  host.scanner.byBody["door"] = {true, 200, "open"};
  struct Reentrant : fake::Host {};
  host.boxAnswer = orvaq::mb::kIdOk;
  host.scanner.onRequest = [&](const fake::Request& r) {
    if (r.body == "door" && nested++ == 0) {
      host.datagrams.push_back(fake::Encode(fake::MakeFrame()));
      ctl->OnSNDPFrame();
    }
  };
  Feed(f);
  EXPECT_EQ(ctl->Frames().Size(), 2u);
  EXPECT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.scanner.CountContaining("ready=1\r\nterm=03"), 0);
}

TEST_F(ControllerTest, FollowingTracksTheHolderAndRepaints) {
  Link();
  host.events.clear();
  SNDPFrame f = fake::MakeFrame();
  f.resaTerminal = 5;
  f.state = SNDP_STATE_RESERVED;
  Feed(f);
  EXPECT_TRUE(HasLog(L"La trame SNDP concerne le LUMEQ courant."));
  EXPECT_EQ(ctl->Status().terminalResaNum, 5);
  EXPECT_TRUE(ctl->Status().ledReserved);
  EXPECT_TRUE(host.Has("Repaint"));
  f.state = SNDP_STATE_ON_GUI;
  Feed(f);
  EXPECT_TRUE(ctl->Status().scannerOnGui);
}

TEST_F(ControllerTest, CleanUpWaits4000MsAfterTheImageListenerWasSetUp) {
  LinkAndReserve();
  const uint32_t reserved = ctl->Status().tickReservation;
  ASSERT_EQ(reserved, host.tick);
  SNDPFrame f = fake::MakeFrame();
  f.resaTerminal = 5;
  f.state = SNDP_STATE_RESERVED;
  host.tick = reserved + 4000;
  Feed(f);
  EXPECT_FALSE(HasLogPrefix(L"Nettoyage car"));
  EXPECT_TRUE(ctl->Status().hasImageClient);
  host.scanner.requests.clear();
  host.tick = reserved + 4001;
  Feed(f);
  EXPECT_TRUE(HasLogPrefix(L"Nettoyage car : m_TerminalResaNum 5/3 m_pImageClient "));
  EXPECT_TRUE(HasLog(L"Déréservation lors du nettoyage."));
  EXPECT_FALSE(ctl->Status().hasImageClient);
  EXPECT_FALSE(ctl->Status().reserved);
  ASSERT_EQ(host.scanner.requests.size(), 1u);
  EXPECT_EQ(host.scanner.requests[0].body,
            "ready=0\r\nterm=03\r\ncolor=05\r\nmac=00:11:22:33:44:55\r\ntext_coding=\r\ndoc_name=\r\n"
            "pat_name=\r\ntime=040\r\nlevel=0\r\nmode=");
}

TEST_F(ControllerTest, BlockedImageQuestionOkRequestsTheRead) {
  Link();
  settings.texts[840] = L"Image de %d (%s / %s) ?";
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(100, 5648)};
  SNDPFrame f = fake::MakeFrame();
  f.waitingImageTerminal = 3;
  Feed(f);
  EXPECT_TRUE(HasLog(L"Une image bloquée en attente."));
  EXPECT_TRUE(host.Has("MessageBox 840 65 Image de 3 (Dr Smith / Anne) ?"));
  EXPECT_TRUE(ctl->Status().readLastImage);
  EXPECT_TRUE(ctl->Status().blockedImagePrompted);
  // Asked once only.
  Feed(f);
  EXPECT_EQ(host.boxes.size(), 1u);
  // Once the image is gone the question may come back.
  f.waitingImageTerminal = 0;
  Feed(f);
  EXPECT_FALSE(ctl->Status().blockedImagePrompted);
}

TEST_F(ControllerTest, BlockedImageWithoutDescriptionOnlyBeeps) {
  Link();
  host.scanner.byBody["image_info"] = {true, 500, ""};
  host.boxAnswer = orvaq::mb::kIdCancel;
  SNDPFrame f = fake::MakeFrame();
  f.waitingImageTerminal = 3;
  Feed(f);
  EXPECT_TRUE(host.Has("Beep"));
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_FALSE(ctl->Status().readLastImage);
}

TEST_F(ControllerTest, AnotherStationsImageClearsTheIndicators) {
  Link();
  ASSERT_TRUE(ctl->Status().ledReady);
  SNDPFrame f = fake::MakeFrame();
  f.waitingImageTerminal = 6;
  Feed(f);
  EXPECT_FALSE(ctl->Status().ledReady || ctl->Status().ledReserved || ctl->Status().ledReceiving || ctl->Status().ledError);
}

TEST_F(ControllerTest, AutoReservationOnTheScannersRequest) {
  Link();
  host.scanner.requests.clear();
  SNDPFrame f = fake::MakeFrame();
  f.autoResaTerminal = 3;
  host.tick += 100;
  Feed(f);
  EXPECT_TRUE(HasLog(L"Auto réservation sur demande SNDP."));
  EXPECT_TRUE(ctl->Status().reserved);
  ASSERT_TRUE(ctl->Status().hasImageClient);
  EXPECT_TRUE(host.Has("Listen 3333"));
  EXPECT_EQ(ctl->Status().tickReservation, host.tick);
  EXPECT_EQ(host.scanner.Count("gui_language=french"), 1);
  EXPECT_EQ(host.scanner.Count("reservation_mode=multi"), 1);
  // Not for another terminal.
  EXPECT_EQ(host.scanner.CountContaining("ready=1\r\nterm=03"), 1);
}

TEST_F(ControllerTest, AutoReservationForAnotherTerminalDoesNothing) {
  Link();
  host.scanner.requests.clear();
  SNDPFrame f = fake::MakeFrame();
  f.autoResaTerminal = 4;
  Feed(f);
  EXPECT_FALSE(ctl->Status().reserved);
  EXPECT_TRUE(host.scanner.requests.empty());
}

TEST_F(ControllerTest, IndicatorForms) {
  struct Row {
    uint8_t error, state;
    bool ready, reserved, receiving, failed;
  } rows[] = {{0, 1, true, false, false, false}, {0, 2, true, true, false, false},
              {0, 3, false, false, false, false}, {4, 2, false, false, false, true},
              {255, 0, false, false, false, true}};
  // Receiving an image lights the receiving lamp, which every form below turns off.
  LinkAndReserve();
  ctl->OnImageMessage(1, kFdAccept);
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    ctl->OnImageMessage(1, kFdRead);
    ASSERT_TRUE(ctl->Status().ledReceiving);
    ctl->SetScannerIndicator(rows[i].error, rows[i].state);
    EXPECT_EQ(ctl->Status().ledReady, rows[i].ready);
    EXPECT_EQ(ctl->Status().ledReserved, rows[i].reserved);
    EXPECT_EQ(ctl->Status().ledReceiving, rows[i].receiving);
    EXPECT_EQ(ctl->Status().ledError, rows[i].failed);
  }
  // Starting toggles the ready lamp and always repaints; an unknown state changes nothing.
  ctl->SetScannerIndicator(0, 1);
  host.events.clear();
  ctl->SetScannerIndicator(0, 0);
  EXPECT_FALSE(ctl->Status().ledReady);
  ctl->SetScannerIndicator(0, 0);
  EXPECT_TRUE(ctl->Status().ledReady);
  EXPECT_EQ(host.CountEvent("Repaint"), 2);
  ctl->SetScannerIndicator(0, 9);
  EXPECT_TRUE(ctl->Status().ledReady);
  EXPECT_EQ(host.CountEvent("Repaint"), 2);
}

}  // namespace
