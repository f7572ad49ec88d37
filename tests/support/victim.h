// What a test asks of victim.exe while it runs, beside its command line.
#pragma once
#include <windows.h>

enum : UINT {
    // Posted to the victim's thread: it stops pumping messages, as a hung
    // program does, for WPARAM milliseconds (INFINITE: until released).
    kVictimHang = WM_APP + 1,
    // Sent to one window: it sets a region of its own, as a skinned
    // program does, a rectangle 10 pixels inside its edges.
    kVictimReshape = WM_APP + 2,
};
inline constexpr int kVictimReshapeInset = 10;
