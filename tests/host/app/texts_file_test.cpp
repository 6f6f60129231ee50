// The shipped text-resource file: every id the program uses is present in English,
// French and German, and each translation takes the same placeholders as the English
// text (a missing or extra one would shift the arguments).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "common/Text.h"
#include "settings/KvMemoryProfile.h"
#include "settings/KvProfile.h"

namespace {

std::wstring LoadTexts(CKvMemoryProfile& profile) {
  std::ifstream in(std::string(ORVAQ_SOURCE_DIR) + "/resources/Orvaq.TXT", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  profile.LoadText(L"t", orvaq::FromUtf8(s.str()));
  return L"t";
}

template <class Ids>
void ExpectInEveryLanguage(const Ids& ids) {
  CKvMemoryProfile profile;
  const std::wstring file = LoadTexts(profile);
  for (const wchar_t* language : {L"409", L"40C", L"407"})
    for (int id : ids)
      EXPECT_FALSE(ReadProfileString(profile, file, language, std::to_wstring(id), L"").empty())
          << orvaq::ToUtf8(language) << " " << id;
}

std::string Placeholders(const std::wstring& text) {
  std::string out;
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == L'%' && (text[i + 1] == L's' || text[i + 1] == L'd')) out.push_back(static_cast<char>(text[i + 1]));
  return out;
}

TEST(TextFile, EveryIdInEveryLanguage) {
  std::vector<int> ids = {1,    2,    600,  601,  603,  606,  607,  608,  610,  613,  614,  615,  617,  618,
                          619,  620,  621,  622,  625,  710,  711,  712,  720,  730,  732,  750,  751,  752,
                          753,  754,  755,  756,  757,  800,  801,  802,  810,  811,  812,  813,  840,  900,
                          1000, 1100, 1171};
  for (int id = 1001; id <= 1012; ++id) ids.push_back(id);
  // readable texts of every result code the scanner link produces
  for (int code : {-1, 0, 1, 50, 51, 52, 53, 54, 200, 201, 202, 203, 204, 205, 206, 400, 401, 403, 404, 405, 408,
                   409, 500, 501, 503})
    ids.push_back(10000 + code);
  ExpectInEveryLanguage(ids);
}

// Every text id written as a number where the program asks for a text: a new call with
// an id nobody added to the file would show an empty box or log line.
TEST(TextFile, EveryIdAskedForInTheSourcesIsThere) {
  const std::regex call(R"((GetText|FormatText|MessageBoxText|ShowMessageBox|ShowTextBox)\((\d+)\b)");
  std::set<int> ids;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(std::string(ORVAQ_SOURCE_DIR) + "/src")) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".cpp" && ext != ".h") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    for (std::sregex_iterator m(source.begin(), source.end(), call), end; m != end; ++m) {
      const int id = std::stoi((*m)[2].str());
      if (id > 0) ids.insert(id);
    }
  }
  ASSERT_GE(ids.size(), 10u);  // the scan found the calls at all
  ExpectInEveryLanguage(ids);
}

TEST(TextFile, TranslationsTakeTheSamePlaceholders) {
  CKvMemoryProfile profile;
  const std::wstring file = LoadTexts(profile);
  int checked = 0;
  for (int id = 1; id < 20000; ++id) {
    const std::wstring english = ReadProfileString(profile, file, L"409", std::to_wstring(id), L"");
    if (english.empty()) continue;
    ++checked;
    for (const wchar_t* language : {L"40C", L"407"}) {
      const std::wstring other = ReadProfileString(profile, file, language, std::to_wstring(id), L"");
      if (!other.empty()) EXPECT_EQ(Placeholders(english), Placeholders(other)) << orvaq::ToUtf8(language) << " " << id;
    }
  }
  EXPECT_GT(checked, 100);
  EXPECT_EQ("sd", Placeholders(ReadProfileString(profile, file, L"409", L"618", L"")));
  EXPECT_EQ("ss", Placeholders(ReadProfileString(profile, file, L"409", L"810", L"")));
  EXPECT_EQ("s", Placeholders(ReadProfileString(profile, file, L"409", L"811", L"")));
}

}  // namespace

namespace {

// The error-code lists are RTF: balanced groups and every \' escape with two hex digits,
// or the rich-edit control rejects the whole file.
TEST(TextFile, ErrorListsAreWellFormedRtf) {
  for (const char* name : {"Orvaqerr.409", "Orvaqerr.40C"}) {
    std::ifstream in(std::string(ORVAQ_SOURCE_DIR) + "/resources/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string rtf = s.str();
    EXPECT_EQ(0u, rtf.find("{\\rtf1")) << name;
    int depth = 0;
    for (size_t i = 0; i < rtf.size(); ++i) {
      const char c = rtf[i];
      EXPECT_LT(static_cast<unsigned char>(c), 0x80) << name << " at " << i;
      if (c == '\\' && i + 1 < rtf.size()) {
        if (rtf[i + 1] == '\'') {
          EXPECT_TRUE(i + 3 < rtf.size() && isxdigit(static_cast<unsigned char>(rtf[i + 2])) &&
                      isxdigit(static_cast<unsigned char>(rtf[i + 3])))
              << name << " at " << i;
        }
        ++i;
        continue;
      }
      if (c == '{') ++depth;
      if (c == '}') --depth;
      EXPECT_GE(depth, 0) << name << " at " << i;
    }
    EXPECT_EQ(0, depth) << name;
  }
}

}  // namespace
