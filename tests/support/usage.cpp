#include "usage.h"

#include <winternl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>

namespace test {

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

DWORD Threads()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    DWORD n = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        n += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return n;
}

// Committed private memory, walked region by region: Wine reports no
// private bytes through the process memory counters.
SIZE_T CommittedPrivateBytes(HANDLE process)
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* p = nullptr; VirtualQueryEx(process, p, &info, sizeof info) == sizeof info;
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
