// The start-up of Orvaq as one sequence of decisions over the steps the platform carries
// out: the fatal checks, the logger, the uptime boxes, the command line and its one-shot
// jobs, /close and the hand-over to a running instance, the disk-space floor, the network
// pre-flight, the race re-check and the main window. One scope guard undoes what was set
// up, in one order, on every end path.
#pragma once

#include <cstdint>
#include <string>

#include "common/MessageBox.h"

// What the sequence asks of the platform (Windows in win/, a script in the tests).
class IStartupHost {
 public:
  virtual ~IStartupHost() = default;
  virtual void CreateParameters() = 0;  // the process-wide CKvParameters
  virtual void DeleteParameters() = 0;
  virtual bool TextFileExists() = 0;
  virtual bool FilterLibraryLoads() = 0;  // loaded by name and freed at once
  // A box with no owner, caption "Orvaq" and the error icon.
  virtual void ShowFatalBox(const wchar_t* text) = 0;
  // A box of text `textId`, caption text 1000.
  virtual void ShowTextBox(int textId, unsigned style) = 0;
  virtual bool FindRunningInstance() = 0;
  virtual void StartLogger(bool otherInstanceRunning) = 0;
  virtual void EndLogger() = 0;  // the process-wide logger goes
  virtual void StartGdiplus() = 0;
  virtual void StopGdiplus() = 0;
  virtual uint32_t TickCount() = 0;
  virtual std::string CommandLineForLog() = 0;  // in the log's code page
  virtual bool CommandLineIsBlank() = 0;
  // Parses the command line into the parameters; false when it ran the one-shot image job.
  virtual bool ParseCommandLine() = 0;
  virtual bool CloseRequested() = 0;  // "/close"
  virtual void CloseRunningInstance() = 0;
  // Stores the command line for the running instance and tells it.
  virtual void HandOverCommandLine() = 0;
  virtual std::wstring ImagesPath() = 0;
  // Free bytes for the user and total bytes of the folder's volume (0, 0 when unknown).
  virtual void DiskSpace(const std::wstring& folder, uint64_t& freeBytes, uint64_t& totalBytes) = 0;
  virtual bool NetworkPreflight() = 0;  // false: the user cancelled a firewall repair
  virtual void CreateSkin() = 0;  // the process-wide skin pictures (needs GDI+)
  virtual void DeleteSkin() = 0;
  virtual void LoadRichEdit() = 0;
  virtual void FreeRichEdit() = 0;
  // Reconstructs the plates a run before this one acknowledged but did not finish, each
  // for the patient of its own record (needs GDI+ and the skin's marks).
  virtual void RecoverPendingPlates() = 0;
  virtual void RunMainWindow() = 0;  // modal; returns when it closes
  virtual void RemoveRestartingLine() = 0;
};


enum class StartupEnd {
  kNoTextFile,
  kNoFilterLibrary,
  kUptimeRefused,
  kCommandLineJob,
  kClosedInstances,
  kHandedOver,
  kNoDiskSpace,
  kPreflightCancelled,
  kLostRace,
  kMainWindowClosed,
};

struct StartupOutcome {
  StartupEnd end;
  bool result;  // what InitInstance returns: true after the one-shot paths
};

// The uptime boxes: text 801 after 31 days, text 800 and false from 45 days on.
bool CheckUptime(IStartupHost& host);

StartupOutcome RunStartup(IStartupHost& host);
