// The firewall COM adapter: the objects are made inside the adapter's own apartment,
// every failure comes back as false, and the start-up's view of an unreadable policy
// is "firewall not on" (nothing inspected, no box).
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include "firewall/KvFirewall.h"
#include "firewall/win/KvFirewallPolicyWin.h"

namespace {

TEST(FirewallWine, AnswersAreConsistentWithTheCallResults) {
  CKvFirewallPolicyWin policy;
  bool privateOn = false;
  const bool readable = policy.GetFirewallEnabled(kFwProfilePrivate, privateOn);
  std::vector<KvFirewallRule> rules;
  const bool listed = policy.GetRules(rules);
  if (!listed) {
    EXPECT_TRUE(rules.empty());
  }
  KvFirewall firewall(policy);
  const std::wstring exe = L"C:\\Program Files\\Orvaq\\Orvaq.exe";
  if (!readable) {
    // Known Wine gap: the policy object exists but answers E_NOTIMPL to every query, so
    // the firewall counts as off and the start-up inspects nothing. Windows answers.
    EXPECT_FALSE(firewall.IsFirewallOn());
  }
  if (!listed) {
    EXPECT_FALSE(firewall.FindRule(&exe, kImagePort, true, true));
    EXPECT_FALSE(firewall.RemoveBlockingRule(&exe, kImagePort, true));
  }
}

TEST(FirewallWine, ApartmentIsReleasedWithTheObject) {
  { CKvFirewallPolicyWin policy; }
  // The thread can enter a multi-threaded apartment again: the adapter's one is gone.
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  EXPECT_TRUE(SUCCEEDED(hr));
  if (SUCCEEDED(hr)) CoUninitialize();
}

}  // namespace
