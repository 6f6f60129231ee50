// Template choice by thread locale and the message font size of the installation note.
#include <gtest/gtest.h>

#include "setupnote/NoteChoice.h"

TEST(SetupNote, TemplateFollowsPrimaryLanguageOnly) {
  struct Row { uint32_t lcid; int tmpl; };
  const Row rows[] = {
      {0x040C, 129},  // French (France)
      {0x0C0C, 129},  // French (Canada)
      {0x100C, 129},  // French (Switzerland)
      {0x080C, 129},  // French (Belgium)
      {0x0409, 103},  // English (US)
      {0x0407, 103},  // German
      {0x0410, 103},  // Italian
      {0x0000, 103},
      {0x0800040C, 129},  // sort id in the high bits does not matter
      {0x040B, 103},      // Finnish: 0x0B, one off French
      {0x0C0D, 103},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(orvaq::setupnote::TemplateForLocale(rows[i].lcid), rows[i].tmpl) << "row " << i << " lcid " << std::hex << rows[i].lcid;
}

TEST(SetupNote, MessageFontIsThreeHalvesInIntegers) {
  EXPECT_EQ(orvaq::setupnote::MessageFontHeight(-11), -16);
  EXPECT_EQ(orvaq::setupnote::MessageFontHeight(-13), -19);
  EXPECT_EQ(orvaq::setupnote::MessageFontHeight(16), 24);
  EXPECT_EQ(orvaq::setupnote::MessageFontHeight(0), 0);
}
