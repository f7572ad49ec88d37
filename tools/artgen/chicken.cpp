// chicken.cpp - how the hen is drawn.
//
// Back to front: the far wing, the tail fan, the legs, the comb and wattle
// (tucked behind the head so its outline crosses their roots), the body
// with neck and head as one outlined shape, beak, eye, and last the wing
// on our side.
#include "chicken.h"

#include <cmath>

namespace {

const Col kPlumage{255, 253, 246}, kPlumageShade{182, 168, 160};
const Col kWing{250, 246, 236}, kWingShade{166, 152, 146};
const Col kFarWing{214, 206, 198}, kFarWingShade{132, 120, 116};
const Col kComb{244, 54, 44}, kCombShade{150, 14, 24};
const Col kBeak{255, 214, 62}, kBeakShade{222, 132, 22};
const Col kLeg{250, 172, 52}, kFarLeg{210, 134, 36};
const Col kEyeWhite{255, 255, 255}, kPupil{22, 16, 16};
const Col kMouth{120, 20, 24};

const Vec kHead{22, -13.5};
const double kHeadRadius = 8.5;
const Vec kShoulder{4, -7};

const double kRim = 0.8;        // outline around big parts
const double kFineRim = 0.65;   // outline around feathers and small parts

Vec head(double dx, double dy) { return kHead + Vec{dx, dy}; }

// An elongated feather growing from `base` along `dir`.
Shape feather(Vec base, Vec dir, double len, double width, Col lit, Col dark)
{
    return ellipseAlong(base + dir * (len / 2), len / 2, width / 2, dir, lit, dark);
}

// Seen from the side, a beating wing swings its leading edge from the
// shoulder up or down; the edge's length is the span as projected on the
// screen. The flight feathers trail back from the edge, the outer ones
// fanning out along it, and the rounded coverts hide their roots. One
// outline goes round the whole wing, so its scalloped edge shows the
// feathers; light shaft lines hint at them inside.
void addWing(Scene& scene, Vec shoulder, double raise, bool far)
{
    const Col lit = far ? kFarWing : kWing, dark = far ? kFarWingShade : kWingShade;
    // Raised, the wing has the head's height above it; lowered, the legs'.
    const double span = raise > 0 ? 13 : 18;
    Vec wrist = shoulder + Vec{-5 - 5 * (1 - std::fabs(raise)), -span * raise};
    // Folded, the feathers lie neatly on the back instead of spreading.
    const double spread = 0.8 + 0.2 * std::fabs(raise);
    Vec edge = wrist - shoulder;
    Vec along = normalized(edge);
    const Vec back = normalized({-1, 0.15});

    std::vector<Shape> wing, shafts;
    const int count = 6;
    for (int j = 0; j < count; ++j) {
        double t = 0.25 + 0.75 * j / (count - 1);
        double bend = 0.85 * t * t;
        Vec dir = normalized(back * (1 - bend) + along * bend);
        Vec base = shoulder + edge * t;
        double len = (10 + 5 * t) * spread;
        wing.push_back(feather(base, dir, len, 6, lit, dark));
        shafts.push_back(stroke({base + dir * (len * 0.45), base + dir * (len * 0.9)}, 0.35, dark));
    }
    double reach = length(edge);
    wing.push_back(ellipseAlong(shoulder + edge * 0.42 + back * 1.5, reach * 0.45 + 4, 5.2, along,
                                lit, dark));
    addGroup(scene, wing, kRim);
    addGroup(scene, shafts, 0);
}

// Three broad feathers fanning up and back from the rump.
void addTail(Scene& scene, const Pose& pose)
{
    const Vec base{-14, -3};
    const double angles[] = {-122, -140, -160};  // highest first: the lower ones overlap it
    const double lengths[] = {16, 19, 17};
    for (int k = 0; k < 3; ++k) {
        Vec dir = direction(degrees(angles[k]) + pose.tailLift);
        addGroup(scene, {feather(base, dir, lengths[k], 7.5, kWing, kWingShade)}, kFineRim);
    }
}

// Three toes from the ankle: spread around the shank's line when the legs
// hang, flat on the ground when she stands.
void addToes(std::vector<Shape>& parts, Vec ankle, double shankAngle, Legs legs, Col colour)
{
    if (legs == Legs::Standing) {
        parts.push_back(stroke({ankle, ankle + Vec{5.5, 0.6}}, 1.0, colour));
        parts.push_back(stroke({ankle, ankle + Vec{3.5, 1.4}}, 1.0, colour));
        parts.push_back(stroke({ankle, ankle + Vec{-3.2, 0.6}}, 1.0, colour));
        return;
    }
    const double spread[] = {-0.55, 0.0, 0.55};
    for (double s : spread)
        parts.push_back(stroke({ankle, ankle + direction(shankAngle + s) * 4.2}, 0.95, colour));
}

// `turn` swings the leg from its pose's usual direction.
void addLeg(Scene& scene, Vec hip, Legs legs, double turn, Col colour)
{
    double angle = 0, len = 0;
    switch (legs) {
    case Legs::Tucked: angle = degrees(150); len = 8; break;    // trailing back in flight
    case Legs::Dangling: angle = degrees(95); len = 10; break;  // kicking out when hit
    case Legs::Standing: angle = degrees(92); len = 13; break;
    }
    angle += turn;
    Vec ankle = hip + direction(angle) * len;
    std::vector<Shape> parts{stroke({hip, ankle}, 1.35, colour)};
    addToes(parts, ankle, angle, legs, colour);
    addGroup(scene, parts, kFineRim);
}

void addComb(Scene& scene)
{
    addGroup(scene,
             {disc(head(-6.2, -5.2), 2.7, kComb, kCombShade),
              disc(head(-3.2, -7.9), 3.3, kComb, kCombShade),
              disc(head(0.9, -8.9), 3.5, kComb, kCombShade),
              disc(head(4.6, -7.2), 2.8, kComb, kCombShade)},
             kRim);
}

void addWattle(Scene& scene)
{
    addGroup(scene, {ellipse(head(5.2, 7.2), 3.6, 2.4, degrees(80), kComb, kCombShade)}, kRim);
}

void addBeak(Scene& scene, bool gaping)
{
    if (gaping) {
        addGroup(scene, {flatPolygon({head(5.5, -0.5), head(12.5, 1.0), head(5.5, 4.2)}, kMouth)}, 0);
        addGroup(scene,
                 {polygon({head(5.6, 1.8), head(12.5, 5.2), head(5.4, 4.6)}, kBeak, kBeakShade,
                          head(8, 2), head(8, 5))},
                 kFineRim);
        addGroup(scene,
                 {polygon({head(5.5, -4.4), head(15, -1.6), head(6.5, 0.6)}, kBeak, kBeakShade,
                          head(9, -4), head(10, 0.5))},
                 kFineRim);
        return;
    }
    addGroup(scene,
             {polygon({head(5.6, 1.2), head(11.6, 1.7), head(5.6, 3.3)}, kBeak, kBeakShade,
                      head(8, 1.2), head(8, 3.3))},
             kFineRim);
    addGroup(scene,
             {polygon({head(5.5, -4.2), head(15, -0.4), head(6.5, 1.7)}, kBeak, kBeakShade,
                      head(9, -4), head(10, 1.5))},
             kFineRim);
}

void addEye(Scene& scene, bool dazed)
{
    const Vec eye = head(2.8, -2.6);
    if (dazed) {
        // X eyes: the cartoon sign for a knocked-out bird.
        const double r = 1.9;
        addGroup(scene, {disc(eye, 2.7, kEyeWhite, kEyeWhite)}, kFineRim);
        addGroup(scene,
                 {stroke({eye + Vec{-r, -r}, eye + Vec{r, r}}, 0.65, kInk),
                  stroke({eye + Vec{-r, r}, eye + Vec{r, -r}}, 0.65, kInk)},
                 0);
        return;
    }
    addGroup(scene, {disc(eye, 2.5, kEyeWhite, kEyeWhite)}, kFineRim);
    addGroup(scene,
             {disc(eye + Vec{0.7, 0.1}, 1.45, kPupil, kPupil),
              disc(eye + Vec{1.1, -0.6}, 0.5, kEyeWhite, kEyeWhite)},
             0);
}

// Body, plump breast, neck and head: one shape with one outline.
void addBody(Scene& scene)
{
    addGroup(scene,
             {ellipse({0, 0}, 19, 13.5, degrees(-10), kPlumage, kPlumageShade),
              ellipse({10, -1.5}, 11.5, 11, degrees(-20), kPlumage, kPlumageShade),
              ellipse({16, -6}, 8.5, 7.2, degrees(-55), kPlumage, kPlumageShade),
              disc(kHead, kHeadRadius, kPlumage, kPlumageShade)},
             kRim);
}

}  // namespace

void addChicken(Scene& scene, const Pose& pose)
{
    // As if seen a little from above and in front, the far wing shows
    // forward of and higher than the near one.
    addWing(scene, kShoulder + Vec{4, -2.5}, pose.farWing, true);
    addTail(scene, pose);
    // The legs swing in opposite directions; kicking, they also splay.
    double splay = pose.legs == Legs::Dangling ? degrees(28) : 0;
    addLeg(scene, {-3, 9}, pose.legs, splay - pose.legSwing, kFarLeg);
    addLeg(scene, {2, 10.5}, pose.legs, pose.legSwing, kLeg);
    addComb(scene);
    addWattle(scene);
    addBody(scene);
    addBeak(scene, pose.dazed);
    addEye(scene, pose.dazed);
    addWing(scene, kShoulder, pose.nearWing, false);
}

void addLooseFeather(Scene& scene, Vec centre, double angle, double len)
{
    // A gently curved vane, round at the root and pointed at the tip,
    // traced down one side and back up the other, with its quill.
    Vec dir = direction(angle), side = perp(dir);
    Vec root = centre - dir * (len * 0.5);
    auto spine = [&](double s) { return root + dir * (len * s) + side * (len * 0.18 * s * (1 - s)); };
    auto halfWidth = [&](double s) {
        double taper = s < 0.1 ? 0.6 + 4 * s : 1;  // a narrower root where the quill enters
        return len * 0.2 * sine(kPi * (0.15 + 0.85 * s)) * taper;
    };
    std::vector<Vec> outline;
    const int steps = 10;
    for (int k = 0; k <= steps; ++k) {
        double s = static_cast<double>(k) / steps;
        outline.push_back(spine(s) + side * halfWidth(s));
    }
    for (int k = steps; k >= 0; --k) {
        double s = static_cast<double>(k) / steps;
        outline.push_back(spine(s) - side * halfWidth(s));
    }
    addGroup(scene, {polygon(outline, kPlumage, kPlumageShade, spine(0.3) - side * 3, spine(0.7) + side * 3)},
             kFineRim);
    addGroup(scene, {stroke({root - dir * (len * 0.12), spine(0.4), spine(0.75)}, 0.4, kWingShade)}, 0);
}
