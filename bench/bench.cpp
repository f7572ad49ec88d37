// Timings of the program's hot paths, driving the real code under Wine.
//
//   bench.exe [PROGRAM]   the table: median, 95th percentile and maximum per
//                         measurement; PROGRAM is the Wingzap.exe to start
//   bench.exe --stages    start-up step by step, in this fresh process
//   bench.exe --ticks N   N ticks' platform calls, to watch with a profiler
//                         (perf) or a system-call tracer (strace -c)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "flight/flight.h"
#include "flight/snapshot.h"
#include "res/localize.h"
#include "res/resource.h"
#include "shooting/holes.h"
#include "store/store.h"
#include "ui/commands.h"
#include "ui/tray.h"
#include "support.h"

namespace {

struct Clock {
    LARGE_INTEGER frequency;
    Clock() { QueryPerformanceFrequency(&frequency); }
    double Now() const
    {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
    }
};
const Clock g_clock;

void Report(const char* what, std::vector<double> ms, const char* unit = "ms")
{
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    size_t n = ms.size();
    double median = ms[n / 2], p95 = ms[std::min(n - 1, n * 95 / 100)], max = ms.back();
    std::printf("| %-44s | %6zu | %9.3f | %9.3f | %9.3f | %s |\n", what, n, median, p95, max, unit);
}

// The program's modules in this process, as start-up sets them up.
void StartBenchModules()
{
    StartModules(GetModuleHandleA(nullptr));
    g_settings.UseSound = 0;  // the launch sound would block 1.4 s per flight
    g_settings.Speed = 1;
    CreateAppWindows();
    ShowAppWindows();
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// A flight from launch to its end, ticks sent directly: no waiting.
void FlyOnce(bool hitEarly)
{
    g_ui.BusyFlag = false;
    LaunchChicken();
    for (int tick = 0; g_flight.flying && tick < 2000; ++tick) {
        if (hitEarly && tick == 5 && !g_flight.hit) {
            g_flight.hit = 1;
            g_flight.fallCounter = kFallTicks;
        }
        AnimationTick();
    }
    KillTimer(g_app.background, kLaunchTimer);
}

void BenchTick()
{
    // A tick's platform calls one by one, at a flight's typical place.
    FreezeForFlight();
    SelectFrame(g_art.banks[kRightBank], 1);
    g_flight.step = 5;
    std::vector<double> strip, move, paint;
    for (int i = 0; i < 500; ++i) {
        int x = 100 + i % 400;
        double t0 = g_clock.Now();
        RefreshSnapshotStrip(x + 90, 300, 5, 60);
        double t1 = g_clock.Now();
        MoveSprite(x, 300, kFlyWidth, kFlyHeight);
        double t2 = g_clock.Now();
        DrawSprite(g_app.sprite, kFlyWidth, kFlyHeight, SelectedFrame());
        double t3 = g_clock.Now();
        strip.push_back(t1 - t0);
        move.push_back(t2 - t1);
        paint.push_back(t3 - t2);
    }
    ReleaseScreen();
    Report("  tick part: strip from the live screen", strip);
    Report("  tick part: move of the sprite window", move);
    Report("  tick part: drawing the sprite", paint);

    std::vector<double> ticks;
    for (int flight = 0; flight < 10; ++flight) {
        LaunchChicken();
        while (g_flight.flying) {
            double t0 = g_clock.Now();
            AnimationTick();
            ticks.push_back(g_clock.Now() - t0);
        }
        KillTimer(g_app.background, kLaunchTimer);
    }
    Report("animation tick (move, strip, frame, paint)", ticks);
}

void BenchFreeze()
{
    std::vector<double> freeze, release;
    for (int i = 0; i < 50; ++i) {
        double t0 = g_clock.Now();
        FreezeForFlight();
        double t1 = g_clock.Now();
        ReleaseScreen();
        double t2 = g_clock.Now();
        freeze.push_back(t1 - t0);
        release.push_back(t2 - t1);
    }
    Report("FreezeScreen", freeze);
    Report("ReleaseScreen", release);

    // Where a freeze spends its time: the same platform calls one by one.
    std::vector<double> dc, bitmap, copy, again, cover;
    for (int i = 0; i < 30; ++i) {
        double t0 = g_clock.Now();
        HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        HDC memory = CreateCompatibleDC(display);
        double t1 = g_clock.Now();
        int w = GetDeviceCaps(display, HORZRES), h = GetDeviceCaps(display, VERTRES);
        HBITMAP screen = CreateCompatibleBitmap(display, w, h);
        HGDIOBJ old = SelectObject(memory, screen);
        double t2 = g_clock.Now();
        BitBlt(memory, 0, 0, w, h, display, 0, 0, SRCCOPY);
        double t3 = g_clock.Now();
        // The same copy into memory already touched: what is left when the
        // first touch of a fresh bitmap's pages is taken away.
        BitBlt(memory, 0, 0, w, h, display, 0, 0, SRCCOPY);
        double t3b = g_clock.Now();
        MoveWindow(g_app.background, 0, 0, w, h, TRUE);
        double t4 = g_clock.Now();
        MoveWindow(g_app.background, -100, -100, 1, 1, TRUE);
        SelectObject(memory, old);
        DeleteObject(screen);
        DeleteDC(memory);
        DeleteDC(display);
        dc.push_back(t1 - t0);
        bitmap.push_back(t2 - t1);
        copy.push_back(t3 - t2);
        again.push_back(t3b - t3);
        cover.push_back(t4 - t3b);
    }
    Report("  freeze part: display and memory DCs", dc);
    Report("  freeze part: screen-sized bitmap", bitmap);
    Report("  freeze part: copy of the whole screen", copy);
    Report("  freeze part: the same copy once more", again);
    Report("  freeze part: background over the screen", cover);
}

void BenchPaint()
{
    FreezeForFlight();
    SelectFrame(g_art.banks[kRightBank], 3);
    g_flight.step = 5;
    MoveWindow(g_app.sprite, 200, 200, 90, 60, FALSE);
    for (int falling = 0; falling < 2; ++falling) {
        g_flight.spriteWidth = falling ? 100 : 90;
        g_flight.spriteHeight = falling ? 90 : 60;
        if (falling) SelectFrame(g_art.banks[kFallBank], 3);
        std::vector<double> paints;
        for (int i = 0; i < 1000; ++i) {
            InvalidateRect(g_app.sprite, nullptr, FALSE);
            double t0 = g_clock.Now();
            UpdateWindow(g_app.sprite);
            paints.push_back(g_clock.Now() - t0);
        }
        Report(falling ? "PaintSprite, falling 100x90" : "PaintSprite, flying 90x60", paints);
    }
    ReleaseScreen();
}

struct VictimCount {
    DWORD process;
    int windows;
};

BOOL CALLBACK CountVictim(HWND window, LPARAM count)
{
    auto& c = *reinterpret_cast<VictimCount*>(count);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == c.process && IsWindowVisible(window)) ++c.windows;
    return TRUE;
}

int CountVictims(DWORD process)
{
    VictimCount c = {process, 0};
    EnumWindows(CountVictim, reinterpret_cast<LPARAM>(&c));
    return c.windows;
}

// Victim windows in a second process: this program again, in victim mode.
PROCESS_INFORMATION StartVictims(int count, int x, int y)
{
    char self[MAX_PATH], command[MAX_PATH + 64];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::snprintf(command, sizeof command, "\"%s\" --victims %d %d %d", self, count, x, y);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return pi;
    // Under Wine WaitForInputIdle may return before the windows exist: the
    // shots would then time an empty desktop. Their number tells.
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (CountVictims(pi.dwProcessId) < count && GetTickCount64() < deadline) Sleep(10);
    return pi;
}

LRESULT CALLBACK VictimProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

int VictimMain(int count, int x, int y)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = VictimProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = "WingzapBenchVictim";
    RegisterClassA(&wc);
    for (int i = 0; i < count; ++i) {
        // Half under the point, half beside it.
        int left = i % 2 ? x - 100 + i : x + 150 + i;
        CreateWindowExA(0, wc.lpszClassName, "victim", WS_POPUP | WS_VISIBLE, left, y - 100 + i, 200, 200, nullptr,
                        nullptr, wc.hInstance, nullptr);
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

void BenchHoles()
{
    for (int count : {10, 50}) {
        PROCESS_INFORMATION victims = StartVictims(count, 400, 300);
        std::vector<double> shots;
        size_t holed = 0;
        for (int i = 0; i < 100; ++i) {
            double t0 = g_clock.Now();
            ShootHole(400 + i % 20, 300);
            shots.push_back(g_clock.Now() - t0);
            if (i == 0) holed = g_holes.holedCount;
            if (i % 10 == 9) RepairWindows();
        }
        RepairWindows();
        char what[96];
        std::snprintf(what, sizeof what, "ShootHole, %d windows of another process (%u holed)", count, static_cast<unsigned>(holed));
        Report(what, shots);
        if (victims.hProcess) {
            TerminateProcess(victims.hProcess, 0);
            WaitForSingleObject(victims.hProcess, 5000);
            CloseHandle(victims.hProcess);
            CloseHandle(victims.hThread);
        }
    }
}

// Starts a GUI program and times it from process creation to its first wait
// in the message loop; its working set is read once it has settled.
PROCESS_INFORMATION StartMeasured(const char* path, std::vector<double>& starts, std::vector<double>& workingSets)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    char command[MAX_PATH + 4];
    std::snprintf(command, sizeof command, "\"%s\"", path);
    double t0 = g_clock.Now();
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("cannot start %s\n", path);
        return pi;
    }
    WaitForInputIdle(pi.hProcess, 10000);
    starts.push_back(g_clock.Now() - t0);
    Sleep(500);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(pi.hProcess, &memory, sizeof memory);
    workingSets.push_back(memory.WorkingSetSize / (1024.0 * 1024.0));
    return pi;
}

void EndMeasured(PROCESS_INFORMATION& pi)
{
    if (!pi.hProcess) return;
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

// From process start to the program waiting in its message loop.
void BenchStartup(const char* program)
{
    RegDeleteKeyA(HKEY_CURRENT_USER, kRegistryKey);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == 0) {
        DWORD off = 0, slow = 3600;
        RegSetValueExA(key, "UseSound", 0, REG_DWORD, reinterpret_cast<BYTE*>(&off), 4);
        RegSetValueExA(key, "Speed", 0, REG_DWORD, reinterpret_cast<BYTE*>(&slow), 4);
        RegCloseKey(key);
    }
    std::vector<double> starts, workingSets;
    for (int i = 0; i < 10; ++i) {
        PROCESS_INFORMATION pi = StartMeasured(program, starts, workingSets);
        if (!pi.hProcess) return;
        HWND background = FindWindowA("SkyroostBackground", "Background");
        PostMessageA(background, WM_COMMAND, 32775, 0);
        EndMeasured(pi);
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, kRegistryKey);
    Report("start-up to the message loop, sound off", starts);
    Report("working set of the program after start-up", workingSets, "MB");
}

// The parts of start-up that cost most, in this process.
void BenchStartupParts()
{
    std::vector<double> banks, tray, windows;
    for (int i = 0; i < 10; ++i) {
        FreeFrameBanks();
        double t0 = g_clock.Now();
        LoadFrameBanks();
        banks.push_back(g_clock.Now() - t0);
        HICON icon = LoadIconA(g_app.instance, MAKEINTRESOURCEA(IDI_ENABLED));
        t0 = g_clock.Now();
        AddTrayIcon(g_app.background, kTrayIconId, icon, "Wingzap", TaskIconMessage());
        UpdateTrayTooltip();
        tray.push_back(g_clock.Now() - t0);
        DeleteTrayIcon(g_app.background, kTrayIconId);
    }
    Report("  start-up part: LoadFrameBanks, 114 bitmaps", banks);
    Report("  start-up part: tray icon and its tooltip", tray);
}

// The same for a program with Wingzap's imports that only shows one window
// and waits in its message loop: what Wine itself costs.
void BenchEmptyStartup()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    char* slash = std::strrchr(path, '\\');
    if (n == 0 || n >= sizeof path || !slash) return;
    std::snprintf(slash + 1, static_cast<size_t>(path + sizeof path - (slash + 1)), "onewindow.exe");
    std::vector<double> starts, workingSets;
    for (int i = 0; i < 10; ++i) {
        PROCESS_INFORMATION pi = StartMeasured(path, starts, workingSets);
        if (!pi.hProcess) return;
        PostMessageA(FindWindowA("WingzapBenchOneWindow", nullptr), WM_CLOSE, 0, 0);
        EndMeasured(pi);
    }
    Report("start-up of a one-window Win32 program", starts);
    Report("working set of a one-window Win32 program", workingSets, "MB");
}

double WorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return memory.WorkingSetSize / (1024.0 * 1024.0);
}

void BenchEndurance()
{
    // After 10, 100 and 1000 flights: the first ones fill Wine's caches.
    double sets[3];
    int done = 0, marks[3] = {10, 100, 1000};
    for (int m = 0; m < 3; ++m) {
        for (; done < marks[m]; ++done) FlyOnce(done % 10 != 0);  // every tenth runs its full course
        sets[m] = WorkingSetMb();
    }
    std::printf("| %-44s | %6d | %9.3f | %9.3f | %9.3f | MB after 10, 100, 1000 |\n",
                "working set of a process flying chickens", 1000, sets[0], sets[1], sets[2]);
}

// The AnimationTimer's real period over whole flights.
WNDPROC g_original;
std::vector<double> g_tickTimes;
LRESULT CALLBACK TimedProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_TIMER && wp == kAnimationTimer) g_tickTimes.push_back(g_clock.Now());
    return CallWindowProcA(g_original, w, m, wp, lp);
}

void BenchTimerPeriod()
{
    g_original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_app.background, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedProc)));
    for (int flight = 0; flight < 2; ++flight) {
        LaunchChicken();
        MSG msg;
        while (g_flight.flying && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        KillTimer(g_app.background, kLaunchTimer);
        g_tickTimes.push_back(-1);  // flights apart
    }
    SetWindowLongPtrA(g_app.background, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_original));
    std::vector<double> periods;
    for (size_t i = 1; i < g_tickTimes.size(); ++i)
        if (g_tickTimes[i] >= 0 && g_tickTimes[i - 1] >= 0) periods.push_back(g_tickTimes[i] - g_tickTimes[i - 1]);
    double sum = 0;
    for (double p : periods) sum += p;
    Report("AnimationTimer period over real flights", periods);
    if (!periods.empty()) std::printf("|   mean period %.2f ms over %zu ticks |\n", sum / periods.size(), periods.size());
}

// Only the tick's platform calls, many times over: a run to watch with a
// profiler or a system-call tracer.
int TicksMain(int count)
{
    StartBenchModules();
    FreezeForFlight();
    SelectFrame(g_art.banks[kRightBank], 1);
    g_flight.step = 5;
    std::vector<double> ticks;
    for (int i = 0; i < count; ++i) {
        int x = 100 + i % 400;
        double t0 = g_clock.Now();
        RefreshSnapshotStrip(x + 90, 300, 5, 60);
        MoveSprite(x, 300, kFlyWidth, kFlyHeight);
        DrawSprite(g_app.sprite, kFlyWidth, kFlyHeight, SelectedFrame());
        ticks.push_back(g_clock.Now() - t0);
    }
    ReleaseScreen();
    Report("tick's platform calls", ticks);
    return 0;
}

// Start-up step by step in a fresh process, in milliseconds since the
// process was created.
double SinceCreation()
{
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    auto ticks = [](FILETIME f) { return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    return (ticks(now) - ticks(created)) / 10000.0;
}

int StagesMain()
{
    std::printf("  %-34s %7.1f ms\n", "entry", SinceCreation());
    HINSTANCE self = GetModuleHandleA(nullptr);
    StartModules(self);
    std::printf("  %-34s %7.1f ms\n", "language, stored values, art", SinceCreation());
    FreezeForFlight();
    std::printf("  %-34s %7.1f ms\n", "first freeze", SinceCreation());
    CreateAppWindows();
    std::printf("  %-34s %7.1f ms\n", "windows", SinceCreation());
    AddTrayIcon(g_app.background, kTrayIconId, LoadIconA(self, MAKEINTRESOURCEA(IDI_ENABLED)), "Wingzap", TaskIconMessage());
    UpdateTrayTooltip();
    std::printf("  %-34s %7.1f ms\n", "tray icon and tooltip", SinceCreation());
    ShowAppWindows();
    std::printf("  %-34s %7.1f ms\n", "windows shown", SinceCreation());
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    std::printf("  %-34s %7.1f ms\n", "first look at the queue", SinceCreation());
    DeleteTrayIcon(g_app.background, kTrayIconId);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--stages") == 0) return StagesMain();
    if (argc == 3 && std::strcmp(argv[1], "--ticks") == 0) return TicksMain(std::atoi(argv[2]));
    if (argc == 5 && std::strcmp(argv[1], "--victims") == 0)
        return VictimMain(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    const char* program = argc > 1 ? argv[1] : "Wingzap.exe";

    StartBenchModules();
    FreezeForFlight();
    std::printf("\nScreen %d x %d\n\n", g_snapshot.screenWidth, g_snapshot.screenHeight);
    ReleaseScreen();
    std::printf("| %-44s | %6s | %9s | %9s | %9s | unit |\n", "measurement", "runs", "median", "95th", "max");
    std::printf("|%s|%s|%s|%s|%s|------|\n", std::string(46, '-').c_str(), std::string(8, '-').c_str(),
                std::string(11, '-').c_str(), std::string(11, '-').c_str(), std::string(11, '-').c_str());
    BenchTick();
    BenchFreeze();
    BenchPaint();
    BenchHoles();
    BenchEndurance();
    BenchTimerPeriod();
    Pump();
    test::ResetAllModules();
    BenchStartup(program);
    BenchEmptyStartup();
    StartBenchModules();
    BenchStartupParts();
    return 0;
}
