// Skinned dialog base (see KvDialog.h).
#include "ui/win/KvDialog.h"

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include "command_line/CommandLine.h"
#include "settings/KvParameters.h"

namespace gp = Gdiplus;

INT_PTR CKvDialog::DoModal(HWND parent) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplateId), parent, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CKvDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CKvDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CKvDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_hWnd = window;
  } else {
    self = reinterpret_cast<CKvDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  if (!self) return FALSE;  // messages before WM_INITDIALOG
  const INT_PTR result = self->HandleMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    self->m_hWnd = nullptr;
  }
  return result;
}

// A dialog procedure answers through DWLP_MSGRESULT, not its return value.
INT_PTR CKvDialog::Answer(LRESULT result) {
  SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
  return TRUE;
}

INT_PTR CKvDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_CLOSE:
      OnCloseRequest();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    case kMsgRunStoredCommandLine:
      OnRunStoredCommandLine();
      return TRUE;
    case WM_NCHITTEST: {
      POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ScreenToClient(m_hWnd, &p);
      RECT client;
      GetClientRect(m_hWnd, &client);
      return Answer(orvaq::ui::InSizingCorner(p.x, p.y, client.right, client.bottom) ? HTBOTTOMRIGHT : HTCAPTION);
    }
    case WM_ERASEBKGND:
      PaintBackground(reinterpret_cast<HDC>(wParam));
      return Answer(1);
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(m_hWnd, &ps);
      if (IsIconic(m_hWnd)) DrawIcon(dc, 0, 0, m_hIconBig);
      EndPaint(m_hWnd, &ps);
      return TRUE;
    }
    case WM_GETMINMAXINFO:
      OnMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
      return Answer(0);
    case WM_SIZING:
      OnSizingKeepRatio(*reinterpret_cast<RECT*>(lParam));
      return Answer(TRUE);
    case WM_SIZE:
      LayoutControls();
      Repaint();
      return TRUE;
    case WM_CTLCOLORBTN:
      return reinterpret_cast<INT_PTR>(OnButtonColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_DRAWITEM:
      OnDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_NOTIFY: {
      NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->code == TTN_GETDISPINFOW) {
        OnTooltipText(header);
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  bool handled = false;
  const INT_PTR result = OnOtherMessage(message, wParam, lParam, handled);
  return handled ? result : FALSE;
}

orvaq::ui::SSize CKvDialog::SkinSize() {
  gp::Bitmap* skin = GetSkinPicture();
  if (!skin) return {320, 120};
  return {INT(skin->GetWidth()), INT(skin->GetHeight())};
}

BOOL CKvDialog::OnInitDialog() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  m_hIconBig = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(128), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), 0));
  m_hIconSmall = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(128), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  if (m_hIconBig) SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIconBig));
  if (m_hIconSmall) SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIconSmall));
  SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) | WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
  SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
  if (CKvParameters* params = GetParameters()) SetWindowTextW(m_hWnd, params->GetProgramTitle().c_str());
  PlaceWindow();
  CreateTooltips();
  return TRUE;
}

void CKvDialog::PlaceWindow() {
  const orvaq::ui::SSize skin = SkinSize();
  const int skinHeight = skin.h + ExtraSkinHeight();
  CKvParameters* params = GetParameters();
  const KvWindowPlacement saved = params ? params->ReadWindowPlacement() : KvWindowPlacement();
  const int width = saved.rcNormalPositionRight - saved.rcNormalPositionLeft;
  const int height = saved.rcNormalPositionBottom - saved.rcNormalPositionTop;
  const bool rightButton = (GetAsyncKeyState(VK_RBUTTON) & 0x8000) != 0;
  if (orvaq::ui::PlacementRestorable(saved.length, width, height, skin.w, skinHeight, rightButton)) {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    wp.flags = UINT(saved.flags);
    wp.showCmd = SW_RESTORE;
    wp.ptMinPosition = {saved.ptMinPositionX, saved.ptMinPositionY};
    wp.ptMaxPosition = {saved.ptMaxPositionX, saved.ptMaxPositionY};
    wp.rcNormalPosition = {saved.rcNormalPositionLeft, saved.rcNormalPositionTop, saved.rcNormalPositionRight,
                           saved.rcNormalPositionBottom};
    SetWindowPlacement(m_hWnd, &wp);
    return;
  }
  const orvaq::ui::SRect r = orvaq::ui::DefaultWindowRect(skin.w, skinHeight, GetSystemMetrics(SM_CXSCREEN));
  SetWindowPos(m_hWnd, nullptr, r.x, r.y, r.w, r.h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CKvDialog::Repaint() {
  InvalidateRect(m_hWnd, nullptr, TRUE);
  UpdateWindow(m_hWnd);
}

void CKvDialog::CreateTooltips() {
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  m_hTooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (!m_hTooltip) return;
  for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    TOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(child);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(m_hTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  SendMessageW(m_hTooltip, TTM_ACTIVATE, TRUE, 0);
}

void CKvDialog::OnTooltipText(NMHDR* header) {
  NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(header);
  HWND tooltip = header->hwndFrom;
  if (!m_bTooltipInitialised) {
    m_bTooltipInitialised = true;
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 256);
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, 50);
    SetWindowLongPtrW(tooltip, GWL_STYLE, GetWindowLongPtrW(tooltip, GWL_STYLE) | TTS_ALWAYSTIP);
    SendMessageW(tooltip, TTM_SETTIPBKCOLOR, 16380139, 0);
    SendMessageW(tooltip, TTM_SETTIPTEXTCOLOR, 4210752, 0);
  }
  const int id = (info->uFlags & TTF_IDISHWND) ? GetDlgCtrlID(reinterpret_cast<HWND>(header->idFrom))
                                                : static_cast<int>(header->idFrom);
  GetTooltip(id, m_sTooltipText, m_sTooltipTitle);
  info->lpszText = const_cast<wchar_t*>(m_sTooltipText.c_str());
  info->hinst = nullptr;
  if (m_sTooltipTitle.empty())
    SendMessageW(tooltip, TTM_SETTITLEW, TTI_NONE, reinterpret_cast<LPARAM>(L""));
  else
    SendMessageW(tooltip, TTM_SETTITLEW, TTI_INFO, reinterpret_cast<LPARAM>(m_sTooltipTitle.c_str()));
}

void CKvDialog::GetTooltip(int id, std::wstring& text, std::wstring& title) {
  title.clear();
  if (id == 1005) {
    wchar_t caption[256] = {};
    GetWindowTextW(m_hWnd, caption, 255);
    title = caption;
    text = GetInfoText();
    return;
  }
  CKvParameters* params = GetParameters();
  text = params ? params->GetText(id) : std::wstring();
}

void CKvDialog::OnMinMaxInfo(MINMAXINFO& info) {
  const orvaq::ui::SSize skin = SkinSize();
  const orvaq::ui::SSizeLimits limits = orvaq::ui::SizeLimits(skin.w, skin.h, ExtraSkinHeight(), false);
  info.ptMaxSize = {limits.maxSize.w, limits.maxSize.h};
  info.ptMinTrackSize = {limits.minTrack.w, limits.minTrack.h};
  info.ptMaxTrackSize = {limits.maxTrack.w, limits.maxTrack.h};
}

void CKvDialog::OnSizingKeepRatio(RECT& rect) {
  const orvaq::ui::SSize skin = SkinSize();
  InvalidateRect(m_hWnd, nullptr, TRUE);
  rect.bottom = orvaq::ui::KeepRatioBottom(rect.top, rect.left, rect.right, skin.w, skin.h + ExtraSkinHeight());
}

void CKvDialog::PaintBackground(HDC dc) {
  gp::Bitmap* skin = GetSkinPicture();
  if (!skin) return;
  RECT client;
  GetClientRect(m_hWnd, &client);
  gp::Graphics g(dc);
  g.SetInterpolationMode(gp::InterpolationModeHighQualityBicubic);
  g.SetPixelOffsetMode(gp::PixelOffsetModeHalf);
  g.DrawImage(skin, gp::Rect(0, 0, client.right, client.bottom), 0, 0, INT(skin->GetWidth()),
              INT(skin->GetHeight()), gp::UnitPixel);
}

// Transparent buttons: the panel's own background under the button's rectangle.
HBRUSH CKvDialog::OnButtonColour(HDC dc, HWND button) {
  RECT r;
  GetWindowRect(button, &r);
  MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
  POINT old;
  SetViewportOrgEx(dc, -r.left, -r.top, &old);
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
  PaintButtonBackground(dc);
  RestoreDC(dc, saved);
  SetViewportOrgEx(dc, old.x, old.y, nullptr);
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void CKvDialog::OnDrawItem(DRAWITEMSTRUCT& item) {
  if (item.CtlType == ODT_BUTTON)
    OnButtonColour(item.hDC, item.hwndItem);
  else
    OnOwnerDraw(item);
}

bool CKvDialog::OnCommand(WORD id, WORD notification, HWND control) {
  CKvParameters* params = GetParameters();
  switch (id) {
    case 1001: case 1002: case 1003: case 1004:
      if (params) params->SetAcqWay(id - 1001);
      Repaint();
      return true;
    case 1005: {
      wchar_t title[256] = {};
      GetWindowTextW(m_hWnd, title, 255);
      MessageBoxW(m_hWnd, GetInfoText().c_str(), title, MB_OK | MB_ICONINFORMATION);
      return true;
    }
    case 1006: case IDOK: case IDCANCEL:
      OnCloseButton();
      return true;
    case 1007:
      OnParameters();
      return true;
    default:
      return false;
  }
}

void CKvDialog::OnCloseRequest() {
  if (m_hChild && IsWindow(m_hChild)) SendMessageW(m_hChild, WM_COMMAND, IDCANCEL, 0);
  OnCloseButton();
}

void CKvDialog::EraseThumbnail() {
  KillTimer(m_hWnd, kThumbnailTimerId);
  const RECT r = ThumbnailRect();
  if (r.right > r.left && r.bottom > r.top) InvalidateRect(nullptr, &r, TRUE);
}

void CKvDialog::OnTimer(UINT_PTR id) {
  if (id == kThumbnailTimerId) EraseThumbnail();
}

void CKvDialog::OnDestroy() {
  EraseThumbnail();
  CKvParameters* params = GetParameters();
  WINDOWPLACEMENT wp = {};
  wp.length = sizeof(wp);
  if (params && GetWindowPlacement(m_hWnd, &wp)) {
    KvWindowPlacement saved;
    saved.length = int(wp.length);
    saved.flags = int(wp.flags);
    saved.showCmd = int(wp.showCmd);
    saved.ptMinPositionX = wp.ptMinPosition.x;
    saved.ptMinPositionY = wp.ptMinPosition.y;
    saved.ptMaxPositionX = wp.ptMaxPosition.x;
    saved.ptMaxPositionY = wp.ptMaxPosition.y;
    saved.rcNormalPositionLeft = wp.rcNormalPosition.left;
    saved.rcNormalPositionTop = wp.rcNormalPosition.top;
    saved.rcNormalPositionRight = wp.rcNormalPosition.right;
    saved.rcNormalPositionBottom = wp.rcNormalPosition.bottom;
    params->WriteWindowPlacement(saved);
  }
  if (m_hTooltip) DestroyWindow(m_hTooltip);
  m_hTooltip = nullptr;
  if (m_hIconBig) DestroyIcon(m_hIconBig);
  if (m_hIconSmall) DestroyIcon(m_hIconSmall);
  m_hIconBig = m_hIconSmall = nullptr;
}

void CKvDialog::OnRunStoredCommandLine() {
  CKvParameters* params = GetParameters();
  if (!params) return;
  const std::wstring line = params->GetStoredCommandLine();
  params->DeleteStoredCommandLine();
  // A handed-over /image_in job has run by now; the running instance goes on.
  ParseCommandLine(line, *params, m_Jobs);
  Repaint();
}
