#include "fakes.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "res/resource.h"

namespace test {

FakeTray::FakeTray(BOOL answer, DWORD lastError, int failing, bool keepsRefused)
    : Fake("SHELL32.dll", "Shell_NotifyIconA", &Answer), result(answer), error(lastError), failures(failing),
      keeps(keepsRefused)
{
}

BOOL WINAPI FakeTray::Answer(DWORD message, PNOTIFYICONDATAA data)
{
    FakeTray& self = *live_;
    TrayCall call = {message, {}, self.result};
    if (data) std::memcpy(&call.data, data, std::min<size_t>(data->cbSize, sizeof call.data));
    if (message == NIM_ADD) {
        if (self.failures > 0) {
            --self.failures;
            call.result = FALSE;
        }
        self.icon = call.result || self.keeps ? 1 : 0;
    } else if (message == NIM_MODIFY) {
        call.result = call.result && self.icon != 0;
    } else if (message == NIM_DELETE) {
        self.icon = 0;
    }
    self.Keep(call);
    if (!call.result) SetLastError(self.error);
    return call.result;
}

FakeSound::FakeSound(BOOL answer) : Fake("WINMM.dll", "sndPlaySoundA", &Answer), result(answer) {}

BOOL WINAPI FakeSound::Answer(LPCSTR sound, UINT flags)
{
    live_->Keep({sound, flags});
    return live_->result;
}

FakeTimers::FakeTimers(bool arm)
    : Fake("USER32.dll", "SetTimer", &Set), arm_(arm), kill_("USER32.dll", "KillTimer", &Kill)
{
}

UINT_PTR WINAPI FakeTimers::Set(HWND window, UINT_PTR id, UINT interval, TIMERPROC procedure)
{
    FakeTimers& self = *live_;
    self.Keep({true, window, id, interval});
    if (!self.arm_) return id;
    return self.Original<decltype(SetTimer)>()(window, id, interval, procedure);
}

BOOL WINAPI FakeTimers::Kill(HWND window, UINT_PTR id)
{
    FakeTimers& self = *live_;
    self.Keep({false, window, id, 0});
    if (!self.arm_) return TRUE;
    return self.kill_.Original<decltype(KillTimer)>()(window, id);
}

std::string Step(const TrayCall& call)
{
    switch (call.message) {
    case NIM_ADD: return call.result ? "tray add" : "tray add failed";
    case NIM_MODIFY: return call.result ? "tray modify" : "tray modify failed";
    case NIM_DELETE: return "tray delete";
    default: return "tray " + std::to_string(call.message);
    }
}

std::string Step(const SoundCall& call) { return (call.flags & SND_ASYNC) ? "sound async" : "sound to its end"; }

std::string Step(const TimerCall& call)
{
    if (!call.set) return "kill timer " + std::to_string(call.id);
    return "timer " + std::to_string(call.id) + ": " + std::to_string(call.interval) + " ms";
}

FakeTickCount::FakeTickCount(DWORD start)
    : Fake("KERNEL32.dll", "GetTickCount", &Answer), now(start), input_("USER32.dll", "GetLastInputInfo", &LastInput)
{
}

DWORD WINAPI FakeTickCount::Answer() { return live_->now; }

BOOL WINAPI FakeTickCount::LastInput(PLASTINPUTINFO input)
{
    input->dwTime = live_->now - live_->idle;
    return TRUE;
}

FakeUserLocale::FakeUserLocale(LCID locale) : Fake("KERNEL32.dll", "GetUserDefaultLCID", &Answer), lcid(locale) {}

LCID WINAPI FakeUserLocale::Answer() { return live_->lcid; }

PrivateMutex::PrivateMutex() : Fake("KERNEL32.dll", "CreateMutexA", &Create) {}

PrivateMutex::~PrivateMutex()
{
    if (handle) CloseHandle(handle);
}

HANDLE WINAPI PrivateMutex::Create(LPSECURITY_ATTRIBUTES security, BOOL owned, LPCSTR name)
{
    PrivateMutex& self = *live_;
    self.name = name ? name : "";
    char own[80];
    std::snprintf(own, sizeof own, "wingzap test mutex %lu", GetCurrentProcessId());
    HANDLE mutex = self.Original<decltype(CreateMutexA)>()(security, owned, own);
    const DWORD error = GetLastError();  // start-up asks whether it existed already
    if (self.handle) CloseHandle(self.handle);
    self.handle = mutex;
    SetLastError(error);
    return mutex;
}

FakeIconMetric::FakeIconMetric(bool isThere) : Fake("KERNEL32.dll", "GetProcAddress", &Lookup), found(isThere) {}

FARPROC WINAPI FakeIconMetric::Lookup(HMODULE module, LPCSTR name)
{
    if (!IS_INTRESOURCE(name) && std::strcmp(name, "LoadIconMetric") == 0)
        return live_->found ? reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&Load)) : nullptr;
    return live_->Original<FARPROC WINAPI(HMODULE, LPCSTR)>()(module, name);
}

HRESULT WINAPI FakeIconMetric::Load(HINSTANCE instance, PCWSTR name, int metric, HICON* icon)
{
    const uintptr_t id = IS_INTRESOURCE(name) ? reinterpret_cast<uintptr_t>(name) : 0;
    *icon = id ? static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 24, 24, 0)) : nullptr;
    live_->Keep({instance, id, metric, *icon});
    return *icon ? S_OK : E_FAIL;
}

MissingBitmap::MissingBitmap(unsigned id) : Fake("USER32.dll", "LoadBitmapA", &Load), missing(id) {}

HBITMAP WINAPI MissingBitmap::Load(HINSTANCE instance, LPCSTR name)
{
    MissingBitmap& self = *live_;
    if (IS_INTRESOURCE(name) && reinterpret_cast<uintptr_t>(name) == self.missing) return nullptr;
    return self.Original<decltype(LoadBitmapA)>()(instance, name);
}

// Fake monitor handles: numbers no real handle has.
static const uintptr_t kFakeMonitorBase = 0x7A000000;

static int FakeIndex(HMONITOR monitor, size_t count)
{
    const uintptr_t n = reinterpret_cast<uintptr_t>(monitor) - kFakeMonitorBase;
    return n < count ? static_cast<int>(n) : -1;
}

static HMONITOR FakeHandle(size_t index) { return reinterpret_cast<HMONITOR>(kFakeMonitorBase + index); }

FakeMonitors::FakeMonitors(std::vector<FakeMonitor> laidOut, POINT at, bool virtualScreen)
    : Fake("USER32.dll", "MonitorFromPoint", &FromPoint), monitors(std::move(laidOut)), pointer(at),
      screen(virtualScreen),
      fromRect_("USER32.dll", "MonitorFromRect", &FromRect), info_("USER32.dll", "GetMonitorInfoA", &Info),
      metrics_("USER32.dll", "GetSystemMetrics", &Metrics), cursor_("USER32.dll", "GetCursorPos", &Cursor),
      lookup_("KERNEL32.dll", "GetProcAddress", &Lookup), caps_("GDI32.dll", "GetDeviceCaps", &Caps)
{
}

bool FakeMonitors::Installed() const
{
    return Fake::Installed() && fromRect_.Installed() && info_.Installed() && metrics_.Installed() &&
           cursor_.Installed() && lookup_.Installed() && caps_.Installed();
}

// The monitor a point lies on, or by `flags` the primary, the nearest or none.
HMONITOR WINAPI FakeMonitors::FromPoint(POINT point, DWORD flags)
{
    const std::vector<FakeMonitor>& all = live_->monitors;
    long best = -1, nearest = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        const RECT& r = all[i].rect;
        if (PtInRect(&r, point)) return FakeHandle(i);
        const long dx = point.x < r.left ? r.left - point.x : point.x >= r.right ? point.x - r.right + 1 : 0;
        const long dy = point.y < r.top ? r.top - point.y : point.y >= r.bottom ? point.y - r.bottom + 1 : 0;
        if (best < 0 || dx * dx + dy * dy < best) {
            best = dx * dx + dy * dy;
            nearest = static_cast<long>(i);
        }
    }
    if (flags == MONITOR_DEFAULTTONEAREST && best >= 0) return FakeHandle(nearest);
    return flags == MONITOR_DEFAULTTOPRIMARY && !all.empty() ? FakeHandle(0) : nullptr;
}

HMONITOR WINAPI FakeMonitors::FromRect(LPCRECT rect, DWORD flags)
{
    const std::vector<FakeMonitor>& all = live_->monitors;
    for (size_t i = 0; i < all.size(); ++i) {
        RECT common;
        if (IntersectRect(&common, rect, &all[i].rect)) return FakeHandle(i);
    }
    return FromPoint(POINT{rect->left, rect->top}, flags);
}

BOOL WINAPI FakeMonitors::Info(HMONITOR monitor, LPMONITORINFO info)
{
    FakeMonitors& self = *live_;
    const int i = FakeIndex(monitor, self.monitors.size());
    if (i < 0) return self.info_.Original<decltype(GetMonitorInfoA)>()(monitor, info);
    info->rcMonitor = info->rcWork = self.monitors[i].rect;
    info->dwFlags = i == 0 ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}

int WINAPI FakeMonitors::Metrics(int index)
{
    FakeMonitors& self = *live_;
    if (!self.screen) return self.metrics_.Original<decltype(GetSystemMetrics)>()(index);
    RECT all = {};
    for (const FakeMonitor& m : self.monitors) UnionRect(&all, &all, &m.rect);
    const RECT& primary = self.monitors.empty() ? all : self.monitors[0].rect;
    switch (index) {
    case SM_XVIRTUALSCREEN: return all.left;
    case SM_YVIRTUALSCREEN: return all.top;
    case SM_CXVIRTUALSCREEN: return all.right - all.left;
    case SM_CYVIRTUALSCREEN: return all.bottom - all.top;
    case SM_CXSCREEN: return primary.right - primary.left;
    case SM_CYSCREEN: return primary.bottom - primary.top;
    case SM_CMONITORS: return static_cast<int>(self.monitors.size());
    default: return self.metrics_.Original<decltype(GetSystemMetrics)>()(index);
    }
}

BOOL WINAPI FakeMonitors::Cursor(LPPOINT point)
{
    *point = live_->pointer;
    return TRUE;
}

template <typename F>
static FARPROC Found(F* function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

FARPROC WINAPI FakeMonitors::Lookup(HMODULE module, LPCSTR name)
{
    const FakeMonitors& self = *live_;
    const auto is = [name](const char* what) { return !IS_INTRESOURCE(name) && std::strcmp(name, what) == 0; };
    const bool vista = self.system == kWindowsVista;
    if (self.system != kWindows10 &&
        (is("GetWindowDpiAwarenessContext") || is("SetThreadDpiAwarenessContext") || is("GetDpiForWindow")))
        return nullptr;
    if (vista && (is("GetDpiForMonitor") || is("GetProcessDpiAwareness") || is("PhysicalToLogicalPointForPerMonitorDPI")))
        return nullptr;
    if (is("GetDpiForMonitor")) return Found(&Dpi);
    if (is("GetProcessDpiAwareness") && self.awarenessHidden) return Found(&Awareness);
    if (is("PhysicalToLogicalPoint")) return vista ? Found(&ToOwnPixels) : Found(&AsGiven);
    if (is("PhysicalToLogicalPointForPerMonitorDPI")) return Found(&ToOwnPixels);
    return self.lookup_.Original<FARPROC WINAPI(HMODULE, LPCSTR)>()(module, name);
}

int WINAPI FakeMonitors::Caps(HDC dc, int index)
{
    const FakeMonitors& self = *live_;
    if (self.system == kWindowsVista && (index == LOGPIXELSX || index == LOGPIXELSY) && !self.monitors.empty())
        return self.monitors[0].dpi;
    return self.caps_.Original<decltype(GetDeviceCaps)>()(dc, index);
}

HRESULT WINAPI FakeMonitors::Awareness(HANDLE, int*) { return E_ACCESSDENIED; }

// The system's checks, the strictest reading: a window there, and the
// point one of its pixels.
static bool OnWindow(HWND window, const POINT& point)
{
    RECT r;
    return GetWindowRect(window, &r) && PtInRect(&r, point);
}

BOOL WINAPI FakeMonitors::ToOwnPixels(HWND window, POINT* point)
{
    const FakeMonitors& self = *live_;
    if (!point || !OnWindow(window, *point)) return FALSE;
    for (const ScaledWindow& s : self.scaled) {
        if (s.window != window || self.monitors.empty()) continue;
        point->x = MulDiv(point->x, s.dpi, self.monitors[0].dpi);
        point->y = MulDiv(point->y, s.dpi, self.monitors[0].dpi);
    }
    return TRUE;
}

BOOL WINAPI FakeMonitors::AsGiven(HWND window, POINT* point) { return point && OnWindow(window, *point); }

HRESULT WINAPI FakeMonitors::Dpi(HMONITOR monitor, int, UINT* x, UINT* y)
{
    const int i = FakeIndex(monitor, live_->monitors.size());
    if (i < 0) return E_INVALIDARG;
    *x = *y = static_cast<UINT>(live_->monitors[i].dpi);
    return S_OK;
}

FakeDialog::FakeDialog(Mode how) : Fake("USER32.dll", "DialogBoxParamA", &Open), mode(how) {}

enum : UINT { kRunScript = WM_APP + 7 };
enum : UINT_PTR { kWatchdog = 77 };

INT_PTR WINAPI FakeDialog::Open(HINSTANCE module, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param)
{
    FakeDialog& self = *live_;
    ++self.opened;
    self.module = module;
    self.name = name;
    self.owner = owner;
    self.proc = proc;
    if (self.then) self.then();
    if (self.mode == kFail) return -1;
    if (self.mode == kCancel) return IDCANCEL;
    return self.Original<decltype(DialogBoxParamA)>()(module, name, owner, Drive, param);
}

// The program's own procedure, with the script run once the dialog is up.
INT_PTR CALLBACK FakeDialog::Drive(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    FakeDialog& self = *live_;
    if (message == kRunScript) {
        if (self.script)
            self.script(dialog);
        else
            SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        return TRUE;
    }
    if (message == WM_TIMER && wParam == kWatchdog) {  // a script that left the dialog open
        self.timedOut = true;
        EndDialog(dialog, 99);
        return TRUE;
    }
    INT_PTR result = self.proc(dialog, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        PostMessageA(dialog, kRunScript, 0, 0);
        SetTimer(dialog, kWatchdog, 5000, nullptr);
    }
    return result;
}

RegistrySpy::RegistrySpy()
    : open_("ADVAPI32.dll", "RegOpenKeyExA"), create_("ADVAPI32.dll", "RegCreateKeyExA"),
      query_("ADVAPI32.dll", "RegQueryValueExA"), set_("ADVAPI32.dll", "RegSetValueExA"),
      close_("ADVAPI32.dll", "RegCloseKey")
{
    // op, name, access, options, size, type, value, typeAsked, rootIsCurrentUser
    open_.note = [this](HKEY root, LPCSTR subkey, DWORD, REGSAM access, PHKEY) {
        Keep({"open", subkey ? subkey : "", access, 0, 0, 0, 0, false, root == HKEY_CURRENT_USER});
    };
    create_.note = [this](HKEY root, LPCSTR subkey, DWORD, LPSTR, DWORD options, REGSAM access,
                          LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD) {
        Keep({"create", subkey ? subkey : "", access, options, 0, 0, 0, false, root == HKEY_CURRENT_USER});
    };
    create_.answer = [this](HKEY root, LPCSTR subkey, DWORD reserved, LPSTR cls, DWORD options, REGSAM access,
                            LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
        if (failCreate != ERROR_SUCCESS) return failCreate;
        return create_.Real(root, subkey, reserved, cls, options, access, security, result, disposition);
    };
    query_.note = [this](HKEY, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE, LPDWORD size) {
        Keep({"query", name ? name : "", 0, 0, size ? *size : 0, 0, 0, type != nullptr, false});
    };
    set_.note = [this](HKEY, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
        uint32_t value = 0;
        if (data && size >= 4) std::memcpy(&value, data, 4);
        Keep({"set", name ? name : "", 0, 0, size, type, value, false, false});
    };
    close_.note = [this](HKEY) { Keep({"close", "", 0, 0, 0, 0, 0, false, false}); };
}

bool RegistrySpy::Installed() const
{
    return open_.Installed() && create_.Installed() && query_.Installed() && set_.Installed() && close_.Installed();
}

}  // namespace test
