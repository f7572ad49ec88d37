// wallpaper.h - a desktop background for the pictures of the README.
//
// Not one of the program's resources: scripts/pictures sets it as the
// wallpaper of its Wine desktop, so that the holes show a landscape.
#pragma once

#include "raster.h"

// Sky, sun and clouds over rows of hills, trees and a barn, w x h.
Image wallpaper(int w, int h);
