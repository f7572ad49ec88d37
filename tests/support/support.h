// Helpers shared by the test programs.
#pragma once
#include <gtest/gtest.h>
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

// Moves the X server's pointer to a point of the virtual desktop (which
// lies at the X screen's top left) with xdotool, as a mouse would; false
// where there is no xdotool to run.
bool MoveXPointer(int x, int y);

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
