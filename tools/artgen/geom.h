// geom.h - 2-D vectors and a portable sine for the art generator.
#pragma once

#include <cmath>

struct Vec {
    double x = 0, y = 0;
};

inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
inline Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
inline double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
inline double length(Vec a) { return std::sqrt(dot(a, a)); }
inline Vec perp(Vec a) { return {-a.y, a.x}; }

inline Vec normalized(Vec a)
{
    double len = length(a);
    return len > 1e-12 ? a * (1.0 / len) : Vec{1, 0};
}

// Rotates a by the angle whose cosine and sine are turn.x and turn.y.
inline Vec rotate(Vec a, Vec turn)
{
    return {a.x * turn.x - a.y * turn.y, a.x * turn.y + a.y * turn.x};
}

inline double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline double lerp(double a, double b, double t) { return a + (b - a) * t; }

constexpr double kPi = 3.14159265358979323846;
inline double degrees(double d) { return d * kPi / 180.0; }

// Our own sine and cosine: the C library's may differ in the last bit
// between versions, and one such bit can move a mask pixel. A series
// using only + and * gives the same bytes wherever the tool is built.
double sine(double radians);
double cosine(double radians);

// Unit vector at the given angle; y points down, so positive turns clockwise.
inline Vec direction(double radians) { return {cosine(radians), sine(radians)}; }
