// The world of the two-monitor runs (runtime/two_monitors.sh): what Wine
// reports there, printed, and checked against the layout the script asks of
// its X server; then the real program on it: both monitors frozen, the
// chicken on the one under the pointer, a shot there.
#include "support.h"

#include "app/app.h"
#include "res/resource.h"

#include <cstdio>
#include <vector>

// Found by the checks' argument lookup: RECT is of the global namespace.
static bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
static std::ostream& operator<<(std::ostream& out, const RECT& r)
{
    return out << r.left << "," << r.top << "-" << r.right << "," << r.bottom;
}

namespace {

struct Monitor {
    RECT area;
    bool primary;
};

// The layout of two_monitors.sh: the primary, and a smaller one at its right.
const Monitor kMonitors[] = {{{0, 0, 1024, 768}, true}, {{1024, 0, 1824, 600}, false}};
const RECT kVirtualScreen = {0, 0, 1824, 768};
// A point and a window well inside the second monitor.
const POINT kOnSecond = {1400, 300};
const test::VictimWindow kVictimOnSecond = {"east", 1200, 100, 200, 100, 0x3366CC, "-"};

BOOL CALLBACK KeepMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list)
{
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info))
        reinterpret_cast<std::vector<Monitor>*>(list)->push_back(
            {info.rcMonitor, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    return TRUE;
}

// The top-level windows, for the log: where Wine puts its tray.
BOOL CALLBACK PrintWindow(HWND window, LPARAM)
{
    char name[64] = {}, title[64] = {};
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, title, sizeof title);
    RECT r;
    GetWindowRect(window, &r);
    std::printf("window class \"%s\" title \"%s\" at %ld,%ld-%ld,%ld%s\n", name, title, r.left, r.top, r.right,
                r.bottom, IsWindowVisible(window) ? " visible" : "");
    return TRUE;
}

TEST(TwoMonitors, WineReportsBothMonitorsAndTheVirtualScreenOverThem)
{
    std::vector<Monitor> seen;
    EnumDisplayMonitors(nullptr, nullptr, KeepMonitor, reinterpret_cast<LPARAM>(&seen));
    for (const Monitor& m : seen)
        std::printf("monitor %ld,%ld-%ld,%ld%s\n", m.area.left, m.area.top, m.area.right, m.area.bottom,
                    m.primary ? " primary" : "");
    const RECT virtualScreen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                                GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    std::printf("virtual screen %d,%d size %d x %d; SM_CMONITORS %d\n", GetSystemMetrics(SM_XVIRTUALSCREEN),
                GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN),
                GetSystemMetrics(SM_CYVIRTUALSCREEN), GetSystemMetrics(SM_CMONITORS));

    ASSERT_EQ(seen.size(), sizeof kMonitors / sizeof kMonitors[0]);
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].area, kMonitors[i].area) << "monitor " << i;
        EXPECT_EQ(seen[i].primary, kMonitors[i].primary) << "monitor " << i;
    }
    EXPECT_EQ(virtualScreen, kVirtualScreen);
}

TEST(TwoMonitors, ThePointerAndAnotherProgramsWindowReachTheSecondMonitor)
{
    // Its answer is false under Wine even when xdotool ran (Wine gives no
    // handle to a Unix program): the pointer itself tells.
    test::MoveXPointer(kOnSecond.x, kOnSecond.y);
    POINT at = {};
    EXPECT_TRUE(test::WaitFor([&] { return GetCursorPos(&at) && at.x == kOnSecond.x && at.y == kOnSecond.y; }, 5000))
        << "the pointer is at " << at.x << "," << at.y;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromPoint(kOnSecond, MONITOR_DEFAULTTOPRIMARY), &info));
    EXPECT_EQ(info.rcMonitor, kMonitors[1].area);

    test::Victims victims({kVictimOnSecond});
    ASSERT_TRUE(victims.Ready());
    RECT r = {};
    GetWindowRect(victims[kVictimOnSecond.name], &r);
    std::printf("victim window at %ld,%ld-%ld,%ld\n", r.left, r.top, r.right, r.bottom);
    const RECT wanted = {kVictimOnSecond.x, kVictimOnSecond.y, kVictimOnSecond.x + kVictimOnSecond.width,
                         kVictimOnSecond.y + kVictimOnSecond.height};
    EXPECT_EQ(r, wanted);
    // What the program's snapshot reads there: the screen through GDI.
    const COLORREF colour = RGB(0x33, 0x66, 0xCC);
    EXPECT_TRUE(test::Awaited("the victim's colour on the second monitor", [&] {
        return test::ScreenPixel(wanted.left + 50, wanted.top + 50) == colour &&
               test::ScreenPixel(wanted.right - 1, wanted.bottom - 1) == colour;
    }, 5000));
}

// Without a virtual desktop there is no taskbar: the first icon opens a
// window of Wine's own for the notification area.
TEST(TwoMonitors, TheTrayIconGoesIntoWinesOwnTrayWindow)
{
    test::WindowGuard owner(test::LocalWindow("tray owner", 0, 0, 10, 10, WS_POPUP));
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = owner.window;
    icon.uID = 1;
    icon.uFlags = NIF_ICON;
    icon.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &icon));
    HWND tray = nullptr;
    EXPECT_TRUE(test::Awaited("Wine's tray window", [&] {
        tray = FindWindowA(nullptr, "Wine System Tray");
        return tray && IsWindowVisible(tray);
    }, 5000));
    EnumWindows(PrintWindow, 0);
    RECT r = {};
    GetWindowRect(tray, &r);
    EXPECT_EQ(MonitorFromRect(&r, MONITOR_DEFAULTTONULL), MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTONULL))
        << "the tray window at " << r;
    Shell_NotifyIconA(NIM_DELETE, &icon);
}

using test::WindowRect;

// The program with the pointer on the second monitor at its first launch:
// the cover spans both monitors, the chicken crosses the second one in the
// row the sequence gives for its 600 pixels, a miss there holes the window
// under it, and the first monitor stays frozen under the cover.
TEST(TwoMonitors, TheProgramFreezesBothAndTheChickenFliesOnThePointersMonitor)
{
    test::CleanRegistry registry;
    test::WriteValue(kSpeed, 1);  // the first chicken at once
    test::WriteValue(kUseSound, 0);
    const COLORREF west = RGB(0x20, 0xA0, 0x40), east = RGB(0x33, 0x66, 0xCC);
    test::Victims victims({{"west", 200, 300, 300, 200, 0x20A040, "-"}, {"east", 1300, 300, 300, 200, 0x3366CC, "-"}});
    ASSERT_TRUE(victims.Ready());
    test::MoveXPointer(kOnSecond.x, kOnSecond.y);
    ASSERT_TRUE(test::Awaited("the pointer on the second monitor", [] {
        POINT at;
        return GetCursorPos(&at) && at.x == kOnSecond.x && at.y == kOnSecond.y;
    }, 5000));

    test::Process program(test::RuntimeExePath());
    HWND background, sprite;
    ASSERT_TRUE(test::WaitForWindows(program, &background, &sprite));
    ASSERT_TRUE(test::Awaited("the cover over both monitors", [&] { return WindowRect(background) == kVirtualScreen; },
                              20000));
    // The first flight's row: 18467 % (600 - 90) + 20; left to right, from
    // the second monitor's left edge.
    ASSERT_TRUE(test::Awaited("the chicken on the second monitor", [&] {
        RECT s = WindowRect(sprite);
        return s.right - s.left == 90 && s.left > 1024 + 20;
    }, 20000));
    const RECT seen = WindowRect(sprite);
    EXPECT_EQ(127, seen.top);
    EXPECT_LE(seen.right, kMonitors[1].area.right + 90);

    // The first monitor is frozen: its window moves away unseen.
    const POINT onWest = {350, 400};
    ASSERT_EQ(west, test::ScreenPixel(onWest.x, onWest.y));
    SetWindowPos(victims["west"], nullptr, 600, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT moved = WindowRect(victims["west"]);
    EXPECT_EQ(600, moved.left) << "the window itself has moved";
    EXPECT_EQ(west, test::ScreenPixel(onWest.x, onWest.y)) << "the frozen picture still shows it where it was";

    // A miss on the second monitor's window, clear of the chicken's row.
    const POINT shot = {1450, 420};
    ASSERT_EQ(east, test::ScreenPixel(shot.x, shot.y));
    ASSERT_TRUE(test::Click(shot.x, shot.y)) << test::KeepScreen();
    ASSERT_TRUE(test::Awaited("a hole in the window on the second monitor",
                              [&] { return test::RegionType(victims["east"]) != ERROR; }, 5000));
    const Region region = test::CopyRegion(victims["east"]);
    ASSERT_TRUE(region);
    EXPECT_FALSE(PtInRegion(region.get(), shot.x - 1300, shot.y - 300)) << "the hole under the shot";
    EXPECT_TRUE(PtInRegion(region.get(), 10, 10));
    EXPECT_EQ(ERROR, test::RegionType(victims["west"])) << "nothing shot on the first monitor";

    EXPECT_EQ(0u, test::QuitThroughTheMenu(program, background));
    EXPECT_EQ(ERROR, test::RegionType(victims["east"])) << "repaired at the quit";
    DWORD shots = 0;
    EXPECT_TRUE(test::ReadValue(kCountMissedShots, &shots));
    EXPECT_EQ(1u, shots);
}

}  // namespace
