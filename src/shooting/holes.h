// Bullet holes punched into other programs' windows, and their repair.
#pragma once
#include <windows.h>

#include <cstddef>

// Moved about in its list as bytes: its regions are plain handles, which
// the list owns (holes.cpp keeps and drops them through Region owners).
struct HoledWindow {
    HWND window;
    DWORD process;  // the window's owner: a recycled handle naming another program's window is not ours
    HRGN original;  // the window's own region before its first hole, or none; ours until handed back
    HRGN lastSet;   // the region as the system gave it back after the last hole; ours
};

struct ThreadAnswer {
    DWORD thread;
    bool answered;
};

// The lists are arrays from the C runtime's heap, not std::vector, which
// would link libstdc++'s exceptions and with them an import that Windows XP
// lacks (CMakeLists.txt). They only grow, and live until the process ends.
struct HoleState {
    HoledWindow* HoledWindowList;  // newest first, each window once
    size_t holedCount;
    size_t holedRoom;
    POINT ShotPoint;
    int holeDiameter;  // of the shot being punched: 30 pixels at 96 dpi
    // The threads asked during the shot or repair under way, and whether
    // they answered: each is asked once, however many windows it has.
    ThreadAnswer* askedThreads;
    size_t askedCount;
    size_t askedRoom;
};
extern HoleState g_holes;

// The largest a window's width or height can be in its own pixels, as the
// window manager's coordinates go: the shape a window without a region gets
// around its hole, unless the virtual screen is larger still.
inline constexpr int kLargestWindow = 32767;

// How long a shot or a repair waits for one other program's window before
// it leaves it as it is.
inline constexpr UINT kAnswerMilliseconds = 250;

BOOL ShootHole(int x, int y);
BOOL CALLBACK PunchHole(HWND window, LPARAM);
// Gives every holed window its own shape back; a window that does not
// answer keeps its hole, and its place in the list, for the next repair.
void RepairWindows();
