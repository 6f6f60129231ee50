// The network adapter named by the settings AdapterName and AdapterIPAddress: the
// platform lists the adapters (win/KvAdaptersWin), the core decides which one is meant
// and which addresses and hardware address it gives. The start-up's network pre-flight
// and the acquisition's host (CAcquisitionHostWin) both go through LookupAdapter, so
// the trial listeners and the real one take the same adapter.
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

class IKvAdapterSource {
 public:
  virtual ~IKvAdapterSource() = default;
  // Every IPv4 adapter of the machine; false when the system call failed.
  virtual bool EnumerateAdapters(std::vector<KvAdapter>& adapters) = 0;
};

// Adapters that are up and of Ethernet type, in their order.
std::vector<KvAdapter> UsableAdapters(const std::vector<KvAdapter>& all);

// The adapter `adapterName` designates: the first usable one whose description equals
// it without regard to case, as the settings store compares names. Gives its addresses
// joined by "\n" and its hardware address "AA:BB:...". False (both empty) when none.
bool LookupAdapter(const std::vector<KvAdapter>& all, const std::wstring& adapterName,
                   std::wstring& addresses, std::wstring& mac);
// The same over the machine's adapters; false also when they cannot be listed.
bool LookupAdapter(IKvAdapterSource& source, const std::wstring& adapterName,
                   std::wstring& addresses, std::wstring& mac);

// The local address for the listeners out of LookupAdapter's `addresses`: with several,
// `preferred` (AdapterIPAddress) when set, else the first; otherwise the only one, or "".
std::wstring ChooseLocalAddress(const std::wstring& addresses, const std::wstring& preferred);
