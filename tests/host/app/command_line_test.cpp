// The command-line options: matching rules, argument readers, clamps, the hand-over
// rules (values kept when absent, flags only set) and the one-shot jobs.
#include <gtest/gtest.h>

#include <functional>

#include "command_line/CommandLine.h"
#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "tests/host/settings/fake_system.h"

namespace {

const wchar_t kIni[] = L"C:\\users\\doc\\AppData\\Local\\Orvaq\\Orvaq.INI";

class FakeJobs : public IOneShotJobs {
 public:
  std::vector<ImageJobRequest> images;
  std::vector<RawStripRequest> strips;
  void RunImageJob(const ImageJobRequest& r) override { images.push_back(r); }
  void RunRawStrip(const RawStripRequest& r) override { strips.push_back(r); }
};

struct Fixture {
  FakeSystem sys;
  CKvMemoryProfile profile;
  CKvParameters params{profile, sys};
  FakeJobs jobs;
  bool Parse(const std::wstring& line) { return ParseCommandLine(line, params, jobs); }
};

TEST(CommandLineReaders, Table) {
  struct IntRow { const wchar_t* text; int expected; };
  const IntRow ints[] = {
      {L" 12", 12}, {L"  -7x", -7}, {L"+3", 3}, {L"", 0}, {L"abc", 0},
      {L" 99999999999999999999", 2147483647}, {L" -99999999999999999999", -2147483647 - 1},
      {L"\t5", 5}, {L" 4 5", 4},
  };
  for (size_t i = 0; i < sizeof(ints) / sizeof(ints[0]); ++i)
    EXPECT_EQ(ints[i].expected, orvaq::cmdline::ReadInt(ints[i].text, 0)) << "row " << i;
  struct HexRow { const wchar_t* text; unsigned expected; };
  const HexRow hexes[] = {{L" 40c", 0x40C}, {L" 0x409", 0x409}, {L"", 0}, {L" zz", 0},
                          {L" ffffffffffff", 0xFFFFFFFFu}, {L"407 /x", 0x407}};
  for (size_t i = 0; i < sizeof(hexes) / sizeof(hexes[0]); ++i)
    EXPECT_EQ(hexes[i].expected, orvaq::cmdline::ReadHex(hexes[i].text, 0)) << "row " << i;
  struct TextRow { const wchar_t* text; const wchar_t* expected; };
  const TextRow texts[] = {
      {L" \"Dr Smith\" /x", L"Dr Smith"}, {L"  Smith /x", L"Smith"}, {L"", L""}, {L"   ", L""},
      {L" \"unclosed value", L""}, {L"\"\"", L""}, {L"abc", L"abc"},
  };
  for (size_t i = 0; i < sizeof(texts) / sizeof(texts[0]); ++i)
    EXPECT_EQ(texts[i].expected, orvaq::cmdline::ReadText(texts[i].text, 0)) << "row " << i;
}

TEST(CommandLine, ValuesKeepTheirCaseWhileMatchingIgnoresIt) {
  Fixture f;
  EXPECT_TRUE(f.Parse(L"/DOCTOR \"Dr Smith\" /Patient Dupont /IDPATIENT a/b.c"));
  EXPECT_EQ(L"Dr Smith", f.params.m_sDoctor);
  EXPECT_EQ(L"Dupont", f.params.m_sPatient);
  EXPECT_EQ(L"a_b_c", f.params.m_sPatientId);
}

TEST(CommandLine, OptionTable) {
  struct Row {
    const wchar_t* line;
    std::function<bool(Fixture&)> check;
  };
  const Row rows[] = {
      {L"/idpatient 42", [](Fixture& f) { return f.params.m_sPatient.empty() && f.params.m_sPatientId == L"42"; }},
      {L"/idpatient x/\\.*?:\"<>|y", [](Fixture& f) { return f.params.m_sPatientId == L"x__________y"; }},
      {L"/idpatient \"x/\\.*?:<>|y\"", [](Fixture& f) { return f.params.m_sPatientId == L"x_________y"; }},
      {L"/imaging", [](Fixture& f) { return f.params.m_bImaging && !f.params.m_bTwain; }},
      {L"/twain /vet /close /blankstamp /pattern", [](Fixture& f) {
         return f.params.m_bTwain && f.params.m_bVet && f.params.m_bClose && f.params.m_bBlankStamp &&
                f.params.m_bPattern && !f.params.m_bImaging; }},
      {L"/oscillo 17", [](Fixture& f) { return f.params.m_nOscillo == 17; }},
      {L"", [](Fixture& f) { return f.params.m_nOutputDepth == 8; }},
      {L"/output16", [](Fixture& f) { return f.params.m_nOutputDepth == 16; }},
      {L"/outputall /output8", [](Fixture& f) { return f.params.m_nOutputDepth == 0; }},
      {L"/output8 /outputall", [](Fixture& f) { return f.params.m_nOutputDepth == 0; }},
      {L"/output16 /output8", [](Fixture& f) { return f.params.m_nOutputDepth == 16; }},
      {L"/way_left /way_up", [](Fixture& f) { return f.params.GetAcqWay() == 1; }},
      {L"/way_down", [](Fixture& f) { return f.params.GetAcqWay() == 2; }},
      {L"/way_right /way_down", [](Fixture& f) { return f.params.GetAcqWay() == 3; }},
      {L"/lang 40c", [](Fixture& f) { return f.params.GetLanguage() == L"40C"; }},
      {L"/LANG 0x0409", [](Fixture& f) { return f.params.GetLanguage() == L"409"; }},
      {L"/lang", [](Fixture& f) { return f.params.GetLanguage() == L"0"; }},
      {L"/image_path \"D:\\Mes images\"", [](Fixture& f) { return f.params.m_sCmdImagePath == L"D:\\Mes images"; }},
      {L"/doctor", [](Fixture& f) { return f.params.m_sDoctor.empty(); }},
      {L"/doctor \"Dr /patient X", [](Fixture& f) { return f.params.m_sDoctor.empty() && f.params.m_sPatient == L"X"; }},
      {L"/patient \x3A9mega", [](Fixture& f) { return f.params.m_sPatient == L"\x3A9mega"; }},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    Fixture f;
    f.params.SetLanguage(L"40C");
    EXPECT_TRUE(f.Parse(rows[i].line)) << "row " << i;
    EXPECT_TRUE(rows[i].check(f)) << "row " << i;
    EXPECT_TRUE(f.jobs.images.empty() && f.jobs.strips.empty()) << "row " << i;
  }
}

TEST(CommandLine, ImageJobValuesAndClamps) {
  struct Row {
    const wchar_t* line;
    ImageJobRequest expected;
  };
  auto job = [](const wchar_t* in, const wchar_t* out, int fs, int fl, int lum, int con, int gam) {
    ImageJobRequest r;
    r.inputPath = in; r.outputPath = out; r.filterStrength = fs; r.filterLevel = fl;
    r.luminosity = lum; r.contrast = con; r.gamma = gam;
    return r;
  };
  const Row rows[] = {
      {L"/image_in C:\\a.bmp", job(L"C:\\a.bmp", L"C:\\a.bmp", 0, 0, 0, 0, 0)},
      {L"/image_in C:\\a.bmp /image_out", job(L"C:\\a.bmp", L"C:\\a.bmp", 0, 0, 0, 0, 0)},
      {L"/image_in \"C:\\a b.bmp\" /image_out \"C:\\c.bmp\"", job(L"C:\\a b.bmp", L"C:\\c.bmp", 0, 0, 0, 0, 0)},
      {L"/image_in a /gamma 10", job(L"a", L"a", 0, 0, 0, 0, 33)},
      {L"/image_in a /gamma 500", job(L"a", L"a", 0, 0, 0, 0, 300)},
      {L"/image_in a /gamma 150", job(L"a", L"a", 0, 0, 0, 0, 150)},
      {L"/image_in a /luminosity -300 /contrast 101", job(L"a", L"a", 0, 0, -100, 100, 0)},
      {L"/image_in a /luminosity -100 /contrast 100", job(L"a", L"a", 0, 0, -100, 100, 0)},
      {L"/image_in a /filter 5 /filterlevel 3 /filtersigma 9", job(L"a", L"a", 5, 3, 0, 0, 0)},
      {L"/image_in a /filtersigma 9", job(L"a", L"a", 0, 0, 0, 0, 0)},
      {L"/image_in a /filter", job(L"a", L"a", 0, 0, 0, 0, 0)},  // "/filter" alone is no option
      {L"/image_in", job(L"", L"", 0, 0, 0, 0, 0)},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    Fixture f;
    EXPECT_FALSE(f.Parse(rows[i].line)) << "row " << i;
    ASSERT_EQ(1u, f.jobs.images.size()) << "row " << i;
    const ImageJobRequest& r = f.jobs.images[0];
    const ImageJobRequest& e = rows[i].expected;
    EXPECT_EQ(e.inputPath, r.inputPath) << "row " << i;
    EXPECT_EQ(e.outputPath, r.outputPath) << "row " << i;
    EXPECT_EQ(e.filterStrength, r.filterStrength) << "row " << i;
    EXPECT_EQ(e.filterLevel, r.filterLevel) << "row " << i;
    EXPECT_EQ(e.luminosity, r.luminosity) << "row " << i;
    EXPECT_EQ(e.contrast, r.contrast) << "row " << i;
    EXPECT_EQ(e.gamma, r.gamma) << "row " << i;
  }
}

TEST(CommandLine, RawStripNeedsAllThreeOptions) {
  Fixture f;
  EXPECT_TRUE(f.Parse(L"/r_in a.bin /r_ol b.bin /r_out c.bin /doctor D"));
  ASSERT_EQ(1u, f.jobs.strips.size());
  EXPECT_EQ(L"a.bin", f.jobs.strips[0].input);
  EXPECT_EQ(L"b.bin", f.jobs.strips[0].secondInput);
  EXPECT_EQ(L"c.bin", f.jobs.strips[0].output);
  EXPECT_EQ(L"D", f.params.m_sDoctor);
  Fixture g;
  EXPECT_TRUE(g.Parse(L"/r_in a.bin /r_out c.bin"));
  EXPECT_TRUE(g.jobs.strips.empty());
}

TEST(CommandLine, HandOverKeepsAbsentValuesAndNeverClearsFlags) {
  Fixture f;
  f.Parse(L"/doctor Smith /patient Dupont /twain /image_path D:\\x /output16");
  f.params.m_bImagesFolderWarned = f.params.m_bImagesWriteWarned = true;
  f.Parse(L"/lang 409");
  EXPECT_EQ(L"409", f.params.GetLanguage());
  EXPECT_EQ(L"Smith", f.params.m_sDoctor);
  EXPECT_EQ(L"Dupont", f.params.m_sPatient);
  EXPECT_TRUE(f.params.m_bTwain);
  EXPECT_EQ(16, f.params.m_nOutputDepth);
  EXPECT_TRUE(f.params.m_bImagesFolderWarned);
  f.Parse(L"/image_path E:\\y");
  EXPECT_EQ(L"E:\\y", f.params.m_sCmdImagePath);
  EXPECT_FALSE(f.params.m_bImagesFolderWarned);
  EXPECT_FALSE(f.params.m_bImagesWriteWarned);
}

TEST(CommandLine, NoWayOptionWritesNothing) {
  Fixture f;
  f.Parse(L"/doctor x");
  EXPECT_FALSE(f.profile.HasKey(kIni, L"SENSOR", L"AcqWay"));
}

TEST(CommandLine, VeryLongValuesAreKeptWhole) {
  Fixture f;
  const std::wstring name(100000, L'n');
  f.Parse(L"/doctor " + name + L" /oscillo " + std::wstring(5000, L'9'));
  EXPECT_EQ(name, f.params.m_sDoctor);
  EXPECT_EQ(2147483647, f.params.m_nOscillo);
}

}  // namespace
