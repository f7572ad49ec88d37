#include "flight/presence.h"

#include <wtsapi32.h>

#include "app/platform.h"

PresenceState g_presence = {};

// Windows XP has no such function.
int ShellNotificationState()
{
    auto query = LookUp<HRESULT WINAPI(int*)>(GetModuleHandleA("shell32.dll"), "SHQueryUserNotificationState");
    int state = 0;
    if (!query || FAILED(query(&state))) return 0;
    return state;
}

void NoteProgramStart()
{
    g_presence.startTick = GetTickCount();
}

// Registered until the process ends. Started at logon, the program may come
// before the terminal service, and the registration fails
// (RPC_S_INVALID_BINDING); the news matters only during a flight, so the
// next launch asks again. Windows 2000 and older have none to give.
void WatchSession(HWND window)
{
    if (g_presence.sessionWatched) return;
    auto watch = LookUp<BOOL WINAPI(HWND, DWORD)>(LoadSystemDll("wtsapi32.dll"), "WTSRegisterSessionNotification");
    g_presence.sessionWatched = !watch || watch(window, NOTIFY_FOR_THIS_SESSION);
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
