// Windows for the shots to hole: of this thread, or of another program
// (victim.exe), and what their regions hold.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "app/gdi.h"

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
// The window's text, also of another program's window, which is asked for
// 2 s at most. Inline, in the caller's own code, and 128 bytes, as the soak
// always asked: called from the library, the 32-bit soak under emulation
// (the Wine 8 world) lost sight of the shell's windows a few actions later,
// every time.
inline std::string WindowText(HWND window)
{
    char text[128] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 2000, &copied);
    return text;
}

// A plain window of this thread (a static control as a popup): stands for
// another program's window where no second process is needed.
HWND LocalWindow(const char* title, int x, int y, int width, int height, DWORD style = WS_POPUP | WS_VISIBLE,
                 DWORD exStyle = 0);

// GetWindowRgn's answer for the window: ERROR when it has no region.
int RegionType(HWND window);
// A copy of the window's region, or none when it has none.
Region CopyRegion(HWND window);
// A region for a failure's message: its type and box.
std::string Describe(HRGN region);

// A window of another program, as victim.exe makes it.
struct VictimWindow {
    const char* name;
    int x, y, width, height;
    unsigned rgb;       // 0xRRGGBB
    // "-", or r (round region), e (empty region), h (hidden), m (minimised),
    // f (foreground), l (right-to-left layout), u (not DPI aware: placed in
    // its own pixels, which Windows and Wine 10 scale by the monitor's DPI
    // over 96), s (aware of the system's DPI only)
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
