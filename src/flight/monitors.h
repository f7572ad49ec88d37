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

// Where a 1 x 1 window parks: `wanted` while it lies off every monitor,
// otherwise up and to the left of the virtual screen.
POINT ParkingSpot(POINT wanted);
