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

// Ctrl held: pressed before the flight (the system's state knows it) or
// during it (only this hook saw that press).
static bool ControlHeld()
{
    return Swallowed(VK_LCONTROL) || Swallowed(VK_RCONTROL) || GetAsyncKeyState(VK_CONTROL) < 0;
}

// The character the background window would have had from this press with
// the focus; 0 for a key the flight ignores. With Alt held a key makes a
// system character instead, and with Ctrl a letter makes none.
static WPARAM FlightCharacter(const KBDLLHOOKSTRUCT& key)
{
    if (key.flags & LLKHF_ALTDOWN) return 0;
    if (key.vkCode == VK_ESCAPE) return VK_ESCAPE;
    if (ControlHeld()) return 0;
    return key.vkCode == 'Q' || key.vkCode == 'O' ? key.vkCode : 0;
}

bool OnFlightKey(WPARAM message, const KBDLLHOOKSTRUCT& key)
{
    // The tray menu or the options dialog open over the flight: it has the
    // keyboard, as it would have without the hook.
    if (g_ui.BusyFlag) return false;
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
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

void HookFlightKeys()
{
    UnhookFlightKeys();
    // Presses swallowed in an earlier flight were let go after it.
    for (uint32_t& word : g_keys.swallowed) word = 0;
    // Without the hook (a system that refuses it) the keys work as before:
    // with the focus on the background window. A global hook needs a module
    // on some Windows, even one in this process.
    g_keys.hook = SetWindowsHookExA(WH_KEYBOARD_LL, FlightKeyHook, GetModuleHandleA(nullptr), 0);
}

void UnhookFlightKeys()
{
    if (g_keys.hook) UnhookWindowsHookEx(g_keys.hook);
    g_keys.hook = nullptr;
}

void Keys_Reset()
{
    UnhookFlightKeys();
    g_keys = KeysState{};
}
