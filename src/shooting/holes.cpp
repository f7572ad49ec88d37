#include "shooting/holes.h"

#include "app/app.h"

HoleState g_holes;

static const int kHoleRadius = 15;  // a circle 30 pixels across

BOOL ShootHole(int x, int y)
{
    g_holes.ShotPoint.x = x;
    g_holes.ShotPoint.y = y;
    g_holes.askedThreads.clear();
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

// Setting another thread's window region sends that thread messages and
// waits for them, with no time limit: a hung program (or one stopped in a
// debugger, or suspended) would hold this thread, with the cover over the
// screen, for as long as it hangs. So the thread is asked first, with a
// time limit; SMTO_ABORTIFHUNG answers at once for a thread the system
// already counts as hung, SMTO_BLOCK keeps other programs' messages from
// coming in meanwhile. Each thread is asked once per shot or repair: a
// round trip to another process costs about as much as a hole. A thread
// that stops answering between its answer and a region call still holds
// this one up until it answers; that gap is a shot's few milliseconds.
static bool Answers(HWND window)
{
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (thread == GetCurrentThreadId()) return true;
    for (const ThreadAnswer& asked : g_holes.askedThreads)
        if (asked.thread == thread) return asked.answered;
    DWORD_PTR result;
    const bool answered =
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerMilliseconds, &result) != 0;
    g_holes.askedThreads.push_back({thread, answered});
    return answered;
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
    if (shape && hole && result && CombineRgn(result, shape, hole, RGN_DIFF) != ERROR && Answers(window)) {
        RememberOriginalShape(window);
        if (SetWindowRgn(window, result, TRUE)) result = nullptr;  // the system's now
    }
    if (result) DeleteObject(result);
    if (hole) DeleteObject(hole);
    if (shape) DeleteObject(shape);
    return TRUE;
}

void RepairWindows()
{
    g_holes.askedThreads.clear();
    std::vector<HoledWindow> unanswered;
    for (HoledWindow& h : g_holes.HoledWindowList) {
        if (IsWindow(h.window) && !Answers(h.window)) {
            unanswered.push_back(h);  // keeps its hole, and its region, for the next repair
            continue;
        }
        // A window closed since its hole fails here; its region stays ours.
        if (!SetWindowRgn(h.window, h.original, TRUE) && h.original) DeleteObject(h.original);
        h.original = nullptr;
    }
    g_holes.HoledWindowList.swap(unanswered);
}
