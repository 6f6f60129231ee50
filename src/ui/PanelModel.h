// The main panel as data: which skin pictures, texts and controls the panel shows for a
// state of the scanner and of the station, and the size rules of the skinned window.
// The Windows side (ui/win) only loads the pictures, composes these layers with GDI+ and
// moves the controls where this says.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvaq::ui {

struct SRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Empty() const { return w <= 0 || h <= 0; }
  bool operator==(const SRect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

struct SSize {
  int w = 0, h = 0;
  bool operator==(const SSize& o) const { return w == o.w && h == o.h; }
};

// Skin picture names.
namespace skin {
constexpr const wchar_t* kControl = L"LUMEQ_CONTROL";
constexpr const wchar_t* kControlVet = L"LUMEQ_CONTROL_VET";
constexpr const wchar_t* kT4Control = L"LUMEQ_T4_CONTROL";
constexpr const wchar_t* kT4ControlVet = L"LUMEQ_T4_CONTROL_VET";
constexpr const wchar_t* kModeControl = L"LUMEQ_T4_MODE_CONTROL";
constexpr const wchar_t* kModeControlVet = L"LUMEQ_T4_MODE_CONTROL_VET";
constexpr const wchar_t* kLedBlue = L"LUMEQ_LED_BLUE";
constexpr const wchar_t* kLedYellow = L"LUMEQ_LED_YELLOW";
constexpr const wchar_t* kLedOrange = L"LUMEQ_LED_ORANGE";
constexpr const wchar_t* kLedPurple = L"LUMEQ_LED_PURPLE";
constexpr const wchar_t* kBtnClose = L"LUMEQ_BTN_CLOSE";
constexpr const wchar_t* kBtnParam = L"LUMEQ_BTN_PARAM";
constexpr const wchar_t* kBtnResize = L"LUMEQ_BTN_RESIZE";
constexpr const wchar_t* kBtnReserv = L"LUMEQ_BTN_RESERV";
constexpr const wchar_t* kBtnReservOn = L"LUMEQ_BTN_RESERV_ON";
constexpr const wchar_t* kBtnReservNo = L"LUMEQ_BTN_RESERV_NO";
constexpr const wchar_t* kSensorArrows[4] = {L"LUMEQ_SENSOR_UP", L"LUMEQ_SENSOR_LEFT", L"LUMEQ_SENSOR_DOWN",
                                             L"LUMEQ_SENSOR_RIGHT"};
constexpr const wchar_t* kBoxes[3] = {L"LUMEQ_T4_BOX_1", L"LUMEQ_T4_BOX_2", L"LUMEQ_T4_BOX_3"};
constexpr const wchar_t* kBoxRotate[3] = {L"LUMEQ_T4_BOX_1_ROTATE", L"LUMEQ_T4_BOX_2_ROTATE",
                                          L"LUMEQ_T4_BOX_3_ROTATE"};
constexpr const wchar_t* kExchange12 = L"LUMEQ_T4_BOX_1_2_EXCG";
constexpr const wchar_t* kExchange23 = L"LUMEQ_T4_BOX_2_3_EXCG";
constexpr const wchar_t* kCut = L"LUMEQ_T4_CUT";
constexpr const wchar_t* kValid = L"LUMEQ_T4_VALID";
constexpr const wchar_t* kMode4 = L"LUMEQ_T4_MODE_4";
constexpr const wchar_t* kMode4C = L"LUMEQ_T4_MODE_4C";
constexpr const wchar_t* kModeOff = L"LUMEQ_T4_MODE_OFF";
}  // namespace skin

// ------------------------------------------------------------------ skin pictures

// The runs of opaque pixels (alpha 128 or more), row by row, of a 32-bit ARGB picture
// (bytes B, G, R, A per pixel), each a rectangle one pixel high.
std::vector<SRect> OpaqueRuns(const uint8_t* pixels, int width, int height, int strideBytes);
// Their bounding box: a control's area on the skin (empty when there are none).
SRect BoundingBox(const std::vector<SRect>& runs);

// ------------------------------------------------------------------ window size rules

// The skin's size as the window's base size: halved when higher than 100 pixels.
SSize BaseWindowSize(int skinWidth, int skinHeight);

// Whether a saved placement is restored: a 44-byte record, the right button not held,
// and width and height in the skin's proportions (integer percent, less than 1 apart).
bool PlacementRestorable(int length, int width, int height, int skinWidth, int skinHeight, bool rightButtonDown);

// The default window rectangle: the base size at the top edge, centred horizontally.
SRect DefaultWindowRect(int skinWidth, int skinHeight, int screenWidth);

struct SSizeLimits {
  SSize maxSize, minTrack, maxTrack;
};
// Size limits for a skin of `skinWidth` x `skinHeight` with `extraHeight` skin pixels of
// lower panel below it (halved together with the skin); doubled when `doubled`.
SSizeLimits SizeLimits(int skinWidth, int skinHeight, int extraHeight, bool doubled);

// The bottom edge that keeps the proportions while the user drags a side.
int KeepRatioBottom(int top, int left, int right, int skinWidth, int totalSkinHeight);

// Whether a client point lies in the bottom-right sizing square (a twentieth of the
// width); everywhere else drags the window.
bool InSizingCorner(int x, int y, int clientWidth, int clientHeight);

// ------------------------------------------------------------------ lower panel

enum class LowerPanel { kNone, kModeStrip, kMultiPlate };
constexpr int kMainSkinHeight = 120;
constexpr int kMultiPlatePanelHeight = 240;
constexpr int kModeStripHeight = 40;

// The panel under the control picture: the multi-plate panel while multi-plate work is
// on or in multi-image mode, else the mode strip when `acquisitionUseT4` is 1 or more.
LowerPanel ShownLowerPanel(bool t4Work, bool multiImageMode, int acquisitionUseT4);
int LowerPanelHeight(LowerPanel panel);

// The mode counter at start: `AcquisitionUseT4` clamped to 0..2, 0 in multi-image mode.
int InitialT4Mode(int acquisitionUseT4, bool acqMultiImages);
int NextT4Mode(int mode);

// ------------------------------------------------------------------ controls

enum ControlId : int {
  kIdSensorUp = 1001,
  kIdInformation = 1005,
  kIdClose = 1006,
  kIdParameters = 1007,
  kIdReservation = 1008,
  kIdT4Mode = 1009,
  kIdRotate1 = 1010,
  kIdExchange12 = 1015,
  kIdExchange23 = 1016,
  kIdCut = 1020,
  kIdValidate = 1021,
  kIdStoredList = 1022,
};

struct SControlPlace {
  int id = 0;
  SRect rect;         // window pixels; parked at (-10, -10, 0, 0) when not shown
  bool shown = false;
};

struct SLayoutResult {
  std::vector<SControlPlace> controls;
  // The skin has no orientation arrows: `AcqWay` is to be set to 0.
  bool forceAcqWayZero = false;
};

// Places every control of the main panel on a window of `windowWidth` x `windowHeight`
// from the opaque areas of its overlay (`area` answers in skin pixels; empty when the
// picture is missing).
// The stored-acquisition list lies over box 1: it is shown only in multi-image mode.
SLayoutResult LayoutControls(const std::function<SRect(const wchar_t*)>& area, int windowWidth, int windowHeight,
                             int skinWidth, int skinHeight, LowerPanel lower, bool closeHidden,
                             bool multiImageMode = false);

// ------------------------------------------------------------------ painting

// What the painting reads: the controller's flags, the status queries and the settings.
struct SPanelInputs {
  bool ledReady = false, ledReserved = false, ledReceiving = false, ledError = true;
  bool transferInProgress = false;
  bool scannerOnGui = false;
  bool scannerSerialEmpty = true;
  int terminalResaNum = 0;  // terminal holding the reservation (0 = none)
  int terminalNum = -1;     // this station
  bool reservationButtonVisible = true;
  int64_t reservationMode = -1;       // status query 18 (1 = multi-station)
  int64_t stationFlags = -1;          // status query 17
  int64_t waitingImageTerminal = 0;   // status query 15
  int batchReadsLeft = 0;
  bool twain = false, multiImageMode = false, closeVisible = true, vet = false;
  bool demoMode = false;
  int acqWay = 0;
  int t4Mode = 0;
  LowerPanel lower = LowerPanel::kNone;
};

struct SPanelLayer {
  std::wstring picture;
  int top = 0;          // skin pixels: pictures of the lower panels sit below the control picture
  float alpha = 1.0f;   // colour-matrix alpha factor
  // A multi-plate box's stored picture (box 1 to 3) instead of a skin picture, fitted
  // into `area` (skin pixels of the composed panel).
  int box = 0;
  SRect area;
};

struct SPanelText {
  std::wstring text;
  SRect rect;           // skin pixels, the text centred in it
  int fontHeight = 0;   // skin pixels, bold Arial
  uint32_t argb = 0;
};

struct SPanelPaint {
  int width = 0, height = 0;  // off-screen picture, skin pixels
  std::vector<SPanelLayer> layers;
  std::vector<SPanelText> texts;
};

// The layers of the panel in drawing order. `area` gives an overlay's opaque area (for
// the holder's number over the reservation button).
SPanelPaint ComposePanel(const SPanelInputs& in, int skinWidth, int skinHeight,
                         const std::function<SRect(const wchar_t*)>& area);

// ------------------------------------------------------------------ texts

// The status text of the panel (`text` looks a text number up).
struct SStatusInputs {
  bool scannerSerialEmpty = true;
  bool scannerOnGui = false;
  int terminalResaNum = 0;
  int terminalNum = -1;
  bool multiStation = false;
  int waitingStations = -1;  // -1 when unknown
  int64_t stationFlags = -1;
};
std::wstring StatusText(const SStatusInputs& in, const std::function<std::wstring(int)>& text);

}  // namespace orvaq::ui
