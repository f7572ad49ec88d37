#include "app/platform.h"

#include <cstdio>

HMODULE LoadSystemDll(const char* name)
{
    // Once loaded it stays: later calls take it as it is.
    if (HMODULE loaded = GetModuleHandleA(name)) return loaded;
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path) return nullptr;
    const int written = std::snprintf(path + length, sizeof path - length, "\\%s", name);
    if (written < 0 || static_cast<size_t>(written) >= sizeof path - length) return nullptr;
    return LoadLibraryA(path);
}
