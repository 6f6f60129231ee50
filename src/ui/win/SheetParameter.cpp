// The parameter sheet (see SheetParameter.h). The sheet window is the common controls'
// property sheet, subclassed so that OK, the hidden buttons and the timers come here
// first; the pages' messages come through one page procedure.
#include "ui/win/SheetParameter.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "app/win/TextResourcesWin.h"
#include "logging/KvLogger.h"
#include "settings/KvParameters.h"
#include "settings/win/KvAdaptersWin.h"
#include "ui/win/TechnicalSetup.h"

using namespace orvaq::ui;

namespace {

// Controls of the pages.
enum : int {
  kLargeMessage = 601,
  kStandbyLabel = 1033,
  kStandbyEdit = 1034,
  kStandbyUnit = 1035,
  kErrorList = 1036,
  kErrorListView = 1037,
  kImagesPathEdit = 1102,
  kImagesPathBrowse = 1103,
  kImagesPathLabel = 1101,
  kFilterGroupFirst = 1104,
  kFilterGroupLast = 1116,
  kGammaSlider = 1106,
  kGammaLabel = 1107,
  kLumSlider = 1109,
  kLumLabel = 1110,
  kContrastSlider = 1112,
  kContrastLabel = 1113,
  kFilterSlider = 1115,
  kFilterLabel = 1116,
  kAddressCombo = 1117,
  kAddressStatic = 1118,
  kScannerAddress = 1119,
  kScannerCombo = 1120,
  kRefreshButton = 1121,
  kAddressMode = 1123,
  kAdapterCombo = 1164,
  kProgress = 1165,
  kColorLabel = 1166,
  kColorCombo = 1167,
  kStationName = 1170,
  kVersionLine = 1171,
  kCopyrightLine = 1172,
  kNumberLabel = 1173,
  kNumberCombo = 1174,
  kQualityLabel = 1175,
  kQualityCombo = 1176,
  kConnect = 1177,
  kDurationEdit = 1181,
  kDurationSpin = 1182,
  kDurationLabel = 1183,
  kDurationUnit = 1184,
  kPermScreen = 1185,
  kPermStation = 1186,
  kPermColour = 1187,
  kStandbySpin = 1188,
  kMono = 1190,
  kMulti = 1191,
  kConsoleOutput = 1192,
  kConsoleEdit = 1194,
  kReadWaiting = 1197,
  kPreview = 1198,
  kMultiImages = 1199,
  kT4Off = 1211,
  kT4Mode2 = 1213,
  kDelayT4Edit = 1221,
  kDelayT4Spin = 1222,
  kDenoising = 1223,
  kAboutIcon = 1179,
};

// The scanner page's fields, each with its 0x465 type (0: not a request).
struct SField {
  int id, label, type;
  bool text;
};
const SField kScannerFields[] = {
    {1124, 1125, 102, true}, {1126, 1127, 103, true}, {1128, 1129, 104, true}, {1130, 1135, 5, true},
    {1141, 1140, 6, true},   {1143, 1142, 7, true},   {1145, 1144, 9, false},  {1147, 1146, 10, false},
    {1149, 1148, 11, false}, {1162, 1161, 13, false}, {1196, 1195, 15, false},
};
const int kScannerOtherControls[] = {1122, kAddressMode, 1136, 1131, 1132, 1133, 1134, 1150, 1151, 1152,
                                     1153,  1154,         1155, 1156, 1157, 1158, 1159, 1160};

CSheetParameter* s_pOpening = nullptr;

bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void Check(HWND button, bool on) { SendMessageW(button, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
void Show(HWND window, bool show) { ShowWindow(window, show ? SW_SHOW : SW_HIDE); }

std::wstring WindowString(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::vector<wchar_t> text(size_t(length) + 1);
  GetWindowTextW(window, text.data(), length + 1);
  return text.data();
}

std::wstring ComboText(HWND combo, int index) {
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return std::wstring();
  std::vector<wchar_t> text(size_t(length) + 1);
  SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

std::wstring SelectedText(HWND combo) {
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? std::wstring() : ComboText(combo, int(index));
}

int EditNumber(HWND edit) {
  const std::wstring text = WindowString(edit);
  // Typed digits only (ES_NUMBER); an empty box reads 0, a pasted giant stays bounded.
  const long value = text.empty() ? 0 : wcstol(text.c_str(), nullptr, 10);
  return value > 1000000 ? 1000000 : value < 0 ? 0 : int(value);
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, start);
  return 0;
}

BOOL CALLBACK TranslateChild(HWND child, LPARAM) {
  wchar_t cls[129] = {};
  GetClassNameW(child, cls, 128);
  CKvParameters* params = GetParameters();
  if (params && (_wcsicmp(cls, L"Button") == 0 || _wcsicmp(cls, L"Static") == 0))
    SetWindowTextW(child, params->GetText(GetDlgCtrlID(child)).c_str());
  return TRUE;
}

// The control-text rule on `window` and its children, the window's own text left alone
// (the sheet's caption and the pages' tab titles are set apart).
void TranslateChildren(HWND window) { EnumChildWindows(window, TranslateChild, 0); }

}  // namespace

constexpr int CSheetParameter::kPageTemplates[];

CSheetParameter::CSheetParameter(HWND mainWindow, const std::wstring& caption)
    : m_Requests(mainWindow), m_sCaption(caption) {}

CSheetParameter::~CSheetParameter() {
  if (m_hLargeFont) DeleteObject(m_hLargeFont);
  if (m_hRichEdit) FreeLibrary(m_hRichEdit);
}

std::wstring CSheetParameter::Text(int id) {
  CKvParameters* params = GetParameters();
  return params ? params->GetText(id) : std::wstring();
}

std::wstring CSheetParameter::Configured() {
  CKvParameters* params = GetParameters();
  return params ? params->GetLUMEQ2Serial() : std::wstring();
}

int CSheetParameter::Ask(int textId, UINT style, const std::wstring& formatted) {
  CKvParameters* params = GetParameters();
  const std::wstring text = formatted.empty() ? Text(textId) : formatted;
  const std::wstring caption = params ? params->GetProgramTitle() : std::wstring(L"Orvaq");
  return MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), style);
}

HPROPSHEETPAGE CSheetParameter::CreatePage(Page page) {
  PROPSHEETPAGEW psp = {};
  psp.dwSize = sizeof(psp);
  psp.hInstance = GetModuleHandleW(nullptr);
  psp.pszTemplate = MAKEINTRESOURCEW(kPageTemplates[page]);
  psp.pfnDlgProc = PageProc;
  psp.lParam = reinterpret_cast<LPARAM>(this);
  // Tab titles from the text file when it has them (ids of the templates).
  const std::wstring title = Text(kPageTemplates[page]);
  if (!title.empty()) {
    psp.dwFlags |= PSP_USETITLE;
    psp.pszTitle = title.c_str();
  }
  return CreatePropertySheetPageW(&psp);
}

INT_PTR CSheetParameter::DoModal() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  // The error-code page's rich-edit control (version 2.0) lives in its own library.
  if (!m_hRichEdit) m_hRichEdit = LoadLibraryW(L"riched20.dll");
  HPROPSHEETPAGE pages[kPageService] = {};
  for (int p = 0; p < kPageService; ++p) pages[p] = CreatePage(Page(p));
  PROPSHEETHEADERW psh = {};
  psh.dwSize = sizeof(psh);
  psh.dwFlags = PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP | PSH_USECALLBACK;
  psh.hwndParent = m_Requests.MainWindow();
  psh.hInstance = GetModuleHandleW(nullptr);
  psh.pszCaption = m_sCaption.c_str();
  psh.nPages = kPageService;
  psh.phpage = pages;
  psh.pfnCallback = SheetCallback;
  s_pOpening = this;
  const INT_PTR result = PropertySheetW(&psh);
  s_pOpening = nullptr;
  if (result < 0) LogPrintf(L"Fen\xEAtre de param\xE9trage impossible \xE0 ouvrir (erreur %u).", unsigned(GetLastError()));
  return result > 0 ? IDOK : IDCANCEL;
}

int CALLBACK CSheetParameter::SheetCallback(HWND window, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED && s_pOpening) {
    CSheetParameter* self = s_pOpening;
    self->m_hWnd = window;
    SetWindowSubclass(window, SheetProc, 1, reinterpret_cast<DWORD_PTR>(self));
    // The pages are activated once the sheet has finished creating itself.
    PostMessageW(window, WM_APP + 17, 0, 0);
  }
  return 0;
}

LRESULT CALLBACK CSheetParameter::SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                            DWORD_PTR data) {
  auto* self = reinterpret_cast<CSheetParameter*>(data);
  switch (message) {
    case WM_APP + 17:
      self->OnInitSheet();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && self->OnSheetCommand(LOWORD(wParam))) return 0;
      break;
    case WM_TIMER:
      if (wParam == kProgressTimer || wParam == kRefreshTimer) {
        self->OnTimer(wParam);
        return 0;
      }
      break;
    case WM_DESTROY:
      self->StopTimers();
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, SheetProc, id);
      self->m_hWnd = nullptr;
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

INT_PTR CALLBACK CSheetParameter::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    auto* self = reinterpret_cast<CSheetParameter*>(psp->lParam);
    SetWindowLongPtrW(window, DWLP_USER, psp->lParam);
    for (int p = 0; p < kPageCount; ++p)
      if (psp->pszTemplate == MAKEINTRESOURCEW(kPageTemplates[p])) self->m_hPages[p] = window;
    return TRUE;
  }
  auto* self = reinterpret_cast<CSheetParameter*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return FALSE;
  Page page = kPageCount;
  for (int p = 0; p < kPageCount; ++p)
    if (self->m_hPages[p] == window) page = Page(p);
  switch (message) {
    case WM_COMMAND:
      self->OnPageCommand(page, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_HSCROLL:
      self->OnSliderMoved();
      return TRUE;
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item->CtlID != UINT(kColorCombo)) return FALSE;
      item->itemHeight = 14;
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID != UINT(kColorCombo)) return FALSE;
      CColorComboBox::DrawItem(*item);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// ------------------------------------------------------------------ opening

void CSheetParameter::OnInitSheet() {
  // Every page once, so that all controls exist; then the page to start on.
  for (Page p : {kPageAbout, kPageConfig, kPageScanner, kPageCodes}) PropSheet_SetCurSel(m_hWnd, nullptr, p);
  LoadErrorList(Item(kPageCodes, kErrorList));
  Show(Item(kPageCodes, kErrorListView), false);
  PropSheet_SetCurSel(m_hWnd, nullptr, Configured().empty() ? kPageConfig : kPageImage);
  LOGFONTW font = {};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  font.lfHeight = LONG(font.lfHeight * 2.5);
  m_hLargeFont = CreateFontIndirectW(&font);
  SendMessageW(Item(kPageScanner, kLargeMessage), WM_SETFONT, reinterpret_cast<WPARAM>(m_hLargeFont), TRUE);
  // The labels come first: some statics (addresses, value labels) are then filled with
  // values, which the translation would otherwise blank again.
  TranslateChildren(m_hWnd);
  LoadValues();
  CreateWindowW(L"BUTTON", L"SERVICE_PAGE", WS_CHILD, 0, 0, 50, 50, m_hWnd, HMENU(UINT_PTR(kServicePageButton)),
                GetModuleHandleW(nullptr), nullptr);
  CreateWindowW(L"BUTTON", L"TECHNICAL_SETTINGS", WS_CHILD, 50, 0, 50, 50, m_hWnd,
                HMENU(UINT_PTR(kTechnicalButton)), GetModuleHandleW(nullptr), nullptr);
}

void CSheetParameter::LoadValues() {
  CKvParameters* params = GetParameters();
  if (!params) return;
  m_bLoading = true;
  m_bPatternRequest = false;
  const SSheetValues v = LoadSheetValues(*params);
  // Image page.
  for (int r = 0; r < 3; ++r) Check(Item(kPageImage, kT4Off + r), r == v.t4Mode);
  SendMessageW(Item(kPageImage, kDelayT4Spin), UDM_SETRANGE32, 0, kDelayT4Max);
  SetDlgItemInt(m_hPages[kPageImage], kDelayT4Edit, UINT(v.delayT4), FALSE);
  HWND quality = Item(kPageImage, kQualityCombo);
  SendMessageW(quality, CB_RESETCONTENT, 0, 0);
  for (const SQualityEntry& e : kQualityEntries) {
    const LRESULT i = SendMessageW(quality, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Text(e.textId).c_str()));
    SendMessageW(quality, CB_SETITEMDATA, i, e.itemData);
  }
  SendMessageW(quality, CB_SETCURSEL, QualityIndex(v.quality), 0);
  Show(quality, !params->m_bTwain);
  Show(Item(kPageImage, kQualityLabel), !params->m_bTwain);
  Check(Item(kPageImage, kPreview), v.showPreview);
  Check(Item(kPageImage, kMultiImages), v.multiImages);
  Check(Item(kPageImage, kDenoising), v.advancedDenoising);
  Show(Item(kPageImage, kMultiImages), params->m_bTwain);
  Show(Item(kPageImage, kDenoising), params->m_bTwain);
  for (int id = kFilterGroupFirst; id <= kFilterGroupLast; ++id) Show(Item(kPageImage, id), !params->m_bImaging);
  const int sliders[4] = {kGammaSlider, kLumSlider, kContrastSlider, kFilterSlider};
  const int positions[4] = {v.gamma, v.luminosity, v.contrast, v.filter};
  for (int s = 0; s < 4; ++s) {
    HWND slider = Item(kPageImage, sliders[s]);
    const bool filter = s == 3;
    SendMessageW(slider, TBM_SETRANGE, FALSE, filter ? MAKELPARAM(kFilterMin, kFilterMax) : MAKELPARAM(kGammaMin, kGammaMax));
    SendMessageW(slider, TBM_SETPOS, TRUE, positions[s]);
    if (!m_Sliders[s].GetSafeHwnd()) m_Sliders[s].Attach(slider, filter ? kFilterMin : 0);
  }
  UpdateSliderLabels();
  // Configuration page.
  SendMessageW(Item(kPageConfig, kDurationEdit), EM_LIMITTEXT, 3, 0);
  SetDlgItemInt(m_hPages[kPageConfig], kDurationEdit, UINT(v.reservationDuration), FALSE);
  SendMessageW(Item(kPageConfig, kDurationSpin), UDM_SETRANGE32, kDurationShownMin, kDurationShownMax);
  SendMessageW(Item(kPageConfig, kStandbySpin), UDM_SETRANGE32, 0, kStandbyMax);
  HWND adapters = Item(kPageConfig, kAdapterCombo);
  SendMessageW(adapters, CB_RESETCONTENT, 0, 0);
  CKvAdaptersWin source;
  std::vector<KvAdapter> all;
  if (source.EnumerateAdapters(all))
    for (const KvAdapter& a : UsableAdapters(all)) {
      const LRESULT i = SendMessageW(adapters, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(a.description.c_str()));
      SendMessageW(adapters, CB_SETITEMDATA, i, a.interfaceIndex);
    }
  const std::wstring adapterName = params->GetAdapterName();
  const LRESULT found = adapterName.empty() ? CB_ERR
                        : SendMessageW(adapters, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(adapterName.c_str()));
  SendMessageW(adapters, CB_SETCURSEL, found == CB_ERR ? WPARAM(-1) : WPARAM(found), 0);
  if (found == CB_ERR && SendMessageW(adapters, CB_GETCOUNT, 0, 0) > 0) {
    SendMessageW(adapters, CB_SETCURSEL, 0, 0);
    params->SetAdapterName(ComboText(adapters, 0));
    m_Requests.InfoNumber(1, nullptr);
  }
  FillAdapterAddresses(true);
  HWND colours = Item(kPageConfig, kColorCombo);
  m_Colors.Attach(colours);
  SendMessageW(colours, CB_RESETCONTENT, 0, 0);
  for (unsigned c : kStationColors) m_Colors.AddColor(COLORREF(c));
  SendMessageW(colours, CB_SETCURSEL, v.colorIndex, 0);
  HWND numbers = Item(kPageConfig, kNumberCombo);
  SendMessageW(numbers, CB_RESETCONTENT, 0, 0);
  for (int n = 1; n <= 10; ++n) {
    const LRESULT i = SendMessageW(numbers, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(n).c_str()));
    SendMessageW(numbers, CB_SETITEMDATA, i, n);
  }
  SendMessageW(numbers, CB_SETCURSEL, v.stationNumber >= 1 ? WPARAM(v.stationNumber - 1) : WPARAM(-1), 0);
  const std::wstring serial = Configured();
  const bool configured = !serial.empty();
  if (configured) {
    ShowReservationControls(m_Requests.InfoNumber(18, &serial));
  } else {
    for (int id : {kPermScreen, kPermStation, kPermColour, kDurationEdit, kDurationSpin, kDurationLabel, kDurationUnit})
      EnableWindow(Item(kPageConfig, id), FALSE);
  }
  for (int id : {kStandbyLabel, kStandbyEdit, kStandbySpin, kStandbyUnit}) Show(Item(kPageConfig, id), configured);
  SetDlgItemTextW(m_hPages[kPageConfig], kImagesPathEdit, v.imagesPath.c_str());
  for (int id : {kImagesPathEdit, kImagesPathLabel, kImagesPathBrowse})
    EnableWindow(Item(kPageConfig, id), v.imagesPathEditable);
  SetDlgItemTextW(m_hPages[kPageConfig], kStationName, v.stationName.c_str());
  m_nPermissionsAtOpening = -1;
  if (configured) {
    const SPermissionRead read = ReadPermissions(m_Requests.InfoNumber(17, &serial));
    Check(Item(kPageConfig, kPermScreen), read.screen);
    Check(Item(kPageConfig, kPermStation), read.station);
    Check(Item(kPageConfig, kPermColour), read.colour);
    m_nPermissionsAtOpening = read.remembered;
    const int standby = _wtoi(m_Requests.Admin(15999, serial).c_str());
    if (standby > 0) SetDlgItemInt(m_hPages[kPageConfig], kStandbyEdit, UINT(standby), FALSE);
  }
  ApplyPermissionRule();
  m_bConfiguredAtOpening = configured;
  // The scanner page and the scanner selection.
  Show(Item(kPageConfig, kScannerCombo), false);
  Show(Item(kPageConfig, kRefreshButton), false);
  HWND progress = Item(kPageConfig, kProgress);
  Show(progress, true);
  SendMessageW(progress, PBM_SETRANGE32, 0, 100);
  SendMessageW(progress, PBM_SETSTEP, 25, 0);
  for (int id : {kScannerCombo, kRefreshButton, kConnect, kAdapterCombo, kMono, kMulti})
    EnableWindow(Item(kPageConfig, id), !configured);
  m_bLoading = false;
  if (configured) {
    m_nProgressTimer = SetTimer(m_hWnd, kProgressTimer, 500, nullptr);
    m_nRefreshTimer = SetTimer(m_hWnd, kRefreshTimer, 2000, nullptr);
  } else {
    OnAdapterChanged();
  }
  // The about page: the version line and the copyright.
  SetDlgItemTextW(m_hPages[kPageAbout], kVersionLine,
                  FormatText(Text(kVersionLine), {GetVersionResourceString(L"FileVersion")}).c_str());
  SetDlgItemTextW(m_hPages[kPageAbout], kCopyrightLine, GetVersionResourceString(L"LegalCopyright").c_str());
  if (HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128)))
    SendMessageW(Item(kPageAbout, kAboutIcon), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

void CSheetParameter::UpdateSliderLabels() {
  auto pos = [this](int id) { return int(SendMessageW(Item(kPageImage, id), TBM_GETPOS, 0, 0)); };
  SetDlgItemTextW(m_hPages[kPageImage], kGammaLabel, GammaLabel(pos(kGammaSlider)).c_str());
  SetDlgItemTextW(m_hPages[kPageImage], kLumLabel, PercentLabel(pos(kLumSlider)).c_str());
  SetDlgItemTextW(m_hPages[kPageImage], kContrastLabel, PercentLabel(pos(kContrastSlider)).c_str());
  SetDlgItemTextW(m_hPages[kPageImage], kFilterLabel, FilterLabel(pos(kFilterSlider)).c_str());
}

void CSheetParameter::OnSliderMoved() { UpdateSliderLabels(); }

void CSheetParameter::ApplyPermissionRule() {
  const SPermissionBoxes b =
      orvaq::ui::ApplyPermissionRule(Checked(Item(kPageConfig, kPermScreen)), Checked(Item(kPageConfig, kPermStation)));
  Check(Item(kPageConfig, kPermScreen), b.screenOn);
  Check(Item(kPageConfig, kPermStation), b.stationOn);
  EnableWindow(Item(kPageConfig, kPermScreen), b.screenEnabled);
  EnableWindow(Item(kPageConfig, kPermStation), b.stationEnabled);
}

void CSheetParameter::ShowReservationControls(int mode) {
  if (mode == 0) {
    SendMessageW(Item(kPageConfig, kMono), BM_SETSTATE, TRUE, 0);
    SendMessageW(Item(kPageConfig, kMulti), BM_SETSTATE, FALSE, 0);
  } else if (mode == 1) {
    SendMessageW(Item(kPageConfig, kMulti), BM_SETSTATE, TRUE, 0);
    SendMessageW(Item(kPageConfig, kMono), BM_SETSTATE, FALSE, 0);
  }
  const bool show = mode != 0;
  for (int id : {kNumberLabel, kNumberCombo, kColorLabel, kColorCombo, kPermScreen, kPermStation, kDurationEdit,
                 kDurationSpin, kDurationLabel, kDurationUnit})
    Show(Item(kPageConfig, id), show);
  Show(Item(kPageConfig, kPermColour), false);
}

void CSheetParameter::FillAdapterAddresses(bool storeChoice) {
  CKvParameters* params = GetParameters();
  HWND combo = Item(kPageConfig, kAddressCombo);
  HWND single = Item(kPageConfig, kAddressStatic);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  Show(combo, false);
  Show(single, true);
  SetWindowTextW(single, L"");
  const std::wstring adapter = SelectedText(Item(kPageConfig, kAdapterCombo));
  if (adapter.empty() || !params) return;
  CKvAdaptersWin source;
  std::wstring addresses, mac;
  if (!LookupAdapter(source, adapter, addresses, mac)) return;
  std::vector<std::wstring> list;
  size_t start = 0;
  while (start <= addresses.size()) {
    const size_t end = addresses.find(L'\n', start);
    const std::wstring a = addresses.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (!a.empty()) list.push_back(a);
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  if (list.size() > 1) {
    for (const std::wstring& a : list) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(a.c_str()));
    const std::wstring preferred = params->GetAdapterIPAddress();
    const LRESULT at = SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(preferred.c_str()));
    SendMessageW(combo, CB_SETCURSEL, at == CB_ERR ? 0 : WPARAM(at), 0);
    if (at == CB_ERR && storeChoice) params->SetAdapterIPAddress(list.front());
    Show(combo, true);
    Show(single, false);
  } else if (!list.empty()) {
    SetWindowTextW(single, list.front().c_str());
  }
}

// ------------------------------------------------------------------ commands

bool CSheetParameter::OnSheetCommand(WORD id) {
  switch (id) {
    case IDOK:
      OnOk();
      return true;
    case IDCANCEL:
      if (m_pTechnicalSetup) m_pTechnicalSetup->Cancel();
      return false;  // the sheet closes with Cancel, nothing saved
    case kServicePageButton:
      ShowServicePage();
      return true;
    case kTechnicalButton:
      OpenTechnicalSetup();
      return true;
    default:
      return false;
  }
}

void CSheetParameter::OnOk() {
  const bool consoleFocused = m_bServicePageAdded && PropSheet_GetCurrentPageHwnd(m_hWnd) == m_hPages[kPageService] &&
                              GetFocus() == Item(kPageService, kConsoleEdit);
  switch (ClassifyOk(GetAsyncKeyState(VK_SHIFT) < 0, GetAsyncKeyState(VK_CONTROL) < 0,
                     GetAsyncKeyState(VK_MENU) < 0, consoleFocused)) {
    case SheetOk::kTechnicalSetup:
      return OpenTechnicalSetup();
    case SheetOk::kServicePage:
      return ShowServicePage();
    case SheetOk::kServiceCommand:
      return SendServiceCommand();
    case SheetOk::kSave:
      if (Save()) DefSubclassProc(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return;
  }
}

bool CSheetParameter::Save() {
  CKvParameters* params = GetParameters();
  if (!params) return false;
  const std::wstring serial = Configured();
  if (!SaveAllowed(!serial.empty(), serial.empty() ? Ask(622, MB_YESNO | MB_ICONQUESTION) : 0)) return false;
  SSheetValues v;
  wchar_t path[MAX_PATH * 2] = {};
  GetDlgItemTextW(m_hPages[kPageConfig], kImagesPathEdit, path, MAX_PATH * 2);
  v.imagesPath = path;
  v.stationName = WindowString(Item(kPageConfig, kStationName));
  v.t4Mode = 0;
  for (int r = 0; r < 3; ++r)
    if (Checked(Item(kPageImage, kT4Off + r))) v.t4Mode = r;
  v.delayT4 = EditNumber(Item(kPageImage, kDelayT4Edit));
  const LRESULT q = SendMessageW(Item(kPageImage, kQualityCombo), CB_GETCURSEL, 0, 0);
  // An entry the combo cannot show (1 or 10) is kept as stored.
  v.quality = q == CB_ERR ? params->GetAcquisitionQuality()
                          : int(SendMessageW(Item(kPageImage, kQualityCombo), CB_GETITEMDATA, q, 0));
  v.reservationDuration = EditNumber(Item(kPageConfig, kDurationEdit));
  v.showPreview = Checked(Item(kPageImage, kPreview));
  v.multiImages = Checked(Item(kPageImage, kMultiImages));
  v.advancedDenoising = Checked(Item(kPageImage, kDenoising));
  v.gamma = int(SendMessageW(Item(kPageImage, kGammaSlider), TBM_GETPOS, 0, 0));
  v.luminosity = int(SendMessageW(Item(kPageImage, kLumSlider), TBM_GETPOS, 0, 0));
  v.contrast = int(SendMessageW(Item(kPageImage, kContrastSlider), TBM_GETPOS, 0, 0));
  v.filter = int(SendMessageW(Item(kPageImage, kFilterSlider), TBM_GETPOS, 0, 0));
  // The adapter (step 5) sits between the settings the core writes; its order does not
  // matter to any reader.
  const std::wstring adapter = SelectedText(Item(kPageConfig, kAdapterCombo));
  params->SetAdapterName(adapter);
  HWND addressCombo = Item(kPageConfig, kAddressCombo);
  params->SetAdapterIPAddress(!adapter.empty() && IsWindowVisible(addressCombo) ? SelectedText(addressCombo) : L"");
  m_Requests.InfoNumber(1, nullptr);
  if (SaveSheetValues(*params, v)) m_bRestartNeeded = true;
  // The scanner's own values only when the sheet showed them: a scanner connected
  // while the sheet was open never had its permissions or stand-by delay read.
  if (!serial.empty() && m_bConfiguredAtOpening) {
    const int bits = PermissionBits(Checked(Item(kPageConfig, kPermScreen)), Checked(Item(kPageConfig, kPermColour)),
                                    Checked(Item(kPageConfig, kPermStation)));
    if (const int code = PermissionActionCode(bits, m_nPermissionsAtOpening)) m_Requests.Admin(code, serial);
    m_Requests.Admin(16000 + std::min(kStandbyMax, EditNumber(Item(kPageConfig, kStandbyEdit))), serial);
  }
  return true;
}

void CSheetParameter::OnPageCommand(Page page, WORD id, WORD notification) {
  if (m_bLoading) return;
  if (page == kPageConfig && id == kAdapterCombo && notification == CBN_SELCHANGE) return OnAdapterChanged();
  if (notification != BN_CLICKED) return;
  switch (id) {
    case kT4Off + 1:
    case kT4Off + 2:
      if (page == kPageImage) Check(Item(kPageImage, kMultiImages), false);
      return;
    case kMultiImages:
      for (int r = 0; r < 3; ++r) Check(Item(kPageImage, kT4Off + r), r == 0);
      return;
    case kPermScreen:
    case kPermStation:
      return ApplyPermissionRule();
    case kMono:
    case kMulti:
      return ShowReservationControls(id == kMono ? 0 : 1);
    case kConnect:
      return OnConnection();
    case kReadWaiting:
      return OnReadWaitingImage();
    case kRefreshButton:
      return Refresh();
    case kImagesPathBrowse: {
      wchar_t start[MAX_PATH] = {}, chosen[MAX_PATH] = {};
      GetDlgItemTextW(m_hPages[kPageConfig], kImagesPathEdit, start, MAX_PATH);
      BROWSEINFOW info = {};
      info.hwndOwner = m_hPages[kPageConfig];
      info.pszDisplayName = chosen;
      info.ulFlags = 0x59;
      info.lpfn = BrowseCallback;
      info.lParam = reinterpret_cast<LPARAM>(start);
      if (PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info)) {
        if (SHGetPathFromIDListW(list, chosen)) SetDlgItemTextW(m_hPages[kPageConfig], kImagesPathEdit, chosen);
        CoTaskMemFree(list);
      }
      return;
    }
    default:
      return;
  }
}

void CSheetParameter::OnConnection() {
  CKvParameters* params = GetParameters();
  if (!params) return;
  HWND scanners = Item(kPageConfig, kScannerCombo);
  HWND numbers = Item(kPageConfig, kNumberCombo);
  const std::wstring serial = SelectedText(scanners);
  const bool multi = SendMessageW(Item(kPageConfig, kMulti), BM_GETSTATE, 0, 0) & BST_PUSHED;
  const LRESULT number = SendMessageW(numbers, CB_GETCURSEL, 0, 0);
  if (const int error = ConnectionError(!serial.empty(), multi, number != CB_ERR)) {
    Ask(error, MB_OK | MB_ICONERROR);
    SetFocus(error == 607 ? scanners : numbers);
    return;
  }
  // The colour follows the number (same index).
  HWND colours = Item(kPageConfig, kColorCombo);
  if (number != CB_ERR) SendMessageW(colours, CB_SETCURSEL, number, 0);
  if (Ask(610, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  const int colour = int(SendMessageW(colours, CB_GETCURSEL, 0, 0));
  const int data = number == CB_ERR ? 0 : int(SendMessageW(numbers, CB_GETITEMDATA, number, 0));
  const SConnection c = ConnectionValues(serial, multi, colour, data);
  params->SetLUMEQ2Serial(c.serial);
  params->SetLUMEQ2Color(c.color);
  params->SetStationNumber(c.stationNumber);
  params->SetAdapterName(SelectedText(Item(kPageConfig, kAdapterCombo)));
  m_Requests.InfoNumber(1, nullptr);
}

void CSheetParameter::OnAdapterChanged() {
  CKvParameters* params = GetParameters();
  StopTimers();
  ShowScannerFields(false);
  Show(Item(kPageScanner, kLargeMessage), false);
  Show(Item(kPageConfig, kScannerCombo), false);
  Show(Item(kPageConfig, kRefreshButton), false);
  HWND progress = Item(kPageConfig, kProgress);
  Show(progress, true);
  SendMessageW(progress, PBM_SETRANGE32, 0, 100);
  SendMessageW(progress, PBM_SETPOS, 0, 0);
  SendMessageW(progress, PBM_SETSTEP, 10, 0);
  SendMessageW(progress, PBM_STEPIT, 0, 0);
  // Stored at once: the listener follows the adapter even when the sheet is cancelled.
  if (params) params->SetAdapterName(SelectedText(Item(kPageConfig, kAdapterCombo)));
  FillAdapterAddresses(true);
  m_Requests.InfoNumber(1, nullptr);
  m_nProgressTimer = SetTimer(m_hWnd, kProgressTimer, 500, nullptr);
  m_nRefreshTimer = SetTimer(m_hWnd, kRefreshTimer, 5000, nullptr);
  SendMessageW(Item(kPageConfig, kScannerCombo), CB_RESETCONTENT, 0, 0);
}

void CSheetParameter::StopTimers() {
  if (m_hWnd && m_nProgressTimer) KillTimer(m_hWnd, kProgressTimer);
  if (m_hWnd && m_nRefreshTimer) KillTimer(m_hWnd, kRefreshTimer);
  m_nProgressTimer = m_nRefreshTimer = 0;
}

void CSheetParameter::OnTimer(UINT_PTR id) {
  if (id == kProgressTimer) {
    HWND progress = Item(kPageConfig, kProgress);
    SendMessageW(progress, PBM_STEPIT, 0, 0);
    if (SendMessageW(progress, PBM_GETPOS, 0, 0) >= 100) {
      KillTimer(m_hWnd, kProgressTimer);
      m_nProgressTimer = 0;
    }
    return;
  }
  m_nRefreshTimer = SetTimer(m_hWnd, kRefreshTimer, 2000, nullptr);
  Refresh();
}

void CSheetParameter::ShowScannerFields(bool show) {
  for (const SField& f : kScannerFields) {
    Show(Item(kPageScanner, f.id), show);
    Show(Item(kPageScanner, f.label), show);
  }
  for (int id : kScannerOtherControls) Show(Item(kPageScanner, id), show);
  Show(Item(kPageScanner, kLargeMessage), !show);
}

void CSheetParameter::Refresh() {
  HWND adapters = Item(kPageConfig, kAdapterCombo);
  if (SendMessageW(adapters, CB_GETCURSEL, 0, 0) == CB_ERR) return;
  HWND scanners = Item(kPageConfig, kScannerCombo);
  Show(scanners, true);
  Show(Item(kPageConfig, kRefreshButton), true);
  Show(Item(kPageConfig, kProgress), false);
  const std::wstring configured = Configured();
  const std::wstring list = m_Requests.InfoText(0, nullptr);
  if (SendMessageW(scanners, CB_GETCOUNT, 0, 0) == 0) {
    const std::vector<std::wstring> serials = SplitScannerList(list);
    if (serials.empty()) {
      ShowScannerFields(false);
      SetDlgItemTextW(m_hPages[kPageConfig], kScannerAddress, L"");
      return;
    }
    for (const std::wstring& s : serials) {
      const LRESULT i = SendMessageW(scanners, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
      if (s == configured) SendMessageW(scanners, CB_SETCURSEL, i, 0);
    }
  }
  const std::wstring serial = SelectedText(scanners);
  if (serial.empty()) {
    ShowScannerFields(false);
    SetDlgItemTextW(m_hPages[kPageConfig], kScannerAddress, L"");
    if (!configured.empty()) m_Requests.InfoNumber(1, nullptr);
    return;
  }
  SetDlgItemTextW(m_hPages[kPageConfig], kScannerAddress, m_Requests.InfoText(102, &serial).c_str());
  if (configured.empty()) {
    HWND numbers = Item(kPageConfig, kNumberCombo);
    const LRESULT previous = SendMessageW(numbers, CB_GETCURSEL, 0, 0);
    const int previousNumber = previous == CB_ERR ? 0 : int(SendMessageW(numbers, CB_GETITEMDATA, previous, 0));
    SendMessageW(numbers, CB_RESETCONTENT, 0, 0);
    for (int n : OfferedStationNumbers(m_Requests.Admin(3, serial))) {
      const LRESULT i = SendMessageW(numbers, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(n).c_str()));
      SendMessageW(numbers, CB_SETITEMDATA, i, n);
      if (n == previousNumber) SendMessageW(numbers, CB_SETCURSEL, i, 0);
    }
  }
  const int mode = m_Requests.InfoNumber(18, &serial);
  if (mode == 0 || mode == 1) ShowReservationControls(mode);
  const bool shown = serial == Text(720) || m_Requests.InfoText(0, &serial) == serial;
  ShowScannerFields(shown);
  if (shown) FillScannerFields(serial);
}

void CSheetParameter::FillScannerFields(const std::wstring& serial) {
  HWND page = m_hPages[kPageScanner];
  HWND mode = Item(kPageScanner, kAddressMode);
  if (SendMessageW(mode, CB_GETCOUNT, 0, 0) == 0)
    for (int id : {710, 711, 712}) SendMessageW(mode, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Text(id).c_str()));
  SendMessageW(mode, CB_SETCURSEL, WPARAM(m_Requests.InfoNumber(1, &serial)), 0);
  for (const SField& f : kScannerFields) {
    const std::wstring value =
        f.text ? m_Requests.InfoText(f.type, &serial) : std::to_wstring(m_Requests.InfoNumber(f.type, &serial));
    SetDlgItemTextW(page, f.id, value.c_str());
  }
  const int state = m_Requests.InfoNumber(8, &serial);
  for (int s = 0; s < 4; ++s) Check(Item(kPageScanner, 1131 + s), s == state);
  const int mask = m_Requests.InfoNumber(12, &serial);
  for (int n = 0; n < 10; ++n) Check(Item(kPageScanner, 1151 + n), mask > 0 && ((mask >> n) & 1));
}

void CSheetParameter::OnReadWaitingImage() {
  m_bPatternRequest = false;
  const std::wstring serial = Configured();
  SWaitingImage image;
  if (serial.empty() || !ParseWaitingImage(m_Requests.Admin(14, serial), image)) {
    MessageBeep(UINT(-1));
    return;
  }
  const std::wstring text = FormatText(Text(840), {image.terminal, image.doctor, image.patient});
  if (Ask(840, MB_OKCANCEL | MB_ICONINFORMATION, text) != IDOK) return;
  m_bReadWaitingImage = true;
  if (Save()) DefSubclassProc(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

void CSheetParameter::OpenTechnicalSetup() {
  if (m_pTechnicalSetup) return;
  m_pTechnicalSetup.reset(new CDialogTechnicalSetup(m_Requests.MainWindow()));
  m_pTechnicalSetup->DoModal(m_hWnd);
  m_pTechnicalSetup.reset();
  if (!m_hWnd) return;
  LoadValues();
  m_bRestartNeeded = true;
  DefSubclassProc(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

void CSheetParameter::ShowServicePage() {
  if (!m_bServicePageAdded) {
    m_bServicePageAdded = true;
    PropSheet_AddPage(m_hWnd, CreatePage(kPageService));
    PropSheet_SetCurSel(m_hWnd, nullptr, kPageService);
    TranslateChildren(m_hPages[kPageService]);
    m_Console.Attach(Item(kPageService, kConsoleEdit));
  }
  PropSheet_SetCurSel(m_hWnd, nullptr, kPageService);
  // Ready for typing: Enter there sends the command instead of closing the sheet.
  SetFocus(Item(kPageService, kConsoleEdit));
  m_bRestartNeeded = true;
}

void CSheetParameter::SendServiceCommand() {
  HWND edit = Item(kPageService, kConsoleEdit);
  HWND output = Item(kPageService, kConsoleOutput);
  const std::wstring command = WindowString(edit);
  m_Console.OnSend(command);
  SetWindowTextW(edit, L"");
  if (IsClearCommand(command)) {
    SetWindowTextW(output, L"");
    return;
  }
  std::wstring shown = ConsoleWithCommand(WindowString(output), command);
  SetWindowTextW(output, shown.c_str());
  UpdateWindow(output);
  std::wstring answer;
  const int code = m_Requests.Service(command, answer);
  shown += ConsoleAnswer(code, answer);
  SetWindowTextW(output, shown.c_str());
  const int end = GetWindowTextLengthW(output);
  SendMessageW(output, EM_SETSEL, end, end);
  SendMessageW(output, EM_SCROLLCARET, 0, 0);
}
