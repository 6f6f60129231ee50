// The network pre-flight with a scripted host: address choice, trial listeners, and
// the firewall outcomes (silent, report and second pass, Retry, Cancel, not a
// workstation, firewall off).
#include <gtest/gtest.h>

#include "app/NetworkPreflight.h"
#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "tests/host/settings/fake_system.h"

namespace {

const wchar_t kIni[] = L"C:\\users\\doc\\AppData\\Local\\Orvaq\\Orvaq.INI";
const wchar_t kTxt[] = L"C:\\Program Files\\Orvaq\\Orvaq.TXT";
const wchar_t kExe[] = L"C:\\Program Files\\Orvaq\\Orvaq.exe";

struct SharedRules {
  std::vector<KvFirewallRule> rules;
  bool on = true, failAdd = false, failRemove = false, ignoreAdd = false;
  int opened = 0, closed = 0;
};

class FakePolicy : public IFirewallPolicy {
 public:
  explicit FakePolicy(SharedRules& s) : m_S(s) { ++m_S.opened; }
  ~FakePolicy() override { ++m_S.closed; }
  bool GetFirewallEnabled(long, bool& e) override { e = m_S.on; return true; }
  bool GetCurrentProfileTypes(long& t) override { t = 3; return true; }
  bool GetRules(std::vector<KvFirewallRule>& r) override { r = m_S.rules; return true; }
  bool RemoveRule(const std::wstring& name) override {
    if (m_S.failRemove) return false;
    for (size_t i = 0; i < m_S.rules.size(); ++i)
      if (m_S.rules[i].name == name) { m_S.rules.erase(m_S.rules.begin() + static_cast<long>(i)); return true; }
    return false;
  }
  bool AddRule(const KvFirewallRule& r) override {
    if (m_S.failAdd) return false;
    if (!m_S.ignoreAdd) m_S.rules.push_back(r);
    return true;
  }
 private:
  SharedRules& m_S;
};

class FakeAdapters : public IKvAdapterSource {
 public:
  std::vector<KvAdapter> list;
  bool EnumerateAdapters(std::vector<KvAdapter>& a) override { a = list; return true; }
};

class FakeListeners : public ITrialListenerFactory {
 public:
  std::vector<std::wstring> calls;
  void TryStatusListener(const std::wstring& a) override { calls.push_back(L"status " + a); }
  void TryImageListener(const std::wstring& a, long port) override {
    calls.push_back(L"image " + a + L" " + std::to_wstring(port));
  }
};

class FakeHost : public INetworkPreflightHost {
 public:
  FakeAdapters adapters;
  FakeListeners listeners;
  SharedRules rules;
  bool workstation = true;
  std::vector<FakeBox> boxes;
  std::deque<int> answers;
  IKvAdapterSource& Adapters() override { return adapters; }
  ITrialListenerFactory& TrialListeners() override { return listeners; }
  bool IsWorkstationVistaOrLater() override { return workstation; }
  std::unique_ptr<IFirewallPolicy> OpenFirewallPolicy() override { return std::make_unique<FakePolicy>(rules); }
  int ShowMessageBox(const std::wstring& t, const std::wstring& c, unsigned s) override {
    boxes.push_back({t, c, s});
    if (answers.empty()) return orvaq::mb::kIdOk;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
};

KvFirewallRule Allow(long protocol, long port) {
  KvFirewallRule r;
  r.name = L"allow" + std::to_wstring(port);
  r.applicationName = kExe;
  r.hasApplicationName = true;
  r.protocol = protocol;
  r.localPorts = std::to_wstring(port);
  r.direction = 1;
  r.action = 1;
  r.enabled = true;
  return r;
}

struct Fixture {
  FakeSystem sys;
  CKvMemoryProfile profile;
  CKvParameters params{profile, sys};
  FakeHost host;
  Fixture() {
    profile.LoadText(kTxt, L"[409]\n1000=Orvaq\n618=Add %s %d failed\n619=Repair %s %d failed\n"
                           L"620=Repaired %s %d\n621=Added %s %d\n");
    params.SetLanguage(L"409");
  }
};

TEST(NetworkPreflight, AddressOfTheConfiguredAdapter) {
  struct Row { const wchar_t* adapter; const wchar_t* preferred; const wchar_t* expected; };
  const Row rows[] = {
      {L"eth1", L"", L"10.0.0.5"}, {L"eth1", L"10.0.0.6", L"10.0.0.6"}, {L"eth0", L"10.9.9.9", L"192.168.1.2"},
      {L"", L"", L""}, {L"wlan0", L"", L""}, {L"down0", L"", L""},
      {L"ETH1", L"", L"10.0.0.5"},  // the name as the settings store compares it
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    Fixture f;
    f.host.rules.rules = {Allow(6, 3333), Allow(17, 48322)};
    KvAdapter eth0{L"eth0", 2, 1, 6, {0, 1, 2, 3, 4, 5}, {L"192.168.1.2"}};
    KvAdapter eth1{L"eth1", 3, 1, 6, {}, {L"10.0.0.5", L"10.0.0.6"}};
    KvAdapter wlan{L"wlan0", 4, 1, 71, {}, {L"172.16.0.1"}};
    KvAdapter down{L"down0", 5, 2, 6, {}, {L"172.16.0.2"}};
    f.host.adapters.list = {eth0, eth1, wlan, down};
    f.params.SetAdapterName(rows[i].adapter);
    f.params.SetAdapterIPAddress(rows[i].preferred);
    EXPECT_TRUE(NetworkPreflight(f.params, f.host)) << "row " << i;
    const std::wstring a = rows[i].expected;
    EXPECT_EQ((std::vector<std::wstring>{L"status " + a, L"image " + a + L" 3333"}), f.host.listeners.calls)
        << "row " << i;
  }
}

TEST(NetworkPreflight, SilentWhenBothAllowRulesExist) {
  Fixture f;
  f.host.rules.rules = {Allow(6, 3333), Allow(17, 48322)};
  EXPECT_TRUE(NetworkPreflight(f.params, f.host));
  EXPECT_TRUE(f.host.boxes.empty());
  EXPECT_EQ(1, f.host.rules.opened);
  EXPECT_EQ(1, f.host.rules.closed);
}

TEST(NetworkPreflight, RepairsReportsAndRunsAgain) {
  Fixture f;
  KvFirewallRule block = Allow(6, 3333);
  block.name = L"blocker";
  block.action = 0;
  block.localPorts = L"*";
  f.host.rules.rules = {block};
  EXPECT_TRUE(NetworkPreflight(f.params, f.host));
  ASSERT_EQ(1u, f.host.boxes.size());
  EXPECT_EQ(L"Repaired TCP 3333\r\nAdded TCP 3333\r\nAdded UDP 48322", f.host.boxes[0].text);
  EXPECT_EQ(L"Orvaq", f.host.boxes[0].caption);
  EXPECT_EQ(orvaq::mb::kIconInformation, f.host.boxes[0].style);
  EXPECT_EQ(4u, f.host.listeners.calls.size());  // two passes
  ASSERT_EQ(2u, f.host.rules.rules.size());
  const KvFirewallRule& added = f.host.rules.rules[0];
  EXPECT_EQ(L"Orvaq.exe_3333", added.name);
  EXPECT_EQ(L"Allow network traffic from Orvaq.exe over UDP port 3333", added.description);
  EXPECT_EQ(kExe, added.applicationName);
  EXPECT_EQ(6, added.protocol);
  EXPECT_EQ(L"3333", added.localPorts);
  EXPECT_EQ(L"TORVEL Rule Group", added.grouping);
  EXPECT_EQ(3, added.profiles);
  EXPECT_EQ(L"Orvaq.exe_48322", f.host.rules.rules[1].name);
  EXPECT_EQ(17, f.host.rules.rules[1].protocol);
}

TEST(NetworkPreflight, FailedAdditionRetryThenCancel) {
  Fixture f;
  f.host.rules.failAdd = true;
  f.host.answers = {orvaq::mb::kIdRetry, orvaq::mb::kIdCancel};
  EXPECT_FALSE(NetworkPreflight(f.params, f.host));
  ASSERT_EQ(2u, f.host.boxes.size());
  EXPECT_EQ(L"Add TCP 3333 failed", f.host.boxes[0].text);  // the UDP check is skipped
  EXPECT_EQ(orvaq::mb::kRetryCancel | orvaq::mb::kIconError, f.host.boxes[0].style);
}

TEST(NetworkPreflight, FailedRepairShowsItsText) {
  Fixture f;
  KvFirewallRule block = Allow(17, 48322);
  block.action = 0;
  f.host.rules.rules = {Allow(6, 3333), block};
  f.host.rules.failRemove = true;
  f.host.answers = {orvaq::mb::kIdCancel};
  EXPECT_FALSE(NetworkPreflight(f.params, f.host));
  ASSERT_EQ(1u, f.host.boxes.size());
  EXPECT_EQ(L"Repair UDP 48322 failed", f.host.boxes[0].text);
}

TEST(NetworkPreflight, NothingInspectedOffAWorkstationOrWithTheFirewallOff) {
  for (int i = 0; i < 2; ++i) {
    Fixture f;
    if (i == 0) f.host.workstation = false; else f.host.rules.on = false;
    EXPECT_TRUE(NetworkPreflight(f.params, f.host)) << "row " << i;
    EXPECT_TRUE(f.host.boxes.empty()) << "row " << i;
    EXPECT_TRUE(f.host.rules.rules.empty()) << "row " << i;
  }
}

TEST(NetworkPreflight, PolicyThatIgnoresAdditionsDoesNotLoopForEver) {
  Fixture f;
  f.host.rules.ignoreAdd = true;
  EXPECT_TRUE(NetworkPreflight(f.params, f.host));
  EXPECT_EQ(3u, f.host.boxes.size());
}

}  // namespace
