// The control panel's log-on autostart value. Free of panel code: the uninstaller library builds RemoveAutoRun in.
#pragma once

#include <windows.h>

namespace tw {

// Under HKEY_LOCAL_MACHINE.
constexpr char kRunKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// The product's display name (Tarwen system repair).
constexpr char kAutoRunValueName[] = "Tarwen系统修复";

// Owns an open registry key.
class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() {
        if (m_key)
            ::RegCloseKey(m_key);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    // Opens subKey of HKEY_LOCAL_MACHINE with full access.
    bool OpenMachineKey(const char* subKey) {
        HKEY key = nullptr;
        if (m_key || ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return false;
        m_key = key;
        return true;
    }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

}  // namespace tw

// Deletes the autostart value; nothing happens when the Run key cannot be opened.
void RemoveAutoRun();
