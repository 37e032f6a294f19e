// Favorites transfer and restore through SHFileOperation; the source folder itself lands inside the destination.
#include "FavoritesTransfer.h"

#include "PanelUtil.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

namespace {

struct CopyTexts {
    const char* choosePath;
    const char* finished;
    const char* notFinished;
};
const CopyTexts kTransferTexts = {"请选择转移路径！", "转移完成", "转移未完成：复制失败或已取消。"};
const CopyTexts kRestoreTexts = {"请选择还原路径！", "还原完成", "还原未完成：复制失败或已取消。"};
const char kNoFavorites[] = "找不到收藏夹，未复制任何文件。";

// A shell file list: one path followed by two NULs.
std::vector<char> FileList(const std::string& path) {
    std::vector<char> list(path.begin(), path.end());
    list.push_back('\0');
    list.push_back('\0');
    return list;
}

// The current user's Favorites folder, never created; empty when the shell names none.
std::string FavoritesFolder(HWND owner) {
    char path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathA(owner, path, CSIDL_FAVORITES, FALSE))
        return std::string();
    return path;
}

// True only when the shell copied everything: neither an error nor a cancel.
bool ShellCopy(HWND owner, const std::string& from, const std::string& to) {
    std::vector<char> source = FileList(from);
    std::vector<char> destination = FileList(to);
    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = owner;
    operation.wFunc = FO_COPY;
    operation.pFrom = source.data();
    operation.pTo = destination.data();
    operation.fFlags = FOF_SIMPLEPROGRESS;
    operation.fAnyOperationsAborted = FALSE;
    operation.lpszProgressTitle = "progress";
    int result = ::SHFileOperationA(&operation);
    return result == 0 && !operation.fAnyOperationsAborted;
}

void CopyFavorites(HWND owner, const std::string& chosenPath, bool toChosen, const CopyTexts& texts) {
    if (chosenPath.empty()) {
        ShowNotice(owner, texts.choosePath);
        return;
    }
    ::CoInitialize(nullptr);
    // Without the Favorites folder an empty list would name the current folder.
    std::string favorites = FavoritesFolder(owner);
    if (favorites.empty()) {
        ShowNotice(owner, kNoFavorites);
        return;
    }
    bool copied = toChosen ? ShellCopy(owner, favorites, chosenPath) : ShellCopy(owner, chosenPath, favorites);
    ShowNotice(owner, copied ? texts.finished : texts.notFinished);
}

}  // namespace

void TransferFavorites(HWND owner, const std::string& chosenPath) {
    CopyFavorites(owner, chosenPath, true, kTransferTexts);
}

void RestoreFavorites(HWND owner, const std::string& chosenPath) {
    CopyFavorites(owner, chosenPath, false, kRestoreTexts);
}
