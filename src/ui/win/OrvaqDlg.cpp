// Main window (see OrvaqDlg.h). The handlers stay short: the acquisition decisions are
// the controller's and what the panel shows is the panel model's; the window routes
// messages, composes pictures and answers.
#include "ui/win/OrvaqDlg.h"

#include <objidl.h>
#include <gdiplus.h>

#include "acquisition/KvAcqSettings.h"
#include "acquisition/MultiPlateRules.h"
#include "acquisition/OrvaqController.h"
#include "acquisition/win/AcquisitionHostWin.h"
#include "acquisition/win/ControllerMessages.h"
#include "acquisition/win/ReconstructionWin.h"
#include "logging/KvLogger.h"
#include "settings/KvParameters.h"
#include "settings/KvPaths.h"
#include "settings/win/KvSystemWin.h"
#include "settings/KvTextFormat.h"
#include "settings/win/KvAdaptersWin.h"
#include "app/win/TextResourcesWin.h"
#include "ui/MultiImageList.h"
#include "ui/win/KvSkinObject.h"
#include "ui/win/MultiImageListWin.h"
#include "ui/win/SheetParameter.h"

namespace gp = Gdiplus;
using namespace orvaq::ui;

namespace {

// Timer 1070 looks at the images folder this often in multi-image mode.
constexpr uint32_t kFolderWatchPeriodMs = 5000;

gp::Bitmap* Skin(const wchar_t* name) {
  CKvSkinObject* skin = GetSkinObject();
  return skin ? skin->Picture(name) : nullptr;
}

SRect SkinArea(const wchar_t* name) {
  CKvSkinObject* skin = GetSkinObject();
  return skin ? skin->OpaqueArea(name) : SRect();
}

}  // namespace

COrvaqDlg::COrvaqDlg(IOneShotJobs& jobs) : CKvDialog(kTemplateId, jobs) {}

COrvaqDlg::~COrvaqDlg() = default;

BOOL COrvaqDlg::OnInitDialog() {
  CKvParameters* params = GetParameters();
  if (params) m_nT4Mode = InitialT4Mode(params->GetAcquisitionUseT4(), params->GetAcqMultiImages() != 0);
  const BOOL result = CKvDialog::OnInitDialog();
  if (!params) return result;
  m_pAdapters.reset(new CKvAdaptersWin);
  m_pAcqSettings.reset(new CKvAcqSettings(*params, ORVAQ_VERSION_MAJOR, ORVAQ_VERSION_MINOR, ORVAQ_VERSION_BUILD));
  m_pAcqHost.reset(new CAcquisitionHostWin(m_hWnd, m_hWnd, m_pAdapters.get()));
  m_pAcqHost->SetCaption(params->GetProgramTitle());
  m_pAcqHost->restartLogFile = [this] {
    if (m_fnRestartLog) m_fnRestartLog();
  };
  m_pAcqHost->baseTimer = [this](uint32_t id) { CKvDialog::OnTimer(id); };
  m_pController.reset(new COrvaqController(*m_pAcqHost, *m_pAcqSettings));
  m_pReconstruction.reset(new CReconstructionWin(*m_pController, *params, m_hWnd));
  m_pReconstruction->Attach(*m_pAcqHost);
  m_pReconstruction->Pictures().skinPicture = [](const std::wstring& name) {
    CKvSkinObject* skin = GetSkinObject();
    return skin ? skin->Picture(name) : nullptr;
  };
  // The composition's share of the window: the mode counter, timer 4444, the panel.
  CMultiPlateHostWin& t4 = m_pReconstruction->MultiPlateHost();
  t4.partsWanted = [this] { return m_nT4Mode; };
  t4.armTimer = [this](uint32_t ms) { m_pController->ArmTimer(TIMER_T4, ms); };
  t4.stopTimer = [this] { m_pController->StopTimer(TIMER_T4); };
  t4.timerArmed = [this] { return m_pController->IsTimerArmed(TIMER_T4); };
  t4.modeChanged = [this](bool) { FitHeightToPanels(); };
  m_pAcqHost->multiPlateReconstruction = [this] { m_pReconstruction->MultiPlate().ReconstructT4(); };
  m_pAcqHost->folderWatch = [this] {
    if (m_pStoredList) m_pStoredList->OnTimer();
  };
  DragAcceptFiles(m_hWnd, TRUE);
  // The adapter check: with no local address known yet it creates the status listener.
  PostMessageW(m_hWnd, kMsgHardwareInfos, 1, 0);
  LayoutControls();
  return result;
}

// ------------------------------------------------------------------ skin and layout

gp::Bitmap* COrvaqDlg::GetSkinPicture() {
  CKvParameters* params = GetParameters();
  return Skin(params && params->m_bVet ? skin::kControlVet : skin::kControl);
}

gp::Bitmap* COrvaqDlg::GetT4Picture() {
  CKvParameters* params = GetParameters();
  return Skin(params && params->m_bVet ? skin::kT4ControlVet : skin::kT4Control);
}

gp::Bitmap* COrvaqDlg::GetT4ModePicture() {
  CKvParameters* params = GetParameters();
  return Skin(params && params->m_bVet ? skin::kModeControlVet : skin::kModeControl);
}

LowerPanel COrvaqDlg::CurrentLowerPanel() {
  CKvParameters* params = GetParameters();
  if (!params) return LowerPanel::kNone;
  const bool t4Work = m_pReconstruction && m_pReconstruction->MultiPlate().T4Mode();
  return ShownLowerPanel(t4Work, params->IsMultiImageMode(), params->GetAcquisitionUseT4());
}

int COrvaqDlg::ExtraSkinHeight() { return LowerPanelHeight(CurrentLowerPanel()); }

void COrvaqDlg::OnMinMaxInfo(MINMAXINFO& info) {
  const SSize skin = SkinSize();
  CKvParameters* params = GetParameters();
  const SSizeLimits limits = SizeLimits(skin.w, skin.h, ExtraSkinHeight(), params && params->m_bTwain);
  info.ptMaxSize = {limits.maxSize.w, limits.maxSize.h};
  info.ptMinTrackSize = {limits.minTrack.w, limits.minTrack.h};
  info.ptMaxTrackSize = {limits.maxTrack.w, limits.maxTrack.h};
}

void COrvaqDlg::LayoutControls() {
  if (!m_hWnd) return;
  CKvParameters* params = GetParameters();
  RECT client;
  GetClientRect(m_hWnd, &client);
  const SSize skin = SkinSize();
  const SLayoutResult layout = orvaq::ui::LayoutControls(SkinArea, client.right, client.bottom, skin.w, skin.h,
                                                         CurrentLowerPanel(), params && params->m_bImaging,
                                                         params && params->IsMultiImageMode());
  if (layout.forceAcqWayZero && !m_bAcqWayForced && params) {
    m_bAcqWayForced = true;
    params->SetAcqWay(0);
  }
  for (const SControlPlace& place : layout.controls) {
    HWND control = GetDlgItem(m_hWnd, place.id);
    if (!control) continue;
    MoveWindow(control, place.rect.x, place.rect.y, place.rect.w, place.rect.h, FALSE);
  }
  if (params && params->m_bImaging)
    if (HWND close = GetDlgItem(m_hWnd, kIdClose)) ShowWindow(close, SW_HIDE);
  if (m_pStoredList) m_pStoredList->SetItemHeight();
}

// ------------------------------------------------------------------ painting

int64_t COrvaqDlg::Query(int type) {
  if (!m_pController) return -1;
  const std::wstring serial = m_pController->Status().scannerSerial;
  return m_pController->HardwareInfos(type, &serial).number;
}

SPanelInputs COrvaqDlg::PanelInputs() {
  SPanelInputs in;
  CKvParameters* params = GetParameters();
  if (m_pController) {
    const SControllerStatus s = m_pController->Status();
    in.ledReady = s.ledReady;
    in.ledReserved = s.ledReserved;
    in.ledReceiving = s.ledReceiving;
    in.ledError = s.ledError;
    in.transferInProgress = s.transferInProgress;
    in.scannerOnGui = s.scannerOnGui;
    in.scannerSerialEmpty = s.scannerSerial.empty();
    in.terminalResaNum = s.terminalResaNum;
    in.terminalNum = s.terminalNum;
    in.batchReadsLeft = s.batchReadsLeft;
    in.waitingImageTerminal = Query(kInfoWaitingImageTerminal);
    in.stationFlags = Query(kInfoStationFlags);
    in.reservationMode = Query(kInfoReservationMode);
  }
  HWND reservation = GetDlgItem(m_hWnd, kIdReservation);
  in.reservationButtonVisible = reservation && IsWindowVisible(reservation);
  if (params) {
    in.twain = params->m_bTwain;
    in.multiImageMode = params->IsMultiImageMode();
    in.closeVisible = !params->m_bImaging;
    in.vet = params->m_bVet;
    in.demoMode = params->GetDemoMode();
    in.acqWay = params->GetAcqWay();
  }
  in.t4Mode = m_nT4Mode;
  in.lower = CurrentLowerPanel();
  return in;
}

std::unique_ptr<gp::Bitmap> COrvaqDlg::ComposePanel() {
  const SSize skin = SkinSize();
  const SPanelPaint paint = orvaq::ui::ComposePanel(PanelInputs(), skin.w, skin.h, SkinArea);
  std::unique_ptr<gp::Bitmap> panel(new gp::Bitmap(paint.width, paint.height, PixelFormat32bppARGB));
  if (panel->GetLastStatus() != gp::Ok) return nullptr;
  gp::Graphics g(panel.get());
  g.Clear(gp::Color(255, 0, 0, 0));
  for (const SPanelLayer& layer : paint.layers) {
    if (layer.box) {
      DrawBox(g, layer.box, layer.area);
      continue;
    }
    gp::Bitmap* picture = nullptr;
    if (layer.picture == skin::kControl || layer.picture == skin::kControlVet) picture = GetSkinPicture();
    else if (layer.picture == skin::kT4Control || layer.picture == skin::kT4ControlVet) picture = GetT4Picture();
    else if (layer.picture == skin::kModeControl || layer.picture == skin::kModeControlVet) picture = GetT4ModePicture();
    else picture = Skin(layer.picture.c_str());
    if (!picture) continue;
    const gp::Rect target(0, layer.top, INT(picture->GetWidth()), INT(picture->GetHeight()));
    if (layer.alpha < 1.0f) {
      gp::ColorMatrix matrix = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, layer.alpha, 0},
                                 {0, 0, 0, 0, 1}}};
      gp::ImageAttributes faded;
      faded.SetColorMatrix(&matrix);
      g.DrawImage(picture, target, 0, 0, target.Width, target.Height, gp::UnitPixel, &faded);
    } else {
      g.DrawImage(picture, target, 0, 0, target.Width, target.Height, gp::UnitPixel);
    }
  }
  g.SetTextRenderingHint(gp::TextRenderingHintAntiAlias);
  gp::StringFormat centred;
  centred.SetAlignment(gp::StringAlignmentCenter);
  centred.SetLineAlignment(gp::StringAlignmentCenter);
  for (const SPanelText& text : paint.texts) {
    if (text.fontHeight <= 0) continue;
    gp::Font font(L"Arial", gp::REAL(text.fontHeight), gp::FontStyleBold, gp::UnitPixel);
    gp::SolidBrush brush{gp::Color(text.argb)};
    const gp::RectF area(gp::REAL(text.rect.x), gp::REAL(text.rect.y), gp::REAL(text.rect.w), gp::REAL(text.rect.h));
    g.DrawString(text.text.c_str(), -1, &font, area, &centred, &brush);
  }
  return panel;
}

void COrvaqDlg::PaintBackground(HDC dc) {
  StartFolderWatch();
  RECT client;
  GetClientRect(m_hWnd, &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  std::unique_ptr<gp::Bitmap> panel = ComposePanel();
  if (!panel) return;
  // Scaled once into a picture of the window's size, which the buttons draw from too.
  std::unique_ptr<gp::Bitmap> drawn(new gp::Bitmap(client.right, client.bottom, PixelFormat32bppARGB));
  if (drawn->GetLastStatus() != gp::Ok) return;
  {
    gp::Graphics g(drawn.get());
    g.SetInterpolationMode(gp::InterpolationModeHighQualityBicubic);
    g.SetPixelOffsetMode(gp::PixelOffsetModeHalf);
    gp::ImageAttributes clamp;
    clamp.SetWrapMode(gp::WrapModeTileFlipXY);
    g.DrawImage(panel.get(), gp::Rect(0, 0, client.right, client.bottom), 0, 0, INT(panel->GetWidth()),
                INT(panel->GetHeight()), gp::UnitPixel, &clamp);
  }
  m_pDrawn = std::move(drawn);
  gp::Graphics screen(dc);
  screen.DrawImage(m_pDrawn.get(), 0, 0, client.right, client.bottom);
}

void COrvaqDlg::PaintButtonBackground(HDC dc) {
  if (!m_pDrawn) return PaintBackground(dc);
  gp::Graphics screen(dc);
  screen.DrawImage(m_pDrawn.get(), 0, 0, INT(m_pDrawn->GetWidth()), INT(m_pDrawn->GetHeight()));
}

// ------------------------------------------------------------------ texts

std::wstring COrvaqDlg::StatusText() {
  CKvParameters* params = GetParameters();
  if (!params || !m_pController) return params ? params->GetText(600) : std::wstring();
  const SControllerStatus s = m_pController->Status();
  SStatusInputs in;
  in.scannerSerialEmpty = s.scannerSerial.empty();
  in.scannerOnGui = s.scannerOnGui;
  in.terminalResaNum = s.terminalResaNum;
  in.terminalNum = s.terminalNum;
  in.stationFlags = in.scannerSerialEmpty ? -1 : Query(kInfoStationFlags);
  in.multiStation = !in.scannerSerialEmpty && Query(kInfoReservationMode) == 1;
  // The status frames carry no count of waiting stations.
  in.waitingStations = -1;
  return orvaq::ui::StatusText(in, [params](int id) { return params->GetText(id); });
}

std::wstring COrvaqDlg::GetInfoText() {
  CKvParameters* params = GetParameters();
  if (!params) return std::wstring();
  const int status = m_pController ? m_pController->Status().lastHttpStatus : 0;
  std::wstring meaning = params->GetText(10000 + status);
  if (meaning.empty() && m_pAcqHost) meaning = m_pAcqHost->SystemErrorText(uint32_t(status));
  const std::wstring text = FormatText(params->GetText(900), {status, meaning}) + L"\n" + StatusText();
  if (LogPrintf(L"%ls", text.c_str()) != 0) LogLine("Information (caract\xE8res hors Latin-1).");
  return text;
}

void COrvaqDlg::GetTooltip(int id, std::wstring& text, std::wstring& title) {
  if (id != kIdReservation) return CKvDialog::GetTooltip(id, text, title);
  CKvParameters* params = GetParameters();
  title = params ? params->GetText(kIdReservation) : std::wstring();
  text = StatusText();
}

// ------------------------------------------------------------------ messages

bool COrvaqDlg::Forward(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  return m_pController && ControllerHandleMessage(*m_pController, message, wParam, lParam, result);
}

bool COrvaqDlg::OnCommand(WORD id, WORD notification, HWND control) {
  LRESULT result = 0;
  if (id == kIdReservationButton && Forward(WM_COMMAND, MAKEWPARAM(id, notification),
                                            reinterpret_cast<LPARAM>(control), result))
    return true;
  if (id == kIdT4Mode) {
    LogLine("Action sur le bouton mode T4.");
    m_nT4Mode = NextT4Mode(m_nT4Mode);
    Repaint();
    return true;
  }
  if (id == kIdStoredList) {
    if (notification == LBN_SELCHANGE) Repaint();
    return true;
  }
  if (m_pReconstruction && id >= kIdRotate1 && id <= kIdValidate) {
    CMultiPlate& t4 = m_pReconstruction->MultiPlate();
    switch (id) {
      case kIdRotate1: case kIdRotate1 + 1: case kIdRotate1 + 2: t4.Rotate(id - kIdRotate1 + 1); return true;
      case kIdExchange12: t4.Exchange(1, 2); return true;
      case kIdExchange23: t4.Exchange(2, 3); return true;
      case kIdCut: t4.CutT4(); return true;
      case kIdValidate: t4.ReconstructT4(); return true;
      default: break;
    }
  }
  return CKvDialog::OnCommand(id, notification, control);
}

void COrvaqDlg::OnCloseButton() {
  LogLine("Action sur le bouton fermeture.");
  EndDialog(m_hWnd, IDOK);
}

void COrvaqDlg::OnParameters() {
  CKvParameters* params = GetParameters();
  if (!params || !m_pController) return;
  // Another station holds a multi-station reservation: the sheet could change what it
  // relies on.
  const int64_t mode = Query(kInfoReservationMode);
  const int64_t holder = Query(kInfoResaTerminal);
  if (mode == 1 && holder >= 1 && holder <= 10) {
    MessageBeep(UINT(-1));
    return;
  }
  if (mode == 0 && m_pController->Status().reserved)
    SendMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(kIdReservationButton, BN_CLICKED), 0);
  m_pController->SetInSettings(true);
  // The error form of the indicator: every lamp off but the error lamp.
  m_pController->SetScannerIndicator(255, 0);
  Repaint();
  LogLine("Ouverture de la fen\xEAtre de param\xE9trage.");
  CSheetParameter sheet(m_hWnd, params->GetText(1100) + GetProgramVersionText());
  sheet.DoModal();
  LogLine("Fermeture de la fen\xEAtre de param\xE9trage.");
  if (!m_pController) return;
  if (sheet.m_bRestartNeeded) {
    LogLine("Restart n\xE9" "cessaire apr\xE8s fermeture de la fen\xEAtre de param\xE9trage.");
    MessageBoxW(m_hWnd, params->GetText(617).c_str(), params->GetProgramTitle().c_str(), MB_OK | MB_ICONINFORMATION);
    OnCloseButton();
    return;
  }
  m_pController->TakeSheetResults(sheet.m_bReadWaitingImage, sheet.m_bPatternRequest);
  m_nT4Mode = InitialT4Mode(params->GetAcquisitionUseT4(), params->GetAcqMultiImages() != 0);
  // The new proportions: same left, top and width.
  FitHeightToPanels();
  m_pController->SetInSettings(false);
  if (Query(kInfoReservationMode) == 0 && !m_pController->Status().reserved) m_pController->SetScannerIndicator(0, 3);
  Repaint();
}

void COrvaqDlg::OnTimer(UINT_PTR id) {
  LRESULT result = 0;
  // The thumbnail goes whatever the scanner's state: the controller's timer handling
  // returns early while the scanner answers oddly, and the timer would tick on.
  if (id == kThumbnailTimerId) return CKvDialog::OnTimer(id);
  // Without a controller the base serves its own timers.
  if (!Forward(WM_TIMER, id, 0, result)) CKvDialog::OnTimer(id);
}

RECT COrvaqDlg::ThumbnailRect() {
  return m_pReconstruction ? m_pReconstruction->Pictures().LastThumbnailRect() : RECT{0, 0, 0, 0};
}

INT_PTR COrvaqDlg::OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  if (message == WM_CTLCOLORLISTBOX && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kIdStoredList) {
    // The list's empty part is as black as its items' frames.
    handled = true;
    return reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH));
  }
  if (message == WM_COMPAREITEM && wParam == kIdStoredList && m_pStoredList) {
    // Answered directly, not through DWLP_MSGRESULT.
    handled = true;
    return m_pStoredList->Compare(*reinterpret_cast<COMPAREITEMSTRUCT*>(lParam));
  }
  LRESULT result = 0;
  handled = Forward(message, wParam, lParam, result);
  if (!handled) return CKvDialog::OnOtherMessage(message, wParam, lParam, handled);
  // A dialog procedure answers SendMessage through DWLP_MSGRESULT, not its return value.
  SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
  return TRUE;
}

void COrvaqDlg::OnDestroy() {
  if (m_pController) m_pController->OnDestroyWindow();
  // The controller stopped timer 1070; the notification and the list go with it.
  m_pStoredList.reset();
  // A composition under way is composed now, or else its parts become plates of their own.
  if (m_pReconstruction && m_pReconstruction->MultiPlate().T4Mode()) {
    m_pReconstruction->MultiPlate().ReconstructT4();
    if (m_pReconstruction->MultiPlate().T4Mode()) m_pReconstruction->MultiPlate().CutT4();
  }
  // The base erases the thumbnail, whose rectangle the reconstruction keeps.
  CKvDialog::OnDestroy();
  // The reconstruction refers to the controller, the controller to its host.
  m_pReconstruction.reset();
  m_pController.reset();
  m_pAcqHost.reset();
  m_pDrawn.reset();
}

void COrvaqDlg::OnRunStoredCommandLine() {
  CKvParameters* params = GetParameters();
  if (!params) return;
  const std::wstring line = params->GetStoredCommandLine();
  // Logged so service staff can see what a second start handed over.
  if (LogPrintf(L"Ligne de commande re\xE7ue : %ls", line.c_str()) != 0)
    LogLine("Ligne de commande re\xE7ue (caract\xE8res hors Latin-1).");
  const std::wstring doctor = params->m_sDoctor;
  const std::wstring patient = params->m_sPatient;
  CKvDialog::OnRunStoredCommandLine();
  if (m_pController) m_pController->OnCommandLineChanged(doctor, patient);
}

// ------------------------------------------------------------------ multi-plate

void COrvaqDlg::DrawBox(gp::Graphics& g, int box, const SRect& area) {
  if (!m_pReconstruction) return;
  const CMultiPlate::SBoxView view = m_pReconstruction->MultiPlate().Box(box);
  if (!view.pixels || view.width <= 0 || view.height <= 0) return;
  // The stored 8-bit preview through a 256-level grey palette.
  const int stride = (view.width + 3) & ~3;
  std::vector<BYTE> rows(size_t(stride) * view.height);
  for (int y = 0; y < view.height; ++y)
    memcpy(&rows[size_t(y) * stride], view.pixels + size_t(y) * view.width, size_t(view.width));
  gp::Bitmap picture(view.width, view.height, stride, PixelFormat8bppIndexed, rows.data());
  std::vector<BYTE> paletteBytes(sizeof(gp::ColorPalette) + 255 * sizeof(gp::ARGB));
  gp::ColorPalette* palette = reinterpret_cast<gp::ColorPalette*>(paletteBytes.data());
  palette->Flags = gp::PaletteFlagsGrayScale;
  palette->Count = 256;
  for (UINT i = 0; i < 256; ++i) palette->Entries[i] = gp::Color::MakeARGB(255, BYTE(i), BYTE(i), BYTE(i));
  picture.SetPalette(palette);
  if (view.rotated) picture.RotateFlip(gp::Rotate180FlipNone);
  const SRect fit = FitCentred(view.width, view.height, area);
  g.DrawImage(&picture, gp::Rect(fit.x, fit.y, fit.w, fit.h), 0, 0, view.width, view.height, gp::UnitPixel);
}

void COrvaqDlg::FitHeightToPanels() {
  // Same left, top and width; the height follows the panels shown.
  RECT window;
  GetWindowRect(m_hWnd, &window);
  const SSize skin = SkinSize();
  const int width = window.right - window.left;
  if (skin.w > 0)
    SetWindowPos(m_hWnd, nullptr, window.left, window.top, width, MulDiv(width, skin.h + ExtraSkinHeight(), skin.w),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  LayoutControls();
  Repaint();
}

void COrvaqDlg::OnDropFiles(HDROP drop) {
  CKvParameters* params = GetParameters();
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<std::wstring> files;
  for (UINT i = 0; i < count; ++i) {
    wchar_t path[MAX_PATH] = {};
    if (DragQueryFileW(drop, i, path, MAX_PATH)) files.push_back(path);
  }
  DragFinish(drop);
  if (!params || !m_pReconstruction) return;
  CKvSystemWin system;
  const std::wstring target = orvaq::paths::Join(params->GetImagesPath(), kRawFileName);
  for (const std::wstring& file : files) {
    if (!orvaq::t4::IsDroppedRawFile(file) || !system.FileExists(file)) continue;
    if (LogPrintf(L"Fichier d\xE9pos\xE9 : %ls", file.c_str()) != 0) LogLine("Fichier d\xE9pos\xE9.");
    if (system.CopyFileOver(file, target)) m_pReconstruction->Reconstruction().ReconstructAcquisition();
  }
}

void COrvaqDlg::StartFolderWatch() {
  CKvParameters* params = GetParameters();
  if (m_bWatchTried || !params || !params->IsMultiImageMode() || !m_pController) return;
  m_bWatchTried = true;
  // In place before the first refresh: the sorted list asks it to compare its entries.
  m_pStoredList.reset(new CMultiImageList(GetDlgItem(m_hWnd, kIdStoredList)));
  m_pStoredList->SetItemHeight();
  // Without a watch the list is neither filled nor refreshed.
  if (!m_pStoredList->StartWatch(params->GetImagesPath())) {
    m_pStoredList.reset();
    return;
  }
  m_pController->ArmTimer(TIMER_FOLDER_WATCH, kFolderWatchPeriodMs);
}

void COrvaqDlg::OnOwnerDraw(DRAWITEMSTRUCT& item) {
  if (item.CtlID == kIdStoredList && m_pStoredList) m_pStoredList->Draw(item);
}
