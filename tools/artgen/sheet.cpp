// sheet.cpp - laying out the contact sheets.
#include "sheet.h"

#include "art.h"
#include "font.h"
#include "resource.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

const Rgb kBackground{52, 56, 64};
const Rgb kTitle{240, 240, 240}, kCaption{170, 176, 188};
const Rgb kCheckLight{204, 204, 204}, kCheckDark{150, 150, 150};

const int kScale = 2;
const int kPerLine = 10;
const int kGap = 12;
const int kMargin = 16;

// src enlarged `scale` times, its transparent pixels showing a checkerboard
// of 8-pixel squares.
Image overChecker(const Image& src, int scale)
{
    Image out = blankImage(src.w * scale, src.h * scale, Rgb{});
    for (int y = 0; y < out.h; ++y) {
        for (int x = 0; x < out.w; ++x) {
            int sx = x / scale, sy = y / scale;
            bool light = ((x / 8) + (y / 8)) % 2 == 0;
            out.at(x, y) = src.isSolid(sx, sy) ? src.at(sx, sy) : (light ? kCheckLight : kCheckDark);
        }
    }
    return out;
}

// src enlarged, every pixel as it is stored.
Image enlarged(const Image& src, int scale)
{
    Image out = blankImage(src.w * scale, src.h * scale, Rgb{});
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x)
            out.at(x, y) = src.at(x / scale, y / scale);
    return out;
}

// The mask as its bitmap shows it: white transparent, black solid.
Image maskPicture(const Image& src)
{
    Image out = blankImage(src.w, src.h, Rgb{});
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x)
            out.at(x, y) = src.isSolid(x, y) ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    return out;
}

Image iconPicture(const IconImage& icon)
{
    Image out = blankImage(icon.size, icon.size, Rgb{});
    for (size_t i = 0; i < icon.index.size(); ++i) {
        out.px[i] = kVgaPalette[icon.index[i]];
        out.solid[i] = icon.transparent[i] ? 0 : 1;
    }
    return out;
}

Image cursorPicture(const CursorImage& cur)
{
    Image out = blankImage(cur.size, cur.size, Rgb{});
    for (size_t i = 0; i < cur.px.size(); ++i) {
        out.px[i] = cur.px[i] == CursorInk::White ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
        out.solid[i] = cur.px[i] == CursorInk::Clear ? 0 : 1;
    }
    return out;
}

Image flatImage(const Image& src, Rgb background)
{
    Image out = src;
    for (size_t i = 0; i < out.px.size(); ++i)
        if (!out.solid[i])
            out.px[i] = background;
    return out;
}

void blit(Image& dst, const Image& src, int x, int y)
{
    for (int sy = 0; sy < src.h; ++sy)
        for (int sx = 0; sx < src.w; ++sx)
            if (x + sx >= 0 && y + sy >= 0 && x + sx < dst.w && y + sy < dst.h)
                dst.at(x + sx, y + sy) = src.at(sx, sy);
}

// A picture with a caption under it; returns the height used.
int captioned(Image& sheet, const Image& pic, int x, int y, const std::string& caption)
{
    blit(sheet, pic, x, y);
    drawText(sheet, x, y + pic.h + 4, caption.c_str(), 1, kCaption);
    return pic.h + 4 + 7;
}

int bankHeight(const Bank& bank)
{
    int lines = (static_cast<int>(bank.frames->size()) + kPerLine - 1) / kPerLine;
    int frameH = bank.frames->front().h * kScale;
    return 14 + 8 + lines * (frameH + 4 + 7 + kGap);
}

}  // namespace

Image framesSheet(const std::vector<Bank>& banks)
{
    int cellW = 0, height = kMargin + 14 + 12;
    for (const Bank& b : banks) {
        cellW = std::max(cellW, b.frames->front().w * kScale + kGap);
        height += bankHeight(b);
    }
    Image sheet = blankImage(2 * kMargin + kPerLine * cellW - kGap, height + kMargin, kBackground);
    drawText(sheet, kMargin, kMargin, "Wingzap frames", 2, kTitle);

    int y = kMargin + 14 + 12;
    for (const Bank& b : banks) {
        char title[128];
        std::snprintf(title, sizeof title, "%s  (colour %d-%d, mask %d-%d)", b.name, b.firstColourId,
                      b.firstColourId + kFrameCount - 1, b.firstMaskId,
                      b.firstMaskId + kFrameCount - 1);
        drawText(sheet, kMargin, y, title, 2, kTitle);
        int top = y + 14 + 8;
        for (size_t i = 0; i < b.frames->size(); ++i) {
            const Image& frame = (*b.frames)[i];
            int col = static_cast<int>(i) % kPerLine, line = static_cast<int>(i) / kPerLine;
            int x = kMargin + col * cellW;
            int fy = top + line * (frame.h * kScale + 4 + 7 + kGap);
            char caption[64];
            std::snprintf(caption, sizeof caption, "%d: %d/%d", static_cast<int>(i),
                          b.firstColourId + static_cast<int>(i), b.firstMaskId + static_cast<int>(i));
            captioned(sheet, overChecker(frame, kScale), x, fy, caption);
        }
        y += bankHeight(b);
    }
    return sheet;
}

Image extrasSheet(const Extras& e)
{
    Image sheet = blankImage(1000, 640, kBackground);
    drawText(sheet, kMargin, kMargin, "Wingzap pictures, icons, cursor", 2, kTitle);
    const int top = kMargin + 14 + 14;

    // Left column: the side picture, twice the size.
    captioned(sheet, enlarged(e.side, 2), kMargin, top, std::to_string(IDB_DIALOG_SIDE));
    int x = kMargin + e.side.w * 2 + 24;

    // Hen picture over the checkerboard, its colour and mask bitmaps.
    int y = top;
    std::string picture = std::to_string(IDB_PICTURE), mask = std::to_string(IDB_PICTURE_MASK);
    captioned(sheet, overChecker(e.hen, 2), x, y, picture + " through " + mask);
    captioned(sheet, enlarged(e.hen, 2), x + e.hen.w * 2 + 16, y, picture);
    captioned(sheet, enlarged(maskPicture(e.hen), 2), x + e.hen.w * 4 + 32, y, mask);
    y += e.hen.h * 2 + 4 + 7 + 20;

    // Icons and cursor, four times the size, and at their real size.
    int ix = x;
    std::string app = std::to_string(IDI_APP);
    captioned(sheet, overChecker(iconPicture(e.icon32), 4), ix, y, app + " 32x32");
    ix += 32 * 4 + 16;
    captioned(sheet, overChecker(iconPicture(e.icon16), 4), ix, y, app + ", " + std::to_string(IDI_ENABLED));
    ix += 16 * 4 + 16;
    captioned(sheet, overChecker(iconPicture(e.crossedOut), 4), ix, y, std::to_string(IDI_DISABLED));
    ix += 16 * 4 + 16;
    captioned(sheet, overChecker(cursorPicture(e.cursor), 4), ix, y,
              std::to_string(IDC_CROSSHAIR) + " hot 15,16");
    ix += 32 * 4 + 16;
    blit(sheet, overChecker(iconPicture(e.icon32), 1), ix, y);
    blit(sheet, overChecker(iconPicture(e.icon16), 1), ix + 40, y);
    blit(sheet, overChecker(iconPicture(e.crossedOut), 1), ix + 64, y);
    blit(sheet, overChecker(cursorPicture(e.cursor), 1), ix, y + 40);
    y += 32 * 4 + 4 + 7 + 20;

    // Raw bitmaps as stored: what shows where the mask is white.
    int rx = x;
    captioned(sheet, enlarged(e.flight, 2), rx, y, "flight colour");
    rx += e.flight.w * 2 + 12;
    captioned(sheet, enlarged(maskPicture(e.flight), 2), rx, y, "flight mask");
    rx += e.flight.w * 2 + 12;
    captioned(sheet, enlarged(e.fall, 2), rx, y, "fall colour");
    rx += e.fall.w * 2 + 12;
    captioned(sheet, enlarged(maskPicture(e.fall), 2), rx, y, "fall mask");
    y += e.fall.h * 2 + 4 + 7 + 20;

    // A flight frame on a few desktop colours, at its real size.
    const Rgb desktops[] = {{0, 128, 128}, {58, 110, 165}, {255, 255, 255}, {0, 0, 0}, {120, 160, 60}};
    int dx = x;
    for (Rgb d : desktops) {
        blit(sheet, flatImage(e.flight, d), dx, y);
        dx += e.flight.w + 8;
    }
    return sheet;
}
