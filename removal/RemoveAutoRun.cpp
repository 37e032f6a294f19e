// The log-on autostart value as the removal sees it: read, understood and deleted; shared by the panel and the uninstaller library.
#include "AutoRun.h"

#include "Handles.h"

#include <cstring>

namespace {

// Registry text is at most 255 bytes.
const DWORD kValueBufferSize = 256;

}  // namespace

LONG RemoveAutoRun() {
    HKEY key = nullptr;
    LONG result = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKeyPath, 0, KEY_ALL_ACCESS, &key);
    if (result == ERROR_SUCCESS) {
        tw::UniqueKey run(key);
        result = ::RegDeleteValueA(run.Get(), kAutoRunValueName);
    }
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

std::string ReadAutoRun() {
    tw::UniqueKey run = tw::OpenMachineKey(kRunKeyPath, KEY_QUERY_VALUE);
    char value[kValueBufferSize] = {};
    DWORD size = sizeof value - 1;  // room for a NUL the stored text may lack
    DWORD type = 0;
    if (!run || ::RegQueryValueExA(run.Get(), kAutoRunValueName, nullptr, &type, reinterpret_cast<BYTE*>(value),
                                   &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    return value;
}

std::string AutoRunImage(const std::string& command) {
    const std::string tail = std::string("\\") + kPanelImageName + kAutoRunArgument;
    if (command.size() <= tail.size() || command.compare(command.size() - tail.size(), tail.size(), tail) != 0)
        return std::string();
    return command.substr(0, command.size() - std::strlen(kAutoRunArgument));
}
