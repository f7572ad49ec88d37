// The soak's parts, one section a part (report.cpp, watcher.cpp, model.cpp,
// invariants.cpp, actions.cpp); main.cpp runs the stream.
#pragma once
#include <windows.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "flight/art.h"
#include "flight/flight.h"
#include "support.h"

namespace soak {

// ---------------------------------------------------------------------------
// The run's options, its log and the breach report (report.cpp).

struct Options {
    std::string exe, out, kind = "win64";
    uint64_t seed = 1;
    double minutes = 1;
    long until = -1;  // the last action to run; -1: as long as the minutes last
    std::string display;  // WIDTHxHEIGHT: only set the display to that, and end
};
extern Options g_options;

struct Counts {
    long actions = 0, skipped = 0, flights = 0, hits = 0, missedShots = 0, missedChickens = 0, quits = 0, kills = 0,
         displayChanges = 0, explorerRestarts = 0, dialogs = 0, menus = 0, victims = 0, hangs = 0, resets = 0,
         ownViewLost = 0;
};
extern Counts g_counts;

extern FILE* g_log;
extern long g_index;  // of the action being carried out
extern ULONGLONG g_start;

bool ParseOptions(int argc, char** argv);
void Log(const char* format, ...);
std::string Text(const char* format, ...);
// The first breach stops the run, with all a replay needs.
void Breach(const char* invariant, const std::string& expected, const std::string& seen);
// The run's counts, once nothing was breached.
void Report();

// Waits for `condition`, up to `ms`. The soak's thread has a message queue
// (its input and its messages to other windows make one) and keeps it
// drained while it waits, as any thread with a queue should.
template <typename F>
bool Wait(F condition, DWORD ms)
{
    return test::WaitFor(condition, ms, true);
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
// The watcher (watcher.cpp): a thread that samples the program's two
// windows every few milliseconds and cuts the samples into flights.

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

// What the watcher sees now.
struct View {
    bool covered, active;
    RECT cover;
    Flight f;
};

void StartWatcher();
void StopWatcher();
void WatchWindows(HWND background, HWND sprite);
// One sample, taken now.
void Sample();
View Now();
std::vector<Flight> TakeEnded();
// A flying chicken that a click can reach and that is far from its end: what
// a shot or a key is judged against. Its middle lies on the screen.
bool Flying(const View& v);
// A fall that has run at most 9 of its 19 ticks.
bool FallingEarly(const View& v);
bool BetweenFlights(const View& v);

// ---------------------------------------------------------------------------
// The model (model.cpp): the display as the soak set it, the program as it
// was started and seen, the victims' shapes, and what the registry should hold.

struct Display {
    RECT rect = {};  // the virtual screen: one monitor at the origin
    SIZE first = {};  // as the soak found it, and leaves it
};
extern Display g_display;
int ScreenWidth();
int ScreenHeight();
bool SetDisplay(int width, int height);
void RestoreDisplay();

struct Model {
    uint32_t hits = 0, missedShots = 0, missedChickens = 0;
    uint64_t timeLow = 0, timeHigh = 0;  // TimeSum lies between
};

// The settings in the registry; -1 where a value is not stored.
struct StoredSettings {
    int64_t speed = -1, sound = -1;
};
StoredSettings ReadSettings();
// What the program's key holds, for a breach that finds a value missing:
// the names of its values, or the error that kept it from opening.
std::string KeyState();

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
};
extern ProgramState g_program;

bool Before(DWORD a, DWORD b);
void Scheduled(DWORD when);
bool OfClass(HWND window, const char* name);
DWORD ProgramId();
HWND Menu();
HWND Dialog();
void Settle();
bool NotifyShell(DWORD message, HWND owner);
bool IconThere();

struct TrayIcon {
    bool found = false;
    RECT rect = {};
    HWND window = nullptr;  // the shell's window of the icon, where it has one
    std::string tip;
    std::string tips;  // of every tooltip that reads "Wingzap...", for the log
};
TrayIcon FindTrayIcon();

struct VictimWindow {
    std::string name;
    HWND window;
    bool rtl;
    Region expected;  // its own shape; none: no region
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
extern std::vector<std::unique_ptr<VictimGroup>> g_victims;

bool Hung(const VictimGroup& g, DWORD margin = 500);
void Tidy();

void StartProgram();
void Quitted(const char* how, bool restart = true);
void Account();

// ---------------------------------------------------------------------------
// The invariants (invariants.cpp): what must hold whatever happened.

void CheckTooltip(const char* when);
void CheckShapes(const char* after, bool programGone, DWORD ordered);
void CheckHoled(const std::vector<VictimWindow*>& under, int x, int y);
void CheckStored(const Model& expected, const char* after);
void CheckAlive();
void SampleFootprint();
void CheckFootprint();

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
// The actions (actions.cpp): what a user and the system do, one table of
// them, drawn by their weights.

// One kind of action: its name in the log, its weight in the draw, and what
// carries it out.
struct Action {
    const char* name;
    int weight;
    void (*perform)(Random& r);
};
const Action& Draw(Random& r);
// The end: a quit through the menu, as the model expects it; with chickens
// back to back, where the menu cannot be reached, by Q.
void QuitAtTheEnd();

}  // namespace soak
