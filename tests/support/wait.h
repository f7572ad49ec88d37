// Waiting for a condition, or for another program, with a deadline: no
// fixed sleeps.
#pragma once
#include <windows.h>

#include <string>

namespace test {

// Handles all pending messages of this thread.
void PumpMessages();

// Milliseconds on the performance counter: for what a test times itself.
double NowMs();

// Polls `condition` every 10 ms until it holds or `ms` have passed; with
// `pump`, this thread's messages are handled meanwhile. The clock is
// GetTickCount64: GetTickCount may be a test's fake.
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

// Runs a command line and returns its exit code once it ends; 1 where it
// cannot start or does not end within `ms`; with `pump`, this thread's
// messages are handled meanwhile. Wine starts a Unix program too, with this
// environment, but hands back a process that has ended at once and has no
// exit code: what a Unix program does is awaited by its effect.
DWORD RunCommand(const std::string& line, DWORD ms, bool pump = false);

}  // namespace test
