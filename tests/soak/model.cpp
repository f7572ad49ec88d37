#include "soak.h"

#include <cstdio>
#include <cstring>

#include "ui/tray.h"

namespace soak {

// ---------------------------------------------------------------------------
// The display, as the soak set it. Wine keeps each process's view of the
// monitors in a cache of its own; in a run of minutes the soak's came back
// empty (every metric 0, no mode can be set) while every other process saw
// the display right. So the soak keeps the size itself, and a fresh process
// of its own sets a new one.

Display g_display;

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
// The program: started, watched, read and ended.

StoredSettings ReadSettings()
{
    StoredSettings s;
    DWORD value = 0;
    if (test::ReadValue(kSpeed, &value)) s.speed = value;
    if (test::ReadValue(kUseSound, &value)) s.sound = value;
    return s;
}

std::string KeyState()
{
    HKEY key;
    const LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) return Text("the key does not open: error %ld", static_cast<long>(rc));
    RegCloseKey(key);
    std::string names;
    for (const std::string& n : test::ValueNames()) names += (names.empty() ? "" : ", ") + n;
    return "the key holds: " + (names.empty() ? std::string("nothing") : names);
}

ProgramState g_program;

bool Before(DWORD a, DWORD b) { return static_cast<int32_t>(a - b) < 0; }

// The next chicken is drawn now: it comes after half the speed in seconds
// at the earliest (for a speed whose delay in milliseconds does not wrap).
void Scheduled(DWORD when)
{
    const uint32_t s = g_program.speed;
    g_program.earliestLaunch = when + (s < 2863311 ? s / 2 * 1000 : 0);
}

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
            if (test::OwnerOf(w) != s->process || !IsWindowVisible(w) || !OfClass(w, s->cls)) return TRUE;
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
        if (live && icon.tip.empty()) {
            icon.tip = t.text;
            icon.window = t.tool;
        }
    }
    // The tool keeps the place the icon had when the taskbar last laid it
    // out, also after the display changed; the icon's own window is where
    // the shell shows it now. Without one, the one icon is the square at the
    // taskbar's right end.
    const RECT bar = test::WindowRect(tray);
    icon.found = IconThere() && IsWindowVisible(tray) && !icon.tip.empty();
    icon.rect = icon.window && icon.window != tray ? test::WindowRect(icon.window)
                                                   : RECT{bar.right - (bar.bottom - bar.top), bar.top, bar.right, bar.bottom};
    return icon;
}

// ---------------------------------------------------------------------------
// The victims: other programs' windows, as the model expects their shapes.

std::vector<std::unique_ptr<VictimGroup>> g_victims;

// Hung now, or lately enough that the program may have found it so.
bool Hung(const VictimGroup& g, DWORD margin)
{
    const DWORD now = GetTickCount();
    return g.hungUntil && !Before(now, g.hungFrom) && Before(now, g.hungUntil + margin);
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
        Log("victims %s close", (*it)->closeAt ? "(full screen)" : "");
        it = g_victims.erase(it);
    }
}

// ---------------------------------------------------------------------------
// Starting and ending the program, and what the registry then holds.

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
void Quitted(const char* how, bool restart)
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

}  // namespace soak
