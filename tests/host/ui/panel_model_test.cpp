// The main panel's rules: what shows in each state of the scanner and of the station,
// where the controls go, and the window's size rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "ui/MultiImageList.h"
#include "ui/PanelModel.h"

using namespace orvaq::ui;

namespace {

// The shipped overlays' opaque areas.
SRect Area(const wchar_t* name) {
  static const std::map<std::wstring, SRect> areas = {
      {skin::kBtnClose, {304, 4, 12, 12}},       {skin::kBtnParam, {3, 3, 15, 15}},
      {skin::kBtnReserv, {247, 40, 39, 38}},     {skin::kBtnReservOn, {256, 44, 30, 34}},
      {skin::kBtnReservNo, {256, 44, 30, 34}},   {skin::kBtnResize, {306, 106, 13, 13}},
      {skin::kLedBlue, {23, 7, 185, 108}},       {skin::kLedOrange, {153, 15, 55, 91}},
      {skin::kMode4, {50, 2, 53, 35}},           {skin::kBoxes[0], {3, 5, 93, 206}},
      {skin::kBoxes[1], {100, 5, 93, 206}},      {skin::kBoxes[2], {197, 5, 93, 206}},
      {skin::kBoxRotate[0], {41, 216, 22, 20}},  {skin::kCut, {293, 34, 24, 16}},
  };
  auto it = areas.find(name);
  return it == areas.end() ? SRect() : it->second;
}

std::set<std::wstring> Shown(const SPanelInputs& in) {
  std::set<std::wstring> names;
  for (const SPanelLayer& l : ComposePanel(in, 320, 120, Area).layers) names.insert(l.picture);
  return names;
}

SPanelInputs Multi() {
  SPanelInputs in;
  in.reservationMode = 1;
  in.scannerSerialEmpty = false;
  in.ledError = false;
  in.terminalNum = 2;
  in.stationFlags = 1;
  return in;
}

}  // namespace

TEST(PanelModel, StatesShowTheirOverlays) {
  struct Case {
    const char* name;
    SPanelInputs in;
    std::vector<const wchar_t*> shown, hidden;
  };
  SPanelInputs noScanner;  // error lamp on, nothing known
  SPanelInputs ready = Multi();
  ready.ledReady = true;
  SPanelInputs reserved = Multi();
  reserved.ledReady = reserved.ledReserved = true;
  SPanelInputs receiving = reserved;
  receiving.transferInProgress = true;
  SPanelInputs other = Multi();
  other.terminalResaNum = 3;
  SPanelInputs mine = Multi();
  mine.terminalResaNum = 2;
  SPanelInputs blocked = Multi();
  blocked.waitingImageTerminal = 4;
  SPanelInputs single = Multi();
  single.reservationMode = 0;
  single.ledReady = true;
  SPanelInputs hiddenButton = other;
  hiddenButton.reservationButtonVisible = false;
  const std::vector<Case> cases = {
      {"no scanner", noScanner, {skin::kLedOrange, skin::kBtnParam}, {skin::kLedBlue, skin::kLedPurple, skin::kBtnReserv}},
      {"ready", ready, {skin::kLedBlue, skin::kBtnReserv, skin::kBtnParam}, {skin::kLedOrange, skin::kLedYellow}},
      {"reserved", reserved, {skin::kLedBlue, skin::kLedYellow}, {skin::kLedPurple}},
      {"receiving", receiving, {skin::kLedPurple}, {skin::kLedYellow, skin::kLedOrange}},
      {"terminal 3 holds", other, {skin::kBtnReservNo}, {skin::kBtnReservOn, skin::kBtnParam}},
      {"this station holds", mine, {skin::kBtnReservOn}, {skin::kBtnReservNo, skin::kBtnParam}},
      {"blocked image of 4", blocked, {skin::kLedBlue, skin::kLedYellow, skin::kBtnReservNo}, {skin::kBtnReserv}},
      {"single station", single, {skin::kLedBlue, skin::kLedOrange, skin::kBtnParam}, {skin::kBtnReserv}},
      {"button hidden", hiddenButton, {}, {skin::kBtnReservNo, skin::kBtnReservOn, skin::kBtnReserv}},
  };
  for (const Case& c : cases) {
    const std::set<std::wstring> shown = Shown(c.in);
    for (const wchar_t* name : c.shown) EXPECT_TRUE(shown.count(name)) << c.name;
    for (const wchar_t* name : c.hidden) EXPECT_FALSE(shown.count(name)) << c.name;
  }
}

TEST(PanelModel, TextsOverThePanel) {
  SPanelInputs other = Multi();
  other.terminalResaNum = 3;
  other.demoMode = true;
  other.batchReadsLeft = 4;
  const SPanelPaint paint = ComposePanel(other, 320, 120, Area);
  ASSERT_EQ(paint.texts.size(), 3u);
  // The holder's number over the button, in a rectangle twice its width.
  EXPECT_EQ(paint.texts[0].text, L"3");
  EXPECT_EQ(paint.texts[0].rect, (SRect{241, 44, 60, 34}));
  EXPECT_EQ(paint.texts[0].argb, 0x80FFFFFFu);
  EXPECT_EQ(paint.texts[1].text, L"Demo\nMode");
  EXPECT_EQ(paint.texts[2].text, L"4");
  EXPECT_EQ(paint.texts[2].fontHeight, 60);
  EXPECT_EQ(paint.texts[2].argb, 0x80FF0000u);
}

TEST(PanelModel, MultiPlatePanelFadesTheThirdBoxInTwoPlateMode) {
  SPanelInputs in = Multi();
  in.lower = LowerPanel::kMultiPlate;
  in.t4Mode = 1;
  const SPanelPaint paint = ComposePanel(in, 320, 120, Area);
  EXPECT_EQ(paint.height, 360);
  auto layer = [&](const wchar_t* name) {
    return std::find_if(paint.layers.begin(), paint.layers.end(), [&](const SPanelLayer& l) { return l.picture == name; });
  };
  ASSERT_NE(layer(skin::kBoxes[2]), paint.layers.end());
  EXPECT_FLOAT_EQ(layer(skin::kBoxes[2])->alpha, 0.3f);
  EXPECT_EQ(layer(skin::kBoxes[2])->top, 120);
  EXPECT_EQ(layer(skin::kBoxRotate[2]), paint.layers.end());
  EXPECT_EQ(layer(skin::kBtnResize), paint.layers.end());
  // The stored pictures of boxes 1 and 2 inside their frames, under the buttons.
  auto box = std::find_if(paint.layers.begin(), paint.layers.end(), [](const SPanelLayer& l) { return l.box == 1; });
  ASSERT_NE(box, paint.layers.end());
  EXPECT_EQ(box->area, (SRect{3, 125, 93, 206}));
  EXPECT_LT(box - paint.layers.begin(), layer(skin::kBoxRotate[0]) - paint.layers.begin());
  EXPECT_EQ(std::count_if(paint.layers.begin(), paint.layers.end(), [](const SPanelLayer& l) { return l.box != 0; }), 2);
}

TEST(PanelModel, LayoutScalesAreasAndParksHiddenControls) {
  const SLayoutResult layout = LayoutControls(Area, 160, 80, 320, 120, LowerPanel::kModeStrip, true);
  std::map<int, SControlPlace> byId;
  for (const SControlPlace& c : layout.controls) byId[c.id] = c;
  EXPECT_TRUE(layout.forceAcqWayZero);  // the table's skin has no arrows
  EXPECT_EQ(byId[kIdReservation].rect, (SRect{124, 20, 19, 19}));
  EXPECT_EQ(byId[kIdT4Mode].rect, (SRect{25, 61, 27, 18}));  // moved below the control picture
  EXPECT_EQ(byId[kIdClose].rect, (SRect{-10, -10, 0, 0}));   // "/imaging"
  EXPECT_EQ(byId[kIdStoredList].rect, (SRect{-10, -10, 0, 0}));
  // The stored-acquisition list covers box 1 only in multi-image mode.
  auto list = [](bool multiImage) {
    for (const SControlPlace& c : LayoutControls(Area, 320, 360, 320, 120, LowerPanel::kMultiPlate, false, multiImage).controls)
      if (c.id == kIdStoredList) return c.rect;
    return SRect();
  };
  EXPECT_EQ(list(false), (SRect{-10, -10, 0, 0}));
  EXPECT_EQ(list(true), (SRect{3, 125, 93, 206}));
}

TEST(PanelModel, WindowSizeRules) {
  EXPECT_EQ(DefaultWindowRect(320, 120, 1024).x, 432);
  EXPECT_EQ(DefaultWindowRect(320, 120, 1024).w, 160);
  EXPECT_EQ(DefaultWindowRect(320, 120, 1024).h, 60);
  EXPECT_FALSE(PlacementRestorable(44, 300, 100, 320, 120, false));
  EXPECT_TRUE(PlacementRestorable(44, 240, 90, 320, 120, false));
  EXPECT_FALSE(PlacementRestorable(44, 240, 90, 320, 120, true));
  EXPECT_FALSE(PlacementRestorable(40, 240, 90, 320, 120, false));
  const SSizeLimits limits = SizeLimits(320, 120, 0, false);
  EXPECT_EQ(limits.minTrack, (SSize{160, 60}));
  EXPECT_EQ(limits.maxTrack, (SSize{320, 120}));
  EXPECT_EQ(SizeLimits(320, 120, 40, true).minTrack, (SSize{320, 160}));
  EXPECT_EQ(KeepRatioBottom(10, 0, 240, 320, 160), 130);
  EXPECT_TRUE(InSizingCorner(195, 75, 200, 80));
  EXPECT_FALSE(InSizingCorner(185, 75, 200, 80));
  EXPECT_EQ(InitialT4Mode(5, false), 2);
  EXPECT_EQ(InitialT4Mode(2, true), 0);
  EXPECT_EQ(ShownLowerPanel(false, false, 2), LowerPanel::kModeStrip);
}

TEST(PanelModel, StatusText) {
  auto text = [](int id) { return id == 754 ? std::wstring(L"held by %d") : id == 756 ? L"%d waiting" : std::to_wstring(id); };
  SStatusInputs in;
  EXPECT_EQ(StatusText(in, text), L"750");
  in.scannerSerialEmpty = false;
  EXPECT_EQ(StatusText(in, text), L"600");
  in.stationFlags = 0;
  EXPECT_EQ(StatusText(in, text), L"757");
  in.terminalResaNum = 3;
  in.multiStation = true;
  EXPECT_EQ(StatusText(in, text), L"held by 3\n---");
  in.waitingStations = 2;
  EXPECT_EQ(StatusText(in, text), L"held by 3\n2 waiting");
}

TEST(PanelModel, OpaqueRunsGiveTheBoundingBox) {
  // 4 x 3 picture: opaque pixels at (1,0), (2,0) and (3,2); alpha 127 does not count.
  uint8_t pixels[3][16] = {};
  pixels[0][1 * 4 + 3] = 128;
  pixels[0][2 * 4 + 3] = 255;
  pixels[1][0 * 4 + 3] = 127;
  pixels[2][3 * 4 + 3] = 200;
  const std::vector<SRect> runs = OpaqueRuns(&pixels[0][0], 4, 3, 16);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (SRect{1, 0, 2, 1}));
  EXPECT_EQ(BoundingBox(runs), (SRect{1, 0, 3, 3}));
  EXPECT_TRUE(BoundingBox({}).Empty());
}

TEST(MultiImageList, EntriesAndTheirPictures) {
  EXPECT_TRUE(IsInfoFileName(L"1234_LastBmpLUM2_001.nfo"));
  EXPECT_FALSE(IsInfoFileName(L"1234_LastBmpLUM2_001.NFOT"));
  EXPECT_FALSE(IsInfoFileName(L".NFO"));
  const std::wstring text = L"[PATIENT]\r\nFile8=no\r\n[ACQUISITION]\r\nWidth=960\r\nfile8 = Z:\\img\\a.bmp \r\n";
  std::string utf16("\xFF\xFE", 2);
  for (wchar_t c : text) utf16 += std::string{char(c & 0xFF), char(c >> 8)};
  EXPECT_EQ(InfoFileValue(utf16, L"ACQUISITION", L"File8"), L"Z:\\img\\a.bmp");
  EXPECT_EQ(InfoFileValue(utf16, L"ACQUISITION", L"File16"), L"");
  EXPECT_EQ(InfoFileValue(std::string("\xFF\xFE[A", 5), L"A", L"B"), L"");  // cut short
  // Order: earlier first after rounding up; never equal; an invalid time sorts later.
  const double second = 1.0 / 86400;
  EXPECT_EQ(CompareEntries(100 + 0.2 * second, true, 100 + 0.9 * second, true), 1);  // the same second
  EXPECT_EQ(CompareEntries(100 + 0.2 * second, true, 100 + 1.1 * second, true), -1);
  EXPECT_EQ(CompareEntries(100 + 1.1 * second, true, 100 + 0.2 * second, true), 1);
  EXPECT_EQ(CompareEntries(1.0, false, 5.0, true), 1);
  EXPECT_EQ(ItemPictureArea({0, 0, 100, 60}), (SRect{5, 5, 90, 50}));
  EXPECT_EQ(FitCentred(300, 500, {5, 5, 90, 50}), (SRect{35, 5, 30, 50}));
  EXPECT_EQ(FitCentred(500, 100, {0, 0, 100, 60}), (SRect{0, 20, 100, 20}));
}
