// An in-memory INI store with the rules the Windows profile functions follow
// (case-insensitive names, blanks and one pair of quotes stripped when reading,
// empty values read as "" but as the default for integers). Used by the host tests,
// and by the fuzz target of the INI text reader.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "settings/KvProfile.h"

class CKvMemoryProfile : public IKvProfile {
 public:
  std::wstring ReadString(const std::wstring& file, const std::wstring& section,
                          const std::wstring& key, const std::wstring& def,
                          size_t capacity) override;
  int ReadInt(const std::wstring& file, const std::wstring& section, const std::wstring& key,
              int def) override;
  bool WriteString(const std::wstring& file, const std::wstring& section,
                   const std::wstring& key, const std::wstring* value) override;
  void Flush() override { ++m_nFlushes; }

  // Replaces the content of `file` with INI text ("[section]" lines, "key=value" lines;
  // other lines are ignored).
  void LoadText(const std::wstring& file, const std::wstring& text);
  // The file as INI text, sections and keys in the order they were first written.
  std::wstring ToText(const std::wstring& file) const;
  bool HasKey(const std::wstring& file, const std::wstring& section, const std::wstring& key) const;
  // Makes every write fail, as when the settings folder could not be created.
  void SetReadOnly(bool readOnly) { m_bReadOnly = readOnly; }
  int FlushCount() const { return m_nFlushes; }

 private:
  struct Entry { std::wstring key, value; };
  struct Section { std::wstring name; std::vector<Entry> entries; };
  using File = std::vector<Section>;
  const Entry* Find(const std::wstring& file, const std::wstring& section,
                    const std::wstring& key) const;
  std::map<std::wstring, File> m_Files;  // by upper-cased file name
  bool m_bReadOnly = false;
  int m_nFlushes = 0;
};
