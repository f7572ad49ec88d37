// raster.cpp - signed distances, lighting and the supersampling renderer.
#include "raster.h"

#include <algorithm>

namespace {

const int kGrid = 4;  // samples per pixel along each axis

// Light from the top left and a little in front, as in most desktop art.
const double kLightX = -0.45, kLightY = -0.6, kLightZ = 0.66;

uint8_t toByte(double v)
{
    if (v <= 0)
        return 0;
    if (v >= 255)
        return 255;
    return static_cast<uint8_t>(v + 0.5);
}

double segmentDistance(Vec p, Vec a, Vec b)
{
    Vec ab = b - a;
    double len2 = dot(ab, ab);
    double t = len2 > 0 ? clamp01(dot(p - a, ab) / len2) : 0;
    return length(p - (a + ab * t));
}

// Distance from p to the shape's edge, negative inside. For ellipses this
// is the usual first-order estimate, exact on the edge and close enough
// within an outline's width of it.
double signedDistance(const Shape& s, Vec p)
{
    switch (s.form) {
    case Form::Ellipse: {
        Vec d = p - s.centre;
        double u = dot(d, s.axis), v = dot(d, perp(s.axis));
        double k0 = std::sqrt((u / s.rx) * (u / s.rx) + (v / s.ry) * (v / s.ry));
        double k1 = std::sqrt((u / (s.rx * s.rx)) * (u / (s.rx * s.rx)) +
                              (v / (s.ry * s.ry)) * (v / (s.ry * s.ry)));
        if (k1 < 1e-12)
            return -std::min(s.rx, s.ry);
        return k0 * (k0 - 1) / k1;
    }
    case Form::Polygon: {
        bool inside = false;
        double best = 1e9;
        size_t n = s.points.size();
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            Vec a = s.points[i], b = s.points[j];
            if ((a.y > p.y) != (b.y > p.y) &&
                p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x)
                inside = !inside;
            best = std::min(best, segmentDistance(p, a, b));
        }
        return inside ? -best : best;
    }
    case Form::Stroke: {
        double best = length(p - s.points[0]);
        for (size_t i = 1; i < s.points.size(); ++i)
            best = std::min(best, segmentDistance(p, s.points[i - 1], s.points[i]));
        return best - s.halfWidth;
    }
    }
    return 1e9;
}

// 1 = fully lit, 0 = fully in shadow.
double lightAt(const Shape& s, Vec p)
{
    if (s.shading == Shading::Dome) {
        // Treat the ellipse as the outline of a half-ellipsoid.
        Vec d = p - s.centre;
        double u = dot(d, s.axis) / s.rx, v = dot(d, perp(s.axis)) / s.ry;
        double r2 = std::min(1.0, u * u + v * v);
        Vec n = s.axis * u + perp(s.axis) * v;
        double diffuse = n.x * kLightX + n.y * kLightY + std::sqrt(1 - r2) * kLightZ;
        return clamp01(0.25 + 0.85 * diffuse);
    }
    if (s.shading == Shading::Ramp) {
        Vec span = s.rampTo - s.rampFrom;
        double len2 = dot(span, span);
        return len2 > 0 ? 1 - clamp01(dot(p - s.rampFrom, span) / len2) : 1;
    }
    return 1;
}

// Colour of the group at p, if p falls in its fill or its rim. Overlapping
// shapes of one group take the top shape's colours but the brightest light
// among them, so merged domes read as one smooth body.
bool sampleGroup(const Group& g, Vec p, Col& out)
{
    const Shape* top = nullptr;
    double light = 0, nearest = 1e9;
    for (const Shape& s : g.shapes) {
        double d = signedDistance(s, p);
        nearest = std::min(nearest, d);
        if (d < 0) {
            top = &s;
            light = std::max(light, lightAt(s, p));
        }
    }
    if (top) {
        out = mix(top->dark, top->lit, light);
        return true;
    }
    if (nearest < g.outline) {
        out = g.ink;
        return true;
    }
    return false;
}

bool sampleScene(const Scene& scene, Vec p, Col& out)
{
    for (size_t i = scene.size(); i-- > 0;)
        if (sampleGroup(scene[i], p, out))
            return true;
    return false;
}

}  // namespace

Rgb toRgb(Col c) { return {toByte(c.r), toByte(c.g), toByte(c.b)}; }

Shape ellipseAlong(Vec centre, double rx, double ry, Vec axis, Col lit, Col dark)
{
    Shape s;
    s.form = Form::Ellipse;
    s.centre = centre;
    s.rx = rx;
    s.ry = ry;
    s.axis = normalized(axis);
    s.shading = Shading::Dome;
    s.lit = lit;
    s.dark = dark;
    return s;
}

Shape ellipse(Vec centre, double rx, double ry, double angle, Col lit, Col dark)
{
    return ellipseAlong(centre, rx, ry, direction(angle), lit, dark);
}

Shape disc(Vec centre, double r, Col lit, Col dark)
{
    return ellipseAlong(centre, r, r, {1, 0}, lit, dark);
}

Shape polygon(std::vector<Vec> corners, Col lit, Col dark, Vec rampFrom, Vec rampTo)
{
    Shape s;
    s.form = Form::Polygon;
    s.points = std::move(corners);
    s.shading = Shading::Ramp;
    s.rampFrom = rampFrom;
    s.rampTo = rampTo;
    s.lit = lit;
    s.dark = dark;
    return s;
}

Shape flatPolygon(std::vector<Vec> corners, Col colour)
{
    Shape s;
    s.form = Form::Polygon;
    s.points = std::move(corners);
    s.lit = s.dark = colour;
    return s;
}

Shape stroke(std::vector<Vec> path, double halfWidth, Col colour)
{
    Shape s;
    s.form = Form::Stroke;
    s.points = std::move(path);
    s.halfWidth = halfWidth;
    s.lit = s.dark = colour;
    return s;
}

void addGroup(Scene& scene, std::vector<Shape> shapes, double outline)
{
    Group g;
    g.shapes = std::move(shapes);
    g.outline = outline;
    scene.push_back(std::move(g));
}

void append(Scene& scene, const Scene& more)
{
    scene.insert(scene.end(), more.begin(), more.end());
}

void place(Scene& scene, const Placement& where)
{
    Vec turn = direction(where.turn);
    auto map = [&](Vec p) { return where.at + rotate((p - where.pivot) * where.scale, turn); };
    for (Group& g : scene) {
        for (Shape& s : g.shapes) {
            s.centre = map(s.centre);
            s.rx *= where.scale;
            s.ry *= where.scale;
            s.axis = rotate(s.axis, turn);
            for (Vec& p : s.points)
                p = map(p);
            s.halfWidth *= where.scale;
            s.rampFrom = map(s.rampFrom);
            s.rampTo = map(s.rampTo);
        }
    }
}

Image blankImage(int w, int h, Rgb fill)
{
    Image img;
    img.w = w;
    img.h = h;
    img.px.assign(static_cast<size_t>(w) * h, fill);
    img.cover.assign(static_cast<size_t>(w) * h, 0);
    img.solid.assign(static_cast<size_t>(w) * h, 0);
    return img;
}

Image renderScene(const Scene& scene, int w, int h)
{
    Image img = blankImage(w, h, Rgb{});
    const int samples = kGrid * kGrid;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Col sum;
            int hits = 0;
            for (int sy = 0; sy < kGrid; ++sy) {
                for (int sx = 0; sx < kGrid; ++sx) {
                    Vec p{x + (sx + 0.5) / kGrid, y + (sy + 0.5) / kGrid};
                    Col c;
                    if (sampleScene(scene, p, c)) {
                        sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                        ++hits;
                    }
                }
            }
            size_t i = static_cast<size_t>(y) * w + x;
            img.cover[i] = toByte(255.0 * hits / samples);
            img.solid[i] = hits * 2 >= samples ? 1 : 0;
            if (hits > 0)
                img.px[i] = toRgb({sum.r / hits, sum.g / hits, sum.b / hits});
        }
    }
    return img;
}

void outlineSilhouette(Image& img, Col ink)
{
    Image before = img;
    auto open = [&](int x, int y) {
        return x < 0 || y < 0 || x >= img.w || y >= img.h || !before.isSolid(x, y);
    };
    Rgb rim = toRgb(ink);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            if (before.isSolid(x, y) &&
                (open(x - 1, y) || open(x + 1, y) || open(x, y - 1) || open(x, y + 1)))
                img.at(x, y) = rim;
}

int clipToBox(Image& img, int left, int top, int right, int bottom)
{
    int removed = 0;
    for (int y = 0; y < img.h; ++y) {
        for (int x = 0; x < img.w; ++x) {
            bool inside = x >= left && x <= right && y >= top && y <= bottom;
            size_t i = static_cast<size_t>(y) * img.w + x;
            if (!inside && img.solid[i]) {
                img.solid[i] = 0;
                ++removed;
            }
        }
    }
    return removed;
}

Image mirrored(const Image& img)
{
    Image out = img;
    for (int y = 0; y < img.h; ++y) {
        for (int x = 0; x < img.w; ++x) {
            size_t from = static_cast<size_t>(y) * img.w + (img.w - 1 - x);
            size_t to = static_cast<size_t>(y) * img.w + x;
            out.px[to] = img.px[from];
            out.cover[to] = img.cover[from];
            out.solid[to] = img.solid[from];
        }
    }
    return out;
}

void pasteSolid(Image& dst, const Image& src, int x, int y)
{
    for (int sy = 0; sy < src.h; ++sy) {
        for (int sx = 0; sx < src.w; ++sx) {
            int dx = x + sx, dy = y + sy;
            if (dx < 0 || dy < 0 || dx >= dst.w || dy >= dst.h || !src.isSolid(sx, sy))
                continue;
            dst.at(dx, dy) = src.at(sx, sy);
            dst.solid[static_cast<size_t>(dy) * dst.w + dx] = 1;
        }
    }
}

void blendCover(Image& dst, const Image& src, int x, int y)
{
    for (int sy = 0; sy < src.h; ++sy) {
        for (int sx = 0; sx < src.w; ++sx) {
            int dx = x + sx, dy = y + sy;
            if (dx < 0 || dy < 0 || dx >= dst.w || dy >= dst.h)
                continue;
            double a = src.cover[static_cast<size_t>(sy) * src.w + sx] / 255.0;
            Rgb s = src.at(sx, sy), d = dst.at(dx, dy);
            dst.at(dx, dy) = toRgb(mix({1.0 * d.r, 1.0 * d.g, 1.0 * d.b},
                                       {1.0 * s.r, 1.0 * s.g, 1.0 * s.b}, a));
        }
    }
}

void fillTransparent(Image& img, Rgb even, Rgb odd)
{
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            if (!img.isSolid(x, y))
                img.at(x, y) = ((x + y) & 1) ? odd : even;
}
