// Orvaq.exe under Wine, started as a practice application would: the built-in boxes of
// a missing text file or filter library, the first start's settings file, migration,
// the log file, hand-over of a command line to a running instance and /close. Every
// test runs its own copy of the program under its own name, so its settings folder is
// its own; they share the title "Orvaq" and therefore run one after another.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "win_test_support.h"
#include "common/Text.h"

namespace {

const wchar_t kTitle[] = L"Orvaq";

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Utf16(const std::wstring& text) { return orvaq::ToUtf16Le(text); }

std::wstring LogPath() { return wintest::LocalAppData() + L"\\Logs KVW\\Orvaq.txt"; }

// The log's lines (CR LF ends, Latin-1 bytes).
std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  std::istringstream in(wintest::ReadFileText(LogPath()));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Text after the "HH:MM:SS - " of a log line.
std::string Message(const std::string& line) { return line.size() > 11 ? line.substr(11) : std::string(); }

bool LogHas(const std::string& message) {
  for (const std::string& l : LogLines())
    if (Message(l) == message) return true;
  return false;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(100);
  }
  return true;
}

// The static text of a message box (control 0xFFFF).
std::wstring BoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text ? wintest::WindowText(text) : std::wstring();
}

// A copy of the program under its own name in a folder of its own.
class ProgramCopy {
 public:
  ProgramCopy(const std::wstring& name, bool withTexts, bool withFilter) : m_sName(name) {
    m_sFolder = wintest::WinePath(ORVAQ_BINARY_DIR) + L"\\tests\\win\\app\\prog_" + name;
    CreateDirectoryW((wintest::WinePath(ORVAQ_BINARY_DIR) + L"\\tests\\win\\app").c_str(), nullptr);
    CreateDirectoryW(m_sFolder.c_str(), nullptr);
    const std::wstring bin = wintest::ProgramFolder();
    DeleteFileW((m_sFolder + L"\\" + name + L".TXT").c_str());
    DeleteFileW((m_sFolder + L"\\RXFilter.DLL").c_str());
    DeleteFileW((m_sFolder + L"\\" + name + L".INI").c_str());
    CopyFileW((bin + L"Orvaq.exe").c_str(), Exe().c_str(), FALSE);
    if (withTexts) CopyFileW((bin + L"Orvaq.TXT").c_str(), (m_sFolder + L"\\" + name + L".TXT").c_str(), FALSE);
    if (withFilter) {
      const std::string dll = TEST_FILTER_DLL;
      CopyFileW((bin + std::wstring(dll.begin(), dll.end())).c_str(), (m_sFolder + L"\\RXFilter.DLL").c_str(), FALSE);
    }
    // a fresh settings folder for every run of the test
    DeleteFileW(SettingsFile().c_str());
    RemoveDirectoryW(SettingsFolder().c_str());
  }
  std::wstring Exe() const { return m_sFolder + L"\\" + m_sName + L".exe"; }
  std::wstring Folder() const { return m_sFolder; }
  std::wstring SettingsFolder() const { return wintest::LocalAppData() + L"\\" + m_sName; }
  std::wstring SettingsFile() const { return SettingsFolder() + L"\\" + m_sName + L".INI"; }

 private:
  std::wstring m_sName, m_sFolder;
};

class OrvaqStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    // No instance of an earlier test may still be running.
    ASSERT_EQ(nullptr, FindWindowW(L"#32770", kTitle));
  }
};

TEST_F(OrvaqStartup, MissingTextFileShowsItsBoxAndEnds) {
  ProgramCopy program(L"OrvaqNoText", false, true);
  wintest::ChildProcess p;
  ASSERT_TRUE(p.Start(program.Exe(), L""));
  HWND box = wintest::WaitForProcessWindow(p.Id(), L"#32770", 15000);
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(L"Orvaq", wintest::WindowText(box));
  EXPECT_EQ(L"Unable to load text resources!\nThe program will be closed.", BoxText(box));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(0u, p.WaitExit(10000));
  EXPECT_FALSE(Exists(program.SettingsFile()));  // nothing else happened
}

TEST_F(OrvaqStartup, MissingFilterLibraryShowsItsBoxAndEnds) {
  ProgramCopy program(L"OrvaqNoDll", true, false);
  wintest::ChildProcess p;
  ASSERT_TRUE(p.Start(program.Exe(), L"/doctor x"));
  HWND box = wintest::WaitForProcessWindow(p.Id(), L"#32770", 15000);
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(L"Orvaq", wintest::WindowText(box));
  EXPECT_EQ(L"Unable to load dll resources!\nThe program will be closed.", BoxText(box));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(0u, p.WaitExit(10000));
  EXPECT_FALSE(Exists(program.SettingsFile()));
}

TEST_F(OrvaqStartup, ImageJobSurvivesFaultsInsideTheFilterLibrary) {
  // The display filter of an /image_in job through the library's test-only twin, which
  // faults inside the filter call: a warning box with the fault's code, the picture
  // written unfiltered, and a normal end.
  ProgramCopy program(L"Orvaq", true, false);
  const std::wstring bin = wintest::ProgramFolder();
  ASSERT_TRUE(CopyFileW((bin + L"faulty\\RXFilter.DLL").c_str(), (program.Folder() + L"\\RXFilter.DLL").c_str(), FALSE));
  const std::wstring in = program.Folder() + L"\\job_in.bmp", out = program.Folder() + L"\\job_out.bmp";
  // A 16 x 8 grey picture: BMP header, grey palette, rows.
  std::vector<uint8_t> bmp(1078 + 16 * 8, 0);
  const uint8_t header[] = {'B', 'M', uint8_t(bmp.size()), uint8_t(bmp.size() >> 8), 0, 0, 0, 0, 0, 0, 0x36, 4, 0, 0,
                            40, 0, 0, 0, 16, 0, 0, 0, 8, 0, 0, 0, 1, 0, 8, 0};
  std::copy(std::begin(header), std::end(header), bmp.begin());
  for (int i = 0; i < 256; ++i) bmp[54 + 4 * i] = bmp[55 + 4 * i] = bmp[56 + 4 * i] = uint8_t(i);
  for (size_t i = 1078; i < bmp.size(); ++i) bmp[i] = uint8_t(i * 7);
  ASSERT_TRUE(wintest::WriteFileBytes(in, bmp));
  const struct { const wchar_t* fault; const wchar_t* text; } rows[] = {
      {L"access", L"Exception 0xC0000005 dans la dll RXFilter."},
      {L"foreign", L"Exception 0xE06D7363 dans la dll RXFilter."},
  };
  for (const auto& row : rows) {
    DeleteFileW(out.c_str());
    wintest::ChildProcess p;
    ASSERT_TRUE(p.Start(program.Exe(), L"/image_in \"" + in + L"\" /image_out \"" + out + L"\" /filter 150",
                        {{L"RXFILTER_FAULT", row.fault}}));
    HWND box = wintest::WaitForProcessWindow(p.Id(), L"#32770", 30000);
    ASSERT_NE(nullptr, box) << orvaq::ToUtf8(row.fault);
    EXPECT_EQ(L"Orvaq", wintest::WindowText(box));
    EXPECT_EQ(row.text, BoxText(box));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0u, p.WaitExit(30000)) << orvaq::ToUtf8(row.fault);
    EXPECT_TRUE(Exists(out)) << orvaq::ToUtf8(row.fault);
    EXPECT_TRUE(LogHas("Exception lors de l'application du filtre.")) << orvaq::ToUtf8(row.fault);
    EXPECT_TRUE(LogHas(orvaq::ToUtf8(row.text))) << orvaq::ToUtf8(row.fault);
  }
}

TEST_F(OrvaqStartup, FirstStartCreatesTheUnicodeSettingsFileAndTheLog) {
  ProgramCopy program(L"OrvaqFirst", true, true);
  wintest::ChildProcess p;
  // /close ends at once; /way_left writes the first value into the new file.
  ASSERT_TRUE(p.Start(program.Exe(), L"/way_left /close"));
  EXPECT_EQ(0u, p.WaitExit(30000));
  const std::string bytes = wintest::ReadFileText(program.SettingsFile());
  // Created as the 6-byte Unicode header (checked byte for byte by the settings test);
  // the profile functions then keep writing UTF-16LE after the byte-order mark.
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(std::string("\xFF\xFE", 2), bytes.substr(0, 2));
  EXPECT_NE(std::string::npos, bytes.find(Utf16(L"[SENSOR]")));
  EXPECT_NE(std::string::npos, bytes.find(Utf16(L"AcqWay=1")));

  const std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ("  ===========================================", lines[0]);
  EXPECT_EQ(0u, lines[1].find("   Logg started on "));
  EXPECT_EQ("  ===========================================", lines[2]);
  EXPECT_EQ("Ligne de commande : /way_left /close", Message(lines[3]));
  EXPECT_TRUE(LogHas("Fermeture de toutes les instances du module."));
  EXPECT_EQ("Terminaison du module.", Message(lines.back()));
  EXPECT_EQ(':', lines[3][2]);
  EXPECT_EQ(" - ", lines[3].substr(8, 3));
}

TEST_F(OrvaqStartup, SettingsFileBesideTheProgramIsMoved) {
  ProgramCopy program(L"OrvaqMigrate", true, true);
  const std::wstring old = program.Folder() + L"\\OrvaqMigrate.INI";
  wintest::WriteFileText(old, "[SENSOR]\r\nLUMEQ2Serial=LQ2-0042\r\n");
  wintest::ChildProcess p;
  ASSERT_TRUE(p.Start(program.Exe(), L"/close"));
  EXPECT_EQ(0u, p.WaitExit(30000));
  EXPECT_FALSE(Exists(old));
  EXPECT_NE(std::string::npos, wintest::ReadFileText(program.SettingsFile()).find("LUMEQ2Serial=LQ2-0042"));
}

TEST_F(OrvaqStartup, UnwritableImageFolderWarnsAndFallsBack) {
  ProgramCopy program(L"OrvaqReadOnly", true, true);
  // a folder named test.fil where the write test wants its file
  const std::wstring folder = program.Folder() + L"\\images";
  CreateDirectoryW(folder.c_str(), nullptr);
  DeleteFileW((folder + L"\\test.fil").c_str());
  CreateDirectoryW((folder + L"\\test.fil").c_str(), nullptr);
  wintest::ChildProcess p;
  ASSERT_TRUE(p.Start(program.Exe(), L"/image_path \"" + folder + L"\" /lang 409"));
  HWND box = wintest::WaitForProcessWindow(p.Id(), L"#32770", 30000);
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(kTitle, wintest::WindowText(box));
  const std::wstring text = BoxText(box);
  EXPECT_NE(std::wstring::npos, text.find(folder)) << orvaq::ToUtf8(text);
  EXPECT_NE(std::wstring::npos, text.find(L"\\OrvaqReadOnly")) << orvaq::ToUtf8(text);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  // the program goes on with the default folder and shows its window
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, 10000));
  HWND window = wintest::WaitForProcessWindow(p.Id(), L"#32770", 30000);
  ASSERT_NE(nullptr, window);
  EXPECT_TRUE(WaitFor([] { return LogHas("Chemin des images : C:\\users\\Public\\Documents\\OrvaqReadOnly"); },
                      5000));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, p.WaitExit(30000));
  EXPECT_EQ("Terminaison du module.", Message(LogLines().back()));
}

TEST_F(OrvaqStartup, HandOverToTheRunningInstanceAndClose) {
  ProgramCopy program(L"OrvaqRun", true, true);
  wintest::ChildProcess first;
  ASSERT_TRUE(first.Start(program.Exe(), L"/patient Avant"));
  HWND window = wintest::WaitForProcessWindow(first.Id(), L"#32770", 30000);
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(window, FindWindowW(L"#32770", kTitle));
  ASSERT_TRUE(WaitFor([] { return LogHas("Ligne de commande : /patient Avant"); }, 5000));
  EXPECT_TRUE(LogHas("Chemin des images : C:\\users\\Public\\Documents\\OrvaqRun\\"));

  // A second start with a command line hands it over and ends without a window.
  wintest::ChildProcess second;
  ASSERT_TRUE(second.Start(program.Exe(), L"/doctor \"Dr Who\" /way_down"));
  EXPECT_EQ(0u, second.WaitExit(30000));
  EXPECT_TRUE(WaitFor([] { return LogHas("Ligne de commande re\xE7ue : /doctor \"Dr Who\" /way_down"); }, 10000));
  EXPECT_TRUE(WaitFor([&] { return wintest::ReadFileText(program.SettingsFile()).find(Utf16(L"AcqWay=2")) != std::string::npos; },
                      5000));
  // The stored line is taken away by the running instance; AcqWay=2 alone does not show
  // it, since the second start's own parse writes the scan direction too.
  EXPECT_TRUE(WaitFor([&] { return wintest::ReadFileText(program.SettingsFile()).find(Utf16(L"CommandLine")) == std::string::npos; },
                      5000));
  // The second instance never touched the first one's log.
  EXPECT_TRUE(LogHas("Ligne de commande : /patient Avant"));

  // A second start with an empty line disturbs nothing: nothing is handed over. (The
  // running instance's own timers keep logging, so only hand-overs are counted.)
  const auto handOvers = [] {
    size_t n = 0;
    for (const std::string& line : LogLines()) n += line.find("Ligne de commande re\xE7ue") != std::string::npos;
    return n;
  };
  const size_t before = handOvers();
  wintest::ChildProcess third;
  ASSERT_TRUE(third.Start(program.Exe(), L""));
  EXPECT_EQ(0u, third.WaitExit(30000));
  // What the third start posted was queued before it ended. A sent message is handled
  // before the queue's posted ones, so the second of two round trips through the running
  // instance's message loop comes after anything posted was taken and handled.
  for (int i = 0; i < 2; ++i) {
    DWORD_PTR ignored = 0;
    ASSERT_NE(0, SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored));
  }
  EXPECT_EQ(before, handOvers());
  EXPECT_EQ(STILL_ACTIVE, first.WaitExit(0));
  EXPECT_TRUE(IsWindow(window));

  // /close ends the running instance.
  wintest::ChildProcess closer;
  ASSERT_TRUE(closer.Start(program.Exe(), L"/close"));
  EXPECT_EQ(0u, closer.WaitExit(30000));
  EXPECT_EQ(0u, first.WaitExit(30000));
  const std::vector<std::string> lines = LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("Terminaison du module.", Message(lines.back()));
  EXPECT_EQ(0u, lines[1].find("   Logg started on "));
}

}  // namespace
