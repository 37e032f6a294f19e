// CFolderPicker: SHBrowseForFolder with a callback that keeps OK usable whatever is selected.
#include "FolderPicker.h"

#include <shlobj.h>

bool CFolderPicker::Browse(HWND owner) {
    IMalloc* allocator = nullptr;
    if (FAILED(::SHGetMalloc(&allocator)) || !allocator)
        return false;

    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = m_pickedPath;
    info.lpszTitle = m_title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    info.lpfn = &CFolderPicker::OnBrowseEvent;
    info.lParam = reinterpret_cast<LPARAM>(this);

    bool chosen = false;
    if (LPITEMIDLIST item = ::SHBrowseForFolderA(&info)) {
        chosen = ::SHGetPathFromIDListA(item, m_pickedPath) != FALSE;
        m_imageIndex = info.iImage;
        allocator->Free(item);
    }
    allocator->Release();
    return chosen;
}

int CALLBACK CFolderPicker::OnBrowseEvent(HWND browser, UINT event, LPARAM, LPARAM data) {
    const auto* picker = reinterpret_cast<const CFolderPicker*>(data);
    if (event == BFFM_INITIALIZED && picker && !picker->m_initial.empty())
        ::SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(picker->m_initial.c_str()));
    // The result is checked after the browser closes, so OK is never greyed out.
    ::SendMessageA(browser, BFFM_ENABLEOK, 0, TRUE);
    return 0;
}
