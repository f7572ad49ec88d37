// The monitors: the virtual screen they make up together, the one a flight
// takes place on, and their DPI.
#pragma once
#include <windows.h>

// The DPI at which the art is drawn and every size is given.
enum { kBaseDpi = 96 };

// The union of all monitors, in screen coordinates (its corner may be negative).
RECT VirtualScreen();

struct Monitor {
    RECT rect;  // screen coordinates
    int dpi;
};
// The monitor under the mouse pointer, as it is now; the primary one when
// the pointer's place cannot be read.
Monitor MonitorUnderPointer();
// The DPI of the monitor nearest to `point`.
int DpiAt(POINT point);

// A window's own pixels against the screen's: the system scales a window
// that is not aware of its monitor's DPI (Windows 8.1 on; Vista to 8.0 one
// unaware of the system's), whose region and points are then in pixels of
// its own DPI. A length of n screen pixels is n * own / screen of the
// window's.
struct WindowScale {
    int own;     // 96 for a window unaware of DPI, the system's for one aware of it
    int screen;  // the DPI of the monitor the window is scaled for
};
// Both the same for a window aware of each monitor's DPI, for one the
// system does not scale, and wherever the system does not tell (Windows XP,
// or a hidden window on Windows 7).
WindowScale ScaleOf(HWND window);

// Where a 1 x 1 window parks: `wanted` while it lies off every monitor,
// otherwise up and to the left of the virtual screen.
POINT ParkingSpot(POINT wanted);
