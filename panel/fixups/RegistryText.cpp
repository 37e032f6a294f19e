// Registry values read as bounded text.
#include "RegistryText.h"

#include <cstring>
#include <vector>

namespace {
const DWORD kMaxValueName = 255;
}

bool ReadValueText(HKEY key, const char* name, DWORD maxBytes, std::string* text) {
    std::vector<char> data(maxBytes + 1, '\0');  // one byte more: data stored without a NUL still ends
    DWORD size = maxBytes;
    if (::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return false;
    text->assign(data.data(), strnlen(data.data(), size));
    return true;
}

LONG EnumValueName(HKEY key, DWORD index, std::string* name, DWORD* type) {
    char buffer[kMaxValueName + 1] = {};
    DWORD length = sizeof buffer;
    LONG status = ::RegEnumValueA(key, index, buffer, &length, nullptr, type, nullptr, nullptr);
    if (status == ERROR_SUCCESS)
        name->assign(buffer, length);
    return status;
}
