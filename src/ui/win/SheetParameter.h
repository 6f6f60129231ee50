// CSheetParameter: the parameter sheet, a modal property sheet of six pages (templates
// 1200 to 1205; the service page 1204 only on demand). It edits the settings, chooses the
// adapter and the scanner, shows the scanner's state, and hides the service console and
// the technical setup behind OK with modifier keys. It asks the main window for
// everything about the scanner (CSheetRequests); the rules of what each control shows
// and stores are the core's (ui/SheetRules).
#pragma once

#include <windows.h>
#include <prsht.h>

#include <memory>
#include <string>

#include "ui/SheetRules.h"
#include "ui/win/EditService.h"
#include "ui/win/KvControls.h"
#include "ui/win/SheetRequests.h"

class CDialogTechnicalSetup;

class CSheetParameter {
 public:
  enum Page { kPageImage, kPageConfig, kPageScanner, kPageCodes, kPageAbout, kPageService, kPageCount };
  static constexpr int kPageTemplates[kPageCount] = {1200, 1201, 1202, 1205, 1203, 1204};
  static constexpr UINT_PTR kProgressTimer = 1030, kRefreshTimer = 1020;
  static constexpr int kServicePageButton = 1215, kTechnicalButton = 1216;

  CSheetParameter(HWND mainWindow, const std::wstring& caption);
  ~CSheetParameter();
  CSheetParameter(const CSheetParameter&) = delete;
  CSheetParameter& operator=(const CSheetParameter&) = delete;

  // Runs the sheet modally; IDOK when it closed with OK, IDCANCEL otherwise.
  INT_PTR DoModal();
  HWND GetSafeHwnd() const { return m_hWnd; }
  HWND PageWindow(Page page) const { return m_hPages[page]; }

  // Read by the main window after the sheet closed.
  bool m_bReadWaitingImage = false;
  bool m_bPatternRequest = false;
  bool m_bRestartNeeded = false;

 private:
  static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
  static LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR self);
  static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HPROPSHEETPAGE CreatePage(Page page);

  void OnInitSheet();
  // Returns true when the message was handled (the default OK handling is skipped).
  bool OnSheetCommand(WORD id);
  void OnPageCommand(Page page, WORD id, WORD notification);
  void OnTimer(UINT_PTR id);
  void OnSliderMoved();

  void LoadValues();
  void UpdateSliderLabels();
  void ApplyPermissionRule();
  void ShowReservationControls(int mode);  // 0 Mono, 1 Multi, else as Multi, no button
  void OnOk();
  bool Save();
  void OnConnection();
  void OnAdapterChanged();
  void FillAdapterAddresses(bool storeChoice);
  void Refresh();
  void ShowScannerFields(bool show);
  void FillScannerFields(const std::wstring& serial);
  void OnReadWaitingImage();
  void OpenTechnicalSetup();
  void ShowServicePage();
  void SendServiceCommand();
  void StopTimers();

  HWND Item(Page page, int id) const { return GetDlgItem(m_hPages[page], id); }
  std::wstring Text(int id);
  int Ask(int textId, UINT style, const std::wstring& formatted = std::wstring());
  std::wstring Configured();

  CSheetRequests m_Requests;
  std::wstring m_sCaption;
  HWND m_hWnd = nullptr;
  HWND m_hPages[kPageCount] = {};
  bool m_bLoading = false;
  bool m_bServicePageAdded = false;
  int m_nPermissionsAtOpening = -1;
  bool m_bConfiguredAtOpening = false;
  UINT_PTR m_nProgressTimer = 0, m_nRefreshTimer = 0;
  HFONT m_hLargeFont = nullptr;
  HMODULE m_hRichEdit = nullptr;
  CKvWSlider m_Sliders[4];
  CColorComboBox m_Colors;
  CEditService m_Console;
  std::unique_ptr<CDialogTechnicalSetup> m_pTechnicalSetup;
};
