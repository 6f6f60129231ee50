// Measures one acquisition's work from the complete raw file to the ".NFO": the raw
// check, then the reconstruction's steps through RXFilter.DLL and GDI+ (correction,
// noise filter, bitmap and thumbnail file, adjustments and marker, final files).
// Not a test: run it under Wine and read the table it prints.
//   reconstruction_measure.exe [size 0..3] [Mode] [runs] [margin mm before and after the plate]
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "acquisition/OrvaqController.h"
#include "acquisition/RawCheck.h"
#include "filter_binding/win/RXFilterLibraryWin.h"
#include "acquisition/win/ReconstructionWin.h"
#include "settings/win/KvSystemWin.h"
#include "imaging/win/GdiPictures.h"
#include "simulator/Plates.h"
#include "tests/host/controller/fake_host.h"
#include "tests/win/reconstruction/recon_settings_fake.h"

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

class QuietEnv : public CReconEnvWin {
 public:
  QuietEnv() : CReconEnvWin(nullptr, L"Orvaq") {}
  int ShowMessageBox(const std::wstring& text, unsigned) override {
    std::fwprintf(stderr, L"box: %ls\n", text.c_str());
    return IDOK;
  }
};

bool ReadWhole(const std::wstring& path, std::vector<uint8_t>& out) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  GetFileSizeEx(f, &size);
  out.resize(size_t(size.QuadPart));
  DWORD read = 0;
  size_t done = 0;
  while (done < out.size() && ReadFile(f, out.data() + done, DWORD(out.size() - done), &read, nullptr) && read)
    done += read;
  CloseHandle(f);
  return done == out.size();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int size = argc > 1 ? _wtoi(argv[1]) : 3;
  const unsigned mode = argc > 2 ? unsigned(_wtoi(argv[2])) : 10;
  const int runs = argc > 3 ? _wtoi(argv[3]) : 3;
  const int margin = argc > 4 ? _wtoi(argv[4]) : 3;
  orvaq::imaging::CGdiplusSession gdiplus;
  ReplaceCurrentLogger(nullptr);

  orvaq::sim::PlateOrder plateOrder;
  plateOrder.size = size;
  plateOrder.mode = mode;
  plateOrder.wantIdeal = false;
  plateOrder.marginMm = margin;
  orvaq::sim::Plate plate;
  if (!orvaq::sim::BuildPlate(plateOrder, plate)) return 1;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring images = std::wstring(temp) + L"orvaq_measure\\";
  CreateDirectoryW(images.c_str(), nullptr);
  std::printf("plate size %d, Mode %u: raw %zu bytes (%.2f MiB), %u lines of %u bytes%s\n", size, mode,
              plate.raw.size(), plate.raw.size() / 1048576.0, plate.lineCount, plate.lineSize,
              plate.raw.size() >= kRawCheckSkipSize ? " (the controller skips its check at this size)" : "");

  const char* names[] = {"check", "entry, library, header", "correction", "noise filter",
                         "bitmap, thumbnail, LASTACQP2.BIN.bmp", "adjustments, marker", "files (BMP, RAW, NFO)"};
  std::printf("%-38s", "run");
  for (int r = 1; r <= runs; ++r) std::printf("%10d", r);
  std::printf("\n");
  std::vector<std::vector<double>> table(8);
  for (int r = 0; r < runs; ++r) {
    HANDLE f = CreateFileW((images + L"LASTACQP2.BIN").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, plate.raw.data(), DWORD(plate.raw.size()), &written, nullptr);
    CloseHandle(f);

    // The raw file is complete: the controller's check reads and scans it.
    const double t0 = Now();
    std::vector<uint8_t> bytes;
    ReadWhole(images + L"LASTACQP2.BIN", bytes);
    RawImageDescription description;
    description.lineCount = int(plate.lineCount);
    description.lineSize = int(plate.lineSize);
    const RawScanResult scan =
        ScanRawLines(bytes.data(), bytes.size(), ExpectedLineSize(bytes.data(), bytes.size()), description);
    if (scan.verdict != RawVerdict::Pass) std::printf("check refused the file\n");
    std::vector<uint8_t>().swap(bytes);

    fake::Host host;
    fake::Settings acq;
    COrvaqController controller(host, acq);
    QuietEnv env;
    // The program in the image folder: the rebuild program built beside this tool must
    // not take the plate away.
    ProgramFolderSystem system;
    system.programFolder = images;
    CGdiReconPictures pictures;
    FakeReconSettings settings;
    settings.images = images;
    settings.quality = 10;
    settings.gamma = 20;
    settings.luminosity = 10;
    settings.contrast = 10;
    settings.patient = L"Measure";
    settings.patientId = L"42";
    settings.doctor = L"Dr Bench";
    CNoMultiPlate multi;
    CReconstruction recon(controller, settings, env, system, pictures, CWinModuleLoader::Instance(), multi);
    std::map<ReconStep, double> at;
    recon.onStep = [&](ReconStep s) { at[s] = Now(); };
    if (!recon.ReconstructAcquisition()) std::printf("reconstruction failed\n");
    const double tEnd = Now();
    const double marks[] = {t0,
                            at[ReconStep::Start],
                            at[ReconStep::Correction],
                            at[ReconStep::Filter],
                            at[ReconStep::Bitmap],
                            at[ReconStep::Adjustments],
                            at[ReconStep::Files],
                            at.count(ReconStep::End) ? at[ReconStep::End] : tEnd};
    for (int i = 0; i < 7; ++i) table[i].push_back(marks[i + 1] - marks[i]);
    table[7].push_back(tEnd - t0);

    // Leave the folder as it was for the next run.
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW((images + L"*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
      do DeleteFileW((images + d.cFileName).c_str());
      while (FindNextFileW(h, &d));
      FindClose(h);
    }
  }
  for (int i = 0; i < 8; ++i) {
    std::printf("%-38s", i < 7 ? names[i] : "total: raw complete to .NFO (ms)");
    for (double v : table[i]) std::printf("%10.1f", v);
    std::printf("\n");
  }
  RemoveDirectoryW(images.c_str());
  return 0;
}
