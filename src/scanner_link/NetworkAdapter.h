// The choice of the local network adapter for the scanner link: which adapter is taken
// for a configured description, and the local IP and MAC texts it gives. The adapter
// list itself comes from IP Helper (win/LookupAdapter).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kIfTypeEthernet = 6;  // IF_TYPE_ETHERNET_CSMACD

struct NetworkAdapter {
  std::wstring description;
  bool operUp = false;
  uint32_t ifType = 0;
  std::vector<uint8_t> physicalAddress;
  std::vector<uint32_t> ipv4;  // unicast addresses, first octet in the high byte
};

// Takes the first adapter that is up, Ethernet and described exactly as `description`.
// localMAC: "%02X" then ":%02X" per byte. localIP: its IPv4 addresses joined by "\n";
// with several, `adapterIPAddressSetting` (AdapterIPAddress) replaces the list when it is
// set, otherwise the first one is used. Returns false (both texts empty) when none fits.
bool ChooseAdapter(const std::vector<NetworkAdapter>& adapters, const std::wstring& description,
                   const std::wstring& adapterIPAddressSetting, std::wstring& localIP,
                   std::wstring& localMAC);
