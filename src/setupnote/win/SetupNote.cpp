// setupnote: the closing message of the scanner's driver installation. One modal
// dialog, French on French systems and English elsewhere; plain Windows API only,
// no files, no arguments, exit code 1.
#include <windows.h>

#include "setupnote/NoteChoice.h"

namespace {

HFONT g_hMessageFont = nullptr;  // lives while the dialog is shown

INT_PTR CALLBACK NoteDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageW(hDlg, orvaq::setupnote::kMessageControl, WM_SETFONT,
                          reinterpret_cast<WPARAM>(g_hMessageFont), FALSE);
      return TRUE;
    case WM_COMMAND:
      // OK, and Cancel which the dialog manager sends for Escape and the close box.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int) {
  LOGFONTW lf = {};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  lf.lfHeight = orvaq::setupnote::MessageFontHeight(lf.lfHeight);
  lf.lfWeight = orvaq::setupnote::kMessageWeight;
  g_hMessageFont = CreateFontIndirectW(&lf);

  const int templateId = orvaq::setupnote::TemplateForLocale(GetThreadLocale());
  DialogBoxParamW(hInstance, MAKEINTRESOURCEW(templateId), nullptr, NoteDialogProc, 0);

  if (g_hMessageFont) DeleteObject(g_hMessageFont);
  return 1;
}
