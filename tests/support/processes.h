// The real program started as a process of its own, and the shell it
// shows its icon in.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

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

// The process a window belongs to.
DWORD OwnerOf(HWND window);
// The background windows of the program in `process` (0: in any process but
// this one).
std::vector<HWND> BackgroundWindows(DWORD process);
// Both windows of the program, once it has started; the sprite window comes
// a moment after the background window.
testing::AssertionResult WaitForWindows(Process& p, HWND* background, HWND* sprite);
// Ends the program as the tray menu's Quit does: its exit code, or
// STILL_ACTIVE while it runs on after `ms`.
DWORD QuitThroughTheMenu(const Process& p, HWND background, DWORD ms = 20000);

// The shell's tooltips, the notification area's among them: each tool's
// text and the window it belongs to.
struct ShellTooltip {
    std::string text;
    HWND tool;
};
std::vector<ShellTooltip> ShellTooltips();

}  // namespace test
