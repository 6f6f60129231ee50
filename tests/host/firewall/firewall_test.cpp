// Firewall rule matching (UNC paths, port lists, "*", ranges, disabled rules, actions),
// the profiles of a new rule, and FindRule's log lines.
#include <gtest/gtest.h>

#include "firewall/KvFirewall.h"
#include "logging/KvLogger.h"
#include "tests/support/memory_logger.h"

namespace {

const std::wstring kExe = L"C:\\dir\\Orvaq.exe";

KvFirewallRule Rule(const wchar_t* app, long protocol, const wchar_t* ports, long action, bool enabled = true,
                    long direction = 1) {
  KvFirewallRule r;
  r.name = L"r";
  if (app) { r.applicationName = app; r.hasApplicationName = true; }
  r.protocol = protocol;
  r.localPorts = ports;
  r.action = action;
  r.enabled = enabled;
  r.direction = direction;
  return r;
}

TEST(FirewallMatch, Table) {
  struct Row { KvFirewallRule rule; const std::wstring* path; long port; bool blocking, tcp; KvRuleMismatch expected; };
  const Row rows[] = {
      {Rule(L"C:\\dir\\Orvaq.exe", 6, L"*", 0), &kExe, 3333, true, true, KvRuleMismatch::kNone},
      {Rule(L"C:\\dir\\Orvaq.exe", 6, L"*", 0, false), &kExe, 3333, true, true, KvRuleMismatch::kDisabled},
      {Rule(L"c:\\DIR\\orvaq.EXE", 6, L"3333", 1), &kExe, 3333, false, true, KvRuleMismatch::kNone},
      {Rule(L"\\\\server\\share\\dir\\orvaq.exe", 6, L"3333", 1), &kExe, 3333, false, true, KvRuleMismatch::kNone},
      {Rule(L"\\\\server\\share\\other\\orvaq.exe", 6, L"3333", 1), &kExe, 3333, false, true, KvRuleMismatch::kApplication},
      {Rule(L"\\\\server\\share", 6, L"3333", 1), &kExe, 3333, false, true, KvRuleMismatch::kApplication},
      {Rule(L"D:\\dir\\Orvaq.exe", 6, L"3333", 1), &kExe, 3333, false, true, KvRuleMismatch::kApplication},
      {Rule(nullptr, 6, L"3333", 1), &kExe, 3333, false, true, KvRuleMismatch::kApplication},
      {Rule(nullptr, 6, L"3333", 1), nullptr, 3333, false, true, KvRuleMismatch::kNone},
      {Rule(L"C:\\dir\\Orvaq.exe", 17, L"3333", 1), &kExe, 3333, false, true, KvRuleMismatch::kProtocol},
      {Rule(L"C:\\dir\\Orvaq.exe", 17, L"48322", 1), &kExe, 48322, false, false, KvRuleMismatch::kNone},
      {Rule(L"C:\\dir\\Orvaq.exe", 6, L"80,3333", 1), &kExe, 3333, false, true, KvRuleMismatch::kNone},
      {Rule(L"C:\\dir\\Orvaq.exe", 6, L"80, 3333 ,443", 1), &kExe, 3333, false, true, KvRuleMismatch::kNone},
      {Rule(L"C:\\dir\\Orvaq.exe", 6, L"80,443", 1), &kExe, 3333, false, true, KvRuleMismatch::kPort},
      {Rule(L"C:\\dir\\Orvaq.exe", 6, L"3000-4000", 1), &kExe, 3333, false, true, KvRuleMismatch::kPort},
      {Rule(L"C:\\dir\\Orvaq.exe", 6, L"3333-4000", 1), &kExe, 3333, false, true, KvRuleMismatch::kNone},
      {Rule(L"C:\\dir\\Orvaq.exe", 6, L"", 1), &kExe, 0, false, true, KvRuleMismatch::kPort},
      {Rule(L"C:\\dir\\Orvaq.exe", 6, L"3333", 1, true, 2), &kExe, 3333, false, true, KvRuleMismatch::kDirection},
      {Rule(L"C:\\dir\\Orvaq.exe", 6, L"3333", 1), &kExe, 3333, true, true, KvRuleMismatch::kAction},
      {Rule(L"C:\\dir\\Orvaq.exe", 6, L"3333", 0), &kExe, 3333, false, true, KvRuleMismatch::kAction},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    EXPECT_EQ(rows[i].expected, MatchRule(rows[i].rule, rows[i].path, rows[i].port, rows[i].blocking, rows[i].tcp))
        << "row " << i;
}

TEST(FirewallProfiles, PublicOnlyWhenAlone) {
  struct Row { long active, expected; };
  const Row rows[] = {{4, 4}, {1 | 4, 1}, {2, 2}, {1 | 2 | 4, 3}, {2 | 4, 2}};
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    EXPECT_EQ(rows[i].expected, ProfilesForNewRule(rows[i].active)) << "row " << i;
}

class ListPolicy : public IFirewallPolicy {
 public:
  std::vector<KvFirewallRule> rules;
  bool fail = false;
  std::vector<std::wstring> removed;
  bool GetFirewallEnabled(long p, bool& e) override { e = p != 4; return !fail; }
  bool GetCurrentProfileTypes(long& t) override { t = 4; return !fail; }
  bool GetRules(std::vector<KvFirewallRule>& r) override { r = rules; return !fail; }
  bool RemoveRule(const std::wstring& n) override { removed.push_back(n); return true; }
  bool AddRule(const KvFirewallRule&) override { return !fail; }
};

TEST(KvFirewall, FindRuleLogsEachRuleAndItsReason) {
  ListPolicy policy;
  KvFirewallRule off = Rule(L"C:\\dir\\Orvaq.exe", 6, L"3333", 0, false);
  off.name = L"off";
  KvFirewallRule other = Rule(L"C:\\x.exe", 6, L"3333", 0);
  other.name = L"other";
  KvFirewallRule hit = Rule(L"C:\\dir\\Orvaq.exe", 6, L"*", 0);
  hit.name = L"hit";
  policy.rules = {off, other, hit};
  std::vector<std::string> lines;
  ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines));
  KvFirewall fw(policy);
  EXPECT_TRUE(fw.FindRule(&kExe, 3333, true, true));
  ReplaceCurrentLogger(nullptr);
  const std::vector<std::string> expected = {
      "R\xE8gle recherch\xE9""e : C:\\dir\\Orvaq.exe 3333 1 1 1",
      "Nom de la r\xE8gle : off", "R\xE8gle d\xE9sactiv\xE9""e",
      "Nom de la r\xE8gle : other", "Application : C:\\x.exe", "Application diff\xE9rente",
      "Nom de la r\xE8gle : hit", "Application : C:\\dir\\Orvaq.exe", "R\xE8gle trouv\xE9""e",
  };
  EXPECT_EQ(expected, lines);
  EXPECT_TRUE(fw.RemoveBlockingRule(&kExe, 3333, true));
  EXPECT_EQ(std::vector<std::wstring>{L"hit"}, policy.removed);
}

TEST(KvFirewall, FailuresAnswerFalse) {
  ListPolicy policy;
  policy.fail = true;
  policy.rules = {Rule(L"C:\\dir\\Orvaq.exe", 6, L"*", 0)};
  KvFirewall fw(policy);
  EXPECT_FALSE(fw.IsFirewallOn());
  EXPECT_FALSE(fw.FindRule(&kExe, 3333, true, true));
  EXPECT_FALSE(fw.RemoveBlockingRule(&kExe, 3333, true));
  EXPECT_FALSE(fw.AddAllowRule(kExe, 3333, true));
  ListPolicy ok;
  KvFirewall on(ok);
  EXPECT_TRUE(on.IsFirewallOn());
}

}  // namespace
