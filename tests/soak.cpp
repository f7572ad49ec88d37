// Shakes the real program with a seeded stream of what a user and the
// system do, and judges it by what must hold whatever happened:
//
//   soak.exe --exe PROGRAM --seed S --minutes M --out FOLDER [--until N]
//
// The stream is the seed's: action N is drawn from (S, N) alone. How an
// action is carried out follows what the program shows at that moment (a
// hit waits for a chicken, the tray menu for the end of a flight), and an
// action whose moment does not come in time is skipped. A model counts
// hits, missed shots and missed chickens from what was done and seen; where
// it could not tell (a click racing the end of a flight), the action waits
// until the program is in a state the model can judge. The first breach
// stops the run with the seed, the action, the last 20 actions, what was
// expected and seen, a screenshot and the command that replays it.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/app.h"
#include "flight/art.h"
#include "flight/flight.h"
#include "res/resource.h"
#include "support.h"
#include "ui/tray.h"

namespace {

// ---------------------------------------------------------------------------
// The run's options, its log and the breach report.

struct Options {
    std::string exe, out, kind = "win64";
    uint64_t seed = 1;
    double minutes = 1;
    long until = -1;  // the last action to run; -1: as long as the minutes last
    std::string display;  // WIDTHxHEIGHT: only set the display to that, and end
} g_options;

struct Counts {
    long actions = 0, skipped = 0, flights = 0, hits = 0, missedShots = 0, missedChickens = 0, quits = 0, kills = 0,
         displayChanges = 0, explorerRestarts = 0, dialogs = 0, menus = 0, victims = 0, hangs = 0, resets = 0,
         ownViewLost = 0;
} g_counts;

// Waits for `condition`, up to `ms`. The soak's thread has a message queue
// (its input and its messages to other windows make one) and keeps it
// drained while it waits, as any thread with a queue should.
template <typename F>
bool Wait(F condition, DWORD ms)
{
    return test::WaitFor(condition, ms, true);
}

FILE* g_log = nullptr;
std::deque<std::string> g_recent;  // the last 20 actions
long g_index = 0;                  // of the action being carried out
ULONGLONG g_start = 0;

void Log(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    char stamped[600];
    std::snprintf(stamped, sizeof stamped, "%8.1f #%ld %s", (GetTickCount64() - g_start) / 1000.0, g_index, line);
    if (g_log) {
        std::fprintf(g_log, "%s\n", stamped);
        std::fflush(g_log);
    }
    g_recent.push_back(stamped);
    if (g_recent.size() > 20) g_recent.pop_front();
}

// The X screen, as ImageMagick takes it: this process's own view of the
// display may be the empty one (see Display).
bool Screenshot(const std::string& path)
{
    std::string unixPath = path.size() > 2 && path[1] == ':' ? path.substr(2) : path;
    std::replace(unixPath.begin(), unixPath.end(), '\\', '/');
    // Renamed once written, so that its name means a whole picture.
    DeleteFileA(path.c_str());
    test::RunCommand("/bin/sh -c \"/usr/bin/import -window root '" + unixPath + ".part.png' && mv '" + unixPath + ".part.png' '" +
            unixPath + "'\"",
        0);
    return Wait([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000);
}

void RestoreDisplay();

void Breach(const char* invariant, const std::string& expected, const std::string& seen)
{
    std::string shot = g_options.out + "\\breach.png";
    if (!Screenshot(shot)) shot = "none (import failed)";
    std::printf("soak: BREACH of \"%s\"\n  seed %llu, action %ld\n  expected: %s\n  seen:     %s\n  screenshot: %s\n",
                invariant, static_cast<unsigned long long>(g_options.seed), g_index, expected.c_str(), seen.c_str(),
                shot.c_str());
    std::printf("  the last actions:\n");
    for (const std::string& line : g_recent) std::printf("    %s\n", line.c_str());
    std::printf("  replay: scripts/soak --seed %llu --exe %s --until %ld\n",
                static_cast<unsigned long long>(g_options.seed), g_options.kind.c_str(), g_index);
    if (g_log) std::fprintf(g_log, "BREACH %s: expected %s, seen %s\n", invariant, expected.c_str(), seen.c_str());
    std::fflush(stdout);
    RestoreDisplay();
    std::exit(1);
}

std::string Text(const char* format, ...)
{
    char text[300];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// A small generator of its own: the program's stream must not depend on
// the C library's.
struct Random {
    uint64_t state;
    explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL) { Next(); }
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int Below(int n) { return n > 0 ? static_cast<int>(Next() % static_cast<uint64_t>(n)) : 0; }
    int Between(int low, int high) { return low + Below(high - low + 1); }
    bool Chance(int percent) { return Below(100) < percent; }
};

// ---------------------------------------------------------------------------
// The display, as the soak set it. Wine keeps each process's view of the
// monitors in a cache of its own; in a run of minutes the soak's came back
// empty (every metric 0, no mode can be set) while every other process saw
// the display right. So the soak keeps the size itself, and a fresh process
// of its own sets a new one.

struct Display {
    RECT rect = {};  // the virtual screen: one monitor at the origin
    SIZE first = {};  // as the soak found it, and leaves it
} g_display;

int ScreenWidth() { return g_display.rect.right; }
int ScreenHeight() { return g_display.rect.bottom; }

bool SetDisplay(int width, int height)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    if (test::RunCommand(std::string("\"") + self + "\" --display " + Text("%dx%d", width, height), 20000) != 0) return false;
    g_display.rect = RECT{0, 0, width, height};
    return true;
}

// The tests after the soak start on the display it found.
void RestoreDisplay()
{
    const SIZE first = g_display.first;
    if (first.cx && (ScreenWidth() != first.cx || ScreenHeight() != first.cy)) SetDisplay(first.cx, first.cy);
}

// ---------------------------------------------------------------------------
// The watcher: a thread that samples the program's two windows every few
// milliseconds and cuts the samples into flights. A flight begins when the
// sprite leaves the spot every end of a flight parks it at (its size up and
// left of the background's corner) and ends when it is back there, or the
// cover is gone.

// The sprite's sizes and the tick are the program's; the soak runs at 96 dpi.
const int kMaxStep = 8;       // pixels per tick: the largest step a launch draws
const int kTick = kTickMilliseconds;
const DWORD kSlack = 20;      // GetTickCount's granularity, either side

struct Flight {
    int id = 0;
    int width = 0, height = 0;  // the frozen screen
    bool moving = false;        // the first tick has moved the sprite
    int dir = 0;                // +1 left to right, -1 right to left, 0 not known yet
    int x = 0, y = 0, w = 0, h = 0;
    bool falling = false;
    int fallY = 0;
    bool seen = false;           // the chicken has entered the screen
    DWORD lastHidden = 0, firstSeen = 0, fallSeen = 0, lastActive = 0, ended = 0;
};

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
} g_watch;

struct Lock {
    Lock() { EnterCriticalSection(&g_watch.lock); }
    ~Lock() { LeaveCriticalSection(&g_watch.lock); }
};

void EndFlight(DWORD now)
{
    g_watch.flight.ended = now;
    g_watch.flight.lastActive = g_watch.lastSample;
    g_watch.ended.push_back(g_watch.flight);
    g_watch.active = false;
}

void BeginFlight(const RECT& cover, int x, int y, int w, int h, bool moving)
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

void Follow(int x, int y, int w, int h, DWORD now)
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

DWORD WINAPI Watch(void*)
{
    while (!g_watch.stop) {
        Sample();
        Sleep(2);  // the sampling period: a tick is 50 ms
    }
    return 0;
}

// What the watcher sees now.
struct View {
    bool covered, active;
    RECT cover;
    Flight f;
};
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
int MsToEnd(const Flight& f)
{
    const int pixels = f.dir > 0 ? f.width + kFlyWidth - f.x : f.x + 2 * kFlyWidth;
    return pixels / kMaxStep * kTick;
}

// A flying chicken that a click can reach and that is far from its end: what
// a shot or a key is judged against. Its middle lies on the screen.
bool Flying(const View& v)
{
    const int mid = v.f.x + kFlyWidth / 2;
    return v.active && v.f.moving && v.f.seen && !v.f.falling && v.f.dir != 0 && MsToEnd(v.f) >= 1500 &&
           mid > 20 && mid < std::min<int>(v.f.width, ScreenWidth()) - 20;
}
// A fall that has run at most 9 of its 19 ticks.
bool FallingEarly(const View& v) { return v.active && v.f.falling && v.f.y - v.f.fallY <= 36; }
bool BetweenFlights(const View& v) { return !v.active && !v.covered; }

// ---------------------------------------------------------------------------
// The program: started, watched, read and ended.

struct Model {
    uint32_t hits = 0, missedShots = 0, missedChickens = 0;
    uint64_t timeLow = 0, timeHigh = 0;  // TimeSum lies between
};

// The settings in the registry; -1 where a value is not stored.
struct StoredSettings {
    int64_t speed = -1, sound = -1;
};
StoredSettings ReadSettings()
{
    StoredSettings s;
    DWORD value = 0;
    if (test::ReadValue(kSpeed, &value)) s.speed = value;
    if (test::ReadValue(kUseSound, &value)) s.sound = value;
    return s;
}

struct ProgramState {
    std::unique_ptr<test::Process> process;
    HWND background = nullptr, sprite = nullptr;
    DWORD started = 0;
    bool enabled = true;
    DWORD disabledSince = 0;
    long flown = 0;  // flights this program has ended
    bool dialogSeen = false;  // this program has opened its dialog
    uint32_t speed = 4, useSound = 1;
    StoredSettings stored;
    Model model, saved;          // saved: as the registry holds it
    DWORD earliestLaunch = 0;    // no chicken launches before this tick
    std::map<int, const char*> cut;  // flights ended by the soak, and how
    std::set<int> hit;               // flights whose chicken the soak hit
} g_program;

bool Before(DWORD a, DWORD b) { return static_cast<int32_t>(a - b) < 0; }

// The next chicken is drawn now: it comes after half the speed in seconds
// at the earliest (for a speed whose delay in milliseconds does not wrap).
void Scheduled(DWORD when)
{
    const uint32_t s = g_program.speed;
    g_program.earliestLaunch = when + (s < 2863311 ? s / 2 * 1000 : 0);
}

// Left clicks between flights cannot race a launch.
bool LaunchFar()
{
    return !g_program.enabled || Before(GetTickCount() + 1000, g_program.earliestLaunch);
}

using test::OwnerOf;

bool OfClass(HWND window, const char* name)
{
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    return std::strcmp(cls, name) == 0;
}

// The first visible top-level window of `process` with that class.
HWND WindowOf(DWORD process, const char* windowClass)
{
    struct Search {
        DWORD process;
        const char* cls;
        HWND found;
        static BOOL CALLBACK Take(HWND w, LPARAM p)
        {
            auto* s = reinterpret_cast<Search*>(p);
            if (OwnerOf(w) != s->process || !IsWindowVisible(w) || !OfClass(w, s->cls)) return TRUE;
            s->found = w;
            return FALSE;
        }
    } search = {process, windowClass, nullptr};
    EnumWindows(&Search::Take, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

DWORD ProgramId() { return g_program.process ? g_program.process->Id() : 0; }
HWND Menu() { return WindowOf(ProgramId(), "#32768"); }
HWND Dialog() { return WindowOf(ProgramId(), "#32770"); }

// The program's windows, its own children included.
int WindowCount(DWORD process)
{
    struct Count {
        DWORD process;
        int n;
        static BOOL CALLBACK Child(HWND, LPARAM q)
        {
            ++reinterpret_cast<Count*>(q)->n;
            return TRUE;
        }
        static BOOL CALLBACK Top(HWND w, LPARAM q)
        {
            auto* c = reinterpret_cast<Count*>(q);
            if (OwnerOf(w) != c->process) return TRUE;
            ++c->n;
            EnumChildWindows(w, Child, q);
            return TRUE;
        }
    } count = {process, 0};
    EnumWindows(Count::Top, reinterpret_cast<LPARAM>(&count));
    return count.n;
}

// Committed private memory of another process.
SIZE_T PrivateBytes(DWORD process)
{
    HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
    if (!p) return 0;
    const SIZE_T total = test::CommittedPrivateBytes(p);
    CloseHandle(p);
    return total;
}

// The program answers: everything sent to it before has been handled.
bool Answers(DWORD ms)
{
    DWORD_PTR result;
    return g_program.background &&
           SendMessageTimeoutA(g_program.background, WM_NULL, 0, 0, SMTO_NORMAL, ms, &result) != 0;
}

void Settle()
{
    if (!Answers(10000)) Breach("the program answers", "an answer within 10 s", "none");
}

// A message to the shell about the icon of the program whose window is
// `owner`, with nothing in it but the owner and the id.
bool NotifyShell(DWORD message, HWND owner)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = kTrayIconId;
    return owner && Shell_NotifyIconA(message, &data);
}

// Whether the shell holds the program's icon: a modify that changes nothing
// succeeds only on an icon that is there.
bool IconThere() { return NotifyShell(NIM_MODIFY, g_program.background); }

// The program's icon as Wine's notification area keeps it: explorer makes a
// tooltip control for every icon, whose tool is the icon's rectangle and
// whose text is the icon's tip. Read through memory lent in explorer's
// process, as a tooltip message carries pointers.
struct TrayIcon {
    bool found = false;
    RECT rect = {};
    std::string tip;
    std::string tips;  // of every tooltip that reads "Wingzap...", for the log
};

TrayIcon FindTrayIcon()
{
    TrayIcon icon;
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    if (!tray) {
        icon.tips = Text("(no taskbar window: error %lu)", GetLastError());
        return icon;
    }
    for (const test::ShellTooltip& t : test::ShellTooltips()) {
        if (t.text.compare(0, 7, "Wingzap") != 0) continue;
        // The tooltip of an icon the shell let go may stay behind: the live
        // one's tool is a window that shows.
        const bool live = IsWindowVisible(t.tool) != FALSE;
        icon.tips += Text("%s\"%s\" ", live ? "" : "(gone) ", t.text.c_str());
        if (live && icon.tip.empty()) icon.tip = t.text;
    }
    // The tool keeps the place the icon had when the taskbar last laid it
    // out, also after the display changed; the one icon is the square at
    // the taskbar's right end.
    const RECT bar = test::WindowRect(tray);
    icon.found = IconThere() && IsWindowVisible(tray) && !icon.tip.empty();
    icon.rect = RECT{bar.right - (bar.bottom - bar.top), bar.top, bar.right, bar.bottom};
    return icon;
}

// The mean in a tooltip "Wingzap - N Milliseconds/Chicken"; -1 for another text.
long TipMean(const std::string& tip)
{
    long mean = -1;
    return std::sscanf(tip.c_str(), "Wingzap - %ld Milliseconds/Chicken", &mean) == 1 ? mean : -1;
}

void CheckTooltip(const char* when)
{
    const Model& m = g_program.model;
    const uint64_t low = m.hits ? m.timeLow / m.hits : 0, high = m.hits ? m.timeHigh / m.hits : 0;
    TrayIcon icon;
    if (Wait([&] {
            icon = FindTrayIcon();
            const long mean = TipMean(icon.tip);
            return mean >= 0 && static_cast<uint64_t>(mean) >= low && static_cast<uint64_t>(mean) <= high;
        }, 5000))
        return;
    Breach("the tooltip shows the mean reaction time",
           Text("%s: a mean from %llu to %llu ms (%u hits)", when, static_cast<unsigned long long>(low),
                static_cast<unsigned long long>(high), m.hits),
           icon.found ? "\"" + icon.tip + "\"; tooltips " + icon.tips : "no icon; tooltips " + icon.tips);
}

// ---------------------------------------------------------------------------
// The victims: other programs' windows, as the model expects their shapes.

struct VictimWindow {
    std::string name;
    HWND window;
    bool rtl;
    HRGN expected;  // its own shape; none: no region
    bool holed = false;   // since the last repair
    bool unsure = false;  // a repair found it hung: a later one gives its shape back
    bool spoiled = false; // its holes outlived the program that made them
};

struct VictimGroup {
    std::unique_ptr<test::Victims> process;
    std::vector<VictimWindow> windows;
    DWORD hungFrom = 0, hungUntil = 0;
    DWORD closeAt = 0;  // the full-screen window goes then
};
std::vector<std::unique_ptr<VictimGroup>> g_victims;

using test::Describe;

HRGN OwnRegion(HWND window) { return test::CopyRegion(window).Release(); }

// Hung now, or lately enough that the program may have found it so.
bool Hung(const VictimGroup& g, DWORD margin = 500)
{
    const DWORD now = GetTickCount();
    return g.hungUntil && !Before(now, g.hungFrom) && Before(now, g.hungUntil + margin);
}

// After a repair (a Reset Windows, or the quit), ordered at `ordered`:
// every window that answered has its own shape again. The repair runs when
// the program gets to the command: the shapes are awaited. A window whose
// process hung at any time since the order may have been passed over.
void CheckShapes(const char* after, bool programGone, DWORD ordered)
{
    VictimWindow* wrong = nullptr;
    HRGN seen = nullptr;
    const DWORD repaired = GetTickCount();
    auto passedOver = [&](const VictimGroup& g) {
        return Hung(g) || (g.hungUntil && Before(g.hungFrom, repaired) && Before(ordered, g.hungUntil + 500));
    };
    Wait([&] {
        wrong = nullptr;
        for (auto& g : g_victims)
            for (VictimWindow& v : g->windows) {
                if (wrong || v.spoiled || !IsWindow(v.window) || passedOver(*g)) continue;
                HRGN now = OwnRegion(v.window);
                if (v.expected ? !now || !EqualRgn(now, v.expected) : now != nullptr) {
                    wrong = &v;
                    if (seen) DeleteObject(seen);
                    seen = now;
                } else if (now) {
                    DeleteObject(now);
                }
            }
        return wrong == nullptr;
    }, 5000);
    if (wrong)
        Breach("a repaired victim has the shape it had before its first hole, or the one it set since",
               Text("%s after %s: ", wrong->name.c_str(), after) + Describe(wrong->expected), Describe(seen));
    for (auto& g : g_victims)
        for (VictimWindow& v : g->windows) {
            if (v.spoiled || !IsWindow(v.window)) continue;
            if (!passedOver(*g))
                v.holed = v.unsure = false;
            else if (v.holed)
                (programGone ? v.spoiled : v.unsure) = true;
        }
}

void Spoil()
{
    for (auto& g : g_victims)
        for (VictimWindow& v : g->windows)
            if (v.holed || v.unsure) v.spoiled = true;
}

// Groups with a window whose holes nobody will repair go; so do the ones
// left without windows.
void Tidy()
{
    for (auto it = g_victims.begin(); it != g_victims.end();) {
        bool drop = (*it)->windows.empty() || ((*it)->closeAt && !Before(GetTickCount(), (*it)->closeAt));
        for (const VictimWindow& v : (*it)->windows) drop = drop || v.spoiled;
        if (!drop) {
            ++it;
            continue;
        }
        for (VictimWindow& v : (*it)->windows)
            if (v.expected) DeleteObject(v.expected);
        Log("victims %s close", (*it)->closeAt ? "(full screen)" : "");
        it = g_victims.erase(it);
    }
}

// The victims' windows that a shot at (x, y) must hole: under the point,
// not minimised, of a process that answers.
std::vector<VictimWindow*> UnderShot(int x, int y)
{
    std::vector<VictimWindow*> under;
    for (auto& g : g_victims) {
        if (Hung(*g, 1000)) continue;
        for (VictimWindow& v : g->windows) {
            RECT r = test::WindowRect(v.window);
            if (!IsWindow(v.window) || IsIconic(v.window) || x < r.left || x > r.right || y < r.top || y > r.bottom)
                continue;
            under.push_back(&v);
        }
    }
    return under;
}

bool InsideAnyVictim(int x, int y)
{
    for (auto& g : g_victims)
        for (VictimWindow& v : g->windows) {
            RECT r = test::WindowRect(v.window);
            if (IsWindow(v.window) && x >= r.left - 20 && x <= r.right + 20 && y >= r.top - 20 && y <= r.bottom + 20)
                return true;
        }
    return false;
}

void CheckHoled(const std::vector<VictimWindow*>& under, int x, int y)
{
    for (VictimWindow* v : under) {
        const RECT r = test::WindowRect(v->window);
        const int cx = v->rtl ? r.right - x : x - r.left, cy = y - r.top;
        HRGN now = nullptr;
        const bool holed = Wait([&] {
            if (now) DeleteObject(now);
            now = OwnRegion(v->window);
            return now && !PtInRegion(now, cx, cy);
        }, 3000);
        if (!holed)
            Breach("a missed shot holes the windows under it",
                   Text("%s without its point (%d,%d) after a miss at (%d,%d)", v->name.c_str(), cx, cy, x, y),
                   Describe(now));
        if (now) DeleteObject(now);
        v->holed = true;
    }
}

// ---------------------------------------------------------------------------
// Input, as a person makes it.

// The pointer goes there through the X server alone, and the buttons press
// where it is: this process's own view of the display may be the empty one
// (see Display).
void MovePointer(int x, int y)
{
    POINT at = {};
    if (!test::MovePointer(x, y, test::Aim::kWherePointerIs, &at))
        Breach("the pointer reaches a point", Text("(%d,%d)", x, y), Text("(%ld,%ld)", at.x, at.y));
}

bool Buttons(int presses, bool right = false) { return test::Press(presses, right); }

bool Press(int x, int y, int presses, bool right = false)
{
    MovePointer(x, y);
    return Buttons(presses, right);
}

void Keys(const std::vector<WORD>& keys)
{
    std::vector<INPUT> input;
    for (WORD key : keys)
        for (DWORD up : {0UL, static_cast<unsigned long>(KEYEVENTF_KEYUP)}) {
            INPUT in = {};
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = key;
            in.ki.dwFlags = up;
            input.push_back(in);
        }
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

void Type(const std::string& text)
{
    std::vector<INPUT> input;
    for (unsigned char c : text)
        for (DWORD up : {0UL, static_cast<unsigned long>(KEYEVENTF_KEYUP)}) {
            INPUT in = {};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = c;
            in.ki.dwFlags = KEYEVENTF_UNICODE | up;
            input.push_back(in);
        }
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

POINT Middle(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// ---------------------------------------------------------------------------
// Starting and ending the program, and what the registry then holds.

void ReadCounters(Model* m)
{
    DWORD hits = 0, shots = 0, chickens = 0, time = 0;
    test::ReadValue(kCountHits, &hits);
    test::ReadValue(kCountMissedShots, &shots);
    test::ReadValue(kCountMissedChicken, &chickens);
    test::ReadValue(kTimeSum, &time);
    *m = Model{hits, shots, chickens, time, time};
}

// The registry's counters against `expected`: the three counts exactly,
// TimeSum within the bounds; the model then takes the value stored.
void CheckStored(const Model& expected, const char* after)
{
    Model stored;
    ReadCounters(&stored);
    if (stored.hits != expected.hits || stored.missedShots != expected.missedShots ||
        stored.missedChickens != expected.missedChickens || stored.timeLow + kSlack < expected.timeLow ||
        stored.timeLow > expected.timeHigh + kSlack)
        Breach(after[0] == 'k' ? "after a kill the registry holds the counters of the last ended flight"
                               : "after a quit the registry holds the model's counters",
               Text("%s: hits %u, missed shots %u, missed chickens %u, TimeSum %llu to %llu", after, expected.hits,
                    expected.missedShots, expected.missedChickens,
                    static_cast<unsigned long long>(expected.timeLow),
                    static_cast<unsigned long long>(expected.timeHigh)),
               Text("hits %u, missed shots %u, missed chickens %u, TimeSum %llu", stored.hits, stored.missedShots,
                    stored.missedChickens, static_cast<unsigned long long>(stored.timeLow)));
    g_program.model = g_program.saved = stored;
}

void Account();

void StartProgram()
{
    const DWORD before = GetTickCount();
    g_program.process.reset(new test::Process(g_options.exe));
    if (!g_program.process->Started()) Breach("the program starts", g_options.exe, "no process");
    HWND background, sprite;
    if (!test::WaitForWindows(*g_program.process, &background, &sprite))
        Breach("the program starts", "its two windows", "none");
    g_program.background = background;
    g_program.sprite = sprite;
    g_program.started = before;
    g_program.enabled = true;
    g_program.flown = 0;
    g_program.dialogSeen = false;
    WatchWindows(background, sprite);
    g_program.stored = ReadSettings();
    g_program.speed = g_program.stored.speed > 0 ? static_cast<uint32_t>(g_program.stored.speed) : g_program.stored.speed == 0 ? 1 : 60;
    g_program.useSound = g_program.stored.sound >= 0 ? static_cast<uint32_t>(g_program.stored.sound) : 1;
    Scheduled(before);
    if (!Wait([] { return IconThere() && FindTrayIcon().found; }, 15000)) Breach("the program starts", "its tray icon", "none");
    CheckTooltip("at the start");
    Log("started, process %lu", ProgramId());
}

// The program asked to quit: it ends with 0, having repaired the victims
// and stored the counters.
void Quitted(const char* how, bool restart = true)
{
    const DWORD ordered = GetTickCount() - 1000;  // the key or click went just before
    // The quit ends the flight that is up as it is ordered: also one that
    // launched while the menu's click was on its way.
    const View up = Now();
    if (up.active && !g_program.cut.count(up.f.id)) g_program.cut[up.f.id] = "the quit";
    DWORD code = STILL_ACTIVE;
    if (!g_program.process->Ended(15000, &code))
        Breach("the program ends with 0 when it is told to quit", Text("an end within 15 s of %s", how),
               "still running");
    if (code != 0)
        Breach("the program ends with 0 when it is told to quit", "exit code 0", Text("exit code %lu", code));
    WatchWindows(nullptr, nullptr);
    Wait([] { Sample(); return !Now().active; }, 1000);
    Account();
    CheckShapes("the quit", true, ordered);
    CheckStored(g_program.model, "the quit");
    g_counts.quits++;
    Log("quit by %s: registry as the model", how);
    Tidy();
    if (restart) StartProgram();
}

void CheckAlive()
{
    if (!g_program.process->Running()) {
        DWORD code = g_program.process->Wait(0);
        Breach("the program is alive unless told to quit", "running", Text("ended, exit code %lu", code));
    }
}

// ---------------------------------------------------------------------------
// The flights the watcher saw end, into the model.

void Account()
{
    for (const Flight& f : TakeEnded()) {
        // A launch cut before its second tick, or the moment of parking
        // when one window has gone and the other not yet: no flight.
        if (!f.moving || (f.dir == 0 && !f.falling)) continue;
        g_counts.flights++;
        g_program.flown++;
        auto cut = g_program.cut.find(f.id);
        const bool wasHit = g_program.hit.count(f.id) != 0;
        Log("flight %d ended: %s, dir %d, last x %d of %d%s", f.id, f.falling ? "fell" : "flew", f.dir, f.x,
            f.width, cut != g_program.cut.end() ? (std::string(", cut by ") + cut->second).c_str() : "");
        if (f.falling && !wasHit)
            Breach("only an aimed shot hits", "no fall", Text("flight %d fell", f.id));
        if (cut != g_program.cut.end()) continue;  // the soak ended it, and counted what it must
        Scheduled(f.lastActive);
        if (f.falling) {
            g_program.saved = g_program.model;  // the fall's end stores the counters
            continue;
        }
        const bool atEnd = f.dir > 0 ? f.x > f.width + kFlyWidth - 6 * kMaxStep
                                     : f.dir < 0 && f.x < -2 * kFlyWidth + 6 * kMaxStep;
        if (!atEnd)
            Breach("a flight ends only at its far edge, by a hit or by what the soak did",
                   Text("flight %d running on from x %d", f.id, f.x), "its end");
        g_program.model.missedChickens++;
        g_program.saved = g_program.model;
        g_counts.missedChickens++;
    }
}

// Waits up to `ms` for the moment an action needs.
template <typename F>
bool Moment(F wanted, DWORD ms)
{
    bool found = Wait([&] {
        Account();  // the next launch's earliest time follows every end
        if (!g_program.process->Running()) return true;
        return wanted(Now());
    }, ms);
    Account();
    CheckAlive();
    return found;
}

// ---------------------------------------------------------------------------
// The options dialog, as the user fills it in.

uint32_t ParseSpeed(const std::string& shown)
{
    const std::string text = shown.substr(0, 9);  // only 9 characters are read
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int32_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') value = value * 10 + (text[i++] - '0');
    if (negative) value = -value;
    return value == 0 ? 1 : static_cast<uint32_t>(value);
}

std::string SpeedText(Random& r)
{
    static const char* const kinds[] = {"digits", "sane", "sane", "signed", "letters", "mixed", "long", "blank"};
    const std::string kind = kinds[r.Below(8)];
    std::string text;
    if (kind == "sane") return std::to_string(r.Between(2, 9));
    if (kind == "digits") return std::to_string(r.Between(0, 99999));
    if (kind == "signed") return std::string(r.Chance(50) ? "-" : "+") + std::to_string(r.Between(0, 999));
    if (kind == "blank") return std::string(r.Between(0, 3), ' ') + std::to_string(r.Between(1, 20)) + "s";
    const int n = kind == "long" ? r.Between(10, 40) : r.Between(1, 6);
    for (int i = 0; i < n; ++i) {
        const int c = r.Below(kind == "letters" ? 26 : 40);
        text += c < 26 ? static_cast<char>('a' + c) : c < 36 ? static_cast<char>('0' + c - 26) : "+- x"[c - 36];
    }
    return text;
}

std::string WindowText(HWND w)
{
    char text[128] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 2000, &copied);
    return text;
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// Fills in the open dialog and closes it; true when the speed changed.
// With `speed`, it types that and takes it with OK.
bool UseDialog(Random& r, const char* openedBy, const char* speed = nullptr)
{
    HWND dialog = nullptr;
    if (!Wait([&] { return (dialog = Dialog()) != nullptr; }, 5000))
        Breach("the options dialog opens", openedBy, "no dialog");
    g_counts.dialogs++;
    g_program.dialogSeen = true;
    // A flight that was on when the dialog opened goes on over it, its
    // cover in front: a click now would be a shot. No new one launches.
    if (!Moment([](const View& v) { return !v.active && !v.covered; }, 40000))
        Breach("no chicken launches while the dialog is open", "the flight over, the cover gone", "a flight");
    HWND edit = GetDlgItem(dialog, IDC_SPEED_EDIT), check = GetDlgItem(dialog, IDC_USE_SOUND);
    const std::string shown = std::to_string(static_cast<int32_t>(g_program.speed));
    if (!Wait([&] { return WindowText(edit) == shown; }, 3000))
        Breach("the dialog shows the stored speed", shown, WindowText(edit));
    // After the display shrank, Wine may centre the dialog on the height it
    // had before: what lies off the screen is reached by the keyboard, or
    // not at all.
    auto reachable = [](const POINT& p) { return p.x >= 0 && p.y >= 0 && p.x < ScreenWidth() && p.y < ScreenHeight() - 30; };  // above the taskbar
    const RECT c = test::WindowRect(check);
    const POINT box = {c.left + 6, (c.top + c.bottom) / 2};
    if (!speed && r.Chance(40) && reachable(box)) {
        const LRESULT was = SendMessageA(check, BM_GETCHECK, 0, 0);
        Press(box.x, box.y, 1);
        if (!Wait([&] { return SendMessageA(check, BM_GETCHECK, 0, 0) != was; }, 3000))
            Breach("a click on the check box toggles it", Text("not %ld", static_cast<long>(was)), "unchanged");
    }
    std::string typed;
    const POINT e = Middle(test::WindowRect(edit));
    if ((speed || r.Chance(80)) && reachable(e)) {
        typed = speed ? speed : SpeedText(r);
        Press(e.x, e.y, 1);
        // Selected once the click has put the focus there, or the click
        // would drop the selection again.
        if (!Wait([&] { return FocusOf(dialog) == edit; }, 3000)) {
            char focus[64] = "none", front[64] = "none", under[64] = "none";
            GetClassNameA(FocusOf(dialog), focus, sizeof focus);
            GetClassNameA(GetForegroundWindow(), front, sizeof front);
            GetClassNameA(WindowFromPoint(e), under, sizeof under);
            Breach("a click in the speed field gives it the focus", "the field",
                   Text("the focus on a %s, a %s in front, a %s under the click", focus, front, under));
        }
        SendMessageA(edit, EM_SETSEL, 0, -1);
        Type(typed);
        if (!Wait([&] { return WindowText(edit) == typed; }, 5000))
            Breach("typed text reaches the speed field", typed, WindowText(edit));
    }
    const bool ok = speed || r.Chance(70);
    const POINT button = Middle(test::WindowRect(GetDlgItem(dialog, ok ? IDOK : IDCANCEL)));
    const bool byKey = r.Chance(30) || !reachable(button);
    const uint32_t oldSpeed = g_program.speed;
    const uint32_t sound = SendMessageA(check, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    const uint32_t newSpeed = ParseSpeed(WindowText(edit));
    Log("dialog: \"%s\", sound %u, %s by %s", typed.c_str(), sound, ok ? "OK" : "Cancel", byKey ? "key" : "click");
    const DWORD closing = GetTickCount();
    if (byKey) {
        // The end of a flight gives the foreground back to the window that
        // had it before: keys reach the dialog once a click brings it back.
        const RECT d = test::WindowRect(dialog);
        const POINT title = {(d.left + d.right) / 2, d.top + 12};
        if (GetForegroundWindow() != dialog && reachable(title)) {
            Press(title.x, title.y, 1);
            if (!Wait([&] { return GetForegroundWindow() == dialog; }, 3000))
                Breach("a click on the dialog brings it to the front", "the dialog in front", "another window");
        }
        Keys({static_cast<WORD>(ok ? VK_RETURN : VK_ESCAPE)});
    } else {
        Press(button.x, button.y, 1);
    }
    if (!Wait([] { return Dialog() == nullptr; }, 5000)) Breach("OK and Cancel close the dialog", "closed", "open");
    Settle();
    if (ok) {
        g_program.speed = newSpeed;
        g_program.useSound = sound;
    }
    if (ok) g_program.stored = {static_cast<int64_t>(newSpeed), static_cast<int64_t>(sound)};
    const StoredSettings now = ReadSettings();
    if (now.speed != g_program.stored.speed || now.sound != g_program.stored.sound)
        Breach(ok ? "OK stores the settings as typed" : "Cancel leaves the settings",
               Text("Speed %lld, UseSound %lld", static_cast<long long>(g_program.stored.speed),
                    static_cast<long long>(g_program.stored.sound)),
               Text("Speed %lld, UseSound %lld (-1: not stored)", static_cast<long long>(now.speed),
                    static_cast<long long>(now.sound)));
    const bool changed = g_program.speed != oldSpeed;
    if (changed) Scheduled(closing);
    return changed;
}

// ---------------------------------------------------------------------------
// The tray: the menu and the icon, between flights.

// The icon where the pointer reaches it, and not covered by another window:
// the icon's tooltip, too, would take the press.
bool IconReachable(TrayIcon* icon)
{
    *icon = FindTrayIcon();
    if (!icon->found) return false;
    const POINT at = Middle(icon->rect);
    HWND under = WindowFromPoint(at);
    return under && OwnerOf(under) == OwnerOf(FindWindowA("Shell_TrayWnd", nullptr)) &&
           !OfClass(under, TOOLTIPS_CLASSA);
}

// Waits for a moment between flights with the icon in reach; with
// `leftClick`, one far from the next launch. The pointer leaves the tray
// first, and with it the tooltip that its last visit opened.
bool TrayMoment(TrayIcon* icon, bool leftClick)
{
    MovePointer(ScreenWidth() / 2, ScreenHeight() / 3);
    const bool found = Moment([&](const View& v) {
        Tidy();  // a full-screen window that covers the taskbar goes in its time
        return BetweenFlights(v) && (!leftClick || LaunchFar()) && Dialog() == nullptr && IconReachable(icon);
    }, 30000);
    if (!found)
        Log("no tray moment: icon %s at (%ld,%ld)-(%ld,%ld), under it window %p; tooltips %s", icon->found ? "found" : "not found",
            icon->rect.left, icon->rect.top, icon->rect.right, icon->rect.bottom,
            static_cast<void*>(WindowFromPoint(Middle(icon->rect))), icon->tips.c_str());
    return found;
}

const int kMenuRows[] = {11, 37, 54, 71, 97};  // Info, Enable/Disable, Reset Windows, Reset Statistics, Quit
enum MenuItem { kInfo, kToggle, kResetWindows, kResetStatistics, kQuit, kNone };

bool OpenMenu(RECT* menu)
{
    TrayIcon icon;
    if (!TrayMoment(&icon, false)) return false;
    const POINT at = Middle(icon.rect);
    Press(at.x, at.y, 1, true);
    HWND m = nullptr;
    // A launch that came first may take the press on its cover (a right
    // click is no shot), or Wine may pass it through the cover to the icon:
    // the menu then opens over the flight, and is used like any other.
    if (!Moment([&](const View&) { return (m = Menu()) != nullptr; }, 5000)) return false;
    Wait([&] { return test::WindowRect(m).bottom - test::WindowRect(m).top > 50; }, 2000);
    *menu = test::WindowRect(m);
    g_counts.menus++;
    return true;
}

void Choose(MenuItem item, Random& r)
{
    RECT menu;
    if (!OpenMenu(&menu)) {
        g_counts.skipped++;
        Log("menu: no moment");
        return;
    }
    static const char* const names[] = {"Info", "Enable/Disable", "Reset Windows", "Reset Statistics", "Quit", "none"};
    Log("menu: %s", names[item]);
    DWORD chosen = GetTickCount();
    if (item == kNone) {
        Keys({VK_ESCAPE});
    } else {
        Press(menu.left + 30, menu.top + kMenuRows[item], 1);
    }
    if (!Wait([] { return Menu() == nullptr; }, 5000)) Breach("a menu choice closes the menu", "closed", "open");
    switch (item) {
    case kInfo: UseDialog(r, "Info"); break;
    case kToggle:
        Settle();
        g_program.enabled = !g_program.enabled;
        g_program.disabledSince = GetTickCount();
        break;
    case kResetWindows:
        Settle();
        g_counts.resets++;
        CheckShapes("Reset Windows", false, chosen);
        break;
    case kResetStatistics:
        Settle();
        g_program.model = g_program.saved = Model{};
        CheckTooltip("after Reset Statistics");
        break;
    case kQuit: Quitted("the menu's Quit"); break;
    case kNone: Settle(); break;
    }
}

// ---------------------------------------------------------------------------
// Shots and keys during a flight.

// Chickens to come for an action that needs one: nobody leaves them off for
// long, so after a few seconds off the menu turns them on again.
bool ChickensCome(Random& r)
{
    if (Now().active) return true;
    // Nor one who typed a wait of minutes: the dialog takes a short one.
    if (g_program.speed > 30) {
        RECT menu;
        if (!OpenMenu(&menu)) return false;
        Log("menu: Info, for a shorter wait");
        Press(menu.left + 30, menu.top + kMenuRows[kInfo], 1);
        if (!Wait([] { return Menu() == nullptr; }, 5000)) Breach("a menu choice closes the menu", "closed", "open");
        UseDialog(r, "Info", "6");
    }
    if (g_program.enabled) return true;
    if (Before(GetTickCount(), g_program.disabledSince + 5000)) return false;
    Choose(kToggle, r);
    return g_program.enabled;
}

// A point of the cover the chicken cannot reach before the press lands:
// above or below its row, away from the taskbar.
bool MissPoint(Random& r, const View& v, int where, POINT* at)
{
    const int width = std::min<int>(v.cover.right, ScreenWidth());
    const int height = std::min<int>(v.cover.bottom, ScreenHeight());
    const RECT tray = test::WindowRect(FindWindowA("Shell_TrayWnd", nullptr));
    std::vector<RECT> targets;
    if (where == 1)
        for (auto& g : g_victims)
            for (VictimWindow& w : g->windows)
                if (IsWindow(w.window) && !IsIconic(w.window)) targets.push_back(test::WindowRect(w.window));
    for (int attempt = 0; attempt < 40; ++attempt) {
        int x = r.Between(10, width - 10), y = r.Between(10, height - 10);
        if (where == 1) {
            if (targets.empty()) return false;
            const RECT& t = targets[r.Below(static_cast<int>(targets.size()))];
            if (t.right - t.left < 50 || t.bottom - t.top < 50) continue;
            x = r.Between(t.left + 20, t.right - 20);
            y = r.Between(t.top + 20, t.bottom - 20);
        }
        if (x < 10 || y < 10 || x > width - 10 || y > height - 10) continue;
        if (y > v.f.y - 40 && y < v.f.y + kFlyHeight + 40) continue;  // the chicken's row
        if (y >= tray.top - 10 && x >= tray.left - 10) continue;
        if (where == 2 && InsideAnyVictim(x, y)) continue;
        *at = POINT{x, y};
        return true;
    }
    return false;
}

void Miss(Random& r, int where, int presses)
{
    static const char* const names[] = {"the background", "a victim", "between victims"};
    POINT at = {};
    View v;
    bool targets = where != 1;
    for (auto& g : g_victims)
        for (VictimWindow& w : g->windows) targets = targets || (IsWindow(w.window) && !IsIconic(w.window));
    if (!targets || !ChickensCome(r) || !Moment([&](const View& now) { v = now; return Flying(now); }, 20000) ||
        !MissPoint(r, v, where, &at)) {
        g_counts.skipped++;
        Log("miss on %s: no moment", names[where]);
        return;
    }
    std::vector<VictimWindow*> under = UnderShot(at.x, at.y);
    Log("miss on %s at (%ld,%ld) x%d, flight %d", names[where], at.x, at.y, presses, v.f.id);
    Press(at.x, at.y, presses);
    Settle();
    g_program.model.missedShots += presses;
    g_counts.missedShots += presses;
    CheckHoled(under, at.x, at.y);
}

void Hit(Random& r, int presses, bool thenFall)
{
    View v;
    if (!ChickensCome(r) || !Moment([&](const View& now) { v = now; return Flying(now); }, 20000)) {
        g_counts.skipped++;
        Log("hit: no moment");
        return;
    }
    // The pointer waits a few ticks ahead of the chicken, as a hunter's
    // does, and the button goes once the chicken is well under it: how long
    // the pointer took to get there does not matter.
    const int x = v.f.x + kFlyWidth / 2 + v.f.dir * 6 * kMaxStep + v.cover.left;
    const int y = v.f.y + kFlyHeight / 2 + v.cover.top;
    if (x < v.cover.left + 10 || x > v.cover.left + std::min<int>(v.f.width, ScreenWidth()) - 10) {
        g_counts.skipped++;
        Log("hit: the chicken too near its edge");
        return;
    }
    MovePointer(x, y);
    View under;
    const bool there = Moment([&](const View& now) {
        under = now;
        if (!now.active || now.f.id != v.f.id || now.f.falling) return true;
        const int into = x - now.cover.left - now.f.x;
        return into >= 20 && into <= kFlyWidth - 20;
    }, 3000);
    if (!there || !under.active || under.f.id != v.f.id || under.f.falling) {
        g_counts.skipped++;
        Log("hit: flight %d did not come under the pointer", v.f.id);
        return;
    }
    Log("hit at (%d,%d) x%d, flight %d at x %d", x, y, presses, v.f.id, under.f.x);
    const DWORD sent = GetTickCount();
    Buttons(presses);
    View fell;
    if (!Moment([&](const View& now) { fell = now; return !now.active || now.f.id != v.f.id || now.f.falling; }, 3000) ||
        !fell.active || fell.f.id != v.f.id || !fell.f.falling)
        Breach("a press on the flying chicken hits it", Text("flight %d falling", v.f.id),
               Text("flight %d %s", fell.f.id, fell.active ? (fell.f.falling ? "falling" : "flying") : "over"));
    Model& m = g_program.model;
    m.hits++;
    g_program.hit.insert(v.f.id);
    g_counts.hits++;
    // The chicken appeared between the last sample without it and the first
    // with it, the hit landed between the press and the first fall frame.
    m.timeLow += sent > v.f.firstSeen + kSlack ? sent - v.f.firstSeen - kSlack : 0;
    m.timeHigh += fell.f.fallSeen - v.f.lastHidden + kTick + kSlack;
    CheckTooltip("after a hit");
    if (!thenFall) return;
    const int n = r.Between(1, 3);
    for (int i = 0; i < n; ++i) {
        View now = Now();
        if (!FallingEarly(now) || now.f.id != v.f.id) break;
        POINT at = {r.Between(10, ScreenWidth() - 10), r.Between(10, ScreenHeight() - 60)};
        if (r.Chance(50)) at = POINT{now.f.x + kFallWidth / 2 + now.cover.left, now.f.y + kFallHeight / 2 + now.cover.top};
        Log("press during the fall at (%ld,%ld)", at.x, at.y);
        Press(at.x, at.y, 1);
    }
}

// A right click on the cover makes the background the foreground window:
// keys reach the program only then.
bool ProgramInFront(const View& v)
{
    if (GetForegroundWindow() == g_program.background) return true;
    POINT at = {v.cover.left + 10, v.f.y > 200 ? v.cover.top + 60 : v.cover.bottom - 100};
    Press(at.x, at.y, 1, true);
    return Wait([] { return GetForegroundWindow() == g_program.background; }, 2000);
}

void FlightKey(Random& r)
{
    const int pick = r.Below(100);
    const WORD key = pick < 30 ? 'O' : pick < 38 ? 'Q' : pick < 45 ? VK_ESCAPE : static_cast<WORD>('A' + r.Below(26));
    View v;
    if (!ChickensCome(r) || !Moment([&](const View& now) { v = now; return Flying(now) || FallingEarly(now); }, 20000)) {
        g_counts.skipped++;
        Log("key %u in a flight: no moment", key);
        return;
    }
    if (!ProgramInFront(v)) {
        Log("key %u in a flight: the cover is not in front, skipped", key);
        g_counts.skipped++;
        return;
    }
    Log("key %u in flight %d", key, v.f.id);
    const bool ends = key == 'O' || key == 'Q' || key == VK_ESCAPE;
    if (ends) g_program.cut[v.f.id] = key == 'O' ? "O" : "a quit key";
    Keys({key});
    if (key == 'Q' || key == VK_ESCAPE) {
        Quitted(key == 'Q' ? "Q" : "Esc");
    } else if (key == 'O') {
        if (!Wait([] { return Dialog() != nullptr; }, 5000)) Breach("O opens the dialog", "a dialog", "none");
        Account();
        g_program.saved = g_program.model;  // the cut flight's shots are stored before the dialog
        const DWORD closing = GetTickCount();
        UseDialog(r, "O");
        Scheduled(closing);
    } else {
        Settle();
        if (Dialog()) Breach("other keys do nothing", "no dialog", "a dialog");
    }
}

// ---------------------------------------------------------------------------
// The system: display sizes, Explorer, the kill.

// A change in a flight ends it at once, no chicken counted as missed, its
// shots stored and the next chicken drawn from then; between flights it
// waits for a moment no launch can race.
void ChangeDisplay(Random& r)
{
    static const SIZE sizes[] = {{1024, 768}, {800, 600}, {1280, 1024}, {640, 480}};
    const SIZE s = sizes[r.Below(4)];
    View v;
    if (!Moment([&](const View& now) {
            v = now;
            return (BetweenFlights(now) && LaunchFar()) || Flying(now) || FallingEarly(now);
        }, 20000)) {
        g_counts.skipped++;
        Log("display %ldx%ld: no moment", s.cx, s.cy);
        return;
    }
    if (v.active) g_program.cut[v.f.id] = "a display change";
    Log("display %ldx%ld %s", s.cx, s.cy, v.active ? Text("in flight %d", v.f.id).c_str() : "between flights");
    const DWORD asked = GetTickCount();
    if (!SetDisplay(s.cx, s.cy)) Breach("the display takes the size asked", Text("%ldx%ld", s.cx, s.cy), "another");
    g_counts.displayChanges++;
    if (v.active) {
        // The program hears of it once its thread is free (a launch's cackle holds it).
        if (!Wait([&] { const View now = Now(); return !now.active || now.f.id != v.f.id; }, 5000))
            Breach("a display change ends the flight in the air", Text("flight %d ended", v.f.id), "still flying");
        Account();
        g_program.saved = g_program.model;
        Scheduled(asked);
    }
    Settle();
}

void RestartExplorer()
{
    // What the program sees of an Explorer that restarted: its icon gone,
    // then "TaskbarCreated" for everybody.
    Log("explorer restart");
    NotifyShell(NIM_DELETE, g_program.background);
    if (!Wait([] { return !IconThere(); }, 5000)) Breach("the shell forgets the icon", "gone", "there");
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    if (!Wait([] { return IconThere() && FindTrayIcon().found; }, 10000))
        Breach("the icon comes back when Explorer restarts", "the icon", "none");
    g_counts.explorerRestarts++;
    CheckTooltip("after Explorer restarted");
}

void Kill()
{
    View v;
    if (!Moment([&](const View& now) { v = now; return BetweenFlights(now) || Flying(now) || FallingEarly(now); },
                20000)) {
        g_counts.skipped++;
        return;
    }
    if (v.active) g_program.cut[v.f.id] = "a kill";
    Settle();
    Log("kill -9 in %s", v.active ? "a flight" : "between flights");
    // Wine ends a Windows process gently; kill -9 is the power cut. Its
    // Unix process is found by its command line and its prefix: the exe's
    // path first, or right after the 32-bit loader's where an emulator runs
    // that loader (the soak's own line names the exe later).
    test::RunCommand("/bin/sh -c \"for p in $(pgrep -f '(^|/wine[^ ]* )[^ ]*Wingzap[.]exe'); do "
        "tr '\\0' '\\n' </proc/$p/environ | grep -qxF WINEPREFIX=$WINEPREFIX && kill -9 $p; done\"",
        0);
    DWORD code = 0;
    if (!g_program.process->Ended(10000, &code)) Breach("kill -9 ends the program", "ended", "running");
    const HWND dead = g_program.background;
    WatchWindows(nullptr, nullptr);
    Wait([] { Sample(); return !Now().active; }, 1000);
    Account();
    CheckStored(g_program.saved, "kill -9");
    g_counts.kills++;
    Spoil();
    Tidy();
    // As Explorer does once the pointer passes an icon whose owner is gone.
    NotifyShell(NIM_DELETE, dead);
    StartProgram();
}

// ---------------------------------------------------------------------------
// Victims coming and going.

void AddVictims(Random& r, bool fullScreen)
{
    if (g_victims.size() >= 3 && !fullScreen) return;
    static const char* const flags[] = {"-", "-", "r", "e", "l", "m", "f", "rl"};
    const int width = ScreenWidth(), height = ScreenHeight();
    static int serial = 0;
    std::vector<std::string> names;
    std::vector<test::VictimWindow> wanted;
    const int n = fullScreen ? 1 : r.Between(1, 3);
    for (int i = 0; i < n; ++i) names.push_back(Text("v%d", ++serial));
    for (int i = 0; i < n; ++i) {
        if (fullScreen) {
            wanted.push_back({names[i].c_str(), 0, 0, width, height, 0x203040, "f"});
            continue;
        }
        const int w = r.Between(80, 400), h = r.Between(60, 300);
        wanted.push_back({names[i].c_str(), r.Between(0, width - w), r.Between(0, height - h - 40), w, h,
                          static_cast<unsigned>(r.Next() & 0xFFFFFF), flags[r.Below(8)]});
    }
    std::unique_ptr<VictimGroup> g(new VictimGroup);
    g->process.reset(new test::Victims(wanted));
    if (!g->process->Ready()) Breach("victims start", "their windows", "none");
    for (const test::VictimWindow& w : wanted) {
        HWND window = (*g->process)[w.name];
        g->windows.push_back(VictimWindow{w.name, window, std::strchr(w.flags, 'l') != nullptr, OwnRegion(window)});
        Log("victim %s %s at %d,%d %dx%d", w.name, w.flags, w.x, w.y, w.width, w.height);
    }
    if (fullScreen) g->closeAt = GetTickCount() + r.Between(5000, 20000);
    g_counts.victims += n;
    g_victims.push_back(std::move(g));
}

void ChangeVictim(Random& r, int what)
{
    if (g_victims.empty()) return AddVictims(r, false);
    VictimGroup& g = *g_victims[r.Below(static_cast<int>(g_victims.size()))];
    if (g.windows.empty()) return;
    const size_t i = r.Below(static_cast<int>(g.windows.size()));
    VictimWindow& v = g.windows[i];
    const bool hung = Hung(g, 0);
    switch (what) {
    case 0: {  // moves, and maybe takes another size
        RECT now = test::WindowRect(v.window);
        int w = r.Chance(50) ? now.right - now.left : r.Between(80, 400);
        int h = r.Chance(50) ? now.bottom - now.top : r.Between(60, 300);
        // A right-to-left window's region is mirrored on its width: a
        // holed one that took another width could not say which shape is
        // its own, nor a hung one when it takes it. They only move.
        if (v.rtl && (v.holed || hung)) w = now.right - now.left, h = now.bottom - now.top;
        const int x = r.Between(0, 600), y = r.Between(0, 400);
        Log("victim %s moves", v.name.c_str());
        SetWindowPos(v.window, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        // Where it stands, once its thread has moved it: the program's shot
        // and the soak's model are to see the same window.
        if (!hung && !IsIconic(v.window) && !Wait([&] {
                const RECT n = test::WindowRect(v.window);
                return n.left == x && n.top == y && n.right - n.left == w && n.bottom - n.top == h;
            }, 3000))
            Breach("a victim moves", Text("%s at %d,%d %dx%d", v.name.c_str(), x, y, w, h), "elsewhere");
        if (v.rtl && !v.holed && !hung && v.expected) {
            // Its own region, as it reads at the new width.
            DeleteObject(v.expected);
            v.expected = OwnRegion(v.window);
        }
        break;
    }
    case 1:
    {
        // Minimised, a window is 160 x 24 under Wine: a right-to-left one's
        // own region, mirrored on that width, would read as another shape.
        if (v.rtl && v.expected) return;
        const bool iconic = IsIconic(v.window) != FALSE;
        Log("victim %s %s", v.name.c_str(), iconic ? "restored" : "minimised");
        ShowWindowAsync(v.window, iconic ? SW_SHOWNOACTIVATE : SW_SHOWMINNOACTIVE);
        if (!hung && !Wait([&] { return (IsIconic(v.window) != FALSE) != iconic; }, 3000))
            Breach("a victim is minimised and restored", iconic ? "restored" : "minimised", "as it was");
        break;
    }
    case 2:
        if (hung) return;
        Log("victim %s closes", v.name.c_str());
        if (!g.process->Close(v.name)) Breach("a victim closes", v.name, "still there");
        if (v.expected) DeleteObject(v.expected);
        g.windows.erase(g.windows.begin() + i);
        break;
    case 3:
        if (hung) return;
        Log("victim %s sets a shape of its own", v.name.c_str());
        if (!g.process->Reshape(v.name)) Breach("a victim reshapes", v.name, "no new shape");
        if (v.expected) DeleteObject(v.expected);
        v.expected = OwnRegion(v.window);
        v.unsure = false;
        break;
    case 4: {
        if (hung) return;
        const DWORD ms = r.Between(1000, 4000);
        Log("victims hang for %lu ms", ms);
        g.hungFrom = GetTickCount();
        if (!g.process->Hang(ms)) Breach("a victim hangs", "hung", "answering");
        g.hungUntil = GetTickCount() + ms;
        g_counts.hangs++;
        break;
    }
    }
    Tidy();
}

// ---------------------------------------------------------------------------
// The stream.

enum Action {
    kHit, kHitAndFall, kDoubleHit, kMissBackground, kMissVictim, kMissBetween, kDoubleMiss, kRightClick,
    kFlightKey, kIdleKey, kMenu, kIconDoubleClick, kDisplay, kExplorer, kVictimAdd, kVictimMove,
    kVictimMinimise, kVictimClose, kVictimReshape, kVictimHang, kFullScreen, kKill, kIdle, kActions
};
const int kWeights[kActions] = {12, 5, 3, 8, 8, 4, 4, 3, 4, 2, 9, 3, 2, 2, 4, 4, 2, 2, 2, 2, 1, 1, 5};
const char* const kNames[kActions] = {
    "hit", "hit and presses in the fall", "double-click hit", "miss on the background", "miss on a victim",
    "miss between victims", "double-click miss", "right click", "key in a flight", "key between flights", "tray menu",
    "icon double-click", "display size", "explorer restart", "victims appear", "victim moves", "victim minimised",
    "victim closes", "victim reshapes", "victims hang", "full-screen window", "kill -9", "idle"};

Action Draw(Random& r)
{
    int total = 0;
    for (int w : kWeights) total += w;
    int pick = r.Below(total);
    for (int a = 0; a < kActions; ++a) {
        if (pick < kWeights[a]) return static_cast<Action>(a);
        pick -= kWeights[a];
    }
    return kIdle;
}

void Perform(Action action, Random& r)
{
    switch (action) {
    case kHit: Hit(r, 1, false); break;
    case kHitAndFall: Hit(r, 1, true); break;
    case kDoubleHit: Hit(r, 2, false); break;
    case kMissBackground: Miss(r, 0, 1); break;
    case kMissVictim: Miss(r, 1, 1); break;
    case kMissBetween: Miss(r, 2, 1); break;
    case kDoubleMiss: Miss(r, r.Below(3), 2); break;
    case kRightClick: {
        View v = Now();
        const POINT at = {r.Between(10, ScreenWidth() - 10), r.Between(10, ScreenHeight() - 60)};
        if (!v.active) break;  // between flights it would reach whatever lies there
        Log("right click at (%ld,%ld)", at.x, at.y);
        Press(at.x, at.y, 1, true);
        Settle();
        break;
    }
    case kFlightKey: FlightKey(r); break;
    case kIdleKey: {
        const WORD key = r.Chance(50) ? static_cast<WORD>("QO"[r.Below(2)]) : r.Chance(50) ? VK_ESCAPE : 'A' + r.Below(26);
        if (!Moment([](const View& v) { return BetweenFlights(v) && !Dialog() && !Menu(); }, 30000)) break;
        Log("key %u between flights", key);
        Keys({key});
        Settle();
        if (Dialog()) Breach("keys between flights do nothing", "no dialog", "a dialog");
        break;
    }
    case kMenu: {
        const int pick = r.Below(100);
        MenuItem item = pick < 30 ? kInfo : pick < 45 ? kToggle : pick < 70 ? kResetWindows : pick < 80 ? kResetStatistics
                        : pick < 88 ? kQuit : kNone;
        Choose(item, r);
        break;
    }
    case kIconDoubleClick: {
        TrayIcon icon;
        if (!TrayMoment(&icon, true)) {
            g_counts.skipped++;
            Log("icon double-click: no moment");
            break;
        }
        const POINT at = Middle(icon.rect);
        Log("icon double-click");
        Press(at.x, at.y, 2);
        UseDialog(r, "a double-click on the icon");
        break;
    }
    case kDisplay: ChangeDisplay(r); break;
    case kExplorer: RestartExplorer(); break;
    case kVictimAdd: AddVictims(r, false); break;
    case kVictimMove: ChangeVictim(r, 0); break;
    case kVictimMinimise: ChangeVictim(r, 1); break;
    case kVictimClose: ChangeVictim(r, 2); break;
    case kVictimReshape: ChangeVictim(r, 3); break;
    case kVictimHang: ChangeVictim(r, 4); break;
    case kFullScreen: {
        bool there = false;
        for (auto& g : g_victims) there = there || g->closeAt;
        if (!there) AddVictims(r, true);
        break;
    }
    case kKill: Kill(); break;
    case kIdle: {
        const DWORD ms = r.Between(200, 3000);
        Log("idle %lu ms", ms);
        Moment([](const View&) { return false; }, ms);  // watching only that it lives
        break;
    }
    case kActions: break;
    }
}

// The program's private bytes and windows, sampled while it rests: the
// first part of the run against the rest, each program against itself and
// all of them together.
struct Footprint {
    double minute;
    DWORD process;
    SIZE_T bytes;
    int windows;
};
std::vector<Footprint> g_footprints;

void SampleFootprint()
{
    const double minute = (GetTickCount64() - g_start) / 60000.0;
    if (!g_footprints.empty() && minute - g_footprints.back().minute < 0.5) return;
    // From the end of its first flight and its first dialog on: those make
    // what every later one reuses (the dialog, under Wine 10, some 4 MiB).
    if (!g_program.flown || !g_program.dialogSeen || !BetweenFlights(Now()) || Menu() || Dialog()) return;
    Footprint f = {minute, ProgramId(), PrivateBytes(ProgramId()), WindowCount(ProgramId())};
    g_footprints.push_back(f);
    Log("footprint: %lu KiB private, %d windows", static_cast<unsigned long>(f.bytes / 1024), f.windows);
}

void CheckFootprint()
{
    const double split = std::min(10.0, g_options.minutes / 2);
    SIZE_T firstBytes = 0, laterBytes = 0;
    int firstWindows = 0, laterWindows = 0;
    std::map<DWORD, std::pair<SIZE_T, SIZE_T>> own;  // each program's maxima, first part and later
    for (const Footprint& f : g_footprints) {
        const bool first = f.minute <= split;
        SIZE_T& all = first ? firstBytes : laterBytes;
        SIZE_T& mine = first ? own[f.process].first : own[f.process].second;
        int& windows = first ? firstWindows : laterWindows;
        all = std::max(all, f.bytes);
        mine = std::max(mine, f.bytes);
        windows = std::max(windows, f.windows);
    }
    std::printf("soak: footprint, first %.1f minutes: %lu KiB private, %d windows; after: %lu KiB, %d windows\n", split,
                static_cast<unsigned long>(firstBytes / 1024), firstWindows,
                static_cast<unsigned long>(laterBytes / 1024), laterWindows);
    if (!firstBytes) return;
    if (laterWindows > firstWindows)
        Breach("the program's windows do not grow", Text("at most %d", firstWindows), Text("%d", laterWindows));
    // A page or two of heap may settle in; a leak per flight or shot grows
    // by far more over the run. A program started anew may lay its heap
    // out otherwise under Wine, so programs are compared with themselves
    // more closely than with each other.
    const SIZE_T mib = 1024 * 1024;
    for (const auto& p : own)
        if (p.second.first && p.second.second > p.second.first + mib)
            Breach("the program's private bytes do not grow",
                   Text("process %lu: at most %lu KiB", p.first, static_cast<unsigned long>((p.second.first + mib) / 1024)),
                   Text("%lu KiB", static_cast<unsigned long>(p.second.second / 1024)));
    if (laterBytes > firstBytes + 4 * mib)
        Breach("the program's private bytes do not grow",
               Text("at most %lu KiB", static_cast<unsigned long>((firstBytes + 4 * mib) / 1024)),
               Text("%lu KiB", static_cast<unsigned long>(laterBytes / 1024)));
}

bool ParseOptions(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--exe") g_options.exe = value;
        else if (name == "--out") g_options.out = value;
        else if (name == "--kind") g_options.kind = value;
        else if (name == "--seed") g_options.seed = std::strtoull(value.c_str(), nullptr, 10);
        else if (name == "--minutes") g_options.minutes = std::atof(value.c_str());
        else if (name == "--until") g_options.until = std::atol(value.c_str());
        else if (name == "--display") g_options.display = value;
        else return false;
    }
    if (!g_options.display.empty()) return true;
    return !g_options.exe.empty() && !g_options.out.empty() && g_options.minutes > 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!ParseOptions(argc, argv)) {
        std::fprintf(stderr, "usage: soak --exe PROGRAM --out FOLDER [--kind win32|win64] [--seed S] [--minutes M] [--until N]\n"
                             "       soak --display WIDTHxHEIGHT\n");
        return 2;
    }
    int width = 0, height = 0;
    if (!g_options.display.empty())
        return std::sscanf(g_options.display.c_str(), "%dx%d", &width, &height) == 2 && test::ChangeScreen(width, height) ? 0 : 1;
    CreateDirectoryA(g_options.out.c_str(), nullptr);
    g_log = std::fopen((g_options.out + "\\soak.log").c_str(), "w");
    g_start = GetTickCount64();
    InitializeCriticalSection(&g_watch.lock);
    HANDLE watcher = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    SetThreadPriority(watcher, THREAD_PRIORITY_ABOVE_NORMAL);

    g_display.rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    g_display.first = SIZE{ScreenWidth(), ScreenHeight()};
    // A fresh key, with chickens every few seconds.
    test::DeleteKey();
    test::WriteValue(kSpeed, 6);
    g_index = -1;
    StartProgram();
    for (g_index = 0; g_options.until < 0 ? GetTickCount64() - g_start < g_options.minutes * 60000
                                          : g_index <= g_options.until;
         ++g_index) {
        Random r(g_options.seed * 1000003ULL + static_cast<uint64_t>(g_index));
        const Action action = Draw(r);
        Log("%s", kNames[action]);
        if (GetSystemMetrics(SM_CXSCREEN) != ScreenWidth() && !g_counts.ownViewLost++)
            Log("this process's own view of the display reads %dx%d, not %dx%d", GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN), ScreenWidth(), ScreenHeight());
        Perform(action, r);
        g_counts.actions++;
        Account();
        CheckAlive();
        Tidy();
        SampleFootprint();
    }
    // The end: a quit through the menu, as the model expects it; with
    // chickens back to back, where the menu cannot be reached, by Q.
    g_index = g_counts.actions;
    Log("the end");
    Wait([] { return Dialog() == nullptr; }, 5000);
    RECT menu;
    if (OpenMenu(&menu)) {
        Press(menu.left + 30, menu.top + kMenuRows[kQuit], 1);
        Quitted("the menu's Quit at the end", false);
    } else {
        View v;
        if (!Moment([&](const View& now) { v = now; return Flying(now); }, 30000) || !ProgramInFront(v))
            Breach("the program can be quit", "its menu, or a flight for Q", "neither");
        g_program.cut[v.f.id] = "a quit key";
        Keys({'Q'});
        Quitted("Q at the end", false);
    }
    CheckFootprint();
    g_watch.stop = true;
    WaitForSingleObject(watcher, 5000);
    g_victims.clear();
    test::DeleteKey();
    RestoreDisplay();
    std::printf("soak: seed %llu, %.1f minutes: %ld actions (%ld skipped), %ld flights, %ld hits, %ld missed shots, "
                "%ld missed chickens, %ld quits, %ld kills, %ld display changes, %ld Explorer restarts, %ld dialogs, "
                "%ld menus, %ld Reset Windows, %ld victims, %ld hangs; no breach\n",
                static_cast<unsigned long long>(g_options.seed), (GetTickCount64() - g_start) / 60000.0,
                g_counts.actions, g_counts.skipped, g_counts.flights, g_counts.hits, g_counts.missedShots,
                g_counts.missedChickens, g_counts.quits, g_counts.kills, g_counts.displayChanges,
                g_counts.explorerRestarts, g_counts.dialogs, g_counts.menus, g_counts.resets, g_counts.victims,
                g_counts.hangs);
    if (g_log) std::fclose(g_log);
    return 0;
}
