// The keys of a flight wherever the keyboard focus is: on Windows 10 and 11
// a program launched by a timer in the background may not take the
// foreground, so the keys would go on to the window the user typed into,
// unseen under the frozen screen.
#pragma once
#include <windows.h>

#include <cstdint>

struct KeysState {
    HHOOK hook;             // the low-level keyboard hook of the flight in the air
    uint32_t swallowed[8];  // one bit per virtual key whose press went nowhere
};
extern KeysState g_keys;

// From the end of the launch sound to EndFlight: Esc, Q and O reach the
// background window as the characters it handles; every other key goes
// nowhere. The hook runs on this thread, and every key on the desktop waits
// for it: nothing that holds the thread for long may run while it is in.
void HookFlightKeys();
// Idempotent; also after the system dropped a hook that answered too slowly.
void UnhookFlightKeys();
// The hook's own work, apart from the system: true where the key goes
// nowhere further.
bool OnFlightKey(WPARAM message, const KBDLLHOOKSTRUCT& key);

void Keys_Reset();
