#include "flight/monitors.h"

#include "app/gdi.h"
#include "app/platform.h"

RECT VirtualScreen()
{
    RECT r;
    r.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    r.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    r.right = r.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    r.bottom = r.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    return r;
}

// The screen's logical DPI: the one DPI there is before Windows 8.1.
static int SystemDpi()
{
    const ScreenDc screen;
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : kBaseDpi;
}

enum { kEffectiveDpi = 0 };  // MDT_EFFECTIVE_DPI

// Windows 8.1 gives every monitor a DPI of its own.
static int MonitorDpi(HMONITOR monitor)
{
    auto dpiFor = LookUp<HRESULT WINAPI(HMONITOR, int, UINT*, UINT*)>(LoadSystemDll("shcore.dll"), "GetDpiForMonitor");
    UINT x = 0, y = 0;
    if (monitor && dpiFor && SUCCEEDED(dpiFor(monitor, kEffectiveDpi, &x, &y)) && x > 0) return static_cast<int>(x);
    return SystemDpi();
}

Monitor MonitorUnderPointer()
{
    POINT pointer = {0, 0};  // the primary monitor's corner
    if (!GetCursorPos(&pointer)) pointer = POINT{0, 0};
    HMONITOR handle = MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    Monitor m;
    if (handle && GetMonitorInfoA(handle, &info)) {
        m.rect = info.rcMonitor;
    } else {
        m.rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    m.dpi = MonitorDpi(handle);
    return m;
}

int DpiAt(POINT point)
{
    return MonitorDpi(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
}

using PointConversion = BOOL WINAPI(HWND, POINT*);

// Where no call tells how a window is scaled: on Windows Vista to 8.0 the
// desktop window manager scales a window unaware of DPI from 96 dpi to the
// system's. Mapped into the window's own pixels, its first and last pixel
// give the DPI it is drawn at, measured along its longer side. From 8.1 on
// PhysicalToLogicalPoint gives every point back as it was, and the
// per-monitor conversion, new then, maps instead. The readings of Windows
// 8.1 and 10 come first wherever they answer: a conversion fails for a
// window without area and, on Windows 7, for a hidden window moved since it
// was hidden, which a hole reaches all the same; and it measures to a whole
// pixel what they know exactly.
static WindowScale ScaleByConversion(HWND window, int screen)
{
    HMODULE user = GetModuleHandleA("user32.dll");
    auto toOwn = LookUp<PointConversion>(user, "PhysicalToLogicalPointForPerMonitorDPI");
    if (!toOwn) toOwn = LookUp<PointConversion>(user, "PhysicalToLogicalPoint");
    RECT r;
    if (!toOwn || !GetWindowRect(window, &r)) return WindowScale{screen, screen};
    // Points on the window: its right and bottom values lie beyond it.
    POINT first = {r.left, r.top}, last = {r.right - 1, r.bottom - 1};
    const bool wide = r.right - r.left >= r.bottom - r.top;
    const int span = wide ? last.x - first.x : last.y - first.y;
    if (span <= 0 || !toOwn(window, &first) || !toOwn(window, &last)) return WindowScale{screen, screen};
    const int own = wide ? last.x - first.x : last.y - first.y;
    if (own <= 0 || own == span) return WindowScale{screen, screen};
    return WindowScale{MulDiv(screen, own, span), screen};
}

enum { kUnaware = 0, kSystemAware = 1, kPerMonitorAware = 2 };  // PROCESS_DPI_AWARENESS

// Windows 8.1, and Windows 10 before 1607: one awareness for each process.
// Where it cannot be read (no such call before 8.1, or a process this one
// may not open), the window's points are converted.
static WindowScale ScaleOfProcess(HWND window, int screen)
{
    auto awarenessOf = LookUp<HRESULT WINAPI(HANDLE, int*)>(LoadSystemDll("shcore.dll"), "GetProcessDpiAwareness");
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    const HANDLE process = awarenessOf ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id) : nullptr;
    int awareness = -1;
    if (process && FAILED(awarenessOf(process, &awareness))) awareness = -1;
    if (process) CloseHandle(process);
    if (awareness == kUnaware) return WindowScale{kBaseDpi, screen};
    if (awareness == kSystemAware) return WindowScale{SystemDpi(), screen};
    if (awareness == kPerMonitorAware) return WindowScale{screen, screen};
    return ScaleByConversion(window, screen);
}

WindowScale ScaleOf(HWND window)
{
    const int screen = MonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    HMODULE user = GetModuleHandleA("user32.dll");
    auto contextOf = LookUp<HANDLE WINAPI(HWND)>(user, "GetWindowDpiAwarenessContext");
    auto setContext = LookUp<HANDLE WINAPI(HANDLE)>(user, "SetThreadDpiAwarenessContext");
    auto dpiFor = LookUp<UINT WINAPI(HWND)>(user, "GetDpiForWindow");
    if (!contextOf || !setContext || !dpiFor) return ScaleOfProcess(window, screen);
    // Scaled only where the window's rectangle read in its own awareness
    // differs from the screen's: Wine before 10 reports the DPIs Windows
    // would but scales no window. Windows 10 from 1803 lets a system-aware
    // process have a system DPI of its own, which GetDpiForWindow tells.
    const HANDLE context = contextOf(window);
    const HANDLE was = context ? setContext(context) : nullptr;
    RECT own, onScreen;
    const bool read = was && GetWindowRect(window, &own);
    if (was) setContext(was);
    const int dpi = static_cast<int>(dpiFor(window));
    if (!read || !GetWindowRect(window, &onScreen) || EqualRect(&own, &onScreen) || dpi <= 0)
        return WindowScale{screen, screen};
    return WindowScale{dpi, screen};
}

POINT ParkingSpot(POINT wanted)
{
    const RECT spot = {wanted.x, wanted.y, wanted.x + 1, wanted.y + 1};
    if (!MonitorFromRect(&spot, MONITOR_DEFAULTTONULL)) return wanted;
    const RECT all = VirtualScreen();
    return POINT{all.left - 100, all.top - 100};
}
