// art.cpp - the animations and the still pictures.
#include "art.h"

#include "chicken.h"

#include <cstdio>

namespace {

const Rgb kBlack{0, 0, 0};
// The falling frames' transparent colour: a fine pattern of two yellows.
const Rgb kYellow{0xFF, 0xFF, 0x00}, kPaleYellow{0xFB, 0xFC, 0x15};

// Renders a sprite: crisp outline round the silhouette, nothing outside
// the box. Complains if the drawing had to be cut to fit.
Image renderSprite(const Scene& scene, int w, int h, Box box, const char* what, int i)
{
    Image img = renderScene(scene, w, h);
    int cut = clipToBox(img, box.left, box.top, box.right, box.bottom);
    if (cut > 0)
        std::fprintf(stderr, "artgen: warning: %s %d: %d pixels outside the box\n", what, i, cut);
    outlineSilhouette(img, kInk);
    return img;
}

// Phase of the wing beat: the downstroke takes about 40% of the cycle and
// the upstroke the rest, as a bird pulls down hard and recovers slowly.
// Periodic, so frame 18 runs smoothly into frame 0.
double beatPhase(int i)
{
    double t = 2 * kPi * i / kFrameCount;
    return t + 0.3 * (1 - cosine(t));
}

// A loose feather drifting like a leaf: swaying from side to side, tilting
// with the swing and bobbing twice per sway.
struct Drift {
    Vec home;
    double sway;
    double phase;
    double tilt;
};

const Drift kLooseFeathers[] = {
    {{34, 17}, 4.0, 0.0, degrees(-20)},
    {{71, 19}, 3.5, 2.4, degrees(200)},
    {{33, 81}, 3.5, 4.1, degrees(15)},
    {{72, 82}, 4.0, 1.2, degrees(160)},
};

void addDriftingFeathers(Scene& scene, int i)
{
    double t = 2 * kPi * i / kFrameCount;
    for (const Drift& d : kLooseFeathers) {
        double psi = t + d.phase;
        Vec at = d.home + Vec{d.sway * sine(psi), -1.5 * cosine(2 * psi)};
        addLooseFeather(scene, at, d.tilt + 0.45 * cosine(psi), 12);
    }
}

// Scenery for the side picture, drawn soft and blended.
void addCloud(Scene& scene, Vec at, double size)
{
    const Col white{255, 255, 255}, shade{206, 222, 240};
    addGroup(scene,
             {ellipse(at + Vec{-0.9, 0.25} * size, 0.8 * size, 0.5 * size, 0, white, shade),
              ellipse(at + Vec{0.2, -0.2} * size, 0.9 * size, 0.7 * size, 0, white, shade),
              ellipse(at + Vec{1.1, 0.3} * size, 0.7 * size, 0.45 * size, 0, white, shade)},
             0);
}

Image sky(int w, int h, int horizon)
{
    const Col top{46, 104, 196}, low{176, 216, 246};
    Image img = blankImage(w, h, Rgb{});
    for (int y = 0; y < h; ++y) {
        Rgb c = toRgb(mix(top, low, clamp01(static_cast<double>(y) / horizon)));
        for (int x = 0; x < w; ++x)
            img.at(x, y) = c;
    }
    return img;
}

Scene meadow(int w, int h, int top)
{
    const Col far{98, 170, 72}, farShade{70, 132, 52};
    const Col near{92, 180, 60}, nearShade{46, 120, 36};
    const Col blade{60, 140, 44};
    Scene s;
    addGroup(s, {ellipse({w * 0.8, top + 6.0}, w * 0.75, 16, 0, far, farShade)}, 0);
    addGroup(s,
             {ellipse({w * 0.15, top + 16.0}, w * 0.9, 14, 0, near, nearShade),
              polygon({{0, top + 16.0}, {w * 1.0, top + 16.0}, {w * 1.0, h * 1.0}, {0, h * 1.0}},
                      near, nearShade, {0, top + 10.0}, {0, h * 1.0})},
             0);
    // Tufts of grass: short strokes fanning from one root.
    for (int k = 0; k < 9; ++k) {
        Vec root{4.0 + k * 8.1 + (k % 3) * 1.7, top + 24.0 + (k % 4) * 5.0};
        std::vector<Shape> tuft;
        for (int b = -1; b <= 1; ++b)
            tuft.push_back(stroke({root, root + direction(degrees(-90 + 25 * b)) * 4.5}, 0.45, blade));
        addGroup(s, tuft, 0);
    }
    return s;
}

// Red rings and ticks of a gun sight, centred on `at`.
void addSight(Scene& scene, Vec at, double r)
{
    const Col red{220, 30, 30};
    std::vector<Shape> ring;
    const int dashes = 48;
    for (int k = 0; k < dashes; ++k) {
        Vec a = at + direction(2 * kPi * k / dashes) * r;
        Vec b = at + direction(2 * kPi * (k + 1) / dashes) * r;
        ring.push_back(stroke({a, b}, 0.6, red));
    }
    for (int k = 0; k < 4; ++k) {
        Vec d = direction(kPi / 2 * k);
        ring.push_back(stroke({at + d * (r - 4), at + d * (r + 4)}, 0.6, red));
    }
    addGroup(scene, ring, 0);
}

Image standingHen(int w, int h, Vec at, double scale)
{
    Pose pose;
    pose.legs = Legs::Standing;
    pose.tailLift = degrees(22);
    Scene hen;
    addChicken(hen, pose);
    place(hen, {at, scale, 0, {}});
    Image img = renderScene(hen, w, h);
    outlineSilhouette(img, kInk);
    return img;
}

// The midpoint circle: a one-pixel ring with no gaps and no doubled corners.
void plotRing(std::vector<CursorInk>& px, int n, int cx, int cy, int r)
{
    auto set = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < n && y < n)
            px[static_cast<size_t>(y) * n + x] = CursorInk::White;
    };
    int x = r, y = 0, err = 1 - r;
    while (x >= y) {
        const int pts[8][2] = {{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
        for (const auto& p : pts)
            set(cx + p[0], cy + p[1]);
        ++y;
        if (err < 0) {
            err += 2 * y + 1;
        } else {
            --x;
            err += 2 * (y - x) + 1;
        }
    }
}

}  // namespace

Image flightFrame(int i)
{
    double beat = beatPhase(i);
    double raise = cosine(beat);  // 1 = wings up at frame 0
    Pose pose;
    pose.nearWing = raise;
    pose.farWing = raise;
    pose.tailLift = degrees(6) * cosine(beat - 0.8);
    pose.legSwing = degrees(8) * sine(beat);
    // The body rises as the wings pull down, a little after them.
    double bob = 1.5 * cosine(beat - 0.6);

    Scene scene;
    addChicken(scene, pose);
    place(scene, {{47, 35 + bob}, 0.88, 0, {}});
    Image img = renderSprite(scene, 90, 60, kFlightBox, "flight frame", i);
    fillTransparent(img, kBlack, kBlack);
    return img;
}

Image fallFrame(int i)
{
    double t = 2 * kPi * i / kFrameCount;
    Pose pose;
    pose.dazed = true;
    pose.legs = Legs::Dangling;
    // Three frantic flaps per turn, the wings out of step with each other.
    pose.nearWing = 0.2 + 0.8 * cosine(3 * t);
    pose.farWing = 0.2 + 0.8 * cosine(3 * t + 2.1);
    pose.tailLift = degrees(12) * sine(3 * t);
    pose.legSwing = degrees(25) * sine(2 * t);

    Scene scene;
    addChicken(scene, pose);
    // One full somersault over the 19 frames, about her middle.
    place(scene, {{52.5, 51}, 0.85, t, {3, -5}});
    addDriftingFeathers(scene, i);
    Image img = renderSprite(scene, 100, 90, kFallBox, "fall frame", i);
    fillTransparent(img, kYellow, kPaleYellow);
    return img;
}

Image sidePicture()
{
    const int w = 72, h = 250, horizon = 196;
    Image img = sky(w, h, horizon);

    Scene scenery;
    addCloud(scenery, {20, 34}, 11);
    addCloud(scenery, {54, 128}, 9);
    addCloud(scenery, {14, 168}, 7);
    append(scenery, meadow(w, h, horizon - 8));
    blendCover(img, renderScene(scenery, w, h), 0, 0);

    // A hen flying high in the gun sight, another safe on the ground.
    Pose flying;
    flying.nearWing = flying.farWing = 0.9;
    Scene flyer;
    addChicken(flyer, flying);
    place(flyer, {{37, 84}, 0.62, 0, {}});
    Image flyerImg = renderScene(flyer, w, h);
    outlineSilhouette(flyerImg, kInk);
    pasteSolid(img, flyerImg, 0, 0);

    Scene sight;
    addSight(sight, {38, 80}, 27);
    blendCover(img, renderScene(sight, w, h), 0, 0);

    pasteSolid(img, standingHen(w, h, {33, 212}, 0.92), 0, 0);
    return img;
}

Image henPicture()
{
    Image img = standingHen(81, 59, {37, 31.5}, 1.0);
    fillTransparent(img, kBlack, kBlack);
    return img;
}

CursorImage crosshairCursor()
{
    CursorImage cur;
    const int n = 32;
    cur.size = n;
    cur.hotX = 15;
    cur.hotY = 16;
    cur.px.assign(n * n, CursorInk::Clear);

    plotRing(cur.px, n, cur.hotX, cur.hotY, 12);  // 25 pixels across
    plotRing(cur.px, n, cur.hotX, cur.hotY, 4);   // 9 pixels across
    // The cross hairs run from each edge in to the small ring.
    for (int k = 0; k < n; ++k) {
        if (k < cur.hotX - 4 || k > cur.hotX + 4)
            cur.px[cur.hotY * n + k] = CursorInk::White;
        if (k < cur.hotY - 4 || k > cur.hotY + 4)
            cur.px[k * n + cur.hotX] = CursorInk::White;
    }

    // A black pixel beside every white one keeps the sight visible on
    // white and on black.
    std::vector<CursorInk> white = cur.px;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            if (white[y * n + x] != CursorInk::Clear)
                continue;
            bool touches = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < n && ny < n && white[ny * n + nx] == CursorInk::White)
                        touches = true;
                }
            if (touches)
                cur.px[y * n + x] = CursorInk::Black;
        }
    }
    return cur;
}
