// The network pre-flight of the start-up: choose the local address, open and close the
// trial listeners once (which makes Windows ask about the firewall early), then check
// the firewall rules of both ports; repeated while a pass ends with Retry.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "firewall/KvFirewall.h"
#include "settings/KvAdapters.h"

class CKvParameters;

// Creates the trial listeners. The status listener and the image listener belong to
// the scanner link; the start-up only makes each one on `address`, waits 100 ms and
// destroys it. Failures are ignored.
class ITrialListenerFactory {
 public:
  virtual ~ITrialListenerFactory() = default;
  virtual void TryStatusListener(const std::wstring& address) = 0;
  virtual void TryImageListener(const std::wstring& address, long port) = 0;
};

class INetworkPreflightHost {
 public:
  virtual ~INetworkPreflightHost() = default;
  virtual IKvAdapterSource& Adapters() = 0;
  virtual ITrialListenerFactory& TrialListeners() = 0;
  // A workstation edition of Windows 6.0 or later.
  virtual bool IsWorkstationVistaOrLater() = 0;
  // The firewall policy, in a COM apartment of its own for as long as it lives.
  virtual std::unique_ptr<IFirewallPolicy> OpenFirewallPolicy() = 0;
  virtual int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) = 0;
};

// False when the user cancelled a firewall repair (the program then ends).
bool NetworkPreflight(CKvParameters& params, INetworkPreflightHost& host);
