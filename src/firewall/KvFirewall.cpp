// Firewall rule logic (see KvFirewall.h).
#include "firewall/KvFirewall.h"

#include "common/Text.h"
#include "logging/KvLogger.h"
#include "settings/KvPaths.h"
#include "settings/KvSystem.h"

namespace {

bool IsUnc(const std::wstring& path) {
  return path.size() >= 2 && (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/');
}

// "\\server\share\rest" -> "\rest"; "C:\rest" -> "\rest".
std::wstring StripRoot(const std::wstring& path) {
  if (IsUnc(path)) {
    size_t server = path.find_first_of(L"\\/", 2);
    if (server == std::wstring::npos) return std::wstring();
    size_t share = path.find_first_of(L"\\/", server + 1);
    if (share == std::wstring::npos) return std::wstring();
    return path.substr(share);
  }
  if (path.size() >= 2 && path[1] == L':') return path.substr(2);
  return path;
}

std::wstring LowerText(const std::wstring& text) { return orvaq::AsciiLower(text); }

long LeadingNumber(const std::wstring& text, bool& any) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  long long value = 0;
  any = false;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    any = true;
    if (value < 100000000) value = value * 10 + (text[i] - L'0');
  }
  return static_cast<long>(value);
}

// Retry runs the pre-flight again; Cancel (or a box that could not be shown) ends it.
KvFirewallOutcome Answered(int answer) {
  return answer == orvaq::mb::kIdRetry ? KvFirewallOutcome::kRetry : KvFirewallOutcome::kCancel;
}

const wchar_t* MismatchText(KvRuleMismatch m) {
  switch (m) {
    case KvRuleMismatch::kDisabled: return L"R\xE8gle d\xE9sactiv\xE9""e";
    case KvRuleMismatch::kApplication: return L"Application diff\xE9rente";
    case KvRuleMismatch::kProtocol: return L"Protocole diff\xE9rent";
    case KvRuleMismatch::kPort: return L"Port diff\xE9rent";
    case KvRuleMismatch::kDirection: return L"Direction diff\xE9rente";
    case KvRuleMismatch::kAction: return L"Action diff\xE9rente";
    default: return L"";
  }
}

}  // namespace

bool ApplicationPathsMatch(const std::wstring& rulePath, const std::wstring& programPath) {
  if (IsUnc(rulePath) != IsUnc(programPath)) {
    const std::wstring a = LowerText(StripRoot(rulePath));
    const std::wstring b = LowerText(StripRoot(programPath));
    // An empty remainder (a bare share) would be inside every path: it matches nothing.
    if (a.empty() || b.empty()) return false;
    return a.find(b) != std::wstring::npos || b.find(a) != std::wstring::npos;
  }
  return orvaq::EqualsNoCase(rulePath, programPath);
}

bool LocalPortsMatch(const std::wstring& localPorts, long port) {
  if (localPorts == L"*") return true;
  bool any = false;
  if (localPorts.find(L',') != std::wstring::npos) {
    size_t start = 0;
    for (;;) {
      const size_t comma = localPorts.find(L',', start);
      const std::wstring item = localPorts.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
      if (LeadingNumber(item, any) == port && any) return true;
      if (comma == std::wstring::npos) return false;
      start = comma + 1;
    }
  }
  return LeadingNumber(localPorts, any) == port && any;
}

long ProfilesForNewRule(long active) {
  if (active == kFwProfilePublic) return active;
  return active & ~kFwProfilePublic;
}

KvRuleMismatch MatchRule(const KvFirewallRule& rule, const std::wstring* programPath, long port,
                         bool blocking, bool tcp) {
  if (!rule.enabled) return KvRuleMismatch::kDisabled;
  if (programPath && (!rule.hasApplicationName || !ApplicationPathsMatch(rule.applicationName, *programPath)))
    return KvRuleMismatch::kApplication;
  if (rule.protocol != (tcp ? 6 : 17)) return KvRuleMismatch::kProtocol;
  if (!LocalPortsMatch(rule.localPorts, port)) return KvRuleMismatch::kPort;
  if (rule.direction != 1) return KvRuleMismatch::kDirection;
  if (rule.action != (blocking ? 0 : 1)) return KvRuleMismatch::kAction;
  return KvRuleMismatch::kNone;
}

bool KvFirewall::IsFirewallOn() {
  bool privateOn = false, domainOn = false;
  return m_Policy.GetFirewallEnabled(kFwProfilePrivate, privateOn) && privateOn &&
         m_Policy.GetFirewallEnabled(kFwProfileDomain, domainOn) && domainOn;
}

bool KvFirewall::FindRule(const std::wstring* programPath, long port, bool blocking, bool tcp) {
  LogPrintf(L"R\xE8gle recherch\xE9""e : %ls %d %d %d %d", programPath ? programPath->c_str() : L"",
            static_cast<int>(port), blocking ? 1 : 0, tcp ? 1 : 0, 1);
  std::vector<KvFirewallRule> rules;
  if (!m_Policy.GetRules(rules)) return false;
  for (const KvFirewallRule& rule : rules) {
    LogPrintf(L"Nom de la r\xE8gle : %ls", rule.name.c_str());
    if (rule.enabled && programPath && rule.hasApplicationName)
      LogPrintf(L"Application : %ls", rule.applicationName.c_str());
    const KvRuleMismatch m = MatchRule(rule, programPath, port, blocking, tcp);
    if (m == KvRuleMismatch::kNone) {
      LogLine("R\xE8gle trouv\xE9""e");
      return true;
    }
    LogPrintf(L"%ls", MismatchText(m));
  }
  return false;
}

bool KvFirewall::AddAllowRule(const std::wstring& programPath, long port, bool tcp) {
  long active = 0;
  if (!m_Policy.GetCurrentProfileTypes(active)) return false;
  const std::wstring fileName = orvaq::paths::FileName(programPath);
  KvFirewallRule rule;
  rule.name = fileName + L"_" + std::to_wstring(port);
  rule.description = L"Allow network traffic from " + fileName + L" over UDP port " + std::to_wstring(port);
  rule.applicationName = programPath;
  rule.hasApplicationName = true;
  rule.protocol = tcp ? 6 : 17;
  rule.localPorts = std::to_wstring(port);
  rule.direction = 1;
  rule.grouping = L"TORVEL Rule Group";
  rule.profiles = ProfilesForNewRule(active);
  rule.action = 1;
  rule.enabled = true;
  return m_Policy.AddRule(rule);
}

bool KvFirewall::RemoveBlockingRule(const std::wstring* programPath, long port, bool tcp) {
  std::vector<KvFirewallRule> rules;
  if (!m_Policy.GetRules(rules)) return false;
  for (const KvFirewallRule& rule : rules)
    if (MatchRule(rule, programPath, port, true, tcp) == KvRuleMismatch::kNone)
      return m_Policy.RemoveRule(rule.name);
  return false;
}

KvFirewallOutcome RunFirewallStartupCheck(KvFirewall& firewall, const std::wstring& programPath,
                            const std::function<std::wstring(int, const std::vector<CKvTextArg>&)>& texts,
                            const std::function<int(const std::wstring&, const std::wstring&, unsigned)>& box) {
  // A policy that accepts a change and then does not show it (group policy, a partial
  // implementation) must not keep the start-up in a loop: each port gets a bounded
  // number of removals and a single addition per pass.
  constexpr int kMaxRemovals = 32;
  std::wstring report;
  const std::wstring caption = texts(1000, {});
  struct Check { long port; bool tcp; const wchar_t* protocol; };
  const Check checks[] = {{kImagePort, true, L"TCP"}, {kStatusPort, false, L"UDP"}};
  for (const Check& c : checks) {
    for (int n = 0; n < kMaxRemovals && firewall.FindRule(&programPath, c.port, true, c.tcp); ++n) {
      if (!firewall.RemoveBlockingRule(&programPath, c.port, c.tcp))
        return Answered(box(texts(619, {c.protocol, static_cast<int>(c.port)}), caption,
                            orvaq::mb::kRetryCancel | orvaq::mb::kIconError));
      if (!report.empty()) report += L"\r\n";
      report += texts(620, {c.protocol, static_cast<int>(c.port)});
    }
    if (!firewall.FindRule(&programPath, c.port, false, c.tcp)) {
      if (!firewall.AddAllowRule(programPath, c.port, c.tcp))
        return Answered(box(texts(618, {c.protocol, static_cast<int>(c.port)}), caption,
                            orvaq::mb::kRetryCancel | orvaq::mb::kIconError));
      if (!report.empty()) report += L"\r\n";
      report += texts(621, {c.protocol, static_cast<int>(c.port)});
    }
  }
  if (report.empty()) return KvFirewallOutcome::kSilent;
  box(report, caption, orvaq::mb::kOk | orvaq::mb::kIconInformation);
  return KvFirewallOutcome::kReported;
}
