// Registry values for the Wine drivers: the exact bytes of a value, written and read back.
#pragma once

#include <windows.h>

#include <string>

namespace registry_values {

// False when the key or the value is missing; *type, when asked for, gets the value's type.
inline bool ReadValue(HKEY root, const std::string& path, const char* name, std::string* data,
                      DWORD* type = nullptr) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        data->assign(size, '\0');
        status = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(&(*data)[0]), &size);
        data->resize(size);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// Makes the key when it is missing and stores exactly data's bytes. The system counts a NUL
// that follows string data when the data does not end in one; a sentinel keeps such data as it
// is. False when the key cannot be made or the value not written.
inline bool SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data) {
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    std::string buffer = data + '#';
    LONG status = RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(buffer.data()),
                                 static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// Nothing happens when the key or the value is missing.
inline void DeleteValue(HKEY root, const std::string& path, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

}  // namespace registry_values
