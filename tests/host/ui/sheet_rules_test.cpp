// The parameter sheet's, the technical setup's and the console's rules: values on load
// and save, linked controls, OK with modifiers, labels, history and station buttons.
#include <gtest/gtest.h>

#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "tests/host/settings/fake_system.h"
#include "ui/SheetRules.h"

using namespace orvaq::ui;

namespace {

const wchar_t kIni[] = L"C:\\users\\doc\\AppData\\Local\\Orvaq\\Orvaq.INI";

struct Fixture {
  FakeSystem sys;
  CKvMemoryProfile profile;
  CKvParameters params{profile, sys};
  void Set(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    const std::wstring v = value;
    profile.WriteString(kIni, section, key, &v);
  }
  std::wstring Get(const wchar_t* section, const wchar_t* key) {
    return profile.ReadString(kIni, section, key, L"<absent>", 256);
  }
};

}  // namespace

TEST(SheetValues, DurationShownAndStored) {
  const struct {
    int stored, shown;
  } rows[] = {{5, 40}, {9, 40}, {10, 10}, {600, 600}, {601, 40}, {1500, 40}, {-3, 40}, {250, 250}};
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(ShownReservationDuration(rows[i].stored), rows[i].shown) << "row " << i;
  Fixture f;
  f.Set(L"SENSOR", L"ReservationDuration", L"5");
  SSheetValues v = LoadSheetValues(f.params);
  EXPECT_EQ(v.reservationDuration, 40);
  v.reservationDuration = 1500;
  SaveSheetValues(f.params, v);
  EXPECT_EQ(f.Get(L"SENSOR", L"ReservationDuration"), L"999");
}

TEST(SheetValues, SaveWritesEveryKeyAndHonoursCommandLineFolderAndModes) {
  const struct {
    bool twain, imaging, cmdFolder;
    int t4;
    bool multi;
    const wchar_t *images, *gamma, *quality, *multiStored;
    bool restart;
  } rows[] = {
      {false, false, false, 0, false, L"D:\\img", L"-40", L"2", L"<absent>", false},
      {false, true, false, 1, false, L"D:\\img", L"<absent>", L"2", L"0", false},
      {false, false, true, 2, false, L"<absent>", L"-40", L"2", L"0", false},
      {true, false, false, 0, true, L"D:\\img", L"-40", L"0", L"1", true},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    Fixture f;
    f.params.m_bTwain = rows[i].twain;
    f.params.m_bImaging = rows[i].imaging;
    if (rows[i].cmdFolder) f.params.m_sCmdImagePath = L"E:\\cmd";
    f.sys.folders.insert(L"E:\\CMD");
    SSheetValues v = LoadSheetValues(f.params);
    EXPECT_EQ(v.imagesPathEditable, !rows[i].cmdFolder) << "row " << i;
    v.imagesPath = L"D:\\img";
    v.t4Mode = rows[i].t4;
    v.multiImages = rows[i].multi;
    v.gamma = -40;
    v.quality = 2;
    v.delayT4 = 400;
    EXPECT_EQ(SaveSheetValues(f.params, v), rows[i].restart) << "row " << i;
    EXPECT_EQ(f.Get(L"SENSOR", L"ImagesPath"), rows[i].images) << "row " << i;
    EXPECT_EQ(f.Get(L"SENSOR", L"AcqGamma"), rows[i].gamma) << "row " << i;
    EXPECT_EQ(f.Get(L"SENSOR", L"AcquisitionQuality"), rows[i].quality) << "row " << i;
    EXPECT_EQ(f.Get(L"TWAIN", L"AcqMultiImages"), rows[i].multiStored) << "row " << i;
    EXPECT_EQ(f.Get(L"SENSOR", L"DelayT4"), L"300") << "row " << i;
  }
}

TEST(SheetRules, ValueLabels) {
  const struct {
    std::wstring (*label)(int);
    int position;
    const wchar_t* text;
  } rows[] = {{GammaLabel, 0, L"1.00"},     {GammaLabel, 100, L"3.00"},  {GammaLabel, -100, L"0.34"},
              {GammaLabel, -1, L"1.00"},    {GammaLabel, 7, L"1.14"},    {PercentLabel, -25, L"-25 %"},
              {FilterLabel, 100, L"---"},   {FilterLabel, 101, L"2.21"}, {FilterLabel, 740, L"8.60"},
              {DelayLabel, 12, L"60 sec."}, {DelayLabel, 0, L"0 sec."}};
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(rows[i].label(rows[i].position), rows[i].text) << "row " << i;
}

TEST(SheetRules, PermissionsKeepOneOfScreenAndStation) {
  const struct {
    bool screen, station;
    SPermissionBoxes out;
  } rows[] = {{false, false, {false, true, true, false}},
              {false, true, {false, true, true, false}},
              {true, false, {true, false, false, true}},
              {true, true, {true, true, true, true}}};
  for (size_t i = 0; i < std::size(rows); ++i) {
    const SPermissionBoxes b = ApplyPermissionRule(rows[i].screen, rows[i].station);
    EXPECT_EQ(b.screenOn, rows[i].out.screenOn) << "row " << i;
    EXPECT_EQ(b.stationOn, rows[i].out.stationOn) << "row " << i;
    EXPECT_EQ(b.screenEnabled, rows[i].out.screenEnabled) << "row " << i;
    EXPECT_EQ(b.stationEnabled, rows[i].out.stationEnabled) << "row " << i;
  }
  const SPermissionRead none = ReadPermissions(0);
  EXPECT_EQ(none.remembered, -1);
  const SPermissionRead r = ReadPermissions(5);
  EXPECT_TRUE(r.screen && r.station && !r.colour);
  EXPECT_EQ(PermissionActionCode(PermissionBits(true, false, true), r.remembered), 0);
  EXPECT_EQ(PermissionActionCode(PermissionBits(true, true, false), r.remembered), 1076);
  EXPECT_EQ(PermissionActionCode(PermissionBits(false, false, true), none.remembered), 1071);
}

TEST(SheetRules, MultiPlateAndMultiImageExcludeEachOther) {
  SModeChoice c{0, true};
  c = OnT4ModeChosen(c, 2);
  EXPECT_EQ(c.t4Mode, 2);
  EXPECT_FALSE(c.multiImages);
  c = OnMultiImagesClicked(c, true);
  EXPECT_EQ(c.t4Mode, 0);
  EXPECT_TRUE(c.multiImages);
}

TEST(SheetRules, OkWithModifiersAndThe622Question) {
  const struct {
    bool shift, ctrl, alt, console;
    SheetOk ok;
  } rows[] = {{false, false, false, false, SheetOk::kSave},
              {true, true, false, false, SheetOk::kTechnicalSetup},
              {true, true, true, true, SheetOk::kTechnicalSetup},
              {false, true, true, false, SheetOk::kServicePage},
              {false, false, false, true, SheetOk::kServiceCommand},
              {true, false, false, false, SheetOk::kSave},
              {false, true, false, false, SheetOk::kSave}};
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(ClassifyOk(rows[i].shift, rows[i].ctrl, rows[i].alt, rows[i].console), rows[i].ok) << "row " << i;
  EXPECT_FALSE(SaveAllowed(false, 7));  // No
  EXPECT_FALSE(SaveAllowed(false, 0));  // box could not be shown
  EXPECT_TRUE(SaveAllowed(false, kAnswerYes));
  EXPECT_TRUE(SaveAllowed(true, 0));
}

TEST(SheetRules, ConnectionButton) {
  EXPECT_EQ(ConnectionError(false, true, true), 607);
  EXPECT_EQ(ConnectionError(true, true, false), 608);
  EXPECT_EQ(ConnectionError(true, false, false), 0);
  const SConnection multi = ConnectionValues(L"LQ2-1", true, 7, 5);
  EXPECT_EQ(multi.color, 7);
  EXPECT_EQ(multi.stationNumber, 5);
  const SConnection mono = ConnectionValues(L"LQ2-1", false, 7, 5);
  EXPECT_EQ(mono.color, 0);
  EXPECT_EQ(mono.stationNumber, 1);
}

TEST(SheetRules, ScannerAnswers) {
  EXPECT_EQ(SplitScannerList(L" A1 ;B2;; C3"), (std::vector<std::wstring>{L"A1", L"B2", L"C3"}));
  EXPECT_TRUE(SplitScannerList(L"").empty());
  EXPECT_EQ(OfferedStationNumbers(L"2;5;10"), (std::vector<int>{1, 3, 4, 6, 7, 8, 9}));
  EXPECT_TRUE(OfferedStationNumbers(L"notok").empty());
  EXPECT_EQ(OfferedStationNumbers(L"").size(), 10u);
  SWaitingImage image;
  EXPECT_TRUE(ParseWaitingImage(L"3;2;Dr Bell;Ann Lee;2000;1500", image));
  EXPECT_EQ(image.terminal, 3);
  EXPECT_EQ(image.doctor, L"Dr Bell");
  EXPECT_EQ(image.patient, L"Ann Lee");
  EXPECT_FALSE(ParseWaitingImage(L"0;0;;;0;0", image));
  EXPECT_FALSE(ParseWaitingImage(L"", image));
  EXPECT_FALSE(ParseWaitingImage(L"x;1", image));
}

TEST(ServiceConsole, ClearAndOutputFormat) {
  EXPECT_TRUE(IsClearCommand(L"CLS"));
  EXPECT_TRUE(IsClearCommand(L"cls"));
  EXPECT_FALSE(IsClearCommand(L"cls "));
  EXPECT_EQ(ConsoleWithCommand(L"", L"get_time"), L">> get_time");
  EXPECT_EQ(ConsoleWithCommand(L"x", L"a"), L"x\r\n>> a");
  EXPECT_EQ(ConsoleAnswer(200, L"12:00"), L"\r\n < 200\r\n12:00");
}

TEST(ServiceConsole, HistoryBeepsAtTheEnds) {
  CServiceHistory h;
  std::wstring shown = L"typed";
  EXPECT_FALSE(h.Up(shown));
  EXPECT_EQ(shown, L"typed");
  h.Add(L"a");
  h.Add(L"");
  h.Add(L"b");
  const struct {
    bool up;
    bool moved;
    const wchar_t* shown;
  } steps[] = {{true, true, L"b"}, {true, true, L"a"}, {true, false, L"a"}, {false, true, L"b"},
               {false, false, L"b"}};
  for (size_t i = 0; i < std::size(steps); ++i) {
    const bool moved = steps[i].up ? h.Up(shown) : h.Down(shown);
    EXPECT_EQ(moved, steps[i].moved) << "step " << i;
    EXPECT_EQ(shown, steps[i].shown) << "step " << i;
  }
}

TEST(TechnicalSetup, StationButtonsFromActionOne) {
  const std::wstring answer =
      L"20;3;5\n1;0;0;\n2;3;4;00:11:22:33:44:55\n3;5;11;AA:BB:CC:DD:EE:FF\n4;0;0;\n5;0;0;\n6;0;0;\n7;0;0;\n"
      L"8;0;0;\n9;0;0;\n10;0;0;";
  const auto b = StationButtons(answer);
  EXPECT_TRUE(b[2].enabled);
  EXPECT_EQ(b[2].label, L"3 - 4\n00:11:22:33:44:55\nReg Res  ");
  EXPECT_TRUE(b[4].enabled);
  EXPECT_EQ(b[4].label, L"5 - 11\nAA:BB:CC:DD:EE:FF\nReg  Img");
  for (int n : {0, 1, 3, 5, 6, 7, 8, 9}) EXPECT_FALSE(b[n].enabled) << "button " << n + 1;
  for (const wchar_t* bad : {L"NOTOK", L"", L"garbage\n1;2;3;x"})
    for (const SStationButton& s : StationButtons(bad)) EXPECT_FALSE(s.enabled) << "answer " << bad;
}

TEST(TechnicalSetup, ActionCodes) {
  EXPECT_EQ(StationButtonAction(3, true).code, 1043);
  EXPECT_EQ(StationButtonAction(3, true).question, 614);
  EXPECT_EQ(StationButtonAction(3, false).code, 1023);
  EXPECT_EQ(StationButtonAction(3, false).question, 613);
  EXPECT_EQ(DelayActionCode(7), 10035);
  EXPECT_EQ(DelayActionCode(12), 10060);
  EXPECT_EQ(DelayPosition(L"", false), 12);
  EXPECT_EQ(DelayPosition(L"45", true), 9);
  EXPECT_EQ(DelayPosition(L"900", true), 60);
}
