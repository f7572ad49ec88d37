// wallpaper.cpp - a summer landscape as a desktop background.
//
// Sky and hills are functions of the pixel: a gradient, and ridges that are
// sums of sines, antialiased by how much of each pixel lies below the ridge.
// Clouds, trees, the barn and the flowers are scenes for the sprite renderer,
// each rendered in a small tile of its own: the renderer tries every shape
// at every sample, far too slow for a whole screen at once.
#include "wallpaper.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// One sine of a ridge: amplitude as a fraction of the height, wavelength as
// a fraction of the width, phase in radians.
struct Wave {
    double amplitude, wavelength, phase;
};

struct Ridge {
    double base;  // mean height of the ridge, as a fraction of the height
    std::vector<Wave> waves;
    Col lit, dark;  // at the ridge, and from `depth` pixels below it on
    double depth;
    double haze;  // how far the colour fades towards the horizon's
};

const Col kSkyTop{58, 118, 206}, kHorizon{214, 232, 246};
const Col kSun{255, 251, 230}, kSunGlow{255, 238, 186};

// Back to front: far mountains in the haze, two rows of hills, the meadow.
const Ridge kMountains{0.52, {{0.07, 0.55, 1.3}, {0.028, 0.21, 0.4}, {0.01, 0.07, 2.0}},
                       {142, 164, 204}, {168, 188, 216}, 120, 0.3};
const Ridge kFarHills{0.6, {{0.045, 0.8, 2.6}, {0.02, 0.29, 0.9}, {0.006, 0.09, 0.3}},
                      {140, 190, 108}, {106, 158, 88}, 90, 0.18};
const Ridge kNearHills{0.7, {{0.055, 1.1, 4.1}, {0.016, 0.26, 1.7}, {0.005, 0.1, 0.6}},
                       {120, 186, 76}, {76, 140, 54}, 110, 0};
const Ridge kMeadow{0.85, {{0.028, 1.7, 0.2}, {0.009, 0.17, 2.2}}, {108, 180, 62}, {62, 128, 42}, 90, 0};

Col fromRgb(Rgb c) { return {1.0 * c.r, 1.0 * c.g, 1.0 * c.b}; }

// The ridge's top, in pixels from the top of the picture, at column x; with
// `waves` 1, only its broad swell, without the small waves on it.
double ridgeTop(const Ridge& r, double x, int w, int h, size_t waves = 99)
{
    double y = r.base;
    for (size_t i = 0; i < r.waves.size() && i < waves; ++i) {
        const Wave& wave = r.waves[i];
        y -= wave.amplitude * sine(2 * kPi * x / (wave.wavelength * w) + wave.phase);
    }
    return y * h;
}

void paintSky(Image& img, Vec sun, double sunRadius)
{
    const double horizon = 0.56 * img.h;
    for (int y = 0; y < img.h; ++y) {
        double t = clamp01(y / horizon);
        Col row = mix(kSkyTop, kHorizon, t * t * (1.5 - 0.5 * t));
        for (int x = 0; x < img.w; ++x) {
            double d = length(Vec{x + 0.5, y + 0.5} - sun);
            Col c = mix(row, kSunGlow, 0.6 * std::exp(-d / (3.5 * sunRadius)));
            c = mix(c, kSun, clamp01(sunRadius - d + 0.5));
            img.at(x, y) = toRgb(c);
        }
    }
}

// Shaded from the ridge's broad swell down (the small waves would streak
// the shading), lighter on slopes that face the sun on the right, and faded
// towards the horizon's colour by the haze.
void paintRidge(Image& img, const Ridge& r)
{
    const int sub = 4;
    std::vector<double> tops(static_cast<size_t>(img.w) * sub);
    for (size_t i = 0; i < tops.size(); ++i)
        tops[i] = ridgeTop(r, (i + 0.5) / sub, img.w, img.h);
    for (int x = 0; x < img.w; ++x) {
        double top = ridgeTop(r, x + 0.5, img.w, img.h, 1);
        double slope = ridgeTop(r, x + 1.5, img.w, img.h, 1) - ridgeTop(r, x - 0.5, img.w, img.h, 1);
        double light = 0.5 * std::max(-0.3, std::min(0.3, slope / 2));
        double highest = img.h;
        for (int s = 0; s < sub; ++s)
            highest = std::min(highest, tops[static_cast<size_t>(x) * sub + s]);
        for (int y = std::max(0, static_cast<int>(highest)); y < img.h; ++y) {
            double cover = 0;
            for (int s = 0; s < sub; ++s)
                cover += clamp01(y + 1 - tops[static_cast<size_t>(x) * sub + s]);
            cover /= sub;
            if (cover <= 0)
                continue;
            double t = clamp01((y + 0.5 - top) / r.depth);
            Col c = mix(r.lit, r.dark, std::sqrt(t));
            double lift = 1 + light * (1 - t);
            c = {c.r * lift, c.g * lift, c.b * lift};
            c = mix(c, kHorizon, r.haze * (1 - 0.4 * t));
            img.at(x, y) = toRgb(mix(fromRgb(img.at(x, y)), c, cover));
        }
    }
}

// Renders the scene into the tile with its top left corner at (x0, y0) and
// blends it over the picture.
void paintScene(Image& img, Scene scene, int x0, int y0, int w, int h)
{
    place(scene, {{-1.0 * x0, -1.0 * y0}, 1, 0, {}});
    blendCover(img, renderScene(scene, w, h), x0, y0);
}

void paintCloud(Image& img, Vec at, double size)
{
    const Col white{255, 255, 255}, shade{200, 216, 236};
    const double puffs[][4] = {{-1.5, 0.25, 0.75, 0.45}, {-0.6, -0.2, 0.9, 0.7}, {0.5, -0.45, 1.0, 0.85},
                               {1.5, 0.0, 0.8, 0.6},     {0.1, 0.3, 1.6, 0.42}};
    Scene s;
    std::vector<Shape> shapes;
    for (const auto& p : puffs)
        shapes.push_back(ellipse(at + Vec{p[0], p[1]} * size, p[2] * size, p[3] * size, 0, white, shade));
    addGroup(s, shapes, 0);
    int x0 = static_cast<int>(at.x - 2.5 * size), y0 = static_cast<int>(at.y - 1.4 * size);
    paintScene(img, s, x0, y0, static_cast<int>(5 * size) + 2, static_cast<int>(2.2 * size) + 2);
}

// A round tree `height` pixels tall standing on `foot`.
void paintTree(Image& img, Vec foot, double height)
{
    const Col bark{112, 80, 52}, leaf{84, 156, 58}, leafShade{34, 88, 34};
    const double k = height / 30;
    Scene s;
    addGroup(s, {stroke({foot + Vec{0, 2 * k}, foot + Vec{0, -14 * k}}, 1.6 * k, bark)}, 0);
    addGroup(s,
             {disc(foot + Vec{-4 * k, -15 * k}, 8 * k, leaf, leafShade),
              disc(foot + Vec{5 * k, -16 * k}, 7.5 * k, leaf, leafShade),
              disc(foot + Vec{0, -22 * k}, 8.5 * k, leaf, leafShade)},
             0);
    int x0 = static_cast<int>(foot.x - 14 * k) - 1, y0 = static_cast<int>(foot.y - 32 * k) - 1;
    paintScene(img, s, x0, y0, static_cast<int>(28 * k) + 3, static_cast<int>(36 * k) + 3);
}

// A red barn with a white door, `width` pixels wide, standing on `foot`.
void paintBarn(Image& img, Vec foot, double width)
{
    const double k = width / 40;
    const Col red{196, 56, 42}, redShade{140, 36, 30}, roof{92, 66, 58}, white{246, 244, 236};
    auto p = [&](double x, double y) { return foot + Vec{x, y} * k; };
    Scene s;
    addGroup(s,
             {polygon({p(-20, 3), p(-20, -18), p(0, -30), p(20, -18), p(20, 3)}, red, redShade, p(-20, -30),
                      p(20, 3))},
             0.8);
    addGroup(s, {stroke({p(-23, -16), p(0, -32), p(23, -16)}, 2.2 * k, roof)}, 0);
    addGroup(s,
             {flatPolygon({p(-7, 3), p(-7, -12), p(7, -12), p(7, 3)}, white),
              flatPolygon({p(-5.5, 3), p(-5.5, -10.5), p(5.5, -10.5), p(5.5, 3)}, redShade),
              stroke({p(-5.5, -10.5), p(5.5, 3)}, 0.9 * k, white), stroke({p(5.5, -10.5), p(-5.5, 3)}, 0.9 * k, white),
              flatPolygon({p(-3, -24), p(3, -24), p(3, -19), p(-3, -19)}, white)},
             0);
    int x0 = static_cast<int>(foot.x - 25 * k) - 1, y0 = static_cast<int>(foot.y - 35 * k) - 1;
    paintScene(img, s, x0, y0, static_cast<int>(50 * k) + 3, static_cast<int>(40 * k) + 3);
}

// Flowers scattered over the meadow by a fixed little generator.
void paintFlowers(Image& img, const Ridge& meadow, int count)
{
    const Col colours[][2] = {{{255, 255, 255}, {210, 214, 220}},
                              {{255, 226, 70}, {214, 160, 30}},
                              {{240, 110, 140}, {180, 60, 90}}};
    uint32_t state = 12345;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return (state >> 8) & 0xFFFF;
    };
    for (int i = 0; i < count; ++i) {
        double x = next() % static_cast<uint32_t>(img.w);
        double top = ridgeTop(meadow, x, img.w, img.h);
        double y = top + 8 + next() % static_cast<uint32_t>(std::max(1.0, img.h - top - 10));
        double r = 1.4 + 1.4 * (y - top) / (img.h - top);
        const auto& c = colours[next() % 3];
        Scene s;
        addGroup(s, {disc({x, y}, r, c[0], c[1])}, 0);
        int x0 = static_cast<int>(x - r) - 1, y0 = static_cast<int>(y - r) - 1;
        paintScene(img, s, x0, y0, static_cast<int>(2 * r) + 3, static_cast<int>(2 * r) + 3);
    }
}

}  // namespace

Image wallpaper(int w, int h)
{
    Image img = blankImage(w, h, Rgb{});
    const double u = h / 768.0;  // the sizes below are for a 768-pixel-high screen
    paintSky(img, {0.8 * w, 0.17 * h}, 34 * u);
    paintCloud(img, {0.14 * w, 0.11 * h}, 38 * u);
    paintCloud(img, {0.45 * w, 0.07 * h}, 26 * u);
    paintCloud(img, {0.6 * w, 0.3 * h}, 32 * u);
    paintCloud(img, {0.3 * w, 0.33 * h}, 20 * u);
    paintCloud(img, {0.93 * w, 0.36 * h}, 22 * u);

    paintRidge(img, kMountains);
    paintRidge(img, kFarHills);
    for (double x : {0.08, 0.11, 0.47, 0.5, 0.52, 0.86})
        paintTree(img, {x * w, ridgeTop(kFarHills, x * w, w, h) + 4 * u}, 14 * u);

    paintRidge(img, kNearHills);
    paintBarn(img, {0.27 * w, ridgeTop(kNearHills, 0.27 * w, w, h) + 10 * u}, 46 * u);
    for (double x : {0.2, 0.34, 0.37, 0.66, 0.7, 0.95})
        paintTree(img, {x * w, ridgeTop(kNearHills, x * w, w, h) + 8 * u}, 30 * u);

    paintRidge(img, kMeadow);
    paintFlowers(img, kMeadow, 90);
    for (double x : {0.04, 0.78})
        paintTree(img, {x * w, ridgeTop(kMeadow, x * w, w, h) + 14 * u}, 54 * u);
    return img;
}
