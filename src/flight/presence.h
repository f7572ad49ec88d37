// Whether anybody is at the screen to see a chicken: the session unlocked
// and in front, the user's own desktop shown, and somebody at the keys.
#pragma once
#include <windows.h>

struct PresenceState {
    DWORD startTick;  // GetTickCount at start-up: starting the program is a sign of presence
    bool sessionWatched;  // the session's news asked for and granted, or none to ask for
};
extern PresenceState g_presence;

// No input for this long and the user has walked away.
enum : DWORD { kAwayMilliseconds = 5 * 60 * 1000 };

// What SHQueryUserNotificationState says (shellapi.h, Windows Vista); 0
// where the shell has no such function or gives no answer.
enum {
    kStateNotPresent = 1,  // locked, screen saver, or another session in front
    kStateBusy = 2,
    kStateFullScreenDirect3D = 3,
    kStatePresentationMode = 4,
    kStateStoreApp = 7,
};
int ShellNotificationState();

void NoteProgramStart();
// Asks for WM_WTSSESSION_CHANGE at `window` when the session is locked or
// loses its console, unless that is done already: called again before every
// launch until it is granted.
void WatchSession(HWND window);
// Locked, a screen saver, another user's session, the secure desktop, a
// Windows Store app in front, or nobody touched the keys or the mouse for
// five minutes.
bool NobodyToSeeAChicken();

void Presence_Reset();
