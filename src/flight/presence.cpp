#include "flight/presence.h"

#include <wtsapi32.h>

#include <cstdio>

PresenceState g_presence = {};

typedef HRESULT(WINAPI* QueryNotificationState)(int* state);

// Looked up at run time: Windows XP has no such function.
int ShellNotificationState()
{
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (!shell) return 0;
    auto query = reinterpret_cast<QueryNotificationState>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHQueryUserNotificationState")));
    int state = 0;
    if (!query || FAILED(query(&state))) return 0;
    return state;
}

void NoteProgramStart()
{
    g_presence.startTick = GetTickCount();
}

typedef BOOL(WINAPI* RegisterSessionNotification)(HWND window, DWORD flags);

// Looked up at run time and loaded from the system folder by its full path:
// a DLL of that name beside the program (a downloads folder) is never taken.
// It stays loaded: the window is registered until the process ends.
void WatchSession(HWND window)
{
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    const int written = std::snprintf(path + length, sizeof path - length, "\\wtsapi32.dll");
    if (written < 0 || static_cast<size_t>(written) >= sizeof path - length) return;
    HMODULE wts = LoadLibraryA(path);
    if (!wts) return;
    auto watch = reinterpret_cast<RegisterSessionNotification>(
        reinterpret_cast<void*>(GetProcAddress(wts, "WTSRegisterSessionNotification")));
    if (watch) watch(window, NOTIFY_FOR_THIS_SESSION);
}

// Windows XP has no notification state, but the lock screen, the screen
// saver's secure desktop and the UAC prompt are desktops other than
// "Default", and a disconnected session has no input desktop it may open.
// Its snapshot could not even be read there.
static bool InputDesktopIsTheUsers()
{
    HDESK desktop = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    if (!desktop) return false;
    char name[32] = "";
    DWORD needed = 0;
    const bool named = GetUserObjectInformationA(desktop, UOI_NAME, name, sizeof name - 1, &needed) != FALSE;
    CloseDesktop(desktop);
    return named && lstrcmpiA(name, "Default") == 0;
}

// Counted from the last input, or from the start when that is later. The
// differences are unsigned, so a tick count that wrapped still counts right.
static bool UserAway()
{
    LASTINPUTINFO input = {};
    input.cbSize = sizeof input;
    if (!GetLastInputInfo(&input)) return false;
    const DWORD now = GetTickCount();
    const DWORD sinceInput = now - input.dwTime, sinceStart = now - g_presence.startTick;
    return (sinceInput < sinceStart ? sinceInput : sinceStart) >= kAwayMilliseconds;
}

bool NobodyToSeeAChicken()
{
    const int state = ShellNotificationState();
    return state == kStateNotPresent || state == kStateStoreApp || !InputDesktopIsTheUsers() || UserAway();
}

void Presence_Reset()
{
    g_presence = PresenceState{};
}
