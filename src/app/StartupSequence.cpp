// The start-up sequence (see StartupSequence.h).
#include "app/StartupSequence.h"

#include "app/StartupRules.h"
#include "logging/KvLogger.h"

namespace {

// Undoes, when the sequence ends by whatever path, what it has set up: the skin, GDI+, the
// "RestartingLine" key (only on the ends that remove it), the parameters, the rich-edit
// library, and last the logger, so "Terminaison du module." is the log's last line.
class CStartupCleanup {
 public:
  explicit CStartupCleanup(IStartupHost& host) : m_Host(host) {}
  ~CStartupCleanup() {
    if (m_bSkin) m_Host.DeleteSkin();
    if (m_bGdiplus) m_Host.StopGdiplus();
    if (m_bRemoveRestartingLine && m_bParameters) m_Host.RemoveRestartingLine();
    if (m_bParameters) m_Host.DeleteParameters();
    if (m_bRichEdit) m_Host.FreeRichEdit();
    if (m_bLogger) {
      LogLine("Terminaison du module.");
      m_Host.EndLogger();
    }
  }
  CStartupCleanup(const CStartupCleanup&) = delete;
  CStartupCleanup& operator=(const CStartupCleanup&) = delete;

  bool m_bParameters = false, m_bLogger = false, m_bGdiplus = false, m_bSkin = false, m_bRichEdit = false;
  // Left alone when the text file or the library is missing, the pre-flight is cancelled
  // or another instance won the race: those runs never really started.
  bool m_bRemoveRestartingLine = false;

 private:
  IStartupHost& m_Host;
};

StartupOutcome End(CStartupCleanup& cleanup, StartupEnd end, bool result, bool removeRestartingLine) {
  cleanup.m_bRemoveRestartingLine = removeRestartingLine;
  return {end, result};
}

}  // namespace

bool CheckUptime(IStartupHost& host) {
  switch (JudgeUptime(host.TickCount())) {
    case UptimeVerdict::kRefuse:
      host.ShowTextBox(800, orvaq::mb::kOk | orvaq::mb::kIconError);
      return false;
    case UptimeVerdict::kAdviseRestart:
      host.ShowTextBox(801, orvaq::mb::kOk | orvaq::mb::kIconInformation);
      return true;
    case UptimeVerdict::kSilent:
      break;
  }
  return true;
}

StartupOutcome RunStartup(IStartupHost& host) {
  CStartupCleanup cleanup(host);
  host.CreateParameters();
  cleanup.m_bParameters = true;

  if (!host.TextFileExists()) {
    host.ShowFatalBox(L"Unable to load text resources!\nThe program will be closed.");
    return End(cleanup, StartupEnd::kNoTextFile, false, false);
  }
  if (!host.FilterLibraryLoads()) {
    host.ShowFatalBox(L"Unable to load dll resources!\nThe program will be closed.");
    return End(cleanup, StartupEnd::kNoFilterLibrary, false, false);
  }

  host.StartLogger(host.FindRunningInstance());
  cleanup.m_bLogger = true;
  host.StartGdiplus();
  cleanup.m_bGdiplus = true;

  if (!CheckUptime(host)) {
    LogLine("L'ordinateur doit \xEAtre red\xE9marr\xE9 !");
    return End(cleanup, StartupEnd::kUptimeRefused, false, true);
  }

  LogLine("Ligne de commande : " + host.CommandLineForLog());
  if (!host.ParseCommandLine()) {
    LogLine("Fermeture du module apr\xE8s traitement de la ligne de commande.");
    return End(cleanup, StartupEnd::kCommandLineJob, true, true);
  }

  const bool running = host.FindRunningInstance();
  if (host.CloseRequested()) {
    LogLine("Fermeture de toutes les instances du module.");
    if (running) host.CloseRunningInstance();
    return End(cleanup, StartupEnd::kClosedInstances, true, true);
  }
  if (running) {
    LogLine("Transfert vers l'insance pr\xE9""c\xE9""dente.");
    if (!host.CommandLineIsBlank()) host.HandOverCommandLine();
    return End(cleanup, StartupEnd::kHandedOver, true, true);
  }

  const std::wstring images = host.ImagesPath();
  LogPrintf(L"Chemin des images : %ls", images.c_str());
  uint64_t freeBytes = 0, totalBytes = 0;
  host.DiskSpace(images, freeBytes, totalBytes);
  LogPrintf(L"Espace disponible pour les images : %lld / %lld", static_cast<long long>(freeBytes),
            static_cast<long long>(totalBytes));
  if (!HasEnoughImageSpace(freeBytes, totalBytes)) {
    LogLine("Espace insuffisant pour de nouvelles acquisitions !");
    host.ShowTextBox(802, orvaq::mb::kOk | orvaq::mb::kIconError);
    return End(cleanup, StartupEnd::kNoDiskSpace, true, true);
  }

  if (!host.NetworkPreflight()) return End(cleanup, StartupEnd::kPreflightCancelled, false, false);
  host.CreateSkin();
  cleanup.m_bSkin = true;
  host.LoadRichEdit();
  cleanup.m_bRichEdit = true;
  // Another start may have won the race while the pre-flight's boxes were open.
  if (host.FindRunningInstance()) return End(cleanup, StartupEnd::kLostRace, false, false);

  // Only the instance that shows the window recovers, and before it does: a plate of an
  // earlier patient is finished before anything of the new command line can happen.
  host.RecoverPendingPlates();
  host.RunMainWindow();
  return End(cleanup, StartupEnd::kMainWindowClosed, false, true);
}
