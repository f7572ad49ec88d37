// The smallest Win32 program with Wingzap's imports: one window and a message
// loop. The benchmark starts it to show what Wine itself costs a program
// before it has done anything of its own.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

static LRESULT CALLBACK OneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Bound, never called: the loader maps the same DLLs as for Wingzap. The
// volatile read keeps the compiler from dropping them as unused.
static const void* volatile g_imports[] = {reinterpret_cast<const void*>(&Shell_NotifyIconA),
                                           reinterpret_cast<const void*>(&sndPlaySoundA),
                                           reinterpret_cast<const void*>(&RegOpenKeyExA),
                                           reinterpret_cast<const void*>(&BitBlt)};

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    for (const void* volatile& f : g_imports)
        if (!f) return 1;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OneWindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_MENU + 1);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "WingzapBenchOneWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "One window", WS_POPUP | WS_VISIBLE, 300, 300, 200, 100,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
