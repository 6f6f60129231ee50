// The parameter sheet, the technical setup and the service console as data: what each
// setting shows when the sheet opens and becomes when it is saved, the rules that tie
// controls together, the value labels, what OK does with which modifier keys, the
// console's parsing and history, and the technical dialog's station buttons and codes.
// The Windows side (ui/win/Sheet*, TechnicalSetup*, EditService*) only moves these
// values in and out of real controls and sends the requests.
#pragma once

#include <array>
#include <string>
#include <vector>

class CKvParameters;

namespace orvaq::ui {

// ------------------------------------------------------------------ sheet values

// The values of the sheet's controls: filled from the settings when the sheet opens,
// written back by a save. The scanner's own values (permissions, stand-by delay) go
// through the main window and are not part of it.
struct SSheetValues {
  // Image page.
  int quality = 0;            // 0 or 2 (the two entries), or another stored value kept
  bool showPreview = false;   // 1198
  bool multiImages = false;   // 1199 (shown only with /twain)
  bool advancedDenoising = false;  // 1223 (shown only with /twain)
  int t4Mode = 0;             // radio 1211 + t4Mode
  int delayT4 = 10;           // edit 1221
  int gamma = 0, luminosity = 0, contrast = 0, filter = 0;
  // Configuration page.
  std::wstring imagesPath;    // edit 1102
  bool imagesPathEditable = true;  // false while a command-line folder is active
  std::wstring stationName;   // edit 1170
  int reservationDuration = 40;  // edit 1181 as typed (text read as a number)
  int colorIndex = 0;         // 0 ... 15
  int stationNumber = 0;      // 1 ... 10, 0 when none is selected
};

constexpr int kGammaMin = -100, kGammaMax = 100;
constexpr int kFilterMin = 100, kFilterMax = 740;
constexpr int kDelayT4Max = 300;
constexpr int kDurationShownMin = 10, kDurationShownMax = 600, kDurationDefaultShown = 40;
constexpr int kStandbyMax = 60;
// The colour combo's sixteen colours (0x00BBGGRR), index = `LUMEQ2Color`.
extern const std::array<unsigned, 16> kStationColors;
// The quality combo: text id and item data of its two entries.
struct SQualityEntry {
  int textId, itemData;
};
extern const std::array<SQualityEntry, 2> kQualityEntries;

// What the sheet shows for the settings as they are now.
SSheetValues LoadSheetValues(CKvParameters& params);

// Steps of a save (OK without modifiers) that touch only settings; true when a change
// needs a restart (the multi-image mode with /twain).
bool SaveSheetValues(CKvParameters& params, const SSheetValues& values);

// The reservation duration shown: clamped to 0 ... 999, then 40 outside 10 ... 600.
int ShownReservationDuration(int stored);
// What a typed duration stores: clamped to 0 ... 999.
int StoredReservationDuration(int typed);
// The quality entry selected for a stored value, -1 when neither entry matches.
int QualityIndex(int storedQuality);

// ------------------------------------------------------------------ value labels

std::wstring GammaLabel(int position);       // "1.00" at 0, "3.00" at 100, "0.34" at -100
std::wstring PercentLabel(int position);     // "%d %"
std::wstring FilterLabel(int position);      // "---" at the range minimum, else "1.20" ...
std::wstring DelayLabel(int sliderPosition); // technical dialog: "%d sec." of position x 5

// ------------------------------------------------------------------ linked controls

// The permission check boxes 1185 (screen) and 1186 (workstation): at least one stays on.
struct SPermissionBoxes {
  bool screenOn, stationOn;
  bool screenEnabled, stationEnabled;
};
SPermissionBoxes ApplyPermissionRule(bool screenOn, bool stationOn);

// The bits the scanner keeps: 4 screen, 2 colour, 1 workstation.
int PermissionBits(bool screen, bool colour, bool station);
struct SPermissionRead {
  bool screen = false, colour = false, station = false;
  int remembered = -1;  // the value compared at save time
};
// A value below 1 leaves the boxes off and remembers -1.
SPermissionRead ReadPermissions(int bits);
// The administration code that stores `bits`, or 0 when nothing is to be sent.
int PermissionActionCode(int bits, int bitsAtOpening);

// Multi-plate radio and multi-image box exclude each other.
struct SModeChoice {
  int t4Mode;
  bool multiImages;
};
SModeChoice OnT4ModeChosen(SModeChoice current, int t4Mode);
SModeChoice OnMultiImagesClicked(SModeChoice current, bool multiImages);

// ------------------------------------------------------------------ OK and connection

enum class SheetOk {
  kSave,            // save and close (after #622 when no scanner is configured)
  kTechnicalSetup,  // Shift+Ctrl: nothing saved, restart needed afterwards
  kServicePage,     // Alt+Ctrl: nothing saved, restart needed
  kServiceCommand,  // Enter in the console: send the command, the sheet stays open
};
SheetOk ClassifyOk(bool shift, bool ctrl, bool alt, bool serviceConsoleFocused);

// Whether a save may go on: with no scanner configured only a Yes to #622 saves.
constexpr int kAnswerYes = 6;
bool SaveAllowed(bool scannerConfigured, int answerTo622);

// The connection button's check: 0 when it may go on, else the error text (#607, #608).
int ConnectionError(bool scannerSelected, bool multiPressed, bool numberSelected);
struct SConnection {
  std::wstring serial;
  int color = 0;
  int stationNumber = 1;
};
// The settings the connection stores: colour and number only in "Multi".
SConnection ConnectionValues(const std::wstring& serial, bool multi, int colorIndex, int numberItemData);

// ------------------------------------------------------------------ scanner answers

// "a; b ;c" as trimmed, non-empty entries.
std::vector<std::wstring> SplitScannerList(const std::wstring& list);
// Numbers 1 ... 10 not registered on the scanner (answer of action 3; "NOTOK": none).
std::vector<int> OfferedStationNumbers(const std::wstring& registered);
// The waiting image of action 14 ("term;color;doctor;patient;lines;size").
struct SWaitingImage {
  int terminal = 0;
  std::wstring doctor, patient;
};
// True when the answer names a terminal 1 ... 10.
bool ParseWaitingImage(const std::wstring& answer, SWaitingImage& image);

// ------------------------------------------------------------------ service console

bool IsClearCommand(const std::wstring& command);
// The output after sending `command`: ">> command", after "\r\n" when not empty.
std::wstring ConsoleWithCommand(const std::wstring& output, const std::wstring& command);
// The line appended with the answer: "\r\n < %d\r\n%s".
std::wstring ConsoleAnswer(int code, const std::wstring& answer);

// The console's command history.
class CServiceHistory {
 public:
  // A sent command: kept when not empty; the position goes past the last entry.
  void Add(const std::wstring& command);
  // Moves back (Up) or forward (Down). False (the caller beeps) at either end, where the
  // position stays on the first or last entry. `entry` is what the edit box shows; it is
  // left alone when the history is empty.
  bool Up(std::wstring& entry);
  bool Down(std::wstring& entry);
  size_t Size() const { return m_Commands.size(); }

 private:
  std::vector<std::wstring> m_Commands;
  size_t m_nPosition = 0;
};

// ------------------------------------------------------------------ technical setup

constexpr int kFirstStationButton = 22980;
struct SStationButton {
  bool enabled = false;
  std::wstring label;
};
// The ten station buttons from the answer of action 1; all disabled and empty for
// "NOTOK", an empty answer or a malformed first line.
std::array<SStationButton, 10> StationButtons(const std::wstring& answer);
// The action of station button n: take-over (1040 + n, question #614) with Shift, else
// reset (1020 + n, question #613).
struct SStationAction {
  int question, code;
};
SStationAction StationButtonAction(int station, bool shift);
// The return-to-home-screen delay: slider position from the answer of 9999 (12 when
// there is no scanner), and the code that stores a position.
int DelayPosition(const std::wstring& answer, bool scannerSelected);
int DelayActionCode(int sliderPosition);

}  // namespace orvaq::ui
