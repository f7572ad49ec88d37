#include "soak.h"

#include <algorithm>

namespace soak {

// ---------------------------------------------------------------------------
// The watcher: a thread that samples the program's two windows every few
// milliseconds and cuts the samples into flights. A flight begins when the
// sprite leaves the spot every end of a flight parks it at (its size up and
// left of the background's corner) and ends when it is back there, or the
// cover is gone.

struct WatcherState {
    CRITICAL_SECTION lock;
    HWND background = nullptr, sprite = nullptr;
    bool covered = false, active = false;
    RECT cover = {};
    Flight flight;
    int nextId = 1;
    DWORD lastSample = 0;
    std::vector<Flight> ended;
    volatile bool stop = false;
    HANDLE thread = nullptr;
};
static WatcherState g_watch;

struct Lock {
    Lock() { EnterCriticalSection(&g_watch.lock); }
    ~Lock() { LeaveCriticalSection(&g_watch.lock); }
};

static void EndFlight(DWORD now)
{
    g_watch.flight.ended = now;
    g_watch.flight.lastActive = g_watch.lastSample;
    g_watch.ended.push_back(g_watch.flight);
    g_watch.active = false;
}

static void BeginFlight(const RECT& cover, int x, int y, int w, int h, bool moving)
{
    Flight f;
    f.id = g_watch.nextId++;
    f.width = cover.right - cover.left;
    f.height = cover.bottom - cover.top;
    f.x = x, f.y = y, f.w = w, f.h = h;
    f.moving = moving;
    g_watch.flight = f;
    g_watch.active = true;
}

static void Follow(int x, int y, int w, int h, DWORD now)
{
    Flight& f = g_watch.flight;
    const bool fall = w == kFallWidth && h == kFallHeight;
    if (!f.moving) {
        if (x == f.x && y == f.y && w == f.w && h == f.h) return;
        f.moving = true;
    } else if (f.falling && !fall) {
        // The next flight's first tick, its end not seen in between.
        EndFlight(now);
        BeginFlight(g_watch.cover, x, y, w, h, true);
    } else if (!fall && x != f.x) {
        const int dir = x > f.x ? 1 : -1;
        if (f.dir && dir != f.dir) {  // no flight turns back: a new one
            EndFlight(now);
            BeginFlight(g_watch.cover, x, y, w, h, true);
        } else {
            g_watch.flight.dir = dir;
        }
    }
    Flight& g = g_watch.flight;
    if (fall && !g.falling) {
        g.falling = true;
        g.fallSeen = now;
        g.fallY = y;
    }
    g.x = x, g.y = y, g.w = w, g.h = h;
    if (g.moving && !g.seen && x + kFlyWidth > 0 && x < g.width) {
        g.seen = true;
        g.firstSeen = now;
        g.lastHidden = g_watch.lastSample;
    }
}

void Sample()
{
    Lock lock;
    const DWORD now = GetTickCount();
    RECT b, s;
    const bool there = g_watch.background && GetWindowRect(g_watch.background, &b) &&
                       GetWindowRect(g_watch.sprite, &s);
    if (!there) {
        if (g_watch.active) EndFlight(now);
        g_watch.covered = false;
    } else {
        g_watch.covered = b.right - b.left > 1 && IsWindowVisible(g_watch.background);
        if (g_watch.covered) g_watch.cover = b;
        const int x = s.left - b.left, y = s.top - b.top, w = s.right - s.left, h = s.bottom - s.top;
        const bool parked = x == -kFlyWidth && y == -kFlyHeight;
        if (g_watch.active && (parked || !g_watch.covered))
            EndFlight(now);
        else if (!g_watch.active && g_watch.covered && !parked)
            BeginFlight(b, x, y, w, h, false);
        if (g_watch.active) Follow(x, y, w, h, now);
    }
    g_watch.lastSample = now;
}

static DWORD WINAPI Watch(void*)
{
    while (!g_watch.stop) {
        Sample();
        Sleep(2);  // the sampling period: a tick is 50 ms
    }
    return 0;
}

View Now()
{
    Lock lock;
    return View{g_watch.covered, g_watch.active, g_watch.cover, g_watch.flight};
}

std::vector<Flight> TakeEnded()
{
    Lock lock;
    std::vector<Flight> ended;
    ended.swap(g_watch.ended);
    return ended;
}

void WatchWindows(HWND background, HWND sprite)
{
    Lock lock;
    g_watch.background = background;
    g_watch.sprite = sprite;
}

// Milliseconds at least until the chicken runs out, at the fastest step.
static int MsToEnd(const Flight& f)
{
    const int pixels = f.dir > 0 ? f.width + kFlyWidth - f.x : f.x + 2 * kFlyWidth;
    return pixels / kMaxStep * kTick;
}

bool Flying(const View& v)
{
    const int mid = v.f.x + kFlyWidth / 2;
    return v.active && v.f.moving && v.f.seen && !v.f.falling && v.f.dir != 0 && MsToEnd(v.f) >= 1500 &&
           mid > 20 && mid < std::min<int>(v.f.width, ScreenWidth()) - 20;
}
bool FallingEarly(const View& v) { return v.active && v.f.falling && v.f.y - v.f.fallY <= 36; }
bool BetweenFlights(const View& v) { return !v.active && !v.covered; }

void StartWatcher()
{
    InitializeCriticalSection(&g_watch.lock);
    g_watch.thread = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    SetThreadPriority(g_watch.thread, THREAD_PRIORITY_ABOVE_NORMAL);
}

void StopWatcher()
{
    g_watch.stop = true;
    WaitForSingleObject(g_watch.thread, 5000);
}

}  // namespace soak
