// The adapter lookup: which adapter AdapterName designates (case ignored, only Ethernet
// adapters that are up), the texts it gives, and the AdapterIPAddress choice.
#include <gtest/gtest.h>

#include "settings/KvAdapters.h"

namespace {

const std::vector<KvAdapter> kAdapters = {
    {L"Loopback", 1, 1, 24, {}, {L"127.0.0.1"}},
    {L"Intel Ethernet", 7, 2, 6, {0xAA}, {L"10.1.1.1"}},  // down
    {L"Intel Ethernet", 8, 1, 6, {0x00, 0x1b, 0x2C, 0xd4, 0x05, 0xFF}, {L"192.168.0.10", L"10.0.0.2"}},
    {L"Wireless", 9, 1, 71, {0x01}, {L"172.16.0.1"}},
    {L"eth1", 10, 1, 6, {0x02, 0x03}, {}},
};

TEST(Adapters, LookupByDescriptionIgnoringCase) {
  struct Row { const wchar_t* name; bool found; const wchar_t* addresses; const wchar_t* mac; };
  const Row rows[] = {
      {L"Intel Ethernet", true, L"192.168.0.10\n10.0.0.2", L"00:1B:2C:D4:05:FF"},
      {L"intel ETHERNET", true, L"192.168.0.10\n10.0.0.2", L"00:1B:2C:D4:05:FF"},
      {L"ETH1", true, L"", L"02:03"},
      {L"Intel Ethernet ", false, L"", L""},
      {L"Loopback", false, L"", L""},
      {L"Wireless", false, L"", L""},
      {L"", false, L"", L""},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    std::wstring addresses = L"old", mac = L"old";
    EXPECT_EQ(rows[i].found, LookupAdapter(kAdapters, rows[i].name, addresses, mac)) << "row " << i;
    EXPECT_EQ(rows[i].addresses, addresses) << "row " << i;
    EXPECT_EQ(rows[i].mac, mac) << "row " << i;
  }
  ASSERT_EQ(2u, UsableAdapters(kAdapters).size());
  EXPECT_EQ(8u, UsableAdapters(kAdapters)[0].interfaceIndex);
}

TEST(Adapters, LocalAddressOutOfTheAdapterAddresses) {
  struct Row { const wchar_t* addresses; const wchar_t* preferred; const wchar_t* expected; };
  const Row rows[] = {
      {L"192.168.0.10\n10.0.0.2", L"", L"192.168.0.10"},
      {L"192.168.0.10\n10.0.0.2", L"10.0.0.2", L"10.0.0.2"},
      {L"192.168.0.10", L"10.0.0.2", L"192.168.0.10"},  // one address: no choice
      {L"", L"10.0.0.2", L""},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    EXPECT_EQ(rows[i].expected, ChooseLocalAddress(rows[i].addresses, rows[i].preferred)) << "row " << i;
}

// A source that cannot list its adapters finds none.
class FailingSource : public IKvAdapterSource {
 public:
  bool EnumerateAdapters(std::vector<KvAdapter>& adapters) override {
    adapters = kAdapters;
    return false;
  }
};

TEST(Adapters, NothingWhenTheAdaptersCannotBeListed) {
  FailingSource source;
  std::wstring addresses = L"old", mac = L"old";
  EXPECT_FALSE(LookupAdapter(source, L"Intel Ethernet", addresses, mac));
  EXPECT_EQ(L"", addresses);
  EXPECT_EQ(L"", mac);
}

}  // namespace
