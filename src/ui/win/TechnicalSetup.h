// CDialogTechnicalSetup: the technical settings dialog (template 22900), opened from the
// parameter sheet. It administers the scanner as a whole (clock, registered
// workstations, return-to-home-screen delay, this workstation's link) through the main
// window's requests, and stores a few local diagnostic switches. Its labels stay as the
// template has them.
#pragma once

#include <windows.h>

#include <string>

#include "ui/win/SheetRequests.h"

class CDialogTechnicalSetup {
 public:
  static constexpr int kTemplateId = 22900;
  explicit CDialogTechnicalSetup(HWND mainWindow) : m_Requests(mainWindow) {}
  // Runs the dialog modally over `parent`; IDOK or IDCANCEL (-1 when it cannot be shown).
  INT_PTR DoModal(HWND parent);
  HWND GetSafeHwnd() const { return m_hWnd; }
  // Ends the dialog with Cancel (the sheet's Cancel while the dialog is open).
  void Cancel();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnCommand(WORD id);
  // Loads every control from the scanner and the settings.
  void LoadControls();
  void RefreshStations();
  void UpdateDelayLabel();
  // The serial selected in combo 1120 ("" when none).
  std::wstring SelectedSerial();
  bool Ask(int textId);

  CSheetRequests m_Requests;
  HWND m_hWnd = nullptr;
};
