// The firewall policy through the Windows Firewall COM interfaces. The object brings
// its own single-threaded COM apartment: COM is initialised when it is made and
// uninitialised after the interfaces are released.
#pragma once

#include "firewall/KvFirewall.h"

struct INetFwPolicy2;

class CKvFirewallPolicyWin : public IFirewallPolicy {
 public:
  CKvFirewallPolicyWin();
  ~CKvFirewallPolicyWin() override;
  CKvFirewallPolicyWin(const CKvFirewallPolicyWin&) = delete;
  CKvFirewallPolicyWin& operator=(const CKvFirewallPolicyWin&) = delete;

  bool GetFirewallEnabled(long profileType, bool& enabled) override;
  bool GetCurrentProfileTypes(long& profileTypes) override;
  bool GetRules(std::vector<KvFirewallRule>& rules) override;
  bool RemoveRule(const std::wstring& name) override;
  bool AddRule(const KvFirewallRule& rule) override;

 private:
  INetFwPolicy2* Policy();  // created on first use
  INetFwPolicy2* m_pPolicy = nullptr;
  bool m_bComInitialised = false;
};
