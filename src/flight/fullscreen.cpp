#include "flight/fullscreen.h"

#include <windows.h>

#include "flight/presence.h"

// The desktop and the taskbar are in front whenever nothing else is.
static bool IsShellWindow(HWND window)
{
    if (window == GetDesktopWindow() || window == GetShellWindow()) return true;
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    return lstrcmpA(name, "Shell_TrayWnd") == 0 || lstrcmpA(name, "Progman") == 0 || lstrcmpA(name, "WorkerW") == 0;
}

// Another program's window covers its whole monitor without a caption bar.
// A maximised window reaches beyond its monitor as well, but shows its
// caption: that is a user at work, not a film.
static bool ForegroundCoversMonitor()
{
    HWND window = GetForegroundWindow();
    if (!window || IsShellWindow(window)) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return false;
    if ((GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) return false;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    RECT r;
    if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor) || !GetWindowRect(window, &r))
        return false;
    const RECT& m = monitor.rcMonitor;
    return r.left <= m.left && r.top <= m.top && r.right >= m.right && r.bottom >= m.bottom;
}

bool FullScreenProgramInFront()
{
    // Since Windows Vista the shell says so itself, also for a Direct3D
    // program that owns the display and for presentation mode.
    if (ForegroundCoversMonitor()) return true;
    const int state = ShellNotificationState();
    return state == kStateBusy || state == kStateFullScreenDirect3D || state == kStatePresentationMode;
}
