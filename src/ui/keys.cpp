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
    // The tray menu or the options dialog open over the flight: it has the
    // keyboard, as it would have without the hook.
    if (g_ui.BusyFlag) return false;
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
        // Not marked: its release, unmarked, goes on as well.
        if (SystemsKey(key)) return false;
        MarkSwallowed(key.vkCode, true);
        // Posted, not handled here: the quit and the dialog must not run
        // inside the hook, which every key on the desktop waits for.
        if (const WPARAM character = FlightCharacter(key)) PostMessageA(g_app.background, WM_CHAR, character, 0);
        return true;
    }
    // A key held since before the flight is let go where it was pressed:
    // swallowing its release would leave it down for the system.
    if (!Swallowed(key.vkCode)) return false;
    MarkSwallowed(key.vkCode, false);
    return true;
}

static LRESULT CALLBACK FlightKeyHook(int code, WPARAM message, LPARAM data)
{
    if (code == HC_ACTION && OnFlightKey(message, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(data))) return 1;
    return CallNextHookEx(g_keys.hook, code, message, data);
}

// Sets the hook and answers it until told to quit. Nothing else runs here,
// so a key is answered at once whatever the program's thread waits for.
static DWORD WINAPI ServeFlightKeys(void* ready)
{
    MSG msg;
    // The thread's queue, before the main thread may post it the quit.
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    // A global hook needs a module on some Windows, even one in this process.
    g_keys.hook = SetWindowsHookExA(WH_KEYBOARD_LL, FlightKeyHook, GetModuleHandleA(nullptr), 0);
    SetEvent(static_cast<HANDLE>(ready));
    // Without the hook (a system that refuses it) the keys work as before:
    // with the focus on the background window.
    if (g_keys.hook) {
        // The hook is called inside GetMessageA, which returns only for the quit.
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {}
    }
    if (HHOOK hook = g_keys.hook.exchange(nullptr)) UnhookWindowsHookEx(hook);
    return 0;
}

void HookFlightKeys()
{
    UnhookFlightKeys();
    // Presses swallowed in an earlier flight were let go after it.
    for (uint32_t& word : g_keys.swallowed) word = 0;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ready) return;
    g_keys.thread = CreateThread(nullptr, 0, ServeFlightKeys, ready, 0, &g_keys.threadId);
    if (g_keys.thread) WaitForSingleObject(ready, INFINITE);  // the hook in, or refused
    CloseHandle(ready);
}

void UnhookFlightKeys()
{
    if (!g_keys.thread) return;
    PostThreadMessageA(g_keys.threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(g_keys.thread, INFINITE);
    CloseHandle(g_keys.thread);
    g_keys.thread = nullptr;
    g_keys.threadId = 0;
}

void Keys_Reset()
{
    UnhookFlightKeys();
    g_keys.hook = nullptr;
    for (uint32_t& word : g_keys.swallowed) word = 0;
}
