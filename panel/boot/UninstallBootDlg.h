// CUninstallBootDlg: the removal runs on the first tick, then the bar fills and "完成" becomes usable.
#pragma once

#include "TimedProgressDlg.h"

class CUninstallBootDlg : public CTimedProgressDlg {
public:
    CUninstallBootDlg();

    // Whether the first tick came and the removal ran before the dialog closed.
    bool RemovalRan() const { return StepsStarted(); }

protected:
    void RunStep(Step step) override;
};
