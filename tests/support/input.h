// The mouse as a person moves and presses it. Shared with the pictures'
// driver, which runs without GoogleTest.
#pragma once
#include <windows.h>

namespace test {

// Moves the X server's pointer to a point of the virtual desktop (which
// lies at the X screen's top left) with xdotool, as a mouse would; false
// where there is no xdotool to run.
bool MoveXPointer(int x, int y);
// A key (an X keysym name: "Shift_L", "k") pressed or let go on the X
// server's keyboard, as a hand does, with xdotool; Wine gives no exit code
// of it, so its effect is to be awaited. Wine
// brings its key state in line with the X server's whenever one of its
// windows takes the focus: a key held through SendInput alone is let go
// then, without a release.
void PressXKey(const char* name, bool up);

// How a click finds its point. By default its presses carry it, on this
// process's view of the screen: a late X event that shifts the pointer
// cannot move them. A process whose own view of the display may be stale
// (Wine keeps one per process) trusts only the X server: the pointer goes
// by it alone, and the presses land where the pointer is.
enum class Aim { kAtPoint, kWherePointerIs };

// The pointer moved to a screen point of any monitor, as the user's mouse
// moves it; true once the system has it there (`at`: where it is then).
// This thread's messages are handled meanwhile.
bool MovePointer(int x, int y, Aim aim = Aim::kAtPoint, POINT* at = nullptr);

// Presses of the left (or right) button. With `at`, every event carries that
// point, on this process's view of the screen: a late X event that shifts
// the pointer cannot move them. Without, they land where the pointer is,
// queued at once, before any key sent after them: for a process whose own
// view of the display may be stale (Wine keeps one per process).
bool Press(int presses, bool right = false, const POINT* at = nullptr);

// The pointer moved to (x, y), and once it is there `presses` presses of
// the left (or right) button; false when the pointer did not get there.
bool Click(int x, int y, int presses = 1, bool right = false, Aim aim = Aim::kAtPoint);

}  // namespace test
