// Fakes of the platform calls the program makes, each a Fake of hooks.h:
// the notification area, sounds, timers, the clock, the user's language,
// the single-instance mutex, the monitors, the frame bitmaps, the options
// dialog and the registry.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "hooks.h"

namespace test {

// Shell_NotifyIconA: the notification area. The record is kept as handed
// over, up to the size it states.
struct TrayCall {
    DWORD message;
    NOTIFYICONDATAA data;
    BOOL result;  // the fake's answer
};
class FakeTray : public Fake<FakeTray>, public Calls<TrayCall> {
public:
    // Refuses the first `failing` adds, then answers `answer`; a refusal
    // leaves `lastError` as the last error. A shell that refused an add has
    // no icon to modify, unless it `keepsRefused` ones, as a shell does whose
    // add timed out.
    explicit FakeTray(BOOL answer = TRUE, DWORD lastError = 0, int failing = 0, bool keepsRefused = false);
    BOOL result;
    DWORD error;
    int failures;
    bool keeps;
    int icon = -1;  // the shell holds it: 1, not: 0, not known yet: -1

private:
    static BOOL WINAPI Answer(DWORD message, PNOTIFYICONDATAA data);
};

// sndPlaySoundA: nothing is heard.
struct SoundCall {
    const void* image;
    UINT flags;
};
class FakeSound : public Fake<FakeSound>, public Calls<SoundCall> {
public:
    explicit FakeSound(BOOL answer = TRUE);
    BOOL result;

private:
    static BOOL WINAPI Answer(LPCSTR sound, UINT flags);
};

// SetTimer and KillTimer.
struct TimerCall {
    bool set;  // else a kill
    HWND window;
    UINT_PTR id;
    UINT interval;  // of a SetTimer
};
class FakeTimers : public Fake<FakeTimers>, public Calls<TimerCall> {
public:
    // With `arm`, the calls go on to the platform and the timers fire;
    // without, SetTimer answers the id it was given and nothing fires: the
    // test sends the WM_TIMER itself.
    explicit FakeTimers(bool arm);
    bool Installed() const { return Fake::Installed() && kill_.Installed(); }

private:
    static UINT_PTR WINAPI Set(HWND window, UINT_PTR id, UINT interval, TIMERPROC procedure);
    static BOOL WINAPI Kill(HWND window, UINT_PTR id);
    bool arm_;
    ImportHook kill_;
};

// A call as a step of a log: "tray add", "tray add failed", "tray modify",
// "tray modify failed", "tray delete"; "sound async", "sound to its end"; "timer 2: 341000 ms",
// "kill timer 2".
std::string Step(const TrayCall& call);
std::string Step(const SoundCall& call);
std::string Step(const TimerCall& call);

// GetTickCount answers `now`, which the test sets; GetLastInputInfo, on the
// same clock, the last input `idle` ms before it (the user at the keys).
class FakeTickCount : public Fake<FakeTickCount> {
public:
    explicit FakeTickCount(DWORD start = 1000);
    bool Installed() const { return Fake::Installed() && input_.Installed(); }
    DWORD now;
    DWORD idle = 0;

private:
    static DWORD WINAPI Answer();
    static BOOL WINAPI LastInput(PLASTINPUTINFO input);
    ImportHook input_;
};

// GetUserDefaultLCID: the user's language as the test wants it.
class FakeUserLocale : public Fake<FakeUserLocale> {
public:
    explicit FakeUserLocale(LCID locale);
    LCID lcid;

private:
    static LCID WINAPI Answer();
};

// CreateMutexA: the program's single-instance mutex under a name of this
// test process, so that no program another test starts finds it held. The
// name asked for is kept; the mutex, which the program never closes, is
// closed when the scope ends.
class PrivateMutex : public Fake<PrivateMutex> {
public:
    PrivateMutex();
    ~PrivateMutex();
    std::string name;
    HANDLE handle = nullptr;

private:
    static HANDLE WINAPI Create(LPSECURITY_ATTRIBUTES security, BOOL owned, LPCSTR name);
};

// The monitors as the test lays them out: MonitorFromPoint, MonitorFromRect,
// GetMonitorInfoA, the virtual screen's metrics, GetCursorPos and
// GetDpiForMonitor (looked up through GetProcAddress) answer from `monitors`,
// the first of which is the primary, and `pointer`. Monitors the system
// names itself (MonitorFromWindow) still get their own answers. Without
// `virtualScreen` the screen's metrics stay the system's: the snapshot is
// then the real display's.
//
// The DPI functions GetProcAddress finds are those of `system`: Windows
// 10's, as the system has them; 8.1's, without those for a window
// (GetWindowDpiAwarenessContext, SetThreadDpiAwarenessContext,
// GetDpiForWindow); or Vista's to 8.0's, without shcore.dll's and
// PhysicalToLogicalPointForPerMonitorDPI either, the one DPI then the
// system's, which GetDeviceCaps' LOGPIXELSX answers with the first
// monitor's. The desktop window manager draws the `scaled` windows at
// their own DPI scaled to the first monitor's: the conversion of points
// into their own pixels (PhysicalToLogicalPoint before 8.1, which from then
// on gives every point back, the per-monitor one from 8.1 on) maps by that,
// and fails for a point off the window, as the system's does.
struct FakeMonitor {
    RECT rect;
    int dpi;
};
struct ScaledWindow {
    HWND window;
    int dpi;  // its own
};
class FakeMonitors : public Fake<FakeMonitors> {
public:
    enum System { kWindows10, kWindows81, kWindowsVista };
    explicit FakeMonitors(std::vector<FakeMonitor> laidOut, POINT at = {0, 0}, bool virtualScreen = true);
    bool Installed() const;
    std::vector<FakeMonitor> monitors;
    POINT pointer;
    bool screen;
    System system = kWindows10;
    std::vector<ScaledWindow> scaled;
    bool awarenessHidden = false;  // GetProcessDpiAwareness fails, as for a process this one may not open

private:
    static HMONITOR WINAPI FromPoint(POINT point, DWORD flags);
    static HMONITOR WINAPI FromRect(LPCRECT rect, DWORD flags);
    static BOOL WINAPI Info(HMONITOR monitor, LPMONITORINFO info);
    static int WINAPI Metrics(int index);
    static BOOL WINAPI Cursor(LPPOINT point);
    static FARPROC WINAPI Lookup(HMODULE module, LPCSTR name);
    static HRESULT WINAPI Dpi(HMONITOR monitor, int type, UINT* x, UINT* y);
    static int WINAPI Caps(HDC dc, int index);
    static HRESULT WINAPI Awareness(HANDLE process, int* awareness);
    static BOOL WINAPI ToOwnPixels(HWND window, POINT* point);
    static BOOL WINAPI AsGiven(HWND window, POINT* point);
    ImportHook fromRect_, info_, metrics_, cursor_, lookup_, caps_;
};

// LoadIconMetric, looked up through GetProcAddress: where `found`, a fake
// that keeps what it was asked and answers an icon of its own, loaded from
// the resources asked for (the caller's to destroy, as the system's); else
// none, as before Windows Vista.
struct IconMetricCall {
    HINSTANCE instance;
    uintptr_t id;  // of an icon asked for by number; 0 for one by name
    int metric;    // LIM_SMALL 0, LIM_LARGE 1
    HICON answered;
};
class FakeIconMetric : public Fake<FakeIconMetric>, public Calls<IconMetricCall> {
public:
    explicit FakeIconMetric(bool isThere);
    bool found;

private:
    static FARPROC WINAPI Lookup(HMODULE module, LPCSTR name);
    static HRESULT WINAPI Load(HINSTANCE instance, PCWSTR name, int metric, HICON* icon);
};

// LoadBitmapA: bitmap `missing` (0: none) is not there, every other loads.
class MissingBitmap : public Fake<MissingBitmap> {
public:
    explicit MissingBitmap(unsigned id = 0);
    unsigned missing;

private:
    static HBITMAP WINAPI Load(HINSTANCE instance, LPCSTR name);
};

// DialogBoxParamA: the options dialog as a test wants it. kCancel: no
// dialog shows and the answer is IDCANCEL; kFail: none can be made (-1);
// kDrive: the real dialog, and once it is up `script` runs in it, as a user
// would act (without a script, Cancel is pressed). A dialog still open 5 s
// on is ended with 99 and counts as timedOut. `then` runs at each opening,
// before the dialog shows: to note the program's state at that moment.
class FakeDialog : public Fake<FakeDialog> {
public:
    enum Mode { kCancel, kFail, kDrive };
    explicit FakeDialog(Mode mode = kDrive);
    Mode mode;
    std::function<void(HWND)> script;
    std::function<void()> then;
    int opened = 0;
    bool timedOut = false;
    // What the program asked for at the last opening.
    HINSTANCE module = nullptr;
    LPCSTR name = nullptr;
    HWND owner = nullptr;
    DLGPROC proc = nullptr;  // the program's own dialog procedure

private:
    static INT_PTR WINAPI Open(HINSTANCE module, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
    static INT_PTR CALLBACK Drive(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

// The registry calls the program makes, seen and passed on. Only the
// product's calls may run while it is installed: the test helpers go
// through the same import table.
struct RegistryCall {
    std::string op;    // "open", "create", "query", "set", "close"
    std::string name;  // subkey or value name
    DWORD access;      // open/create: rights asked for
    DWORD options;     // create: options
    DWORD size;        // query: buffer size offered; set: data size
    DWORD type;        // set: type written
    uint32_t value;
    bool typeAsked;    // query: a type pointer was passed
    bool rootIsCurrentUser;
};
class RegistrySpy : public Calls<RegistryCall> {
public:
    RegistrySpy();
    bool Installed() const;
    LONG failCreate = ERROR_SUCCESS;  // non-zero: key creation fails with it

private:
    Spy<decltype(RegOpenKeyExA)> open_;
    Spy<decltype(RegCreateKeyExA)> create_;
    Spy<decltype(RegQueryValueExA)> query_;
    Spy<decltype(RegSetValueExA)> set_;
    Spy<decltype(RegCloseKey)> close_;
};

}  // namespace test
