// What a process reads of the display after another process changed it, by
// every call that could tell: the metrics, the monitors, the current mode,
// a display DC. Under Wine each process keeps the display in a cache of its
// own; these runs tell which readings follow a change made elsewhere, in a
// process running through the change and in one started just after it, with
// and without a message loop, aware of each monitor's DPI or not.
//
//   display_test                  the tests
//   display_test --change WxH     sets the display, as another program would
//   display_test --read WxH [--pm]  prints this process's readings at its
//                                   start; 0 when all of them are WxH
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "dpi_aware.h"
#include "support.h"

namespace {

struct Reading {
    int screenW, screenH;                 // SM_CXSCREEN, SM_CYSCREEN
    RECT virt;                            // SM_?VIRTUALSCREEN
    int monitors;                         // EnumDisplayMonitors
    RECT primary;                         // GetMonitorInfo of MonitorFromPoint(0, 0)
    int modeW, modeH;                     // EnumDisplaySettings(ENUM_CURRENT_SETTINGS)
    int dcW, dcH;                         // HORZRES, VERTRES of CreateDC("DISPLAY")
    RECT desktop;                         // GetWindowRect(GetDesktopWindow())
};

BOOL CALLBACK CountMonitor(HMONITOR, HDC, LPRECT, LPARAM data)
{
    ++*reinterpret_cast<int*>(data);
    return TRUE;
}

Reading Read()
{
    Reading r = {};
    r.screenW = GetSystemMetrics(SM_CXSCREEN);
    r.screenH = GetSystemMetrics(SM_CYSCREEN);
    r.virt.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    r.virt.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    r.virt.right = r.virt.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    r.virt.bottom = r.virt.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    EnumDisplayMonitors(nullptr, nullptr, CountMonitor, reinterpret_cast<LPARAM>(&r.monitors));
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info)) r.primary = info.rcMonitor;
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        r.modeW = static_cast<int>(mode.dmPelsWidth);
        r.modeH = static_cast<int>(mode.dmPelsHeight);
    }
    if (const MemoryDc dc{CreateDCA("DISPLAY", nullptr, nullptr, nullptr)}) {
        r.dcW = GetDeviceCaps(dc.get(), HORZRES);
        r.dcH = GetDeviceCaps(dc.get(), VERTRES);
    }
    GetWindowRect(GetDesktopWindow(), &r.desktop);
    return r;
}

std::string Text(const Reading& r)
{
    char text[300];
    std::snprintf(text, sizeof text,
                  "metrics %dx%d, virtual %ld,%ld %ldx%ld, %d monitor(s), primary %ldx%ld, mode %dx%d, "
                  "display DC %dx%d, desktop window %ldx%ld",
                  r.screenW, r.screenH, r.virt.left, r.virt.top, r.virt.right - r.virt.left,
                  r.virt.bottom - r.virt.top, r.monitors, r.primary.right - r.primary.left,
                  r.primary.bottom - r.primary.top, r.modeW, r.modeH, r.dcW, r.dcH,
                  r.desktop.right - r.desktop.left, r.desktop.bottom - r.desktop.top);
    return text;
}

// This program again, with `arguments`; its exit code, and what it printed.
int RunSelf(const std::string& arguments, std::string* output = nullptr)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::string command = std::string("\"") + self + "\" " + arguments;
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    std::string text;
    char buffer[512];
    DWORD got = 0;
    while (started && ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
    CloseHandle(readEnd);
    if (!started) return -1;
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (output) *output = text;
    return static_cast<int>(code);
}

// Every reading at `width` x `height`, one monitor at the origin.
bool Shows(const Reading& r, int width, int height)
{
    const RECT all = {0, 0, width, height};
    return r.screenW == width && r.screenH == height && EqualRect(&r.virt, &all) && r.monitors == 1 &&
           EqualRect(&r.primary, &all) && r.modeW == width && r.modeH == height && r.dcW == width &&
           r.dcH == height && EqualRect(&r.desktop, &all);
}

// What this process read when the system told its window of the change.
struct Told {
    bool told;
    LPARAM size;
    Reading reading;
} g_told;

LRESULT CALLBACK Listener(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DISPLAYCHANGE) g_told = Told{true, lParam, Read()};
    return DefWindowProcA(window, message, wParam, lParam);
}

class DisplayChange : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(1024, GetSystemMetrics(SM_CXSCREEN)) << "the test starts on the session's 1024 x 768 display";
    }
    void TearDown() override
    {
        if (GetSystemMetrics(SM_CXSCREEN) != 1024) test::ChangeScreen(1024, 768);
    }
};

const SIZE kSizes[] = {{800, 600}, {640, 480}, {1280, 1024}, {1024, 768}};

// A process that runs through the change reads the new display at once,
// without a message loop, by every call; one with a window is told by
// WM_DISPLAYCHANGE, and reads the new display when it is told.
TEST_F(DisplayChange, ARunningProcessReadsTheNewDisplayAtOnce)
{
    for (const SIZE& size : kSizes) {
        SCOPED_TRACE(testing::Message() << "no window, no message loop, " << size.cx << " x " << size.cy);
        char change[32];
        std::snprintf(change, sizeof change, "--change %ldx%ld", size.cx, size.cy);
        ASSERT_EQ(0, RunSelf(change));
        const Reading r = Read();
        std::printf("running, %ldx%ld set elsewhere: %s\n", size.cx, size.cy, Text(r).c_str());
        EXPECT_TRUE(Shows(r, size.cx, size.cy)) << Text(r);
    }
    WNDCLASSA listener = {};
    listener.lpfnWndProc = Listener;
    listener.hInstance = GetModuleHandleA(nullptr);
    listener.lpszClassName = "DisplayListener";
    ASSERT_TRUE(RegisterClassA(&listener));
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "DisplayListener", "", WS_POPUP, -100, -100, 1, 1, nullptr,
                                  nullptr, listener.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    for (const SIZE& size : kSizes) {
        SCOPED_TRACE(testing::Message() << "a window and its loop, " << size.cx << " x " << size.cy);
        g_told = Told{};
        ASSERT_TRUE(test::ChangeScreenElsewhere(size.cx, size.cy));
        ASSERT_TRUE(test::Awaited("WM_DISPLAYCHANGE", [] { return g_told.told; }, 5000, true));
        std::printf("told of %ldx%ld: %s\n", size.cx, size.cy, Text(g_told.reading).c_str());
        EXPECT_EQ(size.cx, LOWORD(g_told.size));
        EXPECT_EQ(size.cy, HIWORD(g_told.size));
        EXPECT_TRUE(Shows(g_told.reading, size.cx, size.cy)) << Text(g_told.reading);
    }
    DestroyWindow(window);
    UnregisterClassA("DisplayListener", listener.hInstance);
}

// A process started just after a change made elsewhere reads the new
// display, aware of each monitor's DPI (as the program's manifest makes it)
// or not.
TEST_F(DisplayChange, AProcessStartedAfterAChangeReadsTheNewDisplay)
{
    for (const char* awareness : {"", " --pm"}) {
        for (const SIZE& size : kSizes) {
            SCOPED_TRACE(testing::Message() << size.cx << " x " << size.cy << awareness);
            ASSERT_TRUE(test::ChangeScreenElsewhere(size.cx, size.cy));
            char read[48];
            std::snprintf(read, sizeof read, "--read %ldx%ld%s", size.cx, size.cy, awareness);
            std::string seen;
            EXPECT_EQ(0, RunSelf(read, &seen)) << seen;
            std::printf("started after %ldx%ld%s: %s", size.cx, size.cy, awareness, seen.c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--change") == 0) {
        int width = 0, height = 0;
        return std::sscanf(argv[2], "%dx%d", &width, &height) == 2 && test::ChangeScreen(width, height) ? 0 : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--read") == 0) {
        int width = 0, height = 0;
        if (std::sscanf(argv[2], "%dx%d", &width, &height) != 2) return 2;
        if (argc >= 4 && std::strcmp(argv[3], "--pm") == 0) test::BecomeDpiAware();
        const Reading r = Read();
        std::printf("%s\n", Text(r).c_str());
        return Shows(r, width, height) ? 0 : 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
