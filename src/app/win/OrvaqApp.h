// COrvaqApp: Orvaq's start-up, single instance and shutdown on Windows. The decisions
// are the portable start-up sequence (app/StartupSequence.h); this class carries out
// its steps: the parameters, the logger, GDI+, boxes, windows, the disk and the
// network pre-flight.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/NetworkPreflight.h"
#include "app/StartupSequence.h"
#include "command_line/OneShotJobs.h"
#include "settings/win/KvProfileWin.h"
#include "settings/win/KvSystemWin.h"
#include "ui/win/KvSkinObject.h"

class CKvParameters;

class COrvaqApp : private IStartupHost {
 public:
  // `commandLine` is the line without the program path. `jobs` and `listeners` (may
  // be null: plain socket trial) are not owned.
  COrvaqApp(const std::wstring& commandLine, IOneShotJobs& jobs, ITrialListenerFactory* listeners = nullptr)
      : m_sCommandLine(commandLine), m_Jobs(jobs), m_pListeners(listeners) {}
  ~COrvaqApp();

  // Runs the start-up sequence: false after a normal run (or a cancelled pre-flight),
  // true after the one-shot paths.
  bool InitInstance();

 private:
  HWND FindRunningInstanceWindow();

  // The start-up's steps on Windows.
  void CreateParameters() override;
  void DeleteParameters() override;
  bool TextFileExists() override;
  bool FilterLibraryLoads() override;
  void ShowFatalBox(const wchar_t* text) override;
  void ShowTextBox(int textId, unsigned style) override;
  bool FindRunningInstance() override;
  void StartLogger(bool otherInstanceRunning) override;
  void EndLogger() override;
  void StartGdiplus() override;
  void StopGdiplus() override;
  uint32_t TickCount() override;
  std::string CommandLineForLog() override;
  bool CommandLineIsBlank() override;
  bool ParseCommandLine() override;
  bool CloseRequested() override;
  void CloseRunningInstance() override;
  void HandOverCommandLine() override;
  std::wstring ImagesPath() override;
  void DiskSpace(const std::wstring& folder, uint64_t& freeBytes, uint64_t& totalBytes) override;
  bool NetworkPreflight() override;
  void CreateSkin() override;
  void DeleteSkin() override;
  void LoadRichEdit() override;
  void FreeRichEdit() override;
  void RecoverPendingPlates() override;
  void RunMainWindow() override;
  void RemoveRestartingLine() override;

  std::wstring m_sCommandLine;
  IOneShotJobs& m_Jobs;
  ITrialListenerFactory* m_pListeners;
  CKvProfileWin m_Profile;
  CKvSystemWin m_System;
  CKvParameters* m_pParameters = nullptr;
  std::wstring m_sTitle;
  ULONG_PTR m_nGdiplusToken = 0;
  HMODULE m_hRichEdit = nullptr;
  std::unique_ptr<CKvSkinObject> m_pSkin;
};
