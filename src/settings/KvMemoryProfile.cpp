// In-memory INI store following the Windows profile rules (see CKvMemoryProfile.h).
#include "settings/KvMemoryProfile.h"

#include "common/Text.h"

namespace {

std::wstring Trim(const std::wstring& text) {
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == L' ' || text[b] == L'\t' || text[b] == L'\r')) ++b;
  while (e > b && (text[e - 1] == L' ' || text[e - 1] == L'\t' || text[e - 1] == L'\r')) --e;
  return text.substr(b, e - b);
}

// Reading strips the blanks and then one pair of matching quotes around a value.
std::wstring ReadableValue(const std::wstring& stored) {
  std::wstring value = Trim(stored);
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

const CKvMemoryProfile::Entry* CKvMemoryProfile::Find(const std::wstring& file,
                                                    const std::wstring& section,
                                                    const std::wstring& key) const {
  auto f = m_Files.find(orvaq::AsciiUpper(file));
  if (f == m_Files.end()) return nullptr;
  for (const Section& s : f->second) {
    if (!orvaq::EqualsNoCase(s.name, section)) continue;
    for (const Entry& e : s.entries)
      if (orvaq::EqualsNoCase(e.key, key)) return &e;
  }
  return nullptr;
}

bool CKvMemoryProfile::HasKey(const std::wstring& file, const std::wstring& section,
                             const std::wstring& key) const {
  return Find(file, section, key) != nullptr;
}

std::wstring CKvMemoryProfile::ReadString(const std::wstring& file, const std::wstring& section,
                                         const std::wstring& key, const std::wstring& def,
                                         size_t capacity) {
  if (capacity == 0) return std::wstring();
  const Entry* e = Find(file, section, key);
  std::wstring value = e ? ReadableValue(e->value) : def;
  if (value.size() > capacity - 1) value.resize(capacity - 1);
  return value;
}

int CKvMemoryProfile::ReadInt(const std::wstring& file, const std::wstring& section,
                             const std::wstring& key, int def) {
  const Entry* e = Find(file, section, key);
  if (!e) return def;
  return ParseProfileInt(ReadableValue(e->value), def);
}

bool CKvMemoryProfile::WriteString(const std::wstring& file, const std::wstring& section,
                                  const std::wstring& key, const std::wstring* value) {
  if (m_bReadOnly) return false;
  File& f = m_Files[orvaq::AsciiUpper(file)];
  Section* target = nullptr;
  for (Section& s : f)
    if (orvaq::EqualsNoCase(s.name, section)) { target = &s; break; }
  if (!value) {
    if (target)
      for (size_t i = 0; i < target->entries.size(); ++i)
        if (orvaq::EqualsNoCase(target->entries[i].key, key)) {
          target->entries.erase(target->entries.begin() + static_cast<std::ptrdiff_t>(i));
          break;
        }
    return true;
  }
  if (!target) {
    f.push_back(Section{section, {}});
    target = &f.back();
  }
  for (Entry& e : target->entries)
    if (orvaq::EqualsNoCase(e.key, key)) { e.value = *value; return true; }
  target->entries.push_back(Entry{key, *value});
  return true;
}

void CKvMemoryProfile::LoadText(const std::wstring& file, const std::wstring& text) {
  File& f = m_Files[orvaq::AsciiUpper(file)];
  f.clear();
  Section* current = nullptr;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(L'\n', pos);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;
    if (line[0] == L'[') {
      size_t close = line.find(L']');
      const std::wstring name = Trim(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
      current = nullptr;
      for (Section& s : f)
        if (orvaq::EqualsNoCase(s.name, name)) current = &s;
      if (!current) {
        f.push_back(Section{name, {}});
        current = &f.back();
      }
      continue;
    }
    const size_t eq = line.find(L'=');
    if (eq == std::wstring::npos || !current) continue;
    const std::wstring key = Trim(line.substr(0, eq));
    bool seen = false;  // the first of two equal keys is the one the API finds
    for (const Entry& e : current->entries)
      if (orvaq::EqualsNoCase(e.key, key)) seen = true;
    if (!seen) current->entries.push_back(Entry{key, line.substr(eq + 1)});
  }
}

std::wstring CKvMemoryProfile::ToText(const std::wstring& file) const {
  std::wstring out;
  auto f = m_Files.find(orvaq::AsciiUpper(file));
  if (f == m_Files.end()) return out;
  for (const Section& s : f->second) {
    out += L"[" + s.name + L"]\r\n";
    for (const Entry& e : s.entries) out += e.key + L"=" + e.value + L"\r\n";
  }
  return out;
}
