// Two small controls of the parameter sheet. CKvWSlider: a track bar that a right click
// puts back to its default position, telling its parent as after a user move.
// CColorComboBox: an owner-drawn combo box whose items are colours.
#pragma once

#include <windows.h>

class CKvWSlider {
 public:
  // Takes over the track bar `slider` (a control of a dialog) with `defaultPosition`.
  bool Attach(HWND slider, int defaultPosition);
  void SetDefault(int position) { m_nDefault = position; }
  HWND GetSafeHwnd() const { return m_hWnd; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
  HWND m_hWnd = nullptr;
  int m_nDefault = 0;
};

class CColorComboBox {
 public:
  // `combo` must have CBS_OWNERDRAWFIXED and no CBS_HASSTRINGS.
  void Attach(HWND combo) { m_hWnd = combo; }
  int AddColor(COLORREF color);
  COLORREF GetColor(int index) const;
  // WM_DRAWITEM of the combo box, from its parent.
  static void DrawItem(const DRAWITEMSTRUCT& item);
  HWND GetSafeHwnd() const { return m_hWnd; }

 private:
  HWND m_hWnd = nullptr;
};
