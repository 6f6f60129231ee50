// The network pre-flight's platform side: adapters, trial listeners, the Windows
// edition, the firewall policy and message boxes.
#pragma once

#include <memory>

#include "app/NetworkPreflight.h"
#include "settings/win/KvAdaptersWin.h"

// The trial with the scanner link's own listeners: each one is made, listens for 100 ms
// (its notifications go to a message-only window) and is deleted.
class CScannerLinkTrialListeners : public ITrialListenerFactory {
 public:
  void TryStatusListener(const std::wstring& address) override;
  void TryImageListener(const std::wstring& address, long port) override;
};

class CPreflightHostWin : public INetworkPreflightHost {
 public:
  // `listeners` replaces the scanner-link trial when given (not owned).
  explicit CPreflightHostWin(ITrialListenerFactory* listeners = nullptr)
      : m_pListeners(listeners ? listeners : &m_SocketTrial) {}
  IKvAdapterSource& Adapters() override { return m_Adapters; }
  ITrialListenerFactory& TrialListeners() override { return *m_pListeners; }
  bool IsWorkstationVistaOrLater() override;
  std::unique_ptr<IFirewallPolicy> OpenFirewallPolicy() override;
  int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) override;

 private:
  CKvAdaptersWin m_Adapters;
  CScannerLinkTrialListeners m_SocketTrial;
  ITrialListenerFactory* m_pListeners;
};
