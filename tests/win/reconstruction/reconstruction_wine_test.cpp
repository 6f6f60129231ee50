// The reconstruction under Wine: simulated plates written as raw files, reconstructed
// through the real RXFilter.DLL and GDI+ into the BMP, RAW and NFO of a private image
// folder; the BMP checked as an 8-bit grey bitmap against the library's own output;
// the empty plate, demonstration mode, the external rebuild, and the raw data kept when
// the library or the image folder fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "win_test_support.h"
#include "acquisition/OrvaqController.h"
#include "filter_binding/win/RXFilterLibraryWin.h"
#include "acquisition/win/ReconstructionWin.h"
#include "settings/win/KvSystemWin.h"
#include "common/Text.h"
#include "imaging/win/GdiPictures.h"
#include "logging/KvLogger.h"
#include "simulator/Plates.h"
#include "tests/support/memory_logger.h"
#include "tests/host/controller/fake_host.h"
#include "tests/win/reconstruction/recon_settings_fake.h"

namespace {

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

uint32_t U32(const std::vector<uint8_t>& b, size_t o) {
  return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | uint32_t(b[o + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t o) { return uint16_t(b[o] | b[o + 1] << 8); }

std::vector<std::wstring> Names(const std::wstring& folder) {
  std::vector<std::wstring> out;
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((folder + L"*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    const std::wstring n = d.cFileName;
    if (n != L"." && n != L"..") out.push_back(n);
  } while (FindNextFileW(h, &d));
  FindClose(h);
  std::sort(out.begin(), out.end());
  return out;
}

void RemoveTree(const std::wstring& folder) {
  for (const auto& n : Names(folder)) {
    const std::wstring p = folder + n;
    if (GetFileAttributesW(p.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(p + L"\\");
    } else {
      SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(p.c_str());
    }
  }
  RemoveDirectoryW(folder.c_str());
}

std::wstring NewFolder(const wchar_t* tag) {
  static int counter = 0;
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  wchar_t name[64];
  swprintf(name, 64, L"orvaq_recon_%ls_%lu_%d\\", tag, GetCurrentProcessId(), ++counter);
  const std::wstring folder = std::wstring(dir) + name;
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::wstring InfoText(const std::wstring& path) {
  const std::vector<uint8_t> b = wintest::ReadFileBytes(path);
  if (b.size() < 2 || b[0] != 0xFF || b[1] != 0xFE) return L"";
  return orvaq::FromUtf16Le(b.data() + 2, b.size() - 2);
}

// The real window-less environment, with the boxes and beeps recorded instead of shown.
class TestEnv : public CReconEnvWin {
 public:
  TestEnv() : CReconEnvWin(nullptr, L"Orvaq") {}
  std::vector<std::wstring> boxes;
  std::vector<unsigned> beeps;
  int ShowMessageBox(const std::wstring& text, unsigned style) override {
    boxes.push_back(std::to_wstring(style) + L" " + text);
    return IDOK;
  }
  void MessageBeep(unsigned type) override { beeps.push_back(type); }
};

class NoLibrary : public IModuleLoader {
 public:
  void* Load(const wchar_t*) override { return nullptr; }
  void* Find(void*, const char*) override { return nullptr; }
  void Free(void*) override {}
};

class ReconstructionWine : public ::testing::Test {
 protected:
  orvaq::imaging::CGdiplusSession gdiplus;
  fake::Host host;
  fake::Settings acqSettings;
  std::unique_ptr<COrvaqController> ctl;
  TestEnv env;
  ProgramFolderSystem system;
  CGdiReconPictures pictures;
  FakeReconSettings settings;
  CNoMultiPlate multi;
  std::vector<std::string> lines;
  std::wstring images, program;

  void SetUp() override {
    ASSERT_TRUE(gdiplus.Ok());
    ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines));
    ctl.reset(new COrvaqController(host, acqSettings));
    images = NewFolder(L"images");
    program = NewFolder(L"program");
    settings.images = images;
    settings.imaging = true;
    settings.patient = L"Zoé Lefèvre";
    system.programFolder = program;
  }
  void TearDown() override {
    ctl.reset();
    ReplaceCurrentLogger(nullptr);
    RemoveTree(images);
    RemoveTree(program);
  }

  bool Run(IModuleLoader& loader = CWinModuleLoader::Instance()) {
    CReconstruction recon(*ctl, settings, env, system, pictures, loader, multi);
    return recon.ReconstructAcquisition();
  }

  orvaq::sim::Plate Arrive(int size, unsigned mode, orvaq::sim::PlateKind kind = orvaq::sim::PlateKind::Phantom) {
    orvaq::sim::PlateOrder plateOrder;
    plateOrder.size = size;
    plateOrder.mode = mode;
    plateOrder.kind = kind;
    plateOrder.wantIdeal = false;
    orvaq::sim::Plate plate;
    EXPECT_TRUE(orvaq::sim::BuildPlate(plateOrder, plate));
    EXPECT_TRUE(wintest::WriteFileBytes(images + L"LASTACQP2.BIN", plate.raw));
    return plate;
  }

  // The library's own 8-bit output for the raw file, as the pipeline asks for it.
  bool Reference(const std::vector<uint8_t>& raw, std::vector<uint8_t>& px, int& w, int& h, uint16_t& code) {
    const std::wstring path = program + L"reference.bin";
    if (!wintest::WriteFileBytes(path, raw)) return false;
    const orvaq::recon::BufferSizing s = orvaq::recon::SizeBufferForRaw(raw.size(), raw[4]);
    px.assign(s.Bytes() + 1, 0);
    BufferFinal b{RXF_TAG_8, s.width, s.height, px.data()};
    std::vector<uint8_t> work(1024);
    CorrectionParams cp;
    orvaq::recon::FillCorrectionParams(orvaq::recon::CorrectionSettings(), raw[4], work.data(), nullptr, cp);
    CRXFilterLibrary lib(CWinModuleLoader::Instance());
    if (!lib.Load() || !lib.Require(CRXFilterLibrary::kFullCorrection)) return false;
    if (lib.m_pfnFullCorrection(path.c_str(), &b, &cp) != 0) return false;
    w = b.width;
    h = b.height;
    code = cp.ImageCode;
    return true;
  }

  bool Logged(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
  bool LoggedPrefix(const std::string& prefix) const {
    for (const auto& l : lines)
      if (l.rfind(prefix, 0) == 0) return true;
    return false;
  }
  // A raw file kept under its temporary name, with all its bytes.
  bool RawKept(size_t size) {
    for (const auto& n : Names(images))
      if (n.rfind(L"LAS", 0) == 0 && n.size() > 4 && n.substr(n.size() - 4) == L".tmp" &&
          wintest::ReadFileBytes(images + n).size() == size)
        return true;
    return false;
  }
};

// Checks the grey bitmap header; returns its pixel block.
void CheckGreyBmp(const std::vector<uint8_t>& b, int w, int h, int32_t ppm, const std::string& what) {
  ASSERT_GE(b.size(), 1078u) << what;
  const size_t row = (size_t(w) + 3) & ~size_t(3);
  EXPECT_EQ(b[0], 'B') << what;
  EXPECT_EQ(b[1], 'M') << what;
  EXPECT_EQ(U32(b, 2), 1078 + row * h) << what;
  EXPECT_EQ(b.size(), 1078 + row * h) << what;
  EXPECT_EQ(U32(b, 10), 1078u) << what;
  EXPECT_EQ(U32(b, 14), 40u) << what;
  EXPECT_EQ(int32_t(U32(b, 18)), w) << what;
  EXPECT_EQ(int32_t(U32(b, 22)), h) << what;
  EXPECT_EQ(U16(b, 26), 1) << what;
  EXPECT_EQ(U16(b, 28), 8) << what;
  EXPECT_EQ(U32(b, 30), 0u) << what;
  EXPECT_EQ(int32_t(U32(b, 38)), ppm) << what;
  EXPECT_EQ(int32_t(U32(b, 42)), ppm) << what;
  EXPECT_EQ(U32(b, 46), 256u) << what;
  for (int i = 0; i < 256; ++i)
    if (b[54 + 4 * i] != i || b[55 + 4 * i] != i || b[56 + 4 * i] != i || b[57 + 4 * i] != 0) {
      ADD_FAILURE() << what << ": palette entry " << i;
      break;
    }
}

}  // namespace

TEST_F(ReconstructionWine, EveryPlateSizeMatchesTheLibrarysImage) {
  for (int size = 0; size < 4; ++size) {
    const std::string what = "size " + std::to_string(size);
    orvaq::sim::Plate plate = Arrive(size, 0);
    std::vector<uint8_t> ref;
    int w = 0, h = 0;
    uint16_t code = 0;
    ASSERT_TRUE(Reference(plate.raw, ref, w, h, code)) << what;
    ASSERT_GT(w, 0) << what;
    ASSERT_TRUE(Run()) << what;

    wchar_t base[64];
    swprintf(base, 64, L"1234_LastBmpLUM2_%03d", size + 1);
    const std::wstring bmpPath = images + base + L".bmp";
    const bool turned = size == 2 || size == 3;
    const int fw = turned ? h : w, fh = turned ? w : h;
    const std::vector<uint8_t> bmp = wintest::ReadFileBytes(bmpPath);
    CheckGreyBmp(bmp, fw, fh, 40000, what);
    if (HasFailure()) return;
    // File row k, column x, against the library's rows (see the bitmap's orientation:
    // the library's first row is the picture's bottom row; sizes 2 and 3 turn clockwise).
    const size_t row = (size_t(fw) + 3) & ~size_t(3);
    size_t differences = 0;
    for (int k = 0; k < fh; ++k)
      for (int x = 0; x < fw; ++x) {
        if (k < 60 && x > fw - 110) continue;  // the marker's corner
        const uint8_t want = turned ? ref[size_t(x) * w + (w - 1 - k)] : ref[size_t(k) * w + x];
        differences += bmp[1078 + k * row + x] != want;
      }
    EXPECT_EQ(differences, 0u) << what;
    EXPECT_EQ(wintest::ReadFileBytes(images + base + L".RAW"), plate.raw) << what;
    const std::wstring nfo = InfoText(images + base + L".NFO");
    EXPECT_NE(nfo.find(L"[PATIENT]\r\nName=Zoé Lefèvre\r\nID=1234\r\n"), std::wstring::npos) << what;
    EXPECT_NE(nfo.find(L"Size=" + std::to_wstring(size) + L"\r\nSerial=LQ2-4711\r\n"), std::wstring::npos) << what;
    EXPECT_NE(nfo.find(L"Width=" + std::to_wstring(fw) + L"\r\nHeight=" + std::to_wstring(fh) + L"\r\nFile8=" +
                       bmpPath + L"\r\nFile16=" + images + base + L".RAW\r\nResolution=HD\r\nPixelWidth=25.00\r\n"),
              std::wstring::npos)
        << what << "\n" << orvaq::ToUtf8(nfo);
    EXPECT_FALSE(Exists(images + base + L".NFOT")) << what;
  }
  // Only the finished files are left: no temporary raw file, no ".NFOT".
  for (const auto& n : Names(images))
    EXPECT_TRUE(n.find(L"1234_LastBmpLUM2_") == 0 || n.find(L"LASTACQP2.") == 0) << orvaq::ToUtf8(n);
  EXPECT_TRUE(Logged("Beep de fin de l'acquisition."));
  EXPECT_EQ(host.timers[TIMER_THUMBNAIL], 2500u);
}

TEST_F(ReconstructionWine, EveryModeSetsItsResolution) {
  struct Row { unsigned mode; int32_t ppm; const wchar_t* text; };
  const Row rows[] = {{2, 30000, L"Resolution=Fast\r\nPixelWidth=33.33\r\n"},
                      {1, 80000, L"Resolution=40\r\nPixelWidth=12.50\r\n"},
                      {10, 160000, L"Resolution=80\r\nPixelWidth=6.25\r\n"}};
  settings.imaging = false;  // the noise filter and the adjustments run too
  settings.gamma = 20;
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const std::string what = "row " + std::to_string(i);
    Arrive(0, rows[i].mode);
    ASSERT_TRUE(Run()) << what;
    wchar_t name[64];
    swprintf(name, 64, L"1234_LastBmpLUM2_%03d", int(i + 1));
    const std::wstring base = images + name;
    const std::vector<uint8_t> bmp = wintest::ReadFileBytes(base + L".bmp");
    ASSERT_GE(bmp.size(), 54u) << what;
    CheckGreyBmp(bmp, int(U32(bmp, 18)), int(U32(bmp, 22)), rows[i].ppm, what);
    EXPECT_NE(InfoText(base + L".NFO").find(rows[i].text), std::wstring::npos) << what;
  }
  EXPECT_TRUE(Logged("Application d'un gamme 140."));
  EXPECT_TRUE(Logged("Ajout d'un marqueur sur l'image"));
}

TEST_F(ReconstructionWine, EmptyPlateGivesItsPictureAndInfoFile) {
  settings.quality = 10;
  orvaq::sim::Plate plate = Arrive(1, 0, orvaq::sim::PlateKind::Empty);
  ASSERT_TRUE(Run());
  EXPECT_TRUE(Logged("Image vide / erreur lors de la Reconstruction en une passe."));
  EXPECT_TRUE(Logged("Beep de fin de l'acquisition d'une image blanche."));
  CheckGreyBmp(wintest::ReadFileBytes(images + L"1234_LastBmpLUM2_001.bmp"), 1000, 1000, 40000, "empty plate");
  EXPECT_EQ(wintest::ReadFileBytes(images + L"1234_LastBmpLUM2_001.RAW"), plate.raw);
  const std::wstring nfo = InfoText(images + L"1234_LastBmpLUM2_001.NFO");
  EXPECT_NE(nfo.find(L"[SENSOR]\r\nType=LUMEQ2\r\nSize=\r\nSerial=LQ2-4711\r\nInside=no\r\n"), std::wstring::npos);
  EXPECT_NE(nfo.find(L"Width=1000\r\nHeight=1000\r\n"), std::wstring::npos);
  EXPECT_NE(nfo.find(L"Resolution=Full\r\nPixelWidth=25.00\r\nPixelHeight=25.00\r\nMire=0\r\n"), std::wstring::npos);
  EXPECT_FALSE(RawKept(plate.raw.size()));
}

TEST_F(ReconstructionWine, DemonstrationReplacesTheReceivedData) {
  orvaq::sim::PlateOrder plateOrder;
  plateOrder.size = 0;
  plateOrder.mode = 2;
  plateOrder.wantIdeal = false;
  orvaq::sim::Plate demo;
  ASSERT_TRUE(orvaq::sim::BuildPlate(plateOrder, demo));
  ASSERT_TRUE(wintest::WriteFileBytes(program + L"rawimage_2.bin", demo.raw));
  settings.demo = true;
  settings.quality = 2;
  Arrive(1, 0);
  ASSERT_TRUE(Run());
  EXPECT_TRUE(Logged("Mode d\xE9monstration : remplacement de l'image brute."));
  EXPECT_EQ(wintest::ReadFileBytes(images + L"1234_LastBmpLUM2_001.RAW"), demo.raw);
  EXPECT_NE(InfoText(images + L"1234_LastBmpLUM2_001.NFO").find(L"Resolution=Fast\r\n"), std::wstring::npos);
}

TEST_F(ReconstructionWine, MissingLibraryLeavesTheRawDataAndSaysSo) {
  orvaq::sim::Plate plate = Arrive(0, 0);
  NoLibrary none;
  EXPECT_FALSE(Run(none));
  EXPECT_TRUE(Logged("Chargement de la dll RXFilter impossible."));
  ASSERT_EQ(env.boxes.size(), 1u);
  EXPECT_EQ(env.boxes[0], L"16 T813");
  EXPECT_TRUE(RawKept(plate.raw.size()));
  EXPECT_TRUE(LoggedPrefix("Image brute conserv\xE9" "e : "));
  for (const auto& n : Names(images)) EXPECT_EQ(n.find(L".NFO"), std::wstring::npos) << orvaq::ToUtf8(n);
}

// The library's test-only twin, which faults inside its entry points on demand.
class FaultyLibrary : public IModuleLoader {
 public:
  void* Load(const wchar_t*) override {
    return LoadLibraryW((wintest::ProgramFolder() + L"faulty\\RXFilter.DLL").c_str());
  }
  void* Find(void* m, const char* name) override { return CWinModuleLoader::Instance().Find(m, name); }
  void Free(void* m) override { CWinModuleLoader::Instance().Free(m); }
};

TEST_F(ReconstructionWine, FaultsInsideTheLibraryAreStoppedAndTheRawDataKept) {
  // An access violation and a C++ exception of another compiler's runtime, neither
  // caught inside the library; Orvaq's own binding (CWinModuleLoader) guards the calls.
  CWinModuleLoader::Instance();
  const struct { const wchar_t* fault; const char* line; } rows[] = {
      {L"access", "Exception 0xC0000005 dans la dll RXFilter."},
      {L"foreign", "Exception 0xE06D7363 dans la dll RXFilter."},
  };
  for (const auto& row : rows) {
    lines.clear();
    env.boxes.clear();
    orvaq::sim::Plate plate = Arrive(0, 0);
    FaultyLibrary faulty;
    SetEnvironmentVariableW(L"RXFILTER_FAULT", row.fault);
    const bool ok = Run(faulty);
    SetEnvironmentVariableW(L"RXFILTER_FAULT", nullptr);
    EXPECT_FALSE(ok) << row.line;
    const auto at = std::find(lines.begin(), lines.end(), "Exception lors des phases de reconstruction.");
    ASSERT_NE(at, lines.end()) << row.line;
    ASSERT_NE(at + 1, lines.end()) << row.line;
    EXPECT_EQ(*(at + 1), row.line);
    ASSERT_EQ(env.boxes.size(), 1u) << row.line;
    EXPECT_EQ(env.boxes[0], L"48 " + orvaq::FromUtf8(row.line));
    EXPECT_TRUE(RawKept(plate.raw.size())) << row.line;
    EXPECT_EQ(GetModuleHandleW((wintest::ProgramFolder() + L"faulty\\RXFilter.DLL").c_str()), nullptr) << row.line;
    for (const auto& n : Names(images)) EXPECT_EQ(n.find(L".NFO"), std::wstring::npos) << orvaq::ToUtf8(n);
    for (const auto& n : Names(images)) DeleteFileW((images + n).c_str());
  }
  // The program goes on: the next plate through the real library gives its image.
  lines.clear();
  env.boxes.clear();
  Arrive(0, 0);
  EXPECT_TRUE(Run());
  EXPECT_TRUE(env.boxes.empty());
}

TEST_F(ReconstructionWine, UnwritableOutputsLeaveTheRawDataAndSaySo) {
  // Folders where the copies and the information file should go: every write fails.
  for (const wchar_t* n : {L"LASTACQP2.RAW", L"1234_LastBmpLUM2_001.RAW", L"1234_LastBmpLUM2_001.NFOT"})
    ASSERT_TRUE(CreateDirectoryW((images + n).c_str(), nullptr));
  orvaq::sim::Plate plate = Arrive(0, 0);
  EXPECT_FALSE(Run());
  EXPECT_TRUE(RawKept(plate.raw.size()));
  EXPECT_TRUE(LoggedPrefix("Image brute conserv\xE9" "e : "));
  EXPECT_TRUE(Logged("Impossible de cr\xE9" "er le fichier NFO."));
  ASSERT_FALSE(env.boxes.empty());
  EXPECT_EQ(env.boxes.back(), L"16 NFO file Error !");
  EXPECT_EQ(env.beeps, std::vector<unsigned>{0x10});
  EXPECT_FALSE(Exists(images + L"1234_LastBmpLUM2_001.NFO"));
}

TEST_F(ReconstructionWine, ExternalRebuildStartsTheProgramWithItsInfoFile) {
  ASSERT_TRUE(CopyFileW((ExeFolder() + L"reconstruction_fake_rebuild.exe").c_str(),
                        (program + L"OrvaqRbld2.exe").c_str(), FALSE));
  orvaq::sim::Plate plate = Arrive(0, 0);
  ASSERT_TRUE(Run());
  EXPECT_FALSE(Logged("Rebuild Classique."));
  std::wstring temporary, info;
  for (const auto& n : Names(images)) {
    if (n.size() > 4 && n.substr(n.size() - 4) == L".tmp") temporary = n;
    if (n.size() > 5 && n.substr(n.size() - 5) == L".NFOT") info = n;
  }
  ASSERT_FALSE(temporary.empty());
  ASSERT_EQ(info, temporary.substr(0, temporary.size() - 4) + L".NFOT");
  EXPECT_EQ(wintest::ReadFileBytes(images + temporary), plate.raw);
  EXPECT_NE(InfoText(images + info).find(L"File16=" + images + temporary + L"\r\nResolution=\r\n"), std::wstring::npos);
  // The stand-in writes the line it received; it is not waited for.
  std::vector<uint8_t> received;
  for (int i = 0; i < 100 && received.empty(); ++i) {
    Sleep(50);
    received = wintest::ReadFileBytes(images + L"cmdline.txt");
  }
  const std::wstring line(reinterpret_cast<const wchar_t*>(received.data()), received.size() / 2);
  EXPECT_EQ(line, L"\"" + program + L"OrvaqRbld2.exe\" /rb /N:\"" + images + info +
                      L"\"    /D:1 /F:0 /L:0 /C:0 /G:100 /Tx:0 /Ty:0");
}

TEST_F(ReconstructionWine, RebuildProgramThatCannotStartLeavesTheClassicPath) {
  // A file of that name that is not a program.
  ASSERT_TRUE(wintest::WriteFileBytes(program + L"OrvaqRbld2.exe", std::vector<uint8_t>(64, 'x')));
  Arrive(0, 0);
  ASSERT_TRUE(Run());
  EXPECT_TRUE(Logged("Rebuild Classique."));
  EXPECT_TRUE(Exists(images + L"1234_LastBmpLUM2_001.NFO"));
  for (const auto& n : Names(images)) EXPECT_EQ(n.find(L".NFOT"), std::wstring::npos) << orvaq::ToUtf8(n);
}

TEST_F(ReconstructionWine, InfoFileIsNeverSeenIncomplete) {
  // A reader polls for the final name during the run, as the calling application does.
  const std::wstring nfo = images + L"1234_LastBmpLUM2_001.NFO";
  std::atomic<bool> done(false);
  std::atomic<int> seen(0), incomplete(0);
  std::thread reader([&] {
    while (!done) {
      // A reader that cannot open the file this instant (the rename's own handle may
      // still hold it) tries again; one that reads it must find it whole.
      FILE* f = Exists(nfo) ? _wfopen(nfo.c_str(), L"rb") : nullptr;
      if (f) {
        std::vector<uint8_t> b;
        uint8_t buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + n);
        fclose(f);
        const std::wstring text = b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE
                                      ? orvaq::FromUtf16Le(b.data() + 2, b.size() - 2)
                                      : std::wstring();
        ++seen;
        if (text.find(L"[ACQUISITION]\r\n") == std::wstring::npos ||
            text.size() < 8 || text.substr(text.size() - 8) != L"Mire=0\r\n")
          ++incomplete;
      }
      Sleep(1);
    }
  });
  Arrive(1, 0);
  const bool ok = Run();
  Sleep(20);
  done = true;
  reader.join();
  ASSERT_TRUE(ok);
  EXPECT_GT(seen.load(), 0);
  EXPECT_EQ(incomplete.load(), 0);
}
