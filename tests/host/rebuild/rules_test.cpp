// OrvaqRbld2's decisions against their tables: Mode rows, buffer sizes, depth choices
// and the keys they leave in the info file, image code, filter parameters, size class
// and orientation, the derivation's capacity, results' texts and the preview geometry.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "rebuild/RebuildResults.h"
#include "rebuild/RebuildRules.h"

using namespace orvaq::rebuild;

namespace {
std::map<std::wstring, std::wstring> Keys(const std::vector<InfoKey>& keys) {
  std::map<std::wstring, std::wstring> m;
  for (const InfoKey& k : keys) m[k.section + L"/" + k.key] = k.value;
  return m;
}
std::wstring Order(const std::vector<InfoKey>& keys) {
  std::wstring s;
  for (const InfoKey& k : keys) s += k.key + L" ";
  return s;
}
}  // namespace

TEST(RebuildRules, ModeTable) {
  struct Row { int mode; bool known; float r; unsigned c; const wchar_t* picture; };
  const Row rows[] = {{2, true, 15.0f, 1400, L"EMPY_PLATE_FAST"}, {0, true, 20.0f, 2800, L"EMPY_PLATE_SD"},
                      {1, true, 40.0f, 2800, nullptr}, {3, false, 0, 0, nullptr}, {10, false, 0, 0, nullptr},
                      {-1, false, 0, 0, nullptr}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const ModeRow m = ModeTable(rows[i].mode);
    EXPECT_EQ(m.known, rows[i].known) << "row " << i;
    EXPECT_EQ(m.resolution, rows[i].r) << "row " << i;
    EXPECT_EQ(m.samples, rows[i].c) << "row " << i;
    EXPECT_EQ(m.emptyPlatePicture ? std::wstring(m.emptyPlatePicture) : L"-",
              rows[i].picture ? std::wstring(rows[i].picture) : L"-") << "row " << i;
  }
}

TEST(RebuildRules, BuffersFromTheRawFile) {
  struct Row { uint64_t size; int mode; uint16_t w, h; };
  const Row rows[] = {{36 + 960ull * 5648, 0, 5600, 3840}, {36 + 10ull * 2848 + 100, 2, 2800, 40},
                      {20, 0, 5600, 0}, {36 + 10ull * 5648, 3, 0, 0}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const auto b = SizeBuffers(rows[i].size, rows[i].mode);
    EXPECT_EQ(b.width, rows[i].w) << "row " << i;
    EXPECT_EQ(b.height, rows[i].h) << "row " << i;
  }
}

TEST(RebuildRules, DepthChoicesAndTheirKeys) {
  // depth -> what the correction gets, and File16 / RAWWidth / RAWHeight afterwards.
  struct Row { int depth; bool pass8, pass16, derive8, keep16; const wchar_t* file16; const wchar_t* rw; };
  const Row rows[] = {
      {0, true, true, false, true, L"Z:\\i\\x.raw", L"880"},
      {1, true, false, false, false, L"", L"0"},
      {2, false, true, true, false, L"", L"0"},
      {3, false, true, true, true, L"Z:\\i\\x.raw", L"880"},
      {7, true, true, false, true, L"Z:\\i\\x.raw", L"880"},  // unknown values act as 0
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const DepthPlan p = PlanForDepth(rows[i].depth);
    EXPECT_EQ(p.pass8, rows[i].pass8) << "row " << i;
    EXPECT_EQ(p.pass16, rows[i].pass16) << "row " << i;
    EXPECT_EQ(p.derive8, rows[i].derive8) << "row " << i;
    EXPECT_EQ(p.keep16, rows[i].keep16) << "row " << i;
    MainPathRecord r;
    r.raw16 = p.keep16 ? Raw16Outcome::Written : Raw16Outcome::NoImage;
    r.rawPath = L"Z:\\i\\x.raw";
    r.rawWidth = 880;
    r.rawHeight = 1400;
    r.resolution = 20.0f;
    auto k = Keys(MainPathKeys(r));
    EXPECT_EQ(k[L"ACQUISITION/File16"], rows[i].file16) << "row " << i;
    EXPECT_EQ(k[L"ACQUISITION/RAWWidth"], rows[i].rw) << "row " << i;
    EXPECT_EQ(k[L"ACQUISITION/RAWHeight"], p.keep16 ? L"1400" : L"0") << "row " << i;
  }
}

TEST(RebuildRules, MainPathKeysInOrderAndTheRawOutcomes) {
  MainPathRecord r;
  r.sizeClass = -1;
  r.resolution = 40.0f;
  r.width = 10;
  r.height = 20;
  r.bmpPath = L"b";
  r.binPath = L"n";
  r.rawPath = L"w";
  r.rawWidth = 10;
  r.rawHeight = 20;
  struct Row { Raw16Outcome o; const wchar_t* order; };
  const Row rows[] = {
      {Raw16Outcome::Written,
       L"Size Resolution Width Height File8 FileBIN File16 RAWWidth RAWHeight PixelWidth PixelHeight Mire "},
      {Raw16Outcome::Short, L"Size Resolution Width Height File8 FileBIN RAWWidth RAWHeight PixelWidth PixelHeight Mire "},
      {Raw16Outcome::NotCreated, L"Size Resolution Width Height File8 FileBIN PixelWidth PixelHeight Mire "},
      {Raw16Outcome::NoImage,
       L"Size Resolution Width Height File8 FileBIN File16 RAWWidth RAWHeight PixelWidth PixelHeight Mire "},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    r.raw16 = rows[i].o;
    EXPECT_EQ(Order(MainPathKeys(r)), rows[i].order) << "row " << i;
  }
  auto k = Keys(MainPathKeys(r));
  EXPECT_EQ(k[L"SENSOR/Size"], L"");
  EXPECT_EQ(k[L"ACQUISITION/Resolution"], L"40");
  EXPECT_EQ(k[L"ACQUISITION/PixelWidth"], L"12.50");
}

TEST(RebuildRules, ImageCodeReachesResolutionFiltersAndKeys) {
  struct Row {
    uint16_t code; float r; int filter;
    const wchar_t* resolution; const wchar_t* pitch; const wchar_t* mire;
    uint16_t code8; bool filters16; uint16_t code16; uint16_t iterations8; double strength8; double strength16;
  };
  const Row rows[] = {
      {112, 20.0f, 150, L"HD", L"12.89", L"1", 112, true, 2, 50, 0.27, 0.27},
      {2, 15.0f, 100, L"Fast", L"33.33", L"0", 2, false, 2, 50, 0.22, 0.22},
      {12, 15.0f, 99, L"Fast", L"17.18", L"1", 12, false, 2, 5, 0.4, 0.219},
      {0, 20.0f, 0, L"HD", L"25.00", L"0", 0, false, 0, 5, 0.4, 0.12},
      {201, 40.0f, 101, L"40", L"12.50", L"0", 201, true, 1, 50, 0.221, 0.221},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const auto d = DecodeImageCode(rows[i].code, rows[i].r);
    const FilterParams p8 = FilterParams8(rows[i].filter, d);
    EXPECT_EQ(p8.imageCode, rows[i].code8) << "row " << i;
    EXPECT_EQ(p8.iterations, rows[i].iterations8) << "row " << i;
    EXPECT_NEAR(p8.strength, rows[i].strength8, 1e-9) << "row " << i;
    EXPECT_EQ(p8.strong, rows[i].filter >= 100 ? 1 : 0) << "row " << i;
    EXPECT_EQ(Filters16(rows[i].filter), rows[i].filters16) << "row " << i;
    const FilterParams p16 = FilterParams16(rows[i].filter, d);
    EXPECT_EQ(p16.imageCode, rows[i].code16) << "row " << i;
    EXPECT_EQ(p16.iterations, 50) << "row " << i;
    EXPECT_EQ(p16.strong, 1) << "row " << i;
    EXPECT_NEAR(p16.strength, rows[i].strength16, 1e-9) << "row " << i;
    MainPathRecord r;
    r.resolution = d.resolution;
    r.mire = d.mire;
    auto k = Keys(MainPathKeys(r));
    EXPECT_EQ(k[L"ACQUISITION/Resolution"], rows[i].resolution) << "row " << i;
    EXPECT_EQ(k[L"ACQUISITION/PixelWidth"], rows[i].pitch) << "row " << i;
    EXPECT_EQ(k[L"ACQUISITION/PixelHeight"], rows[i].pitch) << "row " << i;
    EXPECT_EQ(k[L"ACQUISITION/Mire"], rows[i].mire) << "row " << i;
  }
}

TEST(RebuildRules, SizeClassesAndOrientation) {
  struct Row { int w, h; float r; int size; bool turns; };
  const Row rows[] = {
      {880, 1400, 20.0f, 0, false},    // 22 x 35 mm
      {1400, 880, 20.0f, 0, false},
      {1240, 1640, 20.0f, 2, true},    // 31 x 41 mm
      {960, 1600, 20.0f, 1, false},    // 24 x 40
      {1620, 3240, 30.0f, 3, true},    // 27 x 54
      {800, 1400, 20.0f, 0, false},    // 20 x 35: the class's lower edges count
      {700, 1400, 20.0f, -1, false},   // 17 x 35
      {0, 0, 20.0f, -1, false},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const int s = SizeClass(rows[i].w, rows[i].h, rows[i].r);
    EXPECT_EQ(s, rows[i].size) << "row " << i;
    EXPECT_EQ(TurnsClockwise(s), rows[i].turns) << "row " << i;
  }
}

TEST(RebuildRules, DerivationStaysWithinTheBuffer) {
  const uint16_t samples[4] = {0x0000, 0x01FF, 0xFF00, 0x8080};
  uint8_t out[4] = {9, 9, 9, 9};
  ASSERT_TRUE(DeriveHighBytes(samples, 4, out, 4));
  EXPECT_EQ(out[0], 0x00);
  EXPECT_EQ(out[1], 0x01);
  EXPECT_EQ(out[2], 0xFF);
  EXPECT_EQ(out[3], 0x80);
  uint8_t small[3] = {7, 7, 7};
  EXPECT_FALSE(DeriveHighBytes(samples, 4, small, 3));
  EXPECT_EQ(small[0], 7);
}

TEST(RebuildRules, EmptyPlateKeys) {
  for (bool fast : {true, false}) {
    EmptyPlateRecord r{fast, 500, 400, L"Z:\\a.bmp", L"Z:\\a.raw"};
    const auto keys = EmptyPlateKeys(r);
    EXPECT_EQ(Order(keys), L"Size Resolution Width Height File8 File16 PixelWidth PixelHeight Mire ");
    auto k = Keys(keys);
    EXPECT_EQ(k[L"ACQUISITION/Resolution"], fast ? L"Fast" : L"HD");
    EXPECT_EQ(k[L"ACQUISITION/PixelWidth"], fast ? L"33.33" : L"25.00");
    EXPECT_EQ(k[L"ACQUISITION/Width"], L"500");
    EXPECT_EQ(k[L"ACQUISITION/File16"], L"Z:\\a.raw");
    EXPECT_EQ(EmptyPlateDotsPerInch(fast), fast ? 762.0f : 1016.0f);
  }
}

TEST(RebuildRules, FileNamesBesideTheInfoFile) {
  const std::wstring info = L"Z:\\img\\LAST1A.NFOT";
  EXPECT_EQ(BitmapPathFor(info), L"Z:\\img\\LAST1A.bmp");
  EXPECT_EQ(FinalInfoPath(info), L"Z:\\img\\LAST1A.NFO");
  EXPECT_EQ(IntermediateFolderFor(info), L"Z:\\img\\LASTACQP2");
  EXPECT_EQ(ThumbnailFileFor(info), L"Z:\\img\\LASTACQP2.BIN.bmp");
}

TEST(RebuildResults, BoxTexts) {
  struct Row { RebuildResult r; const wchar_t* op; bool system; uint32_t error; };
  const Row rows[] = {
      {kResultLoadLibrary, L"LoadLibrary", true, 0},
      {kResultNoInfoPath, L"invalid /N:", false, 160},
      {kResultNoMode, L"invalid mode", false, 160},
      {kResultNoInfoFile, nullptr, true, 0},
      {kResultFilter8, L"ApplyLUMEQ2FilterX0X3", false, 1287},
      {kResultShortHeader, L"ReadFile size", false, 30},
      {kResultUnknownMode, L"Br1Header.Mode", false, 24},
      {kResultNoMemory16, L"calloc BufferFinal16.pBuffer", false, 8},
      {kResultNoEmptyPlatePicture, L"Resolution of white image", false, 30},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const FailureText f = FailureFor(rows[i].r);
    EXPECT_EQ(f.operation ? std::wstring(f.operation) : L"-", rows[i].op ? std::wstring(rows[i].op) : L"-") << "row " << i;
    EXPECT_EQ(f.useSystemError, rows[i].system) << "row " << i;
    EXPECT_EQ(f.error, rows[i].error) << "row " << i;
  }
  EXPECT_EQ(FormatFailure(L"invalid mode", 160, L"Bad arguments."), L"invalid mode failed with error 160 : Bad arguments.");
}

TEST(RebuildPreview, PictureRectKeepsTheAspectAndCentres) {
  struct Row { int aw, ah, pw, ph; int l, t, w, h; };
  const Row rows[] = {
      {614, 438, 1400, 880, 0, 26, 614, 386},   // wide picture: full width, bands top and bottom
      {614, 438, 880, 1400, 169, 0, 275, 438},  // tall picture: full height, bands left and right
      {100, 100, 50, 50, 0, 0, 100, 100},
      {0, 100, 50, 50, 0, 0, 0, 0},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const DrawRect r = PreviewPictureRect(rows[i].aw, rows[i].ah, rows[i].pw, rows[i].ph);
    EXPECT_EQ(r.left, rows[i].l) << "row " << i;
    EXPECT_EQ(r.top, rows[i].t) << "row " << i;
    EXPECT_EQ(r.width, rows[i].w) << "row " << i;
    EXPECT_EQ(r.height, rows[i].h) << "row " << i;
  }
}

TEST(RebuildPreview, ButtonsSitSixtyFourApartOnOneBottomEdge) {
  for (int i = 0; i < 4; ++i) {
    const DrawRect r = PreviewButtonRect(i, 11, 450);
    EXPECT_EQ(r.left, 11 + 64 * i);
    EXPECT_EQ(r.top + r.height, 450);
    EXPECT_EQ(r.width, 52);
    EXPECT_EQ(r.height, 52);
  }
  EXPECT_EQ(kPreviewButtons[1], 1004);
}
