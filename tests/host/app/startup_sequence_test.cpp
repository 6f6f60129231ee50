// The start-up sequence on a scripted platform: every end path, what it shows, whether
// "RestartingLine" goes, and that the clean-up runs in one order with "Terminaison du
// module." as the log's last line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/StartupSequence.h"
#include "tests/support/memory_logger.h"

namespace {

struct Script {
  bool textFile = true, library = true;
  uint32_t tick = 1000;
  bool parse = true, close = false, blank = false;
  std::vector<bool> running;  // answers of FindRunningInstance, in turn (then false)
  uint64_t freeBytes = 500, totalBytes = 1000;
  bool preflight = true;
};

class ScriptedHost : public IStartupHost {
 public:
  explicit ScriptedHost(Script s) : m_Script(std::move(s)) {}
  std::vector<std::string> events;

  void CreateParameters() override { events.push_back("parameters"); }
  void DeleteParameters() override { events.push_back("~parameters"); }
  bool TextFileExists() override { return m_Script.textFile; }
  bool FilterLibraryLoads() override { return m_Script.library; }
  void ShowFatalBox(const wchar_t* text) override { events.push_back("fatal box " + std::string(text, text + 15)); }
  void ShowTextBox(int textId, unsigned style) override {
    events.push_back("box " + std::to_string(textId) + " " + std::to_string(style));
  }
  bool FindRunningInstance() override {
    const bool found = m_nFinds < m_Script.running.size() && m_Script.running[m_nFinds];
    ++m_nFinds;
    return found;
  }
  void StartLogger(bool other) override {
    events.push_back(other ? "logger (other instance)" : "logger");
    ReplaceCurrentLogger(new testsupport::MemoryLogger(&events, "log "));
  }
  void EndLogger() override {
    ReplaceCurrentLogger(nullptr);
    events.push_back("~logger");
  }
  void StartGdiplus() override { events.push_back("gdiplus"); }
  void StopGdiplus() override { events.push_back("~gdiplus"); }
  uint32_t TickCount() override { return m_Script.tick; }
  std::string CommandLineForLog() override { return "/doctor x"; }
  bool CommandLineIsBlank() override { return m_Script.blank; }
  bool ParseCommandLine() override { return m_Script.parse; }
  bool CloseRequested() override { return m_Script.close; }
  void CloseRunningInstance() override { events.push_back("post close"); }
  void HandOverCommandLine() override { events.push_back("hand over"); }
  std::wstring ImagesPath() override { return L"C:\\images"; }
  void DiskSpace(const std::wstring&, uint64_t& f, uint64_t& t) override {
    f = m_Script.freeBytes;
    t = m_Script.totalBytes;
  }
  bool NetworkPreflight() override {
    events.push_back("preflight");
    return m_Script.preflight;
  }
  void CreateSkin() override { events.push_back("skin"); }
  void DeleteSkin() override { events.push_back("~skin"); }
  void LoadRichEdit() override { events.push_back("richedit"); }
  void FreeRichEdit() override { events.push_back("~richedit"); }
  void RecoverPendingPlates() override { events.push_back("recover plates"); }
  void RunMainWindow() override { events.push_back("main window"); }
  void RemoveRestartingLine() override { events.push_back("remove RestartingLine"); }

 private:
  Script m_Script;
  size_t m_nFinds = 0;
};

using Events = std::vector<std::string>;
const Events kStarted = {"parameters", "logger", "gdiplus", "log Ligne de commande : /doctor x"};
Events With(Events head, const Events& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}
const Events kImagesChecked = {"log Chemin des images : C:\\images",
                               "log Espace disponible pour les images : 500 / 1000"};

}  // namespace

TEST(StartupSequence, EveryEndPath) {
  struct Row {
    const char* name;
    Script script;
    StartupEnd end;
    bool result;
    Events events;
  };
  Script s;
  auto with = [](Script base, auto change) {
    change(base);
    return base;
  };
  const Row rows[] = {
      {"no text file", with(s, [](Script& x) { x.textFile = false; }), StartupEnd::kNoTextFile, false,
       {"parameters", "fatal box Unable to load ", "~parameters"}},
      {"no library", with(s, [](Script& x) { x.library = false; }), StartupEnd::kNoFilterLibrary, false,
       {"parameters", "fatal box Unable to load ", "~parameters"}},
      {"uptime refused", with(s, [](Script& x) { x.tick = 3888000001u; }), StartupEnd::kUptimeRefused, false,
       {"parameters", "logger", "gdiplus", "box 800 16", "log L'ordinateur doit \xEAtre red\xE9marr\xE9 !",
        "~gdiplus", "remove RestartingLine", "~parameters", "log Terminaison du module.", "~logger"}},
      {"command-line job", with(s, [](Script& x) { x.parse = false; }), StartupEnd::kCommandLineJob, true,
       With(kStarted, {"log Fermeture du module apr\xE8s traitement de la ligne de commande.", "~gdiplus",
                       "remove RestartingLine", "~parameters", "log Terminaison du module.", "~logger"})},
      {"/close, nothing running", with(s, [](Script& x) { x.close = true; }), StartupEnd::kClosedInstances, true,
       With(kStarted, {"log Fermeture de toutes les instances du module.", "~gdiplus", "remove RestartingLine",
                       "~parameters", "log Terminaison du module.", "~logger"})},
      {"hand-over", with(s, [](Script& x) { x.running = {false, true}; }), StartupEnd::kHandedOver, true,
       With(kStarted, {"log Transfert vers l'insance pr\xE9" "c\xE9" "dente.", "hand over", "~gdiplus",
                       "remove RestartingLine", "~parameters", "log Terminaison du module.", "~logger"})},
      {"disk full", with(s, [](Script& x) { x.freeBytes = 9; }), StartupEnd::kNoDiskSpace, true,
       With(kStarted, {"log Chemin des images : C:\\images", "log Espace disponible pour les images : 9 / 1000",
                       "log Espace insuffisant pour de nouvelles acquisitions !", "box 802 16", "~gdiplus",
                       "remove RestartingLine", "~parameters", "log Terminaison du module.", "~logger"})},
      {"pre-flight cancelled", with(s, [](Script& x) { x.preflight = false; }), StartupEnd::kPreflightCancelled,
       false, With(With(kStarted, kImagesChecked), {"preflight", "~gdiplus", "~parameters",
                                                    "log Terminaison du module.", "~logger"})},
      {"lost the race", with(s, [](Script& x) { x.running = {false, false, true}; }), StartupEnd::kLostRace, false,
       With(With(kStarted, kImagesChecked), {"preflight", "skin", "richedit", "~skin", "~gdiplus", "~parameters", "~richedit",
                                             "log Terminaison du module.", "~logger"})},
      {"main window", s, StartupEnd::kMainWindowClosed, false,
       With(With(kStarted, kImagesChecked), {"preflight", "skin", "richedit", "recover plates", "main window", "~skin", "~gdiplus",
                                             "remove RestartingLine", "~parameters", "~richedit",
                                             "log Terminaison du module.", "~logger"})},
  };
  for (const Row& row : rows) {
    ScriptedHost host(row.script);
    const StartupOutcome outcome = RunStartup(host);
    EXPECT_EQ(outcome.end, row.end) << row.name;
    EXPECT_EQ(outcome.result, row.result) << row.name;
    EXPECT_EQ(host.events, row.events) << row.name;
  }
}

TEST(StartupSequence, SmallerCases) {
  // A second instance writes no log file; a long uptime only advises; /close posts to the
  // instance it found; a blank hand-over line is not stored.
  Script s;
  s.running = {true, true};
  s.tick = 2678400001u;
  s.close = true;
  ScriptedHost closing(s);
  EXPECT_EQ(RunStartup(closing).end, StartupEnd::kClosedInstances);
  EXPECT_EQ(closing.events[1], "logger (other instance)");
  EXPECT_EQ(closing.events[3], "box 801 64");
  EXPECT_NE(std::find(closing.events.begin(), closing.events.end(), "post close"), closing.events.end());

  Script blank;
  blank.running = {false, true};
  blank.blank = true;
  ScriptedHost handing(blank);
  EXPECT_EQ(RunStartup(handing).end, StartupEnd::kHandedOver);
  EXPECT_EQ(std::find(handing.events.begin(), handing.events.end(), "hand over"), handing.events.end());
}
