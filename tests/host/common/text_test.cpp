// Conversions between wide text and UTF-8, UTF-16LE and Latin-1, and the byte reader.
#include <gtest/gtest.h>

#include <vector>

#include "common/ByteReader.h"
#include "common/Text.h"

using namespace orvaq;

TEST(Text, Utf8RoundTrips) {
  const std::vector<std::wstring> cases = {
      L"", L"plain", L"Dr Fran\u00e7ois M\u00fcller", L"\u03a9\u03b1", L"\u4e2d\u6587",
      std::wstring(L"emoji ") + static_cast<wchar_t>(sizeof(wchar_t) == 2 ? 0xD83D : 0x1F600) +
          (sizeof(wchar_t) == 2 ? std::wstring(1, static_cast<wchar_t>(0xDE00)) : std::wstring())};
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(FromUtf8(ToUtf8(cases[i])), cases[i]) << "case " << i;
    const std::string u16 = ToUtf16Le(cases[i]);
    EXPECT_EQ(FromUtf16Le(reinterpret_cast<const uint8_t*>(u16.data()), u16.size()), cases[i]) << "case " << i;
  }
  EXPECT_EQ(ToUtf8(L"\u00e9"), "\xC3\xA9");
  EXPECT_EQ(ToUtf16Le(L"A\u00e9"), std::string("A\0\xE9\0", 4));
}

TEST(Text, MalformedUtf8BecomesReplacement) {
  struct Row { std::string in; std::wstring out; };
  const std::vector<Row> rows = {
      {"\xC3", L"\uFFFD"},               // truncated
      {"a\x80z", L"a\uFFFDz"},            // stray continuation
      {"\xC0\xAF", L"\uFFFD"},            // overlong slash
      {"\xE2\x82", L"\uFFFD"},            // truncated 3-byte
      {"\xED\xA0\x80", L"\uFFFD"},        // encoded surrogate
      {"\xF8\x88\x80\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(FromUtf8(rows[i].in), rows[i].out) << "row " << i;
}

TEST(Text, Latin1RefusesWhatHasNoSingleByte) {
  std::string out = "x";
  EXPECT_TRUE(ToLatin1(L"r\u00e9sum\u00e9 \u00ff", out));
  EXPECT_EQ(out, "r\xE9sum\xE9 \xFF");
  EXPECT_FALSE(ToLatin1(L"\u03a9", out));
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(FromLatin1("\xE9t\xE9"), L"\u00e9t\u00e9");
}

TEST(Text, CaseFoldingIsAsciiOnly) {
  EXPECT_TRUE(EqualsNoCase(L"Bin.RAW", L"bin.raw"));
  EXPECT_FALSE(EqualsNoCase(L"\u00e9", L"\u00c9"));
  EXPECT_EQ(AsciiUpper(L"40c"), L"40C");
}

TEST(CByteReader, ReadsLittleEndianAndFlagsShortReads) {
  const uint8_t data[] = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 'a', 'b', 0, 'z'};
  CByteReader r(data, sizeof data);
  EXPECT_EQ(r.U16(), 0x1234);
  EXPECT_EQ(r.U32(), 0x12345678u);
  EXPECT_EQ(r.FixedString(4), "ab");
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(r.U16(), 0);  // past the end
  EXPECT_FALSE(r.Ok());
  CByteReader s(data, sizeof data);
  s.Seek(11);
  EXPECT_FALSE(s.Ok());
  CByteReader t(nullptr, 5);
  EXPECT_EQ(t.U8(), 0);
  EXPECT_FALSE(t.Ok());
}
