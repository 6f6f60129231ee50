// Main window (see OrvaqDlg.h).
#include "ui/win/OrvaqDlg.h"

#include "logging/KvLogger.h"
#include "settings/KvParameters.h"

void COrvaqDlg::OnRunStoredCommandLine() {
  // Logged so service staff can see what a second start handed over.
  if (CKvParameters* params = GetParameters()) {
    const std::wstring line = params->GetStoredCommandLine();
    if (LogPrintf(L"Ligne de commande re\xE7ue : %ls", line.c_str()) != 0)
      LogLine("Ligne de commande re\xE7ue (caract\xE8res hors Latin-1).");
  }
  CKvDialog::OnRunStoredCommandLine();
}
