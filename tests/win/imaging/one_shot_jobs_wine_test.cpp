// The one-shot jobs under Wine: /image_in on a BMP and a PNG with each module filter,
// the encoder fallback, the input overwritten without /image_out, the raw strip tool.
#include <gtest/gtest.h>

#include "imaging/RawStrip.h"
#include "filter_binding/RXFilterLibrary.h"
#include "imaging/win/OneShotJobsWin.h"
#include "settings/KvParameters.h"
#include "settings/win/KvProfileWin.h"
#include "settings/win/KvSystemWin.h"
#include "wine_support.h"

namespace gp = Gdiplus;
using namespace orvaq::imaging;

namespace {

// A 24-bit picture with a bright square on grey, saved in the given format.
void SavePicture(const std::wstring& path, const wchar_t* mime) {
  auto pic = Filled(120, 90, 80, 80, 80);
  for (int y = 30; y < 60; ++y)
    for (int x = 40; x < 80; ++x) pic->SetPixel(x, y, gp::Color(255, 200, 200, 200));
  UINT count = 0, size = 0;
  gp::GetImageEncodersSize(&count, &size);
  std::vector<uint8_t> buf(size);
  auto* codecs = reinterpret_cast<gp::ImageCodecInfo*>(buf.data());
  gp::GetImageEncoders(count, size, codecs);
  for (UINT i = 0; i < count; ++i)
    if (wcscmp(codecs[i].MimeType, mime) == 0) {
      ASSERT_EQ(pic->Save(path.c_str(), &codecs[i].Clsid, nullptr), gp::Ok);
      return;
    }
  FAIL() << "no encoder";
}

struct UiLog {
  std::vector<int> errors;
  std::vector<std::wstring> messages;
  DisplayFilterUi Hooks() {
    auto message = [this](const std::wstring& m) { messages.push_back(m); };
    return DisplayFilterUi{[this](int id) { errors.push_back(id); }, message, message};
  }
};

// The box the job shows, read and answered from a timer of the thread it blocks.
struct SeenBox {
  std::wstring caption, text;
  bool errorIcon = false;
};
SeenBox g_seenBox;
UINT_PTR g_nBoxTimer = 0;
void CALLBACK ReadAndAnswerBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = FindWindowW(L"#32770", nullptr);
  if (!box || GetWindowThreadProcessId(box, nullptr) != GetCurrentThreadId()) return;
  g_seenBox.caption = wintest::WindowText(box);
  g_seenBox.text = wintest::WindowText(GetDlgItem(box, 0xFFFF));
  const HICON error = LoadIconW(nullptr, IDI_HAND);
  for (int id : {0x14, 0x440})  // the icon control: Windows' id, Wine's id
    if (HWND icon = GetDlgItem(box, id)) g_seenBox.errorIcon |= HICON(SendMessageW(icon, STM_GETICON, 0, 0)) == error;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  KillTimer(nullptr, g_nBoxTimer);
}

class NoLibrary : public IModuleLoader {
 public:
  void* Load(const wchar_t*) override { return nullptr; }
  void* Find(void*, const char*) override { return nullptr; }
  void Free(void*) override {}
};

// Orvaq's parameters with the texts of the bin folder.
class BinSystem : public CKvSystemWin {
 public:
  std::wstring GetProgramPath() override { return wintest::ProgramFolder() + L"Orvaq.exe"; }
};

}  // namespace

using OneShotJobs = GdiplusTest;

TEST_F(OneShotJobs, ImageJobWithoutTheLibraryShowsItsTextAsAnError) {
  BinSystem system;
  CKvProfileWin profile;
  CKvParameters parameters(profile, system);
  SetParameters(&parameters);
  const std::wstring in = TempPath(L"job_nolib.bmp");
  SavePicture(in, L"image/bmp");
  COneShotJobsWin jobs(L"C:\\Program Files\\Orvaq\\Orvaq.exe");
  NoLibrary none;
  jobs.m_pModuleLoader = &none;
  ImageJobRequest r;
  r.inputPath = in;
  r.filterStrength = 150;
  g_seenBox = SeenBox();
  g_nBoxTimer = SetTimer(nullptr, 0, 100, ReadAndAnswerBox);
  jobs.RunImageJob(r);
  KillTimer(nullptr, g_nBoxTimer);
  SetParameters(nullptr);
  EXPECT_EQ(parameters.GetProgramTitle(), g_seenBox.caption);
  EXPECT_NE(L"", parameters.GetText(813));
  EXPECT_EQ(parameters.GetText(813), g_seenBox.text);
  EXPECT_TRUE(g_seenBox.errorIcon);
}

TEST_F(OneShotJobs, ImageJobOnABmpWithTheDisplayFilter) {
  const std::wstring in = TempPath(L"job_in.bmp"), out = TempPath(L"job_out.bmp");
  SavePicture(in, L"image/bmp");
  DeleteFileW(out.c_str());
  UiLog ui;
  COneShotJobsWin jobs(L"C:\\Program Files\\Orvaq\\Orvaq.exe", ui.Hooks());
  ImageJobRequest r;
  r.inputPath = in;
  r.outputPath = out;
  r.filterStrength = 150;
  r.gamma = 200;
  r.luminosity = 10;
  jobs.RunImageJob(r);
  EXPECT_TRUE(ui.errors.empty());
  EXPECT_TRUE(ui.messages.empty());
  const std::vector<uint8_t> f = wintest::ReadFileBytes(out);
  ASSERT_EQ(f.size(), 1078u + 120u * 90u);
  EXPECT_EQ(f[28], 8);
  EXPECT_EQ(U32At(f, 18), 120u);
  EXPECT_EQ(U32At(f, 22), 90u);
}

TEST_F(OneShotJobs, ImageJobOnAPngOverwritesTheInputWithoutImageOut) {
  const std::wstring in = TempPath(L"job_in.png");
  SavePicture(in, L"image/png");
  UiLog ui;
  COneShotJobsWin jobs(L"Z:\\modules\\TAVIN1W.exe", ui.Hooks());
  ImageJobRequest r;
  r.inputPath = in;
  r.filterStrength = 8;  // box of 7
  jobs.RunImageJob(r);
  const std::vector<uint8_t> f = wintest::ReadFileBytes(in);
  ASSERT_EQ(f.size(), 1078u + 120u * 90u);
  EXPECT_EQ(f[0], 'B');
  // The box filter's overshoot: the bright square's edge exceeds 200 (bottom-up rows).
  const size_t row = 89 - 45;
  EXPECT_GT(f[1078 + row * 120 + 40], 200);
  EXPECT_LT(f[1078 + row * 120 + 39], 80);
}

TEST_F(OneShotJobs, EncoderTakesOverWhenTheGreyWriterFails) {
  const std::wstring in = TempPath(L"job_fb.bmp"), out = TempPath(L"job_fb_out.bmp");
  SavePicture(in, L"image/bmp");
  DeleteFileW(out.c_str());
  COneShotJobsWin jobs(L"Unknown.exe");
  jobs.m_fnWriteGreyBmp = [](gp::Bitmap*, const std::wstring&) { return false; };
  ImageJobRequest r;
  r.inputPath = in;
  r.outputPath = out;
  jobs.RunImageJob(r);
  const std::vector<uint8_t> f = wintest::ReadFileBytes(out);
  ASSERT_GT(f.size(), 54u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_GE(f[28], 24);  // the encoder's colour BMP, not the grey writer's
}

TEST_F(OneShotJobs, UnreadableInputWritesNothing) {
  const std::wstring in = TempPath(L"not_a_picture.bmp"), out = TempPath(L"never.bmp");
  FILE* f = _wfopen(in.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fputs("nonsense", f);
  fclose(f);
  DeleteFileW(out.c_str());
  COneShotJobsWin jobs(L"Orvaq.exe");
  ImageJobRequest r;
  r.inputPath = in;
  r.outputPath = out;
  jobs.RunImageJob(r);
  EXPECT_EQ(GetFileAttributesW(out.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OneShotJobs, RawStripWritesHistogramAndPicture) {
  std::vector<uint8_t> strip(size_t(kStripLines) * kStripSamples * 2);
  for (int i = 0; i < kStripLines; ++i)
    for (int j = 0; j < kStripSamples; ++j) {
      const uint16_t v = j < 4000 + i ? 11000 : 3000 + (j % 5) * 200;
      const size_t k = (size_t(i) * kStripSamples + j) * 2;
      strip[k] = uint8_t(v);
      strip[k + 1] = uint8_t(v >> 8);
    }
  const std::wstring in = TempPath(L"strip.raw"), ol = TempPath(L"strip.ol"), out = TempPath(L"strip.bmp");
  FILE* f = _wfopen(in.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fwrite(strip.data(), 1, strip.size(), f);
  fclose(f);
  f = _wfopen(ol.c_str(), L"wb");
  fclose(f);
  DeleteFileW(out.c_str());
  COneShotJobsWin jobs(L"Orvaq.exe");
  jobs.RunRawStrip(RawStripRequest{in, ol, out});
  EXPECT_EQ(wintest::ReadFileBytes(in + L".pal").size(), 65536u);
  const std::vector<uint8_t> bmp = wintest::ReadFileBytes(out);
  ASSERT_EQ(bmp.size(), 1078u + 1992u * 200u);
  EXPECT_EQ(U32At(bmp, 38), 50000u);
  // A missing second input: nothing is done.
  DeleteFileW(out.c_str());
  jobs.RunRawStrip(RawStripRequest{in, TempPath(L"missing.ol"), out});
  EXPECT_EQ(GetFileAttributesW(out.c_str()), INVALID_FILE_ATTRIBUTES);
}
