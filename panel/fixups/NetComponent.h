// The network component of a broken network service: found in the registry, uninstalled by the package's tool.
#pragma once

#include <windows.h>

#include <string>

// Looks, in the Services key's order, for the first service whose image file is missing and
// that a component below networkKeyPath names as its Service. True when one was found; the
// captured identifier then holds that component's ComponentId.
bool FindBrokenNetService(const char* networkKeyPath);

// Walks subKey of parent and everything below it for a key whose Service value is service.
// componentId is the ComponentId of the nearest key above that has one. A match sets *found
// and captures the identifier, unless one is captured already or the match has none.
void FindServiceComponent(HKEY parent, const char* subKey, const char* service, bool* found,
                          const std::string& componentId);

// The string values of one open key (indices 0 to 119): true when its Service value is exactly
// service. A ComponentId value replaces *componentId; one too long to capture leaves it empty.
bool ScanComponentValues(HKEY key, const char* service, std::string* componentId);

// Starts "c:\sysh\kest\snetcfg.exe -u <identifier>" hidden, without waiting; nothing when
// no identifier is captured.
void RemoveNetComponent();
