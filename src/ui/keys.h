// The keys of a flight wherever the keyboard focus is: on Windows 10 and 11
// a program launched by a timer in the background may not take the
// foreground, so the keys would go on to the window the user typed into,
// unseen under the frozen screen.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>

struct KeysState {
    // Set and cleared by the hook's thread, read by any.
    std::atomic<HHOOK> hook;  // the low-level keyboard hook of the flight in the air
    // Written by the main thread only, before the hook's thread starts and
    // after it has ended.
    HANDLE thread;   // the hook's thread: it serves the hook and nothing else
    DWORD threadId;
    // The hook's thread's alone while it runs.
    uint32_t swallowed[8];  // one bit per virtual key whose press went nowhere
};
extern KeysState g_keys;

// From the end of the launch sound to EndFlight: Esc, Q and O reach the
// background window as the characters it handles; every other key goes
// nowhere, but the system's own. The hook runs on a thread of its own:
// Windows calls a low-level hook on the thread that set it, every key on
// the desktop waits for its answer, and after LowLevelHooksTimeout the key
// goes on regardless (and Windows 7 and later drop a hook that is late
// again and again). The program's thread waits for hung programs during a
// shot, for SetWindowRgn across processes and for the shell.
void HookFlightKeys();
// Idempotent: the hook's thread ended and joined, also after the system
// dropped a hook that answered too slowly.
void UnhookFlightKeys();
// The hook's own work, apart from the system: true where the key goes
// nowhere further. Runs on the hook's thread.
bool OnFlightKey(WPARAM message, const KBDLLHOOKSTRUCT& key);

void Keys_Reset();
