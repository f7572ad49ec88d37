// sheet.h - contact sheets for reviewing the art without Windows.
#pragma once

#include "formats.h"
#include "raster.h"

#include <vector>

struct Bank {
    const char* name;
    const std::vector<Image>* frames;
    int firstColourId, firstMaskId;
};

// Every frame of every bank, composed through its mask over a grey
// checkerboard, twice the size, ten to a line, each labelled with its
// index and resource ids.
Image framesSheet(const std::vector<Bank>& banks);

struct Extras {
    Image side, hen;
    IconImage icon32, icon16, crossedOut;
    CursorImage cursor;
    Image flight, fall;  // one frame of each, to show their raw bitmaps
};

// The still pictures, icons and cursor, enlarged, plus raw colour and
// mask bitmaps of one flight and one fall frame, and a flight frame over
// a few desktop colours.
Image extrasSheet(const Extras& extras);
