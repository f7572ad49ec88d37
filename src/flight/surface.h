// A memory DC and what it holds, shared by the art and the snapshot.
#pragma once
#include <windows.h>

// The bitmap it was given to own (none for the frame surfaces, which show
// the banks' bitmaps) and the one it held at creation, selected back before
// the DC goes.
struct Surface {
    HDC dc = nullptr;
    HBITMAP own = nullptr;
    HBITMAP first = nullptr;
};

// Selects `bitmap` into the surface; the first selection keeps what the DC
// held at creation.
void SelectIntoSurface(Surface& surface, HBITMAP bitmap);
// The surface owns `bitmap` from now on, selected or not.
void GiveSurfaceBitmap(Surface& surface, HBITMAP bitmap);
// The first bitmap back, then its own bitmap and the DC deleted.
void DeleteSurface(Surface& surface);
