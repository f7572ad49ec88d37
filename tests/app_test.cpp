// The program's frame run in this process: start-up and shut-down in their
// order, start-up without a frame, close requests and the end of the
// session. The message loop's first call is taken in hand; sounds, the tray
// and the single-instance mutex are faked through the import table.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app.h"
#include "res/resource.h"
#include "shooting/holes.h"
#include "store/store.h"
#include "support.h"
#include "ui/commands.h"

namespace {

// ---------------------------------------------------------------------------
// Start-up without a frame.

int g_windowsCreated = 0;

HWND WINAPI NoWindow(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID)
{
    ++g_windowsCreated;
    return nullptr;
}

TEST(MissingFrame, StartUpEndsSilentlyAndWritesTheStatisticsBack)
{
    test::CleanRegistry registry;
    {
        // The objects the system keeps after their first use (shared icons
        // and cursors) out of the count.
        test::Program firstUse;
    }
    test::WriteValues({{"UseSound", 1}, {"Speed", 1}, {"CountHits", 12}, {"CountMissedShots", 34},
                       {"CountMissedChicken", 56}});
    // No TimeSum: it appears only if the statistics are written.
    g_windowsCreated = 0;
    int result = -1;
    size_t sounds = 99, trayCalls = 99;
    std::string mutexName;
    {
        test::MissingBitmap load(IDB_FALL_MASK0 + 18);  // 305, the last one loaded
        test::ImportHook window("USER32.dll", "CreateWindowExA", &NoWindow);
        test::FakeSound sound;
        test::FakeTray tray;
        test::PrivateMutex mutex;
        ASSERT_TRUE(load.Installed() && window.Installed() && sound.Installed() && tray.Installed() &&
                    mutex.Installed());
        const DWORD before = test::GdiObjects();
        result = WingzapMain(GetModuleHandleA(nullptr));
        EXPECT_EQ(before, test::GdiObjects());
        sounds = sound.calls.size();
        trayCalls = tray.calls.size();
        mutexName = mutex.name;
    }
    EXPECT_STREQ(kMutexName, mutexName.c_str());
    EXPECT_EQ(0, result);
    EXPECT_EQ(0, g_windowsCreated);
    EXPECT_EQ(0u, sounds);
    EXPECT_EQ(0u, trayCalls);
    test::ExpectStored({{"CountHits", 12}, {"CountMissedShots", 34}, {"CountMissedChicken", 56}, {"TimeSum", 0},
                        {"UseSound", 1}, {"Speed", 1}});
    test::ResetAllModules();
}

// ---------------------------------------------------------------------------
// The frame's own window handling.

TEST(Frame, CloseRequestsToEitherWindowAreIgnored)
{
    test::CleanRegistry registry;
    test::Program program;
    ASSERT_TRUE(IsWindow(g_app.background) && IsWindow(g_app.sprite));
    const HWND windows[] = {g_app.sprite, g_app.background};
    for (HWND w : windows) {
        EXPECT_EQ(0, SendMessageA(w, WM_CLOSE, 0, 0));
        EXPECT_TRUE(IsWindow(g_app.background));
        EXPECT_TRUE(IsWindow(g_app.sprite));
    }
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "no quit either";
}

// A whole run in this process: start-up as the program does it, a hand on
// the message loop's first call, and the shut-down. The steps are logged in
// the order the platform sees them.
std::vector<std::string> g_steps;
decltype(&GetMessageA) g_realGetMessage = nullptr;
bool g_destroyInLoop = false;  // else the loop gets the quit the tray menu posts
bool g_watchdogFired = false;
UINT_PTR g_watchdog = 0;

HWND g_forwardInLoop = nullptr;  // comes forward once the loop runs, as another program would

struct StartedWindows {
    HWND foreground;
    RECT background, sprite;  // the sprite in the background's client area
    LONG backgroundStyle, backgroundExStyle, spriteStyle, spriteExStyle;
    bool backgroundVisible;
    char backgroundClass[64], spriteClass[64], backgroundTitle[64], spriteTitle[64];
    ULONG_PTR classStyle, classBrush;
    HCURSOR classCursor;
} g_started;

void NoteWindows()
{
    StartedWindows& w = g_started;
    w.foreground = GetForegroundWindow();
    GetWindowRect(g_app.background, &w.background);
    GetWindowRect(g_app.sprite, &w.sprite);
    OffsetRect(&w.sprite, -w.background.left, -w.background.top);
    w.backgroundStyle = GetWindowLongA(g_app.background, GWL_STYLE);
    w.backgroundExStyle = GetWindowLongA(g_app.background, GWL_EXSTYLE);
    w.spriteStyle = GetWindowLongA(g_app.sprite, GWL_STYLE);
    w.spriteExStyle = GetWindowLongA(g_app.sprite, GWL_EXSTYLE);
    w.backgroundVisible = IsWindowVisible(g_app.background) != FALSE;
    GetClassNameA(g_app.background, w.backgroundClass, sizeof w.backgroundClass);
    GetClassNameA(g_app.sprite, w.spriteClass, sizeof w.spriteClass);
    GetWindowTextA(g_app.background, w.backgroundTitle, sizeof w.backgroundTitle);
    GetWindowTextA(g_app.sprite, w.spriteTitle, sizeof w.spriteTitle);
    w.classStyle = GetClassLongPtrA(g_app.background, GCL_STYLE);
    w.classBrush = GetClassLongPtrA(g_app.background, GCLP_HBRBACKGROUND);
    w.classCursor = reinterpret_cast<HCURSOR>(GetClassLongPtrA(g_app.sprite, GCLP_HCURSOR));
}

BOOL WINAPI LoggedGetMessage(LPMSG msg, HWND window, UINT first, UINT last)
{
    if (std::find(g_steps.begin(), g_steps.end(), "loop") == g_steps.end()) {
        g_steps.push_back("loop");
        NoteWindows();
        if (g_forwardInLoop) SetForegroundWindow(g_forwardInLoop);
        if (g_destroyInLoop)
            DestroyWindow(g_app.background);
        else
            PostMessageA(g_app.background, WM_COMMAND, CMD_QUIT, 0);
        g_watchdog = SetTimer(nullptr, 0, 5000, nullptr);  // should the loop run on
    }
    BOOL result = g_realGetMessage(msg, window, first, last);
    if (result > 0 && msg->message == WM_TIMER && msg->hwnd == nullptr && msg->wParam == g_watchdog) {
        g_watchdogFired = true;
        PostQuitMessage(0);
    }
    return result;
}

// The shut-down's two writes: the counters (the program's only registry
// writes outside the dialog) and the repair of a holed window.
decltype(&RegSetValueExA) g_realSetValue = nullptr;
decltype(&SetWindowRgn) g_realSetRegion = nullptr;
LONG WINAPI LoggedSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    if (g_steps.empty() || g_steps.back() != "counters") g_steps.push_back("counters");
    return g_realSetValue(key, name, reserved, type, data, size);
}
int WINAPI LoggedSetRegion(HWND window, HRGN region, BOOL redraw)
{
    const char* step = region ? "region" : "repair";
    if (g_steps.empty() || g_steps.back() != step) g_steps.push_back(step);
    return g_realSetRegion(window, region, redraw);
}

// Runs the program in this process; its result.
int RunInProcess(bool destroyInLoop)
{
    g_steps.clear();
    g_started = StartedWindows{};
    g_destroyInLoop = destroyInLoop;
    g_watchdogFired = false;
    int result = -1;
    {
        test::ImportHook loop("USER32.dll", "GetMessageA", &LoggedGetMessage);
        test::FakeTimers timers(true);
        timers.then = [](const test::TimerCall& c) {
            if (c.set && c.window == g_app.background) g_steps.push_back(test::Step(c));
        };
        test::FakeSound sound;
        sound.then = [](const test::SoundCall& c) { g_steps.push_back(test::Step(c)); };
        test::FakeTray tray;
        tray.then = [](const test::TrayCall& c) { g_steps.push_back(test::Step(c)); };
        test::PrivateMutex mutex;
        test::ImportHook setValue("ADVAPI32.dll", "RegSetValueExA", &LoggedSetValue);
        test::ImportHook setRegion("USER32.dll", "SetWindowRgn", &LoggedSetRegion);
        if (!(loop.Installed() && timers.Installed() && sound.Installed() && tray.Installed() && mutex.Installed() &&
              setValue.Installed() && setRegion.Installed()))
            return -2;
        g_realSetValue = setValue.Original<decltype(RegSetValueExA)>();
        g_realSetRegion = setRegion.Original<decltype(SetWindowRgn)>();
        g_realGetMessage = loop.Original<BOOL WINAPI(LPMSG, HWND, UINT, UINT)>();
        result = WingzapMain(GetModuleHandleA(nullptr));
    }
    if (g_watchdog) KillTimer(nullptr, g_watchdog);
    g_watchdog = 0;
    if (IsWindow(g_app.background)) DestroyWindow(g_app.background);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    }
    return result;
}

TEST(Frame, StartUpRunsInOrderAndTheQuitEndsIt)
{
    test::CleanRegistry registry;
    test::ResetAllModules();
    test::WriteValues({{"UseSound", 1}, {"Speed", 600}, {"CountMissedShots", 4}});
    // The user's windows: one in front at the start, another by the quit.
    test::WindowGuard first{test::LocalWindow("the user's program", 100, 100, 200, 100)};
    test::WindowGuard second{test::LocalWindow("the user's program", 100, 100, 200, 100)};
    ASSERT_NE(nullptr, first.window);
    ASSERT_NE(nullptr, second.window);
    ASSERT_TRUE(SetForegroundWindow(first.window));
    g_forwardInLoop = second.window;
    EXPECT_EQ(0, RunInProcess(false));
    g_forwardInLoop = nullptr;
    EXPECT_FALSE(g_watchdogFired) << "the quit did not end the loop";
    EXPECT_EQ(first.window, g_started.foreground) << "start-up took the foreground";
    EXPECT_EQ(second.window, GetForegroundWindow()) << "the quit between flights moved the foreground";
    // The sound plays out before the tray icon; the first chicken is due
    // after 41 mod 600 + 300 seconds.
    const std::vector<std::string> expected = {"sound to its end", "tray add", "tray modify", "timer 2: 341000 ms", "loop",
                                               "tray delete", "counters"};
    EXPECT_EQ(expected, g_steps);
    const StartedWindows& w = g_started;
    EXPECT_STREQ(kBackgroundClass, w.backgroundClass);
    EXPECT_STREQ("Background", w.backgroundTitle);
    EXPECT_STREQ(kSpriteClass, w.spriteClass);
    EXPECT_STREQ("Sprite", w.spriteTitle);
    EXPECT_EQ(-999, w.background.left);
    EXPECT_EQ(-999, w.background.top);
    EXPECT_EQ(1, w.background.right - w.background.left);
    EXPECT_EQ(1, w.background.bottom - w.background.top);
    EXPECT_TRUE(w.backgroundVisible) << "shown, but parked";
    EXPECT_EQ(0, w.sprite.left);
    EXPECT_EQ(0, w.sprite.top);
    EXPECT_EQ(1, w.sprite.right - w.sprite.left);
    EXPECT_EQ(1, w.sprite.bottom - w.sprite.top);
    EXPECT_EQ(WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW,
              w.backgroundExStyle & (WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW));
    EXPECT_EQ(WS_POPUP, w.backgroundStyle & (WS_POPUP | WS_CHILD | WS_CAPTION | WS_BORDER));
    EXPECT_EQ(WS_CHILD | WS_VISIBLE, w.spriteStyle & (WS_CHILD | WS_VISIBLE | WS_POPUP | WS_BORDER));
    EXPECT_EQ(static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW), w.classStyle);
    EXPECT_EQ(static_cast<ULONG_PTR>(COLOR_MENU + 1), w.classBrush);
    EXPECT_EQ(LoadCursor(nullptr, IDC_ARROW), w.classCursor);
    DWORD value = 0;
    EXPECT_TRUE(test::ReadValue("TimeSum", &value)) << "statistics written at the end";
    EXPECT_TRUE(test::ReadValue("CountMissedShots", &value));
    EXPECT_EQ(4u, value);
    test::ResetAllModules();
}

TEST(Frame, DestroyedBackgroundWindowEndsTheProgramThroughTheNormalShutDown)
{
    test::CleanRegistry registry;
    test::ResetAllModules();
    test::WriteValues({{"UseSound", 0}, {"Speed", 600}, {"CountHits", 3}, {"CountMissedChicken", 9}});
    test::WindowGuard holed{test::LocalWindow("the user's program", 100, 100, 200, 100)};
    ShootHole(150, 150);
    ASSERT_NE(ERROR, test::RegionType(holed.window));
    EXPECT_EQ(0, RunInProcess(true));
    EXPECT_FALSE(g_watchdogFired) << "the loop ran on without its window";
    const std::vector<std::string> expected = {"tray add", "tray modify", "timer 2: 341000 ms", "loop", "tray delete",
                                               "counters", "repair"};
    EXPECT_EQ(expected, g_steps) << "no sound with UseSound 0; the icon goes on the way out; the counters are "
                                    "safe before the repair, which another program can hold up";
    DWORD value = 0;
    EXPECT_TRUE(test::ReadValue("TimeSum", &value)) << "statistics written at the end";
    EXPECT_EQ(0u, value);
    EXPECT_TRUE(test::ReadValue("CountMissedChicken", &value));
    EXPECT_EQ(9u, value);
    test::ResetAllModules();
}

TEST(Frame, EndingSessionRepairsHolesAndSavesTheStatisticsAtOnce)
{
    struct Case {
        WPARAM ending;
        bool repairedAndSaved;
    };
    const Case cases[] = {{TRUE, true}, {FALSE, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "WM_ENDSESSION " << c.ending);
        test::CleanRegistry registry;
        test::Program program;
        test::WindowGuard victim{test::LocalWindow("victim", 300, 300, 200, 150)};
        ASSERT_NE(nullptr, victim.window);
        ShootHole(400, 375);
        ASSERT_NE(ERROR, test::RegionType(victim.window)) << "the shot holed the window";
        g_statistics = Statistics{21, 22, 23, 2400};
        g_steps.clear();
        {
            test::ImportHook setValue("ADVAPI32.dll", "RegSetValueExA", &LoggedSetValue);
            test::ImportHook setRegion("USER32.dll", "SetWindowRgn", &LoggedSetRegion);
            g_realSetValue = setValue.Original<decltype(RegSetValueExA)>();
            g_realSetRegion = setRegion.Original<decltype(SetWindowRgn)>();
            SendMessageA(g_app.background, WM_ENDSESSION, c.ending, 0);
        }
        EXPECT_EQ((c.repairedAndSaved ? std::vector<std::string>{"counters", "repair"} : std::vector<std::string>{}),
                  g_steps);
        EXPECT_EQ(c.repairedAndSaved, test::RegionType(victim.window) == ERROR);
        const struct {
            const char* name;
            DWORD value;
        } stored[] = {{"CountHits", 21}, {"CountMissedShots", 22}, {"CountMissedChicken", 23}, {"TimeSum", 2400}};
        for (const auto& s : stored) {
            DWORD value = 0;
            bool present = test::ReadValue(s.name, &value);
            EXPECT_EQ(c.repairedAndSaved, present) << s.name;
            if (present) {
                EXPECT_EQ(s.value, value) << s.name;
            }
        }
    }
}

}  // namespace
