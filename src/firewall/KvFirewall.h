// KvFirewall: finds, removes and adds the Windows firewall rules that let the scanner's
// status frames (UDP 48322) and image connections (TCP 3333) reach the program. The
// rule logic is here; the COM objects sit behind IFirewallPolicy (win/).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/KvTextFormat.h"

struct KvFirewallRule {
  std::wstring name, description, applicationName, localPorts, grouping;
  bool hasApplicationName = false;
  long protocol = 0;   // 6 TCP, 17 UDP
  long direction = 0;  // 1 inbound
  long action = 0;     // 0 block, 1 allow
  bool enabled = false;
  long profiles = 0;
};

// The firewall policy. Each call answers false when the platform call failed (its
// outputs then mean nothing).
class IFirewallPolicy {
 public:
  virtual ~IFirewallPolicy() = default;
  virtual bool GetFirewallEnabled(long profileType, bool& enabled) = 0;
  virtual bool GetCurrentProfileTypes(long& profileTypes) = 0;
  virtual bool GetRules(std::vector<KvFirewallRule>& rules) = 0;
  virtual bool RemoveRule(const std::wstring& name) = 0;
  virtual bool AddRule(const KvFirewallRule& rule) = 0;
};

constexpr long kFwProfileDomain = 1, kFwProfilePrivate = 2, kFwProfilePublic = 4;
constexpr long kImagePort = 3333, kStatusPort = 48322;

enum class KvRuleMismatch { kNone, kDisabled, kApplication, kProtocol, kPort, kDirection, kAction };

// The rule tests, in their order; the first failed one is returned.
KvRuleMismatch MatchRule(const KvFirewallRule& rule, const std::wstring* programPath, long port,
                         bool blocking, bool tcp);
// Application paths: equal ignoring case, or, when exactly one is a UNC path, both
// stripped of their root and lower-cased, one containing the other.
bool ApplicationPathsMatch(const std::wstring& rulePath, const std::wstring& programPath);
// "*", a comma-separated list of numbers, or any text whose leading number is the port.
bool LocalPortsMatch(const std::wstring& localPorts, long port);
// Active profiles without Public, unless Public is the only active one.
long ProfilesForNewRule(long activeProfiles);

class KvFirewall {
 public:
  explicit KvFirewall(IFirewallPolicy& policy) : m_Policy(policy) {}
  // Enabled for the Private and the Domain profile.
  bool IsFirewallOn();
  // An enabled rule for this program (null: any program), port and protocol, blocking
  // or allowing; logs each rule it looks at.
  bool FindRule(const std::wstring* programPath, long port, bool blocking, bool tcp);
  bool AddAllowRule(const std::wstring& programPath, long port, bool tcp);
  // Removes the first matching blocking rule; false when none was found or removed.
  bool RemoveBlockingRule(const std::wstring* programPath, long port, bool tcp);

 private:
  IFirewallPolicy& m_Policy;
};

// How the start-up check of both ports ended: nothing to do, changes made and reported
// (the pre-flight runs again), a failure answered with Retry or with Cancel.
enum class KvFirewallOutcome { kSilent, kReported, kRetry, kCancel };

// The start-up check. `texts` formats a text id; `box` shows a message box and returns
// its answer.
KvFirewallOutcome RunFirewallStartupCheck(KvFirewall& firewall, const std::wstring& programPath,
                            const std::function<std::wstring(int, const std::vector<CKvTextArg>&)>& texts,
                            const std::function<int(const std::wstring&, const std::wstring&, unsigned)>& box);
