#include "flight/surface.h"

void SelectIntoSurface(Surface& surface, HBITMAP bitmap)
{
    if (!surface.dc || !bitmap) return;
    HBITMAP old = static_cast<HBITMAP>(SelectObject(surface.dc, bitmap));
    if (!surface.first) surface.first = old;
}

void GiveSurfaceBitmap(Surface& surface, HBITMAP bitmap)
{
    surface.own = bitmap;
    SelectIntoSurface(surface, bitmap);
}

// The DC gets its first bitmap back before its own bitmap and then the DC
// go, so that no bitmap is deleted while selected and none stays selected
// into a deleted DC. A bitmap whose DC could not be made goes too.
void DeleteSurface(Surface& surface)
{
    if (surface.dc && surface.first) SelectObject(surface.dc, surface.first);
    if (surface.own) DeleteObject(surface.own);
    if (surface.dc) DeleteDC(surface.dc);
    surface = Surface{};
}
