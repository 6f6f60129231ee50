// Start-up and shutdown (see OrvaqApp.h).
#include "app/win/OrvaqApp.h"

#include <objidl.h>
#include <gdiplus.h>
#include <commctrl.h>

#include "command_line/CommandLine.h"
#include "app/StartupRules.h"
#include "app/StartupSequence.h"
#include "app/win/LoggerFactoryWin.h"
#include "app/win/PreflightHostWin.h"
#include "acquisition/win/ReconstructionWin.h"
#include "common/win/KvHandle.h"
#include "logging/KvLogger.h"
#include "settings/KvParameters.h"
#include "ui/win/KvSkinObject.h"
#include "ui/win/OrvaqDlg.h"

namespace {

// The command line as the log's ANSI code page shows it.
std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

bool IsBlank(const std::wstring& text) { return text.find_first_not_of(L" \t\r\n") == std::wstring::npos; }

}  // namespace

HWND COrvaqApp::FindRunningInstanceWindow() { return FindWindowW(L"#32770", m_sTitle.c_str()); }

bool COrvaqApp::InitInstance() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
  InitCommonControlsEx(&controls);
  return RunStartup(*this).result;
}

// ------------------------------------------------------------------ the start-up's steps

void COrvaqApp::CreateParameters() {
  m_pParameters = new CKvParameters(m_Profile, m_System);
  SetParameters(m_pParameters);
}

void COrvaqApp::DeleteParameters() {
  SetParameters(nullptr);
  delete m_pParameters;
  m_pParameters = nullptr;
}

bool COrvaqApp::TextFileExists() { return m_System.FileExists(m_pParameters->GetTextFilePath()); }

bool COrvaqApp::FilterLibraryLoads() {
  HMODULE filter = LoadLibraryW(L"RXFilter.DLL");
  if (!filter) return false;
  FreeLibrary(filter);
  return true;
}

void COrvaqApp::ShowFatalBox(const wchar_t* text) { MessageBoxW(nullptr, text, L"Orvaq", MB_OK | MB_ICONERROR); }

void COrvaqApp::ShowTextBox(int textId, unsigned style) {
  const std::wstring text = m_pParameters ? m_pParameters->GetText(textId) : std::wstring();
  MessageBoxW(nullptr, text.c_str(), m_sTitle.c_str(), style);
}

bool COrvaqApp::FindRunningInstance() {
  // The caption to look for is text 1000, known once the parameters are.
  if (m_sTitle.empty() && m_pParameters) m_sTitle = m_pParameters->GetProgramTitle();
  return FindRunningInstanceWindow() != nullptr;
}

void COrvaqApp::StartLogger(bool otherInstanceRunning) {
  CKvLoggerFactoryWin loggers;
  ReplaceCurrentLogger(CreateStartupLogger(*m_pParameters, otherInstanceRunning, loggers));
}

void COrvaqApp::EndLogger() { ReplaceCurrentLogger(nullptr); }

void COrvaqApp::StartGdiplus() {
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&m_nGdiplusToken, &input, nullptr) != Gdiplus::Ok) m_nGdiplusToken = 0;
}

void COrvaqApp::StopGdiplus() {
  if (m_nGdiplusToken) Gdiplus::GdiplusShutdown(m_nGdiplusToken);
  m_nGdiplusToken = 0;
}

uint32_t COrvaqApp::TickCount() { return GetTickCount(); }

std::string COrvaqApp::CommandLineForLog() { return ToAnsi(m_sCommandLine); }

bool COrvaqApp::CommandLineIsBlank() { return IsBlank(m_sCommandLine); }

bool COrvaqApp::ParseCommandLine() { return ::ParseCommandLine(m_sCommandLine, *m_pParameters, m_Jobs); }

bool COrvaqApp::CloseRequested() { return m_pParameters->m_bClose; }

void COrvaqApp::CloseRunningInstance() {
  if (HWND running = FindRunningInstanceWindow()) PostMessageW(running, WM_CLOSE, 0, 0);
}

void COrvaqApp::HandOverCommandLine() {
  m_pParameters->SetStoredCommandLine(m_sCommandLine);  // written, then flushed
  if (HWND running = FindRunningInstanceWindow()) PostMessageW(running, kMsgRunStoredCommandLine, 0, 0);
}

std::wstring COrvaqApp::ImagesPath() { return m_pParameters->GetImagesPath(); }

void COrvaqApp::DiskSpace(const std::wstring& folder, uint64_t& freeBytes, uint64_t& totalBytes) {
  ULARGE_INTEGER available = {}, total = {};
  GetDiskFreeSpaceExW(folder.c_str(), &available, &total, nullptr);
  freeBytes = available.QuadPart;
  totalBytes = total.QuadPart;
}

bool COrvaqApp::NetworkPreflight() {
  CPreflightHostWin host(m_pListeners);
  return ::NetworkPreflight(*m_pParameters, host);
}

COrvaqApp::~COrvaqApp() = default;

void COrvaqApp::CreateSkin() {
  m_pSkin.reset(new CKvSkinObject);
  SetSkinObject(m_pSkin.get());
}

void COrvaqApp::DeleteSkin() {
  SetSkinObject(nullptr);
  m_pSkin.reset();
}

void COrvaqApp::LoadRichEdit() { m_hRichEdit = LoadLibraryW(L"RICHED20.DLL"); }

void COrvaqApp::FreeRichEdit() {
  if (m_hRichEdit) FreeLibrary(m_hRichEdit);
  m_hRichEdit = nullptr;
}

void COrvaqApp::RecoverPendingPlates() {
  // Two starts at the same moment would both find the plates before either window
  // exists: the one that holds this mutex recovers, the other leaves them to it.
  CKvObjectHandle guard(CreateMutexW(nullptr, FALSE, L"Orvaq.PlaquesEnAttente"));
  if (!guard || WaitForSingleObject(guard.Get(), 0) != WAIT_OBJECT_0) return;
  RecoverPendingPlatesWin(*m_pParameters, [](const std::wstring& name) {
    CKvSkinObject* skin = GetSkinObject();
    return skin ? skin->Picture(name) : nullptr;
  });
  ReleaseMutex(guard.Get());
}

void COrvaqApp::RunMainWindow() {
  COrvaqDlg dialog(m_Jobs);
  dialog.m_fnRestartLog = [] { RestartLogAfterReadOk(); };
  dialog.DoModal();
}

void COrvaqApp::RemoveRestartingLine() { m_pParameters->RemoveRestartingLine(); }
