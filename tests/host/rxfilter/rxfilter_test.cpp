// Reference filter library on simulated plates: sizes, Modes, image codes, empty and
// damaged files, multi-plate parts and their composition, through the entry points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/RawFormat.h"
#include "common/Text.h"
#include "rxfilter/Correction.h"
#include "rxfilter/MultiPlate.h"
#include "rxfilter/RXFilter.h"
#include "rxfilter/RawReader.h"
#include "simulator/Plates.h"

namespace fs = std::filesystem;
using namespace orvaq;

namespace {

fs::path TempDir() {
  fs::path p = fs::temp_directory_path() / ("rxfilter_test_" + std::to_string(::getpid()));
  fs::create_directories(p);
  return p;
}

std::wstring WriteTemp(const std::vector<uint8_t>& bytes, const std::string& name) {
  fs::path p = TempDir() / name;
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return FromUtf8(p.string());
}

sim::Plate MakePlate(int size, unsigned mode, sim::PlateKind kind = sim::PlateKind::Phantom, double noise = 1.0,
                     int part = 0, int parts = 0) {
  sim::PlateOrder plateOrder;
  plateOrder.size = size;
  plateOrder.mode = mode;
  plateOrder.kind = kind;
  plateOrder.noise = noise;
  plateOrder.partNumber = part;
  plateOrder.partCount = parts;
  plateOrder.wantIdeal = false;
  sim::Plate p;
  EXPECT_TRUE(sim::BuildPlate(plateOrder, p));
  return p;
}

CorrectionParams DefaultParams(unsigned mode) {
  CorrectionParams c{};
  c.version = 4;
  c.nWorkBufferSize = 1024;
  c.HorizontalCorrection = 1;
  c.HorizontalCorrectionFactor = 0.016;
  c.HorizontalEpsilonCorrection = 0.1f;
  c.ImageCode = uint16_t(mode);
  c.ValeurEtirement = 57000;
  return c;
}

// Buffers sized as the programs size them: 2c x 4n.
struct Buffers {
  std::vector<uint8_t> px8;
  std::vector<uint16_t> px16;
  BufferFinal b8{};
  BufferFinal16 b16{};
  explicit Buffers(const sim::Plate& p) {
    const unsigned w = 2 * p.samplesPerLine, h = 4 * p.lineCount;
    px8.assign(size_t(w) * h, 0);
    px16.assign(size_t(w) * h, 0);
    b8 = BufferFinal{RXF_TAG_8, uint16_t(w), uint16_t(h), px8.data()};
    b16 = BufferFinal16{RXF_TAG_16, uint16_t(w), uint16_t(h), px16.data()};
  }
};

// The raw file with every line's checksum recomputed (after a test changed samples).
void FixChecksums(std::vector<uint8_t>& raw, unsigned L) {
  for (size_t off = raw::kHeaderSize; off + L <= raw.size(); off += L) {
    uint32_t sum = 0;
    for (size_t i = raw::kSamplesOffset; i + raw::kPrevLineFromEnd < L; i += 2) sum += raw[off + i] | (raw[off + i + 1] << 8);
    uint8_t* c = &raw[off + L - raw::kChecksumFromEnd];
    c[0] = uint8_t(sum); c[1] = uint8_t(sum >> 8); c[2] = uint8_t(sum >> 16); c[3] = uint8_t(sum >> 24);
  }
}

// Removes this run's temporary folder at the end.
struct TempCleanup : ::testing::Environment {
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(TempDir(), ec);
  }
};
const auto* const kCleanup = ::testing::AddGlobalTestEnvironment(new TempCleanup);

}  // namespace

TEST(RXFilterRecords, LayoutMatchesTheLibraryInterface) {
  EXPECT_EQ(sizeof(FilterParams), 24u);
  EXPECT_EQ(offsetof(FilterParams, strength), 8u);
  EXPECT_EQ(offsetof(FilterParams, imageCode), 20u);
  EXPECT_EQ(offsetof(BufferFinal, pBuffer), 8u);
  EXPECT_EQ(RXF_TAG_8, uint32_t('B') | uint32_t('*') << 8 | uint32_t('*') << 16 | uint32_t('8') << 24);
}

// Every size at every Mode: the size within one pixel of the plate at 2R px/mm and the
// size class as the plate code.
TEST(RXFilterCorrection, EverySizeAndMode) {
  const unsigned modes[] = {0, 1, 2, 10};
  int row = 0;
  for (unsigned mode : modes)
    for (int size = 0; size <= 3; ++size, ++row) {
      sim::Plate p = MakePlate(size, mode);
      orvaq::rxf::RawScan scan;
      ASSERT_EQ(orvaq::rxf::ReadRaw(p.raw.data(), p.raw.size(), scan), orvaq::rxf::RawError::None) << "row " << row;
      orvaq::rxf::PlateImage img;
      ASSERT_TRUE(orvaq::rxf::Reconstruct(scan, orvaq::rxf::CorrectionSettings(), img)) << "row " << row;
      const sim::PlateSizeMm mm = sim::PlateSize(size);
      const double px = 2 * p.resolution;
      EXPECT_NEAR(img.width, mm.shortSide * px, 1.0) << "row " << row;
      EXPECT_NEAR(img.height, mm.longSide * px, 1.0) << "row " << row;
      EXPECT_EQ(img.imageCode, unsigned(size)) << "row " << row;
    }
}

TEST(RXFilterCorrection, EntryPointGivesImageAndCode) {
  sim::Plate p = MakePlate(1, 0);
  const std::wstring path = WriteTemp(p.raw, "plate.bin");
  Buffers b(p);
  CorrectionParams cp = DefaultParams(0);
  ASSERT_EQ(LUMEQ2FullCorrection8_16(path.c_str(), &b.b8, &b.b16, &cp), RXF_OK);
  EXPECT_EQ(b.b8.width, 960);
  EXPECT_EQ(b.b8.height, 1600);
  EXPECT_EQ(b.b16.width, 960);
  EXPECT_EQ(cp.ImageCode, 1);
  // The 8-bit image is the 16-bit one's high byte; unexposed (dark) is bright.
  for (size_t i = 0; i < size_t(b.b8.width) * b.b8.height; i += 997) ASSERT_EQ(b.px8[i], b.px16[i] >> 8) << i;
  Buffers c(p);
  ASSERT_EQ(LUMEQ2FullCorrection(path.c_str(), &c.b8, &cp), RXF_OK);
  EXPECT_EQ(c.px8, b.px8);
}

// Without noise and line correction every pixel is the stretched, inverted mean of the
// 2 x 2 ideal pixels its sample covers: less exposure brighter.
TEST(RXFilterCorrection, PixelsFollowTheIdealImage) {
  sim::PlateOrder plateOrder;
  plateOrder.size = 0;
  plateOrder.mode = 2;
  plateOrder.noise = 0;
  sim::Plate p;
  ASSERT_TRUE(sim::BuildPlate(plateOrder, p));
  orvaq::rxf::RawScan scan;
  ASSERT_EQ(orvaq::rxf::ReadRaw(p.raw.data(), p.raw.size(), scan), orvaq::rxf::RawError::None);
  orvaq::rxf::CorrectionSettings cs;
  cs.horizontal = false;
  orvaq::rxf::PlateImage img;
  ASSERT_TRUE(orvaq::rxf::Reconstruct(scan, cs, img));
  ASSERT_EQ(img.width, p.ideal.width);
  ASSERT_EQ(img.height, p.ideal.height);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      const int bx = x & ~1, by = y & ~1;
      const double mean = (double(p.ideal.At(bx, by)) + p.ideal.At(bx + 1, by) + p.ideal.At(bx, by + 1) +
                           p.ideal.At(bx + 1, by + 1)) / 4.0;
      const double sample = std::floor(mean + 0.5);
      const long want = 65535 - std::clamp(std::lround((sample - 1200) * 65535.0 / (57000 - 1200)), 0L, 65535L);
      ASSERT_EQ(img.pixels[size_t(y) * img.width + x], want) << x << "," << y;
    }
}

TEST(RXFilterCorrection, ImageCodeRows) {
  struct Row { sim::PlateKind kind; int variant; unsigned ignoreMire; int size; unsigned code; };
  const Row rows[] = {
      {sim::PlateKind::Phantom, 0, 0, 2, 2},     {sim::PlateKind::TestPattern, 0, 0, 2, 12},
      {sim::PlateKind::TestPattern, 0, 1, 2, 2}, {sim::PlateKind::Phantom, 1, 0, 3, 103},
      {sim::PlateKind::TestPattern, 2, 0, 0, 210},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    sim::PlateOrder plateOrder;
    plateOrder.size = rows[i].size;
    plateOrder.mode = 2;
    plateOrder.kind = rows[i].kind;
    plateOrder.sensorVariant = rows[i].variant;
    plateOrder.wantIdeal = false;
    sim::Plate p;
    ASSERT_TRUE(sim::BuildPlate(plateOrder, p));
    Buffers b(p);
    CorrectionParams cp = DefaultParams(2);
    cp.IgnoreMire = rows[i].ignoreMire;
    const std::wstring path = WriteTemp(p.raw, "code.bin");
    ASSERT_EQ(LUMEQ2FullCorrection(path.c_str(), &b.b8, &cp), RXF_OK) << "row " << i;
    EXPECT_EQ(cp.ImageCode, rows[i].code) << "row " << i;
  }
}

TEST(RXFilterCorrection, EmptyPlateIsNoImage) {
  sim::Plate p = MakePlate(1, 0, sim::PlateKind::Empty);
  Buffers b(p);
  CorrectionParams cp = DefaultParams(0);
  const std::wstring path = WriteTemp(p.raw, "empty.bin");
  EXPECT_EQ(LUMEQ2FullCorrection8_16(path.c_str(), &b.b8, &b.b16, &cp), RXF_EMPTY_PLATE);
  EXPECT_EQ(b.b8.width, 0);
  EXPECT_EQ(b.b8.height, 0);
  EXPECT_EQ(b.b16.width, 0);
  // A scan with no plate at all: dark everywhere.
  std::vector<uint8_t> dark = p.raw;
  const unsigned L = p.lineSize;
  for (size_t off = raw::kHeaderSize; off < dark.size(); off += L)
    for (size_t i = raw::kSamplesOffset; i + raw::kPrevLineFromEnd < L; i += 2) { dark[off + i] = 1200 & 0xFF; dark[off + i + 1] = 1200 >> 8; }
  FixChecksums(dark, L);
  Buffers d(p);
  EXPECT_EQ(LUMEQ2FullCorrection(WriteTemp(dark, "dark.bin").c_str(), &d.b8, &cp), RXF_EMPTY_PLATE);
}

TEST(RXFilterCorrection, DamagedFilesGiveErrors) {
  sim::Plate p = MakePlate(0, 2);
  const unsigned L = p.lineSize;
  struct Row { const char* what; std::vector<uint8_t> bytes; int result; };
  std::vector<Row> rows;
  auto damaged = [&](const char* what, auto change, int result) {
    std::vector<uint8_t> b = p.raw;
    change(b);
    rows.push_back({what, b, result});
  };
  damaged("truncated mid-line", [](std::vector<uint8_t>& b) { b.resize(b.size() - 100); }, RXF_DAMAGED_RAW);
  damaged("header only", [](std::vector<uint8_t>& b) { b.resize(36); }, RXF_DAMAGED_RAW);
  damaged("20 bytes", [](std::vector<uint8_t>& b) { b.resize(20); }, RXF_DAMAGED_RAW);
  damaged("Mode 3", [](std::vector<uint8_t>& b) { b[4] = 3; }, RXF_DAMAGED_RAW);
  damaged("Mode 0 with fast lines", [](std::vector<uint8_t>& b) { b[4] = 0; }, RXF_DAMAGED_RAW);
  damaged("samples field", [](std::vector<uint8_t>& b) { b[16] = 0xFF; b[17] = 0xFF; }, RXF_DAMAGED_RAW);
  damaged("signature", [](std::vector<uint8_t>& b) { b[0] = 'X'; }, RXF_DAMAGED_RAW);
  damaged("previous line", [L](std::vector<uint8_t>& b) { sim::CorruptPreviousLineNumber(b, L, 5, 77); }, RXF_DAMAGED_RAW);
  damaged("own line number", [L](std::vector<uint8_t>& b) { b[36 + 7 * L] ^= 1; }, RXF_DAMAGED_RAW);
  damaged("sample changed", [L](std::vector<uint8_t>& b) { b[36 + 9 * L + 100] ^= 0x10; }, RXF_DAMAGED_RAW);
  damaged("line count huge", [](std::vector<uint8_t>& b) { b[12] = b[13] = b[14] = b[15] = 0xFF; }, RXF_OK);
  for (size_t i = 0; i < rows.size(); ++i) {
    Buffers b(p);
    CorrectionParams cp = DefaultParams(2);
    EXPECT_EQ(LUMEQ2FullCorrection8_16(WriteTemp(rows[i].bytes, "bad.bin").c_str(), &b.b8, &b.b16, &cp), rows[i].result)
        << "row " << i << " " << rows[i].what;
    if (rows[i].result != RXF_OK) {
      EXPECT_EQ(b.b8.width, 0) << "row " << i;
    }
  }
  Buffers b(p);
  CorrectionParams cp = DefaultParams(2);
  EXPECT_EQ(LUMEQ2FullCorrection((TempDir() / "missing.bin").wstring().c_str(), &b.b8, &cp), RXF_CANNOT_READ);
  EXPECT_EQ(LUMEQ2FullCorrection(nullptr, &b.b8, &cp), RXF_BAD_ARGUMENT);
  b.b8.width = 10;  // capacity far too small
  EXPECT_EQ(LUMEQ2FullCorrection(WriteTemp(p.raw, "ok.bin").c_str(), &b.b8, &cp), RXF_BUFFER_TOO_SMALL);
}

TEST(RXFilterCorrection, TooManyLinesForSixteenBits) {
  std::vector<uint8_t> raw(36 + size_t(orvaq::rxf::kMaxLines + 1) * 2848, 0);
  raw[0] = 0x42; raw[1] = 0x31; raw[2] = 1; raw[4] = 2;
  raw[16] = 1400 & 0xFF; raw[17] = 1400 >> 8; raw[18] = 16;
  orvaq::rxf::RawScan s;
  EXPECT_EQ(orvaq::rxf::ReadRaw(raw.data(), raw.size(), s), orvaq::rxf::RawError::TooManyLines);
}

// A line read with 1 % too much gain is put back in line with its neighbours.
TEST(RXFilterCorrection, HorizontalCorrectionRemovesALineGain) {
  sim::PlateOrder plateOrder;
  plateOrder.size = 0;
  plateOrder.mode = 2;
  plateOrder.noise = 0;
  plateOrder.wantIdeal = false;
  sim::Plate p;
  ASSERT_TRUE(sim::BuildPlate(plateOrder, p));
  const unsigned line = p.plateFirstLine + 200;
  uint8_t* rec = &p.raw[36 + size_t(line) * p.lineSize];
  for (unsigned s = 0; s < p.samplesPerLine; ++s) {
    uint8_t* b = rec + 16 + 2 * s;
    const double v = b[0] | (b[1] << 8);
    const unsigned nv = unsigned(std::lround((v - 1200) * 1.01 + 1200));
    b[0] = uint8_t(nv); b[1] = uint8_t(nv >> 8);
  }
  FixChecksums(p.raw, p.lineSize);
  orvaq::rxf::RawScan scan;
  ASSERT_EQ(orvaq::rxf::ReadRaw(p.raw.data(), p.raw.size(), scan), orvaq::rxf::RawError::None);
  auto rowError = [&](bool correct) {
    orvaq::rxf::CorrectionSettings cs;
    cs.horizontal = correct;
    orvaq::rxf::PlateImage img;
    EXPECT_TRUE(orvaq::rxf::Reconstruct(scan, cs, img));
    const int y = int(2 * (line - p.plateFirstLine));
    double err = 0;
    for (int x = 0; x < img.width; ++x) {
      const double a = img.pixels[size_t(y) * img.width + x];
      const double ref = 0.5 * (img.pixels[size_t(y - 2) * img.width + x] + img.pixels[size_t(y + 2) * img.width + x]);
      err += std::fabs(a - ref);
    }
    return err / img.width;
  };
  const double before = rowError(false), after = rowError(true);
  EXPECT_GT(before, 100.0);
  EXPECT_LT(after, before / 4);
}

TEST(RXFilterCorrection, IntermediateImagesAreStored) {
  sim::Plate p = MakePlate(0, 2);
  Buffers b(p);
  CorrectionParams cp = DefaultParams(2);
  const fs::path folder = TempDir() / "LASTACQP2";
  fs::create_directories(folder);
  std::string folderText = folder.string();
  cp.StoreIntermediateImages = 1;
  cp.pIntermediateFolder = &folderText[0];
  ASSERT_EQ(LUMEQ2FullCorrection(WriteTemp(p.raw, "inter.bin").c_str(), &b.b8, &cp), RXF_OK);
  for (const char* name : {"1_raw.bmp", "2_corrected.bmp", "3_result.bmp"}) {
    ASSERT_TRUE(fs::exists(folder / name)) << name;
    EXPECT_GT(fs::file_size(folder / name), 1078u) << name;
  }
}

TEST(RXFilterMultiPlate, PartsAreDetectedWithPreviewAndTag) {
  sim::Plate part = MakePlate(0, 2, sim::PlateKind::MultiPart, 1.0, 2, 3);
  sim::Plate single = MakePlate(0, 2);
  std::vector<uint8_t> prev(150000);
  Buffers b(part);
  BufferFinal pv{RXF_TAG_8, 300, 500, prev.data()};
  std::vector<uint16_t> second(b.px16.size());
  BufferFinal16 s2{RXF_TAG_16, b.b16.width, b.b16.height, second.data()};
  CorrectionParams cp = DefaultParams(2);
  EXPECT_EQ(LUMEQ2_IsImageT3(WriteTemp(single.raw, "single.bin").c_str(), &pv, &b.b16, &s2, &cp), 0);
  ASSERT_NE(LUMEQ2_IsImageT3(WriteTemp(part.raw, "part.bin").c_str(), &pv, &b.b16, &s2, &cp), 0);
  EXPECT_EQ(s2.width, 660);
  EXPECT_EQ(s2.height, 1050);
  EXPECT_EQ(pv.width, 300);
  EXPECT_LE(pv.height, 500);
  orvaq::rxf::PartInfo info;
  ASSERT_TRUE(orvaq::rxf::DecodePartTag(s2.tag, info));
  EXPECT_EQ(info.number, 2u);
  EXPECT_EQ(info.count, 3u);
}

// The advice for every order of three parts and both orders of two.
TEST(RXFilterMultiPlate, ArrangementAdviceRows) {
  struct Row { std::vector<unsigned> numbers; uint32_t flags; };
  const Row rows[] = {{{1, 2}, 1u << 0},        {{2, 1}, 1u << 1},        {{1, 2, 3}, 1u << 4},
                      {{1, 3, 2}, 1u << 5},     {{2, 1, 3}, 1u << 6},     {{3, 1, 2}, 1u << 7},
                      {{3, 2, 1}, 1u << 8},     {{2, 3, 1}, 1u << 9},     {{1, 1}, 0}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    std::vector<orvaq::rxf::Part> parts;
    for (unsigned n : rows[i].numbers) {
      orvaq::rxf::Part p;
      p.known = true;
      p.info = {n, unsigned(rows[i].numbers.size()), 0};
      parts.push_back(p);
    }
    EXPECT_EQ(orvaq::rxf::ArrangementAdvice(parts), rows[i].flags) << "row " << i;
    // Carrying out the advice's exchanges puts the parts in order.
    std::vector<unsigned> n = rows[i].numbers;
    const uint32_t f = rows[i].flags;
    auto x = [&](int a, int b) { std::swap(n[a - 1], n[b - 1]); };
    if (f & 2) x(1, 2);
    if (f & (1u << 5)) x(2, 3);
    if (f & (1u << 6)) x(1, 2);
    if (f & (1u << 7)) { x(1, 2); x(2, 3); }
    if (f & (1u << 8)) { x(2, 3); x(1, 2); x(2, 3); }
    if (f & (1u << 9)) { x(2, 3); x(1, 2); }
    if (f) {
      for (size_t k = 0; k < n.size(); ++k) EXPECT_EQ(n[k], k + 1) << "row " << i;
    }
  }
  std::vector<orvaq::rxf::Part> turned(2);
  turned[0].known = turned[1].known = true;
  turned[0].info = {1, 2, 0};
  turned[1].info = {2, 2, 1};
  EXPECT_EQ(orvaq::rxf::ArrangementAdvice(turned), (1u << 0) | (1u << 17));
}

TEST(RXFilterMultiPlate, ComposeHonoursOrientation) {
  orvaq::rxf::Part a, b;
  a.width = 2; a.height = 3; a.pixels = {1, 2, 3, 4, 5, 6};
  b.width = 2; b.height = 3; b.pixels = {7, 8, 9, 10, 11, 12};
  int w, h;
  std::vector<uint16_t> px;
  ASSERT_TRUE(orvaq::rxf::ComposeParts({a, b}, 0x1 | 0x1000 | 0x10000, 12, w, h, px));
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 3);
  EXPECT_EQ(px, (std::vector<uint16_t>{1, 2, 7, 8, 3, 4, 9, 10, 5, 6, 11, 12}));
  // Both turned clockwise: each becomes 3 x 2 and they are stacked.
  ASSERT_TRUE(orvaq::rxf::ComposeParts({a, b}, 0x1 | 0x2000 | 0x20000, 12, w, h, px));
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(px, (std::vector<uint16_t>{5, 3, 1, 6, 4, 2, 11, 9, 7, 12, 10, 8}));
  EXPECT_FALSE(orvaq::rxf::ComposeParts({a, b}, 0x1, 11, w, h, px));
}

// Two real parts through the entry points compose into the set's picture.
TEST(RXFilterMultiPlate, TwoPartsComposeThroughEntryPoints) {
  std::vector<std::vector<uint16_t>> store;
  std::vector<BufferFinal16> recs;
  int W = 0, H = 0;
  for (int part : {2, 1}) {
    sim::Plate p = MakePlate(0, 2, sim::PlateKind::MultiPart, 1.0, part, 2);
    std::vector<uint8_t> prev(150000);
    BufferFinal pv{RXF_TAG_8, 300, 500, prev.data()};
    Buffers b(p);
    store.emplace_back(b.px16.size());
    BufferFinal16 s2{RXF_TAG_16, b.b16.width, b.b16.height, store.back().data()};
    CorrectionParams cp = DefaultParams(2);
    ASSERT_NE(LUMEQ2_IsImageT3(WriteTemp(p.raw, "p.bin").c_str(), &pv, &b.b16, &s2, &cp), 0);
    recs.push_back(s2);
  }
  LUMEQ2_End_T3();
  for (BufferFinal16& r : recs) LUMEQ2_Add_T3(&r);
  EXPECT_EQ(LUMEQ2_Precalculate_T4(), 1u << 1);
  LUMEQ2_End_T3();
  // Exchange as advised, then compose.
  std::swap(recs[0], recs[1]);
  for (BufferFinal16& r : recs) { LUMEQ2_Add_T3(&r); W += r.width; H = std::max<int>(H, r.height); }
  std::vector<uint16_t> out16(size_t(W) * H);
  std::vector<uint8_t> out8(size_t(W) * H);
  BufferFinal o8{RXF_TAG_8, uint16_t(W), uint16_t(H), out8.data()};
  BufferFinal16 o16{RXF_TAG_16, uint16_t(W), uint16_t(H), out16.data()};
  LUMEQ2_Calculate_T4(&o8, &o16, 0x1 | 0x1000 | 0x10000);
  ASSERT_EQ(o16.width, W);
  ASSERT_EQ(o16.height, H);
  // The left half is part 1: its first row equals part 1's first row.
  for (int x = 0; x < recs[0].width; ++x) ASSERT_EQ(out16[x], recs[0].pBuffer[x]) << x;
  for (int x = 0; x < recs[1].width; ++x) ASSERT_EQ(out16[recs[0].width + x], recs[1].pBuffer[x]) << x;
  EXPECT_EQ(LUMEQ2_Precalculate_T4(), 0u);  // the list was emptied
}
