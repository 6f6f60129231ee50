// The information file byte for byte, the final names and the rebuild command line.
#include <gtest/gtest.h>

#include <set>

#include "acquisition/AcquisitionOutputs.h"
#include "acquisition/ReconstructionRules.h"
#include "common/Text.h"

using namespace orvaq::recon;

namespace {

InfoFileContent Classic(float r, bool mire) {
  InfoFileContent c;
  c.patientName = L"Anne Martin";
  c.patientId = L"1234";
  c.doctorName = L"Dr Blanc";
  c.size = L"1";
  c.serial = L"LQ2-000123";
  c.filter.gamma = 85;
  c.filter.luminosity = -10;
  c.filter.contrast = 20;
  c.filter.filter = 100;
  c.filter.filterLevel = 3;
  c.width = 880;
  c.height = 1400;
  c.file8 = L"C:\\img\\1234_LastBmpLUM2_001.bmp";
  c.file16 = L"C:\\img\\1234_LastBmpLUM2_001.RAW";
  c.resolution = ResolutionText(r);
  c.pixelSize = PixelPitchMicrons(r);
  c.mire = mire ? 1 : 0;
  return c;
}

std::wstring Expected(const std::wstring& acquisitionTail, const std::wstring& type = L"LUMEQ2") {
  return L"[PATIENT]\r\nName=Anne Martin\r\nID=1234\r\n"
         L"[DOCTOR]\r\nName=Dr Blanc\r\n"
         L"[SENSOR]\r\nType=" + type + L"\r\nSize=1\r\nSerial=LQ2-000123\r\nInside=no\r\n"
         L"[FILTER]\r\nGamma=0.85\r\nLuminosity=-10\r\nContrast=20\r\nFilter=100\r\nFilterLevel=3\r\n"
         L"[ACQUISITION]\r\nWidth=880\r\nHeight=1400\r\nFile8=C:\\img\\1234_LastBmpLUM2_001.bmp\r\n"
         L"File16=C:\\img\\1234_LastBmpLUM2_001.RAW\r\n" + acquisitionTail;
}

}  // namespace

TEST(InfoFile, EachResolution) {
  struct Row { float r; bool mire; const wchar_t* tail; };
  const Row rows[] = {
      {40.0f, false, L"Resolution=40\r\nPixelWidth=12.50\r\nPixelHeight=12.50\r\nMire=0\r\n"},
      {20.0f, false, L"Resolution=HD\r\nPixelWidth=25.00\r\nPixelHeight=25.00\r\nMire=0\r\n"},
      {15.0f, false, L"Resolution=Fast\r\nPixelWidth=33.33\r\nPixelHeight=33.33\r\nMire=0\r\n"},
      {80.0f, false, L"Resolution=80\r\nPixelWidth=6.25\r\nPixelHeight=6.25\r\nMire=0\r\n"},
      {20.0f * 1.94f, true, L"Resolution=HD\r\nPixelWidth=12.89\r\nPixelHeight=12.89\r\nMire=1\r\n"},
      {15.0f * 1.94f, true, L"Resolution=Fast\r\nPixelWidth=17.18\r\nPixelHeight=17.18\r\nMire=1\r\n"},
      {40.0f * 1.94f, true, L"Resolution=77\r\nPixelWidth=6.44\r\nPixelHeight=6.44\r\nMire=1\r\n"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(orvaq::ToUtf8(ComposeInfoText(Classic(rows[i].r, rows[i].mire))),
              orvaq::ToUtf8(Expected(rows[i].tail)))
        << "row " << i;
}

TEST(InfoFile, MireFromImageCode) {
  // Code 112 at R 20: T 1 appended to the type, Mire, R 38.8.
  const ImageCodeInfo code = DecodeImageCode(112, 20.0f);
  InfoFileContent c = Classic(code.resolution, code.mire);
  c.sensorVariant = code.sensorVariant;
  EXPECT_EQ(ComposeInfoText(c),
            Expected(L"Resolution=HD\r\nPixelWidth=12.89\r\nPixelHeight=12.89\r\nMire=1\r\n", L"LUMEQ2_1"));
}

TEST(InfoFile, BytesAreUtf16WithMark) {
  InfoFileContent c = Classic(40.0f, false);
  c.patientName = L"Zoé Lefèvre";
  const std::string bytes = EncodeInfoFile(ComposeInfoText(c));
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(uint8_t(bytes[0]), 0xFF);
  EXPECT_EQ(uint8_t(bytes[1]), 0xFE);
  EXPECT_EQ(bytes.substr(2, 6), std::string("[\0P\0A\0", 6));
  EXPECT_EQ(bytes.size() % 2, 0u);
  EXPECT_EQ(orvaq::FromUtf16Le(reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2),
            ComposeInfoText(c));
  // "é" is one UTF-16 unit, E9 00.
  EXPECT_NE(bytes.find(std::string("o\0\xE9\0", 4)), std::string::npos);
}

TEST(InfoFile, ImagingWritesNeutralFilter) {
  InfoFileContent c = Classic(20.0f, false);
  c.filter.imaging = true;
  const std::wstring t = ComposeInfoText(c);
  EXPECT_NE(t.find(L"[SENSOR]\r\nType=LUMEQ2\r\nSize=1\r\nSerial=LQ2-000123\r\nInside=no\r\n"
                   L"[FILTER]\r\nGamma=1.00\r\nLuminosity=0\r\nContrast=0\r\nFilter=0\r\nFilterLevel=0\r\n"
                   L"[ACQUISITION]\r\n"),
            std::wstring::npos);
}

TEST(InfoFile, EmptyNamesAndEmptyPlate) {
  InfoFileContent c;
  c.serial = L"S1";
  c.filter.imaging = true;  // an empty plate always carries the neutral filter
  c.width = 1000;
  c.height = 1000;
  c.file8 = L"C:\\i\\LastBmpLUM2_001.bmp";
  c.file16 = L"C:\\i\\LastBmpLUM2_001.RAW";
  c.resolution = EmptyPlateResolutionText(10);
  c.pixelSize = PixelPitchMicrons(20.0f);
  EXPECT_EQ(ComposeInfoText(c),
            L"[PATIENT]\r\nName=No patient name\r\nID=\r\n[DOCTOR]\r\nName=No doctor name\r\n"
            L"[SENSOR]\r\nType=LUMEQ2\r\nSize=\r\nSerial=S1\r\nInside=no\r\n"
            L"[FILTER]\r\nGamma=1.00\r\nLuminosity=0\r\nContrast=0\r\nFilter=0\r\nFilterLevel=0\r\n"
            L"[ACQUISITION]\r\nWidth=1000\r\nHeight=1000\r\nFile8=C:\\i\\LastBmpLUM2_001.bmp\r\n"
            L"File16=C:\\i\\LastBmpLUM2_001.RAW\r\nResolution=Full\r\nPixelWidth=25.00\r\nPixelHeight=25.00\r\n"
            L"Mire=0\r\n");
}

TEST(InfoFile, EmptyPlateResolutionTable) {
  struct Row { int q; const wchar_t* text; };
  const Row rows[] = {{0, L"SD"}, {1, L"HD"}, {2, L"Fast"}, {10, L"Full"}, {5, L"5"}, {-1, L"-1"}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(EmptyPlateResolutionText(rows[i].q), rows[i].text) << "row " << i;
}

TEST(InfoFile, GammaText) {
  InfoFileContent c = Classic(40.0f, false);
  struct Row { int g; const wchar_t* text; };
  const Row rows[] = {{85, L"Gamma=0.85\r\n"}, {200, L"Gamma=2.00\r\n"}, {34, L"Gamma=0.34\r\n"}, {105, L"Gamma=1.05\r\n"}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    c.filter.gamma = rows[i].g;
    EXPECT_NE(ComposeInfoText(c).find(rows[i].text), std::wstring::npos) << "row " << i;
  }
}

TEST(FinalNames, NumberingGoesOnPastNineHundredNinetyNine) {
  // A patient with 999 images gets a 1000th, not a lost one.
  auto upTo = [](int last) {
    return [last](const std::wstring& p) {
      const size_t u = p.rfind(L'_'), dot = p.rfind(L'.');
      return std::stoi(p.substr(u + 1, dot - u - 1)) <= last;
    };
  };
  const struct { int taken; const wchar_t* expected; } rows[] = {
      {998, L"C:\\img\\1234_LastBmpLUM2_999.bmp"},
      {999, L"C:\\img\\1234_LastBmpLUM2_1000.bmp"},
      {12345, L"C:\\img\\1234_LastBmpLUM2_12346.bmp"},
  };
  for (const auto& row : rows) {
    std::wstring path;
    ASSERT_TRUE(MakeFinalBitmapName(L"C:\\img", L"1234", upTo(row.taken), path)) << row.taken;
    EXPECT_EQ(path, row.expected) << row.taken;
  }
}

TEST(FinalNames, WithAndWithoutPatientId) {
  std::set<std::wstring> existing;
  auto exists = [&](const std::wstring& p) { return existing.count(p) != 0; };
  std::wstring path;
  ASSERT_TRUE(MakeFinalBitmapName(L"C:\\img", L"1234", exists, path));
  EXPECT_EQ(path, L"C:\\img\\1234_LastBmpLUM2_001.bmp");
  existing.insert(path);
  ASSERT_TRUE(MakeFinalBitmapName(L"C:\\img\\", L"1234", exists, path));
  EXPECT_EQ(path, L"C:\\img\\1234_LastBmpLUM2_002.bmp");
  existing.insert(path);
  ASSERT_TRUE(MakeFinalBitmapName(L"C:\\img", L"", exists, path));
  EXPECT_EQ(path, L"C:\\img\\LastBmpLUM2_001.bmp");
  existing.insert(path);
  ASSERT_TRUE(MakeFinalBitmapName(L"C:\\img", L"", exists, path));
  EXPECT_EQ(path, L"C:\\img\\LastBmpLUM2_002.bmp");
  // A gap is filled first.
  existing.erase(L"C:\\img\\1234_LastBmpLUM2_001.bmp");
  ASSERT_TRUE(MakeFinalBitmapName(L"C:\\img", L"1234", exists, path));
  EXPECT_EQ(path, L"C:\\img\\1234_LastBmpLUM2_001.bmp");
}

TEST(FinalNames, SequenceAndLimits) {
  std::set<std::wstring> existing;
  auto exists = [&](const std::wstring& p) { return existing.count(p) != 0; };
  for (int i = 1; i <= 12; ++i) {
    std::wstring path;
    ASSERT_TRUE(MakeFinalBitmapName(L"D:\\x", L"7", exists, path));
    wchar_t want[64];
    swprintf(want, 64, L"D:\\x\\7_LastBmpLUM2_%03d.bmp", i);
    EXPECT_EQ(path, want) << "acquisition " << i;
    existing.insert(path);
  }
  std::wstring path;
  EXPECT_FALSE(MakeFinalBitmapName(std::wstring(250, L'a'), L"1234", exists, path));
}

TEST(FinalNames, InfoFileRename) {
  EXPECT_EQ(FinalInfoName(L"C:\\img\\1234_LastBmpLUM2_001.NFOT"), L"C:\\img\\1234_LastBmpLUM2_001.NFO");
  EXPECT_EQ(FinalInfoName(L""), L"");
}

namespace {
ExternalRebuildArgs Args() {
  ExternalRebuildArgs a;
  a.programPath = L"C:\\Program Files\\Orvaq\\OrvaqRbld2.exe";
  a.infoPath = L"C:\\img\\LAST1A2B.NFOT";
  a.outputKind = 1;
  a.filter = 120;
  a.luminosity = -5;
  a.contrast = 10;
  a.gamma = 80;
  a.thumbX = 500;
  a.thumbY = 650;
  return a;
}
}  // namespace

TEST(ExternalRebuild, CommandLine) {
  std::wstring line;
  ASSERT_TRUE(FormatExternalRebuildCommandLine(Args(), line));
  EXPECT_EQ(line,
            L"\"C:\\Program Files\\Orvaq\\OrvaqRbld2.exe\" /rf /N:\"C:\\img\\LAST1A2B.NFOT\"    "
            L"/D:1 /F:120 /L:-5 /C:10 /G:80 /Tx:500 /Ty:650");
  ExternalRebuildArgs a = Args();
  a.imaging = true;
  a.storeIntermediateImages = true;
  a.ignoreMire = true;
  a.showPreview = true;
  a.outputKind = 0;
  ASSERT_TRUE(FormatExternalRebuildCommandLine(a, line));
  EXPECT_EQ(line,
            L"\"C:\\Program Files\\Orvaq\\OrvaqRbld2.exe\" /rb /N:\"C:\\img\\LAST1A2B.NFOT\" /I1 /P1 /PW "
            L"/D:0 /F:120 /L:-5 /C:10 /G:80 /Tx:500 /Ty:650");
  a.showPreview = false;
  a.ignoreMire = false;
  ASSERT_TRUE(FormatExternalRebuildCommandLine(a, line));
  EXPECT_NE(line.find(L"\" /I1   /D:0"), std::wstring::npos);
}

TEST(ExternalRebuild, TooLongLineIsRefused) {
  ExternalRebuildArgs a = Args();
  std::wstring line;
  a.infoPath = L"C:\\" + std::wstring(400, L'x') + L".NFOT";
  EXPECT_TRUE(FormatExternalRebuildCommandLine(a, line));
  EXPECT_LT(line.size(), kMaxCommandLine);
  a.infoPath = L"C:\\" + std::wstring(480, L'x') + L".NFOT";
  EXPECT_FALSE(FormatExternalRebuildCommandLine(a, line));
}

TEST(ExternalRebuild, OutputKind) {
  struct Row { bool twain; int denoising, depth, kind; };
  const Row rows[] = {{true, 0, 16, 1}, {true, 1, 0, 2}, {true, 7, 8, 2}, {false, 1, 8, 1},
                      {false, 0, 16, 3}, {false, 0, 0, 0}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(ExternalOutputKind(rows[i].twain, rows[i].denoising, rows[i].depth), rows[i].kind) << "row " << i;
}
