// Registry values for the Wine drivers: the exact bytes of a value, written and read back.
#pragma once

#include <windows.h>

#include <string>

#include "Handles.h"

// The key, or none when it is missing or access is refused.
inline tw::UniqueKey OpenKey(HKEY root, const std::string& path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return tw::UniqueKey();
    return tw::UniqueKey(key);
}

// False when the key or the value is missing; *type, when asked for, gets the value's type.
inline bool ReadValue(HKEY root, const std::string& path, const char* name, std::string* data,
                      DWORD* type = nullptr) {
    tw::UniqueKey key = OpenKey(root, path, KEY_QUERY_VALUE);
    DWORD size = 0;
    if (!key || RegQueryValueExA(key.Get(), name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    data->assign(size, '\0');
    LONG status = RegQueryValueExA(key.Get(), name, nullptr, type, reinterpret_cast<BYTE*>(&(*data)[0]), &size);
    data->resize(size);
    return status == ERROR_SUCCESS;
}

inline bool ValueExists(HKEY root, const std::string& path, const char* name) {
    std::string ignored;
    return ReadValue(root, path, name, &ignored);
}

// Makes the key when it is missing and stores exactly data's bytes. The system counts a NUL
// that follows string data when the data does not end in one; a sentinel keeps such data as it
// is. False when the key cannot be made or the value not written.
inline bool SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data) {
    HKEY created = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created, nullptr) != ERROR_SUCCESS)
        return false;
    tw::UniqueKey key(created);
    std::string buffer = data + '#';
    return RegSetValueExA(key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(buffer.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// Nothing happens when the key or the value is missing.
inline void DeleteValue(HKEY root, const std::string& path, const char* name) {
    if (tw::UniqueKey key = OpenKey(root, path, KEY_SET_VALUE))
        RegDeleteValueA(key.Get(), name);
}
