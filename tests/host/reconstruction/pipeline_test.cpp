// The reconstruction pipeline on a scripted library, disk files in a private folder and
// grey pictures: order of the paths, log lines, files, boxes, beeps, and that no failure
// after the raw file arrived deletes it.
#include <gtest/gtest.h>

#include <algorithm>

#include "acquisition/OrvaqController.h"
#include "acquisition/Reconstruction.h"
#include "tests/host/controller/fake_host.h"
#include "tests/host/reconstruction/recon_fakes.h"
#include "tests/support/memory_logger.h"

using namespace rfake;

namespace {

std::string RawOfMode(int mode, size_t lines) {
  std::string raw(36 + lines * (mode == 2 ? 2848 : 5648), '\0');
  raw[0] = 0x42;
  raw[1] = 0x31;
  raw[4] = char(mode);
  return raw;
}

class PipelineTest : public ::testing::Test {
 protected:
  TempFolder images, program;
  fake::Host host;
  fake::Settings acqSettings;
  std::unique_ptr<COrvaqController> ctl;
  Env env;
  Pictures pictures;
  Settings settings;
  Loader loader;
  CNoMultiPlate multi;
  std::unique_ptr<CReconstruction> recon;
  std::vector<std::string> lines;

  void SetUp() override {
    ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines));
    Lib() = Library();
    ctl.reset(new COrvaqController(host, acqSettings));
    settings.images = images.Folder();
    env.programFolder = program.Folder();
    recon.reset(new CReconstruction(*ctl, settings, env, env, pictures, loader, multi));
    lines.clear();
  }
  void TearDown() override {
    recon.reset();
    ctl.reset();
    ReplaceCurrentLogger(nullptr);
  }

  // The controller bound, reserved and receiving an image: its receiving lamp is on.
  void Receiving() {
    ctl->HardwareInfos(kHardwareAdapterCheck, nullptr);
    host.datagrams.push_back(fake::Encode(fake::MakeFrame()));
    ctl->OnSNDPFrame();
    ctl->ReservationAction();
    ctl->OnImageMessage(1, kFdAccept);
    ctl->OnImageMessage(1, kFdRead);
    ASSERT_TRUE(ctl->Status().ledReceiving);
    lines.clear();
  }

  std::wstring In(const std::string& name) { return images.Folder() + W(name); }
  void Arrive(int mode = 0, size_t lines_ = 400) { WriteFile(In("LASTACQP2.BIN"), RawOfMode(mode, lines_)); }
  bool Logged(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
  size_t LogIndex(const std::string& line) const {
    return size_t(std::find(lines.begin(), lines.end(), line) - lines.begin());
  }
  std::wstring NfoText(const std::string& name) {
    const std::string bytes = ReadFile(In(name));
    if (bytes.size() < 2) return L"";
    return orvaq::FromUtf16Le(reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2);
  }
  bool RawKeptSomewhere() {
    for (const auto& n : images.Names())
      if (n.rfind("LAST", 0) == 0 && n.size() > 4 && n.find(".tmp") != std::string::npos &&
          ReadFile(In(n)).size() > 36)
        return true;
    return false;
  }
};

}  // namespace

TEST_F(PipelineTest, ClassicRebuildWritesEveryFile) {
  Arrive();
  Receiving();
  ASSERT_TRUE(recon->ReconstructAcquisition());

  EXPECT_EQ(images.Names(), (std::vector<std::string>{"1234_LastBmpLUM2_001.NFO", "1234_LastBmpLUM2_001.RAW",
                                                        "1234_LastBmpLUM2_001.bmp", "LASTACQP2.BIN.bmp",
                                                        "LASTACQP2.RAW"}));
  EXPECT_EQ(ReadFile(In("1234_LastBmpLUM2_001.RAW")), RawOfMode(0, 400));
  EXPECT_EQ(ctl->Status().tickReservation, 5000u);
  EXPECT_FALSE(ctl->Status().ledReceiving);
  EXPECT_EQ(host.timers[TIMER_THUMBNAIL], 2500u);
  EXPECT_EQ(pictures.thumbX, 500);
  EXPECT_EQ(pictures.thumbY, 650);
  EXPECT_EQ(pictures.thumbWidth, 400);
  EXPECT_EQ(Lib().capacity, size_t(5600) * 800);
  EXPECT_EQ(Lib().lastParams.ImageCode, 0) << "the Mode goes in";
  EXPECT_TRUE(env.Has("Beep 4294967295"));

  const std::vector<std::string> expected = {
      "Finalisation de l'acquisition d'une image.",
      "Rebuild Externe.",
      "Rebuild Externe impossible.",
      "Rebuild Classique.",
      "Chargement de la dll RXFilter.",
      "Recherche des fonctions de la dll RXFilter.",
      "Check resolution.",
      "R\xE9solution de l'image : 40.00 pixels/mm.",
      "Reconstruction de l'image en une seule passe.",
      "Enregistrement de l'image BIN en RAW.",
      "Pr\xE9paration de l'image BMP W 880 H 1400.",
      "Affichage d'une vignette \xE0 l'\xE9" "cran",
      "Ajout d'un marqueur sur l'image",
      "Enregistrement du BMP final : " + images.path + "/1234_LastBmpLUM2_001.bmp",
      "Enregistrement du fichier d'information.",
      "Beep de fin de l'acquisition.",
  };
  EXPECT_EQ(lines, expected);

  const std::wstring nfo = NfoText("1234_LastBmpLUM2_001.NFO");
  EXPECT_NE(nfo.find(L"[SENSOR]\r\nType=LUMEQ2\r\nSize=0\r\nSerial=LQ2-000123\r\nInside=no\r\n"), std::wstring::npos);
  EXPECT_NE(nfo.find(L"[ACQUISITION]\r\nWidth=880\r\nHeight=1400\r\nFile8=" + images.Folder() +
                     L"1234_LastBmpLUM2_001.bmp\r\nFile16=" + images.Folder() +
                     L"1234_LastBmpLUM2_001.RAW\r\nResolution=HD\r\nPixelWidth=25.00\r\nPixelHeight=25.00\r\nMire=0\r\n"),
            std::wstring::npos)
      << orvaq::ToUtf8(nfo);
  // The information file appears by a rename of its complete ".NFOT".
  const auto write = std::find(env.events.begin(), env.events.end(), "Write 1234_LastBmpLUM2_001.NFOT");
  ASSERT_NE(write, env.events.end());
  EXPECT_EQ(*(write + 1), "Move 1234_LastBmpLUM2_001.NFOT 1234_LastBmpLUM2_001.NFO");
}

TEST_F(PipelineTest, SecondAcquisitionTakesTheNextNumber) {
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  settings.patientId.clear();
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  for (const char* n : {"1234_LastBmpLUM2_002.bmp", "1234_LastBmpLUM2_002.RAW", "1234_LastBmpLUM2_002.NFO",
                        "LastBmpLUM2_001.bmp", "LastBmpLUM2_001.RAW", "LastBmpLUM2_001.NFO"})
    EXPECT_TRUE(Exists(In(n))) << n;
}

TEST_F(PipelineTest, SizesTwoAndThreeAreStoredTurned) {
  struct Row { int w, h, size; bool turned; };
  const Row rows[] = {{1240, 1640, 2, true}, {1080, 2160, 3, true}, {880, 1400, 0, false}, {960, 1600, 1, false}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Lib().width = rows[i].w;
    Lib().height = rows[i].h;
    pictures.calls.clear();
    Arrive();
    ASSERT_TRUE(recon->ReconstructAcquisition()) << "row " << i;
    wchar_t name[64];
    swprintf(name, 64, L"1234_LastBmpLUM2_%03d.NFO", int(i + 1));
    const std::wstring nfo = NfoText(N(name));
    const int w = rows[i].turned ? rows[i].h : rows[i].w, h = rows[i].turned ? rows[i].w : rows[i].h;
    EXPECT_NE(nfo.find(L"Size=" + std::to_wstring(rows[i].size) + L"\r\n"), std::wstring::npos) << "row " << i;
    EXPECT_NE(nfo.find(L"Width=" + std::to_wstring(w) + L"\r\nHeight=" + std::to_wstring(h) + L"\r\n"),
              std::wstring::npos)
        << "row " << i;
    EXPECT_EQ(std::count(pictures.calls.begin(), pictures.calls.end(), "Rotate90"), rows[i].turned ? 1 : 0)
        << "row " << i;
    // The thumbnail is shown before the turn.
    EXPECT_EQ(pictures.calls[1], "Thumbnail " + std::to_string(rows[i].w) + "x" + std::to_string(rows[i].h))
        << "row " << i;
  }
}

TEST_F(PipelineTest, ModeImageCodeAndMarker) {
  struct Row { int mode; uint16_t code; int ppm; const char* mark; const wchar_t* nfo; };
  const Row rows[] = {
      {2, 2, 30000, "MARK_SENSOR_20", L"Type=LUMEQ2\r\n"},
      {0, 112, 77600, "MARK_SENSOR_40", L"Type=LUMEQ2_1\r\n"},
      {1, 1, 80000, "MARK_SENSOR_40", L"Resolution=40\r\nPixelWidth=12.50\r\n"},
      {7, 1, 160000, "MARK_SENSOR_40", L"Resolution=80\r\nPixelWidth=6.25\r\n"},
      {0, 112, 77600, "MARK_SENSOR_40", L"Resolution=HD\r\nPixelWidth=12.89\r\nPixelHeight=12.89\r\nMire=1\r\n"},
      {2, 10, 58200, "MARK_SENSOR_40", L"Resolution=Fast\r\nPixelWidth=17.18\r\n"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Lib().imageCode = rows[i].code;
    pictures.calls.clear();
    Arrive(rows[i].mode, 400);
    ASSERT_TRUE(recon->ReconstructAcquisition()) << "row " << i;
    EXPECT_EQ(Lib().lastParams.ImageCode, rows[i].mode) << "the Mode goes in, row " << i;
    EXPECT_EQ(pictures.calls[0], "FromGreyRows 880x1400 " + std::to_string(rows[i].ppm)) << "row " << i;
    EXPECT_NE(std::find(pictures.calls.begin(), pictures.calls.end(), std::string("Mark ") + rows[i].mark + " LUMEQ"),
              pictures.calls.end())
        << "row " << i;
    wchar_t name[64];
    swprintf(name, 64, L"1234_LastBmpLUM2_%03d.NFO", int(i + 1));
    EXPECT_NE(NfoText(N(name)).find(rows[i].nfo), std::wstring::npos) << "row " << i;
  }
  EXPECT_EQ(Lib().lastFilter.imageCode, 10);
}

TEST_F(PipelineTest, FilterAndAdjustmentsFromTheSettings) {
  settings.filter = 100;
  settings.filterLevel = 4;
  settings.gamma = -30;
  settings.lum = 10;
  settings.con = -20;
  Lib().imageCode = 112;
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  ASSERT_TRUE(Lib().filterCalled);
  EXPECT_EQ(Lib().lastFilter.iterations, 50);
  EXPECT_DOUBLE_EQ(Lib().lastFilter.strength, 0.22);
  EXPECT_EQ(Lib().lastFilter.strong, 1);
  EXPECT_EQ(Lib().lastFilter.imageCode, 112);
  EXPECT_EQ(Lib().lastImage.width, 880);
  EXPECT_EQ(Lib().lastImage.stride, 880);
  EXPECT_EQ(Lib().lastImage.bitsPerSample, 8);
  EXPECT_EQ(Lib().lastImage.planes, 1);
  EXPECT_TRUE(Logged("Application d'un gamme 80."));
  EXPECT_TRUE(Logged("Application d'une luminosit\xE9 10 et d'un contraste -20."));
  EXPECT_LT(LogIndex("Application d'un gamme 80."), LogIndex("Ajout d'un marqueur sur l'image"));
  const std::wstring nfo = NfoText("1234_LastBmpLUM2_001.NFO");
  EXPECT_NE(nfo.find(L"[FILTER]\r\nGamma=0.80\r\nLuminosity=10\r\nContrast=-20\r\nFilter=100\r\nFilterLevel=4\r\n"),
            std::wstring::npos);
  // The unadjusted thumbnail file holds the library's pixels, turned or not.
  const std::string thumb = ReadFile(In("LASTACQP2.BIN.bmp"));
  ASSERT_GT(thumb.size(), 1078u);
  EXPECT_EQ(uint8_t(thumb[1078 + 1399 * 880 + 5]), uint8_t(5));
}

TEST_F(PipelineTest, GammaFiftyAndNeutralGamma) {
  settings.gamma = 50;
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_TRUE(Logged("Application d'un gamme 200."));
  settings.gamma = 0;
  lines.clear();
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_FALSE(Logged("Application d'un gamme 100."));
  EXPECT_NE(NfoText("1234_LastBmpLUM2_002.NFO").find(L"Gamma=1.00\r\n"), std::wstring::npos);
}

TEST_F(PipelineTest, ImagingSkipsFilterAndAdjustmentsButMarks) {
  settings.imaging = true;
  settings.filter = 100;
  settings.gamma = 50;
  settings.lum = 20;
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_FALSE(Lib().filterCalled);
  for (const auto& c : pictures.calls) {
    EXPECT_EQ(c.rfind("Gamma", 0), std::string::npos) << c;
    EXPECT_EQ(c.rfind("ContrastLuminosity", 0), std::string::npos) << c;
  }
  EXPECT_TRUE(Logged("Ajout d'un marqueur sur l'image"));
  EXPECT_NE(NfoText("1234_LastBmpLUM2_001.NFO")
                .find(L"[FILTER]\r\nGamma=1.00\r\nLuminosity=0\r\nContrast=0\r\nFilter=0\r\nFilterLevel=0\r\n"),
            std::wstring::npos);
}

TEST_F(PipelineTest, FilterFailureShowsItsMessageAndGoesOn) {
  Lib().filterResult = 0;
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_TRUE(env.Has("Box 0 lpfnApplyLUMEQ2FilterX0X3 Not OK"));
  EXPECT_TRUE(Exists(In("1234_LastBmpLUM2_001.NFO")));
}

TEST_F(PipelineTest, MissingLibraryKeepsTheRawData) {
  loader.loads = false;
  Arrive();
  EXPECT_FALSE(recon->ReconstructAcquisition());
  EXPECT_TRUE(Logged("Chargement de la dll RXFilter impossible."));
  EXPECT_TRUE(env.Has("Box 16 T813"));
  EXPECT_TRUE(RawKeptSomewhere());
  bool said = false;
  for (const auto& l : lines) said |= l.rfind("Image brute conserv\xE9" "e : " + images.path + "/LAST", 0) == 0;
  EXPECT_TRUE(said);
  for (const auto& n : images.Names()) EXPECT_EQ(n.find(".NFO"), std::string::npos) << n;
}

TEST_F(PipelineTest, MissingEntryPoint) {
  for (const char* entry : {"LUMEQ2FullCorrection", "ApplyLUMEQ2FilterX0X3"}) {
    loader.missing = {entry};
    lines.clear();
    env.events.clear();
    Arrive();
    EXPECT_FALSE(recon->ReconstructAcquisition()) << entry;
    EXPECT_TRUE(Logged("Recherche des fonctions de la dll RXFilter impossible.")) << entry;
    EXPECT_TRUE(env.Has("Box 16 T813")) << entry;
    EXPECT_EQ(loader.loaded, loader.freed) << entry;
  }
  EXPECT_TRUE(RawKeptSomewhere());
}

TEST_F(PipelineTest, ExceptionInTheLibrary) {
  Lib().throws = true;
  Arrive();
  EXPECT_FALSE(recon->ReconstructAcquisition());
  const size_t at = LogIndex("Exception lors des phases de reconstruction.");
  ASSERT_LT(at + 1, lines.size());
  EXPECT_EQ(lines[at + 1], "correction blew up");
  EXPECT_TRUE(env.Has("Box 48 correction blew up"));
  EXPECT_EQ(loader.loaded, loader.freed);
  EXPECT_TRUE(RawKeptSomewhere());
  EXPECT_FALSE(Exists(In("LASTACQP2.RAW")));
}

TEST_F(PipelineTest, UnreadableRawFile) {
  env.tempFails = true;  // the raw file keeps its name, and is not there
  EXPECT_FALSE(recon->ReconstructAcquisition());
  EXPECT_TRUE(Logged("Handle de fichier image invalide."));
  EXPECT_FALSE(Lib().filterCalled);
}

TEST_F(PipelineTest, EmptyPlateAtStandardResolution) {
  Lib().result = 1;
  settings.quality = 10;
  Arrive(0);
  Receiving();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_TRUE(Logged("Image vide / erreur lors de la Reconstruction en une passe."));
  EXPECT_TRUE(Logged("Beep de fin de l'acquisition d'une image blanche."));
  EXPECT_FALSE(ctl->Status().ledReceiving);
  EXPECT_EQ(host.timers[TIMER_THUMBNAIL], 2500u);
  EXPECT_FALSE(Lib().filterCalled);
  EXPECT_FALSE(RawKeptSomewhere());
  EXPECT_EQ(ReadFile(In("1234_LastBmpLUM2_001.RAW")), RawOfMode(0, 400));
  const std::wstring nfo = NfoText("1234_LastBmpLUM2_001.NFO");
  EXPECT_NE(nfo.find(L"[SENSOR]\r\nType=LUMEQ2\r\nSize=\r\nSerial=LQ2-000123\r\nInside=no\r\n"
                     L"[FILTER]\r\nGamma=1.00\r\nLuminosity=0\r\nContrast=0\r\nFilter=0\r\nFilterLevel=0\r\n"
                     L"[ACQUISITION]\r\nWidth=1000\r\nHeight=1000\r\n"),
            std::wstring::npos)
      << orvaq::ToUtf8(nfo);
  EXPECT_NE(nfo.find(L"Resolution=Full\r\nPixelWidth=25.00\r\nPixelHeight=25.00\r\nMire=0\r\n"), std::wstring::npos);
  EXPECT_NE(std::find(pictures.calls.begin(), pictures.calls.end(), "Resolution 1016.00"), pictures.calls.end());
}

TEST_F(PipelineTest, EmptyPlateFast) {
  Lib().result = 1;
  settings.quality = 2;
  Arrive(2, 40);
  ASSERT_TRUE(recon->ReconstructAcquisition());
  const std::wstring nfo = NfoText("1234_LastBmpLUM2_001.NFO");
  EXPECT_NE(nfo.find(L"Width=500\r\nHeight=500\r\n"), std::wstring::npos);
  EXPECT_NE(nfo.find(L"Resolution=Fast\r\nPixelWidth=33.33\r\n"), std::wstring::npos);
}

TEST_F(PipelineTest, EmptyPlateAtUnsupportedResolutionWritesNothing) {
  Lib().result = 1;
  Arrive(1);
  EXPECT_FALSE(recon->ReconstructAcquisition());
  EXPECT_TRUE(env.Has("Box 48 T1000\n[22] T10122"));
  EXPECT_FALSE(Exists(In("1234_LastBmpLUM2_001.bmp")));
  EXPECT_TRUE(RawKeptSomewhere());
}

TEST_F(PipelineTest, LibraryClaimingMoreThanItsBufferGivesNoImage) {
  Lib().width = 6000;
  Lib().height = 2000;
  Arrive(0, 10);
  recon->ReconstructAcquisition();
  EXPECT_TRUE(Logged("Image vide / erreur lors de la Reconstruction en une passe."));
  for (const auto& c : pictures.calls) EXPECT_EQ(c.rfind("FromGreyRows", 0), std::string::npos);
}

TEST_F(PipelineTest, DemonstrationReplacesTheReceivedData) {
  settings.demo = true;
  settings.quality = 2;
  const std::string demo = RawOfMode(2, 400);
  WriteFile(program.Folder() + L"rawimage_2.bin", demo);
  Arrive(0);
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_TRUE(Logged("Mode d\xE9monstration : remplacement de l'image brute."));
  EXPECT_TRUE(Logged("Image de d\xE9monstration : " + program.path + "/rawimage_2.bin"));
  EXPECT_EQ(ReadFile(In("1234_LastBmpLUM2_001.RAW")), demo);
  EXPECT_TRUE(Logged("R\xE9solution de l'image : 30.00 pixels/mm."));
}

TEST_F(PipelineTest, MissingDemonstrationFileLeavesTheReceivedData) {
  settings.demo = true;
  Arrive(0);
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_EQ(ReadFile(In("1234_LastBmpLUM2_001.RAW")), RawOfMode(0, 400));
}

TEST_F(PipelineTest, ExternalRebuildWhenTheProgramIsThere) {
  WriteFile(program.Folder() + L"OrvaqRbld2.exe", "MZ");
  settings.gamma = -30;
  settings.filter = 7;
  settings.lum = 3;
  settings.con = 4;
  settings.correction.ignoreMire = true;
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  ASSERT_EQ(env.processes.size(), 1u);
  EXPECT_FALSE(env.processShown[0]);
  EXPECT_FALSE(Logged("Rebuild Classique."));
  EXPECT_EQ(Lib().capacity, 0u) << "the library is not called";
  // The raw file stays under its temporary name with the ".NFOT" beside it.
  EXPECT_EQ(images.Names(), (std::vector<std::string>{"LAST1.NFOT", "LAST1.tmp"}));
  EXPECT_EQ(ReadFile(In("LAST1.tmp")), RawOfMode(0, 400));
  EXPECT_EQ(env.processes[0], L"\"" + program.Folder() + L"OrvaqRbld2.exe\" /rf /N:\"" + images.Folder() +
                                  L"LAST1.NFOT\"  /P1  /D:1 /F:7 /L:3 /C:4 /G:80 /Tx:500 /Ty:650");
  const std::wstring nfo = NfoText("LAST1.NFOT");
  EXPECT_EQ(nfo, L"[PATIENT]\r\nName=Anne Martin\r\nID=1234\r\n[DOCTOR]\r\nName=Dr Blanc\r\n"
                 L"[SENSOR]\r\nType=LUMEQ2\r\nSize=0\r\nSerial=LQ2-000123\r\nInside=no\r\n"
                 L"[FILTER]\r\nGamma=0.80\r\nLuminosity=3\r\nContrast=4\r\nFilter=7\r\nFilterLevel=0\r\n"
                 L"[ACQUISITION]\r\nWidth=0\r\nHeight=0\r\nFile8=\r\nFile16=" +
                     images.Folder() +
                     L"LAST1.tmp\r\nResolution=\r\nPixelWidth=0.00\r\nPixelHeight=0.00\r\nMire=0\r\n");
}

TEST_F(PipelineTest, ExternalRebuildWithPreviewAndTwain) {
  WriteFile(program.Folder() + L"OrvaqRbld2.exe", "MZ");
  settings.preview = true;
  settings.twain = true;
  settings.denoising = 1;
  settings.imaging = true;
  settings.correction.storeIntermediateImages = true;
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  ASSERT_EQ(env.processes.size(), 1u);
  EXPECT_TRUE(env.processShown[0]);
  EXPECT_NE(env.processes[0].find(L" /rb /N:"), std::wstring::npos);
  EXPECT_NE(env.processes[0].find(L".NFOT\" /I1  /PW /D:2 "), std::wstring::npos);
  EXPECT_NE(env.processes[0].find(L"/Tx:500 /Ty:50"), std::wstring::npos);
  EXPECT_NE(NfoText("LAST1.NFOT").find(L"Gamma=1.00\r\n"), std::wstring::npos);
}

TEST_F(PipelineTest, ExternalRebuildThatCannotStartFallsBackToClassic) {
  WriteFile(program.Folder() + L"OrvaqRbld2.exe", "MZ");
  env.processStarts = false;
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_TRUE(Logged("Rebuild Classique."));
  EXPECT_FALSE(Exists(In("LAST1.NFOT")));
  EXPECT_TRUE(Exists(In("1234_LastBmpLUM2_001.NFO")));
}

TEST_F(PipelineTest, ExternalInfoFileFailureFallsBackToClassic) {
  WriteFile(program.Folder() + L"OrvaqRbld2.exe", "MZ");
  env.unwritable.insert(In("LAST1.NFOT"));
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_TRUE(env.Has("Box 16 NFO file Error !"));
  EXPECT_TRUE(env.Has("Beep 16"));
  EXPECT_TRUE(env.processes.empty());
  EXPECT_TRUE(Logged("Rebuild Classique."));
}

TEST_F(PipelineTest, InfoFileFailureKeepsBitmapAndRaw) {
  env.unwritable.insert(In("1234_LastBmpLUM2_001.NFOT"));
  Arrive();
  EXPECT_FALSE(recon->ReconstructAcquisition());
  EXPECT_TRUE(env.Has("Box 16 NFO file Error !"));
  EXPECT_TRUE(Logged("Impossible de cr\xE9" "er le fichier NFO."));
  EXPECT_TRUE(env.Has("Beep 16"));
  EXPECT_FALSE(env.Has("Beep 4294967295"));
  EXPECT_TRUE(Exists(In("1234_LastBmpLUM2_001.bmp")));
  EXPECT_TRUE(Exists(In("1234_LastBmpLUM2_001.RAW")));
  EXPECT_FALSE(Exists(In("1234_LastBmpLUM2_001.NFO")));
}

TEST_F(PipelineTest, GreyWriterFailureFallsBackToTheEncoder) {
  pictures.greyWriterFails = true;
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  const auto grey = std::find(pictures.calls.begin(), pictures.calls.end(), "WriteGreyBmp 1234_LastBmpLUM2_001.bmp");
  ASSERT_NE(grey, pictures.calls.end());
  EXPECT_EQ(*(grey + 1), "Encoder 1234_LastBmpLUM2_001.bmp");
  EXPECT_TRUE(Exists(In("1234_LastBmpLUM2_001.bmp")));
}

TEST_F(PipelineTest, FullDiskKeepsTheRawData) {
  // Neither raw copy can be written: the temporary raw file is the only copy left.
  env.unwritable.insert(In("LASTACQP2.RAW"));
  env.unwritable.insert(In("1234_LastBmpLUM2_001.RAW"));
  Arrive();
  recon->ReconstructAcquisition();
  EXPECT_TRUE(RawKeptSomewhere());
  bool said = false;
  for (const auto& l : lines) said |= l.rfind("Image brute conserv\xE9" "e : ", 0) == 0;
  EXPECT_TRUE(said);
}

TEST_F(PipelineTest, HeldRawCopyOfAnEarlierPlateNeverStandsInForTheNewOne) {
  // LASTACQP2.RAW still holds an earlier plate and cannot be overwritten (a viewer has it).
  WriteFile(In("LASTACQP2.RAW"), "earlier plate");
  env.unwritable.insert(In("LASTACQP2.RAW"));
  Arrive(2, 300);
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_TRUE(ReadFile(In("1234_LastBmpLUM2_001.RAW")) == RawOfMode(2, 300)) << "the final raw file is not this plate";
  EXPECT_EQ(ReadFile(In("LASTACQP2.RAW")), "earlier plate");
  EXPECT_TRUE(Logged("Enregistrement de l'image BIN en RAW impossible : LASTACQP2.RAW"));
}

TEST_F(PipelineTest, NoTemporaryNameKeepsTheReceivedName) {
  env.tempFails = true;
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_FALSE(Exists(In("LASTACQP2.BIN")));
  EXPECT_TRUE(Exists(In("1234_LastBmpLUM2_001.RAW")));
}

TEST_F(PipelineTest, IntermediateImagesFolder) {
  settings.correction.storeIntermediateImages = true;
  Arrive();
  ASSERT_TRUE(recon->ReconstructAcquisition());
  EXPECT_TRUE(env.Has("CreateFolder LASTACQP2"));
  EXPECT_EQ(Lib().lastFolder, images.path + "/LASTACQP2");
  EXPECT_EQ(Lib().lastParams.StoreIntermediateImages, 1u);
}
