// Messages of the snapshot library and twsnap: plain English on Linux,
// Chinese on Windows (narrow literals become code page 936 there).
#pragma once

#ifdef _WIN32
#define TW_MESSAGE(english, chinese) chinese
#else
#define TW_MESSAGE(english, chinese) english
#endif
