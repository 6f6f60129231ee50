// The preview window (see OrvaqRbld2Dlg.h).
#include "rebuild/win/OrvaqRbld2Dlg.h"

#include "rebuild/Image16Transforms.h"
#include "rebuild/RebuildRules.h"

namespace gp = Gdiplus;
using namespace orvaq::rebuild;

namespace {
// Bitmap resources of the four buttons, in the order of kPreviewButtons.
constexpr int kButtonBitmaps[4] = {132, 129, 130, 131};
constexpr int kButtonBitmapSize = 48;
}  // namespace

COrvaqRbld2Dlg::~COrvaqRbld2Dlg() {
  DropScreenCopy();
  for (HBITMAP& b : m_hButtonBitmaps)
    if (b) DeleteObject(b), b = nullptr;
}

INT_PTR COrvaqRbld2Dlg::DoModal(gp::Bitmap* picture, BufferFinal16* image16, int x, int y, bool closeAtOnce) {
  m_pPicture = picture;
  m_pImage16 = image16 && image16->pBuffer && image16->width && image16->height ? image16 : nullptr;
  m_nX = x;
  m_nY = y;
  m_bCloseAtOnce = closeAtOnce;
  const INT_PTR result =
      DialogBoxParamW(m_hInstance, MAKEINTRESOURCEW(IDD), nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
  DropScreenCopy();
  m_pPicture = nullptr;
  m_pImage16 = nullptr;
  // -1: no window could be made (no display); the work goes on as after a cancel.
  return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CALLBACK COrvaqRbld2Dlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  COrvaqRbld2Dlg* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<COrvaqRbld2Dlg*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_hWnd = window;
  } else {
    self = reinterpret_cast<COrvaqRbld2Dlg*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  if (!self) return FALSE;  // messages before WM_INITDIALOG
  const INT_PTR result = self->HandleMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    self->m_hWnd = nullptr;
  }
  return result;
}

INT_PTR COrvaqRbld2Dlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_PAINT:
      if (!IsIconic(m_hWnd)) return FALSE;
      OnPaint();
      return TRUE;
    case WM_QUERYDRAGICON:
      // Answered by the return value itself, like the colour messages.
      return reinterpret_cast<INT_PTR>(m_hIcon);
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(m_hWnd, kIdPicture))
        return reinterpret_cast<INT_PTR>(OnPictureColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
      return FALSE;
  }
  return FALSE;
}

BOOL COrvaqRbld2Dlg::OnInitDialog() {
  m_hIcon = static_cast<HICON>(LoadImageW(m_hInstance, MAKEINTRESOURCEW(kIdIcon), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  for (int i = 0; i < 4; ++i) {
    if (!m_hButtonBitmaps[i])
      m_hButtonBitmaps[i] = static_cast<HBITMAP>(LoadImageW(m_hInstance, MAKEINTRESOURCEW(kButtonBitmaps[i]), IMAGE_BITMAP,
                                                            kButtonBitmapSize, kButtonBitmapSize, 0));
    SendDlgItemMessageW(m_hWnd, kPreviewButtons[i], BM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(m_hButtonBitmaps[i]));
  }
  PlaceButtons();

  if (m_bCloseAtOnce) {
    // No preview asked for: the dialog ends before it is ever shown.
    EndDialog(m_hWnd, IDCANCEL);
    return TRUE;
  }
  if (m_nX != -1 && m_nY != -1) {
    RECT r;
    GetWindowRect(m_hWnd, &r);
    SetWindowPos(m_hWnd, HWND_TOP, CentredLeft(m_nX, r.right - r.left), m_nY, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  }
  return TRUE;
}

void COrvaqRbld2Dlg::PlaceButtons() {
  HWND first = GetDlgItem(m_hWnd, kPreviewButtons[0]);
  if (!first) return;
  RECT r;
  GetWindowRect(first, &r);
  MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
  for (int i = 0; i < 4; ++i) {
    const DrawRect b = PreviewButtonRect(i, r.left, r.bottom);
    if (HWND button = GetDlgItem(m_hWnd, kPreviewButtons[i]))
      SetWindowPos(button, nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void COrvaqRbld2Dlg::OnCommand(WORD id) {
  switch (id) {
    case kIdRotateLeft:
    case kIdRotateRight:
    case kIdMirrorLeftRight:
    case kIdMirrorTopBottom:
      Turn(id);
      break;
    case IDOK:
    case IDCANCEL:  // Escape: the turns made so far stay
      EndDialog(m_hWnd, id);
      break;
  }
}

void COrvaqRbld2Dlg::Turn(WORD id) {
  if (!m_pPicture) return;
  gp::RotateFlipType type = gp::RotateNoneFlipNone;
  bool (*turn16)(BufferFinal16&) = nullptr;
  switch (id) {
    case kIdRotateLeft: type = gp::Rotate270FlipNone, turn16 = RotateCounterClockwise16; break;
    case kIdRotateRight: type = gp::Rotate90FlipNone, turn16 = RotateClockwise16; break;
    case kIdMirrorLeftRight: type = gp::RotateNoneFlipX, turn16 = MirrorLeftRight16; break;
    case kIdMirrorTopBottom: type = gp::RotateNoneFlipY, turn16 = MirrorTopBottom16; break;
    default: return;
  }
  // The 16-bit image turns only with the picture, so the two never disagree.
  if (m_pPicture->RotateFlip(type) != gp::Ok) return;
  if (m_pImage16 && !turn16(*m_pImage16)) {
    // No scratch memory for the 16-bit turn: the picture goes back, the operator may retry.
    static const gp::RotateFlipType kUndo[] = {gp::Rotate90FlipNone, gp::Rotate270FlipNone, gp::RotateNoneFlipX,
                                               gp::RotateNoneFlipY};
    const int index = id == kIdRotateLeft ? 0 : id == kIdRotateRight ? 1 : id == kIdMirrorLeftRight ? 2 : 3;
    m_pPicture->RotateFlip(kUndo[index]);
    MessageBeep(MB_ICONHAND);
    return;
  }
  DropScreenCopy();
  if (HWND area = GetDlgItem(m_hWnd, kIdPicture)) InvalidateRect(area, nullptr, TRUE);
}

void COrvaqRbld2Dlg::OnPaint() {
  // Minimised: the icon centred in the client area.
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT r;
  GetClientRect(m_hWnd, &r);
  const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
  DrawIcon(dc, (r.right - r.left - cx + 1) / 2, (r.bottom - r.top - cy + 1) / 2, m_hIcon);
  EndPaint(m_hWnd, &ps);
}

HBRUSH COrvaqRbld2Dlg::OnPictureColour(HDC dc, HWND control) {
  RECT area;
  GetClientRect(control, &area);
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  if (m_pPicture && !m_hScreenCopy) m_pPicture->GetHBITMAP(gp::Color(255, 0, 0, 0), &m_hScreenCopy);
  if (m_pPicture && m_hScreenCopy) {
    const int pw = int(m_pPicture->GetWidth()), ph = int(m_pPicture->GetHeight());
    const DrawRect d = PreviewPictureRect(area.right - area.left, area.bottom - area.top, pw, ph);
    if (HDC mem = CreateCompatibleDC(dc)) {
      HGDIOBJ old = SelectObject(mem, m_hScreenCopy);
      const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
      StretchBlt(dc, area.left + d.left, area.top + d.top, d.width, d.height, mem, 0, 0, pw, ph, SRCCOPY);
      SetStretchBltMode(dc, oldMode);
      SelectObject(mem, old);
      DeleteDC(mem);
    }
  }
  // The control paints nothing over it.
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void COrvaqRbld2Dlg::DropScreenCopy() {
  if (m_hScreenCopy) DeleteObject(m_hScreenCopy);
  m_hScreenCopy = nullptr;
}
