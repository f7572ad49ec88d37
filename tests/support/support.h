// Helpers shared by the test programs.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace test {

// Path of the shipped 32-bit Wingzap.exe, in Windows form.
std::string ProductExePath();
// The program as built for this test run (64-bit), to be started as a process.
std::string RuntimeExePath();
// Folder of the test programs (for helper exes and screenshots).
std::string TestDir();

// The shipped exe, mapped as data so its resources can be read.
HMODULE ProductResources();

// The bytes of one resource of a module; empty when absent.
std::vector<uint8_t> ResourceBytes(HMODULE module, LPCSTR type, unsigned id);

// A packed device-independent bitmap as the resource holds it.
struct Dib {
    int width = 0, height = 0, bitsPerPixel = 0, planes = 0, compression = -1;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> colorTable;  // 0x00RRGGBB
    std::vector<uint8_t> bits;
    int stride = 0;
    bool valid = false;
    // Pixel at column x, row y counted from the top: 0x00RRGGBB, or the
    // index for 1-bit images.
    uint32_t At(int x, int y) const;
};
Dib ParseDib(const std::vector<uint8_t>& bytes);

// A RIFF WAVE image: where its format and its samples are.
struct Wave {
    std::vector<uint8_t> format;   // the fmt chunk's body
    std::vector<uint8_t> samples;  // the data chunk's body
    double Seconds() const;
};
// Only the first `available` bytes are read: a file still being written has
// no final sizes in its header yet.
Wave ParseWave(const uint8_t* image, size_t available);
// A "WAVE" resource of a module; empty when absent.
Wave ResourceWave(HMODULE module, unsigned id);

// Counts of the process's GDI and USER objects (under Wine: GDI handles in
// use, and the process's windows).
DWORD GdiObjects();
DWORD UserObjects();
// Committed private memory of the process, in bytes.
SIZE_T CommittedPrivateBytes();
// The process's working set in bytes (under Wine: everything resident,
// the Unix side's heap and libraries included).
SIZE_T WorkingSetBytes();

}  // namespace test

namespace test {

// Replaces, in this exe's import table, the entry of `function` from `dll`
// (e.g. "USER32.dll", "SetTimer") with `replacement`; returns the original,
// or nullptr when the exe does not import it. The product code is linked
// into the test exe, so its calls go through this table: a seam for
// observing and steering platform calls without touching the product.
void* HookImport(const char* dll, const char* function, void* replacement);

// Puts a hook back when the scope ends.
class ImportHook {
public:
    template <typename F>
    ImportHook(const char* dll, const char* function, F* replacement)
        : dll_(dll), function_(function),
          original_(HookImport(dll, function, reinterpret_cast<void*>(replacement))) {}
    ~ImportHook() { if (original_) HookImport(dll_, function_, original_); }
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
    template <typename F> F* Original() const { return reinterpret_cast<F*>(original_); }
    bool Installed() const { return original_ != nullptr; }

private:
    const char* dll_;
    const char* function_;
    void* original_;
};

// Deletes the program's key (kRegistryKey under HKEY_CURRENT_USER) now and
// again when the scope ends.
class CleanRegistry {
public:
    CleanRegistry();
    ~CleanRegistry();
};
// The program's key: deleted at once; there or not.
void DeleteKey();
bool KeyExists();
struct StoredValue {
    const char* name;
    DWORD value;
};
// REG_DWORD values written into the program's key.
void WriteValues(const std::vector<StoredValue>& values);
// Exactly these REG_DWORD values in the program's key.
void ExpectStored(const std::vector<StoredValue>& expected);
bool ReadValue(const char* name, DWORD* value, DWORD* type = nullptr);
void WriteValue(const char* name, DWORD value, DWORD type = REG_DWORD);
void WriteRaw(const char* name, const void* data, DWORD size, DWORD type);
std::vector<std::string> ValueNames();

// Handles all pending messages of this thread.
void PumpMessages();

// Moves the X server's pointer to a point of the virtual desktop (which
// lies at the X screen's top left) with xdotool, as a mouse would; false
// where there is no xdotool to run.
bool MoveXPointer(int x, int y);

// Left-button presses at a screen point of any monitor, as the user's mouse
// makes them: the pointer moves there, and the button goes down once it is
// there.
testing::AssertionResult Click(int x, int y, int presses);

// Pixel of the live screen.
COLORREF ScreenPixel(int x, int y);

// The whole screen at one moment.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // top row first, 0x00RRGGBB
    // 0x00RRGGBB, as the art's bitmaps give it; 0xFFFFFFFF outside.
    uint32_t Rgb(int x, int y) const;
    // As GetPixel gives it; CLR_INVALID outside.
    COLORREF Colour(int x, int y) const;
};
Screenshot CaptureScreen();
// Only `area` of the screen: its top left is the picture's (0, 0).
Screenshot CaptureScreen(const RECT& area);
// The header of a 32-bit top-down DIB of that size.
BITMAPINFO TopDownInfo(int width, int height);
// A 24-bit bottom-up .bmp, the form every viewer reads.
bool SaveBmp(const Screenshot& shot, const std::string& path);
// The display at `width` x `height` for the scope (Wine's virtual desktop
// follows it), then back at the size it had.
class ScreenSize {
public:
    ScreenSize(int width, int height);
    ~ScreenSize();
    ScreenSize(const ScreenSize&) = delete;
    ScreenSize& operator=(const ScreenSize&) = delete;
    bool Set() const { return set_; }

private:
    int oldWidth_, oldHeight_;
    bool set_ = false;
};
// The display at `width` x `height` from now on; true once the system says so.
bool ChangeScreen(int width, int height);
// The same, set by another process (display_test.exe, beside the test
// programs) as a settings dialog or a Remote Desktop client would; this
// thread handles its messages meanwhile, the WM_DISPLAYCHANGE among them.
bool ChangeScreenElsewhere(int width, int height);

// Keeps the screen of this moment as failures/<test>-<n>.bmp in the test
// folder (under build/); returns the file's path.
std::string KeepScreen();

}  // namespace test

namespace test {

// The program's modules set up in this process as start-up does (language,
// settings and statistics as stored, window classes, frame banks, both
// windows parked), without the message loop; everything reset on the way
// out. The test exe must carry the resources (RESOURCES in CMake).
class Program {
public:
    explicit Program(bool createWindows = true);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    bool Loaded() const { return loaded_; }

private:
    bool loaded_ = false;
};

// Every module back to its state at process start.
void ResetAllModules();

// The shell's tooltips, the notification area's among them: each tool's
// text and the window it belongs to.
struct ShellTooltip {
    std::string text;
    HWND tool;
};
std::vector<ShellTooltip> ShellTooltips();

}  // namespace test

namespace test {

// Polls `condition` every 10 ms until it holds or `ms` have passed; with
// `pump`, this thread's messages are handled meanwhile. No fixed sleeps.
// The clock is GetTickCount64: GetTickCount may be a test's fake.
template <typename F>
bool WaitFor(F condition, DWORD ms, bool pump = false)
{
    ULONGLONG start = GetTickCount64();
    for (;;) {
        if (pump) PumpMessages();
        if (condition()) return true;
        if (GetTickCount64() - start > ms) return false;
        Sleep(10);
    }
}

// WaitFor for the checks of a running program: when `condition` does not
// come true in time, the failure says what was awaited and keeps a
// screenshot of that moment.
template <typename F>
testing::AssertionResult Awaited(const char* what, F condition, DWORD ms, bool pump = false)
{
    if (WaitFor(condition, ms, pump)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "waited " << ms << " ms for " << what << "; the screen then: "
                                       << KeepScreen();
}

}  // namespace test

namespace test {

// A started program; ended by force when a failed check left it running.
class Process {
public:
    explicit Process(const std::string& exe);
    // Started through Wine's loader with LC_ALL=`locale` (e.g.
    // "de_DE.UTF-8"): Wine takes the user's locale from the loader's Unix
    // environment, which the environment block of a Windows parent does not
    // reach. Wine hands out no handle to a Unix program, so the process is
    // unknown, and counts as running, until Adopt() names the program's own.
    Process(const std::string& exe, const char* locale);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return started_; }
    bool Unknown() const { return started_ && !info_.hProcess; }
    // Takes process `id` as this one (the program a loader started).
    bool Adopt(DWORD id);
    DWORD Id() const { return info_.dwProcessId; }
    bool Running() const;
    // True with the exit code once the process has ended within `ms`.
    bool Ended(DWORD ms, DWORD* code) const;
    // The exit code, or STILL_ACTIVE when it did not end within `ms`.
    DWORD Wait(DWORD ms) const;
    // Ends it from outside, as a crash or a power cut would: no quit, no
    // shut-down of its own. True once it has ended.
    bool Kill();

private:
    void Start(const char* application, std::string command);

    PROCESS_INFORMATION info_ = {};
    bool started_ = false;
};

// The background windows of the program in `process` (0: in any process but
// this one).
std::vector<HWND> BackgroundWindows(DWORD process);
// Both windows of the started program; the sprite window comes a moment
// after the background window.
testing::AssertionResult WaitForWindows(Process& p, HWND* background, HWND* sprite);
// Ends the program as the tray menu's Quit does: its exit code, or
// STILL_ACTIVE while it runs on after `ms`.
DWORD QuitThroughTheMenu(const Process& p, HWND background, DWORD ms = 20000);

}  // namespace test

namespace test {

// A window of this thread, destroyed when the scope ends.
struct WindowGuard {
    explicit WindowGuard(HWND w = nullptr) : window(w) {}
    ~WindowGuard() { Reset(); }
    WindowGuard(const WindowGuard&) = delete;
    WindowGuard& operator=(const WindowGuard&) = delete;
    // Destroys the window held, then holds `w`.
    void Reset(HWND w = nullptr)
    {
        if (window) DestroyWindow(window);
        window = w;
    }
    HWND window;
};

// The window's rectangle on the screen; empty when it has none.
RECT WindowRect(HWND window);

// A plain window of this thread (a static control as a popup): stands for
// another program's window where no second process is needed.
HWND LocalWindow(const char* title, int x, int y, int width, int height, DWORD style = WS_POPUP | WS_VISIBLE,
                 DWORD exStyle = 0);

// GetWindowRgn's answer for the window: ERROR when it has no region.
int RegionType(HWND window);

// A window of another program, as victim.exe makes it.
struct VictimWindow {
    const char* name;
    int x, y, width, height;
    unsigned rgb;       // 0xRRGGBB
    // "-", or r (round region), e (empty region), h (hidden), m (minimised),
    // f (foreground), l (right-to-left layout)
    const char* flags;
};

// Windows owned by a second process, victim.exe (built beside the test
// programs), as another program's windows would be; the process ends with
// the scope.
class Victims {
public:
    explicit Victims(std::initializer_list<VictimWindow> wanted)
        : Victims(std::vector<VictimWindow>(wanted)) {}
    explicit Victims(const std::vector<VictimWindow>& wanted);
    ~Victims();
    Victims(const Victims&) = delete;
    Victims& operator=(const Victims&) = delete;

    // Every window exists and stands as asked.
    bool Ready() const;
    HWND operator[](const std::string& name) const;
    // Closes one window as its owner would on WM_CLOSE.
    bool Close(const std::string& name) const;
    // The process stops pumping messages, as a hung program does, for `ms`
    // or until Release(); true once it has stopped.
    bool Hang(DWORD ms = INFINITE) const;
    // Ends a hang; true once the windows answer again.
    bool Release() const;
    // One window sets a region of its own (kVictimReshape), as a skinned
    // program does; true once it has.
    bool Reshape(const std::string& name) const;

private:
    HANDLE readyEvent_ = nullptr, releaseEvent_ = nullptr;
    bool started_ = false, ready_ = false;
    PROCESS_INFORMATION process_ = {};
    std::map<std::string, HWND> windows_;
};

}  // namespace test

namespace test {

// ---------------------------------------------------------------------------
// Fakes of the platform calls the program makes, put into the import table
// for the scope of their object. The calls go to the newest object of a
// kind; an older one gets them back when it ends.

template <typename Self>
class Fake {
public:
    Fake(const Fake&) = delete;
    Fake& operator=(const Fake&) = delete;
    bool Installed() const { return hook_.Installed(); }

protected:
    template <typename F>
    Fake(const char* dll, const char* function, F* fake) : hook_(dll, function, fake), previous_(live_)
    {
        live_ = static_cast<Self*>(this);
    }
    ~Fake() { live_ = previous_; }
    template <typename F> F* Original() const { return hook_.Original<F>(); }

    static Self* live_;

private:
    ImportHook hook_;
    Self* previous_;
};
template <typename Self> Self* Fake<Self>::live_ = nullptr;

// What a fake keeps: every call, in order. `then` runs right after a call is
// kept, for a test that notes the program's state at that moment or logs
// calls of several fakes in one order.
template <typename Call>
struct Calls {
    std::vector<Call> calls;
    std::function<void(const Call&)> then;

    void Keep(const Call& call)
    {
        calls.push_back(call);
        if (then) then(calls.back());
    }
};

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

// The program's modules as start-up leaves them (see Program) for a user of
// `locale`, from a registry without the program's key.
class ProgramAs {
public:
    explicit ProgramAs(LCID locale) : user_(locale) {}
    bool Installed() const;

private:
    FakeUserLocale user_;
    CleanRegistry clean_;
    Program program_;
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
struct FakeMonitor {
    RECT rect;
    int dpi;
};
class FakeMonitors : public Fake<FakeMonitors> {
public:
    explicit FakeMonitors(std::vector<FakeMonitor> laidOut, POINT at = {0, 0}, bool virtualScreen = true);
    bool Installed() const;
    std::vector<FakeMonitor> monitors;
    POINT pointer;
    bool screen;

private:
    static HMONITOR WINAPI FromPoint(POINT point, DWORD flags);
    static HMONITOR WINAPI FromRect(LPCRECT rect, DWORD flags);
    static BOOL WINAPI Info(HMONITOR monitor, LPMONITORINFO info);
    static int WINAPI Metrics(int index);
    static BOOL WINAPI Cursor(LPPOINT point);
    static FARPROC WINAPI Lookup(HMODULE module, LPCSTR name);
    static HRESULT WINAPI Dpi(HMONITOR monitor, int type, UINT* x, UINT* y);
    ImportHook fromRect_, info_, metrics_, cursor_, lookup_;
};

// LoadBitmapA: bitmap `missing` (0: none) is not there, every other loads.
class MissingBitmap : public Fake<MissingBitmap> {
public:
    explicit MissingBitmap(unsigned id = 0);
    unsigned missing;

private:
    static HBITMAP WINAPI Load(HINSTANCE instance, LPCSTR name);
};

}  // namespace test
