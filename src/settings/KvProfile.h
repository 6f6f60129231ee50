// The settings store's access to INI files: a narrow interface over the Windows
// private-profile functions (win/KvProfileWin) with an in-memory twin for tests
// (CKvMemoryProfile). Values are always read from the file; nothing is cached here.
#pragma once

#include <cstddef>
#include <string>

class IKvProfile {
 public:
  virtual ~IKvProfile() = default;
  // GetPrivateProfileStringW: the value of `key` (or `def` when absent), cut to
  // `capacity` - 1 characters like the Windows call does with a small buffer.
  virtual std::wstring ReadString(const std::wstring& file, const std::wstring& section,
                                  const std::wstring& key, const std::wstring& def,
                                  size_t capacity) = 0;
  // GetPrivateProfileIntW: `def` when the key is absent or empty, otherwise the value's
  // leading number by the Windows rules (see ParseProfileInt).
  virtual int ReadInt(const std::wstring& file, const std::wstring& section,
                      const std::wstring& key, int def) = 0;
  // WritePrivateProfileStringW; a null value deletes the key. False when it failed.
  virtual bool WriteString(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key, const std::wstring* value) = 0;
  // The write with all arguments null: flushes the profile cache so another process
  // sees what was written.
  virtual void Flush() = 0;
};

// Reads a whole value: the buffer starts at 256 characters and grows by 128 while a
// read fills it completely, so values of any length come back whole.
std::wstring ReadProfileString(IKvProfile& profile, const std::wstring& file,
                               const std::wstring& section, const std::wstring& key,
                               const std::wstring& def);

// Integer text as GetPrivateProfileIntW reads it: optional sign, "0x" hexadecimal or
// decimal digits up to the first other character, accumulated modulo 2^32 ("4294967295"
// reads -1); text without leading digits reads 0; empty text reads `def`.
int ParseProfileInt(const std::wstring& text, int def);
