// Orvaq.exe's entry point: everything happens in COrvaqApp::InitInstance; no message
// loop follows it because no main window remains.
#include <windows.h>

#include "app/win/OrvaqApp.h"
#include "imaging/win/OneShotJobsWin.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  COneShotJobsWin jobs;
  COrvaqApp app(commandLine ? commandLine : L"", jobs);
  app.InitInstance();
  return 0;
}
