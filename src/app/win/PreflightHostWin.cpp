// Network pre-flight on Windows (see PreflightHostWin.h).
#include "app/win/PreflightHostWin.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "common/text.h"
#include "firewall/win/KvFirewallPolicyWin.h"

namespace {

constexpr DWORD kTrialWaitMs = 100;

void TrySocket(const std::wstring& address, long port, bool tcp) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
  SOCKET s = socket(AF_INET, tcp ? SOCK_STREAM : SOCK_DGRAM, tcp ? IPPROTO_TCP : IPPROTO_UDP);
  if (s != INVALID_SOCKET) {
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<u_short>(port));
    sa.sin_addr.s_addr = INADDR_ANY;
    const std::string narrow = orvaq::ToUtf8(address);
    if (!narrow.empty() && inet_pton(AF_INET, narrow.c_str(), &sa.sin_addr) != 1) sa.sin_addr.s_addr = INADDR_ANY;
    if (bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0 && tcp) listen(s, 1);
    Sleep(kTrialWaitMs);
    closesocket(s);
  }
  WSACleanup();
}

}  // namespace

void CSocketTrialListeners::TryStatusListener(const std::wstring& address) { TrySocket(address, kStatusPort, false); }

void CSocketTrialListeners::TryImageListener(const std::wstring& address, long port) {
  TrySocket(address, port, true);
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
  return std::make_unique<KvFirewallPolicyWin>();
}

int CPreflightHostWin::ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) {
  return MessageBoxW(nullptr, text.c_str(), caption.c_str(), style);
}
