#include "app/app.h"

#include "flight/flight.h"
#include "flight/monitors.h"
#include "flight/presence.h"
#include "flight/snapshot.h"
#include "res/localize.h"
#include "res/resource.h"
#include "res/sound.h"
#include "shooting/holes.h"
#include "shooting/shots.h"
#include "store/store.h"
#include "ui/commands.h"
#include "ui/keys.h"
#include "ui/tray.h"

AppState g_app = {};

// Started at logon, the program may come before the taskbar: the icon is
// tried again every two seconds and whenever the shell announces itself,
// for two minutes.
static const UINT kTaskbarRetryMilliseconds = 2000;
static const DWORD kTaskbarWaitMilliseconds = 120000;
static_assert(static_cast<UINT_PTR>(kTaskbarTimer) != kAnimationTimer &&
                  static_cast<UINT_PTR>(kTaskbarTimer) != kLaunchTimer,
              "one id per timer");

int WingzapMain(HINSTANCE instance)
{
    // The handle is never closed: the mutex lives as long as the process.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    if (StartModules(instance)) Run();

    SaveStatistics();  // first: the system may end the process during the repair
    RepairWindows();
    FreeFrameBanks();
    return 0;
}

int StartModules(HINSTANCE instance)
{
    g_app.instance = instance;
    NoteProgramStart();
    InitLanguage(instance);
    LoadSettings();
    LoadStatistics();
    RegisterWindowClasses(instance);
    RegisterTrayMessages();
    return LoadFrameBanks();
}

static ATOM RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure, HICON icon, HICON smallIcon)
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
    if (!RegisterWindowClass(instance, kSpriteClass, SpriteWindowProc, nullptr, nullptr)) return 0;
    HICON app = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    HICON small = LoadIconA(instance, MAKEINTRESOURCEA(IDI_ENABLED));
    return RegisterWindowClass(instance, kBackgroundClass, BackgroundWindowProc, app, small) ? 1 : 0;
}

int CreateAppWindows()
{
    // Topmost to lie over everything while it covers the screen, a tool
    // window to stay off the taskbar, transparent so that what it covers
    // is not painted over before it draws the snapshot itself.
    const POINT park = ParkingSpot(POINT{-999, -999});
    g_app.background = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW, kBackgroundClass,
                                       "Background", WS_POPUP, park.x, park.y, 1, 1, nullptr, nullptr,
                                       g_app.instance, nullptr);
    if (!g_app.background) return 0;
    g_app.sprite = CreateWindowExA(WS_EX_TOPMOST, kSpriteClass, "Sprite", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1,
                                   g_app.background, nullptr, g_app.instance, nullptr);
    return g_app.sprite ? 1 : 0;
}

void ShowAppWindows()
{
    // Without activation: the parked 1 x 1 window must not take the
    // foreground from the program the user is in. A flight's click still
    // activates it.
    ShowWindow(g_app.background, SW_SHOWNOACTIVATE);
    ShowWindow(g_app.sprite, SW_SHOWNOACTIVATE);
}

static BOOL AddIcon()
{
    return AddTrayIcon(g_app.background, kTrayIconId, g_app.trayIcon, "Wingzap", TaskIconMessage());
}

static void WaitForTaskbar()
{
    g_app.waitingForTaskbar = true;
    g_app.waitStart = GetTickCount();
    SetTimer(g_app.background, kTaskbarTimer, kTaskbarRetryMilliseconds, nullptr);
}

static void StopWaiting()
{
    g_app.waitingForTaskbar = false;
    KillTimer(g_app.background, kTaskbarTimer);
}

// Another try while start-up waits. With the icon there, start-up goes on
// as usual: the tooltip, and the first delay drawn now. Two minutes without
// it, and the user is told and the program ends.
static LRESULT RetryTrayIcon()
{
    if (!g_app.waitingForTaskbar) return 0;
    if (AddIcon()) {
        StopWaiting();
        UpdateTrayTooltip();
        ScheduleNextChicken();
    } else if (GetTickCount() - g_app.waitStart >= kTaskbarWaitMilliseconds) {
        StopWaiting();
        DeleteTrayIcon(g_app.background, kTrayIconId);  // should a refused add have left one
        TellAddFailed();
        PostQuitMessage(0);  // after the box, whose own loop would take the quit
    }
    return 0;
}

int Run()
{
    g_app.trayIcon = TrayPicture(true);
    PlaySoundResource(IDW_LAUNCH, 0);
    // The first launch picks its row with this screen size. The snapshot
    // itself goes at once rather than with the first chicken, which may be
    // hours away: some 33 MB at 4K. There are no windows yet to park.
    FreezeForFlight();
    ReleaseScreen();
    if (!CreateAppWindows()) return 0;
    WatchSession(g_app.background);
    LetTheShellThrough(g_app.background);
    const BOOL added = AddIcon();
    if (added) UpdateTrayTooltip();
    ShowAppWindows();
    if (added)
        ScheduleNextChicken();
    else
        WaitForTaskbar();

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);  // key presses become the WM_CHAR the flight keys need
        DispatchMessageA(&msg);
    }

    FinishFlightKeys();  // a quit from the menu leaves the flight in the air
    ReleaseScreen();
    if (!g_tray.added) return 0;  // the taskbar never came
    DeleteTrayIcon(g_app.background, kTrayIconId);
    return 1;
}

// Windows may end the process as soon as this returns: holes and counters
// must not wait for a shut-down that never comes.
static LRESULT OnEndSession(WPARAM ending)
{
    if (ending) {
        SaveStatistics();  // first: the repair may not be let finish
        RepairWindows();
    }
    return 0;
}

static LRESULT OnTimer(WPARAM timer)
{
    return timer == kTaskbarTimer ? RetryTrayIcon() : OnFlightTimer(timer);
}

// A new taskbar: the first icon at last, or the one it lost.
static LRESULT OnShellStarted()
{
    return g_app.waitingForTaskbar ? RetryTrayIcon() : OnTaskbarCreated();
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
    if (message == TaskbarCreatedMessage() && message != 0) return OnShellStarted();

    switch (message) {
    case WM_COMMAND: return OnCommand(wParam);
    case WM_ERASEBKGND: return OnEraseBackground();
    case WM_SETCURSOR: return OnSetCursor();
    case WM_CHAR: return OnChar(wParam);
    case WM_TIMER: return OnTimer(wParam);
    case WM_LBUTTONDOWN: return OnBackgroundClick(lParam);
    case WM_PAINT: return PaintBackground(window);
    case WM_CLOSE: return 0;
    case WM_DESTROY: return OnBackgroundDestroyed();
    case WM_ENDSESSION: return OnEndSession(wParam);
    case WM_WTSSESSION_CHANGE: return OnSessionChange(wParam);
    case WM_DISPLAYCHANGE: return OnDisplayChange();
    case WM_DPICHANGED: return 0;  // the cover keeps the size of the virtual screen
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK SpriteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR: return OnSetCursor();
    case WM_PAINT: return OnSpritePaint(window);
    case WM_ERASEBKGND: return OnEraseBackground();
    case WM_LBUTTONDOWN: return OnSpriteClick(lParam);
    case WM_CLOSE: return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

void App_Reset()
{
    g_app = AppState{};
}
