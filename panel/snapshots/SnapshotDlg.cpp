// CSnapshotDlg: the list of snapshots, the check spread over timer ticks, and the requests.
#include "SnapshotDlg.h"

#include "PanelUtil.h"
#include "SettingsValues.h"
#include "resource.h"

#include <commctrl.h>

#include <cstdio>

namespace {

const UINT_PTR kCheckTimer = 3;
// A tick checks sections, at least one, until this much time has passed or input waits: a tick
// for each small section would leave the check waiting for ticks more than reading, while the
// window still answers a click after one section and paints twice a second.
const DWORD kCheckSliceMs = 500;

bool InputWaits() { return HIWORD(::GetQueueStatus(QS_INPUT)) != 0; }
const UINT kIndexUnreadableMessage = WM_APP + 1;  // once the dialog shows

enum Column { kDateColumn, kKindColumn, kSizeColumn, kStateColumn };

void SetCellText(HWND list, int row, int column, const std::string& text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

CSnapshotDlg::CSnapshotDlg(SnapshotVerdicts* verdicts, bool todayMissingAtLogon)
    : tw::CDialog(IDD_SNAPSHOTS), m_verdicts(verdicts), m_todayMissingAtLogon(todayMissingAtLogon) {}

void CSnapshotDlg::DoDataExchange(tw::CDataExchange& dx) { tw::DDX_Control(dx, IDC_PROGRESS, m_progress); }

BOOL CSnapshotDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_list = GetDlgItem(IDC_SNAPSHOT_LIST);
    ::SendMessageA(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    AddColumns();
    ShowListing();
    if (!m_listing.indexRead)
        ::PostMessageA(m_hWnd, kIndexUnreadableMessage, 0, 0);
    return TRUE;
}

void CSnapshotDlg::AddColumns() const {
    struct ColumnSpec {
        const char* title;
        int percent;
        int format;
    };
    const ColumnSpec columns[] = {
        {"日期", 30, LVCFMT_LEFT}, {"类型", 20, LVCFMT_LEFT}, {"大小", 22, LVCFMT_RIGHT}, {"状态", 24, LVCFMT_LEFT}};
    RECT client = {};
    ::GetClientRect(m_list, &client);
    for (int index = 0; index < 4; ++index) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = columns[index].format;
        column.cx = client.right * columns[index].percent / 100;
        column.pszText = const_cast<char*>(columns[index].title);
        ::SendMessageA(m_list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
    }
}

// ---------------------------------------------------------------- the list

void CSnapshotDlg::ShowListing() {
    int selected = SelectedRow();
    std::string selectedName = selected >= 0 ? m_listing.rows[selected].fileName : std::string();
    m_listing = ReadSnapshotListing(*m_verdicts);
    m_saved = FindSavedHives();
    // The rows are made with the list's drawing off: one paint for all of them.
    ::SendMessageA(m_list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageA(m_list, LVM_DELETEALLITEMS, 0, 0);
    for (int row = 0; row < static_cast<int>(m_listing.rows.size()); ++row) {
        const SnapshotRow& snapshot = m_listing.rows[row];
        std::string date = snapshot.kind == SnapshotKind::kInstallation ? "—" : snapshot.date;
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>(date.c_str());
        ::SendMessageA(m_list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        SetCellText(m_list, row, kKindColumn, KindText(snapshot.kind));
        ShowRowState(row);
        if (snapshot.fileName == selectedName || (selectedName.empty() && row == 0)) {
            ListView_SetItemState(m_list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        }
    }
    ::SendMessageA(m_list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_list, nullptr, TRUE);
    BootRestoreRecord bootRestore = ReadBootRestoreRecord();
    std::string status = SnapshotStatusText(m_listing.rows, m_todayMissingAtLogon,
                                            BootRestoreText(bootRestore.day, bootRestore.from));
    ::SetDlgItemTextA(m_hWnd, IDC_SNAPSHOT_STATUS, status.c_str());
    UpdateButtons();
}

void CSnapshotDlg::ShowRowState(int row) const {
    const SnapshotRow& snapshot = m_listing.rows[row];
    SetCellText(m_list, row, kSizeColumn, SizeText(snapshot));
    SetCellText(m_list, row, kStateColumn, StateText(snapshot.state));
}

void CSnapshotDlg::ShowCheckStatus(const std::string& text) const {
    ::SetDlgItemTextA(m_hWnd, IDC_CHECK_STATUS, text.c_str());
}

int CSnapshotDlg::SelectedRow() const {
    int row = m_list ? static_cast<int>(::SendMessageA(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED))
                     : -1;
    return row >= 0 && row < static_cast<int>(m_listing.rows.size()) ? row : -1;
}

// A damaged or missing snapshot is never restored from; nothing is requested while a check runs.
void CSnapshotDlg::UpdateButtons() const {
    bool checking = m_check != nullptr;
    int row = SelectedRow();
    bool usable = !checking && row >= 0 && m_listing.rows[row].state != SnapshotState::kDamaged &&
                  m_listing.rows[row].state != SnapshotState::kMissing;
    ::EnableWindow(GetDlgItem(IDC_CHECK), !checking && !m_listing.rows.empty());
    ::EnableWindow(GetDlgItem(IDC_RESTORE_USER), usable);
    ::EnableWindow(GetDlgItem(IDC_RESTORE_SYSTEM), usable);
    ::EnableWindow(GetDlgItem(IDC_UNDO_RESTORE), !checking && m_saved.Any());
}

// ---------------------------------------------------------------- messages

LRESULT CSnapshotDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_TIMER:
        if (wParam == kCheckTimer) {
            OnCheckTimer();
            return 0;
        }
        break;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        // Only a change of the selection changes the buttons, not the text a row shows.
        if (header->idFrom == IDC_SNAPSHOT_LIST && header->code == LVN_ITEMCHANGED &&
            (reinterpret_cast<const NMLISTVIEW*>(lParam)->uChanged & LVIF_STATE))
            UpdateButtons();
        break;
    }
    case kIndexUnreadableMessage: OnIndexUnreadable(); return 0;
    case WM_DESTROY: OnDestroy(); break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CSnapshotDlg::OnIndexUnreadable() {
    ShowError(m_hWnd, ("无法读取快照索引 " + IndexPathShown() + "，列表中没有快照。").c_str());
}

void CSnapshotDlg::OnDestroy() { ::KillTimer(m_hWnd, kCheckTimer); }

bool CSnapshotDlg::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDC_CHECK: OnCheck(); return true;
    case IDC_RESTORE_USER: OnRestore(kUserHiveRequest); return true;
    case IDC_RESTORE_SYSTEM: OnRestore(kSoftwareHiveRequest); return true;
    case IDC_UNDO_RESTORE: OnUndo(); return true;
    }
    return CDialog::OnCommand(id, code, control);
}

// ---------------------------------------------------------------- the check

// Queues every snapshot on the disk that no verdict covers (never checked, or written since).
void CSnapshotDlg::OnCheck() {
    ShowListing();
    m_checkQueue.clear();
    for (int row = 0; row < static_cast<int>(m_listing.rows.size()); ++row) {
        if (m_listing.rows[row].state == SnapshotState::kUnchecked)
            m_checkQueue.push_back(row);
    }
    m_checkNext = 0;
    m_sectionsDone = 0;
    m_progress.SetRange(0, static_cast<int>(m_checkQueue.size()) * kSnapshotSections);
    m_progress.SetPos(0);
    if (!StartNextCheck()) {
        FinishCheck();
        return;
    }
    UpdateButtons();
    ::SetTimer(m_hWnd, kCheckTimer, USER_TIMER_MINIMUM, nullptr);
    OnCheckTimer();  // the first tick at once
}

bool CSnapshotDlg::StartNextCheck() {
    m_check.reset();
    m_checkFile.Close();
    while (m_checkNext < m_checkQueue.size()) {
        const SnapshotRow& row = m_listing.rows[m_checkQueue[m_checkNext]];
        if (m_checkFile.OpenForReading(SnapshotFile(row.fileName))) {
            m_check.reset(new SnapshotCheck(&m_checkFile, &m_checkMemory));
            ShowCheckStatus("正在检查" + SnapshotTitle(row) + "……");
            return true;
        }
        m_listing.rows[m_checkQueue[m_checkNext]].state = SnapshotState::kMissing;  // gone since the listing
        ShowRowState(m_checkQueue[m_checkNext]);
        ++m_checkNext;
    }
    return false;
}

// The sections of a tick: the window answers between ticks.
void CSnapshotDlg::OnCheckTimer() {
    if (!m_check)
        return;
    DWORD start = ::GetTickCount();
    do
        CheckNextSection();
    while (m_check && ::GetTickCount() - start < kCheckSliceMs && !InputWaits());
    m_progress.SetPos(m_sectionsDone);
}

void CSnapshotDlg::CheckNextSection() {
    m_check->CheckNextSection();
    ++m_sectionsDone;
    if (m_check->Done()) {
        int row = m_checkQueue[m_checkNext];
        SnapshotRow& snapshot = m_listing.rows[row];
        SnapshotVerdict& verdict = (*m_verdicts)[LowerCase(snapshot.fileName)];
        verdict.size = snapshot.file.size;
        verdict.written = snapshot.file.written;
        verdict.report = m_check->report();
        snapshot.state = StateOfReport(verdict.report);
        ShowRowState(row);
        m_sectionsDone = static_cast<int>(++m_checkNext) * kSnapshotSections;
        if (!StartNextCheck())
            FinishCheck();
    }
}

void CSnapshotDlg::FinishCheck() {
    ::KillTimer(m_hWnd, kCheckTimer);
    m_check.reset();
    m_checkFile.Close();
    int counts[5] = {};
    for (const SnapshotRow& row : m_listing.rows)
        ++counts[static_cast<int>(row.state)];
    char text[160];
    std::snprintf(text, sizeof text, "检查完毕：%d 个完好，%d 个有警告，%d 个已损坏",
                  counts[static_cast<int>(SnapshotState::kSound)], counts[static_cast<int>(SnapshotState::kWarning)],
                  counts[static_cast<int>(SnapshotState::kDamaged)]);
    ShowCheckStatus(text);
    m_progress.SetPos(m_sectionsDone);
    UpdateButtons();
}

// ---------------------------------------------------------------- requests

void CSnapshotDlg::OnRestore(const HiveRequest& request) {
    int row = SelectedRow();
    if (row < 0)
        return;
    SnapshotRow snapshot = m_listing.rows[row];
    SnapshotReport checked;
    RequestOutcome outcome = RequestHiveRestore(m_hWnd, snapshot, request, &checked);
    // A damaged section found now marks its snapshot; a sound one says nothing of the others.
    if (StateOfReport(checked) == SnapshotState::kDamaged) {
        SnapshotVerdict& verdict = (*m_verdicts)[LowerCase(snapshot.fileName)];
        verdict.size = snapshot.file.size;
        verdict.written = snapshot.file.written;
        verdict.report = checked;
    }
    if (outcome != RequestOutcome::kRestarting)
        ShowListing();
}

void CSnapshotDlg::OnUndo() {
    if (RequestUndo(m_hWnd, m_saved) != RequestOutcome::kRestarting)
        ShowListing();
}
