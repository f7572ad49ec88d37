#include "soak.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "res/resource.h"

namespace soak {
namespace {

// Left clicks between flights cannot race a launch.
bool LaunchFar()
{
    return !g_program.enabled || Before(GetTickCount() + 1000, g_program.earliestLaunch);
}

void Spoil()
{
    for (auto& g : g_victims)
        for (VictimWindow& v : g->windows)
            if (v.holed || v.unsure) v.spoiled = true;
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

bool Press(int x, int y, int presses, bool right = false)
{
    MovePointer(x, y);
    return test::Press(presses, right);
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

using test::WindowText;

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
               Text("Speed %lld, UseSound %lld (-1: not stored); ", static_cast<long long>(now.speed),
                    static_cast<long long>(now.sound)) + KeyState());
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
    // Wine 10 may lay a new icon out beyond the end of a taskbar that
    // shrank with the display: drawn nowhere, it takes no click.
    const POINT at = Middle(icon->rect);
    if (at.x < 0 || at.y < 0 || at.x >= ScreenWidth() || at.y >= ScreenHeight()) return false;
    HWND under = WindowFromPoint(at);
    return under && test::OwnerOf(under) == test::OwnerOf(FindWindowA("Shell_TrayWnd", nullptr)) &&
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
    test::Press(presses);
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
        g->windows.push_back(VictimWindow{w.name, window, std::strchr(w.flags, 'l') != nullptr, test::CopyRegion(window)});
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
            v.expected = test::CopyRegion(v.window);
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
        g.windows.erase(g.windows.begin() + i);
        break;
    case 3:
        if (hung) return;
        Log("victim %s sets a shape of its own", v.name.c_str());
        if (!g.process->Reshape(v.name)) Breach("a victim reshapes", v.name, "no new shape");
        v.expected = test::CopyRegion(v.window);
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

void RightClick(Random& r)
{
    View v = Now();
    const POINT at = {r.Between(10, ScreenWidth() - 10), r.Between(10, ScreenHeight() - 60)};
    if (!v.active) return;  // between flights it would reach whatever lies there
    Log("right click at (%ld,%ld)", at.x, at.y);
    Press(at.x, at.y, 1, true);
    Settle();
}

void IdleKey(Random& r)
{
    const WORD key = r.Chance(50) ? static_cast<WORD>("QO"[r.Below(2)]) : r.Chance(50) ? VK_ESCAPE : 'A' + r.Below(26);
    // Far from the next launch too: at a speed of 1 the next chicken starts
    // as the last one lands, and an O typed then opens the dialog, as it
    // should in a flight.
    if (!Moment([](const View& v) { return BetweenFlights(v) && LaunchFar() && !Dialog() && !Menu(); }, 30000)) return;
    Log("key %u between flights", key);
    Keys({key});
    Settle();
    if (Dialog()) Breach("keys between flights do nothing", "no dialog", "a dialog");
}

void TrayMenu(Random& r)
{
    const int pick = r.Below(100);
    MenuItem item = pick < 30 ? kInfo : pick < 45 ? kToggle : pick < 70 ? kResetWindows : pick < 80 ? kResetStatistics
                    : pick < 88 ? kQuit : kNone;
    Choose(item, r);
}

void IconDoubleClick(Random& r)
{
    TrayIcon icon;
    if (!TrayMoment(&icon, true)) {
        g_counts.skipped++;
        Log("icon double-click: no moment");
        return;
    }
    const POINT at = Middle(icon.rect);
    Log("icon double-click");
    Press(at.x, at.y, 2);
    UseDialog(r, "a double-click on the icon");
}

void FullScreenWindow(Random& r)
{
    bool there = false;
    for (auto& g : g_victims) there = there || g->closeAt;
    if (!there) AddVictims(r, true);
}

void Idle(Random& r)
{
    const DWORD ms = r.Between(200, 3000);
    Log("idle %lu ms", ms);
    Moment([](const View&) { return false; }, ms);  // watching only that it lives
}

// Every action in one place: a new one is a new row. The order and the
// weights make the stream of a seed.
constexpr Action kActions[] = {
    {"hit", 12, [](Random& r) { Hit(r, 1, false); }},
    {"hit and presses in the fall", 5, [](Random& r) { Hit(r, 1, true); }},
    {"double-click hit", 3, [](Random& r) { Hit(r, 2, false); }},
    {"miss on the background", 8, [](Random& r) { Miss(r, 0, 1); }},
    {"miss on a victim", 8, [](Random& r) { Miss(r, 1, 1); }},
    {"miss between victims", 4, [](Random& r) { Miss(r, 2, 1); }},
    {"double-click miss", 4, [](Random& r) { Miss(r, r.Below(3), 2); }},
    {"right click", 3, RightClick},
    {"key in a flight", 4, FlightKey},
    {"key between flights", 2, IdleKey},
    {"tray menu", 9, TrayMenu},
    {"icon double-click", 3, IconDoubleClick},
    {"display size", 2, ChangeDisplay},
    {"explorer restart", 2, [](Random&) { RestartExplorer(); }},
    {"victims appear", 4, [](Random& r) { AddVictims(r, false); }},
    {"victim moves", 4, [](Random& r) { ChangeVictim(r, 0); }},
    {"victim minimised", 2, [](Random& r) { ChangeVictim(r, 1); }},
    {"victim closes", 2, [](Random& r) { ChangeVictim(r, 2); }},
    {"victim reshapes", 2, [](Random& r) { ChangeVictim(r, 3); }},
    {"victims hang", 2, [](Random& r) { ChangeVictim(r, 4); }},
    {"full-screen window", 1, FullScreenWindow},
    {"kill -9", 1, [](Random&) { Kill(); }},
    {"idle", 5, Idle},
};

constexpr bool EveryActionComplete()
{
    for (const Action& a : kActions)
        if (!a.name || !*a.name || a.weight <= 0 || !a.perform) return false;
    return true;
}
static_assert(EveryActionComplete(), "every action has a name, a weight above 0 and what carries it out");

}  // namespace

const Action& Draw(Random& r)
{
    int total = 0;
    for (const Action& a : kActions) total += a.weight;
    int pick = r.Below(total);
    for (const Action& a : kActions) {
        if (pick < a.weight) return a;
        pick -= a.weight;
    }
    return kActions[sizeof kActions / sizeof kActions[0] - 1];
}

void QuitAtTheEnd()
{
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
}

}  // namespace soak
