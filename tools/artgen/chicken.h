// chicken.h - the white hen, drawn from ellipses, polygons and strokes.
//
// The hen is drawn facing right in her own coordinates: the middle of her
// body at the origin, y pointing down, one unit one pixel at the size she
// flies at. A Placement puts her into a picture.
#pragma once

#include "raster.h"

enum class Legs { Tucked, Dangling, Standing };

struct Pose {
    double nearWing = 0;   // wing on our side: 1 straight up, 0 folded, -1 straight down
    double farWing = 0;    // the other wing, seen behind the body
    double tailLift = 0;   // radians; positive raises the tail fan
    Legs legs = Legs::Tucked;
    double legSwing = 0;   // radians: the near leg swings forward by this, the far one back
    bool dazed = false;    // X eyes and a gaping beak: she has been hit
};

void addChicken(Scene& scene, const Pose& pose);

// A small loose body feather, `len` pixels long, pointing along `angle`.
void addLooseFeather(Scene& scene, Vec centre, double angle, double len);
