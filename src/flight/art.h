// The chicken's art, kept for the whole run: the frame banks, the two
// surfaces a frame is shown from, the cursors, and the banks scaled to the
// DPI of the last flight's monitor.
#pragma once
#include <windows.h>

#include "app/gdi.h"
#include "res/resource.h"

// The art's sizes at 96 dpi, the sprite window's: a flying chicken, and a
// falling one.
enum { kFlyWidth = 90, kFlyHeight = 60, kFallWidth = 100, kFallHeight = 90 };

struct FrameBank {
    Bitmap frames[FRAMES_PER_BANK];  // colour
    Bitmap masks[FRAMES_PER_BANK];   // 1 = transparent, 0 = chicken
};

// The three banks, in the order they are loaded.
enum Bank { kRightBank, kLeftBank, kFallBank, kBanks };

struct ArtState {
    FrameBank banks[kBanks];   // as loaded, at 96 dpi
    MemoryDc frameSurface;     // shows the colour frame of the current tick
    MemoryDc maskSurface;      // shows its mask
    HCURSOR crosshairCursor, arrowCursor;
    FrameBank scaled[kBanks];  // the banks at bankDpi
    int bankDpi;               // 0 or 96: none scaled
};
extern ArtState g_art;

// A frame as the drawing takes it: the DCs that hold its colour and its
// mask, both none when no frame is to be drawn.
struct SpriteFrame {
    HDC colour, mask;
};

int LoadFrameBanks();
void FreeFrameBanks();
// The banks at `dpi`, scaled from the loaded ones when the DPI differs from
// that of the last call; 0 when they cannot be made (nothing scaled then).
int ScaleFrameBanks(int dpi);
// `bank` as the last ScaleFrameBanks made it.
const FrameBank* ShownBank(Bank bank);
// Selects frame `index` of `bank` into the frame and mask surfaces.
void SelectFrame(const FrameBank& bank, int index);
// The frame last selected.
SpriteFrame SelectedFrame();
// The crosshair, or the arrow.
void ShowPointer(bool crosshair);

void Art_Reset();
