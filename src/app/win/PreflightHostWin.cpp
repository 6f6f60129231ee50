// Network pre-flight on Windows (see PreflightHostWin.h).
#include "app/win/PreflightHostWin.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "scanner_link/win/ImageClient.h"
#include "scanner_link/win/SNDPListener.h"
#include "firewall/win/KvFirewallPolicyWin.h"

namespace {

constexpr DWORD kTrialWaitMs = 100;

// Receives the trial listeners' socket notifications, which nobody needs.
class MessageWindow {
 public:
  MessageWindow()
      : m_hWnd(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
  ~MessageWindow() {
    if (m_hWnd) DestroyWindow(m_hWnd);
  }
  HWND Handle() const { return m_hWnd; }

 private:
  HWND m_hWnd;
};

}  // namespace

void CScannerLinkTrialListeners::TryStatusListener(const std::wstring& address) {
  MessageWindow window;
  CSNDPListener* listener = new CSNDPListener(address);
  listener->StartListening(window.Handle());
  Sleep(kTrialWaitMs);
  delete listener;  // cancels its notifications and closes its socket
}

void CScannerLinkTrialListeners::TryImageListener(const std::wstring& address, long port) {
  MessageWindow window;
  CImageClient* listener = new CImageClient(static_cast<uint16_t>(port));
  listener->Listen(window.Handle());
  Sleep(kTrialWaitMs);
  delete listener;
}

bool CPreflightHostWin::IsWorkstationVistaOrLater() {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return false;
#pragma GCC diagnostic pop
  return info.dwMajorVersion >= 6 && info.wProductType == VER_NT_WORKSTATION;
}

std::unique_ptr<IFirewallPolicy> CPreflightHostWin::OpenFirewallPolicy() {
  return std::make_unique<CKvFirewallPolicyWin>();
}

int CPreflightHostWin::ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) {
  return MessageBoxW(nullptr, text.c_str(), caption.c_str(), style);
}
