// The profile interface over the Windows private-profile functions.
#pragma once

#include "settings/KvProfile.h"

class CKvProfileWin : public IKvProfile {
 public:
  std::wstring ReadString(const std::wstring& file, const std::wstring& section,
                          const std::wstring& key, const std::wstring& def,
                          size_t capacity) override;
  int ReadInt(const std::wstring& file, const std::wstring& section, const std::wstring& key,
              int def) override;
  bool WriteString(const std::wstring& file, const std::wstring& section,
                   const std::wstring& key, const std::wstring* value) override;
  void Flush() override;
};
