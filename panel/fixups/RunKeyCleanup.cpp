// CleanRunKey: every autostart value of one root whose program is missing is deleted.
#include "RunKeyCleanup.h"

#include "Handles.h"
#include "PathChecks.h"
#include "RegistryText.h"

namespace {
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const DWORD kIndexLimit = 280;
const DWORD kMaxCommand = 255;
}  // namespace

void CleanRunKey(HKEY root) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(root, kRunKey, 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
        return;
    tw::UniqueKey key(opened);
    for (DWORD index = 0; index < kIndexLimit;) {
        std::string name;
        DWORD type = REG_NONE;
        LONG status = EnumValueName(key.Get(), index, &name, &type);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        std::string command;
        if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) &&
            ReadValueText(key.Get(), name.c_str(), kMaxCommand, &command) && !CheckRunPath(command.c_str()) &&
            ::RegDeleteValueA(key.Get(), name.c_str()) == ERROR_SUCCESS)
            continue;  // the next value has moved into this index
        ++index;
    }
}
