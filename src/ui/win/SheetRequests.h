// The sheet's and the technical setup's only road to the scanner: the main window's
// synchronous messages 0x465 (hardware information), 0x466 (administration action) and
// 0x467 (service command). Texts answered by address are copied at once, since the
// next request of the same kind empties them.
#pragma once

#include <windows.h>

#include <string>

class CSheetRequests {
 public:
  explicit CSheetRequests(HWND mainWindow) : m_hMain(mainWindow) {}
  HWND MainWindow() const { return m_hMain; }

  // 0x465 for a type answered with a number (-1 when the window does not answer).
  int InfoNumber(int type, const std::wstring* serial);
  // 0x465 for a type answered with a text ("" when the window does not answer).
  std::wstring InfoText(int type, const std::wstring* serial);
  // 0x466: the answer text of action `code` for `serial`.
  std::wstring Admin(int code, const std::wstring& serial);
  // 0x467: the raw code; `answer` receives the scanner's answer.
  int Service(const std::wstring& command, std::wstring& answer);

 private:
  HWND m_hMain;
};
