// The process's frame: single-instance guard, start-up and shut-down order,
// the two window classes and windows, and the message loop.
#pragma once
#include <windows.h>

struct AppState {
    HINSTANCE instance;  // every resource is loaded from it
    HWND background;     // covers the screen during a flight; gets timers, tray, keys
    HWND sprite;         // child of the background window; shows the chicken
};
extern AppState g_app;

int WingzapMain(HINSTANCE instance);
int RegisterWindowClasses(HINSTANCE instance);
// The two windows as start-up creates them (parked, background hidden);
// 0 when either cannot be created.
int CreateAppWindows();
int Run();

LRESULT CALLBACK BackgroundWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SpriteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void App_Reset();
