#include "processes.h"

#include <commctrl.h>

#include "app/app.h"
#include "res/resource.h"
#include "screen.h"

namespace test {

Process::Process(const std::string& exe) { Start(exe.c_str(), "\"" + exe + "\""); }

Process::Process(const std::string& exe, const char* locale)
{
    char loader[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("WINELOADER", loader, sizeof loader)) return;
    Start(nullptr, std::string("/usr/bin/env LC_ALL=") + locale + " " + loader + " \"" + exe + "\"");
}

void Process::Start(const char* application, std::string command)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(application, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &info_) != FALSE;
}

Process::~Process()
{
    if (!started_ || !info_.hProcess) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 10000);
    }
    if (info_.hThread) CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool Process::Adopt(DWORD id)
{
    HANDLE own = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!own) return false;
    if (info_.hThread) CloseHandle(info_.hThread);
    if (info_.hProcess) CloseHandle(info_.hProcess);
    info_ = PROCESS_INFORMATION{own, nullptr, id, 0};
    return true;
}

bool Process::Running() const
{
    return Unknown() || (started_ && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT);
}

bool Process::Ended(DWORD ms, DWORD* code) const
{
    if (!started_ || WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(info_.hProcess, code) != FALSE;
}

bool Process::Kill()
{
    return started_ && TerminateProcess(info_.hProcess, 1) && WaitForSingleObject(info_.hProcess, 10000) == WAIT_OBJECT_0;
}

DWORD Process::Wait(DWORD ms) const
{
    DWORD code = STILL_ACTIVE;
    return Ended(ms, &code) ? code : STILL_ACTIVE;
}

DWORD OwnerOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

std::vector<HWND> BackgroundWindows(DWORD process)
{
    std::vector<HWND> found;
    for (HWND w = FindWindowExA(nullptr, nullptr, kBackgroundClass, "Background"); w;
         w = FindWindowExA(nullptr, w, kBackgroundClass, "Background")) {
        const DWORD owner = OwnerOf(w);
        if (process ? owner == process : owner != GetCurrentProcessId()) found.push_back(w);
    }
    return found;
}

testing::AssertionResult WaitForWindows(Process& p, HWND* background, HWND* sprite)
{
    *background = *sprite = nullptr;
    if (!p.Started()) return testing::AssertionFailure() << "the program did not start";
    testing::AssertionResult seen = Awaited("the program's two windows", [&] {
        std::vector<HWND> found = BackgroundWindows(p.Unknown() ? 0 : p.Id());
        if (found.empty()) return !p.Running();
        if (p.Unknown() && !p.Adopt(OwnerOf(found[0]))) return false;
        *background = found[0];
        *sprite = FindWindowExA(found[0], nullptr, kSpriteClass, "Sprite");
        return *sprite != nullptr;
    }, 20000);
    if (seen && !*sprite) return testing::AssertionFailure() << "the program ended before it showed its windows";
    return seen;
}

DWORD QuitThroughTheMenu(const Process& p, HWND background, DWORD ms)
{
    PostMessageA(background, WM_COMMAND, CMD_QUIT, 0);
    return p.Wait(ms);
}

// A tool's record in the layout of a 64-bit shell, which a 32-bit test on a
// 64-bit system (or prefix) asks.
struct ToolInfo64 {
    UINT cbSize, uFlags;
    uint64_t hwnd, uId;
    RECT rect;
    uint64_t hinst, lpszText, lParam, lpReserved;
};

static bool ShellIs64Bit(HANDLE shell)
{
    BOOL testIsWow64 = FALSE, shellIsWow64 = FALSE;
    return sizeof(void*) == 4 && IsWow64Process(GetCurrentProcess(), &testIsWow64) && testIsWow64 &&
           IsWow64Process(shell, &shellIsWow64) && !shellIsWow64;
}

// Memory lent in another process at an address a 32-bit test can name. A
// 64-bit process may place what VirtualAllocEx asks for above 4 GB (Wine 10's
// shell did), where a 32-bit caller sees the address cut short: the first free
// stretch below 2 GB is asked for by its address instead.
static void* LendLowMemory(HANDLE process, size_t size)
{
    const uintptr_t kGranularity = 0x10000, kLimit = 0x80000000u;
    MEMORY_BASIC_INFORMATION m;
    uintptr_t at = kGranularity;
    while (at < kLimit && VirtualQueryEx(process, reinterpret_cast<void*>(at), &m, sizeof m)) {
        const uintptr_t base = reinterpret_cast<uintptr_t>(m.BaseAddress);
        const uintptr_t start = (base + kGranularity - 1) & ~(kGranularity - 1), end = base + m.RegionSize;
        if (end <= at) break;  // the last stretch, cut short
        if (m.State == MEM_FREE && start < end && end - start >= size)
            if (void* lent = VirtualAllocEx(process, reinterpret_cast<void*>(start), size, MEM_RESERVE | MEM_COMMIT,
                                            PAGE_READWRITE))
                return lent;
        at = end;
    }
    return nullptr;
}

// Read through memory lent in the shell's process, as a tooltip message
// carries pointers.
std::vector<ShellTooltip> ShellTooltips()
{
    std::vector<ShellTooltip> tips;
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    DWORD pid = 0;
    if (!tray || !GetWindowThreadProcessId(tray, &pid)) return tips;
    std::vector<HWND> tooltips;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        DWORD owner = 0;
        char cls[64];
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && GetClassNameA(w, cls, sizeof cls) && lstrcmpiA(cls, TOOLTIPS_CLASSA) == 0)
            tooltips.push_back(w);
    }
    HANDLE shell = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                               FALSE, pid);
    if (!shell) return tips;
    const bool wide = ShellIs64Bit(shell);
    const size_t infoSize = wide ? sizeof(ToolInfo64) : sizeof(TTTOOLINFOW);
    const size_t kChars = 512;
    auto* remote = static_cast<uint8_t*>(LendLowMemory(shell, sizeof(ToolInfo64) + kChars * sizeof(WCHAR)));
    for (HWND tooltip : tooltips) {
        if (!remote) break;
        DWORD_PTR count = 0;
        if (!SendMessageTimeoutW(tooltip, TTM_GETTOOLCOUNT, 0, 0, SMTO_NORMAL, 2000, &count)) continue;
        for (DWORD_PTR i = 0; i < count; ++i) {
            TTTOOLINFOW info = {};
            info.cbSize = sizeof info;
            info.lpszText = reinterpret_cast<LPWSTR>(remote + infoSize);
            ToolInfo64 info64 = {};
            info64.cbSize = sizeof info64;
            info64.lpszText = reinterpret_cast<uintptr_t>(remote + infoSize);
            WCHAR text[kChars] = {};
            DWORD_PTR done = 0;
            if (!WriteProcessMemory(shell, remote, wide ? static_cast<const void*>(&info64) : &info, infoSize,
                                    nullptr) ||
                !WriteProcessMemory(shell, remote + infoSize, text, sizeof text, nullptr) ||
                !SendMessageTimeoutW(tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 2000,
                                     &done) ||
                !done ||
                !ReadProcessMemory(shell, remote, wide ? static_cast<void*>(&info64) : &info, infoSize, nullptr) ||
                !ReadProcessMemory(shell, remote + infoSize, text, sizeof text - sizeof(WCHAR), nullptr))
                continue;
            char ansi[kChars * 2] = {};
            WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi - 1, nullptr, nullptr);
            tips.push_back({ansi, wide ? reinterpret_cast<HWND>(static_cast<uintptr_t>(info64.hwnd)) : info.hwnd});
        }
    }
    if (remote) VirtualFreeEx(shell, remote, 0, MEM_RELEASE);
    CloseHandle(shell);
    return tips;
}

}  // namespace test
