// COrvaqRbld2Dlg: OrvaqRbld2's only window, the preview of the reconstructed picture in
// which the operator turns or mirrors it before the outputs are written. Run modally
// from the work routine; every turn is applied to the picture and, when there is one,
// to the 16-bit image, so that the written ".raw" lies as the picture does. Without the
// preview switch it ends at once with cancel and is never seen.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "rxfilter/RXFilter.h"

class COrvaqRbld2Dlg {
 public:
  enum { IDD = 102, kIdPicture = 1003, kIdRotateLeft = 1000, kIdRotateRight = 1004, kIdMirrorLeftRight = 1001,
         kIdMirrorTopBottom = 1002, kIdIcon = 128 };

  explicit COrvaqRbld2Dlg(HINSTANCE instance) : m_hInstance(instance) {}
  ~COrvaqRbld2Dlg();
  COrvaqRbld2Dlg(const COrvaqRbld2Dlg&) = delete;
  COrvaqRbld2Dlg& operator=(const COrvaqRbld2Dlg&) = delete;

  // Runs the preview. `picture` (not owned) is turned in place; `image16` may be null.
  // `x`, `y`: centre and top of the window in screen pixels, -1 when not given.
  // `closeAtOnce`: no preview was asked for. Returns IDOK or IDCANCEL (also when the
  // dialog could not be shown).
  INT_PTR DoModal(Gdiplus::Bitmap* picture, BufferFinal16* image16, int x, int y, bool closeAtOnce);
  HWND GetSafeHwnd() const { return m_hWnd; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  BOOL OnInitDialog();
  void PlaceButtons();
  void OnCommand(WORD id);
  void OnPaint();
  // Control 1003 asks for its colours: the black area and the picture, drawn here.
  HBRUSH OnPictureColour(HDC dc, HWND control);
  void Turn(WORD id);
  void DropScreenCopy();

  HINSTANCE m_hInstance;
  HWND m_hWnd = nullptr;
  HICON m_hIcon = nullptr;
  HBITMAP m_hButtonBitmaps[4] = {};
  Gdiplus::Bitmap* m_pPicture = nullptr;
  BufferFinal16* m_pImage16 = nullptr;
  int m_nX = -1, m_nY = -1;
  bool m_bCloseAtOnce = true;
  // The picture as a device bitmap over black, made once per turn for the repaints.
  HBITMAP m_hScreenCopy = nullptr;
};
