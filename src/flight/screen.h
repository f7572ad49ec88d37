// The chicken's art and the drawing machinery of a flight: the frame banks,
// the frozen screen, and the sprite composed over it through its mask.
#pragma once
#include <windows.h>

#include "res/resource.h"

struct FrameBank {
    HBITMAP frames[FRAMES_PER_BANK];  // colour
    HBITMAP masks[FRAMES_PER_BANK];   // 1 = transparent, 0 = chicken
};

struct ScreenState {
    FrameBank RightBank, LeftBank, FallBank;
    HDC FrameSurface;     // holds the colour frame of the current tick
    HDC MaskSurface;      // holds its mask
    HBITMAP frameSurfaceFirst, maskSurfaceFirst;  // what the surfaces held at creation
    HCURSOR CrosshairCursor, arrowCursor;

    HDC DisplayContext;   // the live screen, from FreezeScreen to ReleaseScreen
    HDC ScreenSnapshot;
    HBITMAP snapshotBitmap, snapshotPrevious;
    HDC ComposeSurface;   // 100 x 90, where a paint is composed
    HBITMAP composeBitmap, composePrevious;
    HWND PreviousForeground;  // in front when a flight froze the screen; until its release

    int screenWidth, screenHeight;  // of the last FreezeScreen; outlive the screen state
    UINT taskIconMessage, showMenuMessage;
};
extern ScreenState g_screen;

int LoadFrameBanks();
void FreeFrameBanks();
int FreezeScreen();
BOOL ReleaseScreen();
void RefreshSnapshotStrip(int x, int y, int width, int height);
// Selects frame `index` of `bank` into FrameSurface and MaskSurface.
void SelectFrame(const FrameBank& bank, int index);

LRESULT PaintSprite(HWND sprite);
LRESULT PaintBackground(HWND background);
LRESULT CursorRule();
LRESULT EraseRule();

UINT TaskIconMessage();

void Screen_Reset();
