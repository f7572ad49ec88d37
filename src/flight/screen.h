// The chicken's art and the drawing machinery of a flight: the frame banks,
// the frozen screen, and the sprite composed over it through its mask.
#pragma once
#include <windows.h>

#include "res/resource.h"

struct FrameBank {
    HBITMAP frames[FRAMES_PER_BANK];  // colour
    HBITMAP masks[FRAMES_PER_BANK];   // 1 = transparent, 0 = chicken
};

// A memory DC and what it holds: the bitmap it was given to own (none for
// the frame surfaces, which show the banks' bitmaps) and the one it held at
// creation, selected back before the DC goes.
struct Surface {
    HDC dc = nullptr;
    HBITMAP own = nullptr;
    HBITMAP first = nullptr;
};

struct ScreenState {
    FrameBank RightBank, LeftBank, FallBank;
    Surface FrameSurface;  // holds the colour frame of the current tick
    Surface MaskSurface;   // holds its mask
    HCURSOR CrosshairCursor, arrowCursor;

    HDC DisplayContext;      // the live screen, from FreezeScreen to ReleaseScreen
    Surface ScreenSnapshot;  // the frozen screen
    Surface ComposeSurface;  // 100 x 90, where a paint is composed
    HWND PreviousForeground;  // in front when a flight froze the screen; until its release

    // The virtual screen of the last FreezeScreen, all monitors together;
    // outlive the screen state. The background window's client area and the
    // snapshot begin at the origin.
    int screenWidth, screenHeight;
    int originX, originY;

    FrameBank scaled[3];  // the banks at bankDpi, in the order they are loaded
    int bankDpi;          // 0 or 96: none scaled
};
extern ScreenState g_screen;

int LoadFrameBanks();
void FreeFrameBanks();
// 0 when the screen cannot be read: nothing is held and the windows stay
// where they were.
int FreezeScreen();
BOOL ReleaseScreen();
// The strip at screen position (x, y), fresh from the live screen.
void RefreshSnapshotStrip(int x, int y, int width, int height);
// The banks at `dpi`, scaled from the loaded ones when the DPI differs from
// that of the last call; 0 when they cannot be made (nothing scaled then).
int ScaleFrameBanks(int dpi);
// `loaded` as the last ScaleFrameBanks made it.
const FrameBank* ShownBank(const FrameBank& loaded);
// Selects frame `index` of `bank` into FrameSurface and MaskSurface.
void SelectFrame(const FrameBank& bank, int index);

// A tick's move of the sprite window to screen position (x, y), invalidating
// nothing.
void MoveSprite(int x, int y, int width, int height);
// WM_PAINT of the sprite window: exposures.
LRESULT PaintSprite(HWND sprite);
// A tick's picture, drawn at once into the window's DC rather than through
// its update region.
void DrawSprite(HWND sprite);
LRESULT PaintBackground(HWND background);
// WM_SETCURSOR of both windows: the crosshair during a flight, else the arrow.
LRESULT OnSetCursor();
// WM_ERASEBKGND of both windows: nothing is erased, every paint covers its area.
LRESULT OnEraseBackground();

void Screen_Reset();
