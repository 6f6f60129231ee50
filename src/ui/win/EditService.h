// CEditService: the service console's command edit box (control 1194 of the service
// page). It keeps the commands sent so far; Up and Down bring them back, with a beep at
// either end of the history.
#pragma once

#include <windows.h>

#include <string>

#include "ui/SheetRules.h"

class CEditService {
 public:
  // Takes over the edit box `edit` of a dialog.
  bool Attach(HWND edit);
  HWND GetSafeHwnd() const { return m_hWnd; }
  // The command is being sent: its text joins the history when not empty.
  void OnSend(const std::wstring& command) { m_History.Add(command); }
  size_t HistorySize() const { return m_History.Size(); }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR self);
  void Show(const std::wstring& entry);
  HWND m_hWnd = nullptr;
  orvaq::ui::CServiceHistory m_History;
};
