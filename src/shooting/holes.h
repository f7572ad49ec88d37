// Bullet holes punched into other programs' windows, and their repair.
#pragma once
#include <windows.h>

#include <vector>

struct HoledWindow {
    HWND window;
    HRGN original;  // the window's own region before its first hole; ours until handed back
};

struct HoleState {
    std::vector<HoledWindow> HoledWindowList;  // newest first, each window once
    POINT ShotPoint;
    int holeDiameter;  // of the shot being punched: 30 pixels at 96 dpi
};
extern HoleState g_holes;

BOOL ShootHole(int x, int y);
BOOL CALLBACK PunchHole(HWND window, LPARAM);
void RepairWindows();
