// The tray icon and its tooltip: the records handed to the shell (seen
// through the import table), the error box of a failed add, the return of
// the icon after the shell restarts, and the real program's icon in the
// virtual desktop's notification area.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app.h"
#include "flight/flight.h"
#include "flight/snapshot.h"
#include "res/resource.h"
#include "store/store.h"
#include "support.h"
#include "ui/commands.h"
#include "ui/tray.h"

namespace {

// The first layout of the record: everything up to the 64-byte tip
// (88 bytes for 32-bit programs).
const DWORD kFirstLayoutSize = sizeof(void*) == 4 ? 88 : 104;

using test::FakeTray;
using test::Program;
using test::TrayCall;

test::StepLog g_log;  // the shell's calls among others, in order

struct MessageBoxCall {
    HWND owner;
    std::string text, caption;
    UINT type;
};
std::vector<MessageBoxCall> g_boxes;

// MessageBoxA: the box is noted, and OK pressed.
struct FakeMessageBox : test::Spy<decltype(MessageBoxA)> {
    FakeMessageBox() : Spy("USER32.dll", "MessageBoxA")
    {
        answer = [](HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
            g_boxes.push_back({owner, text ? text : "(null)", caption ? caption : "(null)", type});
            g_log.Add("box");
            return IDOK;
        };
    }
};

// The text the system has for an error code, or "" when it has none.
std::string SystemText(DWORD code)
{
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text ? text : "";
    if (text) LocalFree(text);
    return result;
}

// The program's own picture, as it hands it to the shell.
HICON Icon(int id) { return TrayPicture(id == IDI_ENABLED); }

std::string Repeat(char c, size_t n) { return std::string(n, c); }

}  // namespace

TEST(Tray, RecordsHandedToTheShell)
{
    Program program({}, 0x0409);
    ASSERT_TRUE(program.Loaded());
    FakeTray shell;
    ASSERT_TRUE(shell.Installed());
    HWND owner = g_app.background;
    const UINT callback = TaskIconMessage();
    ASSERT_NE(0u, callback);

    EXPECT_TRUE(AddTrayIcon(owner, kTrayIconId, Icon(IDI_ENABLED), "Wingzap", callback));
    EXPECT_TRUE(SetTrayIcon(owner, kTrayIconId, Icon(IDI_DISABLED)));
    EXPECT_TRUE(SetTrayTip(owner, kTrayIconId, "tip"));
    EXPECT_TRUE(DeleteTrayIcon(owner, kTrayIconId));
    ASSERT_EQ(4u, shell.calls.size());

    const struct {
        DWORD message;
        UINT flags;
        HICON icon;
        UINT callback;
        const char* tip;
    } expected[] = {
        {NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, Icon(IDI_ENABLED), callback, "Wingzap"},
        {NIM_MODIFY, NIF_ICON, Icon(IDI_DISABLED), 0, ""},
        {NIM_MODIFY, NIF_TIP, nullptr, 0, "tip"},
        {NIM_DELETE, 0, nullptr, 0, ""},
    };
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const TrayCall& call = shell.calls[i];
        EXPECT_EQ(expected[i].message, call.message);
        EXPECT_EQ(kFirstLayoutSize, call.data.cbSize);
        EXPECT_EQ(owner, call.data.hWnd);
        EXPECT_EQ(UINT(kTrayIconId), call.data.uID);
        EXPECT_EQ(expected[i].flags, call.data.uFlags);
        if (call.data.uFlags & NIF_ICON) {
            EXPECT_EQ(expected[i].icon, call.data.hIcon);
        }
        if (call.data.uFlags & NIF_MESSAGE) {
            EXPECT_EQ(expected[i].callback, call.data.uCallbackMessage);
        }
        if (call.data.uFlags & NIF_TIP) {
            EXPECT_STREQ(expected[i].tip, call.data.szTip);
        }
    }
    // The shell's answer is the result.
    shell.result = FALSE;
    EXPECT_FALSE(SetTrayIcon(owner, kTrayIconId, Icon(IDI_ENABLED)));
    EXPECT_FALSE(SetTrayTip(owner, kTrayIconId, "tip"));
    EXPECT_FALSE(DeleteTrayIcon(owner, kTrayIconId));
}

// The pictures at the size the notification area shows: as LoadIconMetric
// gives it where the system has it (Vista on), otherwise loaded at the
// small-icon size.
TEST(Tray, PicturesComeAtTheNotificationAreasSize)
{
    for (bool found : {true, false}) {
        SCOPED_TRACE(found ? "LoadIconMetric there" : "no LoadIconMetric");
        Program program({}, 0x0409);
        ASSERT_TRUE(program.Loaded());
        test::FakeIconMetric metric(found);
        ASSERT_TRUE(metric.Installed());
        for (int id : {IDI_ENABLED, IDI_DISABLED}) {
            SCOPED_TRACE(id);
            metric.calls.clear();
            const HICON icon = Icon(id);
            ASSERT_NE(nullptr, icon);
            EXPECT_EQ(icon, Icon(id)) << "loaded once";
            ASSERT_EQ(found ? 1u : 0u, metric.calls.size());
            if (found) {
                const test::IconMetricCall& call = metric.calls[0];
                EXPECT_EQ(GetModuleHandleA(nullptr), call.instance);
                EXPECT_EQ(static_cast<uintptr_t>(id), call.id);
                EXPECT_EQ(0, call.metric) << "LIM_SMALL";
                EXPECT_EQ(call.answered, icon);
            } else {
                EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), test::IconWidth(icon));
            }
        }
    }
}

TEST(Tray, TipsAreCutTo63Characters)
{
    Program program({}, 0x0409);
    ASSERT_TRUE(program.Loaded());
    const std::string long80 = Repeat('a', 40) + Repeat('b', 40);
    const struct {
        const char* what;
        bool none;
        std::string given, shown;
    } cases[] = {
        {"none", true, "", ""},
        {"empty", false, "", ""},
        {"62 characters", false, Repeat('x', 62), Repeat('x', 62)},
        {"63 characters", false, Repeat('y', 63), Repeat('y', 63)},
        {"64 characters", false, Repeat('z', 64), Repeat('z', 63)},
        {"80 characters", false, long80, long80.substr(0, 63)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const char* tip = c.none ? nullptr : c.given.c_str();
        FakeTray shell;
        AddTrayIcon(g_app.background, kTrayIconId, Icon(IDI_ENABLED), tip, TaskIconMessage());
        SetTrayTip(g_app.background, kTrayIconId, tip);
        ASSERT_EQ(2u, shell.calls.size());
        for (const TrayCall& call : shell.calls) {
            EXPECT_EQ(c.shown, std::string(call.data.szTip));
            EXPECT_EQ('\0', call.data.szTip[63]);
        }
    }
}

TEST(Tray, TooltipShowsTheMeanReactionTime)
{
    const struct {
        LCID locale;
        uint32_t hits, timeSum;
        const char* tip;
    } cases[] = {
        {0x0409, 0, 0, "Wingzap - 0 Milliseconds/Chicken"},
        {0x0409, 0, 5000, "Wingzap - 0 Milliseconds/Chicken"},
        {0x0409, 7, 4000, "Wingzap - 571 Milliseconds/Chicken"},
        {0x0809, 1, 999, "Wingzap - 999 Milliseconds/Chicken"},
        {0x0409, 3, 3000000000u, "Wingzap - 1000000000 Milliseconds/Chicken"},
        {0x040C, 2, 1001, "Wingzap - 500 Milliseconds/Chicken"},
        {0x0407, 0, 0, "Wingzap - 0 Millisekunden/Huhn"},
        {0x0807, 7, 4000, "Wingzap - 571 Millisekunden/Huhn"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tip);
        Program program({}, c.locale);
        ASSERT_TRUE(program.Loaded());
        g_statistics = Statistics{c.hits, 11, 13, c.timeSum};
        FakeTray shell;
        EXPECT_TRUE(UpdateTrayTooltip());
        ASSERT_EQ(1u, shell.calls.size());
        const TrayCall& call = shell.calls[0];
        EXPECT_EQ(DWORD(NIM_MODIFY), call.message);
        EXPECT_EQ(UINT(NIF_TIP), call.data.uFlags);
        EXPECT_EQ(g_app.background, call.data.hWnd);
        EXPECT_EQ(UINT(kTrayIconId), call.data.uID);
        EXPECT_STREQ(c.tip, call.data.szTip);
    }
}

TEST(Tray, FailedAddShowsTheSystemsText)
{
    // An add that timed out may leave no error (0): "The operation completed
    // successfully" would be no answer, the timeout's text is.
    const DWORD codes[] = {ERROR_ACCESS_DENIED, ERROR_INVALID_WINDOW_HANDLE, ERROR_TIMEOUT,
                           static_cast<DWORD>(E_FAIL), 0x20001234 /* no system text */, 0};
    for (DWORD code : codes) {
        SCOPED_TRACE(testing::Message() << "error 0x" << std::hex << code);
        Program program({}, 0x0409);
        ASSERT_TRUE(program.Loaded());
        const std::string system = SystemText(code ? code : ERROR_TIMEOUT);
        g_boxes.clear();
        // What the error path fetched and freed.
        std::vector<void*> fetched, freed;
        BOOL added;
        {
            FakeTray shell(FALSE, code);
            FakeMessageBox box;
            // Its va_list* as the char** it is: GCC drops that type's attributes in a template argument.
            test::Spy<DWORD WINAPI(DWORD, LPCVOID, DWORD, DWORD, LPSTR, DWORD, char**)> format("KERNEL32.dll",
                                                                                           "FormatMessageA");
            format.answer = [&](DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR buffer, DWORD size,
                                char** args) {
                DWORD n = format.Real(flags, source, id, language, buffer, size, args);
                if (n && (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER)) fetched.push_back(*reinterpret_cast<char**>(buffer));
                return n;
            };
            test::Spy<decltype(LocalFree)> release("KERNEL32.dll", "LocalFree");
            release.note = [&](HLOCAL memory) { freed.push_back(memory); };
            ASSERT_TRUE(box.Installed() && format.Installed() && release.Installed());
            added = AddTrayIcon(g_app.background, kTrayIconId, Icon(IDI_ENABLED), "Wingzap", TaskIconMessage());
            EXPECT_TRUE(g_boxes.empty()) << "the add itself tells nobody: start-up may try again";
            SetLastError(ERROR_SUCCESS);  // what other calls leave before the user is told
            TellAddFailed();
        }
        EXPECT_FALSE(added);
        ASSERT_EQ(1u, g_boxes.size());
        const MessageBoxCall& shown = g_boxes[0];
        EXPECT_EQ(nullptr, shown.owner);
        EXPECT_EQ("Wingzap Error", shown.caption);
        EXPECT_EQ(UINT(MB_OK | MB_ICONINFORMATION), shown.type);
        if (!system.empty()) {
            EXPECT_EQ(system, shown.text);
            ASSERT_EQ(1u, fetched.size());
            EXPECT_EQ(fetched, freed) << "the fetched text is freed, and nothing else";
        } else {
            EXPECT_FALSE(shown.text.empty());
            EXPECT_TRUE(fetched.empty());
            EXPECT_TRUE(freed.empty()) << "only a text that was fetched is freed";
        }
        // A failed add leaves nothing for a restarted shell to bring back.
        FakeTray shell;
        SendMessageA(g_app.background, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_TRUE(shell.calls.empty());
    }
}

// When the notification area is re-created every icon is gone: the program
// adds its own again, with the picture and tooltip it had.
TEST(Tray, IconReturnsWhenTheTaskbarIsCreatedAgain)
{
    const struct {
        const char* what;
        int toggles;
        bool deleted;
        int icon;
    } cases[] = {
        {"enabled", 0, false, IDI_ENABLED},
        {"disabled", 1, false, IDI_DISABLED},
        {"enabled again", 2, false, IDI_ENABLED},
        {"deleted at shut-down", 0, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Program program({}, 0x0407);
        ASSERT_TRUE(program.Loaded());
        FakeTray shell;
        ASSERT_TRUE(AddTrayIcon(g_app.background, kTrayIconId, Icon(IDI_ENABLED), "Wingzap", TaskIconMessage()));
        g_statistics = Statistics{7, 1, 1, 4000};
        UpdateTrayTooltip();
        for (int i = 0; i < c.toggles; ++i) ToggleEnabled();
        if (c.deleted) DeleteTrayIcon(g_app.background, kTrayIconId);
        shell.calls.clear();

        // As the shell announces itself: to every top-level window.
        DWORD_PTR answer;
        SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                            &answer);
        test::PumpMessages();
        if (c.deleted) {
            EXPECT_TRUE(shell.calls.empty());
            continue;
        }
        ASSERT_EQ(1u, shell.calls.size());
        const TrayCall& call = shell.calls[0];
        EXPECT_EQ(DWORD(NIM_ADD), call.message);
        EXPECT_EQ(kFirstLayoutSize, call.data.cbSize);
        EXPECT_EQ(g_app.background, call.data.hWnd);
        EXPECT_EQ(UINT(kTrayIconId), call.data.uID);
        EXPECT_EQ(UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP), call.data.uFlags);
        EXPECT_EQ(TaskIconMessage(), call.data.uCallbackMessage);
        EXPECT_EQ(Icon(c.icon), call.data.hIcon);
        EXPECT_STREQ("Wingzap - 571 Millisekunden/Huhn", call.data.szTip);
    }
}

namespace {
// Start-up's loop driven by hand: each turn is the retry timer's next firing,
// two seconds later on a clock of the test's, or the shell announcing a new
// taskbar; once the icon is there the tray menu's Quit ends the run.
struct LoopDrive {
    int announceAt;  // the turn that announces the taskbar; 0: none
    int turns;
    bool quitPosted, strayed;
    FakeTray* shell;
    test::FakeTickCount* clock;
} g_drive;

// The loop's calls, each the next turn of the drive.
BOOL DriveTurn(test::Spy<decltype(GetMessageA)>& loop, LPMSG msg, HWND window, UINT first, UINT last)
{
    if (g_app.waitingForTaskbar) {
        if (++g_drive.turns > 100) {
            g_drive.strayed = true;  // should it wait for ever
            PostQuitMessage(0);
        } else if (g_drive.turns == g_drive.announceAt) {
            g_log.Add("taskbar created");
            g_drive.shell->failures = 0;
            SendMessageA(g_app.background, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
            PostMessageA(g_app.background, WM_NULL, 0, 0);  // the next turn comes
        } else {
            g_log.Add("tick");
            g_drive.clock->now += 2000;
            PostMessageA(g_app.background, WM_TIMER, kTaskbarTimer, 0);
        }
    } else if (g_tray.added && !g_drive.quitPosted) {
        g_drive.quitPosted = true;
        PostMessageA(g_app.background, WM_COMMAND, CMD_QUIT, 0);
    }
    return loop.Real(msg, window, first, last);
}
}  // namespace

// Started at logon before the taskbar exists, the program waits for it,
// trying again every two seconds and when the shell announces itself, with
// no chicken meanwhile. Once the icon is there it goes on as at any start;
// after two minutes without it, the user is told in the system's words and
// the program ends through its normal shut-down.
TEST(Tray, StartUpWaitsTwoMinutesForTheTaskbar)
{
    // A refused add, and the look whether the shell has the icon all the same.
    const std::string refused = "tray add failed", probed = "tray modify failed";
    std::vector<std::string> refusedThroughout = {refused, probed, "timer 3: 2000 ms"};
    for (int i = 0; i < 60; ++i) refusedThroughout.insert(refusedThroughout.end(), {"tick", refused, probed});
    refusedThroughout.insert(refusedThroughout.end(), {"kill timer 3", "tray delete", "box"});
    const struct {
        const char* what;
        int failures;  // adds refused before the shell takes one; -1: all
        bool kept;     // a refused add leaves the icon there
        int announceAt;
        std::vector<std::string> steps;
    } cases[] = {
        {"the taskbar comes on the third try", 3, false, 0,
         {refused, probed, "timer 3: 2000 ms", "tick", refused, probed, "tick", refused, probed, "tick",
          "tray add", "kill timer 3", "tray modify", "timer 2: 541000 ms", "tray delete"}},
        {"the taskbar announces itself", 2, false, 2,
         {refused, probed, "timer 3: 2000 ms", "tick", refused, probed, "taskbar created", "tray add",
          "kill timer 3", "tray modify", "timer 2: 541000 ms", "tray delete"}},
        {"the add timed out, but the icon is there", 1, true, 0,
         {refused, "tray modify", "tray modify", "timer 2: 541000 ms", "tray delete"}},
        {"no taskbar for two minutes", -1, false, 0, refusedThroughout},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::CleanRegistry clean;
        test::ResetAllModules();
        test::WriteValues({{kUseSound, 0}, {kSpeed, 1000}, {kCountHits, 2}, {kTimeSum, 10}});
        g_boxes.clear();
        g_log.Clear();
        test::PrivateMutex mutex;
        int result = -1;
        {
            FakeTray shell(c.failures < 0 ? FALSE : TRUE, ERROR_TIMEOUT, c.failures < 0 ? 0 : c.failures, c.kept);
            shell.then = [](const TrayCall& call) { g_log.Add(test::Step(call)); };
            // The background window's timers are noted, not armed: the drive fires them.
            test::FakeTimers timers(false);
            timers.then = [](const test::TimerCall& call) {
                if (call.window && call.window == g_app.background) g_log.Add(test::Step(call));
            };
            test::FakeTickCount clock(0xFFFFF000u);  // the tick count wraps meanwhile
            g_drive = LoopDrive{c.announceAt, 0, false, false, &shell, &clock};
            FakeMessageBox box;
            test::Spy<decltype(GetMessageA)> loop("USER32.dll", "GetMessageA");
            loop.answer = [&loop](LPMSG msg, HWND window, UINT first, UINT last) {
                return DriveTurn(loop, msg, window, first, last);
            };
            ASSERT_TRUE(shell.Installed() && box.Installed() && mutex.Installed() && loop.Installed() &&
                        clock.Installed() && timers.Installed());
            result = WingzapMain(GetModuleHandleA(nullptr));
        }
        EXPECT_EQ(0, result);
        EXPECT_FALSE(g_drive.strayed) << "still waiting after 100 turns";
        // The first chicken's delay is drawn once the icon is there (41 mod
        // 1000 + 500 s); the tooltip comes first.
        EXPECT_EQ(c.steps, g_log.Whats());
        if (c.failures < 0) {
            ASSERT_EQ(1u, g_boxes.size());
            EXPECT_EQ(nullptr, g_boxes[0].owner);
            EXPECT_EQ("Wingzap Error", g_boxes[0].caption);
            EXPECT_EQ(SystemText(ERROR_TIMEOUT), g_boxes[0].text);
            EXPECT_EQ(UINT(MB_OK | MB_ICONINFORMATION), g_boxes[0].type);
        } else {
            EXPECT_TRUE(g_boxes.empty());
        }
        // The shut-down wrote the counters back either way.
        DWORD hits = 0, timeSum = 0;
        EXPECT_TRUE(test::ReadValue(kCountHits, &hits));
        EXPECT_TRUE(test::ReadValue(kTimeSum, &timeSum));
        EXPECT_EQ(2u, hits);
        EXPECT_EQ(10u, timeSum);

        test::LeaveProgram();  // no windows, and the single-instance guard closed below
        ASSERT_NE(nullptr, mutex.handle);
        EXPECT_EQ(kMutexName, mutex.name);
    }
}

// ---------------------------------------------------------------------------
// The real program in the virtual desktop.

namespace {

// The tooltips that the shell's notification area holds, read from the
// shell process: its tooltip controls keep the text of every icon.
std::vector<std::string> TrayTooltips()
{
    std::vector<std::string> tips;
    for (const test::ShellTooltip& t : test::ShellTooltips()) tips.push_back(t.text);
    return tips;
}

// A small icon's picture: its colours where its mask makes it opaque.
struct Picture {
    int size = 0;
    std::vector<uint32_t> color;
    std::vector<bool> opaque;
};

std::vector<uint32_t> Pixels(HBITMAP bitmap, int size)
{
    std::vector<uint32_t> pixels(size * size);
    BITMAPINFO info = test::TopDownInfo(size, size);
    GetDIBits(ScreenDc().get(), bitmap, 0, size, pixels.data(), &info, DIB_RGB_COLORS);
    for (uint32_t& p : pixels) p &= 0xFFFFFF;
    return pixels;
}

Picture IconPicture(int id)
{
    Picture picture;
    HICON icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) return picture;
    const Bitmap colour(info.hbmColor), mask(info.hbmMask);  // the copies GetIconInfo made
    picture.size = 16;
    picture.color = Pixels(colour.get(), 16);
    for (uint32_t m : Pixels(mask.get(), 16)) picture.opaque.push_back(m == 0);
    DestroyIcon(icon);
    return picture;
}

bool Shows(const test::Screenshot& shot, const Picture& p)
{
    if (!p.size) return false;
    for (int y = 0; y + p.size <= shot.height; ++y) {
        for (int x = 0; x + p.size <= shot.width; ++x) {
            bool match = true;
            for (int i = 0; i < p.size * p.size && match; ++i) {
                if (!p.opaque[i]) continue;
                match = shot.Rgb(x + i % p.size, y + i / p.size) == p.color[i];
            }
            if (match) return true;
        }
    }
    return false;
}

RECT TaskbarArea()
{
    RECT r = {};
    if (HWND tray = FindWindowA("Shell_TrayWnd", nullptr)) GetWindowRect(tray, &r);
    return r;
}

// Keeps the taskbar as it is now in the test folder.
void SaveTaskbar(const char* name) { test::SaveScreenshot(test::CaptureScreen(TaskbarArea()), name); }

using test::WaitFor;

// How many of the shell's tooltips read `tip`. The shell keeps the tooltip
// of an icon after the icon is gone, so only a new one proves an add.
int TipCount(const std::string& tip)
{
    std::vector<std::string> tips = TrayTooltips();
    return static_cast<int>(std::count(tips.begin(), tips.end(), tip));
}

bool TrayShows(int iconId)
{
    static Picture pictures[2] = {IconPicture(IDI_ENABLED), IconPicture(IDI_DISABLED)};
    return Shows(test::CaptureScreen(TaskbarArea()), pictures[iconId == IDI_DISABLED]);
}

}  // namespace

// The first run of a user: the icon shows in the notification area with
// the mean of no hits, goes with the program, and the shut-down leaves the
// four counters and no settings in the registry.
TEST(RealTray, FirstRunShowsTheIconAndStoresOnlyTheCounters)
{
    test::CleanRegistry clean;
    const std::string tip = "Wingzap - 0 Milliseconds/Chicken";
    const int tipsBefore = TipCount(tip);
    ASSERT_FALSE(TrayShows(IDI_ENABLED)) << "an icon of an earlier run is still there";
    {
        test::Process program(test::RuntimeExePath());
        HWND background, sprite;
        ASSERT_TRUE(test::WaitForWindows(program, &background, &sprite));
        EXPECT_TRUE(test::Awaited("TipCount(tip) == tipsBefore + 1", [&] { return TipCount(tip) == tipsBefore + 1; }, 10000));
        EXPECT_TRUE(test::Awaited("TrayShows(IDI_ENABLED)", [&] { return TrayShows(IDI_ENABLED); }, 10000))
            << "the icon is not in the notification area";
        SaveTaskbar("tray_running.bmp");
        EXPECT_EQ(0u, test::QuitThroughTheMenu(program, background));
    }
    EXPECT_TRUE(test::Awaited("!TrayShows(IDI_ENABLED)", [&] { return !TrayShows(IDI_ENABLED); }, 5000)) << "the icon stayed after the program ended";

    std::vector<std::string> names = test::ValueNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{kCountHits, kCountMissedChicken, kCountMissedShots, kTimeSum}), names);
    for (const auto& counter : kCounterValues) {
        const char* name = counter.name;
        DWORD value = 99, type = 0;
        EXPECT_TRUE(test::ReadValue(name, &value, &type)) << name;
        EXPECT_EQ(DWORD(REG_DWORD), type) << name;
        EXPECT_EQ(0u, value) << name;
    }
}

// What one run stores, the next one reads: the tooltip of both runs shows
// the mean of the stored counters, and the shut-down rewrites them.
TEST(RealTray, StatisticsAndSettingsSurviveARestart)
{
    test::CleanRegistry clean;
    // Speed 1000: no chicken during the test.
    test::WriteValues({{kUseSound, 0}, {kSpeed, 1000}, {kCountHits, 7}, {kCountMissedChicken, 3}});
    test::WriteValue(kTimeSum, 4000, REG_BINARY);  // rewritten as a DWORD by the first shut-down
    // kCountMissedShots missing: the first shut-down adds it.
    const std::string tip = "Wingzap - 571 Milliseconds/Chicken";

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        const int tipsBefore = TipCount(tip);
        test::Process program(test::RuntimeExePath());
        HWND background, sprite;
        ASSERT_TRUE(test::WaitForWindows(program, &background, &sprite));
        EXPECT_TRUE(test::Awaited("TipCount(tip) == tipsBefore + 1", [&] { return TipCount(tip) == tipsBefore + 1; }, 10000))
            << "the stored counters were not read";
        if (run == 2) {
            // The shell restarts: its icons are gone, the program adds its
            // own again, with the picture and tooltip it had. The test
            // stands in for the shell: it removes the icon and announces the
            // new taskbar.
            PostMessageA(background, WM_COMMAND, CMD_TOGGLE_ENABLED, 0);
            EXPECT_TRUE(test::Awaited("TrayShows(IDI_DISABLED)", [&] { return TrayShows(IDI_DISABLED); }, 10000));
            NOTIFYICONDATAA gone = {};
            gone.cbSize = NOTIFYICONDATAA_V1_SIZE;
            gone.hWnd = background;
            gone.uID = kTrayIconId;
            gone.uFlags = NIF_TIP;
            lstrcpyA(gone.szTip, "left behind");  // so that the old tooltip no longer counts
            EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &gone));
            EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &gone));
            EXPECT_TRUE(test::Awaited("!TrayShows(IDI_DISABLED)", [&] { return !TrayShows(IDI_DISABLED); }, 5000));
            const int tipsGone = TipCount(tip);
            DWORD_PTR answer;
            SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG,
                                5000, &answer);
            EXPECT_TRUE(test::Awaited("TrayShows(IDI_DISABLED)", [&] { return TrayShows(IDI_DISABLED); }, 10000))
                << "the disabled picture did not come back";
            EXPECT_TRUE(test::Awaited("TipCount(tip) == tipsGone + 1", [&] { return TipCount(tip) == tipsGone + 1; }, 10000))
                << "the tooltip did not come back";
            SaveTaskbar("tray_after_taskbar_created.bmp");
        }
        EXPECT_EQ(0u, test::QuitThroughTheMenu(program, background));

        const DWORD expected[] = {7, 3, 0, 4000};
        for (int i = 0; i < 4; ++i) {
            DWORD value = 99, type = 0;
            const char* name = kCounterValues[i].name;
            EXPECT_TRUE(test::ReadValue(name, &value, &type)) << name;
            EXPECT_EQ(DWORD(REG_DWORD), type) << name;
            EXPECT_EQ(expected[i], value) << name;
        }
        DWORD useSound = 99, speed = 99;
        EXPECT_TRUE(test::ReadValue(kUseSound, &useSound));
        EXPECT_TRUE(test::ReadValue(kSpeed, &speed));
        EXPECT_EQ(0u, useSound);
        EXPECT_EQ(1000u, speed);
    }
}

TEST(RealTray, GermanUserGetsTheGermanTooltip)
{
    test::CleanRegistry clean;
    test::WriteValues({{kUseSound, 0}, {kSpeed, 1000}, {kCountHits, 7}, {kTimeSum, 4000}});
    const std::string german = "Wingzap - 571 Millisekunden/Huhn", english = "Wingzap - 571 Milliseconds/Chicken";
    const int germanBefore = TipCount(german), englishBefore = TipCount(english);
    test::Process program(test::RuntimeExePath(), "de_DE.UTF-8");
    HWND background, sprite;
    ASSERT_TRUE(test::WaitForWindows(program, &background, &sprite));
    EXPECT_TRUE(test::Awaited("TipCount(german) == germanBefore + 1", [&] { return TipCount(german) == germanBefore + 1; }, 10000));
    EXPECT_EQ(englishBefore, TipCount(english));
    EXPECT_EQ(0u, test::QuitThroughTheMenu(program, background));
}
