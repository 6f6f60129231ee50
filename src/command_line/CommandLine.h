// ParseCommandLine: Orvaq's command-line options, matched as lower-case substrings in a
// fixed order and written into CKvParameters (the scan-direction options go straight to
// the settings file). The two one-shot jobs are handed to IOneShotJobs.
#pragma once

#include <string>

#include "command_line/OneShotJobs.h"

class CKvParameters;

// Returns false only when the /image_in job ran (the program then ends).
bool ParseCommandLine(const std::wstring& line, CKvParameters& params, IOneShotJobs& jobs);

// The argument readers, exposed for the tests.
namespace orvaq {
namespace cmdline {
// Decimal integer after `start`: leading blanks skipped, optional sign, digits up to the
// first other character, 0 without digits; saturates instead of overflowing.
int ReadInt(const std::wstring& text, size_t start);
// Hexadecimal integer after `start` ("0x" accepted), saturating at 0xFFFFFFFF.
unsigned ReadHex(const std::wstring& text, size_t start);
// Text after `start`: spaces skipped; a quoted value up to the closing quote (none: ""),
// otherwise up to the next space or the end.
std::wstring ReadText(const std::wstring& text, size_t start);
}  // namespace cmdline
}  // namespace orvaq
