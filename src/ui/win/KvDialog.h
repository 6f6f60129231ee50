// CKvDialog: Orvaq's skinned dialog base over plain Win32: a small borderless,
// always-on-top tool window drawn from a skin picture, dragged from anywhere, sized from
// its bottom-right corner with fixed proportions, with transparent buttons and tooltips.
// It finds its object from the window (stored at WM_INITDIALOG; earlier messages are left
// to the default handling) and dispatches to named virtual handlers, among them the
// hand-over of a second start's command line (message 0x8064).
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "ui/PanelModel.h"

class IOneShotJobs;
namespace Gdiplus {
class Bitmap;
class Graphics;
}

// Posted by a second start after it stored its command line in the settings.
constexpr UINT kMsgRunStoredCommandLine = WM_APP + 100;  // 0x8064
// The thumbnail painted beside the window after an acquisition (erased when it fires).
constexpr UINT_PTR kThumbnailTimerId = 1010;

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
  // --- the skinned window's operations, in their order
  // The background picture (null: nothing is drawn).
  virtual Gdiplus::Bitmap* GetSkinPicture() = 0;
  // Places the transparent buttons for the current client size.
  virtual void LayoutControls() = 0;
  // The text of the information box.
  virtual std::wstring GetInfoText() = 0;
  // WM_CLOSE: cancels an attached child window, then OnCloseButton.
  virtual void OnCloseRequest();
  virtual void OnCloseButton() { EndDialog(m_hWnd, IDOK); }
  virtual void OnParameters() {}
  virtual void OnMinMaxInfo(MINMAXINFO& info);
  virtual void OnSizingKeepRatio(RECT& rect);
  // Message 0x8064: reads the stored command line, deletes it, flushes, parses it and
  // repaints.
  virtual void OnRunStoredCommandLine();

  // --- Win32 messages
  // Icons, always-on-top tool window, title text 1000, saved or default placement,
  // tooltips.
  virtual BOOL OnInitDialog();
  // Buttons 1001 to 1004 (scan direction), 1005 (information), 1006 (close), 1007
  // (parameters). True when handled.
  virtual bool OnCommand(WORD id, WORD notification, HWND control);
  // Timer 1010 erases the thumbnail; other timers are the derived dialog's.
  virtual void OnTimer(UINT_PTR id);
  virtual void OnDropFiles(HDROP drop) { DragFinish(drop); }
  // Stops the thumbnail timer (erasing the thumbnail) and saves the placement.
  virtual void OnDestroy();
  // Draws the background of the client area on `dc`; the base stretches the skin picture.
  virtual void PaintBackground(HDC dc);
  // The same under a transparent button (the dc's origin is the client area's).
  virtual void PaintButtonBackground(HDC dc) { PaintBackground(dc); }
  // The tooltip of a control: its text and, when not empty, a title with the
  // information icon.
  virtual void GetTooltip(int id, std::wstring& text, std::wstring& title);
  // An owner-drawn control that is not a transparent button (a list, for instance).
  virtual void OnOwnerDraw(DRAWITEMSTRUCT& item) {}
  // The thumbnail's screen rectangle (empty when none is shown).
  virtual RECT ThumbnailRect() { return RECT{0, 0, 0, 0}; }
  // The extra height, in skin pixels, of panels below the skin picture.
  virtual int ExtraSkinHeight() { return 0; }
  // Any other message; set `handled` to answer it.
  virtual INT_PTR OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = false;
    return 0;
  }

  // Sets the window placement (the default or the saved one).
  void PlaceWindow();
  void Repaint();
  // A child window attached to the panel (closed with it).
  HWND m_hChild = nullptr;
  HWND m_hWnd = nullptr;
  IOneShotJobs& Jobs() { return m_Jobs; }
  orvaq::ui::SSize SkinSize();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Answer(LRESULT result);
  void CreateTooltips();
  void OnTooltipText(NMHDR* header);
  void EraseThumbnail();
  HBRUSH OnButtonColour(HDC dc, HWND button);
  void OnDrawItem(DRAWITEMSTRUCT& item);

  int m_nTemplateId;
  IOneShotJobs& m_Jobs;
  HICON m_hIconBig = nullptr, m_hIconSmall = nullptr;
  HWND m_hTooltip = nullptr;
  bool m_bTooltipInitialised = false;
  std::wstring m_sTooltipText, m_sTooltipTitle;
};
