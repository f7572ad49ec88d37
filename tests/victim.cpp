// Owns windows in a process of its own, as another program's windows would
// be, for the tests that shoot holes into them.
//
//   victim.exe PARENT_PID READY_EVENT RELEASE_EVENT TITLE:X:Y:W:H:RRGGBB:FLAGS ...
//
// One borderless popup per argument, filled with its colour. FLAGS is "-" or
// any of: r (a round region of its own), e (an empty region of its own),
// h (hidden), m (minimised), f (in the foreground), l (right-to-left layout,
// WS_EX_LAYOUTRTL), u (not DPI aware: its place and size are then in its
// own pixels, which the system may scale), s (aware of the system's DPI
// only). READY_EVENT and RELEASE_EVENT are inherited event
// handles. READY_EVENT is set once every window stands as asked, and again
// whenever the process stops pumping messages on a posted kVictimHang;
// RELEASE_EVENT ends such a hang early. On a sent kVictimReshape a window
// sets a region of its own. The windows are found by their titles. The
// process ends when its parent ends, on a WM_QUIT posted to its thread, or
// when its last window is destroyed.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/dpi_aware.h"
#include "support/victim.h"

static int g_windows = 0;

static LRESULT CALLBACK VictimProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrA(window, GWLP_USERDATA)));
        RECT r;
        GetClientRect(window, &r);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;  // the paint fills everything
    case kVictimReshape: {
        RECT r;
        GetWindowRect(window, &r);
        const int inset = kVictimReshapeInset;
        return SetWindowRgn(window, CreateRectRgn(inset, inset, r.right - r.left - inset, r.bottom - r.top - inset), TRUE);
    }
    case WM_DESTROY:
        if (--g_windows == 0) PostQuitMessage(0);
        return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

static bool CreateVictim(HINSTANCE instance, const char* description)
{
    char title[64], flags[16];
    int x, y, w, h;
    unsigned rgb;
    if (std::sscanf(description, "%63[^:]:%d:%d:%d:%d:%x:%15s", title, &x, &y, &w, &h, &rgb, flags) != 7) return false;
    bool hidden = std::strchr(flags, 'h') != nullptr;
    DWORD exStyle = std::strchr(flags, 'l') ? WS_EX_LAYOUTRTL : 0;
    // A window takes the awareness of the thread that makes it (Windows 10
    // 1607 on); the system scales one unaware of its monitor's DPI.
    using SetContext = HANDLE WINAPI(HANDLE);
    auto setContext = reinterpret_cast<SetContext*>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    HANDLE awareness = std::strchr(flags, 'u')   ? reinterpret_cast<HANDLE>(-1)  // DPI_AWARENESS_CONTEXT_UNAWARE
                       : std::strchr(flags, 's') ? reinterpret_cast<HANDLE>(-2)  // ..._SYSTEM_AWARE
                                                 : nullptr;
    HANDLE was = awareness && setContext ? setContext(awareness) : nullptr;
    HWND window = CreateWindowExA(exStyle, "WingzapVictim", title, WS_POPUP | (hidden ? 0 : WS_VISIBLE), x, y, w, h,
                                  nullptr, nullptr, instance, nullptr);
    if (was) setContext(was);
    if (!window) return false;
    ++g_windows;
    COLORREF colour = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(colour));
    // The region belongs to the system once set.
    if (std::strchr(flags, 'r')) SetWindowRgn(window, CreateEllipticRgn(0, 0, w, h), TRUE);
    if (std::strchr(flags, 'e')) SetWindowRgn(window, CreateRectRgn(0, 0, 0, 0), TRUE);
    if (std::strchr(flags, 'm')) ShowWindow(window, SW_SHOWMINNOACTIVE);
    if (!hidden) UpdateWindow(window);
    if (std::strchr(flags, 'f')) SetForegroundWindow(window);
    return true;
}

int main(int argc, char** argv)
{
    if (argc < 5) return 2;
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)));
    HANDLE ready = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(argv[2], nullptr, 10)));
    HANDLE release = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(argv[3], nullptr, 10)));
    // The windows stand where the test asks, in the screen's pixels.
    test::BecomeDpiAware();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = VictimProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "WingzapVictim";
    if (!RegisterClassA(&wc)) return 3;
    for (int i = 4; i < argc; ++i)
        if (!CreateVictim(instance, argv[i])) return 4;
    SetEvent(ready);

    for (;;) {
        DWORD count = parent ? 1 : 0;
        DWORD woke = MsgWaitForMultipleObjects(count, &parent, FALSE, INFINITE, QS_ALLINPUT);
        if (parent && woke == WAIT_OBJECT_0) return 0;  // the test is gone: so are we
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return 0;
            if (msg.message == kVictimHang && !msg.hwnd) {
                // Not a message handled until this ends: what the system
                // sees of a hung program.
                SetEvent(ready);
                HANDLE ends[2] = {release, parent};
                DWORD ended = WaitForMultipleObjects(parent ? 2 : 1, ends, FALSE, static_cast<DWORD>(msg.wParam));
                if (ended == WAIT_OBJECT_0 + 1) return 0;  // the test is gone
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}
