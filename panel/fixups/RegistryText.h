// Registry values read as bounded text, whether or not the stored data ends in a NUL.
#pragma once

#include <windows.h>

#include <string>

// The value's data as text: up to its first NUL, and never more than maxBytes bytes.
// False when the value is missing or its data is longer than maxBytes.
bool ReadValueText(HKEY key, const char* name, DWORD maxBytes, std::string* text);

// Name and type of the value at index. ERROR_NO_MORE_ITEMS past the last one; another error
// (a name longer than 255 characters) for a value to pass over.
LONG EnumValueName(HKEY key, DWORD index, std::string* name, DWORD* type);
