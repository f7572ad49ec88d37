// font.h - a 5x7 pixel font for the contact sheets' labels.
#pragma once

#include "raster.h"

// Draws text (letters, digits, space and - / ( ) , . : +; lower case is
// drawn as upper case) with its top-left corner at (x, y), each font pixel
// `scale` pixels wide.
void drawText(Image& img, int x, int y, const char* text, int scale, Rgb colour);

// Width in pixels of text drawn at the given scale.
int textWidth(const char* text, int scale);
