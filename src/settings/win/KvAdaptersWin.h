// IPv4 adapter enumeration with GetAdaptersAddresses, and the combo-box list.
#pragma once

#include <windows.h>

#include "settings/KvAdapters.h"

class KvAdaptersWin : public KvAdapterSource {
 public:
  bool EnumerateAdapters(std::vector<KvAdapter>& adapters) override;
};

// Empties `combo` and adds one entry per usable adapter: its description as text, its
// interface index as item data.
void FillAdapterCombo(HWND combo);
