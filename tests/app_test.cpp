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
#include "flight/snapshot.h"
#include "res/resource.h"
#include "shooting/holes.h"
#include "store/store.h"
#include "support.h"
#include "ui/commands.h"

namespace {

// ---------------------------------------------------------------------------
// Start-up without a frame.

TEST(MissingFrame, StartUpEndsSilentlyAndWritesTheStatisticsBack)
{
    test::CleanRegistry registry;
    {
        // The objects the system keeps after their first use (shared icons
        // and cursors) out of the count.
        test::Program firstUse;
    }
    test::WriteValues({{kUseSound, 1}, {kSpeed, 1}, {kCountHits, 12}, {kCountMissedShots, 34},
                       {kCountMissedChicken, 56}});
    // No TimeSum: it appears only if the statistics are written.
    int windowsCreated = 0;
    int result = -1;
    size_t sounds = 99, trayCalls = 99;
    std::string mutexName;
    {
        test::MissingBitmap load(IDB_FALL_MASK0 + 18);  // 305, the last one loaded
        test::Spy<decltype(CreateWindowExA)> window("USER32.dll", "CreateWindowExA");
        window.answer = [&](DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) {
            ++windowsCreated;
            return HWND(nullptr);
        };
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
    EXPECT_EQ(0, windowsCreated);
    EXPECT_EQ(0u, sounds);
    EXPECT_EQ(0u, trayCalls);
    test::ExpectStored({{kCountHits, 12}, {kCountMissedShots, 34}, {kCountMissedChicken, 56}, {kTimeSum, 0},
                        {kUseSound, 1}, {kSpeed, 1}});
    test::ResetAllModules();
}

// ---------------------------------------------------------------------------
// The frame's own window handling.

TEST(Frame, CloseRequestsToEitherWindowAreIgnored)
{
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
test::StepLog g_log;
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
    bool screenHeld;  // a DC or bitmap of the start-up snapshot
    int screenWidth;
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
    w.screenHeld = g_snapshot.display || g_snapshot.snapshot || g_snapshot.compose;
    w.screenWidth = g_snapshot.screenWidth;
}

// The loop's first call notes the windows and asks for the end; a timer
// ends a loop that runs on.
BOOL FirstLoop(test::Spy<decltype(GetMessageA)>& loop, LPMSG msg, HWND window, UINT first, UINT last)
{
    if (g_log.First("loop") < 0) {
        g_log.Add("loop");
        NoteWindows();
        if (g_forwardInLoop) SetForegroundWindow(g_forwardInLoop);
        if (g_destroyInLoop)
            DestroyWindow(g_app.background);
        else
            PostMessageA(g_app.background, WM_COMMAND, CMD_QUIT, 0);
        g_watchdog = SetTimer(nullptr, 0, 5000, nullptr);  // should the loop run on
    }
    BOOL result = loop.Real(msg, window, first, last);
    if (result > 0 && msg->message == WM_TIMER && msg->hwnd == nullptr && msg->wParam == g_watchdog) {
        g_watchdogFired = true;
        PostQuitMessage(0);
    }
    return result;
}

// The shut-down's two writes: the counters (the program's only registry
// writes outside the dialog) and the repair of a holed window.
struct ShutDownWrites {
    ShutDownWrites()
    {
        registry.then = [](const test::RegistryCall& c) {
            if (c.op == "set") g_log.AddOnce("counters");
        };
        region.note = [](HWND, HRGN r, BOOL) { g_log.AddOnce(r ? "region" : "repair"); };
    }
    bool Installed() const { return registry.Installed() && region.Installed(); }
    test::RegistrySpy registry;
    test::Spy<decltype(SetWindowRgn)> region{"USER32.dll", "SetWindowRgn"};
};

// Runs the program in this process; its result.
int RunInProcess(bool destroyInLoop)
{
    g_log.Clear();
    g_started = StartedWindows{};
    g_destroyInLoop = destroyInLoop;
    g_watchdogFired = false;
    int result = -1;
    {
        test::Spy<decltype(GetMessageA)> loop("USER32.dll", "GetMessageA");
        loop.answer = [&loop](LPMSG msg, HWND window, UINT first, UINT last) {
            return FirstLoop(loop, msg, window, first, last);
        };
        test::FakeTimers timers(true);
        timers.then = [](const test::TimerCall& c) {
            if (c.set && c.window == g_app.background) g_log.Add(test::Step(c));
        };
        test::FakeSound sound;
        sound.then = [](const test::SoundCall& c) { g_log.Add(test::Step(c)); };
        test::FakeTray tray;
        tray.then = [](const test::TrayCall& c) { g_log.Add(test::Step(c)); };
        test::PrivateMutex mutex;
        ShutDownWrites writes;
        if (!(loop.Installed() && timers.Installed() && sound.Installed() && tray.Installed() && mutex.Installed() &&
              writes.Installed()))
            return -2;
        result = WingzapMain(GetModuleHandleA(nullptr));
    }
    if (g_watchdog) KillTimer(nullptr, g_watchdog);
    g_watchdog = 0;
    test::LeaveProgram();
    return result;
}

TEST(Frame, StartUpRunsInOrderAndTheQuitEndsIt)
{
    test::CleanRegistry registry;
    test::ResetAllModules();
    test::WriteValues({{kUseSound, 1}, {kSpeed, 600}, {kCountMissedShots, 4}});
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
    EXPECT_EQ(expected, g_log.Whats());
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
    EXPECT_FALSE(w.screenHeld) << "the start-up snapshot waits for the first chicken";
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), w.screenWidth) << "its size is kept";
    DWORD value = 0;
    EXPECT_TRUE(test::ReadValue(kTimeSum, &value)) << "statistics written at the end";
    EXPECT_TRUE(test::ReadValue(kCountMissedShots, &value));
    EXPECT_EQ(4u, value);
}

TEST(Frame, DestroyedBackgroundWindowEndsTheProgramThroughTheNormalShutDown)
{
    test::CleanRegistry registry;
    test::ResetAllModules();
    test::WriteValues({{kUseSound, 0}, {kSpeed, 600}, {kCountHits, 3}, {kCountMissedChicken, 9}});
    test::WindowGuard holed{test::LocalWindow("the user's program", 100, 100, 200, 100)};
    ShootHole(150, 150);
    ASSERT_NE(ERROR, test::RegionType(holed.window));
    EXPECT_EQ(0, RunInProcess(true));
    EXPECT_FALSE(g_watchdogFired) << "the loop ran on without its window";
    const std::vector<std::string> expected = {"tray add", "tray modify", "timer 2: 341000 ms", "loop", "tray delete",
                                               "counters", "repair"};
    EXPECT_EQ(expected, g_log.Whats()) << "no sound with UseSound 0; the icon goes on the way out; the counters are "
                                    "safe before the repair, which another program can hold up";
    DWORD value = 0;
    EXPECT_TRUE(test::ReadValue(kTimeSum, &value)) << "statistics written at the end";
    EXPECT_EQ(0u, value);
    EXPECT_TRUE(test::ReadValue(kCountMissedChicken, &value));
    EXPECT_EQ(9u, value);
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
        test::Program program;
        test::WindowGuard victim{test::LocalWindow("victim", 300, 300, 200, 150)};
        ASSERT_NE(nullptr, victim.window);
        ShootHole(400, 375);
        ASSERT_NE(ERROR, test::RegionType(victim.window)) << "the shot holed the window";
        g_statistics = Statistics{21, 22, 23, 2400};
        g_log.Clear();
        {
            ShutDownWrites writes;
            ASSERT_TRUE(writes.Installed());
            SendMessageA(g_app.background, WM_ENDSESSION, c.ending, 0);
        }
        EXPECT_EQ((c.repairedAndSaved ? std::vector<std::string>{"counters", "repair"} : std::vector<std::string>{}),
                  g_log.Whats());
        EXPECT_EQ(c.repairedAndSaved, test::RegionType(victim.window) == ERROR);
        const struct {
            const char* name;
            DWORD value;
        } stored[] = {{kCountHits, 21}, {kCountMissedShots, 22}, {kCountMissedChicken, 23}, {kTimeSum, 2400}};
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
