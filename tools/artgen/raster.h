// raster.h - shapes, scenes and the supersampling renderer.
//
// A picture is a list of groups painted back to front. A group is a union
// of shapes with one dark rim around the union, so a head can merge into a
// neck without a seam, while each wing feather (its own group) keeps its
// own outline.
#pragma once

#include "geom.h"

#include <cstdint>
#include <vector>

struct Col {
    double r = 0, g = 0, b = 0;
};

inline Col mix(Col a, Col b, double t)
{
    return {lerp(a.r, b.r, t), lerp(a.g, b.g, t), lerp(a.b, b.b, t)};
}

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
Rgb toRgb(Col c);

// The dark brown of every outline: darker than any desktop colour a
// white hen could vanish against, softer than pure black.
const Col kInk{46, 32, 30};

enum class Form { Ellipse, Polygon, Stroke };

// How a shape is lit. Dome: like a rounded body lit from the top left.
// Ramp: a straight gradient from `lit` at rampFrom to `dark` at rampTo.
enum class Shading { Flat, Dome, Ramp };

struct Shape {
    Form form = Form::Ellipse;
    Vec centre;                 // ellipse
    double rx = 0, ry = 0;      // ellipse radii along axis and across it
    Vec axis{1, 0};             // ellipse: unit vector of its long axis
    std::vector<Vec> points;    // polygon corners, or the path of a stroke
    double halfWidth = 0;       // stroke
    Shading shading = Shading::Flat;
    Vec rampFrom, rampTo;
    Col lit, dark;
};

struct Group {
    std::vector<Shape> shapes;  // later shapes lie on top of earlier ones
    double outline = 0;         // width of the rim around the union, in pixels
    Col ink = kInk;
};

using Scene = std::vector<Group>;

Shape ellipse(Vec centre, double rx, double ry, double angle, Col lit, Col dark);
Shape ellipseAlong(Vec centre, double rx, double ry, Vec axis, Col lit, Col dark);
Shape disc(Vec centre, double r, Col lit, Col dark);
Shape polygon(std::vector<Vec> corners, Col lit, Col dark, Vec rampFrom, Vec rampTo);
Shape flatPolygon(std::vector<Vec> corners, Col colour);
Shape stroke(std::vector<Vec> path, double halfWidth, Col colour);

void addGroup(Scene& scene, std::vector<Shape> shapes, double outline);
void append(Scene& scene, const Scene& more);

// Where a drawing made in its own coordinates goes in the picture:
// the point `pivot` lands on `at`, scaled, then turned clockwise by `turn`.
struct Placement {
    Vec at;
    double scale = 1;
    double turn = 0;
    Vec pivot;
};

// Maps every coordinate of the scene; outline widths stay in pixels.
void place(Scene& scene, const Placement& where);

// A rendered picture: colour, how much of each pixel the scene covers,
// and the 1-bit opacity that becomes the mask.
struct Image {
    int w = 0, h = 0;
    std::vector<Rgb> px;
    std::vector<uint8_t> cover;  // 0..255
    std::vector<uint8_t> solid;  // 1 = picture, 0 = transparent
    Rgb& at(int x, int y) { return px[y * w + x]; }
    Rgb at(int x, int y) const { return px[y * w + x]; }
    bool isSolid(int x, int y) const { return solid[y * w + x] != 0; }
};

Image blankImage(int w, int h, Rgb fill);

// Renders with 4x4 samples per pixel. A pixel is solid when at least half
// of its samples hit the scene; its colour averages only the samples that
// hit, so edges never bleed towards the background.
Image renderScene(const Scene& scene, int w, int h);

// Paints every solid pixel that touches a transparent one in the ink
// colour: a crisp one-pixel rim that a 1-bit mask keeps intact.
void outlineSilhouette(Image& img, Col ink);

// Makes everything outside the rectangle transparent; returns how many
// solid pixels that removed (a drawing that fits removes none).
int clipToBox(Image& img, int left, int top, int right, int bottom);

Image mirrored(const Image& img);

// Copies src's solid pixels onto dst with src's top-left corner at (x, y).
void pasteSolid(Image& dst, const Image& src, int x, int y);

// Blends src onto dst by its coverage, for soft scenery.
void blendCover(Image& dst, const Image& src, int x, int y);

// Fills the transparent pixels with a checkerboard of two colours.
void fillTransparent(Image& img, Rgb even, Rgb odd);
