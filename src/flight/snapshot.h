// A flight's frozen screen, from FreezeScreen to ReleaseScreen, and the
// sprite composed over it through its mask.
#pragma once
#include <windows.h>

#include "app/gdi.h"
#include "flight/art.h"

struct SnapshotState {
    MemoryDc display;          // the live screen, made by CreateDC
    MemoryDc snapshot;         // the frozen screen, in a bitmap of its own
    MemoryDc compose;          // as large as the falling chicken; where a paint is composed
    HWND previousForeground;   // in front when a flight froze the screen; until its release

    // The virtual screen of the last FreezeScreen, all monitors together;
    // they outlive the rest. The background window's client area and the
    // snapshot begin at the origin.
    int screenWidth, screenHeight;
    int originX, originY;
};
extern SnapshotState g_snapshot;

// Room to compose a sprite of `composeWidth` x `composeHeight`. 0 when the
// screen cannot be read or an object of the freeze cannot be made: nothing
// is held and the windows stay where they were.
int FreezeScreen(int composeWidth, int composeHeight);
BOOL ReleaseScreen();
// Both windows off every monitor, the 1 x 1 topmost cover where no click
// reaches it: at every release, and when the monitors change between flights.
void ParkWindows();
// The strip at screen position (x, y), fresh from the live screen.
void RefreshSnapshotStrip(int x, int y, int width, int height);

// A tick's move of the sprite window to screen position (x, y), invalidating
// nothing.
void MoveSprite(int x, int y, int width, int height);
// WM_PAINT of the sprite window: exposures.
LRESULT PaintSprite(HWND sprite, int width, int height, const SpriteFrame& frame);
// A tick's picture, drawn at once into the window's DC rather than through
// its update region.
void DrawSprite(HWND sprite, int width, int height, const SpriteFrame& frame);
LRESULT PaintBackground(HWND background);
// WM_ERASEBKGND of both windows: nothing is erased, every paint covers its area.
LRESULT OnEraseBackground();

void Snapshot_Reset();
