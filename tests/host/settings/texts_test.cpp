// Text lookup: language sections, the English fallback, escapes, the language default.
#include <gtest/gtest.h>

#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "tests/host/settings/fake_system.h"

namespace {

const wchar_t kTxt[] = L"C:\\Program Files\\Orvaq\\Orvaq.TXT";

TEST(Texts, LanguageSectionThenEnglish) {
  FakeSystem sys;
  CKvMemoryProfile profile;
  profile.LoadText(kTxt, L"[409]\n1=one\n2=two\n3=three\n[40C]\n1=un\n2=\n[407]\n1=eins\n");
  CKvParameters p(profile, sys);
  struct Row { const wchar_t* language; int id; const wchar_t* expected; };
  const Row rows[] = {
      {L"40C", 1, L"un"}, {L"40C", 2, L"two"}, {L"40C", 3, L"three"}, {L"40C", 4, L""},
      {L"407", 1, L"eins"}, {L"407", 3, L"three"}, {L"409", 1, L"one"}, {L"411", 2, L"two"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    p.SetLanguage(rows[i].language);
    EXPECT_EQ(rows[i].expected, p.GetText(rows[i].id)) << "row " << i;
  }
}

TEST(Texts, EscapeSequences) {
  struct Row { const wchar_t* stored; const wchar_t* expected; };
  const Row rows[] = {
      {L"a\\nb", L"a\nb"},
      {L"a\\\\nb", L"a\\\nb"},          // backslash, backslash, n
      {L"x\\\\\\\\y", L"x\\y"},         // four backslashes
      {L"\\r\\t\\n", L"\r\t\n"},
      {L"tab\\", L"tab\\"},
      {L"\\\\t", L"\\\t"},
      {L"plain", L"plain"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    EXPECT_EQ(rows[i].expected, UnescapeResourceText(rows[i].stored)) << "row " << i;
}

TEST(Texts, LanguageDefaultFromTheThreadLocale) {
  struct Row { uint16_t id; const wchar_t* expected; };
  const Row rows[] = {
      {0x40C, L"40C"}, {0x80C, L"40C"}, {0xC0C, L"40C"}, {0x100C, L"40C"}, {0x807, L"407"},
      {0x804, L"804"}, {0x800, L"800"}, {0x409, L"409"}, {0x809, L"409"}, {0x7FF, L"7FF"},
      {0x801, L"401"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    EXPECT_EQ(rows[i].expected, DefaultLanguageFromLangId(rows[i].id)) << "row " << i;
  FakeSystem sys;
  sys.langId = 0xC0C;
  CKvMemoryProfile profile;
  EXPECT_EQ(L"40C", CKvParameters(profile, sys).GetLanguage());
}

TEST(Texts, LongTextsAreReadWhole) {
  FakeSystem sys;
  CKvMemoryProfile profile;
  const std::wstring longText(3000, L'\xE9');
  profile.WriteString(kTxt, L"409", L"900", &longText);
  CKvParameters p(profile, sys);
  EXPECT_EQ(longText, p.GetText(900));
}

}  // namespace

namespace {

TEST(Texts, ProgramTitleNeverEmpty) {
  FakeSystem sys;
  CKvMemoryProfile profile;
  CKvParameters p(profile, sys);
  EXPECT_EQ(L"Orvaq", p.GetProgramTitle());
  profile.LoadText(L"C:\\Program Files\\Orvaq\\Orvaq.TXT", L"[409]\n1000=Orvaq Lab\n");
  EXPECT_EQ(L"Orvaq Lab", p.GetProgramTitle());
}

}  // namespace
