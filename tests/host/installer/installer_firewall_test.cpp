// The firewall rules the setup program writes (installer/FirewallRules.nsh), checked
// against Orvaq's own start-up code: Wine's firewall is a stub, so this is where the
// installer's rules meet the matching that will look for them on Windows.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "firewall/KvFirewall.h"

namespace {

const std::wstring kInstalledExe = L"C:\\Program Files (x86)\\Orvaq\\Orvaq.exe";

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The quoted or bare words of one line, quotes removed.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string word;
  while (in >> std::ws && !in.eof()) {
    if (in.peek() == '"') {
      in.get();
      std::getline(in, word, '"');
    } else {
      in >> word;
    }
    words.push_back(word);
  }
  return words;
}

// The rules of the installer's table, as they will stand in a policy after installation
// into the default folder ($INSTDIR\program).
std::vector<KvFirewallRule> InstallerRules() {
  std::ifstream file(ORVAQ_SOURCE_DIR "/installer/FirewallRules.nsh");
  EXPECT_TRUE(file.good());
  std::string line, group;
  long direction = -1, action = -1;
  std::vector<KvFirewallRule> rules;
  while (std::getline(file, line)) {
    const std::vector<std::string> w = Words(line);
    if (w.size() >= 3 && w[0] == "!define" && w[1] == "ORVAQ_FW_GROUP") group = w[2];
    if (w.size() >= 3 && w[0] == "!define" && w[1] == "ORVAQ_FW_DIRECTION") direction = std::stol(w[2]);
    if (w.size() >= 3 && w[0] == "!define" && w[1] == "ORVAQ_FW_ACTION") action = std::stol(w[2]);
    if (w.size() == 7 && w[0] == "!insertmacro" && w[1] == "${OP}") {
      KvFirewallRule r;
      r.name = Widen(w[2]);
      r.description = Widen(w[3]);
      r.applicationName = L"C:\\Program Files (x86)\\Orvaq\\" + Widen(w[4]);
      r.hasApplicationName = true;
      r.protocol = std::stol(w[5]);
      r.localPorts = Widen(w[6]);
      rules.push_back(r);
    }
  }
  for (KvFirewallRule& r : rules) {
    r.grouping = Widen(group);
    r.direction = direction;
    r.action = action;
    r.enabled = true;  // put_Enabled(VARIANT_TRUE) for every rule
  }
  return rules;
}

class RecordingPolicy : public IFirewallPolicy {
 public:
  std::vector<KvFirewallRule> rules, added;
  std::vector<std::wstring> removed;
  bool GetFirewallEnabled(long, bool& e) override { e = true; return true; }
  bool GetCurrentProfileTypes(long& t) override { t = kFwProfilePrivate; return true; }
  bool GetRules(std::vector<KvFirewallRule>& r) override { r = rules; return true; }
  bool RemoveRule(const std::wstring& n) override { removed.push_back(n); return true; }
  bool AddRule(const KvFirewallRule& r) override { added.push_back(r); return true; }
};

// Each rule the start-up would add is one the installer writes, field by field (the
// profiles are computed at installation time by the same rule as ProfilesForNewRule).
TEST(InstallerFirewall, RulesAreTheOnesTheStartUpWouldAdd) {
  const std::vector<KvFirewallRule> installer = InstallerRules();
  ASSERT_EQ(2u, installer.size());
  struct Row { long port; bool tcp; };
  const Row rows[] = {{kImagePort, true}, {kStatusPort, false}};
  for (size_t i = 0; i < 2; ++i) {
    RecordingPolicy policy;
    KvFirewall firewall(policy);
    ASSERT_TRUE(firewall.AddAllowRule(kInstalledExe, rows[i].port, rows[i].tcp));
    const KvFirewallRule& want = policy.added.at(0);
    const KvFirewallRule* got = nullptr;
    for (const KvFirewallRule& r : installer)
      if (r.name == want.name) got = &r;
    ASSERT_NE(nullptr, got) << "row " << i << ": no installer rule named like the start-up's";
    EXPECT_EQ(want.description, got->description) << "row " << i;
    EXPECT_EQ(want.applicationName, got->applicationName) << "row " << i;
    EXPECT_EQ(want.protocol, got->protocol) << "row " << i;
    EXPECT_EQ(want.localPorts, got->localPorts) << "row " << i;
    EXPECT_EQ(want.direction, got->direction) << "row " << i;
    EXPECT_EQ(want.grouping, got->grouping) << "row " << i;
    EXPECT_EQ(want.action, got->action) << "row " << i;
    EXPECT_EQ(want.enabled, got->enabled) << "row " << i;
  }
}

// After the installation the start-up check finds both rules and changes nothing.
TEST(InstallerFirewall, StartUpCheckIsSilentAfterInstallation) {
  RecordingPolicy policy;
  policy.rules = InstallerRules();
  KvFirewall firewall(policy);
  int boxes = 0;
  const KvFirewallOutcome outcome = RunFirewallStartupCheck(
      firewall, kInstalledExe, [](int id, const std::vector<CKvTextArg>&) { return std::to_wstring(id); },
      [&boxes](const std::wstring&, const std::wstring&, unsigned) { ++boxes; return 0; });
  EXPECT_EQ(KvFirewallOutcome::kSilent, outcome);
  EXPECT_TRUE(policy.added.empty());
  EXPECT_TRUE(policy.removed.empty());
  EXPECT_EQ(0, boxes);
}

}  // namespace
