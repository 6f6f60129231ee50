// Plates kept until their outputs exist: the record as text, the start-up decision, the
// pipeline keeping and dropping a plate, and its recovery for the patient it was
// recorded for while the program runs for another one.
#include <gtest/gtest.h>

#include <algorithm>

#include "acquisition/PendingPlate.h"
#include "acquisition/Reconstruction.h"
#include "tests/host/reconstruction/recon_fakes.h"
#include "tests/support/memory_logger.h"

using namespace rfake;
using namespace orvaq::recon;

namespace {

TEST(PendingPlateRecord, RoundTripKeepsEveryField) {
  PendingPlate p;
  p.doctor = L"Dr Bl\u00E9nc";
  p.patient = L"Anne\r\nMartin";  // a line break never ends a value early
  p.patientId = L"1234";
  p.imagesFolder = L"C:\\Images\\Cabinet";
  p.time = L"2026-12-08 09:30:00";
  p.imaging = true;
  p.rawName = L"20261208-093000-0001869F.BIN";
  p.handover = L"C:\\Images\\LAST1.NFOT";
  p.tries = 2;
  PendingPlate back;
  ASSERT_TRUE(ParsePendingPlate(ComposePendingPlate(p), back));
  EXPECT_EQ(back.doctor, p.doctor);
  EXPECT_EQ(back.patient, L"Anne  Martin");
  EXPECT_EQ(back.patientId, p.patientId);
  EXPECT_EQ(back.imagesFolder, p.imagesFolder);
  EXPECT_EQ(back.time, p.time);
  EXPECT_TRUE(back.imaging);
  EXPECT_EQ(back.rawName, p.rawName);
  EXPECT_EQ(back.handover, p.handover);
  EXPECT_EQ(back.tries, 2);
  EXPECT_EQ(PendingPlateBaseName(p.time, 0x1869F, 0), L"20261208-093000-0001869F");
  EXPECT_EQ(PendingPlateBaseName(p.time, 0x1869F, 1), L"20261208-093000-000186A0");
}

TEST(PendingPlateRecord, IncompleteRecordsAreRefused) {
  const std::string good = "[PLAQUE]\r\nImages=C:\\I\r\nRaw=A.BIN\r\n";
  const struct {
    std::string text;
    bool ok;
  } rows[] = {
      {good, true},
      {"Images=C:\\I\r\nRaw=A.BIN\r\n", false},        // no header
      {"[PLAQUE]\r\nRaw=A.BIN\r\n", false},            // no images folder
      {"[PLAQUE]\r\nImages=C:\\I\r\n", false},         // no raw file
      {"[PLAQUE]\r\nImages=C:\\I\r\nRaw=..\\x.BIN\r\n", false},  // never outside its folder
      {good + "Tries=x\r\n", false},
      {"", false},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    PendingPlate p;
    EXPECT_EQ(ParsePendingPlate(rows[i].text, p), rows[i].ok) << "row " << i;
  }
}

TEST(PendingPlateRecord, StartUpDecision) {
  PendingPlate plain, handed, worn;
  handed.handover = L"C:\\I\\LAST1.NFOT";
  worn.tries = kMaxRecoveryTries;
  const struct {
    bool parsed;
    const PendingPlate* plate;
    bool handoverPending, rawReadable;
    RecoveryAction action;
  } rows[] = {
      {false, &plain, false, true, RecoveryAction::kUnreadable},
      {true, &handed, false, true, RecoveryAction::kDone},
      {true, &handed, true, true, RecoveryAction::kRebuild},
      {true, &worn, false, true, RecoveryAction::kGiveUp},
      {true, &plain, false, false, RecoveryAction::kRawMissing},
      {true, &plain, false, true, RecoveryAction::kRebuild},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(DecideRecovery(rows[i].parsed, *rows[i].plate, rows[i].handoverPending, rows[i].rawReadable),
              rows[i].action)
        << "row " << i;
}

std::string Raw(size_t lines) {
  std::string raw(36 + lines * 5648, '\0');
  raw[0] = 0x42;
  raw[1] = 0x31;
  return raw;
}

struct Progress : CNoReconProgress {
  bool storedImage = false;
  bool ReadingStoredImage() override { return storedImage; }
};

class PendingPlatesTest : public ::testing::Test {
 protected:
  TempFolder images, otherImages, pending, program;
  Env env;
  Pictures pictures;
  Settings settings;
  Loader loader;
  CNoMultiPlate multi;
  Progress progress;
  std::unique_ptr<CReconstruction> recon;
  std::vector<std::string> lines;

  void SetUp() override {
    ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines));
    Lib() = Library();
    settings.images = images.Folder();
    settings.pending = pending.Folder();
    env.programFolder = program.Folder();
    recon.reset(new CReconstruction(progress, settings, env, env, pictures, loader, multi));
  }
  void TearDown() override {
    recon.reset();
    ReplaceCurrentLogger(nullptr);
  }
  bool Logged(const std::string& prefix) const {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }
  size_t CountEnding(const TempFolder& folder, const std::string& ext) {
    const auto names = folder.Names();
    return size_t(std::count_if(names.begin(), names.end(), [&](const std::string& n) {
      return n.size() > ext.size() && n.compare(n.size() - ext.size(), ext.size(), ext) == 0;
    }));
  }
  // A plate kept by an earlier run for Paul Durand (id 77) in `otherImages`.
  void KeptEarlier(const std::string& extra = "", bool withRaw = true) {
    WriteFile(pending.Folder() + L"P1.PLQ", "[PLAQUE]\r\nDoctor=Dr Noir\r\nPatient=Paul Durand\r\nPatientID=77\r\nImages=" +
                                                 orvaq::ToUtf8(otherImages.Folder()) +
                                                 "\r\nTime=2026-12-07 18:00:00\r\nRaw=P1.BIN\r\n" + extra);
    if (withRaw) WriteFile(pending.Folder() + L"P1.BIN", Raw(400));
  }
};

TEST_F(PendingPlatesTest, KeptBeforeTheWorkAndDroppedOnceTheOutputsExist) {
  WriteFile(images.Folder() + L"LASTACQP2.BIN", Raw(400));
  int recordsDuringTheWork = -1;
  Lib().onCorrection = [&] { recordsDuringTheWork = int(CountEnding(pending, ".PLQ")); };
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_EQ(recordsDuringTheWork, 1);
  EXPECT_EQ(CountEnding(pending, ".PLQ") + CountEnding(pending, ".BIN"), 0u);
  EXPECT_TRUE(Logged("Plaque conserv\xE9" "e jusqu'\xE0 l'\xE9" "criture de ses fichiers : "));
  EXPECT_TRUE(Logged("Fichiers de la plaque \xE9" "crits : enregistrement supprim\xE9"));
  // The raw copy is flushed, and the record is renamed from its complete temporary name.
  EXPECT_TRUE(std::any_of(env.events.begin(), env.events.end(),
                          [](const std::string& e) { return e.rfind("Flush 20261208-093000-", 0) == 0; }));
  EXPECT_TRUE(std::any_of(env.events.begin(), env.events.end(),
                          [](const std::string& e) { return e.rfind("Write 20261208-093000-", 0) == 0 && e.find(".PLQT") != std::string::npos; }));
}

TEST_F(PendingPlatesTest, AFailedReconstructionKeepsTheRecordAndItsRaw) {
  WriteFile(images.Folder() + L"LASTACQP2.BIN", Raw(400));
  Lib().throws = true;
  EXPECT_FALSE(recon->ReconstructAcquisition());
  EXPECT_EQ(CountEnding(pending, ".PLQ"), 1u);
  EXPECT_EQ(CountEnding(pending, ".BIN"), 1u);
  PendingPlate p;
  const auto names = pending.Names();
  const auto record = std::find_if(names.begin(), names.end(), [](const std::string& n) { return n.find(".PLQ") != std::string::npos; });
  ASSERT_TRUE(ParsePendingPlate(ReadFile(pending.Folder() + W(*record)), p));
  EXPECT_EQ(p.patient, L"Anne Martin");
  EXPECT_EQ(p.patientId, L"1234");
  EXPECT_EQ(p.doctor, L"Dr Blanc");
  EXPECT_EQ(p.imagesFolder, images.Folder());
  EXPECT_EQ(p.time, L"2026-12-08 09:30:00");
  EXPECT_EQ(ReadFile(pending.Folder() + p.rawName), Raw(400));
}

TEST_F(PendingPlatesTest, AHandOverIsRecordedWithItsInformationFile) {
  WriteFile(program.Folder() + L"OrvaqRbld2.exe", "MZ");
  WriteFile(images.Folder() + L"LASTACQP2.BIN", Raw(400));
  ASSERT_TRUE(recon->ReconstructAcquisition());
  const auto names = pending.Names();
  const auto record = std::find_if(names.begin(), names.end(), [](const std::string& n) { return n.find(".PLQ") != std::string::npos; });
  ASSERT_NE(record, names.end());
  PendingPlate p;
  ASSERT_TRUE(ParsePendingPlate(ReadFile(pending.Folder() + W(*record)), p));
  EXPECT_FALSE(p.handover.empty());
  EXPECT_TRUE(Exists(p.handover));
}

TEST_F(PendingPlatesTest, RecoveredForThePatientOfItsRecordNotTheCurrentOne) {
  KeptEarlier();
  EXPECT_EQ(recon->RecoverPendingPlates(), 1);
  // Paul Durand's plate, in his folder; nothing for the current patient Anne Martin.
  EXPECT_TRUE(Exists(otherImages.Folder() + L"77_LastBmpLUM2_001.NFO"));
  EXPECT_EQ(ReadFile(otherImages.Folder() + L"77_LastBmpLUM2_001.RAW"), Raw(400));
  const std::string nfo = ReadFile(otherImages.Folder() + L"77_LastBmpLUM2_001.NFO");
  const std::wstring text = orvaq::FromUtf16Le(reinterpret_cast<const uint8_t*>(nfo.data()) + 2, nfo.size() - 2);
  EXPECT_NE(text.find(L"[PATIENT]\r\nName=Paul Durand\r\nID=77\r\n[DOCTOR]\r\nName=Dr Noir\r\n"), std::wstring::npos);
  EXPECT_EQ(CountEnding(images, ".NFO"), 0u);
  EXPECT_EQ(CountEnding(pending, ".PLQ") + CountEnding(pending, ".BIN"), 0u);
  EXPECT_TRUE(Logged("Plaques acquitt\xE9" "es en attente de leurs fichiers : 1."));
  EXPECT_TRUE(Logged("Reprise d'une plaque acquitt\xE9" "e du 2026-12-07 18:00:00 pour Paul Durand (77 - Dr Noir)"));
  EXPECT_TRUE(Logged("Plaque reprise pour Paul Durand."));
  EXPECT_EQ(pictures.thumbWidth, 0) << "no thumbnail without a window";
}

TEST_F(PendingPlatesTest, PlatesThatCannotBeRecoveredStayWithALogLine) {
  const struct {
    const char* name;
    std::string extra;
    bool withRaw;
    bool libraryThrows;
    const char* line;
    int triesAfter;  // -1: record not readable
  } rows[] = {
      {"unreadable raw", "", false, false, "Image brute de la plaque illisible, enregistrement conserv\xE9", 0},
      {"tried too often", "Tries=3\r\n", true, false, "Plaque abandonn\xE9" "e apr\xE8s 3 reprises, conserv\xE9" "e", 3},
      {"library fails", "", true, true, "Reprise de la plaque impossible, conserv\xE9" "e", 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    lines.clear();
    Lib() = Library();
    Lib().throws = row.libraryThrows;
    KeptEarlier(row.extra, row.withRaw);
    EXPECT_EQ(recon->RecoverPendingPlates(), 0);
    EXPECT_TRUE(Logged(row.line));
    PendingPlate p;
    ASSERT_TRUE(ParsePendingPlate(ReadFile(pending.Folder() + L"P1.PLQ"), p));
    EXPECT_EQ(p.tries, row.triesAfter);
    EXPECT_EQ(Exists(pending.Folder() + L"P1.BIN"), row.withRaw);
    EXPECT_EQ(CountEnding(otherImages, ".NFO"), 0u);
    fs::remove(N(pending.Folder() + L"P1.PLQ"));
    fs::remove(N(pending.Folder() + L"P1.BIN"));
  }
  WriteFile(pending.Folder() + L"P2.PLQ", "not a record");
  EXPECT_EQ(recon->RecoverPendingPlates(), 0);
  EXPECT_TRUE(Logged("Enregistrement de plaque illisible, conserv\xE9 : "));
  EXPECT_TRUE(Exists(pending.Folder() + L"P2.PLQ"));
}

TEST_F(PendingPlatesTest, AFinishedHandOverIsOnlyRemoved) {
  KeptEarlier("Handover=" + orvaq::ToUtf8(otherImages.Folder()) + "LAST1.NFOT\r\n");
  EXPECT_EQ(recon->RecoverPendingPlates(), 1);
  EXPECT_TRUE(Logged("Plaque termin\xE9" "e par le rebuild externe : P1.PLQ"));
  EXPECT_EQ(CountEnding(pending, ".PLQ") + CountEnding(pending, ".BIN"), 0u);
  EXPECT_EQ(CountEnding(otherImages, ".NFO"), 0u) << "the rebuild wrote them, not this run";
}

// The process stopped after the outputs existed (written at once or by the recovery) but
// before the scanner had the acknowledgement: the scanner offers the plate again as its
// stored image, and that read must not deliver it twice.
TEST_F(PendingPlatesTest, TheScannersStoredCopyOfADeliveredPlateIsNotDeliveredAgain) {
  KeptEarlier();
  ASSERT_EQ(recon->RecoverPendingPlates(), 1);
  ASSERT_EQ(CountEnding(pending, ".LIV"), 1u);
  const struct {
    const char* name;
    size_t lines;
    bool storedImage, delivered;
  } rows[] = {
      {"another stored image", 401, true, true},
      {"the stored copy of the recovered plate", 400, true, false},
      {"the stored copy of the plate delivered at once", 401, true, false},
      {"a new scan with the same bytes", 400, false, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const size_t before = CountEnding(images, ".NFO");
    WriteFile(images.Folder() + L"LASTACQP2.BIN", Raw(row.lines));
    progress.storedImage = row.storedImage;
    ASSERT_TRUE(recon->ReconstructAcquisition());
    EXPECT_EQ(CountEnding(images, ".NFO") - before, row.delivered ? 1u : 0u);
    EXPECT_EQ(CountEnding(images, ".BIN"), 0u) << "no raw file left behind";
  }
  EXPECT_TRUE(Logged("Image d\xE9j\xE0 livr\xE9" "e (plaque du 2026-12-07 18:00:00 pour Paul Durand) : "));
  EXPECT_EQ(CountEnding(pending, ".LIV"), 1u) << "the new scan's";
}

}  // namespace
