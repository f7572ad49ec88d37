#include "app/app.h"

#include <windowsx.h>

#include "flight/flight.h"
#include "flight/screen.h"
#include "res/localize.h"
#include "res/resource.h"
#include "res/sound.h"
#include "shooting/holes.h"
#include "shooting/shots.h"
#include "store/store.h"
#include "ui/commands.h"
#include "ui/tray.h"

AppState g_app = {nullptr, nullptr, nullptr};

static const char kSpriteClass[] = "SkyroostSprite";
static const char kBackgroundClass[] = "SkyroostBackground";

int WingzapMain(HINSTANCE instance)
{
    // The handle is never closed: the mutex lives as long as the process.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "Skyroost Mutex");
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    g_app.instance = instance;
    InitLanguage(instance);
    LoadSettings();
    LoadStatistics();
    RegisterWindowClasses(instance);
    if (LoadFrameBanks()) Run();

    RepairWindows();
    FreeFrameBanks();
    SaveStatistics();
    return 0;
}

static ATOM RegisterClass(HINSTANCE instance, const char* name, WNDPROC procedure, HICON icon, HICON smallIcon)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_MENU + 1);  // never shows: nothing erases
    wc.lpszClassName = name;
    return RegisterClassExA(&wc);
}

int RegisterWindowClasses(HINSTANCE instance)
{
    if (!RegisterClass(instance, kSpriteClass, SpriteWindowProc, nullptr, nullptr)) return 0;
    HICON app = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    HICON small = LoadIconA(instance, MAKEINTRESOURCEA(IDI_ENABLED));
    return RegisterClass(instance, kBackgroundClass, BackgroundWindowProc, app, small) ? 1 : 0;
}

int CreateAppWindows()
{
    // Topmost to lie over everything while it covers the screen, a tool
    // window to stay off the taskbar, transparent so that what it covers
    // is not painted over before it draws the snapshot itself.
    g_app.background = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW, kBackgroundClass,
                                       "Background", WS_POPUP, -999, -999, 1, 1, nullptr, nullptr,
                                       g_app.instance, nullptr);
    if (!g_app.background) return 0;
    g_app.sprite = CreateWindowExA(WS_EX_TOPMOST, kSpriteClass, "Sprite", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1,
                                   g_app.background, nullptr, g_app.instance, nullptr);
    return g_app.sprite ? 1 : 0;
}

int Run()
{
    HICON trayIcon = LoadIconA(g_app.instance, MAKEINTRESOURCEA(IDI_ENABLED));
    PlaySoundResource(IDW_LAUNCH, 0);
    FreezeScreen();  // the first launch picks its row with this screen size
    if (!CreateAppWindows()) return 0;
    if (!AddTrayIcon(g_app.background, kTrayIconId, trayIcon, "Wingzap", TaskIconMessage())) return 0;
    UpdateTrayTooltip();
    // Shown without activation: the parked 1 x 1 window must not take the
    // foreground from the program the user is in. A flight's click still
    // activates it.
    ShowWindow(g_app.background, SW_SHOWNOACTIVATE);
    ShowWindow(g_app.sprite, SW_SHOWNOACTIVATE);
    ScheduleNextChicken();

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);  // key presses become the WM_CHAR the flight keys need
        DispatchMessageA(&msg);
    }

    ReleaseScreen();
    DeleteTrayIcon(g_app.background, kTrayIconId);
    return 1;
}

// Windows may end the process as soon as this returns: holes and counters
// must not wait for a shut-down that never comes.
static LRESULT OnEndSession(WPARAM ending)
{
    if (ending) {
        RepairWindows();
        SaveStatistics();
    }
    return 0;
}

// Nothing but the quit message ends the program; if the window goes anyway,
// leave through the normal shut-down instead of running on without a window.
static LRESULT OnBackgroundDestroyed()
{
    PostQuitMessage(0);
    return 0;
}

LRESULT CALLBACK BackgroundWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Registered message numbers are known only at run time.
    if (message == TaskIconMessage() && message != 0) {
        OnTrayCallback(wParam, lParam);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == TaskbarCreatedMessage() && message != 0) return OnTaskbarCreated();

    switch (message) {
    case WM_COMMAND: return OnCommand(wParam);
    case WM_ERASEBKGND: return EraseRule();
    case WM_SETCURSOR: return CursorRule();
    case WM_CHAR: return OnChar(wParam);
    case WM_TIMER: return OnFlightTimer(wParam);
    case WM_LBUTTONDOWN: return OnBackgroundClick(lParam);
    case WM_PAINT: return PaintBackground(window);
    case WM_CLOSE: return 0;
    case WM_DESTROY: return OnBackgroundDestroyed();
    case WM_ENDSESSION: return OnEndSession(wParam);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK SpriteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR: return CursorRule();
    case WM_PAINT: return PaintSprite(window);
    case WM_ERASEBKGND: return EraseRule();
    case WM_LBUTTONDOWN: return OnSpriteClick(lParam);
    case WM_CLOSE: return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

void App_Reset()
{
    g_app = AppState{nullptr, nullptr, nullptr};
}
