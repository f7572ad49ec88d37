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

POINT ParkingSpot(POINT wanted)
{
    const RECT spot = {wanted.x, wanted.y, wanted.x + 1, wanted.y + 1};
    if (!MonitorFromRect(&spot, MONITOR_DEFAULTTONULL)) return wanted;
    const RECT all = VirtualScreen();
    return POINT{all.left - 100, all.top - 100};
}
