// Usable-adapter filter and the adapter lookup (see KvAdapters.h).
#include "settings/KvAdapters.h"

#include <cwchar>

#include "common/Text.h"

std::vector<KvAdapter> UsableAdapters(const std::vector<KvAdapter>& all) {
  std::vector<KvAdapter> usable;
  for (const KvAdapter& a : all)
    if (a.operStatus == 1 && a.interfaceType == 6) usable.push_back(a);
  return usable;
}

bool LookupAdapter(const std::vector<KvAdapter>& all, const std::wstring& adapterName,
                   std::wstring& addresses, std::wstring& mac) {
  addresses.clear();
  mac.clear();
  for (const KvAdapter& a : UsableAdapters(all)) {
    if (!orvaq::EqualsNoCase(a.description, adapterName)) continue;
    for (size_t i = 0; i < a.hardwareAddress.size(); ++i) {
      wchar_t part[8];
      std::swprintf(part, 8, i == 0 ? L"%02X" : L":%02X", a.hardwareAddress[i]);
      mac += part;
    }
    for (size_t i = 0; i < a.ipv4Addresses.size(); ++i) {
      if (i) addresses += L"\n";
      addresses += a.ipv4Addresses[i];
    }
    return true;
  }
  return false;
}

bool LookupAdapter(IKvAdapterSource& source, const std::wstring& adapterName,
                   std::wstring& addresses, std::wstring& mac) {
  addresses.clear();
  mac.clear();
  std::vector<KvAdapter> all;
  if (!source.EnumerateAdapters(all)) return false;
  return LookupAdapter(all, adapterName, addresses, mac);
}

std::wstring ChooseLocalAddress(const std::wstring& addresses, const std::wstring& preferred) {
  const size_t newline = addresses.find(L'\n');
  if (newline == std::wstring::npos) return addresses;
  return preferred.empty() ? addresses.substr(0, newline) : preferred;
}
