// The console's command box (see EditService.h).
#include "ui/win/EditService.h"

#include <commctrl.h>

bool CEditService::Attach(HWND edit) {
  m_hWnd = edit;
  return edit && SetWindowSubclass(edit, Proc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void CEditService::Show(const std::wstring& entry) {
  SetWindowTextW(m_hWnd, entry.c_str());
  const int end = GetWindowTextLengthW(m_hWnd);
  SendMessageW(m_hWnd, EM_SETSEL, end, end);
  SendMessageW(m_hWnd, EM_SCROLLCARET, 0, 0);
}

LRESULT CALLBACK CEditService::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR self) {
  CEditService* edit = reinterpret_cast<CEditService*>(self);
  if (message == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN)) {
    std::wstring entry;
    const bool moved = wParam == VK_UP ? edit->m_History.Up(entry) : edit->m_History.Down(entry);
    if (!moved) MessageBeep(UINT(-1));
    if (edit->m_History.Size() != 0) edit->Show(entry);
    return 0;
  }
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, Proc, id);
    edit->m_hWnd = nullptr;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}
