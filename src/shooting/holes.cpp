#include "shooting/holes.h"

#include "app/app.h"
#include "flight/monitors.h"

HoleState g_holes;

static const int kHoleDiameter = 30;  // a circle 30 pixels across at 96 dpi

BOOL ShootHole(int x, int y)
{
    g_holes.ShotPoint.x = x;
    g_holes.ShotPoint.y = y;
    // As large on every display: scaled to the monitor under the shot.
    g_holes.holeDiameter = MulDiv(kHoleDiameter, DpiAt(g_holes.ShotPoint), kBaseDpi);
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

static DWORD OwnerProcess(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// A copy of the window's own region, or none when it has none.
static Region CopyOwnRegion(HWND window)
{
    Region copy(CreateRectRgn(0, 0, 0, 0));
    if (copy && GetWindowRgn(window, copy.get()) == ERROR) copy.Reset();
    return copy;
}

static bool SameRegion(HRGN a, HRGN b)
{
    if (!a || !b) return a == b;
    return EqualRgn(a, b) != FALSE;
}

static void Forget(HoledWindow& h)
{
    h.original.Reset();
    h.lastSet.Reset();
}

// The window's entry, or none. An entry whose handle now names a window of
// another process is stale (its window is gone) and goes.
static HoledWindow* Entry(HWND window)
{
    std::vector<HoledWindow>& list = g_holes.HoledWindowList;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->window != window) continue;
        if (it->process == OwnerProcess(window)) return &*it;
        Forget(*it);
        list.erase(it);
        return nullptr;
    }
    return nullptr;
}

BOOL CALLBACK PunchHole(HWND window, LPARAM)
{
    RECT r;
    if (!GetWindowRect(window, &r) || IsSpared(window, r)) return TRUE;
    HoledWindow* entry = Entry(window);

    // The current shape in window coordinates: its region, or else its own
    // rectangle (not the screen's, which would cut off a window larger than
    // the screen or one whose corner lies at negative coordinates).
    Region own = CopyOwnRegion(window);
    // A window that set a shape of its own since its last hole keeps that
    // one at the repair.
    const bool ownShape = !entry || !SameRegion(own.get(), entry->lastSet.get());
    const Region box(own ? nullptr : CreateRectRgn(0, 0, r.right - r.left, r.bottom - r.top));
    const HRGN shape = own ? own.get() : box.get();
    // A right-to-left window's region runs from its right edge.
    const bool mirrored = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
    int cx = mirrored ? r.right - g_holes.ShotPoint.x : g_holes.ShotPoint.x - r.left;
    int cy = g_holes.ShotPoint.y - r.top;
    const int d = g_holes.holeDiameter, left = cx - d / 2, top = cy - d / 2;
    const Region hole(CreateEllipticRgn(left, top, left + d, top + d));
    Region result(CreateRectRgn(0, 0, 0, 0));
    if (shape && hole && result && CombineRgn(result.get(), shape, hole.get(), RGN_DIFF) != ERROR &&
        Answers(window) && SetWindowRgn(window, result.get(), TRUE)) {
        result.Release();  // the system's now
        if (!entry) {
            g_holes.HoledWindowList.insert(g_holes.HoledWindowList.begin(),
                                           HoledWindow{window, OwnerProcess(window), Region(), Region()});
            entry = &g_holes.HoledWindowList.front();
        }
        if (ownShape) entry->original = std::move(own);
        // As the system keeps it, which may differ from what it was given.
        entry->lastSet = CopyOwnRegion(window);
    }
    return TRUE;
}

// Only while the window still has the region the last hole gave it: a shape
// it set itself since stays.
static void GiveBack(HoledWindow& h)
{
    const Region now = CopyOwnRegion(h.window);
    if (SameRegion(now.get(), h.lastSet.get()) && SetWindowRgn(h.window, h.original.get(), TRUE))
        h.original.Release();  // the system's
}

void RepairWindows()
{
    g_holes.askedThreads.clear();
    std::vector<HoledWindow> unanswered;
    for (HoledWindow& h : g_holes.HoledWindowList) {
        // A window gone, or a handle that now names another program's
        // window, is only forgotten.
        const bool ours = IsWindow(h.window) && OwnerProcess(h.window) == h.process;
        if (ours && !Answers(h.window)) {
            unanswered.push_back(std::move(h));  // keeps its hole, and its regions, for the next repair
            continue;
        }
        if (ours) GiveBack(h);
        Forget(h);
    }
    g_holes.HoledWindowList.swap(unanswered);
}
