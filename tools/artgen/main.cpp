// main.cpp - artgen OUTDIR: writes every picture and sound of Wingzap.
//
// Frame banks: the colour bitmaps and their masks, one resource id per
// frame. The flight to the left is the exact mirror of the flight to the
// right, pixel for pixel, so it is made by flipping rather than redrawing.
#include "art.h"
#include "formats.h"
#include "png.h"
#include "resource.h"
#include "sheet.h"
#include "sounds.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string pathFor(const std::string& dir, const char* kind, int id, const char* ext)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s_%d.%s", kind, id, ext);
    return (std::filesystem::path(dir) / name).string();
}

bool writeBank(const std::string& dir, const std::vector<Image>& frames, int colourId, int maskId)
{
    bool ok = true;
    for (size_t i = 0; i < frames.size(); ++i) {
        int k = static_cast<int>(i);
        ok = writeFile(pathFor(dir, "bitmap", colourId + k, "bmp"), colourBmp(frames[i])) && ok;
        ok = writeFile(pathFor(dir, "bitmap", maskId + k, "bmp"), maskBmp(frames[i])) && ok;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: artgen OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code err;
    std::filesystem::create_directories(dir, err);

    std::vector<Image> right, left, fall;
    for (int i = 0; i < kFrameCount; ++i) {
        right.push_back(flightFrame(i));
        left.push_back(mirrored(right.back()));
        fall.push_back(fallFrame(i));
    }
    bool ok = writeBank(dir, right, IDB_RIGHT_FRAME0, IDB_RIGHT_MASK0);
    ok = writeBank(dir, left, IDB_LEFT_FRAME0, IDB_LEFT_MASK0) && ok;
    ok = writeBank(dir, fall, IDB_FALL_FRAME0, IDB_FALL_MASK0) && ok;

    Extras extras{sidePicture(), henPicture(), headIcon(32), headIcon(16), crossedOutIcon(),
                  crosshairCursor(), right[0], fall[0]};
    ok = writeFile(pathFor(dir, "bitmap", IDB_DIALOG_SIDE, "bmp"), colourBmp(extras.side)) && ok;
    ok = writeFile(pathFor(dir, "bitmap", IDB_PICTURE, "bmp"), colourBmp(extras.hen)) && ok;
    ok = writeFile(pathFor(dir, "bitmap", IDB_PICTURE_MASK, "bmp"), maskBmp(extras.hen)) && ok;
    ok = writeFile(pathFor(dir, "icon", IDI_APP, "ico"),
                   icoFile({extras.icon32, extras.icon16}, kVgaPalette)) && ok;
    ok = writeFile(pathFor(dir, "icon", IDI_ENABLED, "ico"), icoFile({extras.icon16}, kVgaPalette)) && ok;
    ok = writeFile(pathFor(dir, "icon", IDI_DISABLED, "ico"),
                   icoFile({extras.crossedOut}, kVgaPalette)) && ok;
    ok = writeFile(pathFor(dir, "cursor", IDC_CROSSHAIR, "cur"), curFile(extras.cursor)) && ok;

    const std::vector<Bank> banks{{"RightBank", &right, IDB_RIGHT_FRAME0, IDB_RIGHT_MASK0},
                                  {"LeftBank", &left, IDB_LEFT_FRAME0, IDB_LEFT_MASK0},
                                  {"FallBank", &fall, IDB_FALL_FRAME0, IDB_FALL_MASK0}};
    std::string sheetPath = (std::filesystem::path(dir) / "contact-sheet.png").string();
    std::string extrasPath = (std::filesystem::path(dir) / "contact-sheet-extras.png").string();
    ok = writeFile(sheetPath, pngFile(framesSheet(banks))) && ok;
    ok = writeFile(extrasPath, pngFile(extrasSheet(extras))) && ok;

    ok = WriteSounds(dir) && ok;
    return ok ? 0 : 1;
}
