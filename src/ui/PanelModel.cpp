// The main panel as data (see PanelModel.h).
#include "ui/PanelModel.h"

#include <cstddef>
#include <cstdlib>

#include "settings/KvTextFormat.h"

namespace orvaq::ui {

namespace {

// MulDiv: the product over the divisor, rounded half away from zero.
int MulDivRound(int value, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = std::llabs(static_cast<long long>(denominator)) / 2;
  const bool negative = (product < 0) != (denominator < 0);
  const long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(denominator));
  return static_cast<int>(negative ? -magnitude : magnitude);
}

const SRect kParked{-10, -10, 0, 0};

}  // namespace

// ------------------------------------------------------------------ skin pictures

std::vector<SRect> OpaqueRuns(const uint8_t* pixels, int width, int height, int strideBytes) {
  std::vector<SRect> runs;
  if (!pixels || width <= 0 || height <= 0) return runs;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * strideBytes;
    int x = 0;
    while (x < width) {
      while (x < width && row[x * 4 + 3] < 128) ++x;
      const int start = x;
      while (x < width && row[x * 4 + 3] >= 128) ++x;
      if (x > start) runs.push_back({start, y, x - start, 1});
    }
  }
  return runs;
}

SRect BoundingBox(const std::vector<SRect>& runs) {
  if (runs.empty()) return {};
  int left = runs[0].x, top = runs[0].y, right = left + runs[0].w, bottom = top + runs[0].h;
  for (const SRect& r : runs) {
    left = r.x < left ? r.x : left;
    top = r.y < top ? r.y : top;
    right = r.x + r.w > right ? r.x + r.w : right;
    bottom = r.y + r.h > bottom ? r.y + r.h : bottom;
  }
  return {left, top, right - left, bottom - top};
}

// ------------------------------------------------------------------ window size rules

SSize BaseWindowSize(int skinWidth, int skinHeight) {
  if (skinHeight > 100) return {skinWidth / 2, skinHeight / 2};
  return {skinWidth, skinHeight};
}

bool PlacementRestorable(int length, int width, int height, int skinWidth, int skinHeight, bool rightButtonDown) {
  if (length != 44 || rightButtonDown || skinWidth <= 0 || skinHeight <= 0) return false;
  const int widthPercent = width * 100 / skinWidth;
  const int heightPercent = height * 100 / skinHeight;
  return std::abs(widthPercent - heightPercent) < 1;
}

SRect DefaultWindowRect(int skinWidth, int skinHeight, int screenWidth) {
  const SSize size = BaseWindowSize(skinWidth, skinHeight);
  return {(screenWidth - size.w) / 2, 0, size.w, size.h};
}

SSizeLimits SizeLimits(int skinWidth, int skinHeight, int extraHeight, bool doubled) {
  SSize base{skinWidth, skinHeight + extraHeight};
  if (skinHeight > 100) base = {skinWidth / 2, (skinHeight + extraHeight) / 2};
  if (doubled) base = {base.w * 2, base.h * 2};
  return {base, base, {base.w * 2, base.h * 2}};
}

int KeepRatioBottom(int top, int left, int right, int skinWidth, int totalSkinHeight) {
  if (skinWidth <= 0) return top;
  return top + (right - left) * totalSkinHeight / skinWidth;
}

bool InSizingCorner(int x, int y, int clientWidth, int clientHeight) {
  const int side = clientWidth / 20;
  return x >= clientWidth - side && y >= clientHeight - side;
}

// ------------------------------------------------------------------ lower panel

LowerPanel ShownLowerPanel(bool t4Work, bool multiImageMode, int acquisitionUseT4) {
  if (t4Work || multiImageMode) return LowerPanel::kMultiPlate;
  if (acquisitionUseT4 >= 1) return LowerPanel::kModeStrip;
  return LowerPanel::kNone;
}

int LowerPanelHeight(LowerPanel panel) {
  switch (panel) {
    case LowerPanel::kMultiPlate: return kMultiPlatePanelHeight;
    case LowerPanel::kModeStrip: return kModeStripHeight;
    default: return 0;
  }
}

int InitialT4Mode(int acquisitionUseT4, bool acqMultiImages) {
  if (acqMultiImages) return 0;
  return acquisitionUseT4 < 0 ? 0 : acquisitionUseT4 > 2 ? 2 : acquisitionUseT4;
}

int NextT4Mode(int mode) { return mode >= 2 || mode < 0 ? 0 : mode + 1; }

// ------------------------------------------------------------------ controls

SLayoutResult LayoutControls(const std::function<SRect(const wchar_t*)>& area, int windowWidth, int windowHeight,
                             int skinWidth, int skinHeight, LowerPanel lower, bool closeHidden,
                             bool multiImageMode) {
  SLayoutResult result;
  const int totalHeight = skinHeight + LowerPanelHeight(lower);
  auto scaled = [&](SRect r, int down) {
    r.y += down;
    const int left = MulDivRound(r.x, windowWidth, skinWidth);
    const int top = MulDivRound(r.y, windowHeight, totalHeight);
    const int right = MulDivRound(r.x + r.w, windowWidth, skinWidth);
    const int bottom = MulDivRound(r.y + r.h, windowHeight, totalHeight);
    return SRect{left, top, right - left, bottom - top};
  };
  auto place = [&](int id, const wchar_t* overlay, bool shown, int down = 0) {
    SControlPlace c;
    c.id = id;
    c.shown = shown;
    c.rect = shown ? scaled(area(overlay), down) : kParked;
    result.controls.push_back(c);
  };

  // Without an "up" arrow the skin has no arrows at all: the first three buttons take
  // its empty area and the sensor way is fixed.
  const SRect up = area(skin::kSensorArrows[0]);
  result.forceAcqWayZero = up.Empty();
  for (int i = 0; i < 4; ++i)
    place(kIdSensorUp + i, result.forceAcqWayZero && i < 3 ? skin::kSensorArrows[0] : skin::kSensorArrows[i], true);
  place(kIdInformation, skin::kLedOrange, true);
  place(kIdClose, skin::kBtnClose, !closeHidden);
  place(kIdParameters, skin::kBtnParam, true);
  place(kIdReservation, skin::kBtnReserv, true);
  place(kIdT4Mode, skin::kMode4, lower == LowerPanel::kModeStrip, skinHeight);
  const bool t4 = lower == LowerPanel::kMultiPlate;
  for (int i = 0; i < 3; ++i) place(kIdRotate1 + i, skin::kBoxRotate[i], t4, skinHeight);
  place(kIdExchange12, skin::kExchange12, t4, skinHeight);
  place(kIdExchange23, skin::kExchange23, t4, skinHeight);
  place(kIdCut, skin::kCut, t4, skinHeight);
  place(kIdValidate, skin::kValid, t4, skinHeight);
  place(kIdStoredList, skin::kBoxes[0], t4 && multiImageMode, skinHeight);
  return result;
}

// ------------------------------------------------------------------ painting

SPanelPaint ComposePanel(const SPanelInputs& in, int skinWidth, int skinHeight,
                         const std::function<SRect(const wchar_t*)>& area) {
  SPanelPaint paint;
  const int lowerHeight = LowerPanelHeight(in.lower);
  paint.width = skinWidth;
  paint.height = skinHeight + lowerHeight;
  auto layer = [&](const wchar_t* name, int top = 0, float alpha = 1.0f) {
    paint.layers.push_back({name, top, alpha});
  };

  layer(in.vet ? skin::kControlVet : skin::kControl);
  if (in.lower == LowerPanel::kMultiPlate) layer(in.vet ? skin::kT4ControlVet : skin::kT4Control, skinHeight);
  if (in.lower == LowerPanel::kModeStrip) layer(in.vet ? skin::kModeControlVet : skin::kModeControl, skinHeight);
  if (in.acqWay >= 0 && in.acqWay <= 3) layer(skin::kSensorArrows[in.acqWay]);
  if (in.closeVisible && !(in.twain && in.multiImageMode)) layer(skin::kBtnClose);
  if (in.lower == LowerPanel::kNone) layer(skin::kBtnResize);

  // Lamps. A blocked image of another terminal lights blue and yellow whatever the flags.
  const bool multiStation = in.reservationMode == 1;
  const bool blocked = in.waitingImageTerminal >= 1 && in.waitingImageTerminal <= 10;
  const bool receiving = in.ledReceiving || in.transferInProgress;
  if (in.ledReady || blocked) layer(skin::kLedBlue);
  if (blocked || (multiStation && in.ledReserved && !receiving)) layer(skin::kLedYellow);
  if (receiving && !in.ledError) layer(skin::kLedPurple);
  if (in.ledError || (!multiStation && !in.twain && !in.scannerOnGui)) layer(skin::kLedOrange);

  // The reservation button, in multi-station mode while it is shown.
  int holderNumber = 0;
  if (multiStation && in.reservationButtonVisible) {
    if (blocked) {
      layer(skin::kBtnReservNo);
      holderNumber = static_cast<int>(in.waitingImageTerminal);
    } else if (in.terminalResaNum != 0 || in.scannerOnGui || in.scannerSerialEmpty || in.ledError) {
      if (in.terminalResaNum != in.terminalNum || in.ledError) {
        layer(skin::kBtnReservNo);
        if (in.terminalResaNum != 0 && in.terminalResaNum != -1) holderNumber = in.terminalResaNum;
      } else {
        layer(skin::kBtnReservOn);
      }
    } else if (in.stationFlags != -1) {
      layer((in.stationFlags & 1) ? skin::kBtnReserv : skin::kBtnReservNo);
    }
  }
  if (holderNumber != 0) {
    const SRect a = area(skin::kBtnReservNo);
    if (!a.Empty())
      paint.texts.push_back({std::to_wstring(holderNumber), {a.x - a.w / 2, a.y, a.w * 2, a.h}, a.h * 4 / 5,
                             0x80FFFFFFu});
  }
  if (in.terminalResaNum == 0 || !multiStation) layer(skin::kBtnParam);

  if (in.lower == LowerPanel::kMultiPlate) {
    // Box 3 is not used in two-plate mode: its frame fades and its buttons go.
    const bool twoPlates = in.t4Mode == 1;
    for (int i = 0; i < 3; ++i) {
      layer(skin::kBoxes[i], skinHeight, i == 2 && twoPlates ? 0.3f : 1.0f);
      // The box's picture inside its frame's opaque area.
      SRect a = area(skin::kBoxes[i]);
      if (a.Empty() || (i == 2 && twoPlates)) continue;
      a.y += skinHeight;
      SPanelLayer picture;
      picture.box = i + 1;
      picture.area = a;
      paint.layers.push_back(picture);
    }
    layer(skin::kBoxRotate[0], skinHeight);
    layer(skin::kBoxRotate[1], skinHeight);
    layer(skin::kExchange12, skinHeight);
    layer(skin::kValid, skinHeight);
    layer(skin::kCut, skinHeight);
    if (!twoPlates) {
      layer(skin::kBoxRotate[2], skinHeight);
      layer(skin::kExchange23, skinHeight);
    }
  }
  if (in.lower == LowerPanel::kModeStrip)
    layer(in.t4Mode == 1 ? skin::kMode4C : in.t4Mode == 2 ? skin::kMode4 : skin::kModeOff, skinHeight);

  if (in.demoMode)
    paint.texts.push_back({L"Demo\nMode", {0, 0, paint.width, paint.height}, paint.height / 3, 0x80FFFFFFu});
  if (in.batchReadsLeft > 1)
    paint.texts.push_back({std::to_wstring(in.batchReadsLeft), {0, 0, skinWidth, skinHeight}, skinHeight / 2,
                           0x80FF0000u});
  return paint;
}

// ------------------------------------------------------------------ texts

std::wstring StatusText(const SStatusInputs& in, const std::function<std::wstring(int)>& text) {
  if (in.scannerSerialEmpty) return text(750);
  if (in.scannerOnGui) return text(751);
  if (in.terminalResaNum != 0) {
    std::wstring s = in.terminalResaNum == in.terminalNum ? text(753) : FormatText(text(754), {in.terminalResaNum});
    if (in.multiStation) {
      s += L"\n";
      if (in.waitingStations < 0) s += L"---";
      else if (in.waitingStations > 1) s += FormatText(text(756), {in.waitingStations});
      else s += text(755);
    }
    return s;
  }
  if (in.stationFlags != -1) return text((in.stationFlags & 1) ? 752 : 757);
  return text(600);
}

}  // namespace orvaq::ui
