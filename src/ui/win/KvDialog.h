// CKvDialog: Orvaq's dialog base over plain Win32. It finds its object from the window
// (stored at WM_INITDIALOG; earlier messages are left to the default handling) and
// dispatches to named virtual handlers, among them the hand-over of a second start's
// command line (message 0x8064).
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

class IOneShotJobs;

// Posted by a second start after it stored its command line in the settings.
constexpr UINT kMsgRunStoredCommandLine = WM_APP + 100;  // 0x8064

class CKvDialog {
 public:
  // `jobs` runs the one-shot jobs of a handed-over line (not owned).
  CKvDialog(int templateId, IOneShotJobs& jobs) : m_nTemplateId(templateId), m_Jobs(jobs) {}
  virtual ~CKvDialog() = default;
  CKvDialog(const CKvDialog&) = delete;
  CKvDialog& operator=(const CKvDialog&) = delete;

  // Runs the dialog modally; returns the EndDialog value (-1 when it could not be shown).
  INT_PTR DoModal(HWND parent = nullptr);
  HWND GetSafeHwnd() const { return m_hWnd; }

 protected:
  // Window title text 1000.
  virtual BOOL OnInitDialog();
  // Buttons 1001 to 1004 (scan direction), 1005 (information), 1006 (close), 1007
  // (parameters). True when handled.
  virtual bool OnCommand(WORD id, WORD notification, HWND control);
  virtual void OnTimer(UINT_PTR id) {}
  virtual void OnDropFiles(HDROP drop) { DragFinish(drop); }
  virtual void OnDestroy() {}
  // WM_CLOSE: ends the dialog through OnCloseButton.
  virtual void OnCloseRequest() { OnCloseButton(); }
  virtual void OnCloseButton() { EndDialog(m_hWnd, IDOK); }
  virtual void OnParameters() {}
  virtual std::wstring GetInfoText() { return std::wstring(); }
  // Message 0x8064: reads the stored command line, deletes it, flushes, parses it and
  // repaints.
  virtual void OnRunStoredCommandLine();
  // Any other message; set `handled` to answer it.
  virtual INT_PTR OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = false;
    return 0;
  }

  HWND m_hWnd = nullptr;
  IOneShotJobs& Jobs() { return m_Jobs; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  int m_nTemplateId;
  IOneShotJobs& m_Jobs;
};
