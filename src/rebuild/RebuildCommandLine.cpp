// OrvaqRbld2's command line (see RebuildCommandLine.h).
#include "rebuild/RebuildCommandLine.h"

#include <climits>

#include "common/Text.h"

namespace orvaq {
namespace rebuild {

namespace {

bool Is(const std::wstring& argument, const wchar_t* name) { return EqualsNoCase(argument, name); }

// True when `argument` starts with `prefix` (compared without regard to case); `rest`
// then holds what follows it.
bool Starts(const std::wstring& argument, const std::wstring& prefix, std::wstring& rest) {
  if (argument.size() < prefix.size() || !EqualsNoCase(argument.substr(0, prefix.size()), prefix)) return false;
  rest = argument.substr(prefix.size());
  return true;
}

}  // namespace

int LeadingInteger(const std::wstring& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > (long long)INT_MAX + 1) value = (long long)INT_MAX + 1;  // no overflow on long digit runs
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return int(value);
}

RebuildOptions ParseRebuildArguments(const std::vector<std::wstring>& arguments) {
  RebuildOptions o;
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::wstring& a = arguments[i];
    std::wstring rest;
    if (Is(a, L"/rb")) o.mode = RebuildMode::Rebuild;
    else if (Is(a, L"/ft")) o.mode = RebuildMode::NoWork;
    else if (Is(a, L"/rf")) o.mode = RebuildMode::RebuildAndFilter;
    else if (Is(a, L"/PW")) o.preview = true;
    else if (Is(a, L"/I1")) o.storeIntermediateImages = true;
    else if (Is(a, L"/P1")) o.ignoreMire = true;
    else if (Starts(a, L"/D:", rest)) o.depthChoice = LeadingInteger(rest);
    else if (Starts(a, L"/F:", rest)) o.filterLevel = LeadingInteger(rest);
    else if (Starts(a, L"/L:", rest)) o.luminosity = LeadingInteger(rest);
    else if (Starts(a, L"/C:", rest)) o.contrast = LeadingInteger(rest);
    else if (Starts(a, L"/G:", rest)) o.gamma = LeadingInteger(rest);
    else if (Starts(a, L"/N:", rest)) {
      // An empty "/N:" names no file: the run ends as without the switch.
      o.infoPath = rest;
      o.hasInfoPath = !rest.empty();
    } else if (Starts(a, L"/Tx:", rest)) o.thumbX = LeadingInteger(rest);
    else if (Starts(a, L"/Ty:", rest)) o.thumbY = LeadingInteger(rest);
  }
  return o;
}

std::wstring FormatArgumentList(const std::vector<std::wstring>& arguments, size_t capacity) {
  std::wstring text = L"Command line list :\r\n";
  if (capacity == 0) return std::wstring();
  if (text.size() + 1 > capacity) return text.substr(0, capacity - 1);
  for (const std::wstring& a : arguments) {
    if (text.size() + a.size() + 2 + 1 > capacity) break;
    text += a;
    text += L"\r\n";
  }
  return text;
}

}  // namespace rebuild
}  // namespace orvaq
