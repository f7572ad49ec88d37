#include "support.h"

#include <winternl.h>
#include <commctrl.h>
#include <psapi.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "res/resource.h"
#include "store/store.h"
#include "victim.h"

namespace test {

static std::string EnvOr(const char* name, const char* fallback)
{
    const char* v = std::getenv(name);
    return v ? v : fallback;
}

std::string ProductExePath() { return EnvOr("WINGZAP_EXE", "Wingzap.exe"); }
std::string RuntimeExePath() { return EnvOr("WINGZAP_RUNTIME_EXE", "Wingzap.exe"); }
std::string TestDir() { return EnvOr("WINGZAP_TEST_DIR", "."); }

HMODULE ProductResources()
{
    static HMODULE module =
        LoadLibraryExA(ProductExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

std::vector<uint8_t> ResourceBytes(HMODULE module, LPCSTR type, unsigned id)
{
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!info) return {};
    HGLOBAL handle = LoadResource(module, info);
    const uint8_t* data = handle ? static_cast<const uint8_t*>(LockResource(handle)) : nullptr;
    if (!data) return {};
    return std::vector<uint8_t>(data, data + SizeofResource(module, info));
}

Dib ParseDib(const std::vector<uint8_t>& bytes)
{
    Dib dib;
    if (bytes.size() < sizeof(BITMAPINFOHEADER)) return dib;
    BITMAPINFOHEADER h;
    std::memcpy(&h, bytes.data(), sizeof h);
    if (h.biSize != sizeof h) return dib;
    dib.width = h.biWidth;
    dib.height = h.biHeight;
    dib.bitsPerPixel = h.biBitCount;
    dib.planes = h.biPlanes;
    dib.compression = static_cast<int>(h.biCompression);
    dib.colorsUsed = h.biClrUsed;
    size_t colors = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : (1u << h.biBitCount)) : 0;
    size_t offset = sizeof h;
    for (size_t i = 0; i < colors && offset + 4 <= bytes.size(); ++i, offset += 4)
        dib.colorTable.push_back(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16);
    dib.stride = ((dib.width * dib.bitsPerPixel + 31) / 32) * 4;
    dib.bits.assign(bytes.begin() + static_cast<long>(std::min(offset, bytes.size())), bytes.end());
    dib.valid = dib.height > 0 && dib.bits.size() >= static_cast<size_t>(dib.stride) * dib.height;
    return dib;
}

uint32_t Dib::At(int x, int y) const
{
    const uint8_t* row = bits.data() + static_cast<size_t>(height - 1 - y) * stride;
    if (bitsPerPixel == 1) return (row[x / 8] >> (7 - x % 8)) & 1;
    if (bitsPerPixel == 4) return (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    const uint8_t* p = row + x * 3;
    return p[0] | p[1] << 8 | p[2] << 16;
}

double Wave::Seconds() const
{
    if (format.size() < 16) return 0;
    uint32_t bytesPerSecond;
    std::memcpy(&bytesPerSecond, &format[8], 4);
    return bytesPerSecond ? double(samples.size()) / bytesPerSecond : 0;
}

Wave ParseWave(const uint8_t* image, size_t available)
{
    Wave w;
    if (!image || available < 12 || std::memcmp(image, "RIFF", 4) || std::memcmp(image + 8, "WAVE", 4)) return w;
    size_t at = 12;
    while (at + 8 <= available) {
        uint32_t size;
        std::memcpy(&size, image + at + 4, 4);
        const uint8_t* body = image + at + 8;
        size_t room = available - (at + 8);
        size_t take = size < room ? size : room;
        if (!std::memcmp(image + at, "fmt ", 4)) w.format.assign(body, body + take);
        if (!std::memcmp(image + at, "data", 4)) {
            w.samples.assign(body, body + take);
            break;
        }
        at += 8 + size + (size & 1);
    }
    return w;
}

Wave ResourceWave(HMODULE module, unsigned id)
{
    std::vector<uint8_t> bytes = ResourceBytes(module, "WAVE", id);
    return ParseWave(bytes.data(), bytes.size());
}

// Wine answers 0 to GetGuiResources. It keeps the process's GDI handles in
// a table that the process environment block points to (as Windows once
// did): 64K entries of 24 bytes, an entry in use while it has a type. A
// freed entry keeps an object field: the link of Wine's free list.
struct WineGdiEntry {
    uint64_t object;
    uint32_t owner;
    uint32_t uniqueTypeFlags;  // unique 16 bits, type 8, flags 8
    uint64_t userData;
    bool InUse() const { return ((uniqueTypeFlags >> 16) & 0xFF) != 0; }
};
static_assert(sizeof(WineGdiEntry) == 24, "layout of Wine's GDI handle table");

static const WineGdiEntry* WineGdiTable()
{
    // The process environment block holds the table's address (its
    // GdiSharedHandleTable field); the TEB leads there.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"  // mingw's NtCurrentTeb trips it
    const uint8_t* peb = reinterpret_cast<const uint8_t*>(NtCurrentTeb()->ProcessEnvironmentBlock);
#pragma GCC diagnostic pop
#ifdef _WIN64
    return *reinterpret_cast<const WineGdiEntry* const*>(peb + 0xF8);
#else
    return *reinterpret_cast<const WineGdiEntry* const*>(peb + 0x94);
#endif
}

DWORD GdiObjects()
{
    if (DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return n;
    const WineGdiEntry* table = WineGdiTable();
    if (!table) return 0;
    DWORD n = 0;
    for (int i = 0; i < 0x10000; ++i) n += table[i].InUse();
    return n;
}

static BOOL CALLBACK CountWindow(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<DWORD*>(count);
    EnumChildWindows(window, CountWindow, count);
    return TRUE;
}

// Wine has no USER object count either: there the windows of this process
// are counted, the USER objects the program makes besides menus.
DWORD UserObjects()
{
    if (DWORD n = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return n;
    DWORD n = 0;
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&n));
    return n;
}

// Committed private memory of the process, walked region by region: Wine
// reports no private bytes through the process memory counters.
SIZE_T CommittedPrivateBytes()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;
         p = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        if (info.RegionSize == 0) break;
    }
    return total;
}

SIZE_T WorkingSetBytes()
{
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    return GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory) ? memory.WorkingSetSize : 0;
}

}  // namespace test

namespace test {

void* HookImport(const char* dll, const char* function, void* replacement)
{
    auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return nullptr;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
            void* original = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
            return original;
        }
    }
    return nullptr;
}

void DeleteKey() { RegDeleteKeyA(HKEY_CURRENT_USER, kRegistryKey); }
CleanRegistry::CleanRegistry() { DeleteKey(); }
CleanRegistry::~CleanRegistry() { DeleteKey(); }

bool KeyExists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ReadValue(const char* name, DWORD* value, DWORD* type)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD size = sizeof *value, t = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &t, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (type) *type = t;
    return rc == ERROR_SUCCESS;
}

void WriteRaw(const char* name, const void* data, DWORD size, DWORD type)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void WriteValue(const char* name, DWORD value, DWORD type) { WriteRaw(name, &value, sizeof value, type); }

std::vector<std::string> ValueNames()
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[100];
        DWORD size = sizeof name;
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

void WriteValues(const std::vector<StoredValue>& values)
{
    for (const StoredValue& v : values) WriteValue(v.name, v.value);
}

void ExpectStored(const std::vector<StoredValue>& expected)
{
    for (const StoredValue& s : expected) {
        DWORD value = 0xDEADBEEF, type = 0;
        EXPECT_TRUE(ReadValue(s.name, &value, &type)) << s.name;
        EXPECT_EQ(s.value, value) << s.name;
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type) << s.name;
    }
    EXPECT_EQ(expected.size(), ValueNames().size());
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Every event carries the point itself: under Wine a late X event can shift
// the pointer between two calls, and a press at "wherever the pointer is"
// then lands elsewhere. The point is given on the whole virtual screen.
testing::AssertionResult Click(int x, int y, int presses)
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    auto event = [&](DWORD button) {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        // Rounded up, so that the system's scaling back down gives the pixel.
        in.mi.dx = static_cast<LONG>((static_cast<int64_t>(x - left) * 65536 + width - 1) / width);
        in.mi.dy = static_cast<LONG>((static_cast<int64_t>(y - top) * 65536 + height - 1) / height);
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK | button;
        return in;
    };
    // The X pointer is moved as a hand moves it: Wine's SetCursorPos leaves
    // it where it was when it cannot grab it, and the next X event then takes
    // the Windows pointer back there.
    if (!test::MoveXPointer(x, y)) SetCursorPos(x, y);
    POINT at = {};
    testing::AssertionResult there = test::Awaited("the pointer at the point", [&] {
        return GetCursorPos(&at) && std::abs(at.x - x) <= 1 && std::abs(at.y - y) <= 1;
    }, 3000);
    if (!there) return there << "; it is at " << at.x << "," << at.y << ", not " << x << "," << y;
    std::vector<INPUT> input;
    for (int i = 0; i < presses; ++i) {
        input.push_back(event(MOUSEEVENTF_LEFTDOWN));
        input.push_back(event(MOUSEEVENTF_LEFTUP));
    }
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
    return testing::AssertionSuccess();
}

bool MoveXPointer(int x, int y)
{
    // Wine starts a Unix program like any other, with this environment.
    char command[100];
    std::snprintf(command, sizeof command, "/usr/bin/xdotool mousemove %d %d", x, y);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    WaitForSingleObject(info.hProcess, 10000);
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return code == 0;
}

COLORREF ScreenPixel(int x, int y)
{
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return c;
}

uint32_t Screenshot::Rgb(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
    return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
}

COLORREF Screenshot::Colour(int x, int y) const
{
    uint32_t p = Rgb(x, y);
    return p == 0xFFFFFFFF ? CLR_INVALID : RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

BITMAPINFO TopDownInfo(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return info;
}

Screenshot CaptureScreen(const RECT& area)
{
    Screenshot shot;
    if (area.right <= area.left || area.bottom <= area.top) return shot;
    shot.width = area.right - area.left;
    shot.height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    BITMAPINFO info = TopDownInfo(shot.width, shot.height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    if (bitmap && memory) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        shot.pixels.assign(p, p + static_cast<size_t>(shot.width) * shot.height);
        SelectObject(memory, previous);
    }
    if (memory) DeleteDC(memory);
    if (bitmap) DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
    return shot;
}

Screenshot CaptureScreen()
{
    HDC screen = GetDC(nullptr);
    const RECT whole = {0, 0, GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES)};
    ReleaseDC(nullptr, screen);
    return CaptureScreen(whole);
}

bool SaveBmp(const Screenshot& shot, const std::string& path)
{
    const int stride = (shot.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = shot.width;
    header.biHeight = shot.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = static_cast<DWORD>(stride * shot.height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1;
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int y = shot.height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < shot.width; ++x) {
            uint32_t c = shot.Rgb(x, y);
            row[x * 3] = c & 0xFF;
            row[x * 3 + 1] = (c >> 8) & 0xFF;
            row[x * 3 + 2] = (c >> 16) & 0xFF;
        }
        ok = std::fwrite(row.data(), 1, row.size(), out) == row.size();
    }
    return std::fclose(out) == 0 && ok;
}

bool ChangeScreen(int width, int height)
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    if (ChangeDisplaySettingsA(&mode, 0) != DISP_CHANGE_SUCCESSFUL) return false;
    return WaitFor([&] { return GetSystemMetrics(SM_CXSCREEN) == width && GetSystemMetrics(SM_CYSCREEN) == height; },
                   5000, true);
}

bool ChangeScreenElsewhere(int width, int height)
{
    char command[MAX_PATH + 64];
    const int n = std::snprintf(command, sizeof command, "\"%s/display_test.exe\" --change %dx%d",
                                TestDir().c_str(), width, height);
    if (n < 0 || static_cast<size_t>(n) >= sizeof command) return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
        return false;
    const bool ended = WaitFor([&] { return WaitForSingleObject(child.hProcess, 0) == WAIT_OBJECT_0; }, 20000, true);
    DWORD code = 1;
    if (ended) GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return code == 0 &&
           WaitFor([&] { return GetSystemMetrics(SM_CXSCREEN) == width && GetSystemMetrics(SM_CYSCREEN) == height; },
                   5000, true);
}

ScreenSize::ScreenSize(int width, int height)
    : oldWidth_(GetSystemMetrics(SM_CXSCREEN)), oldHeight_(GetSystemMetrics(SM_CYSCREEN))
{
    set_ = (width == oldWidth_ && height == oldHeight_) || ChangeScreen(width, height);
}

ScreenSize::~ScreenSize()
{
    if (GetSystemMetrics(SM_CXSCREEN) != oldWidth_ || GetSystemMetrics(SM_CYSCREEN) != oldHeight_)
        ChangeScreen(oldWidth_, oldHeight_);
}

static int g_keptScreens = 0;

std::string KeepScreen()
{
    std::string dir = TestDir() + "/failures";
    CreateDirectoryA(dir.c_str(), nullptr);
    const testing::TestInfo* running = testing::UnitTest::GetInstance()->current_test_info();
    char name[300];
    std::snprintf(name, sizeof name, "/%s.%s-%d.bmp", running ? running->test_suite_name() : "none",
                  running ? running->name() : "none", ++g_keptScreens);
    for (char* c = name + 1; *c; ++c)
        if (*c == '/') *c = '_';  // parameterised names
    std::string path = dir + name;
    return SaveBmp(CaptureScreen(), path) ? path : "(no screenshot: " + path + " could not be written)";
}

}  // namespace test

#include "app/app.h"
#include "flight/flight.h"
#include "flight/presence.h"
#include "flight/snapshot.h"
#include "res/localize.h"
#include "shooting/holes.h"
#include "store/store.h"
#include "ui/commands.h"
#include "ui/tray.h"

namespace test {

void ResetAllModules()
{
    RepairWindows();
    Snapshot_Reset();
    Art_Reset();
    Flight_Reset();
    Presence_Reset();
    Store_Reset();
    Language_Reset();
    Tray_Reset();
    Ui_Reset();
    App_Reset();
}

Program::Program(bool createWindows)
{
    ResetAllModules();
    loaded_ = StartModules(GetModuleHandleA(nullptr)) == 1;
    if (createWindows) {
        CreateAppWindows();
        ShowAppWindows();
    }
}

Program::~Program()
{
    KillTimer(g_app.background, kLaunchTimer);
    KillTimer(g_app.background, kAnimationTimer);
    HWND background = g_app.background;
    ResetAllModules();
    if (background) DestroyWindow(background);  // its WM_DESTROY posts a quit: drop it
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    }
}

}  // namespace test

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

static DWORD OwnerOf(HWND window)
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

}  // namespace test

namespace test {

RECT WindowRect(HWND window)
{
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

HWND LocalWindow(const char* title, int x, int y, int width, int height, DWORD style, DWORD exStyle)
{
    return CreateWindowExA(exStyle, "STATIC", title, style, x, y, width, height, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

int RegionType(HWND window)
{
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    int type = GetWindowRgn(window, probe);
    DeleteObject(probe);
    return type;
}

// The folder of this test program, where victim.exe is built too; the
// long endurance run starts the test program from elsewhere.
static std::string OwnFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/"));
}

Victims::Victims(const std::vector<VictimWindow>& wanted)
{
    static int serial = 0;
    ++serial;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    readyEvent_ = CreateEventA(&inherit, TRUE, FALSE, nullptr);
    releaseEvent_ = CreateEventA(&inherit, TRUE, FALSE, nullptr);
    char command[2048];
    int n = std::snprintf(command, sizeof command, "\"%s\\victim.exe\" %lu %llu %llu", OwnFolder().c_str(),
                          GetCurrentProcessId(), static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(readyEvent_)),
                          static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(releaseEvent_)));
    std::vector<std::pair<std::string, std::string>> titles;
    for (const VictimWindow& s : wanted) {
        char title[64];
        std::snprintf(title, sizeof title, "wzvictim-%lu-%d-%s", GetCurrentProcessId(), serial, s.name);
        titles.push_back({s.name, title});
        n += std::snprintf(command + n, sizeof command - n, " %s:%d:%d:%d:%d:%06x:%s", title, s.x, s.y, s.width,
                           s.height, s.rgb, s.flags);
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    started_ = CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                              &process_) != 0;
    if (started_) {
        HANDLE waits[2] = {readyEvent_, process_.hProcess};
        ready_ = WaitForMultipleObjects(2, waits, FALSE, 15000) == WAIT_OBJECT_0;
    }
    for (const auto& t : titles) windows_[t.first] = FindWindowA(nullptr, t.second.c_str());
}

Victims::~Victims()
{
    if (started_) {
        SetEvent(releaseEvent_);  // a hung victim would not see the quit
        PostThreadMessageA(process_.dwThreadId, WM_QUIT, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    CloseHandle(readyEvent_);
    CloseHandle(releaseEvent_);
}

bool Victims::Hang(DWORD ms) const
{
    if (!ready_) return false;
    ResetEvent(readyEvent_);
    ResetEvent(releaseEvent_);
    return PostThreadMessageA(process_.dwThreadId, kVictimHang, ms, 0) &&
           WaitForSingleObject(readyEvent_, 5000) == WAIT_OBJECT_0;
}

bool Victims::Release() const
{
    SetEvent(releaseEvent_);
    DWORD_PTR result;
    return !windows_.empty() &&
           SendMessageTimeoutA(windows_.begin()->second, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result) != 0;
}

bool Victims::Reshape(const std::string& name) const
{
    DWORD_PTR done = 0;
    return SendMessageTimeoutA((*this)[name], kVictimReshape, 0, 0, SMTO_BLOCK, 5000, &done) && done;
}

bool Victims::Ready() const
{
    if (!ready_) return false;
    for (const auto& w : windows_)
        if (!w.second) return false;
    return true;
}

HWND Victims::operator[](const std::string& name) const
{
    auto it = windows_.find(name);
    return it == windows_.end() ? nullptr : it->second;
}

bool Victims::Close(const std::string& name) const
{
    HWND w = (*this)[name];
    DWORD_PTR result;
    SendMessageTimeoutA(w, WM_CLOSE, 0, 0, SMTO_BLOCK, 5000, &result);
    return WaitFor([w] { return !IsWindow(w); }, 5000, true);  // this thread's windows keep answering
}

}  // namespace test

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

bool ProgramAs::Installed() const { return user_.Installed() && program_.Loaded() && g_app.background; }

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
      lookup_("KERNEL32.dll", "GetProcAddress", &Lookup)
{
}

bool FakeMonitors::Installed() const
{
    return Fake::Installed() && fromRect_.Installed() && info_.Installed() && metrics_.Installed() &&
           cursor_.Installed() && lookup_.Installed();
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

FARPROC WINAPI FakeMonitors::Lookup(HMODULE module, LPCSTR name)
{
    if (HIWORD(name) && std::strcmp(name, "GetDpiForMonitor") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&Dpi));
    return live_->lookup_.Original<FARPROC WINAPI(HMODULE, LPCSTR)>()(module, name);
}

HRESULT WINAPI FakeMonitors::Dpi(HMONITOR monitor, int, UINT* x, UINT* y)
{
    const int i = FakeIndex(monitor, live_->monitors.size());
    if (i < 0) return E_INVALIDARG;
    *x = *y = static_cast<UINT>(live_->monitors[i].dpi);
    return S_OK;
}

}  // namespace test

namespace test {

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
