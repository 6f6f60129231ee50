// The network adapters offered for the settings AdapterName and AdapterIPAddress: the
// platform lists them (win/KvAdaptersWin), the core keeps the usable ones and builds
// the details shown for one of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct KvAdapter {
  std::wstring description;
  uint32_t interfaceIndex = 0;
  int operStatus = 0;  // 1: up
  uint32_t interfaceType = 0;  // 6: Ethernet
  std::vector<uint8_t> hardwareAddress;
  std::vector<std::wstring> ipv4Addresses;  // dotted form
};

// Adapters that are up and of Ethernet type, in their order.
std::vector<KvAdapter> UsableAdapters(const std::vector<KvAdapter>& all);

// Details of the first usable adapter whose description equals `description` (case
// ignored): hardware address "AA:BB:..." and addresses joined by "\n". False if none.
bool GetAdapterDetails(const std::vector<KvAdapter>& all, const std::wstring& description,
                       std::wstring& hardwareAddress, std::wstring& addresses);

// The local address for the listeners: the addresses of the adapter named
// `adapterName`; with several, `preferred` when set, else the first. "" when none.
std::wstring ChooseLocalAddress(const std::vector<KvAdapter>& all, const std::wstring& adapterName,
                                const std::wstring& preferred);

class KvAdapterSource {
 public:
  virtual ~KvAdapterSource() = default;
  // Every IPv4 adapter of the machine; false when the system call failed.
  virtual bool EnumerateAdapters(std::vector<KvAdapter>& adapters) = 0;
};
