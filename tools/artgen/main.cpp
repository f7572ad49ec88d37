// main.cpp - artgen OUTDIR: writes every picture and sound of Wingzap, and the
// wallpaper of the desktop in the README's pictures.
//
// Frame banks: the colour bitmaps and their masks, one resource id per
// frame. The flight to the left is the exact mirror of the flight to the
// right, pixel for pixel, so it is made by flipping rather than redrawing.
//
// Files are named by what they show; the ids live in resource.h only. The
// frame bitmaps are listed for the resource compiler in frames.rc, which
// wingzap.rc includes after resource.h.
#include "art.h"
#include "formats.h"
#include "png.h"
#include "resource.h"
#include "sheet.h"
#include "sounds.h"
#include "wallpaper.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

// A bank as it is written: files <stem>_frame_NN.bmp and <stem>_mask_NN.bmp
// with resource ids first id + NN, which frames.rc gives by the names of
// resource.h; the macro keeps each name and its value together.
struct BankFiles {
    const char* stem;
    const char* title;      // the comment above the bank in frames.rc
    const char* sheetName;  // its heading on the contact sheet
    const char* colourName;
    const char* maskName;
    int colourId, maskId;
    const std::vector<Image>* frames;
};
#define BANK_FILES(stem, title, sheetName, colour, mask, frames) \
    BankFiles{stem, title, sheetName, #colour, #mask, colour, mask, &frames}

std::string inDir(const std::string& dir, const std::string& name)
{
    return (std::filesystem::path(dir) / name).string();
}

std::string frameFile(const BankFiles& bank, const char* kind, int i)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s_%s_%02d.bmp", bank.stem, kind, i);
    return name;
}

bool writeBank(const std::string& dir, const BankFiles& bank)
{
    bool ok = true;
    for (size_t i = 0; i < bank.frames->size(); ++i) {
        int k = static_cast<int>(i);
        ok = writeFile(inDir(dir, frameFile(bank, "frame", k)), colourBmp((*bank.frames)[i])) && ok;
        ok = writeFile(inDir(dir, frameFile(bank, "mask", k)), maskBmp((*bank.frames)[i])) && ok;
    }
    return ok;
}

// windres looks for a bitmap's file in its working directory and along its
// include path, not beside the script that names it; the build has OUTDIR's
// parent on the include path, so files are named as OUTDIR's name/file.
Bytes framesRc(const std::string& dir, const std::vector<BankFiles>& banks)
{
    std::string folder = dir;
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    folder = std::filesystem::path(folder).filename().string();

    std::string text = "// Written by artgen: the frame banks, colour frames, then their masks.\n";
    char line[160];
    for (const BankFiles& bank : banks) {
        text += std::string("// ") + bank.title + "\n";
        const std::pair<const char*, const char*> halves[] = {{"frame", bank.colourName},
                                                              {"mask", bank.maskName}};
        for (const auto& [kind, firstId] : halves) {
            for (int i = 0; i < static_cast<int>(bank.frames->size()); ++i) {
                std::snprintf(line, sizeof line, "%s + %d BITMAP \"%s/%s\"\n", firstId, i, folder.c_str(),
                              frameFile(bank, kind, i).c_str());
                text += line;
            }
        }
    }
    return Bytes(text.begin(), text.end());
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
    const std::vector<BankFiles> banks{
        BANK_FILES("right", "flying left to right", "RightBank", IDB_RIGHT_FRAME0, IDB_RIGHT_MASK0, right),
        BANK_FILES("left", "flying right to left", "LeftBank", IDB_LEFT_FRAME0, IDB_LEFT_MASK0, left),
        BANK_FILES("fall", "hit and falling", "FallBank", IDB_FALL_FRAME0, IDB_FALL_MASK0, fall)};
    bool ok = true;
    for (const BankFiles& bank : banks) ok = writeBank(dir, bank) && ok;
    ok = writeFile(inDir(dir, "frames.rc"), framesRc(dir, banks)) && ok;

    Extras extras{sidePicture(), henPicture(), headIcon(32), headIcon(16), crossedOutIcon(16),
                  crosshairCursor(), right[0], fall[0]};
    ok = writeFile(inDir(dir, "dialog_side.bmp"), colourBmp(extras.side)) && ok;
    ok = writeFile(inDir(dir, "hen.bmp"), colourBmp(extras.hen)) && ok;
    ok = writeFile(inDir(dir, "hen_mask.bmp"), maskBmp(extras.hen)) && ok;
    ok = writeFile(inDir(dir, "app.ico"), icoFile({extras.icon32, extras.icon16}, kVgaPalette)) && ok;
    // The tray's pictures at 32 pixels too: on a scaled display Windows asks
    // for 20 to 40 and scales the nearest size rather than the 16 up.
    ok = writeFile(inDir(dir, "tray_enabled.ico"), icoFile({extras.icon32, extras.icon16}, kVgaPalette)) && ok;
    ok = writeFile(inDir(dir, "tray_disabled.ico"), icoFile({crossedOutIcon(32), extras.crossedOut}, kVgaPalette)) &&
         ok;
    ok = writeFile(inDir(dir, "crosshair.cur"), curFile(extras.cursor)) && ok;

    std::vector<Bank> sheetBanks;
    for (const BankFiles& b : banks) sheetBanks.push_back({b.sheetName, b.frames, b.colourId, b.maskId});
    std::string sheetPath = inDir(dir, "contact-sheet.png");
    std::string extrasPath = inDir(dir, "contact-sheet-extras.png");
    ok = writeFile(sheetPath, pngFile(framesSheet(sheetBanks))) && ok;
    ok = writeFile(extrasPath, pngFile(extrasSheet(extras))) && ok;

    ok = WriteSounds(dir) && ok;

    // The desktop of scripts/pictures, the size of its Wine desktop; the
    // program never sees it.
    ok = writeFile(inDir(dir, "wallpaper.bmp"), colourBmp(wallpaper(1024, 768))) && ok;
    return ok ? 0 : 1;
}
