// The tray menu, the menu commands and the flight keys, driven through the
// background window's procedure in this process. Platform calls that would
// block or leave the process (the menu, the dialog, the tray) are observed
// through import hooks; everything else is real: windows, timers, regions,
// registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "flight/flight.h"
#include "flight/snapshot.h"
#include "res/localize.h"
#include "res/resource.h"
#include "shooting/holes.h"
#include "store/store.h"
#include "support.h"
#include "ui/commands.h"
#include "ui/keys.h"
#include "ui/options.h"
#include "ui/tray.h"

namespace {

// ---------------------------------------------------------------------------
// What the fakes saw. One record and one log, cleared by every fixture.

struct MenuItem {
    UINT id;
    std::string text;
};

struct Seen {
    // TrackPopupMenu
    int menus = 0;
    std::vector<MenuItem> items;
    int defaultItem = -2;
    bool defaultBold = false;
    UINT flags = 0xFFFFFFFF;
    int x = 0, y = 0;
    HWND owner = nullptr;
    bool busyInMenu = false;
    bool launchedInMenu = false;
    HMENU popup = nullptr;
    UINT commandToChoose = 0;  // posted as the real menu would
    // DialogBoxParamA
    bool busyInDialog = false;
    bool flyingInDialog = true;
    std::vector<UINT> launchDelays;  // SetTimer of the LaunchTimer
    std::vector<UINT_PTR> killedTimers;
    std::vector<HICON> trayIcons;  // NIM_MODIFY with NIF_ICON
    std::vector<UINT> defaultHandled;
    DWORD versionSize = 0;
    DWORD platform = VER_PLATFORM_WIN32_NT;
    bool noIcons = false;
    bool cursorFails = false;
};
Seen g_seen;
// Calls in order: "foreground", "track", "null", "destroy", "dialog",
// "end-flight" (the animation timer stopped), "launch-timer"
test::StepLog g_log;

std::string MenuText(HMENU menu, int position)
{
    char text[100] = "";
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

BOOL ShowMenu(HMENU popup, UINT flags, int x, int y, HWND owner)
{
    g_log.Add("track");
    ++g_seen.menus;
    g_seen.popup = popup;
    g_seen.flags = flags;
    g_seen.x = x;
    g_seen.y = y;
    g_seen.owner = owner;
    g_seen.items.clear();
    for (int i = 0; i < GetMenuItemCount(popup); ++i)
        g_seen.items.push_back(MenuItem{GetMenuItemID(popup, i), MenuText(popup, i)});
    g_seen.defaultItem = static_cast<int>(GetMenuDefaultItem(popup, TRUE, 0));
    g_seen.defaultBold = (GetMenuState(popup, 0, MF_BYPOSITION) & MF_DEFAULT) != 0;
    g_seen.busyInMenu = g_ui.BusyFlag;
    // The launch timer keeps firing while the menu is up: no chicken may come.
    SendMessageA(g_app.background, WM_TIMER, kLaunchTimer, 0);
    g_seen.launchedInMenu = g_flight.flying != 0;
    if (g_seen.commandToChoose) PostMessageA(owner, WM_COMMAND, g_seen.commandToChoose, 0);
    return TRUE;
}

// The background window's timers, armed for real.
void NoteTimer(const test::TimerCall& call)
{
    if (!call.window || call.window != g_app.background) return;
    if (call.set && call.id == kLaunchTimer) {
        g_log.Add("launch-timer");
        g_seen.launchDelays.push_back(call.interval);
    }
    if (!call.set) {
        g_seen.killedTimers.push_back(call.id);
        if (call.id == kAnimationTimer) g_log.Add("end-flight");
    }
}

// Handles what is queued; a quit message is only noted.
bool PumpNotingQuit(WPARAM* code)
{
    bool quit = false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            *code = msg.wParam;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return quit;
}

bool TakeQuit(WPARAM* code)
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
    *code = msg.wParam;
    return true;
}

// A quit message was posted, with exit code 0, exactly when `expected`.
void ExpectQuit(bool expected)
{
    WPARAM code = 99;
    bool quit = TakeQuit(&code);
    EXPECT_EQ(quit, expected);
    if (quit) {
        EXPECT_EQ(code, 0u);
    }
}

LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam = 0)
{
    return SendMessageA(g_app.background, message, wParam, lParam);
}

// Fires the launch timer as the system would: a chicken comes unless
// something holds it back.
void FireLaunchTimer()
{
    Send(WM_TIMER, kLaunchTimer);
}

const LCID kEnglish = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

// The program set up in this process, silent (no launch sound, which would
// block for more than a second) and with the delays of a first run, every
// platform call that blocks or reaches the shell replaced by a recording
// fake.
class Commands : public ::testing::Test {
protected:
    explicit Commands(LCID lcid = kEnglish)
    {
        g_seen = Seen{};
        g_log.Clear();
        track_.answer = [](HMENU popup, UINT flags, int x, int y, int, HWND owner, const RECT*) {
            return ShowMenu(popup, flags, x, y, owner);
        };
        dialog_.then = [] {
            g_log.Add("dialog");
            g_seen.busyInDialog = g_ui.BusyFlag;
            g_seen.flyingInDialog = g_flight.flying != 0;
        };
        timers_.then = NoteTimer;
        post_.note = [](HWND window, UINT message, WPARAM, LPARAM) {
            if (message == WM_NULL && window && window == g_app.background) g_log.Add("null");
        };
        foreground_.note = [](HWND window) {
            if (window && window == g_app.background) g_log.Add(g_ui.BusyFlag ? "foreground(busy)" : "foreground");
        };
        destroyMenu_.note = [](HMENU) { g_log.Add(g_ui.BusyFlag ? "destroy(busy)" : "destroy"); };
        defWindow_.note = [](HWND, UINT message, WPARAM, LPARAM) {
            if (message == TaskIconMessage()) g_seen.defaultHandled.push_back(message);
        };
        version_.answer = [this](LPOSVERSIONINFOA info) {
            g_seen.versionSize = info->dwOSVersionInfoSize;
            BOOL ok = version_.Real(info);
            info->dwPlatformId = g_seen.platform;
            return ok;
        };
        loadIcon_.answer = [this](HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags) {
            return g_seen.noIcons ? nullptr : loadIcon_.Real(instance, name, type, width, height, flags);
        };
        cursor_.answer = [](POINT* at) {
            if (g_seen.cursorFails) {
                *at = POINT{-30000, 30000};  // undefined after a failure: anything
                SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
            *at = POINT{612, 745};
            return TRUE;
        };
        shell_.then = [](const test::TrayCall& call) {
            if (call.message == NIM_MODIFY && (call.data.uFlags & NIF_ICON)) g_seen.trayIcons.push_back(call.data.hIcon);
        };
        program_.reset(new test::Program({{kUseSound, 0}}, lcid));
    }
    ~Commands() override
    {
        program_.reset();
        // Nothing queued may leak into the next test.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
    }

    void SetUp() override
    {
        ASSERT_TRUE(program_->Loaded());
        ASSERT_NE(TaskIconMessage(), 0u);
        ASSERT_TRUE(track_.Installed() && dialog_.Installed() && post_.Installed() && foreground_.Installed() &&
                    destroyMenu_.Installed() && defWindow_.Installed() && version_.Installed() &&
                    loadIcon_.Installed() && cursor_.Installed());
        ASSERT_TRUE(timers_.Installed());
        ASSERT_TRUE(shell_.Installed());
    }

    test::Spy<decltype(TrackPopupMenu)> track_{"USER32.dll", "TrackPopupMenu"};
    test::FakeDialog dialog_{test::FakeDialog::kCancel};
    test::FakeTimers timers_{true};
    test::Spy<decltype(PostMessageA)> post_{"USER32.dll", "PostMessageA"};
    test::Spy<decltype(SetForegroundWindow)> foreground_{"USER32.dll", "SetForegroundWindow"};
    test::Spy<decltype(DestroyMenu)> destroyMenu_{"USER32.dll", "DestroyMenu"};
    test::Spy<decltype(DefWindowProcA)> defWindow_{"USER32.dll", "DefWindowProcA"};
    test::Spy<decltype(GetVersionExA)> version_{"KERNEL32.dll", "GetVersionExA"};
    test::Spy<decltype(LoadImageA)> loadIcon_{"USER32.dll", "LoadImageA"};
    test::Spy<decltype(GetCursorPos)> cursor_{"USER32.dll", "GetCursorPos"};
    test::FakeTray shell_;
    std::unique_ptr<test::Program> program_;
};

class GermanCommands : public Commands {
protected:
    GermanCommands() : Commands(MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT)) {}
};

void RightClickIcon()
{
    Send(TaskIconMessage(), kTrayIconId, WM_RBUTTONDOWN);
}

// ---------------------------------------------------------------------------
// The tray menu

struct MenuCase {
    bool nt;
    bool enabled;
    std::vector<MenuItem> items;
};

const std::vector<MenuItem> kEnglishNt = {{CMD_INFO, "&Info..."},           {0, ""},
                                          {CMD_TOGGLE_ENABLED, "&Disable"}, {CMD_RESET_WINDOWS, "Reset &Windows"},
                                          {CMD_RESET_STATISTICS, "Reset &Statistics"}, {0, ""},
                                          {CMD_QUIT, "&Quit"}};

void ExpectItems(const std::vector<MenuItem>& expected)
{
    ASSERT_EQ(g_seen.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(g_seen.items[i].id, expected[i].id) << "position " << i;
        EXPECT_EQ(g_seen.items[i].text, expected[i].text) << "position " << i;
    }
}

void CheckMenuCase(const MenuCase& c)
{
    SCOPED_TRACE(std::string(c.nt ? "NT" : "95") + (c.enabled ? ", enabled" : ", disabled"));
    g_seen.platform = c.nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
    if (!c.enabled) Send(WM_COMMAND, CMD_TOGGLE_ENABLED);
    ASSERT_EQ(g_ui.EnabledFlag, c.enabled);
    g_log.Clear();
    RightClickIcon();
    ASSERT_EQ(g_seen.menus, 1);
    ExpectItems(c.items);
    EXPECT_EQ(g_seen.versionSize, 148u);
    EXPECT_EQ(g_seen.defaultItem, 0) << "Info is the default item";
    EXPECT_TRUE(g_seen.defaultBold);
    EXPECT_EQ(g_seen.flags, static_cast<UINT>(TPM_BOTTOMALIGN)) << "opens upwards, left button only";
    EXPECT_EQ(g_seen.x, 612);
    EXPECT_EQ(g_seen.y, 745);
    EXPECT_EQ(g_seen.owner, g_app.background);
    EXPECT_TRUE(g_seen.busyInMenu);
    EXPECT_FALSE(g_seen.launchedInMenu) << "a chicken came while the menu was open";
    EXPECT_FALSE(g_ui.BusyFlag);
    EXPECT_FALSE(IsMenu(g_seen.popup)) << "the menu outlives its showing";
    // The platform's practice: foreground before, a posted WM_NULL after.
    const std::vector<std::string> order = {"foreground(busy)", "track", "null", "destroy"};
    EXPECT_EQ(g_log.Whats(), order);
}

TEST_F(Commands, MenuShowsTheItemsOfThePlatformAndTheToggleText)
{
    const MenuCase cases[] = {
        {true, true, kEnglishNt},
        {false, true,
         {{CMD_INFO, "&Info..."}, {0, ""}, {CMD_TOGGLE_ENABLED, "&Disable"},
          {CMD_RESET_STATISTICS, "Reset &Statistics"}, {0, ""}, {CMD_QUIT, "&Quit"}}},
        {true, false,
         {{CMD_INFO, "&Info..."}, {0, ""}, {CMD_TOGGLE_ENABLED, "&Enable"}, {CMD_RESET_WINDOWS, "Reset &Windows"},
          {CMD_RESET_STATISTICS, "Reset &Statistics"}, {0, ""}, {CMD_QUIT, "&Quit"}}},
        {false, false,
         {{CMD_INFO, "&Info..."}, {0, ""}, {CMD_TOGGLE_ENABLED, "&Enable"},
          {CMD_RESET_STATISTICS, "Reset &Statistics"}, {0, ""}, {CMD_QUIT, "&Quit"}}},
    };
    for (const MenuCase& c : cases) {
        g_seen.menus = 0;
        if (!g_ui.EnabledFlag) Send(WM_COMMAND, CMD_TOGGLE_ENABLED);
        CheckMenuCase(c);
    }
    // The menu never held the launch back for good.
    if (!g_ui.EnabledFlag) Send(WM_COMMAND, CMD_TOGGLE_ENABLED);
    FireLaunchTimer();
    EXPECT_TRUE(g_flight.flying) << "the launch path itself is blocked";
    EndFlight();
}

TEST_F(GermanCommands, MenuIsGerman)
{
    ASSERT_EQ(g_language.ResourceOffset, 20000u);
    const MenuCase cases[] = {
        {true, true,
         {{CMD_INFO, "&Info..."}, {0, ""}, {CMD_TOGGLE_ENABLED, "&Ausschalten"},
          {CMD_RESET_WINDOWS, "&Fenster r\xFC" "cksetzen"}, {CMD_RESET_STATISTICS, "&Statistik r\xFC" "cksetzen"},
          {0, ""}, {CMD_QUIT, "&Beenden"}}},
        {true, false,
         {{CMD_INFO, "&Info..."}, {0, ""}, {CMD_TOGGLE_ENABLED, "&Einschalten"},
          {CMD_RESET_WINDOWS, "&Fenster r\xFC" "cksetzen"}, {CMD_RESET_STATISTICS, "&Statistik r\xFC" "cksetzen"},
          {0, ""}, {CMD_QUIT, "&Beenden"}}},
        {false, true,
         {{CMD_INFO, "&Info..."}, {0, ""}, {CMD_TOGGLE_ENABLED, "&Ausschalten"},
          {CMD_RESET_STATISTICS, "&Statistik r\xFC" "cksetzen"}, {0, ""}, {CMD_QUIT, "&Beenden"}}},
    };
    for (const MenuCase& c : cases) {
        g_seen.menus = 0;
        if (!g_ui.EnabledFlag) Send(WM_COMMAND, CMD_TOGGLE_ENABLED);
        CheckMenuCase(c);
    }
}

TEST_F(Commands, MenuOpensAtThePointerOrElseInTheTraysCorner)
{
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    const struct {
        const char* what;
        bool cursorFails;
        int x, y;
    } cases[] = {
        {"pointer read", false, 612, 745},
        {"pointer not read: the bottom right of the screen", true, 1023, 767},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_seen.menus = 0;
        g_seen.cursorFails = c.cursorFails;
        RightClickIcon();
        ASSERT_EQ(g_seen.menus, 1);
        EXPECT_EQ(g_seen.x, c.x);
        EXPECT_EQ(g_seen.y, c.y);
        EXPECT_EQ(g_seen.flags, static_cast<UINT>(TPM_BOTTOMALIGN)) << "opening upwards from there";
    }
}

TEST_F(Commands, ChoiceArrivesAfterTheMenuAndOpensTheDialog)
{
    g_seen.commandToChoose = CMD_INFO;
    RightClickIcon();
    ASSERT_EQ(g_seen.menus, 1);
    EXPECT_EQ(dialog_.opened, 0) << "the choice must be queued, not handled inside the menu";
    WPARAM code = 99;
    EXPECT_FALSE(PumpNotingQuit(&code));
    EXPECT_EQ(dialog_.opened, 1) << "Info chosen from the menu found the program still busy";
    EXPECT_TRUE(g_seen.busyInDialog);
    EXPECT_FALSE(g_ui.BusyFlag);
}

// ---------------------------------------------------------------------------
// Tray callbacks

struct CallbackCase {
    const char* what;
    WPARAM icon;
    LPARAM mouse;
    bool busy;
    int menus;
    int dialogs;  // after the queue was handled
};

TEST_F(Commands, TrayCallbacksOpenMenuOrDialogOnlyWhenIdle)
{
    const CallbackCase cases[] = {
        {"right press", kTrayIconId, WM_RBUTTONDOWN, false, 1, 0},
        {"double-click", kTrayIconId, WM_LBUTTONDBLCLK, false, 0, 1},
        {"right press while busy", kTrayIconId, WM_RBUTTONDOWN, true, 0, 0},
        {"double-click while busy", kTrayIconId, WM_LBUTTONDBLCLK, true, 0, 0},
        {"right press, other icon", kTrayIconId + 1, WM_RBUTTONDOWN, false, 0, 0},
        {"double-click, other icon", 0, WM_LBUTTONDBLCLK, false, 0, 0},
        {"right release", kTrayIconId, WM_RBUTTONUP, false, 0, 0},
        {"left press", kTrayIconId, WM_LBUTTONDOWN, false, 0, 0},
        {"left release", kTrayIconId, WM_LBUTTONUP, false, 0, 0},
        {"right double-click", kTrayIconId, WM_RBUTTONDBLCLK, false, 0, 0},
        {"move", kTrayIconId, WM_MOUSEMOVE, false, 0, 0},
        {"context menu", kTrayIconId, WM_CONTEXTMENU, false, 0, 0},
    };
    for (const CallbackCase& c : cases) {
        SCOPED_TRACE(c.what);
        g_seen.menus = 0;
        dialog_.opened = 0;
        g_seen.defaultHandled.clear();
        g_ui.BusyFlag = c.busy;
        Send(TaskIconMessage(), c.icon, c.mouse);
        EXPECT_EQ(g_seen.menus, c.menus);
        EXPECT_EQ(dialog_.opened, 0) << "the dialog must be posted for later, not opened inside the callback";
        EXPECT_EQ(g_seen.defaultHandled.size(), 1u) << "the callback goes on to the default handling";
        MSG msg;
        bool posted = PeekMessageA(&msg, g_app.background, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) != 0;
        EXPECT_EQ(posted, c.dialogs == 1);
        if (posted) {
            EXPECT_EQ(msg.wParam, static_cast<WPARAM>(CMD_INFO));
            EXPECT_EQ(msg.lParam, 0);
        }
        g_ui.BusyFlag = false;
        WPARAM code = 99;
        EXPECT_FALSE(PumpNotingQuit(&code));
        EXPECT_EQ(dialog_.opened, c.dialogs);
        EXPECT_FALSE(g_ui.BusyFlag);
    }
}

// ---------------------------------------------------------------------------
// The real popup menu of the platform: it must close when dismissed, open
// again at the next click, and deliver a keyboard choice.

struct RealMenuRun {
    bool shown = false;
    bool chooseQuit = false;
};
RealMenuRun g_realMenu;

void CALLBACK ActInMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    HWND menu = FindWindowA("#32768", nullptr);
    g_realMenu.shown = menu && IsWindowVisible(menu);
    if (g_realMenu.chooseQuit && menu)
        PostMessageA(menu, WM_CHAR, 'q', 0);  // the mnemonic of "&Quit"
    else
        EndMenu();
}

// A menu that never closes would hang the test run.
void CALLBACK LastResort(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    EndMenu();
}

class RealMenu : public ::testing::Test {
protected:
    test::Program program_{{{kUseSound, 0}}};
};

TEST_F(RealMenu, ClosesOpensAgainAndDeliversAKeyboardChoice)
{
    ASSERT_TRUE(program_.Loaded());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        g_realMenu = RealMenuRun{};
        g_realMenu.chooseQuit = round == 2;
        UINT_PTR act = SetTimer(nullptr, 0, 100, ActInMenu);
        UINT_PTR resort = SetTimer(nullptr, 0, 4000, LastResort);
        DWORD start = GetTickCount();
        RightClickIcon();
        KillTimer(nullptr, act);
        KillTimer(nullptr, resort);
        EXPECT_TRUE(g_realMenu.shown) << "no popup menu window while the menu was tracked";
        EXPECT_LT(GetTickCount() - start, 3500u) << "the menu did not close when dismissed";
        EXPECT_FALSE(g_ui.BusyFlag);
        WPARAM code = 99;
        bool quit = PumpNotingQuit(&code);
        EXPECT_EQ(quit, g_realMenu.chooseQuit);
        if (quit) {
            EXPECT_EQ(code, 0u);
        }
    }
}

// ---------------------------------------------------------------------------
// Commands

struct CommandCase {
    const char* what;
    WPARAM command;
    bool quits;
    bool opensDialog;
    bool resetsStatistics;
    bool toggles;
    bool repairs;
};

HWND CreateVictim() { return test::LocalWindow("victim", 100, 100, 300, 200, WS_POPUP | WS_VISIBLE | WS_BORDER); }

bool HasRegion(HWND window) { return test::RegionType(window) != ERROR; }

using test::WindowGuard;

TEST_F(Commands, EachCommandDoesItsOwnThingAndNothingElse)
{
    const CommandCase cases[] = {
        {"Quit", CMD_QUIT, true, false, false, false, false},
        {"Info", CMD_INFO, false, true, false, false, false},
        {"Reset Windows", CMD_RESET_WINDOWS, false, false, false, false, true},
        {"Reset Statistics", CMD_RESET_STATISTICS, false, false, true, false, false},
        {"Toggle", CMD_TOGGLE_ENABLED, false, false, false, true, false},
        {"zero", 0, false, false, false, false, false},
        {"IDOK", IDOK, false, false, false, false, false},
        {"the disabled icon's id", IDI_DISABLED, false, false, false, false, false},
        {"Enable string id", IDS_ENABLE, false, false, false, false, false},
        {"between Info and Quit", 32774, false, false, false, false, false},
        {"after Reset Windows", 32778, false, false, false, false, false},
        {"Quit with a notification code", MAKEWPARAM(CMD_QUIT, 1), false, false, false, false, false},
        {"Info with a notification code", MAKEWPARAM(CMD_INFO, 1), false, false, false, false, false},
        {"Reset Statistics, accelerator", MAKEWPARAM(CMD_RESET_STATISTICS, 1), false, false, false, false, false},
        {"Reset Windows, control code", MAKEWPARAM(CMD_RESET_WINDOWS, EN_CHANGE), false, false, false, false, false},
        {"Toggle with a notification code", MAKEWPARAM(CMD_TOGGLE_ENABLED, 1), false, false, false, false, false},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.what);
        WindowGuard victim{CreateVictim()};
        ASSERT_NE(victim.window, nullptr);
        ASSERT_TRUE(ShootHole(200, 200));
        ASSERT_TRUE(HasRegion(victim.window));
        g_statistics = Statistics{5, 6, 7, 800};
        test::WriteValue(kCountHits, 5);
        dialog_.opened = 0;
        g_seen.trayIcons.clear();
        const bool enabledBefore = g_ui.EnabledFlag;

        EXPECT_EQ(Send(WM_COMMAND, c.command), 0);
        ExpectQuit(c.quits);
        EXPECT_EQ(dialog_.opened, c.opensDialog ? 1 : 0);
        EXPECT_EQ(g_statistics.CountHits, c.resetsStatistics ? 0u : 5u);
        EXPECT_EQ(g_statistics.TimeSum, c.resetsStatistics ? 0u : 800u);
        DWORD stored = 99;
        EXPECT_TRUE(test::ReadValue(kCountHits, &stored));
        EXPECT_EQ(stored, c.resetsStatistics ? 0u : 5u);
        EXPECT_EQ(g_ui.EnabledFlag != enabledBefore, c.toggles);
        EXPECT_EQ(g_seen.trayIcons.size(), c.toggles ? 1u : 0u);
        EXPECT_EQ(HasRegion(victim.window), !c.repairs);
        EXPECT_EQ(g_holes.holedCount == 0, c.repairs);
        RepairWindows();
        if (!g_ui.EnabledFlag) ToggleEnabled();
    }
}

TEST_F(Commands, ResetWindowsRepairsOnEveryPlatform)
{
    for (DWORD platform : {DWORD(VER_PLATFORM_WIN32_NT), DWORD(VER_PLATFORM_WIN32_WINDOWS)}) {
        SCOPED_TRACE(platform);
        g_seen.platform = platform;
        WindowGuard first{CreateVictim()};
        WindowGuard second{test::LocalWindow("second", 150, 150, 100, 100)};
        // The second window had a shape of its own before it was shot.
        SetWindowRgn(second.window, CreateEllipticRgn(0, 0, 100, 100), FALSE);
        const Region own = test::CopyRegion(second.window);
        ASSERT_TRUE(own);
        ShootHole(200, 200);  // through both
        ASSERT_TRUE(HasRegion(first.window));
        ASSERT_FALSE(PtInRegion(test::CopyRegion(second.window).get(), 50, 50)) << "the shot missed the second window";
        Send(WM_COMMAND, CMD_RESET_WINDOWS);
        EXPECT_FALSE(HasRegion(first.window)) << "the hole stays";
        const Region now = test::CopyRegion(second.window);
        EXPECT_TRUE(now) << "the window lost its own shape";
        EXPECT_TRUE(EqualRgn(now.get(), own.get())) << "the window did not get its own shape back";
        EXPECT_EQ(g_holes.holedCount, 0u);
    }
}

TEST_F(Commands, ToggleSwapsTheIconAndHoldsChickensBack)
{
    const HICON enabledIcon = TrayPicture(true);
    const HICON disabledIcon = TrayPicture(false);
    ASSERT_NE(enabledIcon, nullptr);
    ASSERT_NE(disabledIcon, nullptr);
    ASSERT_NE(enabledIcon, disabledIcon);
    // The notification area's size, which the shell then scales no more.
    for (HICON icon : {enabledIcon, disabledIcon}) EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), test::IconWidth(icon));
    ASSERT_TRUE(g_ui.EnabledFlag) << "chickens come at every start";

    struct Step {
        bool enabledAfter;
        HICON icon;
        bool launches;
    };
    const Step steps[] = {{false, disabledIcon, false}, {true, enabledIcon, true}, {false, disabledIcon, false},
                          {true, enabledIcon, true}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.enabledAfter ? "enable" : "disable");
        g_seen.trayIcons.clear();
        g_seen.launchDelays.clear();
        g_seen.killedTimers.clear();
        Send(WM_COMMAND, CMD_TOGGLE_ENABLED);
        EXPECT_EQ(g_ui.EnabledFlag, s.enabledAfter);
        ASSERT_EQ(g_seen.trayIcons.size(), 1u);
        EXPECT_EQ(g_seen.trayIcons[0], s.icon);
        EXPECT_TRUE(g_seen.launchDelays.empty()) << "toggling touched the launch timer";
        EXPECT_TRUE(g_seen.killedTimers.empty()) << "toggling touched a timer";
        DWORD stored;
        EXPECT_FALSE(test::ReadValue("EnabledFlag", &stored));
        FireLaunchTimer();
        EXPECT_EQ(g_flight.flying != 0, s.launches);
        if (g_flight.flying) EndFlight();
    }
}

TEST_F(Commands, ToggleWithoutItsIconStillSwitches)
{
    g_seen.noIcons = true;
    test::FakeIconMetric metric(true);  // which loads through LoadImageA too: it fails as well
    ASSERT_TRUE(metric.Installed());
    Send(WM_COMMAND, CMD_TOGGLE_ENABLED);
    EXPECT_FALSE(g_ui.EnabledFlag);
    EXPECT_TRUE(g_seen.trayIcons.empty()) << "the tray got a missing picture";
    FireLaunchTimer();
    EXPECT_FALSE(g_flight.flying);
}

// ---------------------------------------------------------------------------
// Info: the launch timer follows a changed speed only. Driven through the
// real dialog, as the user would: a speed typed in, then OK or Cancel.

struct DialogAction {
    const char* speedText;  // nullptr: leave the field alone
    int button;             // IDOK or IDCANCEL
};
DialogAction g_action;

// The real dialog, as a user fills it in.
void FillIn(HWND dialog)
{
    if (g_action.speedText) SetDlgItemTextA(dialog, IDC_SPEED_EDIT, g_action.speedText);
    SendMessageA(GetDlgItem(dialog, g_action.button), BM_CLICK, 0, 0);
}

struct InfoCase {
    const char* what;
    DialogAction action;
    bool flyingBefore;
    uint32_t speedAfter;
    bool rearms;
};

TEST_F(Commands, InfoRearmsTheLaunchOnlyForANewSpeed)
{
    dialog_.mode = test::FakeDialog::kDrive;  // the real dialog instead of the bare fake
    dialog_.script = FillIn;

    const InfoCase cases[] = {
        {"OK, speed unchanged, flying", {nullptr, IDOK}, true, 60, false},
        {"OK, same number typed", {"60", IDOK}, true, 60, false},
        {"Cancel after typing", {"10", IDCANCEL}, true, 60, false},
        {"OK, new speed, flying", {"10", IDOK}, true, 10, true},
        {"OK, new speed, idle", {"20", IDOK}, false, 20, true},
        {"OK, nonsense gives 1", {"abc", IDOK}, false, 1, true},
    };
    for (const InfoCase& c : cases) {
        SCOPED_TRACE(c.what);
        g_settings.Speed = 60;
        g_action = c.action;
        if (c.flyingBefore) {
            FireLaunchTimer();
            ASSERT_TRUE(g_flight.flying);
        }
        dialog_.opened = 0;
        g_seen.launchDelays.clear();
        g_seen.killedTimers.clear();
        g_log.Clear();
        Send(WM_COMMAND, CMD_INFO);
        EXPECT_EQ(dialog_.opened, 1);
        EXPECT_FALSE(dialog_.timedOut) << "the dialog did not close";
        EXPECT_TRUE(g_seen.busyInDialog);
        EXPECT_EQ(g_seen.flyingInDialog, c.flyingBefore) << "Info ended the flight before the dialog";
        EXPECT_FALSE(g_ui.BusyFlag);
        EXPECT_EQ(g_settings.Speed, c.speedAfter);
        if (c.rearms) {
            ASSERT_EQ(g_seen.launchDelays.size(), 1u);
            // A delay drawn from the new speed: speed/2 up to speed*3/2 - 1 whole seconds.
            UINT delay = g_seen.launchDelays[0];
            EXPECT_EQ(delay % 1000, 0u);
            EXPECT_GE(delay / 1000, c.speedAfter / 2);
            EXPECT_LT(delay / 1000, c.speedAfter + c.speedAfter / 2);
            EXPECT_FALSE(g_flight.flying) << "the flight goes on with a new speed";
            std::vector<std::string> order = {"dialog", "end-flight", "launch-timer"};
            std::vector<std::string> events = g_log.Whats({"foreground"});
            if (!c.flyingBefore) events = g_log.Whats({"foreground", "end-flight"});
            if (!c.flyingBefore) order = {"dialog", "launch-timer"};
            EXPECT_EQ(events, order);
        } else {
            EXPECT_TRUE(g_seen.launchDelays.empty()) << "the launch timer was re-armed";
            EXPECT_EQ(g_flight.flying != 0, c.flyingBefore) << "the flight was ended";
        }
        if (g_flight.flying) EndFlight();
    }
}

TEST_F(Commands, InfoWhileBusyDoesNothing)
{
    g_ui.BusyFlag = true;
    Send(WM_COMMAND, CMD_INFO);
    EXPECT_EQ(dialog_.opened, 0);
    EXPECT_TRUE(g_ui.BusyFlag) << "someone else's busy flag was cleared";
    g_ui.BusyFlag = false;
    Send(WM_COMMAND, CMD_INFO);
    EXPECT_EQ(dialog_.opened, 1);
}

// ---------------------------------------------------------------------------
// Keys

struct KeyCase {
    const char* what;
    WPARAM key;
    bool flying;
    bool busy;
    bool quits;
    bool opensDialog;
};

TEST_F(Commands, KeysActOnlyDuringAFlight)
{
    const KeyCase cases[] = {
        {"Esc", VK_ESCAPE, true, false, true, false},
        {"Q", 'Q', true, false, true, false},
        {"q", 'q', true, false, true, false},
        {"Esc while busy", VK_ESCAPE, true, true, true, false},
        {"O", 'O', true, false, false, true},
        {"o", 'o', true, false, false, true},
        {"o while busy", 'o', true, true, false, false},
        {"O while busy", 'O', true, true, false, false},
        {"x", 'x', true, false, false, false},
        {"P", 'P', true, false, false, false},
        {"space", ' ', true, false, false, false},
        {"Enter", '\r', true, false, false, false},
        {"0", '0', true, false, false, false},
        {"Q with its high bit", 'Q' | 0x80, true, false, false, false},
        {"o with its high bit", 'o' | 0x80, true, false, false, false},
        {"Esc, idle", VK_ESCAPE, false, false, false, false},
        {"Q, idle", 'Q', false, false, false, false},
        {"q, idle", 'q', false, false, false, false},
        {"O, idle", 'O', false, false, false, false},
        {"o, idle", 'o', false, false, false, false},
        {"x, idle", 'x', false, false, false, false},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.what);
        test::CleanRegistry nothingStored;
        if (c.flying) {
            FireLaunchTimer();
            ASSERT_TRUE(g_flight.flying);
        }
        g_statistics.CountMissedShots = 5;  // shots of this flight
        g_ui.BusyFlag = c.busy;
        dialog_.opened = 0;
        g_seen.launchDelays.clear();
        g_log.Clear();
        const bool ends = c.quits || c.opensDialog;
        // A press on the cover still queued behind the posted key counts.
        const RECT& band = g_flight.band;
        const POINT shot = {g_flight.spriteX > (band.left + band.right) / 2 ? band.left + 10 : band.right - 10,
                            band.bottom - 10};
        if (c.flying && ends) {
            ASSERT_TRUE(test::Press(1, false, &shot));
        }

        EXPECT_EQ(Send(WM_CHAR, c.key), 0);
        EXPECT_EQ(g_statistics.CountMissedShots, ends ? 6u : 5u);
        ExpectQuit(c.quits);
        EXPECT_EQ(dialog_.opened, c.opensDialog ? 1 : 0);
        EXPECT_EQ(g_flight.flying != 0, c.flying && !ends);
        if (c.opensDialog) {
            EXPECT_FALSE(g_seen.flyingInDialog) << "the flight runs behind the dialog";
            EXPECT_TRUE(g_seen.busyInDialog);
            // Re-armed after the dialog although nothing changed.
            const std::vector<std::string> order = {"end-flight", "dialog", "launch-timer"};
            EXPECT_EQ(g_log.Whats({"foreground"}), order);
            ASSERT_EQ(g_seen.launchDelays.size(), 1u);
            EXPECT_GE(g_seen.launchDelays[0], 30000u);
            EXPECT_LT(g_seen.launchDelays[0], 90000u);
        } else {
            EXPECT_TRUE(g_seen.launchDelays.empty());
        }
        // A flight cut short for the dialog keeps its shots; a quit leaves
        // them to the shut-down.
        DWORD shots = 0;
        EXPECT_EQ(test::ReadValue(kCountMissedShots, &shots), c.opensDialog);
        EXPECT_EQ(shots, c.opensDialog ? 6u : 0u);
        EXPECT_EQ(g_ui.BusyFlag, c.busy) << "the busy flag is left as it was";
        g_ui.BusyFlag = false;
        if (g_flight.flying) EndFlight();
    }
}

// The keys of a flight wherever the focus is: what the hook swallows, and
// which characters it hands the background window.
struct HookEvent {
    WPARAM message;
    DWORD vk, flags;
    bool swallowed;
};
// Not keys: the flight ends here; the tray menu opens here.
const WPARAM kFlightOver = 0, kBusy = 1;
struct HookCase {
    const char* what;
    std::vector<HookEvent> events;
    std::string posted;
};

TEST_F(Commands, TheFlightsKeyHookHandsOnEscQAndOPassesTheSystemsKeysAndSwallowsTheRest)
{
    const WPARAM down = WM_KEYDOWN, up = WM_KEYUP, sysDown = WM_SYSKEYDOWN;
    const HookCase cases[] = {
        {"Esc", {{down, VK_ESCAPE, 0, true}, {up, VK_ESCAPE, 0, true}}, "\x1b"},
        {"Q", {{down, 'Q', 0, true}, {up, 'Q', 0, true}}, "Q"},
        {"O", {{down, 'O', 0, true}, {up, 'O', 0, true}}, "O"},
        {"Shift+Q", {{down, VK_LSHIFT, 0, true}, {down, 'Q', 0, true}}, "Q"},
        {"a letter", {{down, 'X', 0, true}, {up, 'X', 0, true}}, ""},
        {"Enter", {{down, VK_RETURN, 0, true}, {up, VK_RETURN, 0, true}}, ""},
        {"Alt+Q", {{sysDown, VK_LMENU, LLKHF_ALTDOWN, true}, {sysDown, 'Q', LLKHF_ALTDOWN, true}}, ""},
        {"Alt pressed in the flight, then Q", {{sysDown, VK_LMENU, LLKHF_ALTDOWN, true}, {down, 'Q', 0, true}}, ""},
        {"Ctrl+O", {{down, VK_LCONTROL, 0, true}, {down, 'O', 0, true}}, ""},
        {"Win+Q", {{down, VK_LWIN, 0, true}, {down, 'Q', 0, true}}, ""},
        // Esc quits alone or with Shift; with Ctrl, Alt or the Windows key
        // it is the system's.
        {"Shift+Esc", {{down, VK_RSHIFT, 0, true}, {down, VK_ESCAPE, 0, true}}, "\x1b"},
        {"Ctrl+Esc", {{down, VK_LCONTROL, 0, true}, {down, VK_ESCAPE, 0, false}, {up, VK_ESCAPE, 0, false}}, ""},
        {"Ctrl+Shift+Esc",
         {{down, VK_RCONTROL, 0, true}, {down, VK_LSHIFT, 0, true}, {down, VK_ESCAPE, 0, false}}, ""},
        {"Win+Esc", {{down, VK_RWIN, 0, true}, {down, VK_ESCAPE, 0, false}, {up, VK_ESCAPE, 0, false}}, ""},
        {"Alt+Esc", {{sysDown, VK_ESCAPE, LLKHF_ALTDOWN, false}, {WM_SYSKEYUP, VK_ESCAPE, LLKHF_ALTDOWN, false}}, ""},
        {"Alt pressed in the flight, then Esc",
         {{sysDown, VK_LMENU, LLKHF_ALTDOWN, true}, {down, VK_ESCAPE, 0, false}}, ""},
        {"Esc let go with Ctrl pressed since",
         {{down, VK_ESCAPE, 0, true}, {down, VK_LCONTROL, 0, true}, {up, VK_ESCAPE, 0, true}}, "\x1b"},
        // The system's keys pass untouched.
        {"volume",
         {{down, VK_VOLUME_UP, 0, false}, {up, VK_VOLUME_UP, 0, false}, {down, VK_VOLUME_MUTE, 0, false}}, ""},
        {"media", {{down, VK_MEDIA_PLAY_PAUSE, 0, false}, {up, VK_MEDIA_PLAY_PAUSE, 0, false}}, ""},
        {"browser", {{down, VK_BROWSER_BACK, 0, false}, {up, VK_BROWSER_BACK, 0, false}}, ""},
        {"launch", {{down, VK_LAUNCH_APP2, 0, false}, {up, VK_LAUNCH_APP2, 0, false}}, ""},
        {"Print Screen", {{down, VK_SNAPSHOT, 0, false}, {up, VK_SNAPSHOT, 0, false}}, ""},
        {"Alt+Print Screen",
         {{sysDown, VK_SNAPSHOT, LLKHF_ALTDOWN, false}, {WM_SYSKEYUP, VK_SNAPSHOT, LLKHF_ALTDOWN, false}}, ""},
        {"the key after the launch keys", {{down, VK_LAUNCH_APP2 + 1, 0, true}}, ""},
        {"a key pressed before the flight", {{up, 'X', 0, false}}, ""},
        // A press that went nowhere owns its key until its release.
        {"a repeat", {{down, 'X', 0, true}, {down, 'X', 0, true}, {up, 'X', 0, true}, {up, 'X', 0, false}}, ""},
        {"a repeat of Q", {{down, 'Q', 0, true}, {down, 'Q', 0, true}}, "Q"},
        {"let go after the flight",
         {{down, VK_LCONTROL, 0, true}, {kFlightOver, 0, 0, false}, {down, VK_LCONTROL, 0, true}, {up, VK_LCONTROL, 0, true},
          {down, VK_LCONTROL, 0, false}, {down, 'X', 0, false}, {up, 'X', 0, false}}, ""},
        {"let go with the tray menu open", {{down, 'X', 0, true}, {kBusy, 0, 0, false}, {up, 'X', 0, true}}, ""},
        {"the tray menu open", {{kBusy, 0, 0, false}, {down, VK_ESCAPE, 0, false}, {up, VK_ESCAPE, 0, false}}, ""},
    };
    for (const HookCase& c : cases) {
        SCOPED_TRACE(c.what);
        Keys_Reset();
        g_keys.phase = kKeysFlight;
        for (const HookEvent& e : c.events) {
            if (e.message == kFlightOver || e.message == kBusy) {
                g_keys.phase = e.message == kFlightOver ? kKeysDraining : kKeysFlight;
                g_ui.BusyFlag = e.message == kBusy;
                continue;
            }
            KBDLLHOOKSTRUCT key = {};
            key.vkCode = e.vk;
            key.flags = e.flags;
            EXPECT_EQ(OnFlightKey(e.message, key), e.swallowed) << "key " << e.vk;
        }
        std::string posted;
        MSG msg;
        while (PeekMessageA(&msg, g_app.background, WM_CHAR, WM_CHAR, PM_REMOVE)) posted += static_cast<char>(msg.wParam);
        EXPECT_EQ(posted, c.posted);
        g_ui.BusyFlag = false;
    }
    Keys_Reset();
}

// With the focus in another window, through the system, autorepeat typed as
// a keyboard makes it (further presses of a held key): a key of the flight
// goes nowhere, Q quits, and after the flight the keys reach that window
// again, none left down for the system.
struct Stroke {
    WORD vk;
    bool up;
    const char* x;  // through the X server, by this name: a key held across the launch
};
struct ThroughCase {
    const char* what;
    std::vector<Stroke> before, during, after;  // before the launch, in the flight, after it
    size_t passed;       // of `during`, the strokes that reach the window
    std::string text;    // the window's at the end, after a Y typed
    std::string keys;    // the key messages it saw from the launch on, repeats as one
    bool quits;          // Q ends the flight
};

// The key messages that reach the window with the focus.
std::vector<std::string> g_editKeys;
WNDPROC g_editProc;

LRESULT CALLBACK NoteEditKeys(HWND window, UINT message, WPARAM vk, LPARAM lParam)
{
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP) {
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        const char* name = vk == VK_SHIFT ? "Shift" : vk == VK_CONTROL ? "Ctrl" : vk == VK_ESCAPE ? "Esc" : nullptr;
        g_editKeys.push_back((down ? "+" : "-") + (name ? std::string(name) : std::string(1, static_cast<char>(vk))));
    }
    return CallWindowProcA(g_editProc, window, message, vk, lParam);
}

std::string Joined(const std::vector<std::string>& words, size_t from)
{
    std::string all;
    for (size_t i = from; i < words.size(); ++i)
        if (i == from || words[i] != words[i - 1]) all += (all.empty() ? "" : " ") + words[i];
    return all;
}

// The keys the system has down, by code.
std::string KeysDown()
{
    std::string down;
    for (int vk = 8; vk < 255; ++vk)
        if (GetAsyncKeyState(vk) < 0) down += std::to_string(vk) + " ";
    return down;
}

TEST_F(Commands, TheKeysAreTheFlightsFromItsLaunchToItsEnd)
{
    const WORD shift = VK_LSHIFT, ctrl = VK_LCONTROL;
    const Stroke q = {'Q', false, nullptr}, qUp = {'Q', true, nullptr};
    const ThroughCase cases[] = {
        {"a letter, then Q", {}, {{'X', false, nullptr}, {'X', true, nullptr}, q, qUp}, {}, 0, "y", "+Y -Y", true},
        {"Shift held across the launch, let go in the flight", {{shift, false, "Shift_L"}},
         {{shift, false, nullptr}, {shift, false, nullptr}, {shift, true, "Shift_L"}, q, qUp}, {}, 1, "y",
         "-Shift +Y -Y", true},
        {"a letter held across the launch, let go after the flight", {{'K', false, "k"}},
         {{'K', false, nullptr}, {'K', false, nullptr}, q, qUp}, {{'K', false, nullptr}, {'K', true, "k"}}, 0, "ky",
         "+K -K +Y -Y", true},
        // Ctrl+Esc is the system's: it reaches the window, and the flight
        // ends otherwise.
        {"Ctrl pressed in the flight, let go after it", {},
         {{ctrl, false, nullptr}, {ctrl, false, nullptr}, {VK_ESCAPE, false, nullptr}, {VK_ESCAPE, true, nullptr}},
         {{ctrl, false, nullptr}, {ctrl, true, nullptr}}, 2, "y", "+Esc -Esc +Y -Y", false},
    };
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_POPUP | WS_VISIBLE, 10, 10, 200, 30, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(edit);
    g_editProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NoteEditKeys)));
    // In order; a stroke through the X server is awaited by its effect on
    // the system's state, which comes with the X server's own delay.
    const auto type = [](const std::vector<Stroke>& strokes) {
        for (const Stroke& s : strokes) {
            if (s.x) {
                test::PressXKey(s.x, s.up);
                if (!test::WaitFor([&s] { return (GetAsyncKeyState(s.vk) < 0) != s.up; }, 5000, true)) return false;
                continue;
            }
            INPUT in = {};
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = s.vk;
            in.ki.dwFlags = s.up ? KEYEVENTF_KEYUP : 0;
            if (SendInput(1, &in, sizeof in) != 1) return false;
        }
        return true;
    };
    // Handles the keys and the window's messages; notes the quit.
    bool quit = false;
    const auto pumpUntil = [&quit](auto condition) {
        return test::WaitFor([&] {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) quit = msg.wParam == 0;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            return condition();
        }, 5000);
    };
    const auto text = [edit] {
        char buffer[16] = "";
        GetWindowTextA(edit, buffer, sizeof buffer);
        return std::string(buffer);
    };
    // The hook's answer does not wait for this thread: the Q typed while it
    // waits (for a hung program, the shell) is handed on meanwhile.
    HANDLE posted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    post_.note = [posted](HWND window, UINT message, WPARAM character, LPARAM) {
        if (window == g_app.background && message == WM_CHAR && character == 'Q') SetEvent(posted);
    };
    for (const ThroughCase& c : cases) {
        SCOPED_TRACE(c.what);
        SetWindowTextA(edit, "");
        SetForegroundWindow(edit);
        SetFocus(edit);
        g_editKeys.clear();
        quit = false;
        ResetEvent(posted);
        ASSERT_TRUE(type(c.before));
        ASSERT_TRUE(pumpUntil([&] { return g_editKeys.size() >= c.before.size(); })) << Joined(g_editKeys, 0);
        const size_t launch = g_editKeys.size();

        EXPECT_EQ(g_keys.hook, nullptr);
        FireLaunchTimer();
        ASSERT_TRUE(g_flight.flying);
        EXPECT_NE(g_keys.hook, nullptr);
        // Wine reads the X server's keys on the thread of the window with the
        // focus: those cases are typed here.
        const bool throughX = std::any_of(c.during.begin(), c.during.end(), [](const Stroke& s) { return s.x; });
        if (c.quits && !throughX) {
            bool typed = false;
            std::thread typist([&] { typed = type(c.during); });
            EXPECT_EQ(WaitForSingleObject(posted, 5000), WAIT_OBJECT_0) << "Q was not handed on while the thread waited";
            typist.join();
            ASSERT_TRUE(typed);
            EXPECT_TRUE(pumpUntil([&] { return quit; })) << "Q did not quit with 0";
        } else if (c.quits) {
            ASSERT_TRUE(type(c.during));
            EXPECT_TRUE(pumpUntil([&] { return quit; })) << "Q did not quit with 0";
        } else {
            ASSERT_TRUE(type(c.during));
            EXPECT_TRUE(pumpUntil([&] { return g_editKeys.size() == launch + c.passed; })) << Joined(g_editKeys, 0);
            EXPECT_FALSE(quit);
            EndFlight();
        }
        EXPECT_FALSE(g_flight.flying);

        std::vector<Stroke> after = c.after;
        after.insert(after.end(), {{'Y', false, nullptr}, {'Y', true, nullptr}});
        ASSERT_TRUE(type(after));
        EXPECT_TRUE(pumpUntil([&] { return g_editKeys.size() >= 2 && g_editKeys.back() == "-Y"; }))
            << Joined(g_editKeys, 0);
        EXPECT_TRUE(test::WaitFor([] { return g_keys.hook == nullptr; }, 5000)) << "the hook outlived the keys it owed";
        EXPECT_EQ(KeysDown(), "");
        std::string typed = text();  // the X server repeats a held key of its own
        typed.erase(std::unique(typed.begin(), typed.end()), typed.end());
        EXPECT_EQ(typed, c.text);
        EXPECT_EQ(Joined(g_editKeys, launch), c.keys);
    }
    CloseHandle(posted);
    DestroyWindow(edit);
}

TEST_F(Commands, KeysDuringAHitChickensFall)
{
    FireLaunchTimer();
    ASSERT_TRUE(g_flight.flying);
    g_flight.hit = 1;
    g_flight.fallCounter = kFallTicks;
    g_statistics.CountHits = 1;
    Send(WM_CHAR, 'q');
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuit(&code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(g_flight.flying);
    EXPECT_EQ(g_statistics.CountHits, 1u) << "the hit counted before stays";
    EXPECT_EQ(g_statistics.CountMissedChicken, 0u) << "a flight ended by a key is no missed chicken";
}

}  // namespace
