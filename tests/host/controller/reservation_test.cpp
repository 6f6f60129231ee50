// Reservation, the ladder of button 1008, the pattern read, every timer with the mode
// pre-check, the tear-down operations and the command-line change.
#include "tests/host/controller/fixture.h"

namespace {

std::string ResBody(const fake::Host& host) {
  for (auto it = host.scanner.requests.rbegin(); it != host.scanner.requests.rend(); ++it)
    if (it->object == L"lumeq2.res") return it->body;
  return "";
}

TEST_F(ControllerTest, ReservationSendsTheRequestLanguageAndMode) {
  Link();
  host.scanner.requests.clear();
  host.tick += 50;
  ctl->ReservationAction();
  const std::vector<std::string> expected = {
      "lumeq2.res|ready=1\r\nterm=03\r\ncolor=05\r\nmac=00:11:22:33:44:55\r\ntext_coding=ASCII\r\n"
      "doc_name=Dr Smith\r\npat_name=Anne\\x2dMarie\r\ntime=040\r\nlevel=0\r\nmode=sd",
      "lumeq2.prm|gui_language=french",
      "lumeq2.prm|reservation_mode=multi",
  };
  EXPECT_EQ(host.scanner.Log(), expected);
  EXPECT_TRUE(HasLog(L"Réservation niveau : 0."));
  EXPECT_TRUE(HasLog(L"Temps de réservation demandé : 40."));
  EXPECT_TRUE(HasLog(L"Réservation effective."));
  EXPECT_TRUE(HasLog(L"Mise en place du client image."));
  EXPECT_TRUE(HasLog(L"Réservation effectuée."));
  EXPECT_TRUE(host.Has("ImageClient 3333"));
  EXPECT_TRUE(host.Has("Listen 3333"));
  EXPECT_EQ(ctl->Status().tickReservation, host.tick);
  EXPECT_EQ(ctl->Status().lastHttpStatus, 200);
  EXPECT_EQ(host.timers.count(TIMER_MONO_RELOAD), 0u);  // multiposte: no refresh
}

TEST_F(ControllerTest, ReservationTimes) {
  struct Row {
    int setting;
    uint8_t mode;
    const char* time;
  } rows[] = {{5, 1, "time=040"},   {700, 1, "time=040"}, {600, 1, "time=600"}, {10, 1, "time=010"},
              {9, 1, "time=040"},   {0, 1, "time=040"},   {600, 0, "time=040"}, {120, 0, "time=040"},
              {601, 1, "time=040"}, {120, 1, "time=120"}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    TearDown();
    lines.clear();
    host = fake::Host();
    settings = fake::Settings();
    SetUp();
    settings.duration = rows[i].setting;
    SNDPFrame f = fake::MakeFrame();
    f.reservationMode = rows[i].mode;
    Link(f);
    ctl->ReservationAction();
    EXPECT_NE(ResBody(host).find(rows[i].time), std::string::npos) << ResBody(host);
  }
}

TEST_F(ControllerTest, MonoposteReservesByItselfAndRefreshesEvery20s) {
  SNDPFrame f = fake::MakeFrame();
  f.reservationMode = 0;
  Link(f);
  host.events.clear();
  ctl->OnTimer(TIMER_CONTROL);
  EXPECT_TRUE(HasLog(L"Timer de contrôle SNDP."));
  EXPECT_TRUE(HasLog(L"Réservation pour le mode Monoposte."));
  EXPECT_TRUE(host.Has("PostCommand 1008"));
  ctl->ReservationAction();  // what the posted command runs
  EXPECT_TRUE(ctl->Status().reserved);
  EXPECT_EQ(host.scanner.Count("reservation_mode=mono"), 1);
  EXPECT_TRUE(HasLog(L"Réservation en monoposte : Mise en place du timer de suivi."));
  EXPECT_EQ(host.timers[TIMER_MONO_RELOAD], 20000u);

  host.scanner.requests.clear();
  host.events.clear();
  ctl->OnTimer(TIMER_MONO_RELOAD);
  EXPECT_TRUE(HasLog(L"Réarmement de la réservation Monoposte."));
  EXPECT_EQ(host.scanner.Log(), std::vector<std::string>{"lumeq2.prm|reload=040"});
  EXPECT_TRUE(host.Has("KillTimer 1050"));
  EXPECT_TRUE(host.Has("SetTimer 1050 20000"));

  // A refused reload leaves the timer dead.
  host.scanner.byBody["reload=040"] = {true, 409, ""};
  host.events.clear();
  ctl->OnTimer(TIMER_MONO_RELOAD);
  EXPECT_FALSE(host.Has("SetTimer 1050 20000"));
  EXPECT_EQ(host.timers.count(TIMER_MONO_RELOAD), 0u);

  // Reserved now: the status control does not reserve again.
  host.events.clear();
  ctl->OnTimer(TIMER_CONTROL);
  EXPECT_FALSE(host.Has("PostCommand 1008"));
}

TEST_F(ControllerTest, MultiposteNeverReservesByItself) {
  Link();
  ctl->OnTimer(TIMER_CONTROL);
  ctl->OnTimer(TIMER_CONTROL);
  EXPECT_FALSE(host.Has("PostCommand 1008"));
  EXPECT_FALSE(HasLog(L"Réservation pour le mode Monoposte."));
}

struct LadderRow {
  const char* name;
  std::function<void(COrvaqController&, SNDPFrame&)> prepare;
  const wchar_t* log;
  bool beep;
};

TEST_F(ControllerTest, LadderRefusals) {
  const LadderRow rows[] = {
      {"settings", [](COrvaqController& c, SNDPFrame&) { c.SetInSettings(true); },
       L"Action refusée car on est dans le paramétrage.", false},
      {"blocked", [](COrvaqController&, SNDPFrame& f) { f.stationFlags = 0; },
       L"Action refusée car la réservation depuis la station est bloquée.", true},
      {"gui multi", [](COrvaqController&, SNDPFrame& f) { f.state = SNDP_STATE_ON_GUI; },
       L"Action refusée car le LUMEQ est sur GUI.", true},
      {"gui mono",
       [](COrvaqController&, SNDPFrame& f) {
         f.state = SNDP_STATE_ON_GUI;
         f.reservationMode = 0;
       },
       L"Action refusée car le LUMEQ est sur GUI.", false},
      {"image waiting", [](COrvaqController&, SNDPFrame& f) { f.waitingImageTerminal = 6; },
       L"Action refusée car on a une image en attente.", false},
      {"held by another", [](COrvaqController&, SNDPFrame& f) { f.resaTerminal = 6; },
       L"Action refusée pour une autre raison : 6 0 SN1000 0.", true},
      {"error lamp", [](COrvaqController&, SNDPFrame& f) { f.lastError = 4; },
       L"Action refusée pour une autre raison : 0 0 SN1000 1.", true},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + " " + rows[i].name);
    TearDown();
    lines.clear();
    host = fake::Host();
    settings = fake::Settings();
    SetUp();
    Link();
    SNDPFrame f = fake::MakeFrame();
    rows[i].prepare(*ctl, f);
    const bool inSettings = ctl->Status().inSettings;
    ctl->SetInSettings(false);
    Feed(f);
    ctl->SetInSettings(inSettings);
    host.events.clear();
    host.scanner.requests.clear();
    ctl->ReservationAction();
    EXPECT_TRUE(HasLog(L"Action réservation."));
    EXPECT_TRUE(HasLog(rows[i].log));
    EXPECT_EQ(host.Has("Beep"), rows[i].beep);
    EXPECT_FALSE(ctl->Status().reserved);
    EXPECT_EQ(host.scanner.CountContaining("ready=1"), 0);
  }
}

TEST_F(ControllerTest, ButtonWhileReservedUnreservesEvenWhenTheStationIsBlocked) {
  LinkAndReserve();
  SNDPFrame f = fake::MakeFrame();
  f.stationFlags = 0;
  f.resaTerminal = 3;
  f.state = SNDP_STATE_RESERVED;
  Feed(f);
  host.scanner.requests.clear();
  ctl->ReservationAction();
  EXPECT_TRUE(HasLog(L"Déjà réservé : on déreserve."));
  EXPECT_FALSE(ctl->Status().reserved);
  ASSERT_EQ(host.scanner.requests.size(), 1u);
  EXPECT_EQ(host.scanner.requests[0].body.substr(0, 18), "ready=0\r\nterm=03\r\n");
}

TEST_F(ControllerTest, RefusedUnreservationBeepsAndStaysReserved) {
  LinkAndReserve();
  host.scanner.byFile[L"lumeq2.res"] = {true, 409, ""};
  ctl->ReservationAction();
  EXPECT_TRUE(ctl->Status().reserved);
  EXPECT_TRUE(host.Has("Beep"));
}

TEST_F(ControllerTest, WaitingImageOfOurOwnInMultiposteAllowsTheQuestionAgain) {
  Link();
  SNDPFrame f = fake::MakeFrame();
  f.waitingImageTerminal = 3;
  host.boxAnswer = orvaq::mb::kIdCancel;
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(1, 5648)};
  Feed(f);
  ASSERT_TRUE(ctl->Status().blockedImagePrompted);
  ctl->ReservationAction();
  EXPECT_TRUE(HasLog(L"Action refusée car on a une image en attente."));
  EXPECT_FALSE(ctl->Status().blockedImagePrompted);
}

TEST_F(ControllerTest, RefusedReservationUnlinks) {
  settings.texts[602] = L"Erreur %d (%s)";
  settings.texts[10409] = L"conflit";
  Link();
  host.scanner.byFile[L"lumeq2.res"] = {true, 409, ""};
  ctl->ReservationAction();
  EXPECT_TRUE(HasLog(L"Echec de la réservation : Erreur 409 (conflit)\r\n4347."));
  EXPECT_TRUE(HasLog(L"Echec de la réservation."));
  EXPECT_TRUE(ctl->Status().scannerSerial.empty());
  EXPECT_EQ(ctl->HttpClient(), nullptr);
  EXPECT_EQ(ctl->Status().terminalNum, -1);
  EXPECT_TRUE(ctl->Status().ledError);
  EXPECT_FALSE(ctl->Status().hasImageClient);
}

TEST_F(ControllerTest, ReservationModeIncidentIsLoggedButTheReservationCounts) {
  settings.texts[602] = L"Erreur %d (%s)";
  Link();
  host.scanner.byBody["reservation_mode=multi"] = {true, 500, ""};
  ctl->ReservationAction();
  EXPECT_TRUE(HasLog(L"Incident pendant la réservation : Erreur 500 (T10500)\r\n4360."));
  EXPECT_TRUE(ctl->Status().reserved);
}

TEST_F(ControllerTest, ImageListenerThatCannotListenAsksAFullReset) {
  Link();
  host.imageListens = false;
  ctl->ReservationAction();
  EXPECT_FALSE(ctl->Status().hasImageClient);
  EXPECT_TRUE(host.Has("PostHardwareInfos 5"));
  EXPECT_FALSE(HasLog(L"Réservation effectuée."));
  EXPECT_EQ(host.liveImageClients, 0);
  // The posted full reset clears the reservation.
  ctl->HardwareInfos(5, nullptr);
  EXPECT_FALSE(ctl->Status().reserved);
  EXPECT_TRUE(host.Has("PostHardwareInfos 1"));
}

TEST_F(ControllerTest, ReserveWithoutTerminalOrClient) {
  EXPECT_FALSE(ctl->Reserve(0));
  EXPECT_TRUE(HasLog(L"m_TerminalNum est inférieur à zéro : -1."));
  // A station number without an HTTP client cannot be reached: every path that drops the
  // client also clears the station number.
  EXPECT_FALSE(HasLog(L"m_pHTTPClient est null"));
}

TEST_F(ControllerTest, LastImageReadRetriesAndResetsOnThe11thRefusal) {
  LinkAndReserve();
  host.scanner.byBody["image_read"] = {true, 409, ""};
  for (int i = 1; i <= 10; ++i) {
    SCOPED_TRACE("refusal " + std::to_string(i));
    host.events.clear();
    ctl->OnTimer(TIMER_LAST_IMAGE);
    EXPECT_TRUE(host.Has("SetTimer 1060 500"));
    EXPECT_EQ(ctl->Status().lastImageRetries, i);
    EXPECT_FALSE(ctl->Status().scannerSerial.empty());
  }
  EXPECT_EQ(CountLog(L"Read Image refusé par le LUMEQ : 409."), 10);
  host.events.clear();
  ctl->OnTimer(TIMER_LAST_IMAGE);
  EXPECT_TRUE(HasLog(L"Reset de la comm pour lecture de la dernière image après 10 essais."));
  EXPECT_FALSE(host.Has("SetTimer 1060 500"));
  EXPECT_TRUE(ctl->Status().scannerSerial.empty());
  EXPECT_EQ(ctl->HttpClient(), nullptr);
  EXPECT_FALSE(ctl->Status().hasImageClient);
  EXPECT_TRUE(ctl->Status().readLastImage);
  EXPECT_EQ(ctl->Status().lastImageRetries, 0);
  EXPECT_TRUE(ctl->Status().ledError);
}

TEST_F(ControllerTest, AcceptedLastImageReadResetsTheRetryCounter) {
  LinkAndReserve();
  host.scanner.queued["image_read"] = std::deque<fake::Reply>(9, fake::Reply{true, 409, ""});
  host.scanner.queued["image_read"].push_back(fake::Reply{true, 200, ""});
  for (int i = 0; i < 10; ++i) ctl->OnTimer(TIMER_LAST_IMAGE);
  EXPECT_EQ(ctl->Status().lastImageRetries, 0);
  EXPECT_TRUE(ctl->Status().imageInMemoryRead);
  host.scanner.byBody["image_read"] = {true, 409, ""};
  for (int i = 0; i < 10; ++i) ctl->OnTimer(TIMER_LAST_IMAGE);
  EXPECT_FALSE(HasLog(L"Reset de la comm pour lecture de la dernière image après 10 essais."));
  EXPECT_EQ(ctl->Status().lastImageRetries, 10);
}

TEST_F(ControllerTest, LastImageTimerWithoutReservationResetsTheLink) {
  Link();
  ctl->OnTimer(TIMER_LAST_IMAGE);
  EXPECT_TRUE(HasLogPrefix(L"Conditions non remplies pour la lecture de la dernière image : "));
  EXPECT_TRUE(HasLog(L"Reset de la comm pour lecture de la dernière image."));
  EXPECT_TRUE(ctl->Status().readLastImage);
  EXPECT_TRUE(ctl->Status().scannerSerial.empty());
}

TEST_F(ControllerTest, TimerEventsAreDroppedWhenTheModeIsNeitherMonoNorMulti) {
  const uint32_t rows[] = {TIMER_IDENTIFY, TIMER_CONTROL, TIMER_MONO_RELOAD, TIMER_LAST_IMAGE,
                           TIMER_WATCHDOG, TIMER_FOLDER_WATCH, TIMER_THUMBNAIL};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    TearDown();
    lines.clear();
    host = fake::Host();
    settings = fake::Settings();
    SetUp();
    SNDPFrame f = fake::MakeFrame();
    f.reservationMode = 2;
    Link(f);
    host.events.clear();
    ClearRecords();
    ctl->OnTimer(rows[i]);
    EXPECT_TRUE(HasLog(L"MonoMulti foireux : Pas de LUMEQ détecté."));
    EXPECT_TRUE(host.Has("StatusListener 192.168.1.10"));  // the listener is re-created
    EXPECT_FALSE(host.Has("BaseTimer " + std::to_string(rows[i])));
    EXPECT_FALSE(host.Has("FolderWatch"));
    EXPECT_FALSE(HasLog(L"Réidentification."));
    EXPECT_FALSE(HasLog(L"Timer de contrôle SNDP."));
  }
}

TEST_F(ControllerTest, MultiPlateTimerIsServedWhateverTheMode) {
  SNDPFrame f = fake::MakeFrame();
  f.reservationMode = 2;
  Link(f);
  ctl->ArmTimer(TIMER_T4, 5000);
  ctl->OnTimer(TIMER_T4);
  EXPECT_TRUE(host.Has("MultiPlate"));
  EXPECT_TRUE(host.Has("KillTimer 4444"));
  EXPECT_FALSE(ctl->IsTimerArmed(TIMER_T4));
  EXPECT_FALSE(HasLog(L"MonoMulti foireux : Pas de LUMEQ détecté."));
}

TEST_F(ControllerTest, ReidentificationOnlyWhenNotReserved) {
  Link();
  host.scanner.requests.clear();
  ctl->OnTimer(TIMER_IDENTIFY);
  EXPECT_TRUE(HasLog(L"Réidentification."));
  EXPECT_EQ(host.scanner.CountContaining("ready=1\r\nterm=03"), 1);
  EXPECT_TRUE(host.Has("BaseTimer 1020"));
  ctl->ReservationAction();
  lines.clear();
  ctl->OnTimer(TIMER_IDENTIFY);
  EXPECT_FALSE(HasLog(L"Réidentification."));
}

TEST_F(ControllerTest, OtherTimersGoToTheirOwners) {
  Link();
  ctl->OnTimer(TIMER_FOLDER_WATCH);
  EXPECT_TRUE(host.Has("FolderWatch"));
  ctl->OnTimer(TIMER_THUMBNAIL);
  EXPECT_TRUE(host.Has("BaseTimer 1010"));
}

TEST_F(ControllerTest, StatusControlWithoutListenerRecreatesIt) {
  ctl->OnTimer(TIMER_CONTROL);
  EXPECT_TRUE(host.Has("StatusListener 192.168.1.10"));
  EXPECT_FALSE(HasLog(L"Timer de contrôle SNDP."));
}

TEST_F(ControllerTest, StatusControlWithoutScannerClearsTheBindingAndServesAPendingRead) {
  StartListener();
  ctl->RequestLastImageRead(false);
  ctl->OnTimer(TIMER_CONTROL);
  EXPECT_TRUE(HasLog(L"Pas de LUMEQ détecté."));
  EXPECT_TRUE(HasLog(L"Réservation pour lecture de la dernière image."));
  EXPECT_TRUE(host.Has("PostCommand 1008"));
  EXPECT_TRUE(ctl->Status().ledError);
}

TEST_F(ControllerTest, SilentScannerIsDroppedLocallyAndFoundAgain) {
  LinkAndReserve();
  host.scanner.requests.clear();
  host.tick += 8000;
  ctl->OnTimer(TIMER_CONTROL);
  EXPECT_TRUE(HasLog(L"LUMEQ perdu : reset complet."));
  EXPECT_FALSE(ctl->Status().reserved);
  EXPECT_TRUE(ctl->Status().scannerSerial.empty());
  EXPECT_FALSE(ctl->Status().hasImageClient);
  // The scanner comes back: the station links again.
  Feed(fake::MakeFrame());
  EXPECT_EQ(ctl->Status().scannerSerial, L"SN1000");
  EXPECT_EQ(ctl->Status().terminalNum, 3);
}

TEST_F(ControllerTest, WatchdogExpiryTearsEverythingDownAndAsksAFullReset) {
  LinkAndReserve();
  ctl->OnImageMessage(0x40, kFdAccept);
  ASSERT_EQ(host.timers[TIMER_WATCHDOG], 10000u);
  ctl->OnTimer(TIMER_WATCHDOG);
  EXPECT_TRUE(HasLog(L"Watchdog de transfert d'image."));
  EXPECT_TRUE(host.Has("PostHardwareInfos 5"));
  EXPECT_FALSE(ctl->Status().hasStatusListener);
  EXPECT_FALSE(ctl->Status().hasImageClient);
  EXPECT_EQ(ctl->HttpClient(), nullptr);
  EXPECT_FALSE(ctl->IsTimerArmed(TIMER_WATCHDOG));
  EXPECT_FALSE(ctl->IsTimerArmed(TIMER_CONTROL));
  ctl->HardwareInfos(5, nullptr);
  ctl->HardwareInfos(1, nullptr);
  Feed(fake::MakeFrame());
  EXPECT_EQ(ctl->Status().terminalNum, 3);
}

TEST_F(ControllerTest, DestroyHttpClientWithdrawsReservationAndIdentification) {
  LinkAndReserve();
  host.scanner.requests.clear();
  ctl->DestroyHttpClient();
  ASSERT_EQ(host.scanner.requests.size(), 2u);
  EXPECT_EQ(host.scanner.requests[0].object, L"lumeq2.res");
  EXPECT_EQ(host.scanner.requests[1].object, L"lumeq2.id");
  EXPECT_EQ(host.scanner.requests[1].body,
            "ready=0\r\nterm=03\r\ncolor=05\r\nmac=00:11:22:33:44:55\r\ntext_coding=\r\ndoc_name=\r\n"
            "pat_name=\r\ntime=000\r\nlevel=0\r\nmode=");
  EXPECT_FALSE(ctl->IsTimerArmed(TIMER_IDENTIFY));
  EXPECT_EQ(ctl->Status().terminalNum, -1);
}

TEST_F(ControllerTest, FullResetSendsNothingAndClearsEverything) {
  settings.batch = 2;
  LinkAndReserve();
  // The parameter sheet's read of the stored image, two in a row.
  ctl->RequestLastImageRead(false);
  ASSERT_TRUE(ctl->Status().readLastImage);
  ASSERT_EQ(ctl->Status().batchReadsLeft, 2);
  host.scanner.requests.clear();
  ctl->HardwareInfos(5, nullptr);
  EXPECT_TRUE(host.scanner.requests.empty());
  EXPECT_TRUE(HasLog(L"HardwareInfos return : Full reset 1."));
  EXPECT_FALSE(ctl->Status().hasStatusListener);
  EXPECT_EQ(ctl->HttpClient(), nullptr);
  EXPECT_FALSE(ctl->Status().hasImageClient);
  EXPECT_FALSE(ctl->Status().reserved || ctl->Status().readLastImage);
  EXPECT_EQ(ctl->Status().batchReadsLeft, 0);
  EXPECT_TRUE(ctl->Status().localIP.empty());
  EXPECT_TRUE(host.timers.empty());
  EXPECT_TRUE(host.Has("PostHardwareInfos 1"));
  EXPECT_EQ(host.liveImageClients, 0);
  EXPECT_EQ(host.liveListeners, 0);
}

TEST_F(ControllerTest, NewCommandLineWithOtherNamesUnreserves) {
  LinkAndReserve();
  host.scanner.requests.clear();
  ctl->OnCommandLineChanged(L"DR SMITH", L"anne-marie");
  EXPECT_TRUE(ctl->Status().reserved);
  EXPECT_TRUE(host.scanner.requests.empty());
  settings.patient = L"Paul";
  ctl->OnCommandLineChanged(L"Dr Smith", L"Anne-Marie");
  EXPECT_FALSE(ctl->Status().reserved);
  EXPECT_EQ(host.scanner.CountContaining("ready=0\r\nterm=03"), 1);
}

TEST_F(ControllerTest, PatternReadUnderTheSuperUserClient) {
  host.scanner.byBody["fpga_read"] = {true, 200, "00af"};
  Link();
  ctl->RequestLastImageRead(true);
  host.scanner.requests.clear();
  host.events.clear();
  ctl->ReservationAction();
  EXPECT_TRUE(HasLog(L"Action réservation en mode pattern."));
  EXPECT_TRUE(HasLog(L"Nouveau client HTTP en SuperUser : OK."));
  EXPECT_TRUE(HasLog(L"SetHTTPPort 80."));
  EXPECT_TRUE(HasLog(L"SuperReserve : 200."));
  EXPECT_TRUE(HasLog(L"SetImageMode IMAGE_MODE_DEBUG : 200."));
  EXPECT_TRUE(HasLog(L"HTTPTestRequest fpga:0080=00000001 : 200 / ."));
  EXPECT_TRUE(HasLog(L"HTTPTestRequest fpga_read : 200 / 00af."));
  EXPECT_TRUE(HasLog(L"GetLastImage : 200."));
  EXPECT_TRUE(host.Has("HttpClient 192.168.1.50 192.168.1.10 3A:52:3A:52:3A:52"));
  std::vector<std::string> bodies;
  for (const auto& r : host.scanner.requests)
    if (r.object == L"lumeq2.prm") bodies.push_back(r.body);
  const std::vector<std::string> expected = {
      "image_mode=debug",   "fpga:0080=00000001", "fpga:00e0=00000002", "fpga:0083=00000dac",
      "fpga:0093=00000001", "fpga:0091=00000af0", "debug_sample=02800", "fpga_read",
      "image_read"};
  EXPECT_EQ(bodies, expected);
  EXPECT_EQ(host.CountEvent("Sleep 3000"), 2);
  EXPECT_TRUE(ctl->Status().patternRead);
  EXPECT_TRUE(ctl->Status().reserved);
  EXPECT_EQ(ctl->Status().terminalNum, 1);
  EXPECT_FALSE(ctl->Status().readLastImage || ctl->Status().patternMode);
  EXPECT_TRUE(host.Has("Listen 3333"));
}

TEST_F(ControllerTest, PatternReadStopsWhenTheSuperReservationIsRefused) {
  Link();
  ctl->RequestLastImageRead(true);
  host.scanner.byFile[L"lumeq2.res"] = {true, 409, ""};
  ctl->ReservationAction();
  EXPECT_TRUE(HasLog(L"Impossbile de continuer."));
  EXPECT_EQ(ctl->HttpClient(), nullptr);
  EXPECT_FALSE(ctl->Status().reserved);
  EXPECT_EQ(host.scanner.Count("image_read"), 0);
}

}  // namespace

namespace {

TEST_F(ControllerTest, StatusControlDropsAReservationOfAnUnseenScannerWithoutARequest) {
  LinkAndReserve();
  // The bound scanner's last frame is still young for the mode query and expires at the
  // control timer's own age-out: the scanner is no longer known.
  const uint32_t expiry = host.tick + kSNDPFrameMaxAgeDefault;
  host.nextTicks = {expiry, expiry};
  host.tick = expiry + 1;
  host.scanner.requests.clear();
  ctl->OnTimer(TIMER_CONTROL);
  EXPECT_TRUE(HasLog(L"Pas de LUMEQ détecté."));
  EXPECT_TRUE(host.scanner.requests.empty());
  EXPECT_FALSE(ctl->Status().reserved);
  EXPECT_EQ(ctl->HttpClient(), nullptr);
  EXPECT_FALSE(ctl->Status().hasImageClient);
  EXPECT_EQ(ctl->Status().terminalColor, 0);
}

}  // namespace

namespace {

TEST_F(ControllerTest, ButtonWhileReservedIsStillRefusedInSettingsOnGuiOrWithAnImageWaiting) {
  struct Row {
    const char* name;
    bool inSettings;
    uint8_t state, waiting;
    const wchar_t* log;
  } rows[] = {
      {"settings", true, SNDP_STATE_RESERVED, 0, L"Action refusée car on est dans le paramétrage."},
      {"gui", false, SNDP_STATE_ON_GUI, 0, L"Action refusée car le LUMEQ est sur GUI."},
      {"image", false, SNDP_STATE_RESERVED, 7, L"Action refusée car on a une image en attente."},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + " " + rows[i].name);
    TearDown();
    lines.clear();
    host = fake::Host();
    settings = fake::Settings();
    SetUp();
    LinkAndReserve();
    SNDPFrame f = fake::MakeFrame();
    f.resaTerminal = 3;
    f.state = rows[i].state;
    f.waitingImageTerminal = rows[i].waiting;
    Feed(f);
    ctl->SetInSettings(rows[i].inSettings);
    host.scanner.requests.clear();
    ctl->ReservationAction();
    EXPECT_TRUE(HasLog(rows[i].log));
    EXPECT_TRUE(ctl->Status().reserved);
    EXPECT_TRUE(host.scanner.requests.empty());
  }
}

}  // namespace
