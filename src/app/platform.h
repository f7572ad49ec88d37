// Platform services several modules need.
#pragma once
#include <windows.h>

// A DLL of the system folder, loaded by its full path: a DLL of that name
// beside the program (a downloads folder) is never taken. It stays loaded
// for the process. Null where there is no such DLL (an older Windows).
HMODULE LoadSystemDll(const char* name);

// A function of `module` looked up at run time: what Windows XP lacks.
template <typename F>
F* LookUp(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}
