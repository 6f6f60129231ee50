// CAcquisitionHostWin: the controller's effects on the real dialog window (timers, posted
// messages, message boxes, beeps, repaint, tick count, system error texts, local time,
// the raw file through CreateFileW), and the scanner-link objects bound to the dialog.
// The work of the other parts of the dialog are hooks that its owner fills.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "acquisition/AcquisitionHost.h"
#include "settings/win/KvSystemWin.h"

class IKvAdapterSource;

class CAcquisitionHostWin : public IAcquisitionHost {
 public:
  // `dialog` receives timers and WM_COMMAND; `mainWindow` the posted 0x465 requests (the
  // main dialog is normally both). `adapters` may be null (no adapter is then found).
  CAcquisitionHostWin(HWND dialog, HWND mainWindow, IKvAdapterSource* adapters);

  // Caption of the message boxes (text 1000).
  void SetCaption(const std::wstring& caption) { m_sCaption = caption; }

  // Factories of the scanner-link objects (the real ones by default; replaceable), and
  // hooks for the work owned by other parts of the program (empty by default).
  std::function<std::unique_ptr<CHttpClient>(const std::wstring&, const std::wstring&, const std::wstring&)>
      createHttpClient;
  std::function<std::unique_ptr<IStatusListener>(const std::wstring&)> createStatusListener;
  std::function<std::unique_ptr<IImageClient>(uint16_t)> createImageClient;
  std::function<void()> restartLogFile;
  std::function<bool()> reconstruct;
  std::function<void()> multiPlateReconstruction;
  std::function<void()> folderWatch;
  std::function<void(uint32_t)> baseTimer;

  uint32_t GetTickCount() override;
  void SetTimer(uint32_t id, uint32_t periodMs) override;
  void KillTimer(uint32_t id) override;
  void PostCommand(int id) override;
  void PostHardwareInfos(int type) override;
  int ShowMessageBox(int textId, const std::wstring& text, unsigned style) override;
  void Beep() override;
  void Repaint() override;
  void ShowReservationButton(bool show) override;
  void Sleep(uint32_t ms) override;
  std::wstring SystemErrorText(uint32_t code) override;
  AcqLocalTime LocalTime() override;
  void RestartLogFile() override;
  std::unique_ptr<CHttpClient> CreateHttpClient(const std::wstring& host, const std::wstring& originHost,
                                                const std::wstring& mac) override;
  std::unique_ptr<IStatusListener> CreateStatusListener(const std::wstring& bindAddress) override;
  std::unique_ptr<IImageClient> CreateImageClient(uint16_t port) override;
  bool LookupAdapter(const std::wstring& description, std::wstring& addresses, std::wstring& mac) override;
  IKvSystem& System() override { return m_System; }
  bool ReconstructAcquisition() override;
  void RunMultiPlateReconstruction() override;
  void OnFolderWatchTimer() override;
  void OnBaseTimer(uint32_t id) override;

 private:
  HWND m_hDialog;
  HWND m_hMainWindow;
  IKvAdapterSource* m_pAdapters;
  std::wstring m_sCaption;
  CKvSystemWin m_System;
};

