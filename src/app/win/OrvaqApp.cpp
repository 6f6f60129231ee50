// Start-up and shutdown (see OrvaqApp.h).
#include "app/win/OrvaqApp.h"

#include <objidl.h>
#include <gdiplus.h>
#include <commctrl.h>

#include "app/CommandLine.h"
#include "app/StartupRules.h"
#include "app/win/LoggerFactoryWin.h"
#include "app/win/PreflightHostWin.h"
#include "logging/KvLogger.h"
#include "settings/KvParameters.h"
#include "ui/win/OrvaqDlg.h"

namespace {

void DeleteParameters(CKvParameters*& params) {
  SetParameters(nullptr);
  delete params;
  params = nullptr;
}

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

HWND COrvaqApp::FindRunningInstance() { return FindWindowW(L"#32770", m_sTitle.c_str()); }

void COrvaqApp::StartGdiplus() {
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&m_nGdiplusToken, &input, nullptr) != Gdiplus::Ok) m_nGdiplusToken = 0;
}

void COrvaqApp::StopGdiplus() {
  if (m_nGdiplusToken) Gdiplus::GdiplusShutdown(m_nGdiplusToken);
  m_nGdiplusToken = 0;
}

void COrvaqApp::EndRun() {
  LogLine("Terminaison du module.");
  ReplaceCurrentLogger(nullptr);
}

int COrvaqApp::MessageBoxText(int textId, UINT style) {
  const std::wstring text = m_pParameters ? m_pParameters->GetText(textId) : std::wstring();
  return MessageBoxW(nullptr, text.c_str(), m_sTitle.c_str(), style);
}

bool COrvaqApp::CheckUptime() {
  switch (JudgeUptime(GetTickCount())) {
    case UptimeVerdict::kRefuse:
      MessageBoxText(800, MB_OK | MB_ICONERROR);
      return false;
    case UptimeVerdict::kAdviseRestart:
      MessageBoxText(801, MB_OK | MB_ICONINFORMATION);
      return true;
    default:
      return true;
  }
}

bool COrvaqApp::NetworkPreflight() {
  CPreflightHostWin host(m_pListeners);
  return ::NetworkPreflight(*m_pParameters, host);
}

bool COrvaqApp::InitInstance() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
  InitCommonControlsEx(&controls);

  m_pParameters = new CKvParameters(m_Profile, m_System);
  SetParameters(m_pParameters);

  if (!m_System.FileExists(m_pParameters->GetTextFilePath())) {
    MessageBoxW(nullptr, L"Unable to load text resources!\nThe program will be closed.", L"Orvaq",
                MB_OK | MB_ICONERROR);
    DeleteParameters(m_pParameters);
    return false;
  }
  HMODULE filter = LoadLibraryW(L"RXFilter.DLL");
  if (!filter) {
    MessageBoxW(nullptr, L"Unable to load dll resources!\nThe program will be closed.", L"Orvaq",
                MB_OK | MB_ICONERROR);
    DeleteParameters(m_pParameters);
    return false;
  }
  FreeLibrary(filter);

  m_sTitle = m_pParameters->GetProgramTitle();

  KvLoggerFactoryWin loggers;
  ReplaceCurrentLogger(CreateStartupLogger(*m_pParameters, FindRunningInstance() != nullptr, loggers));
  StartGdiplus();

  if (!CheckUptime()) {
    LogLine("L'ordinateur doit \xEAtre red\xE9marr\xE9 !");
    StopGdiplus();
    m_pParameters->RemoveRestartingLine();
    DeleteParameters(m_pParameters);
    EndRun();
    return false;
  }

  LogLine("Ligne de commande : " + ToAnsi(m_sCommandLine));

  if (!ParseCommandLine(m_sCommandLine, *m_pParameters, m_Jobs)) {
    LogLine("Fermeture du module apr\xE8s traitement de la ligne de commande.");
    StopGdiplus();
    m_pParameters->RemoveRestartingLine();
    DeleteParameters(m_pParameters);
    EndRun();
    return true;
  }

  bool oneShot = false;
  HWND running = FindRunningInstance();
  if (m_pParameters->m_bClose) {
    LogLine("Fermeture de toutes les instances du module.");
    if (running) PostMessageW(running, WM_CLOSE, 0, 0);
    oneShot = true;
  } else if (running) {
    LogLine("Transfert vers l'insance pr\xE9""c\xE9""dente.");
    if (!IsBlank(m_sCommandLine)) {
      m_pParameters->SetStoredCommandLine(m_sCommandLine);  // written, then flushed
      PostMessageW(running, kMsgRunStoredCommandLine, 0, 0);
    }
    oneShot = true;
  } else {
    const std::wstring images = m_pParameters->GetImagesPath();
    LogPrintf(L"Chemin des images : %ls", images.c_str());
    ULARGE_INTEGER available = {}, total = {};
    GetDiskFreeSpaceExW(images.c_str(), &available, &total, nullptr);
    LogPrintf(L"Espace disponible pour les images : %lld / %lld", static_cast<long long>(available.QuadPart),
              static_cast<long long>(total.QuadPart));
    if (!HasEnoughImageSpace(available.QuadPart, total.QuadPart)) {
      LogLine("Espace insuffisant pour de nouvelles acquisitions !");
      MessageBoxText(802, MB_OK | MB_ICONERROR);
      oneShot = true;
    }
  }

  if (oneShot) {
    m_pParameters->RemoveRestartingLine();
    StopGdiplus();
    DeleteParameters(m_pParameters);
    EndRun();
    return true;
  }

  if (!NetworkPreflight()) {
    StopGdiplus();
    DeleteParameters(m_pParameters);
    EndRun();
    return false;
  }

  HMODULE richEdit = LoadLibraryW(L"RICHED20.DLL");
  if (FindRunningInstance()) {
    // another start won the race while the pre-flight's boxes were open
    DeleteParameters(m_pParameters);
    StopGdiplus();
    if (richEdit) FreeLibrary(richEdit);
    EndRun();
    return false;
  }

  {
    COrvaqDlg dialog(m_Jobs);
    dialog.m_fnRestartLog = [] { RestartLogAfterReadOk(); };
    dialog.DoModal();
  }
  StopGdiplus();
  m_pParameters->RemoveRestartingLine();
  DeleteParameters(m_pParameters);
  if (richEdit) FreeLibrary(richEdit);
  EndRun();
  return false;
}
