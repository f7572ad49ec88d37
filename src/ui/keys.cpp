#include "ui/keys.h"

#include "app/app.h"
#include "ui/commands.h"

KeysState g_keys = {};

static bool Swallowed(DWORD vk)
{
    return (g_keys.swallowed[(vk & 0xFF) / 32] >> (vk % 32)) & 1u;
}

static void MarkSwallowed(DWORD vk, bool on)
{
    const uint32_t bit = 1u << (vk % 32);
    uint32_t& word = g_keys.swallowed[(vk & 0xFF) / 32];
    word = on ? (word | bit) : (word & ~bit);
}

// A modifier held: pressed before the flight (the system's state knows it)
// or during it (only this hook saw that press).
static bool Held(DWORD vk, DWORD left, DWORD right)
{
    return Swallowed(vk) || Swallowed(left) || Swallowed(right) || GetAsyncKeyState(vk) < 0;
}

static bool ControlHeld()
{
    return Held(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
}

// The system sets LLKHF_ALTDOWN only for an Alt it has seen go down.
static bool AltHeld(const KBDLLHOOKSTRUCT& key)
{
    return (key.flags & LLKHF_ALTDOWN) || Held(VK_MENU, VK_LMENU, VK_RMENU);
}

// The Windows key has no generic code of its own.
static bool WindowsKeyHeld()
{
    return Swallowed(VK_LWIN) || Swallowed(VK_RWIN) || GetAsyncKeyState(VK_LWIN) < 0 || GetAsyncKeyState(VK_RWIN) < 0;
}

// Keys the user means for the system, not for the flight: Ctrl+Esc and
// Win+Esc (the Start menu, the magnifier), Ctrl+Shift+Esc (the task
// manager), Alt+Esc (the next window); the volume, media, browser and launch
// keys, whose effect the user hears or sees at once; Print Screen.
static bool SystemsKey(const KBDLLHOOKSTRUCT& key)
{
    const DWORD vk = key.vkCode;
    if (vk == VK_SNAPSHOT || (vk >= VK_BROWSER_BACK && vk <= VK_LAUNCH_APP2)) return true;
    return vk == VK_ESCAPE && (AltHeld(key) || ControlHeld() || WindowsKeyHeld());
}

// The character the background window would have had from this press with
// the focus; 0 for a key the flight ignores. With Alt held a key makes a
// system character instead, and with Ctrl a letter makes none; the Windows
// key's letters are the shell's.
static WPARAM FlightCharacter(const KBDLLHOOKSTRUCT& key)
{
    if (key.vkCode == VK_ESCAPE) return VK_ESCAPE;  // alone or with Shift: the others are the system's
    if (AltHeld(key) || ControlHeld() || WindowsKeyHeld()) return 0;
    return key.vkCode == 'Q' || key.vkCode == 'O' ? key.vkCode : 0;
}

bool OnFlightKey(WPARAM message, const KBDLLHOOKSTRUCT& key)
{
    const DWORD vk = key.vkCode & 0xFF;
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    // A press that went nowhere owns its key until its release, whenever
    // that comes: a repeat let through would put the key down for the
    // system with no release to follow, the release alone would be a key
    // let go that nobody saw pressed.
    if (Swallowed(vk)) {
        if (!down) MarkSwallowed(vk, false);
        return true;
    }
    // The tray menu or the options dialog open over the flight: it has the
    // keyboard, as it would have without the hook. After the flight every
    // key but those it swallowed is the system's again.
    if (g_ui.BusyFlag || g_keys.phase != kKeysFlight) return false;
    // A key held since before the flight is let go where it was pressed:
    // swallowing its release would leave it down for the system.
    if (!down) return false;
    // Not marked: its release, unmarked, goes on as well.
    if (SystemsKey(key)) return false;
    // A low-level hook runs before the system takes in the key: a key the
    // system has down already is repeating a press it saw, made before the
    // flight (or while the menu was open). Its repeats stay out of the
    // window under the frozen screen; its release is the system's.
    if (GetAsyncKeyState(static_cast<int>(vk)) < 0) return true;
    MarkSwallowed(vk, true);
    // Posted, not handled here: the quit and the dialog run on the
    // program's thread.
    if (const WPARAM character = FlightCharacter(key)) PostMessageA(g_app.background, WM_CHAR, character, 0);
    return true;
}

static bool NothingSwallowed()
{
    for (uint32_t word : g_keys.swallowed)
        if (word) return false;
    return true;
}

static LRESULT CALLBACK FlightKeyHook(int code, WPARAM message, LPARAM data)
{
    if (code == HC_ACTION && OnFlightKey(message, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(data))) return 1;
    return CallNextHookEx(g_keys.hook, code, message, data);
}

// The flight is over: the hook stays until the last key whose press it
// swallowed is let go, so that the release goes nowhere either; a release
// that never comes (lost to the secure desktop, say) is given up after this
// long, and would then reach the system as a key let go that it had never
// seen down, which leaves no key down.
static const LONGLONG kReleaseWaitMilliseconds = 10000;
// At the quit the program waits this long for the keys of its last flight
// (the Esc or the Q that quit is usually still down).
static const DWORD kQuitReleaseWaitMilliseconds = 1000;
// Posted to the hook's thread when the flight ends.
static const UINT kFlightOverMessage = WM_APP;

// True where the hook's thread may end: its flight over and no release
// still owed, or the wait for them given up. Never once the main thread
// has taken it back for a new flight.
static bool EndsNow(bool givenUp)
{
    int draining = kKeysDraining;
    return (givenUp || NothingSwallowed()) && g_keys.phase.compare_exchange_strong(draining, kKeysDone);
}

static void AnswerKeys()
{
    // The wait for the releases, armed anew at every flight's end: a
    // waitable timer, the thread having no window for a timer message.
    HANDLE giveUp = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    for (;;) {
        // The hook is called inside PeekMessageA, as a message sent to
        // this thread, which wakes the wait.
        const DWORD woke = MsgWaitForMultipleObjects(giveUp ? 1 : 0, &giveUp, FALSE, INFINITE, QS_ALLINPUT);
        if (giveUp && woke == WAIT_OBJECT_0 && EndsNow(true)) break;
        MSG msg;
        bool quit = false;
        while (!quit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            quit = msg.message == WM_QUIT;
            if (msg.message == kFlightOverMessage && giveUp) {
                LARGE_INTEGER due;
                due.QuadPart = -kReleaseWaitMilliseconds * 10000;  // relative, in 100 ns
                SetWaitableTimer(giveUp, &due, 0, nullptr, nullptr, FALSE);
            }
        }
        if (quit || EndsNow(false)) break;
    }
    if (giveUp) CloseHandle(giveUp);
}

// Sets the hook and answers it until the flight is over and every key it
// swallowed is let go, or until told to quit. Nothing else runs here, so a
// key is answered at once whatever the program's thread waits for.
static DWORD WINAPI ServeFlightKeys(void* ready)
{
    MSG msg;
    // The thread's queue, before the main thread may post to it.
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    // A global hook needs a module on some Windows, even one in this process.
    g_keys.hook = SetWindowsHookExA(WH_KEYBOARD_LL, FlightKeyHook, GetModuleHandleA(nullptr), 0);
    SetEvent(static_cast<HANDLE>(ready));
    // Without the hook (a system that refuses it) the keys work as before:
    // with the focus on the background window.
    if (g_keys.hook) AnswerKeys();
    if (HHOOK hook = g_keys.hook.exchange(nullptr)) UnhookWindowsHookEx(hook);
    g_keys.phase = kKeysDone;
    return 0;
}

// The hook's thread told to quit and joined, whatever it still waits for.
static void StopFlightKeys()
{
    if (g_keys.thread) {
        PostThreadMessageA(g_keys.threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(g_keys.thread, INFINITE);
        CloseHandle(g_keys.thread);
    }
    g_keys.thread = nullptr;
    g_keys.threadId = 0;
    g_keys.phase = kKeysIdle;
}

void HookFlightKeys()
{
    // A thread still waiting for the releases of the last flight's keys
    // serves this one too: those presses are still its own.
    int draining = kKeysDraining;
    if (g_keys.thread && g_keys.phase.compare_exchange_strong(draining, kKeysFlight)) return;
    StopFlightKeys();  // one that has ended, or is ending of itself
    for (uint32_t& word : g_keys.swallowed) word = 0;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ready) return;
    g_keys.phase = kKeysFlight;
    g_keys.thread = CreateThread(nullptr, 0, ServeFlightKeys, ready, 0, &g_keys.threadId);
    if (g_keys.thread)
        WaitForSingleObject(ready, INFINITE);  // the hook in, or refused
    else
        g_keys.phase = kKeysIdle;
    CloseHandle(ready);
}

void UnhookFlightKeys()
{
    int flight = kKeysFlight;
    if (g_keys.phase.compare_exchange_strong(flight, kKeysDraining))
        PostThreadMessageA(g_keys.threadId, kFlightOverMessage, 0, 0);
}

void FinishFlightKeys()
{
    UnhookFlightKeys();
    if (g_keys.thread) WaitForSingleObject(g_keys.thread, kQuitReleaseWaitMilliseconds);
    StopFlightKeys();
}

void Keys_Reset()
{
    StopFlightKeys();
    g_keys.hook = nullptr;
    for (uint32_t& word : g_keys.swallowed) word = 0;
}
