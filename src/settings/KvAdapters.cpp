// Usable-adapter filter and adapter details (see KvAdapters.h).
#include "settings/KvAdapters.h"

#include <cwchar>

#include "common/text.h"

std::vector<KvAdapter> UsableAdapters(const std::vector<KvAdapter>& all) {
  std::vector<KvAdapter> usable;
  for (const KvAdapter& a : all)
    if (a.operStatus == 1 && a.interfaceType == 6) usable.push_back(a);
  return usable;
}

bool GetAdapterDetails(const std::vector<KvAdapter>& all, const std::wstring& description,
                       std::wstring& hardwareAddress, std::wstring& addresses) {
  hardwareAddress.clear();
  addresses.clear();
  for (const KvAdapter& a : UsableAdapters(all)) {
    if (!orvaq::EqualsNoCase(a.description, description)) continue;
    for (size_t i = 0; i < a.hardwareAddress.size(); ++i) {
      wchar_t part[8];
      std::swprintf(part, 8, i == 0 ? L"%02X" : L":%02X", a.hardwareAddress[i]);
      hardwareAddress += part;
    }
    for (size_t i = 0; i < a.ipv4Addresses.size(); ++i) {
      if (i) addresses += L"\n";
      addresses += a.ipv4Addresses[i];
    }
    return true;
  }
  return false;
}

std::wstring ChooseLocalAddress(const std::vector<KvAdapter>& all, const std::wstring& adapterName,
                                const std::wstring& preferred) {
  for (const KvAdapter& a : UsableAdapters(all)) {
    if (a.description != adapterName) continue;
    if (a.ipv4Addresses.empty()) return std::wstring();
    if (a.ipv4Addresses.size() > 1 && !preferred.empty()) return preferred;
    return a.ipv4Addresses.front();
  }
  return std::wstring();
}
