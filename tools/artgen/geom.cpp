// geom.cpp - portable sine and cosine.
#include "geom.h"

double sine(double radians)
{
    // Reduce to [-pi/2, pi/2], where nine terms of the Taylor series are
    // exact to well below the precision any pixel cares about.
    double x = radians - std::floor(radians / (2 * kPi) + 0.5) * (2 * kPi);
    if (x > kPi / 2)
        x = kPi - x;
    else if (x < -kPi / 2)
        x = -kPi - x;
    double x2 = x * x, term = x, sum = x;
    for (int n = 1; n <= 8; ++n) {
        term *= -x2 / ((2.0 * n) * (2.0 * n + 1));
        sum += term;
    }
    return sum;
}

double cosine(double radians) { return sine(radians + kPi / 2); }
