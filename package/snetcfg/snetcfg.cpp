// snetcfg.exe -u ID: uninstalls the network component ID through the
// system's network configuration interface (INetCfg). No window.
//
// The requested identifier is appended to snetcfg.log beside the program
// before anything else, and the outcome after, so that what was asked can be
// seen even where INetCfg is not implemented. Exit status: 0 removed,
// 1 not removed, 2 bad command line.
#include <windows.h>

#include <netcfgx.h>

#include <cstdio>
#include <string>

namespace {

const DWORD kLockTimeoutMs = 5000;

void AppendLog(const std::string& text) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    std::string log(path);
    log = log.substr(0, log.find_last_of('\\') + 1) + "snetcfg.log";
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    std::string line = stamp + text + "\r\n";
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

// The identifier after "-u" (or "/u"), quotes removed; empty when the
// command line is not of that form.
std::string ComponentIdFrom(const char* tail) {
    std::string text(tail ? tail : "");
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos || text.size() < start + 2 || (text[start] != '-' && text[start] != '/') ||
        (text[start + 1] != 'u' && text[start + 1] != 'U'))
        return std::string();
    std::string id = text.substr(start + 2);
    if (!id.empty() && id[0] != ' ' && id[0] != '\t')
        return std::string();  // "-ux" is not "-u x"
    size_t first = id.find_first_not_of(" \t\"");
    size_t last = id.find_last_not_of(" \t\"");
    return first == std::string::npos ? std::string() : id.substr(first, last - first + 1);
}

template <typename T>
void ReleaseIf(T* object) {
    if (object)
        object->Release();
}

// With the configuration initialised for writing: finds the component,
// removes it through its class and applies the change. S_FALSE when no
// component has that identifier.
HRESULT DeInstallAndApply(INetCfg* config, const wchar_t* id) {
    INetCfgComponent* component = nullptr;
    HRESULT hr = config->FindComponent(id, &component);
    if (hr != S_OK)
        return hr;
    GUID classGuid;
    INetCfgClassSetup* setup = nullptr;
    hr = component->GetClassGuid(&classGuid);
    if (SUCCEEDED(hr))
        hr = config->QueryNetCfgClass(&classGuid, IID_INetCfgClassSetup, reinterpret_cast<void**>(&setup));
    if (SUCCEEDED(hr))
        hr = setup->DeInstall(component, nullptr, nullptr);
    // Success codes such as NETCFG_S_REBOOT still mean the change is made.
    hr = SUCCEEDED(hr) ? config->Apply() : hr;
    ReleaseIf(setup);
    component->Release();
    return FAILED(hr) ? hr : S_OK;
}

// Removes the component through INetCfg under its write lock.
HRESULT UninstallComponent(const wchar_t* id) {
    INetCfg* config = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_CNetCfg, nullptr, CLSCTX_INPROC_SERVER, IID_INetCfg,
                                  reinterpret_cast<void**>(&config));
    if (FAILED(hr))
        return hr;
    INetCfgLock* lock = nullptr;
    hr = config->QueryInterface(IID_INetCfgLock, reinterpret_cast<void**>(&lock));
    if (SUCCEEDED(hr)) {
        LPWSTR holder = nullptr;
        hr = lock->AcquireWriteLock(kLockTimeoutMs, L"snetcfg", &holder);
        CoTaskMemFree(holder);
        if (hr == S_OK) {
            hr = config->Initialize(nullptr);
            if (SUCCEEDED(hr)) {
                hr = DeInstallAndApply(config, id);
                config->Uninitialize();
            }
            lock->ReleaseWriteLock();
        } else if (hr == S_FALSE) {
            hr = HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION);  // another program holds the lock
        }
        lock->Release();
    }
    config->Release();
    return hr;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandTail, int) {
    std::string id = ComponentIdFrom(commandTail);
    if (id.empty()) {
        AppendLog(std::string("usage: snetcfg -u ID (got \"") + (commandTail ? commandTail : "") + "\")");
        return 2;
    }
    AppendLog("-u " + id);

    wchar_t wide[256];
    if (MultiByteToWideChar(CP_ACP, 0, id.c_str(), -1, wide, 256) == 0) {
        AppendLog(id + ": identifier too long");
        return 1;
    }
    HRESULT hr = CoInitialize(nullptr);
    if (SUCCEEDED(hr)) {
        hr = UninstallComponent(wide);
        CoUninitialize();
    }
    char outcome[64];
    if (hr == S_OK)
        std::snprintf(outcome, sizeof outcome, ": removed");
    else if (hr == S_FALSE)
        std::snprintf(outcome, sizeof outcome, ": no such component");
    else
        std::snprintf(outcome, sizeof outcome, ": not removed (0x%08lX)", static_cast<unsigned long>(hr));
    AppendLog(id + outcome);
    return hr == S_OK ? 0 : 1;
}
