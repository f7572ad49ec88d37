#include "input.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "wait.h"

namespace test {

bool MoveXPointer(int x, int y)
{
    char command[100];
    std::snprintf(command, sizeof command, "/usr/bin/xdotool mousemove %d %d", x, y);
    return RunCommand(command, 10000) == 0;
}

void PressXKey(const char* name, bool up)
{
    char command[100];
    std::snprintf(command, sizeof command, "/usr/bin/xdotool %s %s", up ? "keyup" : "keydown", name);
    RunCommand(command, 10000);
}

bool MovePointer(int x, int y, Aim aim, POINT* at)
{
    // The X pointer is moved as a hand moves it: Wine's SetCursorPos leaves
    // it where it was when it cannot grab it, and the next X event then takes
    // the Windows pointer back there. Wine gives no exit code of xdotool's.
    if (!MoveXPointer(x, y) && aim == Aim::kAtPoint) SetCursorPos(x, y);
    POINT seen = {};
    const bool there = WaitFor([&] {
        return GetCursorPos(&seen) && std::abs(seen.x - x) <= 1 && std::abs(seen.y - y) <= 1;
    }, 3000, true);
    if (at) *at = seen;
    // The buttons go where Wine's server holds the pointer, which hears of
    // the X move once the process under the pointer reads its X events:
    // late for a 32-bit program under emulation, while GetCursorPos above
    // may have asked the X server itself. The server is told at once.
    if (there) SetCursorPos(x, y);
    return there;
}

bool Press(int presses, bool right, const POINT* at)
{
    std::vector<INPUT> input;
    for (int i = 0; i < presses; ++i)
        for (DWORD button : {right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN,
                             right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP}) {
            INPUT in = {};
            in.type = INPUT_MOUSE;
            in.mi.dwFlags = button;
            if (at) {
                // On the whole virtual screen, rounded up, so that the
                // system's scaling back down gives the pixel.
                const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
                const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
                in.mi.dx = static_cast<LONG>((static_cast<int64_t>(at->x - left) * 65536 + width - 1) / width);
                in.mi.dy = static_cast<LONG>((static_cast<int64_t>(at->y - top) * 65536 + height - 1) / height);
                in.mi.dwFlags |= MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
            }
            input.push_back(in);
        }
    return SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT)) == input.size();
}

bool Click(int x, int y, int presses, bool right, Aim aim)
{
    if (!MovePointer(x, y, aim)) return false;
    const POINT at = {x, y};
    Press(presses, right, aim == Aim::kAtPoint ? &at : nullptr);
    return true;
}

}  // namespace test
