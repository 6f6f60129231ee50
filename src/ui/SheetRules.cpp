// The sheet's rules (see SheetRules.h).
#include "ui/SheetRules.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "common/Text.h"
#include "settings/KvParameters.h"

namespace orvaq::ui {

const std::array<unsigned, 16> kStationColors = {0x000000, 0xFFFF00, 0xFF0000, 0xFF00FF, 0x008000, 0x808080,
                                                 0x00FF00, 0x000080, 0x800000, 0x008080, 0x800080, 0x0000FF,
                                                 0xC0C0C0, 0x808000, 0xFFFFFF, 0x00FFFF};
const std::array<SQualityEntry, 2> kQualityEntries = {{{730, 0}, {732, 2}}};

namespace {

int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(hi, v)); }

std::wstring Trim(const std::wstring& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::iswspace(s[b])) ++b;
  while (e > b && std::iswspace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Leading integer of a field, as the answer's "%d" wrote it; false when there is none.
bool ToInt(const std::wstring& field, int& value) {
  const std::wstring t = Trim(field);
  if (t.empty()) return false;
  wchar_t* end = nullptr;
  const long v = std::wcstol(t.c_str(), &end, 10);
  if (end == t.c_str()) return false;
  // Bounded so that arithmetic on a garbled answer cannot overflow.
  value = static_cast<int>(std::max(-1000000L, std::min(1000000L, v)));
  return true;
}

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
  const size_t n = std::wcslen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

}  // namespace

// ------------------------------------------------------------------ sheet values

int ShownReservationDuration(int stored) {
  const int v = StoredReservationDuration(stored);
  return v < kDurationShownMin || v > kDurationShownMax ? kDurationDefaultShown : v;
}

int StoredReservationDuration(int typed) { return Clamp(typed, 0, 999); }

int QualityIndex(int storedQuality) {
  for (size_t i = 0; i < kQualityEntries.size(); ++i)
    if (kQualityEntries[i].itemData == storedQuality) return static_cast<int>(i);
  return -1;
}

SSheetValues LoadSheetValues(CKvParameters& params) {
  SSheetValues v;
  v.quality = params.GetAcquisitionQuality();
  v.showPreview = params.GetShowImagePreview();
  v.multiImages = params.GetAcqMultiImages() != 0;
  v.advancedDenoising = params.GetAdvancedDenoising() != 0;
  v.t4Mode = Clamp(params.GetAcquisitionUseT4(), 0, 2);
  v.delayT4 = params.GetDelayT4();
  v.gamma = Clamp(params.GetAcqGamma(), kGammaMin, kGammaMax);
  v.luminosity = Clamp(params.GetAcqLuminosity(), kGammaMin, kGammaMax);
  v.contrast = Clamp(params.GetAcqContrast(), kGammaMin, kGammaMax);
  v.filter = Clamp(params.GetAcqFilter(), kFilterMin, kFilterMax);
  v.imagesPath = params.GetImagesPath();
  v.imagesPathEditable = params.m_sCmdImagePath.empty();
  v.stationName = params.GetStationName();
  v.reservationDuration = ShownReservationDuration(params.GetReservationDuration());
  v.colorIndex = params.GetLUMEQ2Color();
  const int number = params.GetStationNumber();
  v.stationNumber = number >= 1 && number <= 10 ? number : 0;
  return v;
}

bool SaveSheetValues(CKvParameters& params, const SSheetValues& v) {
  bool restart = false;
  if (params.m_sCmdImagePath.empty()) params.SetImagesPath(v.imagesPath);
  params.SetStationName(v.stationName);
  const int t4 = Clamp(v.t4Mode, 0, 2);
  params.SetAcquisitionUseT4(t4);
  if (t4 != 0) params.SetAcqMultiImages(0);
  params.SetDelayT4(v.delayT4);
  params.SetAcquisitionQuality(params.m_bTwain ? 0 : v.quality);
  params.SetReservationDuration(StoredReservationDuration(v.reservationDuration));
  params.SetShowImagePreview(v.showPreview);
  if (params.m_bTwain) {
    params.SetAdvancedDenoising(v.advancedDenoising ? 1 : 0);
    if (v.multiImages != (params.GetAcqMultiImages() != 0)) {
      params.SetAcqMultiImages(v.multiImages ? 1 : 0);
      restart = true;
    }
  }
  if (!params.m_bImaging) {
    params.SetAcqGamma(v.gamma);
    params.SetAcqLuminosity(v.luminosity);
    params.SetAcqContrast(v.contrast);
    params.SetAcqFilter(v.filter);
  }
  return restart;
}

// ------------------------------------------------------------------ value labels

std::wstring GammaLabel(int p) {
  const int g = p >= 0 ? 100 + 2 * p : 100 + (2 * p) / 3;
  wchar_t text[32];
  std::swprintf(text, 32, L"%01d.%02.2d", g / 100, g % 100);
  return text;
}

std::wstring PercentLabel(int p) { return std::to_wstring(p) + L" %"; }

std::wstring FilterLabel(int p) {
  if (p <= kFilterMin) return L"---";
  wchar_t text[32];
  std::swprintf(text, 32, L"%d.%02d", (p + 120) / 100, (p + 120) % 100);
  return text;
}

std::wstring DelayLabel(int position) { return std::to_wstring(position * 5) + L" sec."; }

// ------------------------------------------------------------------ linked controls

SPermissionBoxes ApplyPermissionRule(bool screenOn, bool stationOn) {
  if (!screenOn) return {false, true, true, false};
  if (!stationOn) return {true, false, false, true};
  return {true, true, true, true};
}

int PermissionBits(bool screen, bool colour, bool station) {
  return (screen ? 4 : 0) + (colour ? 2 : 0) + (station ? 1 : 0);
}

SPermissionRead ReadPermissions(int bits) {
  SPermissionRead r;
  if (bits < 1) return r;
  r.screen = (bits & 4) != 0;
  r.station = (bits & 1) != 0;
  r.colour = (bits & 2) != 0;
  r.remembered = bits;
  return r;
}

int PermissionActionCode(int bits, int bitsAtOpening) { return bits == bitsAtOpening ? 0 : 1070 + bits; }

SModeChoice OnT4ModeChosen(SModeChoice current, int t4Mode) {
  current.t4Mode = Clamp(t4Mode, 0, 2);
  if (current.t4Mode != 0) current.multiImages = false;
  return current;
}

SModeChoice OnMultiImagesClicked(SModeChoice current, bool multiImages) {
  current.multiImages = multiImages;
  // The box selects "off" whichever way it was clicked, as the radio group is shared.
  current.t4Mode = 0;
  return current;
}

// ------------------------------------------------------------------ OK and connection

SheetOk ClassifyOk(bool shift, bool ctrl, bool alt, bool serviceConsoleFocused) {
  if (shift && ctrl) return SheetOk::kTechnicalSetup;
  if (alt && ctrl) return SheetOk::kServicePage;
  if (serviceConsoleFocused) return SheetOk::kServiceCommand;
  return SheetOk::kSave;
}

bool SaveAllowed(bool scannerConfigured, int answerTo622) {
  return scannerConfigured || answerTo622 == kAnswerYes;
}

int ConnectionError(bool scannerSelected, bool multiPressed, bool numberSelected) {
  if (!scannerSelected) return 607;
  if (multiPressed && !numberSelected) return 608;
  return 0;
}

SConnection ConnectionValues(const std::wstring& serial, bool multi, int colorIndex, int numberItemData) {
  SConnection c;
  c.serial = serial;
  c.color = multi && colorIndex >= 0 && colorIndex <= 15 ? colorIndex : 0;
  c.stationNumber = multi ? numberItemData : 1;
  if (c.stationNumber > 10 || c.stationNumber < 0) c.stationNumber = 0;
  return c;
}

// ------------------------------------------------------------------ scanner answers

std::vector<std::wstring> SplitScannerList(const std::wstring& list) {
  std::vector<std::wstring> serials;
  for (const std::wstring& part : orvaq::SplitText(list, L';')) {
    const std::wstring t = Trim(part);
    if (!t.empty()) serials.push_back(t);
  }
  return serials;
}

std::vector<int> OfferedStationNumbers(const std::wstring& registered) {
  std::vector<int> offered;
  if (EqualsNoCase(Trim(registered), L"NOTOK")) return offered;
  std::vector<bool> taken(11, false);
  for (const std::wstring& part : orvaq::SplitText(registered, L';')) {
    int n = 0;
    if (ToInt(part, n) && n >= 1 && n <= 10) taken[n] = true;
  }
  for (int n = 1; n <= 10; ++n)
    if (!taken[n]) offered.push_back(n);
  return offered;
}

bool ParseWaitingImage(const std::wstring& answer, SWaitingImage& image) {
  const std::vector<std::wstring> fields = orvaq::SplitText(answer, L';');
  int terminal = 0;
  if (answer.empty() || !ToInt(fields[0], terminal) || terminal < 1 || terminal > 10) return false;
  image.terminal = terminal;
  image.doctor = fields.size() > 2 ? fields[2] : std::wstring();
  image.patient = fields.size() > 3 ? fields[3] : std::wstring();
  return true;
}

// ------------------------------------------------------------------ service console

bool IsClearCommand(const std::wstring& command) { return EqualsNoCase(command, L"cls"); }

std::wstring ConsoleWithCommand(const std::wstring& output, const std::wstring& command) {
  return output + (output.empty() ? L"" : L"\r\n") + L">> " + command;
}

std::wstring ConsoleAnswer(int code, const std::wstring& answer) {
  return L"\r\n < " + std::to_wstring(code) + L"\r\n" + answer;
}

void CServiceHistory::Add(const std::wstring& command) {
  if (!command.empty()) m_Commands.push_back(command);
  m_nPosition = m_Commands.size();
}

bool CServiceHistory::Up(std::wstring& entry) {
  if (m_Commands.empty()) return false;
  bool moved = true;
  if (m_nPosition == 0) moved = false;
  else --m_nPosition;
  entry = m_Commands[m_nPosition];
  return moved;
}

bool CServiceHistory::Down(std::wstring& entry) {
  if (m_Commands.empty()) return false;
  bool moved = true;
  if (m_nPosition + 1 >= m_Commands.size()) {
    moved = false;
    m_nPosition = m_Commands.size() - 1;
  } else {
    ++m_nPosition;
  }
  entry = m_Commands[m_nPosition];
  return moved;
}

// ------------------------------------------------------------------ technical setup

std::array<SStationButton, 10> StationButtons(const std::wstring& answer) {
  std::array<SStationButton, 10> buttons;
  if (answer.empty() || EqualsNoCase(Trim(answer), L"NOTOK")) return buttons;
  const std::vector<std::wstring> lines = orvaq::SplitText(answer, L'\n');
  const std::vector<std::wstring> head = orvaq::SplitText(lines[0], L';');
  int mask = 0, holder = 0, waiting = 0;
  if (head.size() < 3 || !ToInt(head[0], mask) || !ToInt(head[1], holder) || !ToInt(head[2], waiting))
    return buttons;
  for (size_t i = 1; i < lines.size() && i <= 10; ++i) {
    const std::vector<std::wstring> f = orvaq::SplitText(lines[i], L';');
    int n = 0;
    if (f.size() < 4 || !ToInt(f[1], n) || n < 1 || n > 10) continue;
    int color = 0;
    if (!ToInt(f[2], color)) color = 0;
    std::wstring mac = f[3];
    for (size_t k = 4; k < f.size(); ++k) mac += L";" + f[k];
    SStationButton& b = buttons[n - 1];
    b.label = std::to_wstring(n) + L" - " + std::to_wstring(color) + L"\n" + mac + L"\n" +
              ((mask >> (n - 1)) & 1 ? L"Reg" : L"") + L" " + (holder == n ? L"Res " : L"") + L" " +
              (waiting == n ? L"Img" : L"");
    b.enabled = true;
  }
  return buttons;
}

SStationAction StationButtonAction(int station, bool shift) {
  return shift ? SStationAction{614, 1040 + station} : SStationAction{613, 1020 + station};
}

int DelayPosition(const std::wstring& answer, bool scannerSelected) {
  if (!scannerSelected) return 12;
  int seconds = 0;
  if (!ToInt(answer, seconds)) return 12;
  return Clamp(seconds / 5, 0, 60);
}

int DelayActionCode(int sliderPosition) { return 10000 + 5 * Clamp(sliderPosition, 0, 60); }

}  // namespace orvaq::ui
