// COrvaqDlg: Orvaq's main window. For now a plain dialog (template 102, caption text
// 1000) on CKvDialog that takes the hand-over of a second start's command line.
#pragma once

#include "ui/win/KvDialog.h"

class COrvaqDlg : public CKvDialog {
 public:
  static constexpr int kTemplateId = 102;
  explicit COrvaqDlg(IOneShotJobs& jobs) : CKvDialog(kTemplateId, jobs) {}

 protected:
  void OnRunStoredCommandLine() override;
};
