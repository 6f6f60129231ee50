// Image transfer (message 0x402), the raw-file check with each verdict and log line,
// the acknowledgements, the unreservations that follow them and batch reads.
#include "tests/host/controller/fixture.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

const std::wstring kRawPath = L"C:\\images\\LASTACQP2.BIN";

void PutFile(fake::Host& host, const std::string& bytes) {
  fake::MemoryFile file;
  file.bytes = bytes;
  file.size = bytes.size();
  host.files[kRawPath] = file;
}

void SetWord(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

TEST_F(ControllerTest, SoundTransferIsCheckedReconstructedAndAcknowledged) {
  LinkAndReserve();
  PutFile(host, MakeRawFile(0, 10));
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(10, 5648)};
  host.events.clear();
  host.scanner.requests.clear();

  ctl->OnImageMessage(0x40, kFdAccept);
  EXPECT_TRUE(HasLog(L"Message Image WP : 40 (64) LP : 8 (8)"));
  EXPECT_TRUE(HasLog(L"Message Image FD_ACCEPT."));
  EXPECT_TRUE(host.Has("Accept C:\\images\\LASTACQP2.BIN log"));
  EXPECT_EQ(host.timers[TIMER_WATCHDOG], 10000u);

  host.pending = {56516};
  host.events.clear();
  ctl->OnImageMessage(0x44, kFdRead);
  EXPECT_TRUE(HasLog(L"Number of bytes received : 56516"));
  EXPECT_TRUE(host.Has("KillTimer 1420"));
  EXPECT_TRUE(host.Has("SetTimer 1420 10000"));
  EXPECT_TRUE(ctl->Status().transferInProgress);
  EXPECT_TRUE(ctl->Status().ledReceiving);
  EXPECT_TRUE(host.Has("Repaint"));

  host.pending = {0};
  host.events.clear();
  ctl->OnImageMessage(0x44, kFdClose);
  const std::wstring expected[] = {
      L"Message Image FD_CLOSE.", L"Read pending data.", L"Number of bytes received before close : 0",
      L"Close image socket.", L"Check image.", L"Taille de ligne correcte : 5648.",
      L"Données associées à l'image : 3 0 Dr Smith Anne 10 5648.", L"Taille du fichier bin correcte.",
      L"Analyse rapide des numéros de ligne OK.", L"Reconstruction de l'image.",
      L"Check image terminé - Acquittement de l'image."};
  for (const auto& line : expected) EXPECT_TRUE(HasLog(line)) << fake::Latin1(line);
  EXPECT_TRUE(host.Has("Close"));
  EXPECT_TRUE(host.Has("Reconstruct"));
  EXPECT_EQ(host.scanner.Count("read_ok"), 1);
  EXPECT_EQ(host.scanner.Count("read_nok"), 0);
  EXPECT_EQ(ctl->Frames().MaxAge(), 20000u);
  EXPECT_FALSE(ctl->Status().transferInProgress);
  EXPECT_TRUE(ctl->Status().reserved);  // stays reserved
  EXPECT_FALSE(ctl->IsTimerArmed(TIMER_WATCHDOG));
  EXPECT_FALSE(ctl->Status().readLastImage);
}

TEST_F(ControllerTest, ReconstructionRunsBeforeTheAcknowledgement) {
  LinkAndReserve();
  PutFile(host, MakeRawFile(2, 3));
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(3, 2848)};
  int readOkBefore = -1;
  host.onReconstruct = [&] { readOkBefore = host.scanner.Count("read_ok"); };
  ctl->OnImageMessage(1, kFdAccept);
  ctl->OnImageMessage(1, kFdClose);
  EXPECT_EQ(readOkBefore, 0);
  EXPECT_EQ(host.scanner.Count("read_ok"), 1);
}

struct CheckRow {
  const char* name;
  std::function<void(std::string&)> damage;  // applied to a sound 4-line Mode 0 file
  std::string info;                           // image_info answer
  bool passes;
  std::vector<std::wstring> logs;
  bool asksInfo;
};

TEST_F(ControllerTest, RawCheckVerdicts) {
  Link();
  const std::string sound = ImageInfoAnswer(4, 5648);
  const CheckRow rows[] = {
      {"sound", [](std::string&) {}, sound, true, {L"Analyse rapide des numéros de ligne OK."}, true},
      {"36 bytes", [](std::string& b) { b.resize(36); }, sound, false, {L"Buffer pour l'image invalide."}, false},
      {"35 bytes", [](std::string& b) { b.resize(35); }, sound, false, {L"Buffer pour l'image invalide."}, false},
      {"mode 3", [](std::string& b) { b[4] = 3; }, sound, false, {L"Taille de ligne invalide : 0."}, false},
      {"mode 9", [](std::string& b) { b[4] = 9; }, sound, false, {L"Taille de ligne invalide : 0."}, false},
      {"mode 11", [](std::string& b) { b[4] = 11; }, sound, false, {L"Taille de ligne invalide : 0."}, false},
      {"mode 10", [](std::string& b) { b[4] = 10; }, sound, true, {L"Taille de ligne correcte : 5648."}, true},
      {"mode 1", [](std::string& b) { b[4] = 1; }, sound, true, {L"Taille de ligne correcte : 5648."}, true},
      {"inconsistent", [](std::string&) {}, ImageInfoAnswer(4, 2848), false,
       {L"Taille de ligne inconsitante : 5648 / 2848."}, true},
      {"size 0", [](std::string&) {}, ImageInfoAnswer(4, 0), false,
       {L"Aucun information de taille de fichier.", L"Erreur de contenu de l'image -> Il faut faire un retrieve."},
       true},
      {"count 0", [](std::string&) {}, ImageInfoAnswer(0, 5648), false,
       {L"Aucun information de taille de fichier."}, true},
      {"no description", [](std::string&) {}, "", false,
       {L"Données associées à l'image : 0 0   0 0.", L"Aucun information de taille de fichier."}, true},
      {"one byte more", [](std::string& b) { b.push_back('\0'); }, sound, false,
       {L"Taille de fichier innatendue : 22629 - 22628.",
        L"Erreur de contenu de l'image -> Il faut faire un retrieve."},
       true},
      {"more lines reported", [](std::string&) {}, ImageInfoAnswer(5, 5648), false,
       {L"Taille de fichier innatendue : 22628 - 28276."}, true},
      {"first line", [](std::string& b) { SetWord(b, 36 + 5648 - 32, 0x0000); }, sound, false,
       {L"Taille du fichier bin correcte.", L"Numéro de ligne innatendu : 0 - 65535.",
        L"Erreur de contenu de l'image -> Il faut faire un retrieve."},
       true},
      {"third line", [](std::string& b) { SetWord(b, 36 + 3 * 5648 - 32, 77); }, sound, false,
       {L"Numéro de ligne innatendu : 77 - 1."}, true},
      {"line number", [](std::string& b) { SetWord(b, 36 + 2 * 5648, 9); }, sound, false,
       {L"Numéro de ligne innatendu : 2 - 9."}, true},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + " " + rows[i].name);
    lines.clear();
    host.scanner.requests.clear();
    std::string bytes = MakeRawFile(0, 4);
    rows[i].damage(bytes);
    PutFile(host, bytes);
    host.scanner.byBody["image_info"] = {true, rows[i].info.empty() ? 500u : 200u, rows[i].info};
    EXPECT_EQ(ctl->CheckRawImage(), rows[i].passes);
    EXPECT_TRUE(HasLog(L"Check image."));
    for (const auto& line : rows[i].logs) EXPECT_TRUE(HasLog(line)) << fake::Latin1(line);
    EXPECT_EQ(host.scanner.Count("image_info"), rows[i].asksInfo ? 1 : 0);
  }
}

TEST_F(ControllerTest, MissingRawFileFails) {
  Link();
  EXPECT_FALSE(ctl->CheckRawImage());
  EXPECT_TRUE(HasLog(L"Handle de fichier image invalide."));
}

TEST_F(ControllerTest, FilesOf30MiBAndMoreAreNotChecked) {
  Link();
  const uint64_t sizes[] = {31457280ull, 40000000ull, 0x100000024ull};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    fake::MemoryFile big;
    big.size = sizes[i];  // never read
    host.files[kRawPath] = big;
    lines.clear();
    host.scanner.requests.clear();
    EXPECT_TRUE(ctl->CheckRawImage());
    EXPECT_TRUE(HasLog(L"Taille du .bin > 30Mo. On ne check pas l'image."));
    EXPECT_EQ(host.scanner.Count("image_info"), 0);
  }
}

TEST_F(ControllerTest, UnreadableRawFileFails) {
  Link();
  fake::MemoryFile file;
  file.bytes = MakeRawFile(0, 4);
  file.size = file.bytes.size();
  file.readFails = true;
  host.files[kRawPath] = file;
  EXPECT_FALSE(ctl->CheckRawImage());
  EXPECT_EQ(host.scanner.Count("image_info"), 0);
}

TEST_F(ControllerTest, RawCheckOnRealBytesFromDisk) {
  Link();
  char folder[] = "/tmp/orvaq-controller-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  host.realFolder = folder;
  const std::string path = std::string(folder) + "/LASTACQP2.BIN";
  std::string bytes = MakeRawFile(2, 200);
  {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(200, 2848)};
  EXPECT_TRUE(ctl->CheckRawImage());
  SetWord(bytes, 36 + 150 * 2848 - 32, 1234);
  {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  lines.clear();
  EXPECT_FALSE(ctl->CheckRawImage());
  EXPECT_TRUE(HasLog(L"Numéro de ligne innatendu : 1234 - 148."));
  std::remove(path.c_str());
  rmdir(folder);
}

TEST_F(ControllerTest, FailedCheckIsRefusedAndTheImageStaysOnTheScanner) {
  LinkAndReserve();
  PutFile(host, std::string(36, '\0'));
  host.scanner.byBody["read_nok"] = {true, 200, ""};
  ctl->OnImageMessage(1, kFdAccept);
  ctl->OnImageMessage(1, kFdClose);
  EXPECT_TRUE(HasLog(L"Trasmission de l'image impossible !"));
  EXPECT_EQ(host.scanner.Count("read_nok"), 1);
  EXPECT_EQ(host.scanner.Count("read_ok"), 0);
  EXPECT_FALSE(host.Has("Reconstruct"));
  EXPECT_FALSE(HasLog(L"Déréservation suite à l'échec du transfert de l'image et du NonAck."));
  EXPECT_TRUE(ctl->Status().reserved);
}

TEST_F(ControllerTest, UnansweredRefusalUnreserves) {
  LinkAndReserve();
  PutFile(host, std::string(36, '\0'));
  host.scanner.byBody["read_nok"] = {true, 500, ""};
  host.scanner.requests.clear();
  ctl->OnImageMessage(1, kFdAccept);
  ctl->OnImageMessage(1, kFdClose);
  EXPECT_TRUE(HasLog(L"Déréservation suite à l'échec du transfert de l'image et du NonAck."));
  EXPECT_FALSE(ctl->Status().reserved);
  EXPECT_EQ(host.scanner.CountContaining("ready=0\r\nterm=03"), 1);
}

TEST_F(ControllerTest, ConnectionNotAcceptedIntoAFreshFileIsNeverAcknowledged) {
  LinkAndReserve();
  PutFile(host, MakeRawFile(0, 2));  // an earlier image still on disk
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(2, 5648)};
  host.acceptSucceeds = false;
  ctl->OnImageMessage(1, kFdAccept);
  ctl->OnImageMessage(1, kFdClose);
  EXPECT_EQ(host.scanner.Count("read_ok"), 0);
  EXPECT_EQ(host.scanner.Count("read_nok"), 1);
  EXPECT_FALSE(host.Has("Reconstruct"));
  EXPECT_TRUE(HasLog(L"Trasmission de l'image impossible !"));
  // A close without any accept is no better.
  host.acceptSucceeds = true;
  ctl->OnImageMessage(1, kFdClose);
  EXPECT_EQ(host.scanner.Count("read_ok"), 0);
  // The next connection accepted properly is checked again.
  ctl->OnImageMessage(1, kFdAccept);
  ctl->OnImageMessage(1, kFdClose);
  EXPECT_EQ(host.scanner.Count("read_ok"), 1);
}

TEST_F(ControllerTest, StaleEventsAndSecondConnectionsNeverTouchTheTransferUnderWay) {
  LinkAndReserve();
  PutFile(host, MakeRawFile(0, 10));
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(10, 5648)};
  ctl->OnImageMessage(0x40, kFdAccept);
  host.pending = {4096};
  ctl->OnImageMessage(0x44, kFdRead);
  host.events.clear();
  // A late close and a late read of an earlier connection, then a second connection.
  host.staleSockets = {0x38};
  ctl->OnImageMessage(0x38, kFdClose);
  ctl->OnImageMessage(0x38, kFdRead);
  ctl->OnImageMessage(0x40, kFdAccept);
  EXPECT_TRUE(HasLog(L"Message Image d'un socket fermé ignoré."));
  EXPECT_TRUE(HasLog(L"FD_READ après le close!!!"));
  EXPECT_TRUE(HasLog(L"Connexion image supplémentaire refusée."));
  EXPECT_EQ(host.events, std::vector<std::string>{"Refuse"});  // no close, no new file, watchdog kept
  EXPECT_EQ(host.timers[TIMER_WATCHDOG], 10000u);
  EXPECT_TRUE(ctl->Status().transferInProgress);
  EXPECT_EQ(host.scanner.Count("read_nok"), 0);
  // The transfer ends as it would have without them.
  host.pending = {0};
  ctl->OnImageMessage(0x44, kFdClose);
  EXPECT_EQ(host.scanner.Count("read_ok"), 1);
}

TEST_F(ControllerTest, OnlyTheScannerItsFramesComeFromMayConnect) {
  struct Row {
    const char* name;
    uint32_t framesFrom;  // the datagrams' source (0: unknown to the listener)
    uint32_t peer;
    uint32_t ageMs;  // time since the newest frame at the connection
    bool accepted;
  };
  const Row rows[] = {
      {"the scanner", 0xC0A80132, 0xC0A80132, 0, true},
      {"another host", 0xC0A80132, 0xC0A8014D, 0, false},
      {"the frames' own claim is not enough", 0xC0A8013C, 0xC0A80132, 0, false},
      {"unknown source: the frame's address", 0, 0xC0A80132, 0, true},
      {"no current frame of the scanner", 0xC0A80132, 0xC0A80132, 8000, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TearDown();
    host = fake::Host();
    SetUp();
    host.datagramSource = row.framesFrom;
    host.connectionPeer = row.peer;
    LinkAndReserve();
    ClearRecords();
    host.tick += row.ageMs;
    ctl->OnImageMessage(0x40, kFdAccept);
    const std::wstring refusal = L"Connexion image refusée de " + FormatIPv4(row.peer) + L" : ce n'est pas le scanner.";
    EXPECT_EQ(HasLog(refusal), !row.accepted);
    EXPECT_EQ(host.Has("Accept C:\\images\\LASTACQP2.BIN log"), row.accepted);
    EXPECT_EQ(host.Has("CloseHeld"), !row.accepted);
    EXPECT_EQ(ctl->IsTimerArmed(TIMER_WATCHDOG), row.accepted);
    EXPECT_TRUE(ctl->Status().reserved);
    EXPECT_TRUE(ctl->Status().hasImageClient);
    EXPECT_EQ(host.scanner.requests.size(), 0u);  // nothing said to the scanner
  }
}

TEST_F(ControllerTest, TheScannersPlateFollowingARefusedHostIsReceived) {
  LinkAndReserve();
  PutFile(host, MakeRawFile(0, 10));
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(10, 5648)};
  host.connectionPeer = 0x0A000063;  // 10.0.0.99
  ctl->OnImageMessage(0x40, kFdAccept);
  ASSERT_TRUE(HasLog(L"Connexion image refusée de 10.0.0.99 : ce n'est pas le scanner."));
  host.connectionPeer = 0xC0A80132;
  ctl->OnImageMessage(0x40, kFdAccept);
  host.pending = {0};
  ctl->OnImageMessage(0x40, kFdClose);
  EXPECT_EQ(host.CountEvent("Reconstruct"), 1);
  EXPECT_EQ(host.scanner.Count("read_ok"), 1);
  EXPECT_EQ(host.scanner.Count("read_nok"), 0);
}

TEST_F(ControllerTest, ReadAfterCloseChangesNothing) {
  LinkAndReserve();
  host.pending = {-1};
  host.events.clear();
  ctl->OnImageMessage(1, kFdRead);
  EXPECT_TRUE(HasLog(L"FD_READ après le close!!!"));
  EXPECT_FALSE(host.Has("SetTimer 1420 10000"));
  EXPECT_FALSE(ctl->Status().transferInProgress);
}

TEST_F(ControllerTest, SocketErrorIsLoggedAndTheEventStillHandled) {
  LinkAndReserve();
  ctl->OnImageMessage(1, (10053u << 16) | kFdAccept);
  EXPECT_TRUE(HasLog(L"Erreur dans la réception de l'image : 10053"));
  EXPECT_TRUE(HasLog(L"Message Image FD_ACCEPT."));
}

TEST_F(ControllerTest, ImageMessageWithoutListenerDropsTheBinding) {
  Link();
  host.events.clear();
  ctl->OnImageMessage(1, kFdRead);
  EXPECT_TRUE(HasLog(L"Pas d'écouteur TCP dans le message Image -> Reset complet."));
  EXPECT_TRUE(ctl->Status().scannerSerial.empty());
  EXPECT_EQ(ctl->Status().terminalNum, -1);
  EXPECT_EQ(ctl->Status().terminalColor, 0);
  EXPECT_EQ(ctl->HttpClient(), nullptr);
  EXPECT_TRUE(ctl->Status().ledError);
  EXPECT_FALSE(ctl->Status().ledReady);
  EXPECT_TRUE(host.Has("Repaint"));
}

TEST_F(ControllerTest, StoredImageReadUnreservesWithTheSuperUserWithdrawal) {
  LinkAndReserve();
  // The last-image timer's read accepted by the scanner: the image comes from its memory.
  ctl->OnTimer(TIMER_LAST_IMAGE);
  ASSERT_TRUE(ctl->Status().imageInMemoryRead);
  PutFile(host, MakeRawFile(0, 2));
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(2, 5648)};
  host.scanner.requests.clear();
  ctl->OnImageMessage(1, kFdAccept);
  ctl->OnImageMessage(1, kFdClose);
  EXPECT_TRUE(HasLog(L"Déréservation aprés acquisition car lecture d'une image en mémoire."));
  EXPECT_FALSE(ctl->Status().reserved);
  EXPECT_EQ(host.scanner.CountContaining("ready=0\r\nterm=11\r\ncolor=11\r\nmac=3A:52:3A:52:3A:52"), 1);
}

TEST_F(ControllerTest, ReadOkRestartsTheLogWithLoggerType2) {
  LinkAndReserve();
  settings.loggerType = 2;
  PutFile(host, MakeRawFile(0, 2));
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(2, 5648)};
  ctl->OnImageMessage(1, kFdAccept);
  ctl->OnImageMessage(1, kFdClose);
  EXPECT_TRUE(host.Has("RestartLogFile"));
  // The restart writes its own line into the new file; written here too it came twice.
  EXPECT_FALSE(HasLog(L"Reset du log suite à un read_ok."));
}

TEST_F(ControllerTest, BatchOfThreeLastImageReads) {
  settings.batch = 3;
  Link();
  PutFile(host, MakeRawFile(0, 3));
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(3, 5648)};
  ctl->RequestLastImageRead(false);
  EXPECT_EQ(ctl->Status().batchReadsLeft, 3);
  for (int read = 1; read <= 3; ++read) {
    SCOPED_TRACE("read " + std::to_string(read));
    host.events.clear();
    ctl->OnTimer(TIMER_CONTROL);
    ASSERT_TRUE(host.Has("PostCommand 1008"));
    ctl->ReservationAction();
    ASSERT_TRUE(ctl->Status().reserved);
    ASSERT_EQ(host.timers[TIMER_LAST_IMAGE], 1000u);
    ctl->OnTimer(TIMER_LAST_IMAGE);
    ASSERT_TRUE(ctl->Status().imageInMemoryRead);
    ctl->OnImageMessage(1, kFdAccept);
    host.pending = {100, 0};
    ctl->OnImageMessage(1, kFdRead);
    ctl->OnImageMessage(1, kFdClose);
    EXPECT_FALSE(ctl->Status().reserved);
    EXPECT_EQ(ctl->Status().batchReadsLeft, 3 - read);
    EXPECT_EQ(ctl->Status().readLastImage, read < 3);
  }
  host.events.clear();
  ctl->OnTimer(TIMER_CONTROL);
  EXPECT_FALSE(host.Has("PostCommand 1008"));
  EXPECT_EQ(host.scanner.CountContaining("ready=1\r\nterm=11\r\ncolor=11\r\nmac=3A:52:3A:52:3A:52"), 3);
  EXPECT_EQ(host.scanner.CountContaining("level=2\r\nmode=sd"), 3);
  EXPECT_EQ(host.scanner.Count("image_read"), 3);
  EXPECT_EQ(host.scanner.Count("read_ok"), 3);
  EXPECT_EQ(host.scanner.CountContaining("ready=0\r\nterm=11"), 3);
}

TEST_F(ControllerTest, PatternBatchContinuesInPatternMode) {
  settings.batch = 2;
  Link();
  PutFile(host, MakeRawFile(0, 3));
  host.scanner.byBody["image_info"] = {true, 200, ImageInfoAnswer(3, 5648)};
  ctl->RequestLastImageRead(true);
  ctl->ReservationAction();
  ASSERT_TRUE(ctl->Status().patternRead);
  EXPECT_EQ(host.scanner.Count("fpga:0080=00000001"), 1);
  ctl->OnImageMessage(1, kFdAccept);
  ctl->OnImageMessage(1, kFdClose);
  EXPECT_TRUE(HasLog(L"Déréservation aprés acquisition car lecture d'une pattern."));
  EXPECT_FALSE(ctl->Status().reserved);
  EXPECT_TRUE(ctl->Status().readLastImage);
  EXPECT_TRUE(ctl->Status().patternMode);
  // The second read of the batch skips the fpga set-up.
  ctl->ReservationAction();
  EXPECT_EQ(host.scanner.Count("fpga:0080=00000001"), 1);
  EXPECT_EQ(host.scanner.Count("debug_sample=02800"), 2);
}

}  // namespace
