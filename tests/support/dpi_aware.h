// DPI awareness for the test programs and their helpers, which place and
// measure windows in physical pixels: a program that is not aware is scaled
// by Windows, and by Wine from version 10, at any DPI other than 96, and its
// coordinates are then not the screen's.
#pragma once
#include <windows.h>

namespace test {

// Aware of each monitor's DPI, as the program's manifest makes it, where the
// system knows of it (Windows 10 1703 on); else of the system's DPI (Vista
// on). Both looked up at run time: XP has neither, and scales nothing.
inline void BecomeDpiAware()
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    using SetContext = BOOL WINAPI(HANDLE);
    auto setContext =
        reinterpret_cast<SetContext*>(reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    if (setContext && setContext(reinterpret_cast<HANDLE>(-4)))  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
        return;
    using SetAware = BOOL WINAPI();
    auto setAware = reinterpret_cast<SetAware*>(reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")));
    if (setAware) setAware();
}

}  // namespace test
