// Network pre-flight (see NetworkPreflight.h).
#include "app/NetworkPreflight.h"

#include "settings/KvParameters.h"

bool NetworkPreflight(CKvParameters& params, INetworkPreflightHost& host) {
  // A report means "changed something, look again"; a policy that never shows its new
  // rules would otherwise repeat the report for ever, so reports restart the pre-flight
  // a few times only. Retry answered by the user is not limited.
  constexpr int kMaxReportPasses = 3;
  int reportPasses = 0;
  for (;;) {
    // The adapter and address the scanner link's status listener will take.
    std::wstring addresses, mac;
    LookupAdapter(host.Adapters(), params.GetAdapterName(), addresses, mac);
    const std::wstring address = ChooseLocalAddress(addresses, params.GetAdapterIPAddress());
    host.TrialListeners().TryStatusListener(address);
    host.TrialListeners().TryImageListener(address, kImagePort);

    KvFirewallOutcome outcome = KvFirewallOutcome::kSilent;
    {
      std::unique_ptr<IFirewallPolicy> policy = host.OpenFirewallPolicy();
      if (policy) {
        KvFirewall firewall(*policy);
        if (host.IsWorkstationVistaOrLater() && firewall.IsFirewallOn()) {
          outcome = RunFirewallStartupCheck(
              firewall, params.GetProgramPath(),
              [&params](int id, const std::vector<CKvTextArg>& args) {
                return id == 1000 ? params.GetProgramTitle() : params.FormatTextId(id, args);
              },
              [&host](const std::wstring& text, const std::wstring& caption, unsigned style) {
                return host.ShowMessageBox(text, caption, style);
              });
        }
      }
    }  // firewall objects released, COM uninitialised
    if (outcome == KvFirewallOutcome::kCancel) return false;
    if (outcome == KvFirewallOutcome::kSilent) return true;
    if (outcome == KvFirewallOutcome::kReported && ++reportPasses >= kMaxReportPasses) return true;
  }
}
