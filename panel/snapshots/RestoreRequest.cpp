// Restore requests: the prepared hive first, whole and on the disk; the settings keys after it;
// then the question to restart, whose Cancel takes the request back.
#include "RestoreRequest.h"

#include "PanelUtil.h"
#include "ProfileFolder.h"
#include "ProfileStream.h"
#include "Restart.h"
#include "SettingsPath.h"
#include "SnapshotStore.h"

#include <string>
#include <utility>
#include <vector>

namespace {

const char kRestartQuestion[] = "需要重新启动计算机才能完成还原。现在重新启动吗？";
const char kNothingChanged[] = "\n没有做任何更改。";
const char kSavedUserHive[] = "BKDATA3.DAT";
const char kSavedSoftwareHive[] = "system32\\config\\software.twb";

// The settings keys of one request, each key's former value kept so that a failure can put it
// back and a Cancel can take the request back.
class RequestKeys {
public:
    RequestKeys() : m_path(WindowsSettingsPath()), m_file(OpenSettingsFile(m_path)) {}

    bool Opened() const { return static_cast<bool>(m_file); }
    bool Set(const char* key, const char* value) {
        char former[kValueBufferSize] = {};
        ReadIniStream(m_file.Get(), key, former);
        m_former.emplace_back(key, former);
        return WriteIniStream(m_file.Get(), key, value);
    }
    // A key that had no value goes to "000", which asks for nothing.
    void PutBack() {
        for (auto it = m_former.rbegin(); it != m_former.rend(); ++it)
            WriteIniStream(m_file.Get(), it->first, it->second.empty() ? kRequestNone : it->second.c_str());
    }
    void Withdraw() {
        for (const auto& key : m_former)
            WriteIniStream(m_file.Get(), key.first, kRequestNone);
    }
    void ShowFailure(HWND owner) const {
        ShowError(owner, ("无法写入设置文件 " + m_path + "。" + kNothingChanged).c_str());
    }

private:
    std::string m_path;
    tw::UniqueFile m_file;
    std::vector<std::pair<const char*, std::string>> m_former;
};

const char* HiveWords(const HiveRequest& request) {
    return request.section == kUserHiveRequest.section ? "用户设置" : "系统设置";
}

// Whether the checked section may be written, asking about a dirty one; says why not, and what
// became of the request then in *stopped.
bool MayWrite(HWND owner, const SnapshotRow& row, const HiveRequest& request, const SnapshotReport& checked,
              RequestOutcome* stopped) {
    std::string title = SnapshotTitle(row), hive = HiveWords(request);
    const SectionReport& section = checked.sections[request.section];
    *stopped = RequestOutcome::kRefused;
    switch (JudgeSection(checked, request.section)) {
    case SectionUse::kUsable: return true;
    case SectionUse::kDirty: {
        std::string question = title + "中的" + hive +
                               "在保存时没有正常关闭（快照中没有它的日志），可能只保存了一半。\n仍要用它还原吗？";
        *stopped = RequestOutcome::kWithdrawn;
        return AskOkCancel(owner, question.c_str());
    }
    case SectionUse::kEmpty: ShowError(owner, (title + "中没有" + hive + "，不能用来还原。").c_str()); break;
    case SectionUse::kUnreadable:
        ShowError(owner, (title + "已损坏（" + DescribeFault(checked.fileFault) + "），不能用来还原" + hive + "。").c_str());
        break;
    case SectionUse::kDamaged:
        ShowError(owner, (title + "中的" + hive + "已损坏（" + DescribeFault(section.fault) + "），不能用来还原。").c_str());
        break;
    }
    return false;
}

std::string WriteFailureText(WriteOutcome outcome, const SnapPath& target) {
    std::string path = ShowPath(target);
    switch (outcome) {
    case WriteOutcome::kCannotWrite: return "无法写入 " + path + "，磁盘空间可能不足。" + kNothingChanged;
    case WriteOutcome::kCannotRename: return "无法把还原文件放到 " + path + "。" + kNothingChanged;
    default: return "无法创建 " + path + "，所在的文件夹可能不存在或是只读的。" + kNothingChanged;
    }
}

// Asks to restart; Cancel takes the request back, and withdrawFile removes what it prepared.
RequestOutcome AskRestart(HWND owner, RequestKeys* keys, const SnapPath* preparedFile) {
    if (AskOkCancel(owner, kRestartQuestion)) {
        RestartComputer();
        return RequestOutcome::kRestarting;
    }
    keys->Withdraw();
    if (preparedFile)
        RemoveFile(*preparedFile);
    return RequestOutcome::kWithdrawn;
}

}  // namespace

RequestOutcome RequestHiveRestore(HWND owner, const SnapshotRow& row, const HiveRequest& request,
                                  SnapshotReport* checked) {
    *checked = SnapshotReport();
    SnapPath snapshot = SnapshotFile(row.fileName);
    SnapFile file;
    if (!UseThisInstallation() || !file.OpenForReading(snapshot)) {
        ShowError(owner, ("找不到" + SnapshotTitle(row) + "文件 " + ShowPath(snapshot) + "。" + kNothingChanged).c_str());
        return RequestOutcome::kFailed;
    }
    if (!CheckSection(&file, request.section, checked)) {
        ShowError(owner, ("无法读取" + SnapshotTitle(row) + "文件 " + ShowPath(snapshot) + "。" + kNothingChanged).c_str());
        return RequestOutcome::kFailed;
    }
    RequestOutcome stopped;
    if (!MayWrite(owner, row, request, *checked, &stopped))
        return stopped;

    // The settings file first: a request that could not be set must leave no file behind.
    RequestKeys keys;
    if (!keys.Opened()) {
        keys.ShowFailure(owner);
        return RequestOutcome::kFailed;
    }
    SnapPath prepared = SnapPath::InWindows(request.prepared);
    WriteOutcome written = WriteSectionOver(&file, checked->sections[request.section], prepared);
    if (written != WriteOutcome::kWritten) {
        ShowError(owner, WriteFailureText(written, prepared).c_str());
        return RequestOutcome::kFailed;
    }
    if (!keys.Set(request.key, kRequestRestore) || !keys.Set(kSignRunKey, kRequestRestore)) {
        keys.PutBack();
        RemoveFile(prepared);
        keys.ShowFailure(owner);
        return RequestOutcome::kFailed;
    }
    return AskRestart(owner, &keys, &prepared);
}

SavedHives FindSavedHives() {
    SavedHives saved;
    if (!UseThisInstallation())
        return saved;
    tw::UniqueFile settings = OpenSettingsFile(WindowsSettingsPath());
    char userpath[kValueBufferSize] = {};
    std::string folder;
    if (settings && ReadIniStream(settings.Get(), "userpath", userpath) && FolderOfUserPath(userpath, &folder))
        saved.user = PathExists(SnapPath::OnHost(folder + "\\" + kSavedUserHive));
    saved.software = PathExists(SnapPath::InWindows(kSavedSoftwareHive));
    return saved;
}

RequestOutcome RequestUndo(HWND owner, const SavedHives& saved) {
    RequestKeys keys;
    bool set = keys.Opened() && (!saved.user || keys.Set(kUserHiveRequest.key, kRequestUndo)) &&
               (!saved.software || keys.Set(kSoftwareHiveRequest.key, kRequestUndo)) &&
               keys.Set(kSignRunKey, kRequestUndo);
    if (!set) {
        keys.PutBack();
        keys.ShowFailure(owner);
        return RequestOutcome::kFailed;
    }
    return AskRestart(owner, &keys, nullptr);
}
