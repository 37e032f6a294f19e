// The network repair: the service with a missing image file, the component that names it, its uninstall.
#include "NetComponent.h"

#include "Handles.h"
#include "PanelUtil.h"
#include "PathChecks.h"
#include "RegistryText.h"

#include <cstring>

namespace {

const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
const char kNetworkTool[] = "c:\\sysh\\kest\\snetcfg.exe";
const DWORD kValueIndexLimit = 120;
const DWORD kMaxValueData = 255;
const DWORD kMaxImagePath = 256;

// One identifier for the process, captured at the first match and never changed after.
char g_capturedId[180] = {};
bool g_captureLocked = false;

tw::UniqueKey OpenKey(HKEY parent, const char* subKey, REGSAM access) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(parent, subKey, 0, access, &key) != ERROR_SUCCESS)
        return tw::UniqueKey();
    return tw::UniqueKey(key);
}

DWORD SubKeyCount(HKEY key) {
    DWORD count = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return count;
}

// The name of the subkey at index; false when there is none or it does not fit 255 characters.
bool SubKeyName(HKEY key, DWORD index, std::string* name) {
    char buffer[256] = {};
    DWORD length = sizeof buffer;
    if (::RegEnumKeyExA(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    name->assign(buffer, length);
    return true;
}

void Capture(const std::string& componentId) {
    if (g_captureLocked)
        return;
    std::memcpy(g_capturedId, componentId.c_str(), componentId.size() + 1);  // fits: ScanComponentValues checked
    g_captureLocked = true;
}

}  // namespace

bool ScanComponentValues(HKEY key, const char* service, std::string* componentId) {
    bool match = false;
    for (DWORD index = 0; index < kValueIndexLimit; ++index) {
        std::string name;
        DWORD type = REG_NONE;
        LONG status = EnumValueName(key, index, &name, &type);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        std::string data;
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) ||
            !ReadValueText(key, name.c_str(), kMaxValueData, &data))
            continue;
        if (name == "ComponentId")
            *componentId = data.size() < sizeof g_capturedId ? data : std::string();
        else if (name == "Service" && data == service)
            match = true;
    }
    return match;
}

void FindServiceComponent(HKEY parent, const char* subKey, const char* service, bool* found,
                          const std::string& componentId) {
    tw::UniqueKey key = OpenKey(parent, subKey, KEY_READ);
    if (!key)
        return;
    std::string ownId = componentId;
    if (ScanComponentValues(key.Get(), service, &ownId) && !ownId.empty()) {
        Capture(ownId);
        *found = true;
        return;
    }
    DWORD count = SubKeyCount(key.Get());
    for (DWORD index = 0; index < count; ++index) {
        std::string name;
        if (SubKeyName(key.Get(), index, &name))
            FindServiceComponent(key.Get(), name.c_str(), service, found, ownId);
    }
}

bool FindBrokenNetService(const char* networkKeyPath) {
    bool found = false;
    tw::UniqueKey services = OpenKey(HKEY_LOCAL_MACHINE, kServicesKey, KEY_READ);
    if (!services)
        return false;
    DWORD count = SubKeyCount(services.Get());
    for (DWORD index = 0; index < count; ++index) {
        std::string name;
        if (!SubKeyName(services.Get(), index, &name))
            continue;
        tw::UniqueKey serviceKey = OpenKey(services.Get(), name.c_str(), KEY_QUERY_VALUE);
        std::string imagePath;
        if (!serviceKey || !ReadValueText(serviceKey.Get(), "ImagePath", kMaxImagePath, &imagePath) ||
            CheckImagePath(imagePath.c_str()))
            continue;
        FindServiceComponent(HKEY_LOCAL_MACHINE, networkKeyPath, name.c_str(), &found, std::string());
        if (found)
            return true;
    }
    return false;
}

void RemoveNetComponent() {
    if (!g_capturedId[0])
        return;
    StartProgram(kNetworkTool, std::string("-u ") + g_capturedId, SW_HIDE);
}
