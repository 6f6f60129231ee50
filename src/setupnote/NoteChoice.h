// The two decisions of the installation note, kept free of Windows headers so they
// are unit-tested natively: which dialog template a thread locale gets, and the
// message font's size and weight derived from the default GUI font.
#pragma once

#include <cstdint>

namespace orvaq {
namespace setupnote {

constexpr int kTemplateEnglish = 103;
constexpr int kTemplateFrench = 129;
constexpr int kMessageControl = 1000;
constexpr int kIconResource = 107;
constexpr int kMessageWeight = 700;

// Only the primary language (low 10 bits of the language id) counts: French of
// France, Canada, Switzerland... all get the French note.
constexpr int TemplateForLocale(uint32_t lcid) {
  return ((lcid & 0xFFFF) & 0x3FF) == 0x0C ? kTemplateFrench : kTemplateEnglish;
}

// The message font is the GUI font's height times 3/2 (integer arithmetic, sign kept:
// a negative height is a character height in the font-description convention).
constexpr long MessageFontHeight(long guiFontHeight) { return guiFontHeight * 3 / 2; }

}  // namespace setupnote
}  // namespace orvaq
