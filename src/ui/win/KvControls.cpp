// Sheet controls (see KvControls.h).
#include "ui/win/KvControls.h"

#include <commctrl.h>

bool CKvWSlider::Attach(HWND slider, int defaultPosition) {
  m_hWnd = slider;
  m_nDefault = defaultPosition;
  return slider && SetWindowSubclass(slider, Proc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK CKvWSlider::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                  DWORD_PTR self) {
  if (message == WM_RBUTTONUP) {
    CKvWSlider* slider = reinterpret_cast<CKvWSlider*>(self);
    SendMessageW(window, TBM_SETPOS, TRUE, slider->m_nDefault);
    // The parent reads the position again, as after the user moved the thumb.
    PostMessageW(GetParent(window), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, slider->m_nDefault & 0xFFFF),
                 reinterpret_cast<LPARAM>(window));
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, Proc, id);
  return DefSubclassProc(window, message, wParam, lParam);
}

int CColorComboBox::AddColor(COLORREF color) {
  return static_cast<int>(SendMessageW(m_hWnd, CB_ADDSTRING, 0, static_cast<LPARAM>(color)));
}

COLORREF CColorComboBox::GetColor(int index) const {
  return static_cast<COLORREF>(SendMessageW(m_hWnd, CB_GETITEMDATA, index, 0));
}

void CColorComboBox::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.itemID == UINT(-1)) return;
  RECT r = item.rcItem;
  HDC dc = item.hDC;
  const bool inEdit = (item.itemState & ODS_COMBOBOXEDIT) != 0;
  FillRect(dc, &r, GetSysColorBrush((item.itemState & ODS_SELECTED) && !inEdit ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  InflateRect(&r, -2, -2);
  if (!inEdit) {
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  }
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(item.itemData));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}
