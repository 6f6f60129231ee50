// What the main-window tests share: COrvaqDlg running `checks` inside its modal loop once
// the window is up (then closing it), the program folder's texts, and no one-shot jobs.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "command_line/OneShotJobs.h"
#include "settings/win/KvSystemWin.h"
#include "ui/win/OrvaqDlg.h"

namespace dialogtest {

// Texts are read from the shipped file beside the test program.
class BinSystem : public CKvSystemWin {
 public:
  std::wstring GetProgramPath() override {
    std::wstring p = CKvSystemWin::GetProgramPath();
    return p.substr(0, p.find_last_of(L'\\')) + L"\\Orvaq.exe";
  }
};

class NoJobs : public IOneShotJobs {
 public:
  void RunImageJob(const ImageJobRequest&) override {}
  void RunRawStrip(const RawStripRequest&) override {}
};

constexpr UINT kMsgRunChecks = WM_APP + 7;

// `Self` is the test's own dialog class, which the checks receive.
template <class Self>
class DialogInLoop : public COrvaqDlg {
 public:
  DialogInLoop(IOneShotJobs& jobs, std::function<void(Self&)> checks) : COrvaqDlg(jobs), m_Checks(std::move(checks)) {}
  HWND Hwnd() const { return m_hWnd; }

 protected:
  BOOL OnInitDialog() override {
    const BOOL r = COrvaqDlg::OnInitDialog();
    PostMessageW(m_hWnd, kMsgRunChecks, 0, 0);
    return r;
  }
  INT_PTR OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override {
    if (message != kMsgRunChecks) return COrvaqDlg::OnOtherMessage(message, wParam, lParam, handled);
    handled = true;
    m_Checks(static_cast<Self&>(*this));
    EndDialog(m_hWnd, IDOK);
    return TRUE;
  }

 private:
  std::function<void(Self&)> m_Checks;
};

}  // namespace dialogtest
