// COrvaqApp: Orvaq's start-up, single instance and shutdown. InitInstance creates the
// process-wide objects in order, runs the environment checks and the network
// pre-flight, hands a command line over to a running instance or runs the main window
// modally, and tears everything down in reverse order.
#pragma once

#include <windows.h>

#include <string>

#include "app/NetworkPreflight.h"
#include "app/OneShotJobs.h"
#include "settings/win/KvProfileWin.h"
#include "settings/win/KvSystemWin.h"

class CKvParameters;

class COrvaqApp {
 public:
  // `commandLine` is the line without the program path. `jobs` and `listeners` (may
  // be null: plain socket trial) are not owned.
  COrvaqApp(const std::wstring& commandLine, IOneShotJobs& jobs, ITrialListenerFactory* listeners = nullptr)
      : m_sCommandLine(commandLine), m_Jobs(jobs), m_pListeners(listeners) {}

  // False after a normal run (or a cancelled pre-flight), true after the one-shot paths.
  bool InitInstance();
  // False when the machine has run too long to start.
  bool CheckUptime();
  // False when the user cancelled a firewall repair.
  bool NetworkPreflight();

 private:
  HWND FindRunningInstance();
  void StartGdiplus();
  void StopGdiplus();
  void EndRun();  // "Terminaison du module." and the logger's end
  int MessageBoxText(int textId, UINT style);

  std::wstring m_sCommandLine;
  IOneShotJobs& m_Jobs;
  ITrialListenerFactory* m_pListeners;
  KvProfileWin m_Profile;
  KvSystemWin m_System;
  CKvParameters* m_pParameters = nullptr;
  std::wstring m_sTitle;
  ULONG_PTR m_nGdiplusToken = 0;
};
