#include "shooting/holes.h"

#include "app/app.h"

HoleState g_holes;

static const int kHoleRadius = 15;  // a circle 30 pixels across

BOOL ShootHole(int x, int y)
{
    g_holes.ShotPoint.x = x;
    g_holes.ShotPoint.y = y;
    return EnumWindows(PunchHole, 0);
}

// Windows the shot leaves whole: none, minimised, ours, the desktop, or
// not under the shot point.
static bool IsSpared(HWND window, const RECT& r)
{
    if (!window || IsIconic(window)) return true;
    if (window == g_app.background || window == g_app.sprite || window == GetDesktopWindow()) return true;
    // Right and bottom, one pixel beyond the window, count as inside. No
    // visibility test: hidden and covered windows are holed as well.
    const POINT& p = g_holes.ShotPoint;
    return p.x < r.left || p.x > r.right || p.y < r.top || p.y > r.bottom;
}

// A copy of the window's own region, or none when it has none.
static HRGN CopyOwnRegion(HWND window)
{
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    if (copy && GetWindowRgn(window, copy) == ERROR) {
        DeleteObject(copy);
        copy = nullptr;
    }
    return copy;
}

// Each window enters the list once, with the shape it had before its first hole.
static void RememberOriginalShape(HWND window)
{
    for (const HoledWindow& h : g_holes.HoledWindowList)
        if (h.window == window) return;
    g_holes.HoledWindowList.insert(g_holes.HoledWindowList.begin(), HoledWindow{window, CopyOwnRegion(window)});
}

BOOL CALLBACK PunchHole(HWND window, LPARAM)
{
    RECT r;
    if (!GetWindowRect(window, &r) || IsSpared(window, r)) return TRUE;
    RememberOriginalShape(window);

    // The current shape in window coordinates: its region, or else its own
    // rectangle (not the screen's, which would cut off a window larger than
    // the screen or one whose corner lies at negative coordinates).
    HRGN shape = CopyOwnRegion(window);
    if (!shape) shape = CreateRectRgn(0, 0, r.right - r.left, r.bottom - r.top);
    // A right-to-left window's region runs from its right edge.
    const bool mirrored = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
    int cx = mirrored ? r.right - g_holes.ShotPoint.x : g_holes.ShotPoint.x - r.left;
    int cy = g_holes.ShotPoint.y - r.top;
    HRGN hole = CreateEllipticRgn(cx - kHoleRadius, cy - kHoleRadius, cx + kHoleRadius, cy + kHoleRadius);
    HRGN result = CreateRectRgn(0, 0, 0, 0);
    if (shape && hole && result && CombineRgn(result, shape, hole, RGN_DIFF) != ERROR &&
        SetWindowRgn(window, result, TRUE)) {
        result = nullptr;  // the system's now
    }
    if (result) DeleteObject(result);
    if (hole) DeleteObject(hole);
    if (shape) DeleteObject(shape);
    return TRUE;
}

// Every holed window gets its own shape back: its original region, or none.
void RepairWindows()
{
    for (HoledWindow& h : g_holes.HoledWindowList) {
        // A window closed since its hole fails here; its region stays ours.
        if (!SetWindowRgn(h.window, h.original, TRUE) && h.original) DeleteObject(h.original);
        h.original = nullptr;
    }
    g_holes.HoledWindowList.clear();
}
