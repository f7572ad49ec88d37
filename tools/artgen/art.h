// art.h - every picture of the game, ready to be written out.
#pragma once

#include "formats.h"
#include "raster.h"
#include "resource.h"

// One frame per resource id of a bank.
constexpr int kFrameCount = FRAMES_PER_BANK;

// Where the hen may put a solid pixel: first and last column and row.
struct Box {
    int left, top, right, bottom;
};
constexpr Box kFlightBox{12, 4, 87, 55};
constexpr Box kFallBox{22, 11, 83, 88};

// Frame i of the flight facing right, 90 x 60; transparent pixels black.
// The flight facing left is its mirror image.
Image flightFrame(int i);

// Frame i of the fall, 100 x 90; transparent pixels in two yellows.
Image fallFrame(int i);

// The tall picture down the side of the options dialog, 72 x 250.
Image sidePicture();

// A standing hen, 81 x 59, transparent pixels black.
Image henPicture();

// The standard Windows 16-colour palette that the icons use.
extern const Rgb kVgaPalette[16];

// The hen's head as a 32 x 32 or 16 x 16 icon image (icons.cpp).
IconImage headIcon(int size);

// The head at 32 x 32 or 16 x 16 crossed out by a red X.
IconImage crossedOutIcon(int size);

// The crosshair, 32 x 32, hot spot at (15, 16).
CursorImage crosshairCursor();
