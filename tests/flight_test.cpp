// The flight engine driven through its own operations on the real windows.
// Platform calls that would wait or arm real timers are replaced through the
// import table: timers are recorded and ticks are sent by hand, the tick
// count is a number the test sets, sounds and the tray are recorded.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <wtsapi32.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "app/app.h"
#include "flight/flight.h"
#include "flight/presence.h"
#include "flight/snapshot.h"
#include "res/resource.h"
#include "shooting/holes.h"
#include "store/store.h"
#include "support.h"
#include "ui/commands.h"
#include "ui/keys.h"

namespace {

// The generator's first values; every run draws them in this order.
const int kSequence[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};

TEST(Random, DrawsTheFixedSequence)
{
    Flight_Reset();
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (int value : expected) EXPECT_EQ(NextRandom(), value);
}

// ---------------------------------------------------------------------------
// Recorded platform calls: one log, each step with its numbers (timer id,
// interval and window; strip x, y, width, height; ...).

const char kSetTimer[] = "set timer", kKillTimer[] = "kill timer", kTooltip[] = "tooltip", kSound[] = "sound",
           kCursor[] = "cursor", kStrip[] = "strip", kBackgroundPaint[] = "background paint";
// A registry write is "write <name>", with value, type and size.
const std::string kWrite = "write ";

test::StepLog g_log;
bool g_skipFullScreenCopies = false;
bool g_failFullScreenCopies = false;  // as on the secure desktop

struct Selection {
    HDC surface;
    HGDIOBJ object;
};
std::vector<Selection> g_selections;  // into the frame or mask surface

bool IsFullScreen(int width, int height)
{
    return width >= g_snapshot.screenWidth && height >= g_snapshot.screenHeight && width > 100;
}

// The registry writes' places in the log.
std::vector<int> Writes()
{
    std::vector<int> writes;
    for (size_t i = 0; i < g_log.entries.size(); ++i)
        if (g_log.entries[i].what.compare(0, kWrite.size(), kWrite) == 0) writes.push_back(static_cast<int>(i));
    return writes;
}

// The end of a flight stores the four counters between the steps at
// `after` and `before`: these names in this order, each a 4-byte REG_DWORD,
// and no other write.
void ExpectCountersStored(int after, int before)
{
    const std::vector<int> writes = Writes();
    ASSERT_EQ(4u, writes.size());
    for (int i = 0; i < 4; ++i) {
        const char* name = kCounterValues[i].name;
        const uint32_t value = g_statistics.*kCounterValues[i].field;
        const test::StepLog::Entry& w = g_log.entries[writes[i]];
        EXPECT_EQ(kWrite + name, w.what);
        EXPECT_EQ(static_cast<intptr_t>(value), w.a) << name;
        EXPECT_EQ(REG_DWORD, w.b);
        EXPECT_EQ(4, w.c);
        EXPECT_GT(writes[i], after);
        EXPECT_LT(writes[i], before);
        DWORD stored = 0;
        EXPECT_TRUE(test::ReadValue(name, &stored));
        EXPECT_EQ(value, stored) << name;
    }
}

// Timers, tick count, sound, cursor, tray and registry writes recorded in
// one log; GDI calls observed.
class FakePlatform {
public:
    FakePlatform() : timers_(false)
    {
        timers_.then = [](const test::TimerCall& c) {
            g_log.Add(c.set ? kSetTimer : kKillTimer, static_cast<intptr_t>(c.id), static_cast<intptr_t>(c.interval),
                      reinterpret_cast<intptr_t>(c.window));
        };
        sound_.then = [](const test::SoundCall& c) { g_log.Add(kSound, static_cast<intptr_t>(c.flags)); };
        tray_.then = [](const test::TrayCall& c) {
            g_log.Add(kTooltip, static_cast<intptr_t>(c.message), static_cast<intptr_t>(c.data.uFlags));
        };
        registry_.then = [](const test::RegistryCall& c) {
            if (c.op == "set") g_log.Add(kWrite + c.name, c.value, c.type, c.size);
        };
        cursor_.answer = [](HCURSOR cursor) {
            g_log.Add(kCursor, reinterpret_cast<intptr_t>(cursor));
            return HCURSOR(nullptr);
        };
        // Strips are the copies from the live screen into the snapshot that
        // are not the whole screen; the background window's paint copies the
        // snapshot into its own DC.
        bitBlt_.answer = [this](HDC target, int x, int y, int width, int height, HDC source, int sx, int sy,
                                DWORD rop) {
            if (target && target == g_snapshot.snapshot.get() && source == g_snapshot.display.get() &&
                !IsFullScreen(width, height))
                g_log.Add(kStrip, x, y, width, height);
            if (target && source && source == g_snapshot.snapshot.get() && WindowFromDC(target) == g_app.background)
                g_log.Add(kBackgroundPaint, x, y, width, height);
            if (g_failFullScreenCopies && source == g_snapshot.display.get() && IsFullScreen(width, height))
                return FALSE;
            if (g_skipFullScreenCopies && IsFullScreen(width, height)) return TRUE;
            return bitBlt_.Real(target, x, y, width, height, source, sx, sy, rop);
        };
        select_.note = [](HDC dc, HGDIOBJ object) {
            if (dc && (dc == g_art.frameSurface.get() || dc == g_art.maskSurface.get()))
                g_selections.push_back({dc, object});
        };
        Clear();
        g_skipFullScreenCopies = g_failFullScreenCopies = false;
    }
    ~FakePlatform() { g_skipFullScreenCopies = g_failFullScreenCopies = false; }
    bool Installed() const
    {
        return timers_.Installed() && tick.Installed() && sound_.Installed() && cursor_.Installed() &&
               tray_.Installed() && bitBlt_.Installed() && select_.Installed() && registry_.Installed();
    }
    static void Clear()
    {
        g_log.Clear();
        g_selections.clear();
    }

    test::FakeTickCount tick;  // at 1000 until a test moves it

private:
    test::FakeTimers timers_;
    test::FakeSound sound_;
    test::FakeTray tray_;
    test::RegistrySpy registry_;
    test::Spy<decltype(SetCursor)> cursor_{"USER32.dll", "SetCursor"};
    test::Spy<decltype(BitBlt)> bitBlt_{"GDI32.dll", "BitBlt"};
    test::Spy<decltype(SelectObject)> select_{"GDI32.dll", "SelectObject"};
};

// ---------------------------------------------------------------------------
// Windows and flights.

using test::WindowRect;

// The sprite's place in the background window's client area, which is the
// screen while the background covers it.
RECT SpritePlace()
{
    RECT s = WindowRect(g_app.sprite), b = WindowRect(g_app.background);
    OffsetRect(&s, -b.left, -b.top);
    return s;
}

// HORZRES or VERTRES of the display, as a freeze reads it.
int RealScreen(int index)
{
    const MemoryDc display(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    return GetDeviceCaps(display.get(), index);
}
int RealScreenWidth() { return RealScreen(HORZRES); }
int RealScreenHeight() { return RealScreen(VERTRES); }

bool Covers(const RECT& r) { return r.left == 0 && r.top == 0 && r.right == RealScreenWidth() && r.bottom == RealScreenHeight(); }
bool Parked(const RECT& r) { return r.left == -100 && r.top == -100 && r.right == -99 && r.bottom == -99; }

// As the background window's timers deliver them.
void FireLaunchTimer() { SendMessageA(g_app.background, WM_TIMER, kLaunchTimer, 0); }
void FireAnimationTimer() { SendMessageA(g_app.background, WM_TIMER, kAnimationTimer, 0); }

// A launch after `skip` earlier draws. The previous freeze read another
// screen than there is now (1280 x 1024): the launch takes the monitor as it
// is at this moment.
void LaunchAfter(int skip)
{
    Flight_Reset();
    for (int i = 0; i < skip; ++i) NextRandom();
    g_flight.launchTimerId = kLaunchTimer;  // as the schedule armed it
    g_snapshot.screenWidth = 1280;
    g_snapshot.screenHeight = 1024;
    FireLaunchTimer();
}

// The index of `object` in `list` of 19, or -1.
int FrameNumber(const Bitmap (&list)[FRAMES_PER_BANK], HGDIOBJ object)
{
    for (int i = 0; i < FRAMES_PER_BANK; ++i)
        if (list[i].get() == object) return i;
    return -1;
}

// The colour frame and mask selected by the last tick, as frame numbers of
// `bank`; -1 when the tick selected something else or nothing.
void SelectedFrames(const FrameBank& bank, int* frame, int* mask)
{
    *frame = *mask = -1;
    for (const Selection& s : g_selections) {
        if (s.surface == g_art.frameSurface.get()) *frame = FrameNumber(bank.frames, s.object);
        if (s.surface == g_art.maskSurface.get()) *mask = FrameNumber(bank.masks, s.object);
    }
}

class FlightTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(program_.Loaded());
        ASSERT_TRUE(platform_.Installed());
        ASSERT_EQ(1024, RealScreenWidth()) << "the tables below are worked out for a 1024 x 768 screen";
        ASSERT_EQ(768, RealScreenHeight());
        g_settings.UseSound = 0;
        g_settings.Speed = 60;
    }
    void TearDown() override { EndFlight(); }

    test::Program program_;
    FakePlatform platform_;
};

// ---------------------------------------------------------------------------
// Schedule, launch and its draws.

TEST_F(FlightTest, ScheduleDrawsTheDelayAndArmsTheLaunchTimer)
{
    struct Case {
        uint32_t speed;
        int earlierDraws;
        UINT interval;  // worked out by hand from the sequence
    };
    const Case cases[] = {
        {60, 0, 71000},          // 41 mod 60 + 30: the first chicken of a run
        {60, 4, 59000},          // 19169 mod 60 + 30: after the first flight
        {1, 0, 0},               // Speed 1: at once
        {1, 5, 0},
        {3, 1, 3000},            // 18467 mod 3 + 1
        {4294967291u, 0, 38000}, // -5 stored: 2147483686 s, times 1000 wraps
        {1000, 2, 834000},       // 6334 mod 1000 + 500
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "Speed " << c.speed << " after " << c.earlierDraws << " draws");
        Flight_Reset();
        for (int i = 0; i < c.earlierDraws; ++i) NextRandom();
        g_settings.Speed = c.speed;
        g_flight.hit = 1;
        g_flight.appearanceTick = 4242;
        FakePlatform::Clear();
        ScheduleNextChicken();
        std::vector<test::StepLog::Entry> set = g_log.Of(kSetTimer);
        ASSERT_EQ(1u, set.size());
        EXPECT_EQ(reinterpret_cast<intptr_t>(g_app.background), set[0].c);
        EXPECT_EQ(static_cast<intptr_t>(kLaunchTimer), set[0].a);
        EXPECT_EQ(static_cast<intptr_t>(c.interval), set[0].b);
        EXPECT_EQ(0, g_flight.hit);
        EXPECT_EQ(0u, g_flight.appearanceTick);
        EXPECT_EQ(kSequence[c.earlierDraws + 1], NextRandom()) << "exactly one draw";
    }
}

TEST_F(FlightTest, LaunchDrawsRowDirectionAndStepInThatOrder)
{
    struct Case {
        int skip, monitorWidth, monitorHeight;  // the monitor under the pointer
        int row, direction, step, startX;
    };
    const Case cases[] = {
        {0, 1024, 768, 61, -1, 7, 1114},   // 41, 18467 odd, 6334 & 3 = 2
        {1, 1024, 768, 181, 1, 5, -90},    // the first flight of a run
        {2, 1024, 768, 252, 1, 6, -90},
        {3, 800, 600, 510, -1, 5, 890},    // row and start from the monitor as it is now
        {4, 1024, 768, 205, 1, 7, -90},
        {1, 1024, 91, 20, 1, 5, -90},      // one row left
        {1, 1024, 90, 20, 1, 5, -90},      // no row: along the top, no division by zero
        {1, 1024, 50, 20, 1, 5, -90},
        {1, 1024, 0, 20, 1, 5, -90},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "skip " << c.skip << ", monitor " << c.monitorWidth << " x "
                                        << c.monitorHeight);
        // The virtual screen stays the real one: the snapshot is the display's.
        test::FakeMonitors monitors({{{0, 0, c.monitorWidth, c.monitorHeight}, 96}}, POINT{5, 5}, false);
        ASSERT_TRUE(monitors.Installed());
        FakePlatform::Clear();
        LaunchAfter(c.skip);
        EXPECT_EQ(1, g_flight.flying);
        EXPECT_EQ(0, g_flight.frameIndex);
        EXPECT_EQ(c.row, g_flight.spriteY);
        EXPECT_EQ(c.direction, g_flight.direction);
        EXPECT_EQ(c.step, g_flight.step);
        EXPECT_EQ(c.startX, g_flight.spriteX);
        EXPECT_EQ(c.direction > 0 ? &g_art.banks[kRightBank] : &g_art.banks[kLeftBank], g_flight.bank);
        EXPECT_EQ(kSequence[c.skip + 3], NextRandom()) << "exactly three draws";
        // The freeze read the screen again and stretched the background over it.
        EXPECT_EQ(1024, g_snapshot.screenWidth);
        EXPECT_EQ(768, g_snapshot.screenHeight);
        EXPECT_TRUE(Covers(WindowRect(g_app.background)));
        // The launch timer stops, then the animation timer starts at 50 ms.
        int kill = g_log.First(kKillTimer, kLaunchTimer);
        int start = g_log.First(kSetTimer, kAnimationTimer);
        ASSERT_GE(kill, 0);
        ASSERT_GT(start, kill);
        EXPECT_EQ(reinterpret_cast<intptr_t>(g_app.background), g_log.entries[start].c);
        EXPECT_EQ(kTickMilliseconds, g_log.entries[start].b);
        EXPECT_EQ(1u, g_log.Of(kSetTimer).size());
        EXPECT_TRUE(Writes().empty()) << "a launch stores nothing";
        EndFlight();
    }
}

// The display really changes (a Remote Desktop reconnect, an undocked
// laptop): in this process between two flights, and from another process
// during one, which ends it without a missed chicken. The next launch
// freezes the screen as it is now and its row lies on it.
TEST_F(FlightTest, AfterTheResolutionDropsTheNextRowLiesOnTheNewScreen)
{
    test::ScreenSize large(1280, 1024);
    ASSERT_TRUE(large.Set());
    LaunchAfter(0);
    EXPECT_EQ(1280, g_snapshot.screenWidth);
    EXPECT_TRUE(Covers(WindowRect(g_app.background)));
    const uint32_t missed = g_statistics.CountMissedChicken;
    // The other process's WM_DISPLAYCHANGE reaches the background window
    // while this thread waits for the change.
    ASSERT_TRUE(test::ChangeScreenElsewhere(1024, 768));
    EXPECT_EQ(0, g_flight.flying) << "the flight over the old screen ended";
    EXPECT_EQ(missed, g_statistics.CountMissedChicken);
    EXPECT_TRUE(Parked(WindowRect(g_app.background)));
    LaunchAfter(1);  // draws 18467 for the row: 18467 % (768 - 90) + 20, not % (1024 - 90) + 20
    EXPECT_EQ(181, g_flight.spriteY);
    EXPECT_EQ(1024, g_snapshot.screenWidth);
    EXPECT_EQ(768, g_snapshot.screenHeight);
    const RECT cover = WindowRect(g_app.background);
    EXPECT_TRUE(cover.left == GetSystemMetrics(SM_XVIRTUALSCREEN) && cover.top == GetSystemMetrics(SM_YVIRTUALSCREEN) &&
                cover.right - cover.left == GetSystemMetrics(SM_CXVIRTUALSCREEN) &&
                cover.bottom - cover.top == GetSystemMetrics(SM_CYVIRTUALSCREEN))
        << "the cover is the new virtual screen";
    EXPECT_TRUE(Covers(cover));
    EndFlight();
}

TEST_F(FlightTest, LaunchFreezesShowsTheCrosshairAndWaitsForItsSound)
{
    g_settings.UseSound = 1;
    LaunchAfter(1);
    int cursor = g_log.First(kCursor, reinterpret_cast<intptr_t>(g_art.crosshairCursor));
    std::vector<test::StepLog::Entry> sounds = g_log.Of(kSound);
    int sound = g_log.Last(kSound);
    int start = g_log.First(kSetTimer, kAnimationTimer);
    ASSERT_NE(nullptr, g_art.crosshairCursor);
    ASSERT_EQ(1u, sounds.size());
    EXPECT_EQ(0, sounds[0].a & SND_ASYNC) << "the launch sound plays to its end";
    EXPECT_TRUE(Covers(g_log.entries[sound].cover)) << "the screen is frozen while it plays";
    EXPECT_GE(cursor, 0);
    EXPECT_LT(cursor, sound) << "the crosshair shows before the sound";
    EXPECT_GT(start, sound) << "no chicken moves before the sound has ended";
    // The frozen desktop is on the screen before the sound holds the thread.
    int paint = g_log.First(kBackgroundPaint);
    ASSERT_GE(paint, 0) << "the background window did not paint the snapshot";
    EXPECT_LT(paint, sound);
    const test::StepLog::Entry& painted = g_log.entries[paint];
    EXPECT_EQ(0, painted.a);
    EXPECT_EQ(0, painted.b);
    EXPECT_EQ(RealScreenWidth(), painted.c) << "the whole screen";
    EXPECT_EQ(RealScreenHeight(), painted.d);
}

// `upper` lies above `lower` in the z-order.
bool Above(HWND upper, HWND lower)
{
    for (HWND w = GetWindow(lower, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
        if (w == upper) return true;
    return false;
}

// A topmost window brought to the front since start-up (an always-on-top
// player, the taskbar after a click) lies below the cover at every launch:
// the chicken flies over it, and a click there is a shot.
TEST_F(FlightTest, EveryLaunchRaisesTheCoverAboveTopmostWindowsBroughtForwardSince)
{
    HWND player = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "STATIC", "player", WS_POPUP | WS_VISIBLE, 100,
                                  100, 200, 150, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(player);
    for (int launch = 1; launch <= 2; ++launch) {
        SCOPED_TRACE(launch);
        SetWindowPos(player, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ASSERT_TRUE(Above(player, g_app.background));
        FireLaunchTimer();
        ASSERT_TRUE(g_flight.flying);
        EXPECT_TRUE(Above(g_app.background, player));
        EXPECT_TRUE(GetWindowLongA(g_app.background, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EndFlight();
    }
    DestroyWindow(player);
}

// A fresh engine on a 1024 x 768 screen, its launch timer armed: the
// schedule has drawn 41.
void ArmTheLaunchTimer()
{
    Flight_Reset();
    g_snapshot.screenWidth = 1024;
    g_snapshot.screenHeight = 768;
    ScheduleNextChicken();
}

// The firing just made launched nothing, and drew nothing unless `drawn`.
void ExpectHeldBack(bool flying, bool drawn = false)
{
    EXPECT_TRUE(g_log.entries.empty()) << "no timer touched: the armed interval goes on";
    EXPECT_EQ(nullptr, g_snapshot.display.get()) << "nothing frozen";
    EXPECT_FALSE(Covers(WindowRect(g_app.background))) << "the cover stays parked";
    EXPECT_EQ(flying ? 1 : 0, g_flight.flying);
    if (!drawn) {
        EXPECT_EQ(0, g_flight.step) << "nothing drawn for a flight";
    }
}

// The next firing launches with the draws that follow the schedule's 41
// (row 181), or that follow a launch given up after its draws (row 205).
void ExpectTheFirstLaunch(int row = 181)
{
    FireLaunchTimer();
    EXPECT_EQ(1, g_flight.flying);
    EXPECT_EQ(row, g_flight.spriteY) << "the row drawn from the sequence";
    EndFlight();
}

TEST_F(FlightTest, LaunchTimerFiringIsIgnoredWhileBusyDisabledOrFlying)
{
    struct Case {
        const char* name;
        bool busy, enabled, flying;
        WPARAM timer;
    };
    const Case cases[] = {
        {"menu or dialog open", true, true, false, kLaunchTimer},
        {"chickens disabled", false, false, false, kLaunchTimer},
        {"both", true, false, false, kLaunchTimer},
        {"already flying", false, true, true, kLaunchTimer},
        {"a timer that is not ours", false, true, false, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ArmTheLaunchTimer();
        g_ui.BusyFlag = c.busy;
        g_ui.EnabledFlag = c.enabled;
        g_flight.flying = c.flying;
        FakePlatform::Clear();
        SendMessageA(g_app.background, WM_TIMER, c.timer, 0);
        ExpectHeldBack(c.flying);
        // The next firing after the block has ended launches.
        g_ui.BusyFlag = false;
        g_ui.EnabledFlag = true;
        g_flight.flying = 0;
        ExpectTheFirstLaunch();
    }
    g_ui.BusyFlag = false;
    g_ui.EnabledFlag = true;
}

// What SHQueryUserNotificationState answers; kNoFunction: the system has none.
enum { kNoFunction = -1, kNotAsked = 0 };
int g_notificationState = kNotAsked;

HRESULT WINAPI FakeNotificationState(int* state)
{
    *state = g_notificationState;
    return S_OK;
}

// The name of the desktop that takes the input: as the system has it (""),
// another one, or none that may be opened (nullptr).
const char* g_inputDesktop = "";

// A call of the freeze that fails, as when memory or GDI objects run out:
// the `nth` of `call` since the launch, counting only the freeze's own
// calls (CreateDCA, and those on the display's DC).
struct Fault {
    const char* call;
    int nth;
};
Fault g_fault = {};
int g_faultSeen = 0;

bool Fails(const char* call, bool ofTheFreeze)
{
    if (!ofTheFreeze || !g_fault.call || std::strcmp(call, g_fault.call) != 0) return false;
    return ++g_faultSeen == g_fault.nth;
}
bool OnTheDisplay(HDC dc) { return dc && dc == g_snapshot.display.get(); }

// Nobody there to see it, or a full-screen program in front: the chicken is
// held back as for the menu: no draw, the launch timer left armed, the
// launch at the first firing after. A screen that cannot be read, or any
// object of the freeze that cannot be made, gives the launch up after its
// draws, leaving no object behind.
TEST_F(FlightTest, NobodyToSeeItOrAFullScreenProgramHoldsTheChickenBack)
{
    test::Spy<decltype(GetProcAddress)> lookup("KERNEL32.dll", "GetProcAddress");
    lookup.answer = [&lookup](HMODULE module, LPCSTR name) {
        if (g_notificationState != kNotAsked && HIWORD(name) && std::strcmp(name, "SHQueryUserNotificationState") == 0)
            return g_notificationState == kNoFunction
                       ? nullptr
                       : reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeNotificationState));
        return lookup.Real(module, name);
    };
    test::Spy<decltype(OpenInputDesktop)> open("USER32.dll", "OpenInputDesktop");
    open.answer = [&open](DWORD flags, BOOL inherit, ACCESS_MASK access) {
        return g_inputDesktop ? open.Real(flags, inherit, access) : nullptr;
    };
    test::Spy<decltype(GetUserObjectInformationA)> name("USER32.dll", "GetUserObjectInformationA");
    name.answer = [&name](HANDLE object, int index, void* info, DWORD size, DWORD* needed) {
        if (!g_inputDesktop || !*g_inputDesktop || index != UOI_NAME) return name.Real(object, index, info, size, needed);
        lstrcpynA(static_cast<char*>(info), g_inputDesktop, static_cast<int>(size));
        return TRUE;
    };
    test::Spy<decltype(CreateDCA)> display("GDI32.dll", "CreateDCA");
    display.answer = [&display](LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode) {
        return Fails("CreateDCA", true) ? nullptr : display.Real(driver, device, port, mode);
    };
    test::Spy<decltype(CreateCompatibleDC)> memory("GDI32.dll", "CreateCompatibleDC");
    memory.answer = [&memory](HDC dc) {
        return Fails("CreateCompatibleDC", OnTheDisplay(dc)) ? nullptr : memory.Real(dc);
    };
    test::Spy<decltype(CreateCompatibleBitmap)> bitmap("GDI32.dll", "CreateCompatibleBitmap");
    bitmap.answer = [&bitmap](HDC dc, int width, int height) {
        return Fails("CreateCompatibleBitmap", OnTheDisplay(dc)) ? nullptr : bitmap.Real(dc, width, height);
    };
    ASSERT_TRUE(lookup.Installed() && open.Installed() && name.Installed() && display.Installed() &&
                memory.Installed() && bitmap.Installed());
    const DWORD kHour = 60 * 60 * 1000;
    struct Case {
        const char* name;
        int width, height;  // of another program's window in front; 0: none
        int notificationState;
        const char* inputDesktop;
        DWORD idle, sinceStart;  // ms since the last input and since the program's start
        bool unreadable;         // the snapshot's copy fails
        bool heldBack;
        Fault fault = {};        // an object of the freeze cannot be made
    };
    const Case cases[] = {
        {"a borderless window over the whole screen", 1024, 768, kNotAsked, "", 0, kHour, false, true},
        {"a window leaving a strip of the screen free", 1024, 760, kNotAsked, "", 0, kHour, false, false},
        {"the shell: nobody there (locked, screen saver, another session)", 0, 0, 1, "", 0, kHour, false, true},
        {"the shell: busy", 0, 0, 2, "", 0, kHour, false, true},
        {"the shell: a Direct3D program owns the screen", 0, 0, 3, "", 0, kHour, false, true},
        {"the shell: presentation mode", 0, 0, 4, "", 0, kHour, false, true},
        {"the shell: accepts notifications", 0, 0, 5, "", 0, kHour, false, false},
        {"the shell: a Windows Store app in front", 0, 0, 7, "", 0, kHour, false, true},
        {"no such function in the shell", 0, 0, kNoFunction, "", 0, kHour, false, false},
        {"no input desktop that may be opened", 0, 0, kNotAsked, nullptr, 0, kHour, false, true},
        {"the secure desktop takes the input", 0, 0, kNotAsked, "Winlogon", 0, kHour, false, true},
        {"five minutes without input", 0, 0, kNotAsked, "", kAwayMilliseconds, kHour, false, true},
        {"a moment less", 0, 0, kNotAsked, "", kAwayMilliseconds - 1, kHour, false, false},
        {"no input for long, but started four minutes ago", 0, 0, kNotAsked, "", kHour, 4 * 60 * 1000, false, false},
        {"a snapshot that cannot be read", 0, 0, kNotAsked, "", 0, kHour, true, false},
        {"no display DC", 0, 0, kNotAsked, "", 0, kHour, false, false, {"CreateDCA", 1}},
        {"no DC for the snapshot", 0, 0, kNotAsked, "", 0, kHour, false, false, {"CreateCompatibleDC", 1}},
        {"no DC to compose in", 0, 0, kNotAsked, "", 0, kHour, false, false, {"CreateCompatibleDC", 2}},
        {"no bitmap to compose in", 0, 0, kNotAsked, "", 0, kHour, false, false, {"CreateCompatibleBitmap", 1}},
        {"no memory for the snapshot", 0, 0, kNotAsked, "", 0, kHour, false, false, {"CreateCompatibleBitmap", 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ArmTheLaunchTimer();
        platform_.tick.now = 2 * kHour - c.sinceStart;
        NoteProgramStart();
        platform_.tick.now = 2 * kHour;
        platform_.tick.idle = c.idle;
        g_notificationState = c.notificationState;
        g_inputDesktop = c.inputDesktop;
        const bool givenUp = c.unreadable || c.fault.call;
        g_failFullScreenCopies = c.unreadable;
        g_fault = c.fault;
        g_faultSeen = 0;
        std::unique_ptr<test::Victims> front;
        if (c.width) {
            front.reset(new test::Victims{{"front", 0, 0, c.width, c.height, 0x202020, "f"}});
            ASSERT_TRUE(front->Ready());
            ASSERT_TRUE(test::Awaited("the other program in front",
                                      [&] { return GetForegroundWindow() == (*front)["front"]; }, 5000));
        }
        if (c.heldBack || givenUp) {
            FakePlatform::Clear();
            const DWORD objects = test::GdiObjects();
            FireLaunchTimer();
            ExpectHeldBack(false, givenUp);
            EXPECT_EQ(objects, test::GdiObjects()) << "what the freeze made is gone";
            front.reset();
        }
        g_notificationState = kNotAsked;
        g_inputDesktop = "";
        g_failFullScreenCopies = false;
        g_fault = {};
        platform_.tick.idle = 0;
        ExpectTheFirstLaunch(givenUp ? 205 : 181);
    }
}

// WTSRegisterSessionNotification as at logon before the terminal service
// is up: the first two registrations are refused, and any for another
// window or another scope.
int g_sessionAsks = 0;
BOOL WINAPI FakeWatchSession(HWND window, DWORD flags)
{
    return ++g_sessionAsks > 2 && window == g_app.background && flags == NOTIFY_FOR_THIS_SESSION;
}

// The session's news refused at start-up is asked for again at each launch,
// until it is granted; then never again.
TEST_F(FlightTest, ASessionWatchRefusedAtStartUpIsAskedForAgainAtEachLaunch)
{
    test::Spy<decltype(GetProcAddress)> lookup("KERNEL32.dll", "GetProcAddress");
    lookup.answer = [&lookup](HMODULE module, LPCSTR name) {
        if (HIWORD(name) && std::strcmp(name, "WTSRegisterSessionNotification") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeWatchSession));
        return lookup.Real(module, name);
    };
    ASSERT_TRUE(lookup.Installed());
    Presence_Reset();
    g_sessionAsks = 0;
    WatchSession(g_app.background);  // as start-up does
    for (int asked : {2, 3, 3}) {    // refused again, granted, not asked
        ArmTheLaunchTimer();
        FireLaunchTimer();
        EndFlight();
        EXPECT_EQ(asked, g_sessionAsks);
    }
}

// Locked, the console taken away, or the display changed under the frozen
// picture: the flight ends at once, counting no missed chicken, its shots
// stored and the next chicken scheduled, also when the news comes while the
// launch sound holds the thread (through a message sent meanwhile), before
// the keys are the flight's or a tick is due. Other session events leave it
// flying; between flights a display change only parks the cover again,
// which a monitor added above and left of the others would otherwise have
// under it, taking clicks.
TEST_F(FlightTest, ALockedSessionOrAChangedDisplayEndsTheFlightUncounted)
{
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool flying, ends;
        bool inSound = false;  // sent while the launch sound plays
        RECT added = {};       // a monitor the change brought, if any
    } cases[] = {
        {"lock", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0, true, true},
        {"console disconnect", WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, 0, true, true},
        {"remote disconnect", WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, 0, true, true},
        {"unlock", WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0, true, false},
        {"console connect", WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, 0, true, false},
        {"logon", WM_WTSSESSION_CHANGE, WTS_SESSION_LOGON, 0, true, false},
        {"a new resolution", WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600), true, true},
        {"a monitor added, the primary's size kept", WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768), true, true},
        {"a new colour depth", WM_DISPLAYCHANGE, 16, MAKELPARAM(1024, 768), true, true},
        {"a lock during the launch sound", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0, true, true, true},
        {"a new resolution during the launch sound", WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600), true, true, true},
        {"a display change between flights", WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600), false, false},
        {"a monitor added above and left between flights", WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768), false, false,
         false, {-1024, -768, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto send = [&c] { SendMessageA(g_app.background, c.message, c.wParam, c.lParam); };
        test::FakeSound sound;
        g_settings.UseSound = c.inSound;
        if (c.inSound) {
            sound.then = [&send](const test::SoundCall&) {
                g_log.Add(kSound);
                send();
            };
        }
        Keys_Reset();  // no thread of an earlier flight
        FakePlatform::Clear();
        LaunchAfter(1);
        std::unique_ptr<test::FakeMonitors> monitors;
        Statistics before = g_statistics;
        bool pressed = false;
        if (!c.inSound) {
            for (int i = 0; i < 30; ++i) FireAnimationTimer();
            AddMissedShot();  // as a shot of this flight counted it
            if (!c.flying) {
                EndFlight();
                ASSERT_TRUE(Parked(WindowRect(g_app.background)));
            }
            if (!IsRectEmpty(&c.added)) {
                monitors.reset(new test::FakeMonitors({{{0, 0, 1024, 768}, 96}, {c.added, 96}}));
                ASSERT_TRUE(monitors->Installed());
            }
            before = g_statistics;
            // A press on the cover, still queued when the news comes (sent
            // or posted, it is handled first): a shot of this flight all the same.
            const RECT& band = g_flight.band;
            const POINT shot = {g_flight.spriteX > (band.left + band.right) / 2 ? band.left + 10 : band.right - 10,
                                band.bottom - 10};
            pressed = c.ends;
            if (pressed) {
                ASSERT_TRUE(test::Press(1, false, &shot));
            }
            FakePlatform::Clear();
            send();
        }
        EXPECT_EQ(c.flying && !c.ends ? 1 : 0, g_flight.flying);
        EXPECT_EQ(before.CountMissedChicken, g_statistics.CountMissedChicken);
        EXPECT_EQ(before.CountMissedShots + (pressed ? 1 : 0), g_statistics.CountMissedShots);
        const RECT cover = WindowRect(g_app.background);
        EXPECT_EQ(c.flying && !c.ends, MonitorFromRect(&cover, MONITOR_DEFAULTTONULL) != nullptr)
            << "parked off every monitor";
        if (c.ends) {
            EXPECT_TRUE(Parked(cover));
            // Its end: its ticks stopped, or, ended in its sound, that sound.
            const int kill = c.inSound ? g_log.First(kSound) : g_log.First(kKillTimer, kAnimationTimer);
            const int arm = g_log.First(kSetTimer, kLaunchTimer);
            ASSERT_GE(kill, 0);
            EXPECT_GT(arm, kill) << "the next chicken is scheduled";
            ExpectCountersStored(kill, arm);
            EXPECT_EQ(-1, g_log.First(kSetTimer, kAnimationTimer)) << "no tick for a flight that is over";
        } else {
            EXPECT_TRUE(g_log.entries.empty());
        }
        if (c.inSound) {
            EXPECT_EQ(kKeysIdle, g_keys.phase.load()) << "the keys stay the system's";
            EXPECT_EQ(nullptr, g_keys.hook.load());
        }
        EndFlight();
    }
}

// ---------------------------------------------------------------------------
// Movement, frames, strips and the missed chicken.

TEST_F(FlightTest, FlightRunsAcrossAndIsMissedPastTheFarEdge)
{
    struct Case {
        int skip;             // draws before the launch
        int direction, step;  // what the launch draws then
        int row;
        int appearanceTick;   // tick on which the chicken enters the screen
        int missedTick;       // tick on which it counts as missed
        UINT nextInterval;    // the schedule's delay after the miss, Speed 60
    };
    const Case cases[] = {
        {1, 1, 5, 181, 1, 241, 59000},   // -90 + 5n > 1114 first at n = 241
        {2, 1, 6, 252, 1, 201, 34000},
        {4, 1, 7, 205, 1, 173, 48000},   // 1114 reached exactly at 172: not yet missed
        {3, -1, 5, 78, 19, 259, 48000},  // 1114 - 5n < 1024 first at 19, < -180 at 259
        {0, -1, 7, 61, 13, 185, 70000},
    };
    const int W = 1024;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "direction " << c.direction << ", step " << c.step);
        g_statistics.CountHits = 3;
        g_statistics.CountMissedShots = 8;
        g_statistics.TimeSum = 1234;
        LaunchAfter(c.skip);
        ASSERT_EQ(c.direction, g_flight.direction);
        ASSERT_EQ(c.step, g_flight.step);
        ASSERT_EQ(W, g_snapshot.screenWidth);
        const int startX = c.direction > 0 ? -90 : W + 90;
        const uint32_t missedBefore = g_statistics.CountMissedChicken;
        for (int n = 1; n <= c.missedTick; ++n) {
            SCOPED_TRACE(testing::Message() << "tick " << n);
            FakePlatform::Clear();
            platform_.tick.now = 100000 + 50 * n;
            FireAnimationTimer();
            const int x = startX + c.direction * c.step * n;
            const bool missed = n == c.missedTick;
            // Entry: the tick count of the entering tick, taken once.
            // (the miss schedules the next chicken, which clears it again)
            const bool entered = n >= c.appearanceTick && !missed;
            EXPECT_EQ(entered ? 100000u + 50 * c.appearanceTick : 0u, g_flight.appearanceTick);
            // Frames: the first tick shows frame 1, frame 0 comes back on the
            // 19th. The window goes to the new place, 90 x 60; on the missed
            // tick it stays parked, left of and above the parked background.
            int frame, mask;
            SelectedFrames(*g_flight.bank, &frame, &mask);
            EXPECT_EQ(missed ? -1 : n % FRAMES_PER_BANK, frame);
            EXPECT_EQ(missed ? -1 : n % FRAMES_PER_BANK, mask);
            RECT place = SpritePlace();
            EXPECT_EQ(missed ? -90 : x, place.left);
            EXPECT_EQ(missed ? -60 : c.row, place.top);
            EXPECT_EQ(90, place.right - place.left);
            EXPECT_EQ(60, place.bottom - place.top);
            // One strip per tick from the entry on, at the leading edge.
            std::vector<test::StepLog::Entry> strips = g_log.Of(kStrip);
            if (n < c.appearanceTick || n == c.missedTick) {
                EXPECT_TRUE(strips.empty());
            } else {
                ASSERT_EQ(1u, strips.size());
                const int stripX = c.direction > 0 ? x - c.step + 90 : x;
                EXPECT_EQ(stripX, strips[0].a);
                EXPECT_EQ(c.row, strips[0].b);
                EXPECT_EQ(c.step, strips[0].c);
                EXPECT_EQ(60, strips[0].d);
            }
            if (n < c.missedTick) {
                ASSERT_TRUE(Writes().empty()) << "nothing stored in flight";
                ASSERT_EQ(1, g_flight.flying);
                ASSERT_EQ(missedBefore, g_statistics.CountMissedChicken);
                ASSERT_TRUE(Covers(WindowRect(g_app.background)));
            }
        }
        // Missed: counted once, then the flight ends, the tooltip shows it and
        // the next delay is drawn.
        EXPECT_EQ(0, g_flight.flying);
        EXPECT_EQ(missedBefore + 1, g_statistics.CountMissedChicken);
        EXPECT_TRUE(Parked(WindowRect(g_app.background)));
        int kill = g_log.First(kKillTimer, kAnimationTimer);
        int schedule = g_log.First(kSetTimer, kLaunchTimer);
        std::vector<test::StepLog::Entry> tips = g_log.Of(kTooltip);
        ASSERT_GE(kill, 0);
        ASSERT_GT(schedule, kill);
        ASSERT_EQ(1u, tips.size());
        EXPECT_EQ(NIM_MODIFY, tips[0].a);
        EXPECT_NE(0, tips[0].b & NIF_TIP);
        EXPECT_EQ(missedBefore + 1, tips[0].counters.CountMissedChicken) << "counted before the tooltip";
        EXPECT_EQ(missedBefore + 1, g_log.entries[schedule].counters.CountMissedChicken) << "counted before the next delay";
        const int tip = g_log.Last(kTooltip);
        EXPECT_GT(tip, kill);
        EXPECT_LT(tip, schedule);
        EXPECT_EQ(static_cast<intptr_t>(c.nextInterval), g_log.entries[schedule].b);
        EXPECT_EQ(0u, g_flight.appearanceTick);
        // Stored once counted and shown, before the next chicken is due.
        ExpectCountersStored(tip, schedule);
    }
}

TEST_F(FlightTest, HitChickenFallsNineteenTicksAndIsNeverMissed)
{
    struct Case {
        int skip;
        int ticksBeforeHit;
    };
    const Case cases[] = {
        {1, 1},    // left to right, just entered
        {1, 240},  // one tick before it would count as missed
        {3, 5},    // right to left, still beyond the right edge
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "skip " << c.skip << ", hit after tick " << c.ticksBeforeHit);
        LaunchAfter(c.skip);
        for (int n = 0; n < c.ticksBeforeHit; ++n) FireAnimationTimer();
        const uint32_t missedBefore = g_statistics.CountMissedChicken;
        const RECT before = SpritePlace();
        // What a hit does to the flight.
        g_flight.hit = 1;
        g_flight.fallCounter = kFallTicks;
        for (int n = 1; n <= kFallTicks; ++n) {
            SCOPED_TRACE(testing::Message() << "fall tick " << n);
            FakePlatform::Clear();
            FireAnimationTimer();
            int frame, mask;
            SelectedFrames(g_art.banks[kFallBank], &frame, &mask);
            EXPECT_EQ(n - 1, frame);
            EXPECT_EQ(n - 1, mask);
            RECT place = SpritePlace();
            EXPECT_EQ(before.left, place.left) << "the left edge stays";
            EXPECT_EQ(before.top + 4 * n, place.top);
            EXPECT_EQ(100, place.right - place.left);
            EXPECT_EQ(90, place.bottom - place.top);
            EXPECT_TRUE(g_log.Of(kStrip).empty()) << "no strip while falling";
            EXPECT_TRUE(Writes().empty()) << "nothing stored while falling";
            EXPECT_EQ(1, g_flight.flying);
            // The crosshair stays through the fall.
            SendMessageA(g_app.sprite, WM_SETCURSOR, reinterpret_cast<WPARAM>(g_app.sprite), HTCLIENT);
            std::vector<test::StepLog::Entry> cursors = g_log.Of(kCursor);
            ASSERT_EQ(1u, cursors.size());
            EXPECT_EQ(reinterpret_cast<intptr_t>(g_art.crosshairCursor), cursors[0].a);
        }
        FakePlatform::Clear();
        FireAnimationTimer();  // the 20th ends the flight
        EXPECT_EQ(0, g_flight.flying);
        EXPECT_EQ(missedBefore, g_statistics.CountMissedChicken);
        EXPECT_TRUE(Parked(WindowRect(g_app.background)));
        int kill = g_log.First(kKillTimer, kAnimationTimer);
        int schedule = g_log.First(kSetTimer, kLaunchTimer);
        ASSERT_GE(kill, 0);
        EXPECT_GT(schedule, kill);
        EXPECT_TRUE(g_log.Of(kTooltip).empty());
        EXPECT_TRUE(g_selections.empty()) << "the ending tick shows no frame";
        ExpectCountersStored(kill, schedule);
        // Outside a flight the arrow is back.
        FakePlatform::Clear();
        SendMessageA(g_app.background, WM_SETCURSOR, reinterpret_cast<WPARAM>(g_app.background), HTCLIENT);
        std::vector<test::StepLog::Entry> cursors = g_log.Of(kCursor);
        ASSERT_EQ(1u, cursors.size());
        EXPECT_EQ(reinterpret_cast<intptr_t>(LoadCursor(nullptr, IDC_ARROW)), cursors[0].a);
    }
}

TEST_F(FlightTest, EndFlightAndReleaseScreenAreSafeWithNothingHeld)
{
    const DWORD gdiBefore = test::GdiObjects();
    g_flight.hit = 1;
    g_flight.fallCounter = 7;
    g_flight.appearanceTick = 1234;
    FakePlatform::Clear();
    EndFlight();
    ReleaseScreen();
    EXPECT_EQ(0, g_flight.flying);
    EXPECT_EQ(1, g_flight.hit) << "EndFlight leaves the rest of the flight alone";
    EXPECT_EQ(7, g_flight.fallCounter);
    EXPECT_EQ(1234u, g_flight.appearanceTick);
    EXPECT_TRUE(g_log.Of(kSetTimer).empty()) << "no timer armed";
    EXPECT_TRUE(Parked(WindowRect(g_app.background)));
    RECT sprite = SpritePlace();
    EXPECT_EQ(-90, sprite.left);
    EXPECT_EQ(-60, sprite.top);
    EXPECT_EQ(90, sprite.right - sprite.left);
    EXPECT_EQ(60, sprite.bottom - sprite.top);
    // A held screen released twice: the second finds nothing.
    FreezeForFlight();
    EXPECT_NE(nullptr, g_snapshot.snapshot.get());
    ReleaseScreen();
    ReleaseScreen();
    EndFlight();
    EXPECT_EQ(nullptr, g_snapshot.display.get());
    EXPECT_EQ(nullptr, g_snapshot.snapshot.get());
    EXPECT_EQ(nullptr, g_snapshot.compose.get());
    EXPECT_EQ(gdiBefore, test::GdiObjects());
}

// The start-up freeze, which runs before the windows exist.
void FreezeBeforeTheWindows()
{
    const HWND background = g_app.background;
    g_app.background = nullptr;
    FreezeForFlight();
    g_app.background = background;
}

TEST_F(FlightTest, ReleaseScreenReactivatesTheWindowThatHadTheForeground)
{
    test::WindowGuard first{test::LocalWindow("owner of the foreground", 100, 100, 200, 100)};
    test::WindowGuard second{test::LocalWindow("owner of the foreground", 100, 100, 200, 100)};
    const HWND windows[2] = {first.window, second.window};
    for (HWND w : windows) ASSERT_NE(nullptr, w);
    // In this order, each on what the one before left: the window in front at
    // a flight's freeze gets the foreground back once, at the release.
    const struct {
        const char* what;
        void (*freeze)();  // none: nothing frozen since the last release
        void (*release)();
        bool givenBack;
    } cases[] = {
        {"a flight, at its end", [] { LaunchAfter(1); }, [] { EndFlight(); }, true},
        {"the quit after that flight", nullptr, [] { ReleaseScreen(); }, false},
        {"a new speed from the dialog between flights", nullptr, [] { EndFlight(); }, false},
        {"the start-up freeze, then the quit", &FreezeBeforeTheWindows, [] { ReleaseScreen(); }, false},
        {"a freeze with the windows there", [] { FreezeForFlight(); }, [] { ReleaseScreen(); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(SetForegroundWindow(windows[0]));
        if (c.freeze) c.freeze();
        ASSERT_TRUE(SetForegroundWindow(windows[1])) << "something else came forward meanwhile";
        c.release();
        EXPECT_EQ(windows[c.givenBack ? 0 : 1], GetForegroundWindow());
        EXPECT_EQ(nullptr, g_snapshot.display.get()) << "released";
    }
}

// At the DPI of the monitor under the pointer, every size of the flight
// scales: the windows, the row margins, the step and the fall. The art is
// scaled once for that DPI, not again at the next launch.
TEST_F(FlightTest, TheChickenItsStepsAndItsFallScaleToTheMonitorsDpi)
{
    const struct {
        int dpi;
        int row, step, flyWidth, flyHeight, fallWidth, fallHeight, drop;
    } cases[] = {
        // 18467 % (768 - 90) + 20; step 5; 90 x 60, 100 x 90, 4 a tick
        {96, 181, 5, 90, 60, 100, 90, 4},
        // margins 30 and 15: 18467 % (768 - 135) + 30; MulDiv(5, 144, 96) = 8
        {144, 140, 8, 135, 90, 150, 135, 6},
        // 18467 % (768 - 225) + 50; MulDiv(5, 240, 96) = 13 (12.5 rounded)
        {240, 50 + 18467 % 543, 13, 225, 150, 250, 225, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi << " dpi");
        test::FakeMonitors monitors({{{0, 0, 1024, 768}, c.dpi}}, POINT{500, 400}, false);
        ASSERT_TRUE(monitors.Installed());
        for (int launch = 0; launch < 2; ++launch) {
            const HBITMAP before = launch ? g_flight.bank->frames[0].get() : nullptr;
            LaunchAfter(1);
            ASSERT_EQ(1, g_flight.flying);
            if (launch) {
                EXPECT_EQ(before, g_flight.bank->frames[0].get()) << "scaled once for this DPI";
            }
            EXPECT_EQ(c.dpi == 96, g_flight.bank == &g_art.banks[kRightBank]) << "the loaded art at 96 dpi only";
            EXPECT_EQ(c.row, g_flight.spriteY);
            EXPECT_EQ(c.step, g_flight.step);
            EXPECT_EQ(-c.flyWidth, g_flight.spriteX);
            FireAnimationTimer();
            RECT place = SpritePlace();
            EXPECT_EQ(-c.flyWidth + c.step, place.left);
            EXPECT_EQ(c.flyWidth, place.right - place.left);
            EXPECT_EQ(c.flyHeight, place.bottom - place.top);
            StartFall();
            FireAnimationTimer();
            FireAnimationTimer();
            place = SpritePlace();
            EXPECT_EQ(c.row + 2 * c.drop, place.top);
            EXPECT_EQ(c.fallWidth, place.right - place.left);
            EXPECT_EQ(c.fallHeight, place.bottom - place.top);
            EndFlight();
        }
    }
}

// A monitor left of the primary one, at negative coordinates: the freeze
// covers both, the chicken flies on the one under the pointer, a hit and a
// hole land there, and the parked cover lies off every monitor.
TEST_F(FlightTest, AMonitorLeftOfThePrimaryFreezesFliesAndIsShotAt)
{
    const struct {
        const char* name;
        RECT second;
        POINT park;
    } cases[] = {
        {"left of the primary", {-800, 0, 0, 600}, {-100, -100}},
        {"above and left: the usual spot lies on it", {-1024, -768, 0, 0}, {-1124, -868}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const POINT pointer = {c.second.left + 300, c.second.top + 300};
        test::FakeMonitors monitors({{{0, 0, 1024, 768}, 96}, {c.second, 96}}, pointer);
        ASSERT_TRUE(monitors.Installed());
        test::WindowGuard victim(test::LocalWindow("victim", c.second.left + 100, c.second.top + 100, 200, 200));
        ASSERT_NE(nullptr, victim.window);
        LaunchAfter(1);
        ASSERT_EQ(1, g_flight.flying);
        const RECT all = {c.second.left, c.second.top, 1024, 768};
        EXPECT_EQ(all.left, g_snapshot.originX);
        EXPECT_EQ(all.right - all.left, g_snapshot.screenWidth);
        EXPECT_EQ(all.bottom - all.top, g_snapshot.screenHeight);
        const RECT cover = WindowRect(g_app.background);
        EXPECT_TRUE(EqualRect(&all, &cover)) << "the cover spans both monitors";
        // The row and the start on the second monitor: 18467 % (600 - 90) + 20
        // or % (768 - 90) + 20 below its top, and left of its left edge.
        const int height = c.second.bottom - c.second.top;
        EXPECT_EQ(c.second.top + 18467 % (height - 90) + 20, g_flight.spriteY);
        EXPECT_EQ(c.second.left - 90, g_flight.spriteX);
        for (int n = 0; n < 40; ++n) FireAnimationTimer();
        RECT sprite = WindowRect(g_app.sprite);
        EXPECT_EQ(g_flight.spriteX, sprite.left) << "the sprite where the flight has it, in screen coordinates";
        // A missed shot at the victim, given in the cover's client coordinates.
        const POINT shot = {c.second.left + 150, c.second.top + 150};
        SendMessageA(g_app.background, WM_LBUTTONDOWN, 0, MAKELPARAM(shot.x - all.left, shot.y - all.top));
        EXPECT_EQ(1u, g_statistics.CountMissedShots);
        const Region region = test::CopyRegion(victim.window);
        ASSERT_TRUE(region) << "the victim got its hole";
        EXPECT_FALSE(PtInRegion(region.get(), 50, 50)) << "under the shot";
        EXPECT_TRUE(PtInRegion(region.get(), 10, 10));
        platform_.tick.now += 700;
        SendMessageA(g_app.sprite, WM_LBUTTONDOWN, 0, MAKELPARAM(45, 30));
        EXPECT_EQ(1u, g_statistics.CountHits);
        EXPECT_EQ(1, g_flight.hit);
        for (int n = 0; n <= kFallTicks; ++n) FireAnimationTimer();
        ASSERT_EQ(0, g_flight.flying);
        const RECT parked = WindowRect(g_app.background);
        EXPECT_EQ(c.park.x, parked.left);
        EXPECT_EQ(c.park.y, parked.top);
        RepairWindows();
        g_statistics = Statistics{};
    }
}

// ---------------------------------------------------------------------------
// Compositing on the real sprite window.

// A pattern that no frame holds: blue between 0x40 and 0x7F.
uint32_t Pattern(int x, int y)
{
    return static_cast<uint32_t>(((x * 37) & 0xFF) << 16 | ((y * 23) & 0xFF) << 8 | (0x40 + ((x + y) & 0x3F)));
}

// A 32-bit top-down DIB section with its memory DC.
struct Canvas {
    MemoryDc dc{CreateCompatibleDC(nullptr)};
    uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    Canvas(int w, int h) : width(w), height(h)
    {
        const BITMAPINFO info = test::TopDownInfo(w, h);
        void* bits = nullptr;
        dc.Own(Bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)));
        pixels = static_cast<uint32_t*>(bits);
    }
    uint32_t At(int x, int y) const { return pixels[y * width + x] & 0xFFFFFF; }
};

// Puts the pattern into the snapshot over the given screen rectangle.
void PaintPatternIntoSnapshot(const RECT& r)
{
    Canvas pattern(r.right - r.left, r.bottom - r.top);
    for (int y = 0; y < pattern.height; ++y)
        for (int x = 0; x < pattern.width; ++x) pattern.pixels[y * pattern.width + x] = Pattern(r.left + x, r.top + y);
    GdiFlush();
    BitBlt(g_snapshot.snapshot.get(), r.left, r.top, pattern.width, pattern.height, pattern.dc.get(), 0, 0, SRCCOPY);
}

// What a window shows, read from its own device context.
void ReadWindow(HWND window, Canvas& into)
{
    const ScreenDc dc(window);
    BitBlt(into.dc.get(), 0, 0, into.width, into.height, dc.get(), 0, 0, SRCCOPY);
    GdiFlush();
}

void ShowSpriteAt(int x, int y, int w, int h)
{
    g_flight.spriteWidth = w;
    g_flight.spriteHeight = h;
    MoveWindow(g_app.sprite, x, y, w, h, FALSE);
    InvalidateRect(g_app.sprite, nullptr, FALSE);
    UpdateWindow(g_app.sprite);
}

test::Dib FrameArt(unsigned id) { return test::ResourceDib(GetModuleHandleA(nullptr), id); }

TEST_F(FlightTest, SpriteShowsTheSnapshotWhereTheMaskIsSetAndTheFrameElsewhere)
{
    struct Case {
        const char* name;
        Bank bank;
        int frame;
        unsigned firstFrameId, firstMaskId;
        int width, height;
        int dpi;  // of the monitor: the art scaled to it
    };
    const Case cases[] = {
        {"flying right, frame 0", kRightBank, 0, IDB_RIGHT_FRAME0, IDB_RIGHT_MASK0, 90, 60, 96},
        {"flying right, frame 11", kRightBank, 11, IDB_RIGHT_FRAME0, IDB_RIGHT_MASK0, 90, 60, 96},
        {"flying left, frame 5", kLeftBank, 5, IDB_LEFT_FRAME0, IDB_LEFT_MASK0, 90, 60, 96},
        {"falling, frame 0", kFallBank, 0, IDB_FALL_FRAME0, IDB_FALL_MASK0, 100, 90, 96},
        {"falling, frame 18", kFallBank, 18, IDB_FALL_FRAME0, IDB_FALL_MASK0, 100, 90, 96},
        {"flying left at 144 dpi, frame 3", kLeftBank, 3, IDB_LEFT_FRAME0, IDB_LEFT_MASK0, 135, 90, 144},
        {"falling at 144 dpi, frame 7", kFallBank, 7, IDB_FALL_FRAME0, IDB_FALL_MASK0, 150, 135, 144},
        {"falling at 240 dpi, frame 2", kFallBank, 2, IDB_FALL_FRAME0, IDB_FALL_MASK0, 250, 225, 240},
    };
    g_flight.dpi = 240;  // the freeze makes room for the largest chicken
    FreezeForFlight();
    const RECT area = {200, 150, 450, 375};
    PaintPatternIntoSnapshot(area);
    g_flight.flying = 1;
    g_flight.step = 5;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::Dib colour = FrameArt(c.firstFrameId + c.frame);
        test::Dib mask = FrameArt(c.firstMaskId + c.frame);
        ASSERT_TRUE(colour.valid && mask.valid);
        ASSERT_EQ(MulDiv(colour.width, c.dpi, 96), c.width);
        ASSERT_EQ(1, ScaleFrameBanks(c.dpi));
        SelectFrame(*ShownBank(c.bank), c.frame);
        // What the surfaces hold: the art itself at 96 dpi, else its copy
        // at the monitor's size, frame and mask scaled alike.
        Canvas frameShown(c.width, c.height), maskShown(c.width, c.height);
        BitBlt(frameShown.dc.get(), 0, 0, c.width, c.height, g_art.frameSurface.get(), 0, 0, SRCCOPY);
        BitBlt(maskShown.dc.get(), 0, 0, c.width, c.height, g_art.maskSurface.get(), 0, 0, SRCCOPY);
        GdiFlush();
        int chickenArt = 0, chickenScaled = 0;
        for (int y = 0; y < mask.height; ++y)
            for (int x = 0; x < mask.width; ++x) chickenArt += mask.At(x, y) == 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) chickenScaled += maskShown.At(x, y) == 0;
        const double grown = static_cast<double>(chickenScaled) / chickenArt, wanted = (c.dpi / 96.0) * (c.dpi / 96.0);
        EXPECT_NEAR(wanted, grown, wanted * 0.05) << "the chicken grows by the square of the scale";
        ShowSpriteAt(area.left, area.top, c.width, c.height);
        Canvas shown(c.width, c.height);
        ReadWindow(g_app.sprite, shown);
        int snapshotPixels = 0, framePixels = 0, wrong = 0, yellow = 0;
        char first[160] = "";
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const bool scaled = c.dpi != 96;
                bool transparent = scaled ? maskShown.At(x, y) != 0 : mask.At(x, y) != 0;
                uint32_t want = transparent ? Pattern(area.left + x, area.top + y)
                                            : scaled ? frameShown.At(x, y) : colour.At(x, y);
                uint32_t got = shown.At(x, y);
                (transparent ? snapshotPixels : framePixels) += 1;
                if (transparent && (got == 0xFFFF00 || got == 0xFBFC15)) ++yellow;
                if (got != want && wrong++ == 0)
                    std::snprintf(first, sizeof first, "first at (%d, %d): %06X instead of %06X", x, y,
                                  static_cast<unsigned>(got), static_cast<unsigned>(want));
            }
        }
        EXPECT_GT(snapshotPixels, 100);
        EXPECT_GT(framePixels, 100);
        EXPECT_EQ(0, wrong) << first;
        EXPECT_EQ(0, yellow) << "the falling frames' surroundings never show";
    }
    g_flight.flying = 0;
    g_flight.dpi = 96;
    ScaleFrameBanks(96);
}

TEST_F(FlightTest, BeforeTheFirstLaunchThePaintShowsOnlyTheSnapshot)
{
    FreezeForFlight();  // a screen held before any launch has drawn a step
    const RECT area = {300, 200, 390, 260};
    PaintPatternIntoSnapshot(area);
    // A frame sits in the surfaces, but no launch has drawn a step yet.
    SelectFrame(g_art.banks[kRightBank], 3);
    ASSERT_EQ(0, g_flight.step);
    ShowSpriteAt(area.left, area.top, 90, 60);
    Canvas shown(90, 60);
    ReadWindow(g_app.sprite, shown);
    int wrong = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 90; ++x) wrong += shown.At(x, y) != Pattern(area.left + x, area.top + y);
    EXPECT_EQ(0, wrong);
    // The same paint with a step draws the chicken: the check above can tell.
    g_flight.step = 5;
    ShowSpriteAt(area.left, area.top, 90, 60);
    ReadWindow(g_app.sprite, shown);
    int changed = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 90; ++x) changed += shown.At(x, y) != Pattern(area.left + x, area.top + y);
    EXPECT_GT(changed, 100);
    g_flight.step = 0;
}

TEST_F(FlightTest, BackgroundPaintsTheSnapshotWhileTheScreenIsHeld)
{
    FreezeForFlight();
    ASSERT_TRUE(Covers(WindowRect(g_app.background)));
    const RECT area = {500, 400, 580, 450};
    PaintPatternIntoSnapshot(area);
    MoveWindow(g_app.sprite, -90, -60, 90, 60, FALSE);  // out of the way
    InvalidateRect(g_app.background, nullptr, FALSE);
    UpdateWindow(g_app.background);
    const int w = area.right - area.left, h = area.bottom - area.top;
    Canvas shown(w, h);
    {
        const ScreenDc dc(g_app.background);
        BitBlt(shown.dc.get(), 0, 0, w, h, dc.get(), area.left, area.top, SRCCOPY);
    }
    GdiFlush();
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) wrong += shown.At(x, y) != Pattern(area.left + x, area.top + y);
    EXPECT_EQ(0, wrong);
}

// ---------------------------------------------------------------------------
// GDI objects over many cycles.

// Runs a flight to its end: missed, or hit after a few ticks.
void FullFlight(bool hit)
{
    FireLaunchTimer();
    for (int n = 0; g_flight.flying && n < 400; ++n) {
        if (hit && n == 3) {
            g_flight.hit = 1;
            g_flight.fallCounter = kFallTicks;
        }
        FireAnimationTimer();
    }
}

// Objects gained over `cycles` freeze/release cycles and then `flights`
// flights; with `leak`, each cycle also keeps a bitmap of its own.
long GdiGrowth(int cycles, int flights, bool leak, std::vector<HBITMAP>& leaked)
{
    FullFlight(false);  // first-use allocations of the system out of the count
    const DWORD before = test::GdiObjects();
    {
        // The full-screen copies and window moves cost time, not objects.
        test::Spy<decltype(MoveWindow)> move("USER32.dll", "MoveWindow");
        move.answer = [](HWND, int, int, int, int, BOOL) { return TRUE; };
        g_skipFullScreenCopies = true;
        for (int i = 0; i < cycles; ++i) {
            FreezeForFlight();
            if (leak) leaked.push_back(CreateCompatibleBitmap(g_snapshot.display.get(), 8, 8));
            ReleaseScreen();
        }
        g_skipFullScreenCopies = false;
    }
    for (int i = 0; i < flights; ++i) FullFlight(i % 2 == 1);
    return static_cast<long>(test::GdiObjects()) - static_cast<long>(before);
}

// Fewer than one object per hundred cycles: what the system itself may
// keep or drop meanwhile.
bool WithinBudget(long growth) { return growth < 10; }

TEST_F(FlightTest, ThousandCyclesAndFlightsLeaveNoGdiObjectBehind)
{
    ASSERT_GT(test::GdiObjects(), 0u) << "no GDI object count on this system";
    g_settings.Speed = 1;
    std::vector<HBITMAP> none;
    const long growth = GdiGrowth(1000, 10, false, none);
    EXPECT_TRUE(WithinBudget(growth)) << growth << " objects more";
    std::printf("GDI objects after 1000 cycles and 10 flights: %+ld\n", growth);
}

TEST_F(FlightTest, LeakCheckCatchesOneBitmapPerCycle)
{
    g_settings.Speed = 1;
    std::vector<HBITMAP> leaked;
    const long growth = GdiGrowth(200, 0, true, leaked);
    for (HBITMAP b : leaked) DeleteObject(b);
    EXPECT_EQ(200u, leaked.size());
    EXPECT_GT(growth, 180) << "the system may drop a few cached objects meanwhile";
    std::printf("GDI objects after 200 leaking cycles: %+ld\n", growth);
    EXPECT_FALSE(WithinBudget(growth));
}

// A memory DC's own bitmap goes once, and never while the DC shows it:
// Windows refuses to delete a selected bitmap, which then leaks (Wine
// deletes it later, once it is out).
TEST(GdiOwners, AMemoryDcDeletesItsOwnBitmapOnlyOnceItIsOutOfTheDc)
{
    const struct {
        const char* what;
        void (*drop)(MemoryDc& dc);
    } cases[] = {
        {"another bitmap of its own", [](MemoryDc& dc) { dc.Own(Bitmap(CreateCompatibleBitmap(dc.get(), 4, 4))); }},
        {"one that could not be made", [](MemoryDc& dc) { EXPECT_FALSE(dc.Own(Bitmap())); }},
        {"the DC itself gone", [](MemoryDc& dc) { dc.Reset(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryDc dc(CreateCompatibleDC(nullptr));
        const HDC held = dc.get();
        const HBITMAP first = CreateCompatibleBitmap(held, 4, 4);
        ASSERT_TRUE(dc.Own(Bitmap(first)));
        int deletes = 0, whileShown = 0;
        test::Spy<decltype(DeleteObject)> deleteObject{"GDI32.dll", "DeleteObject"};
        deleteObject.note = [&](HGDIOBJ object) {
            if (object != first) return;
            deletes += 1;
            whileShown += GetCurrentObject(held, OBJ_BITMAP) == object;
        };
        c.drop(dc);
        EXPECT_EQ(1, deletes);
        EXPECT_EQ(0, whileShown);
    }
}

// ---------------------------------------------------------------------------
// Nothing allocated per tick or per paint: heap blocks through the C runtime
// and GDI objects through their creating calls, counted at the program's
// imports while a flight runs.

class AllocationCounter {
public:
    AllocationCounter()
    {
        malloc_.note = [this](size_t) { ++allocations; };
        calloc_.note = [this](size_t, size_t) { ++allocations; };
        realloc_.note = [this](void*, size_t) { ++allocations; };
        bitmap_.note = [this](HDC, int, int) { ++allocations; };
        dc_.note = [this](HDC) { ++allocations; };
        region_.note = [this](int, int, int, int) { ++allocations; };
    }
    bool Installed() const
    {
        return malloc_.Installed() && calloc_.Installed() && realloc_.Installed() && bitmap_.Installed() &&
               dc_.Installed() && region_.Installed();
    }
    int allocations = 0;

private:
    test::Spy<void*(size_t)> malloc_{"msvcrt.dll", "malloc"};
    test::Spy<void*(size_t, size_t)> calloc_{"msvcrt.dll", "calloc"};
    test::Spy<void*(void*, size_t)> realloc_{"msvcrt.dll", "realloc"};
    test::Spy<decltype(CreateCompatibleBitmap)> bitmap_{"GDI32.dll", "CreateCompatibleBitmap"};
    test::Spy<decltype(CreateCompatibleDC)> dc_{"GDI32.dll", "CreateCompatibleDC"};
    test::Spy<decltype(CreateRectRgn)> region_{"GDI32.dll", "CreateRectRgn"};
};

TEST(TickCost, FlyingFallingAndPaintingAllocateNothing)
{
    test::Program program;
    ASSERT_TRUE(program.Loaded());
    g_settings.UseSound = 0;
    g_settings.Speed = 1;
    FreezeForFlight();  // as start-up does: the first flight starts from the screen's edge
    ReleaseScreen();
    for (bool hit : {false, true}) {
        FireLaunchTimer();  // the launch's freeze makes the flight's objects
        ASSERT_TRUE(g_flight.flying);
        int ticks = 0, allocations = 0;
        {
            AllocationCounter counter;
            ASSERT_TRUE(counter.Installed());
            for (; g_flight.flying && ticks < 400; ++ticks) {
                if (hit && ticks == 3) {
                    g_flight.hit = 1;
                    g_flight.fallCounter = kFallTicks;
                }
                FireAnimationTimer();
                RedrawWindow(g_app.background, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            }
            allocations = counter.allocations;
        }
        EXPECT_FALSE(g_flight.flying);
        EXPECT_GT(ticks, hit ? 20 : 100);
        EXPECT_EQ(0, allocations) << (hit ? "falling" : "flying") << " flight of " << ticks << " ticks";
        KillTimer(g_app.background, kLaunchTimer);
    }
}

// ---------------------------------------------------------------------------
// Loading the frames.

TEST(MissingFrame, AnyMissingBitmapFailsTheLoadAndLeavesNothing)
{
    test::CleanRegistry registry;
    test::ResetAllModules();
    g_app.instance = GetModuleHandleA(nullptr);
    test::MissingBitmap load;
    ASSERT_TRUE(load.Installed());
    const unsigned missing[] = {IDB_RIGHT_FRAME0, IDB_RIGHT_MASK0 + 7, IDB_LEFT_FRAME0 + 18, IDB_LEFT_MASK0 + 18,
                                IDB_FALL_FRAME0 + 9, IDB_FALL_MASK0 + 18};
    for (unsigned id : missing) {
        SCOPED_TRACE(testing::Message() << "without bitmap " << id);
        load.missing = id;
        const DWORD before = test::GdiObjects();
        EXPECT_EQ(0, LoadFrameBanks());
        EXPECT_EQ(nullptr, g_art.frameSurface.get());
        EXPECT_EQ(nullptr, g_art.maskSurface.get());
        FreeFrameBanks();
        EXPECT_EQ(before, test::GdiObjects()) << "every bitmap that did load is freed";
    }
    load.missing = 0;
    EXPECT_EQ(1, LoadFrameBanks()) << "with all 114 it loads";
    FreeFrameBanks();
    test::ResetAllModules();
}

}  // namespace
