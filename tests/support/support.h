// Helpers shared by the test programs.
#pragma once
#include <windows.h>
#include <cstdint>
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

// Deletes HKCU\Software\Wingzap now and again when the scope ends.
class CleanRegistry {
public:
    CleanRegistry();
    ~CleanRegistry();
};
bool ReadValue(const char* name, DWORD* value, DWORD* type = nullptr);
void WriteValue(const char* name, DWORD value, DWORD type = REG_DWORD);
void WriteRaw(const char* name, const void* data, DWORD size, DWORD type);
std::vector<std::string> ValueNames();

// Handles all pending messages of this thread.
void PumpMessages();

// Pixel of the live screen.
COLORREF ScreenPixel(int x, int y);

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

}  // namespace test

namespace test {

// Polls `condition` every 10 ms until it holds or `ms` have passed; with
// `pump`, this thread's messages are handled meanwhile. No fixed sleeps.
template <typename F>
bool WaitFor(F condition, DWORD ms, bool pump = false)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (pump) PumpMessages();
        if (condition()) return true;
        if (GetTickCount() - start > ms) return false;
        Sleep(10);
    }
}

}  // namespace test

namespace test {

// A started program; ended by force when a failed check left it running.
class Process {
public:
    explicit Process(const std::string& exe);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return started_; }
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
    PROCESS_INFORMATION info_ = {};
    bool started_ = false;
};

}  // namespace test
