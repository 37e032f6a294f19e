// CSnapshotDlg: the snapshots of the index with their states, their check, and the restore and undo
// requests that the boot-time program carries out at the next boot.
#pragma once

#include "Controls.h"
#include "Dialog.h"
#include "RestoreRequest.h"
#include "SnapshotStore.h"

#include <memory>
#include <vector>

class CSnapshotDlg : public tw::CDialog {
public:
    // verdicts: what checks found so far, kept by the main window; todayMissingAtLogon: the log-on
    // start found today's snapshot missing, which the status line says.
    CSnapshotDlg(SnapshotVerdicts* verdicts, bool todayMissingAtLogon);

protected:
    void DoDataExchange(tw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Message handlers.
    void OnIndexUnreadable();
    void OnCheckTimer();
    void OnDestroy();

    // Command handlers.
    void OnCheck();
    void OnRestore(const HiveRequest& request);
    void OnUndo();

    // Reads the index and the folder again and shows them, the selected snapshot kept.
    void ShowListing();
    void AddColumns() const;
    void ShowRowState(int row) const;
    void ShowCheckStatus(const std::string& text) const;
    void UpdateButtons() const;
    // The selected row, or -1.
    int SelectedRow() const;
    // Checks the next section, and records the snapshot's verdict when that was its last.
    void CheckNextSection();
    // Moves the check on to the next queued snapshot; false when none is left.
    bool StartNextCheck();
    void FinishCheck();

    SnapshotVerdicts* m_verdicts;
    bool m_todayMissingAtLogon;
    SnapshotListing m_listing;
    SavedHives m_saved;
    HWND m_list = nullptr;
    tw::CProgressCtrl m_progress;

    // The check in progress: the rows to check, a few sections a timer tick.
    std::vector<int> m_checkQueue;
    size_t m_checkNext = 0;
    int m_sectionsDone = 0;
    SnapFile m_checkFile;
    HiveCheckMemory m_checkMemory;  // shared by the checks one after the other
    std::unique_ptr<SnapshotCheck> m_check;
};
