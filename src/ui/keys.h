// The keys of a flight wherever the keyboard focus is: on Windows 10 and 11
// a program launched by a timer in the background may not take the
// foreground, so the keys would go on to the window the user typed into,
// unseen under the frozen screen.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>

// What the hook's thread is there for.
enum KeysPhase : int {
    kKeysIdle,      // no thread
    kKeysFlight,    // a flight in the air: its keys
    kKeysDraining,  // the flight over: only the releases of the keys it swallowed
    kKeysDone,      // the thread ends, or has ended, of itself
};

struct KeysState {
    // Set and cleared by the hook's thread, read by any.
    std::atomic<HHOOK> hook;  // the low-level keyboard hook
    // The main thread starts and ends a flight's keys; the hook's thread
    // ends itself once the flight is over.
    std::atomic<int> phase;  // KeysPhase
    // Written by the main thread only, before the hook's thread starts and
    // after it has ended.
    HANDLE thread;  // the hook's thread: it serves the hook and nothing else
    DWORD threadId;
    // The hook's thread's alone while it runs: one bit per virtual key
    // whose press went nowhere and whose release has not come yet.
    uint32_t swallowed[8];
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
//
// No key stays down. A key held when the flight begins goes on as the
// system saw it: its repeats are swallowed, its release goes through. A key
// pressed during the flight has its press, its repeats and its release
// swallowed, also when it is let go after the flight: the thread outlives
// the flight until those releases have come, or for at most ten seconds.
void HookFlightKeys();
// The flight's end; idempotent. The keys are the system's again, but for
// the releases still owed to the flight.
void UnhookFlightKeys();
// At the quit: the flight's end, a moment's wait for the releases still
// owed (the Esc or the Q that quit), then the hook's thread ended and
// joined.
void FinishFlightKeys();
// The hook's own work, apart from the system: true where the key goes
// nowhere further. Runs on the hook's thread.
bool OnFlightKey(WPARAM message, const KBDLLHOOKSTRUCT& key);

// Also ends and joins the hook's thread.
void Keys_Reset();
