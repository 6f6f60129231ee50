// Adapter enumeration: a 15 000-byte buffer first, the size asked for after
// ERROR_BUFFER_OVERFLOW, at most three calls in all.
#include "settings/win/KvAdaptersWin.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstdio>
#include <vector>

bool CKvAdaptersWin::EnumerateAdapters(std::vector<KvAdapter>& adapters) {
  adapters.clear();
  ULONG size = 15000;
  std::vector<unsigned char> buffer;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.assign(size, 0);
    result = GetAdaptersAddresses(AF_INET, 0, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (result == ERROR_NO_DATA) return true;
  if (result != NO_ERROR) return false;
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
    KvAdapter adapter;
    adapter.description = a->Description ? a->Description : L"";
    adapter.interfaceIndex = a->IfIndex;
    adapter.operStatus = static_cast<int>(a->OperStatus);
    adapter.interfaceType = a->IfType;
    // The length comes from the driver; never read past the fixed-size array.
    const ULONG length = a->PhysicalAddressLength <= MAX_ADAPTER_ADDRESS_LENGTH
                             ? a->PhysicalAddressLength : MAX_ADAPTER_ADDRESS_LENGTH;
    adapter.hardwareAddress.assign(a->PhysicalAddress, a->PhysicalAddress + length);
    for (auto* u = a->FirstUnicastAddress; u; u = u->Next) {
      const sockaddr* sa = u->Address.lpSockaddr;
      if (!sa || sa->sa_family != AF_INET) continue;
      const auto* in = reinterpret_cast<const sockaddr_in*>(sa);
      const unsigned char* b = reinterpret_cast<const unsigned char*>(&in->sin_addr);
      wchar_t text[20];
      swprintf(text, 20, L"%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
      adapter.ipv4Addresses.push_back(text);
    }
    adapters.push_back(adapter);
  }
  return true;
}
