// Adapter choice and the local IP and MAC texts (see NetworkAdapter.h).
#include "scanner_link/NetworkAdapter.h"

#include <cstdio>

#include "common/text.h"
#include "scanner_link/SNDPFrame.h"

bool ChooseAdapter(const std::vector<NetworkAdapter>& adapters, const std::wstring& description,
                   const std::wstring& adapterIPAddressSetting, std::wstring& localIP,
                   std::wstring& localMAC) {
  localIP.clear();
  localMAC.clear();
  for (const NetworkAdapter& a : adapters) {
    if (!a.operUp || a.ifType != kIfTypeEthernet || a.description != description) continue;
    std::string mac;
    for (size_t i = 0; i < a.physicalAddress.size(); ++i) {
      char part[8];
      std::snprintf(part, sizeof part, i == 0 ? "%02X" : ":%02X", a.physicalAddress[i]);
      mac += part;
    }
    localMAC = orvaq::FromLatin1(mac);
    for (size_t i = 0; i < a.ipv4.size(); ++i) {
      if (i) localIP += L"\n";
      localIP += FormatIPv4(a.ipv4[i]);
    }
    const size_t newline = localIP.find(L'\n');
    if (newline != std::wstring::npos) {
      if (!adapterIPAddressSetting.empty()) localIP = adapterIPAddressSetting;
      else localIP.resize(newline);
    }
    return true;
  }
  return false;
}
