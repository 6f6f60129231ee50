// IPv4 adapter enumeration with GetAdaptersAddresses, the one place the program lists
// the machine's adapters (LookupAdapter in the core chooses among them).
#pragma once

#include "settings/KvAdapters.h"

class CKvAdaptersWin : public IKvAdapterSource {
 public:
  bool EnumerateAdapters(std::vector<KvAdapter>& adapters) override;
};
