// CFolderPicker: the shell's folder browser, answering the file-system path of the chosen folder.
#pragma once

#include <windows.h>

#include <string>

class CFolderPicker {
public:
    explicit CFolderPicker(const char* title) : m_title(title) {}

    // Runs the browser owned by owner. True when a folder with a file-system path was
    // chosen; a cancel or a virtual item (such as the root of the drives) answers false.
    bool Browse(HWND owner);
    const char* PickedPath() const { return m_pickedPath; }

private:
    static int CALLBACK OnBrowseEvent(HWND browser, UINT event, LPARAM param, LPARAM data);

    char m_pickedPath[MAX_PATH] = {};
    std::string m_root;     // empty: browsing starts at the desktop
    std::string m_initial;  // empty: nothing preselected
    std::string m_title;
    int m_imageIndex = 0;
};
