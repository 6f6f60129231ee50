// Fills the placeholders of a text from the text-resource file. The texts come from a
// file beside the program, so they are never used as a printf format: each %s, %ls,
// %d, %i, %u, %x, %X (flags and widths allowed) takes the next argument as text, a
// missing argument gives "", and "%%" is one percent sign.
#pragma once

#include <string>
#include <vector>

class CKvTextArg {
 public:
  CKvTextArg(const std::wstring& text) : m_sText(text) {}
  CKvTextArg(const wchar_t* text) : m_sText(text ? text : L"") {}
  CKvTextArg(int value) : m_sText(std::to_wstring(value)) {}
  CKvTextArg(long long value) : m_sText(std::to_wstring(value)) {}
  CKvTextArg(unsigned value) : m_sText(std::to_wstring(value)) {}
  const std::wstring& Text() const { return m_sText; }

 private:
  std::wstring m_sText;
};

std::wstring FormatText(const std::wstring& format, const std::vector<CKvTextArg>& args);
