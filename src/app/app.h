// The process's frame: single-instance guard, start-up and shut-down order,
// the two window classes and windows, and the message loop.
#pragma once
#include <windows.h>

struct AppState {
    HINSTANCE instance;  // every resource is loaded from it
    HWND background;     // covers the screen during a flight; gets timers, tray, keys
    HWND sprite;         // child of the background window; shows the chicken
    HICON trayIcon;      // the picture start-up puts into the tray
    bool waitingForTaskbar;  // the first add of the icon failed: no chickens until one succeeds
    DWORD waitStart;         // GetTickCount when that first add failed
};
extern AppState g_app;

// The names the program's windows and its single-instance guard go by,
// which other processes find them under.
inline constexpr char kBackgroundClass[] = "SkyroostBackground";
inline constexpr char kSpriteClass[] = "SkyroostSprite";
inline constexpr char kMutexName[] = "Skyroost Mutex";

// The background window's third timer, beside the flight's two: another try
// at the tray icon while start-up waits for the taskbar.
enum : UINT_PTR { kTaskbarTimer = 3 };

int WingzapMain(HINSTANCE instance);
// Start-up up to the first window: the language, the stored settings and
// counters, the window classes, the tray's message and the art. 0 when the
// art cannot be loaded, and the program ends without a window.
int StartModules(HINSTANCE instance);
int RegisterWindowClasses(HINSTANCE instance);
// The two windows as start-up creates them (parked, background hidden);
// 0 when either cannot be created.
int CreateAppWindows();
void ShowAppWindows();
int Run();

LRESULT CALLBACK BackgroundWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SpriteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void App_Reset();
