#include "shooting/holes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "app/gdi.h"
#include "flight/monitors.h"

HoleState g_holes;

static const int kHoleDiameter = 30;  // a circle 30 pixels across at 96 dpi

// Room for one more item in a list of count items with room places; false,
// and the list as it was, when memory runs out.
template <typename T>
static bool MakeRoom(T*& items, size_t count, size_t& room)
{
    if (count < room) return true;
    const size_t more = room ? room * 2 : 16;
    T* grown = static_cast<T*>(std::realloc(items, more * sizeof(T)));
    if (!grown) return false;
    items = grown;
    room = more;
    return true;
}

BOOL ShootHole(int x, int y)
{
    g_holes.ShotPoint.x = x;
    g_holes.ShotPoint.y = y;
    // As large on every display: scaled to the monitor under the shot.
    g_holes.holeDiameter = MulDiv(kHoleDiameter, DpiAt(g_holes.ShotPoint), kBaseDpi);
    g_holes.askedCount = 0;
    return EnumWindows(PunchHole, 0);
}

// The system's desktop window, and the shell's: Progman, the WorkerW that
// holds the icons (SHELLDLL_DefView) once the shell has put its wallpaper
// behind them, and every WorkerW of the shell's own thread: after a
// slideshow's change of wallpaper Windows 10 puts a second one, without the
// icons, behind the first. A hole in them shows no landscape, only what
// lies under the wallpaper.
static bool IsDesktop(HWND window)
{
    if (window == GetDesktopWindow()) return true;
    char name[16];  // either name fits; a longer one matches neither, cut or not
    if (!GetClassNameA(window, name, sizeof name)) return false;
    if (lstrcmpiA(name, "Progman") == 0) return true;
    if (lstrcmpiA(name, "WorkerW") != 0) return false;
    if (FindWindowExA(window, nullptr, "SHELLDLL_DefView", nullptr)) return true;
    HWND shell = GetShellWindow();
    return shell && GetWindowThreadProcessId(window, nullptr) == GetWindowThreadProcessId(shell, nullptr);
}

// Windows the shot leaves whole: none, minimised, ours, the desktop, or
// not under the shot point.
static bool IsSpared(HWND window, const RECT& r)
{
    if (!window || IsIconic(window)) return true;
    if (window == g_app.background || window == g_app.sprite || IsDesktop(window)) return true;
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
    for (size_t i = 0; i < g_holes.askedCount; ++i)
        if (g_holes.askedThreads[i].thread == thread) return g_holes.askedThreads[i].answered;
    DWORD_PTR result;
    const bool answered =
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerMilliseconds, &result) != 0;
    // Without memory to note it, the thread is asked again at its next window.
    if (MakeRoom(g_holes.askedThreads, g_holes.askedCount, g_holes.askedRoom))
        g_holes.askedThreads[g_holes.askedCount++] = ThreadAnswer{thread, answered};
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

static bool IsMirrored(HWND window)
{
    return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
}

// A right-to-left window's region is kept as it was set and read back
// mirrored by the window's width now: after a resize it comes back shifted
// sideways by the change of width, and counts as the same shape.
static bool SameRegion(HRGN a, HRGN b, bool mirrored)
{
    if (!a || !b) return a == b;
    RECT boxA, boxB;
    if (!mirrored || GetRgnBox(a, &boxA) == ERROR || GetRgnBox(b, &boxB) == ERROR || boxA.right == boxB.right)
        return EqualRgn(a, b) != FALSE;
    const Region shifted(CreateRectRgn(0, 0, 0, 0));
    if (!shifted || CombineRgn(shifted.get(), a, nullptr, RGN_COPY) == ERROR) return false;
    OffsetRgn(shifted.get(), boxB.right - boxA.right, 0);
    return EqualRgn(shifted.get(), b) != FALSE;
}

// The entry's region from now on; the one it had goes.
static void Keep(HRGN& kept, Region region)
{
    const Region old(kept);
    kept = region.Release();
}

static void Forget(HoledWindow& h)
{
    Keep(h.original, Region());
    Keep(h.lastSet, Region());
}

// The window's entry, or none. An entry whose handle now names a window of
// another process is stale (its window is gone) and goes.
static HoledWindow* Entry(HWND window)
{
    HoledWindow* list = g_holes.HoledWindowList;
    for (size_t i = 0; i < g_holes.holedCount; ++i) {
        if (list[i].window != window) continue;
        if (list[i].process == OwnerProcess(window)) return &list[i];
        Forget(list[i]);
        const size_t after = --g_holes.holedCount - i;
        std::memmove(&list[i], &list[i + 1], after * sizeof *list);
        return nullptr;
    }
    return nullptr;
}

BOOL CALLBACK PunchHole(HWND window, LPARAM)
{
    RECT r;
    if (!GetWindowRect(window, &r) || IsSpared(window, r)) return TRUE;
    HoledWindow* entry = Entry(window);

    // Everything in the window's own pixels: the rectangle above is the
    // screen's, the region a window the system scales is read in its own.
    const WindowScale scale = ScaleOf(window);
    const auto own = [&scale](int screenPixels) { return MulDiv(screenPixels, scale.own, scale.screen); };
    // A right-to-left window's region runs from its right edge.
    const bool mirrored = IsMirrored(window);
    // The current shape in window coordinates: its region, or else a square
    // as large as any window can grow (a region does not follow a resize: a
    // holed window that is enlarged or maximised would stay cut to its old
    // size). A right-to-left window's region is mirrored by the width the
    // window has when it is set: its square reaches both ways.
    Region current = CopyOwnRegion(window);
    // A window that set a shape of its own since its last hole keeps that
    // one at the repair.
    const bool ownShape = !entry || !SameRegion(current.get(), entry->lastSet, mirrored);
    const RECT all = VirtualScreen();
    const int whole = std::max({kLargestWindow, own(all.right - all.left), own(all.bottom - all.top)});
    const Region box(current ? nullptr : CreateRectRgn(mirrored ? -whole : 0, 0, whole, whole));
    const HRGN shape = current ? current.get() : box.get();
    const int cx = own(mirrored ? r.right - g_holes.ShotPoint.x : g_holes.ShotPoint.x - r.left);
    const int cy = own(g_holes.ShotPoint.y - r.top);
    // As large on the screen as in every other window.
    const int d = own(g_holes.holeDiameter), left = cx - d / 2, top = cy - d / 2;
    const Region hole(CreateEllipticRgn(left, top, left + d, top + d));
    Region result(CreateRectRgn(0, 0, 0, 0));
    // A window the list has no room for would keep a hole that no repair
    // gives back: it gets none.
    if (shape && hole && result && CombineRgn(result.get(), shape, hole.get(), RGN_DIFF) != ERROR &&
        Answers(window) && (entry || MakeRoom(g_holes.HoledWindowList, g_holes.holedCount, g_holes.holedRoom)) &&
        SetWindowRgn(window, result.get(), TRUE)) {
        result.Release();  // the system's now
        if (!entry) {
            HoledWindow* list = g_holes.HoledWindowList;
            std::memmove(&list[1], &list[0], g_holes.holedCount++ * sizeof *list);
            list[0] = HoledWindow{window, OwnerProcess(window), nullptr, nullptr};
            entry = &list[0];
        }
        if (ownShape) Keep(entry->original, std::move(current));
        // As the system keeps it, which may differ from what it was given.
        Keep(entry->lastSet, CopyOwnRegion(window));
    }
    return TRUE;
}

// Only while the window still has the region the last hole gave it: a shape
// it set itself since stays.
static void GiveBack(HoledWindow& h)
{
    const Region now = CopyOwnRegion(h.window);
    if (SameRegion(now.get(), h.lastSet, IsMirrored(h.window)) && SetWindowRgn(h.window, h.original, TRUE))
        h.original = nullptr;  // the system's
}

void RepairWindows()
{
    g_holes.askedCount = 0;
    size_t kept = 0;
    for (size_t i = 0; i < g_holes.holedCount; ++i) {
        HoledWindow& h = g_holes.HoledWindowList[i];
        // A window gone, or a handle that now names another program's
        // window, is only forgotten.
        const bool ours = IsWindow(h.window) && OwnerProcess(h.window) == h.process;
        if (ours && !Answers(h.window)) {
            // Keeps its hole, its regions and its order, for the next repair.
            g_holes.HoledWindowList[kept++] = h;
            continue;
        }
        if (ours) GiveBack(h);
        Forget(h);
    }
    g_holes.holedCount = kept;
}
