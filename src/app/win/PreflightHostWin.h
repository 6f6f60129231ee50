// The network pre-flight's platform side: adapters, trial listeners, the Windows
// edition, the firewall policy and message boxes.
#pragma once

#include <memory>

#include "app/NetworkPreflight.h"
#include "settings/win/KvAdaptersWin.h"

// Until the scanner link's listener classes are wired in, the trial opens and closes
// plain sockets on the same ports (UDP 48322, TCP 3333): what matters for the start-up
// is that the program has bound them once.
class CSocketTrialListeners : public ITrialListenerFactory {
 public:
  void TryStatusListener(const std::wstring& address) override;
  void TryImageListener(const std::wstring& address, long port) override;
};

class CPreflightHostWin : public INetworkPreflightHost {
 public:
  // `listeners` replaces the socket trial when given (not owned).
  explicit CPreflightHostWin(ITrialListenerFactory* listeners = nullptr)
      : m_pListeners(listeners ? listeners : &m_SocketTrial) {}
  KvAdapterSource& Adapters() override { return m_Adapters; }
  ITrialListenerFactory& TrialListeners() override { return *m_pListeners; }
  bool IsWorkstationVistaOrLater() override;
  std::unique_ptr<IFirewallPolicy> OpenFirewallPolicy() override;
  int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) override;

 private:
  KvAdaptersWin m_Adapters;
  CSocketTrialListeners m_SocketTrial;
  ITrialListenerFactory* m_pListeners;
};
