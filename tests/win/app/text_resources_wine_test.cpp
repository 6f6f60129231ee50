// Text resources on Windows: translating buttons and static texts by control id, the
// version text and version strings of Orvaq.exe, and the error-code list streamed into
// a rich-edit control with its language fallback.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/win/TextResourcesWin.h"
#include "common/Text.h"
#include "settings/KvParameters.h"
#include "settings/win/KvProfileWin.h"
#include "settings/win/KvSystemWin.h"

namespace {

std::wstring BinFolder() {
  const std::wstring p = GetModulePath(nullptr);
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

// Orvaq's view of the world: the program is the built Orvaq.exe in the bin folder.
class BinSystem : public CKvSystemWin {
 public:
  std::wstring GetProgramPath() override { return BinFolder() + L"Orvaq.exe"; }
};

struct Parameters {
  BinSystem system;
  CKvProfileWin profile;
  CKvParameters params{profile, system};
  Parameters() { SetParameters(&params); }
  ~Parameters() { SetParameters(nullptr); }
};

std::wstring Text(HWND w) {
  wchar_t buffer[4096] = {};
  GetWindowTextW(w, buffer, 4096);
  return buffer;
}

TEST(TextResourcesWine, ButtonsAndStaticsTakeTheirTexts) {
  Parameters p;
  p.params.SetLanguage(L"40C");
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, parent);
  auto child = [&](const wchar_t* cls, int id) {
    return CreateWindowExW(0, cls, L"template", WS_CHILD, 0, 0, 50, 20, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  };
  HWND button = child(L"Button", 1006), label = child(L"STATIC", 1100), edit = child(L"Edit", 1007);
  HWND unknown = child(L"Button", 4321);
  TranslateWindow(parent);
  EXPECT_EQ(L"Fermer", Text(button));
  EXPECT_EQ(L"Param\xE8tres d'Orvaq", Text(label));
  EXPECT_EQ(L"template", Text(edit));  // edit boxes keep their text
  EXPECT_EQ(L"", Text(unknown));       // an id without text empties the label
  DestroyWindow(parent);
}

std::string ReadVersionFile() {
  std::wstring path = L"Z:" + orvaq::FromUtf8(ORVAQ_SOURCE_DIR) + L"/resources/version.txt";
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  char buffer[64] = {};
  DWORD n = 0;
  ReadFile(h, buffer, 63, &n, nullptr);
  CloseHandle(h);
  std::string v(buffer, n);
  return v.substr(0, v.find_first_of("\r\n"));
}

TEST(TextResourcesWine, VersionTextAndStringsOfTheProgram) {
  const std::wstring exe = BinFolder() + L"Orvaq.exe";
  const std::string version = ReadVersionFile();
  EXPECT_EQ(L" [" + orvaq::FromUtf8(version) + L"]", GetProgramVersionText(exe));
  EXPECT_EQ(orvaq::FromUtf8(version), GetVersionResourceString(L"FileVersion", exe));
  EXPECT_EQ(L"Copyright (C) 2026 HALVEX S.A.", GetVersionResourceString(L"LegalCopyright", exe));
  EXPECT_EQ(L"", GetVersionResourceString(L"NoSuchValue", exe));
  // this test program carries no version resource
  EXPECT_EQ(L" [0.0.0]", GetProgramVersionText());
  EXPECT_EQ(L"", GetVersionResourceString(L"FileVersion"));
}

TEST(TextResourcesWine, ErrorListInTheLanguageOrElseEnglish) {
  Parameters p;
  HMODULE richEdit = LoadLibraryW(L"RICHED20.DLL");
  ASSERT_NE(nullptr, richEdit);
  struct Row { const wchar_t* language; const wchar_t* title; };
  const Row rows[] = {{L"409", L"Orvaq error codes"}, {L"40C", L"Codes d'erreur d'Orvaq"},
                      {L"407", L"Orvaq error codes"}};
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    p.params.SetLanguage(rows[i].language);
    HWND edit = CreateWindowExW(0, L"RichEdit20W", L"", WS_POPUP | ES_MULTILINE, 0, 0, 400, 300, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(nullptr, edit) << "row " << i;
    EXPECT_TRUE(LoadErrorList(edit)) << "row " << i;
    const std::wstring text = Text(edit);
    EXPECT_EQ(0u, text.find(rows[i].title)) << "row " << i;
    EXPECT_EQ(std::wstring::npos, text.find(L"\\rtf")) << "row " << i;  // read as RTF, not as text
    DestroyWindow(edit);
  }
  FreeLibrary(richEdit);
}

}  // namespace
