// icons.cpp - the hen's head as 16-colour icons, drawn pixel by pixel.
//
// At 32 and 16 pixels with 16 colours there is no room for shading or
// anti-aliasing: every pixel is a choice, so these two are hand-drawn.
#include "art.h"

#include <cstdlib>

namespace {

// K black, M maroon, O olive, S silver, R red, Y yellow, W white,
// '.' transparent.
const char* const kHead32[] = {
    "................................",
    "................................",
    "..........KKK...................",
    ".....KKK.KRRRK..KKK.............",
    "....KRRRKKRRRRKKRRRK............",
    "...KRRRRRKRRRRKRRRRMK...........",
    "...KRRRRRRRRRRRRRRRMK...........",
    "..KRRRRRRRRRRRRRRRRMK...........",
    "..KRRRRRRRRRRRRRRRRRMK..........",
    "..KRRRRRRRWWWWRRRRRRMK..........",
    "..KRRRRWWWWWWWWWWRRRMMK.........",
    "...KRRWWWWWWWWWWWWRMMK..........",
    "....KWWWWWWWWWWWWWWMK...........",
    "...KWWWWWWWWWWWWWWWWKKK.........",
    "..KWWWWWWWWWWWWKKWWWKYYKK.......",
    "..KWWWWWWWWWWWKWKKWWKYYYYKK.....",
    ".KWWWWWWWWWWWWKKKKWWKYYYYYYKKK..",
    ".KWWWWWWWWWWWWWKKWWWKYYYYYYYYYK.",
    ".KWWWWWWWWWWWWWWWWWWKYKKKKKKKK..",
    ".KWWWWWWWWWWWWWWWWWWKOOOOOK.....",
    ".KWWWWWWWWWWWWWWWWWWKOOKKK......",
    ".KWWWWWWWWWWWWWWWWWSSKK.........",
    ".KWWWWWWWWWWWWWWWWSSSSK.........",
    "..KWWWWWWWWWWWWWWWSSSRMK........",
    "..KWWWWWWWWWWWWWWSSSSRMK........",
    "...KWWWWWWWWWWWSSSSSRRMK........",
    "....KWWWWWWWWWSSSSSRRRMK........",
    ".....KWWWWWSSSSSSSKRRRK.........",
    "......KSSSSSSSSSSK.KRK..........",
    ".......KKKSSSSKKK...K...........",
    "..........KKKK..................",
    "................................",
};

const char* const kHead16[] = {
    "................",
    ".....K.K.K......",
    "....KRKRKRK.....",
    "....KRRRRRK.....",
    "..KKRRRRRRRKK...",
    ".KWWWWWWWWWWK...",
    "KWWWWWWWKKWWK...",
    "KWWWWWWWKKWWKK..",
    "KWWWWWWWWWWKYYK.",
    "KWWWWWWWWWKYYYYK",
    "KWWWWWWWWWKOOKK.",
    "KSWWWWWWWKRKK...",
    ".KSWWWWWSKRRK...",
    "..KSSSSSKKRRK...",
    "...KKKKK..KK....",
    "................",
};

uint8_t paletteIndex(char c)
{
    switch (c) {
    case 'M': return 1;
    case 'O': return 3;
    case 'S': return 7;
    case 'R': return 9;
    case 'Y': return 11;
    case 'W': return 15;
    default: return 0;  // K, and transparent pixels show black in the XOR image
    }
}

IconImage fromRows(const char* const* rows, int size)
{
    IconImage icon;
    icon.size = size;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            char c = rows[y][x];
            icon.index.push_back(paletteIndex(c));
            icon.transparent.push_back(c == '.' ? 1 : 0);
        }
    }
    return icon;
}

}  // namespace

const Rgb kVgaPalette[16] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

IconImage headIcon(int size)
{
    return size >= 32 ? fromRows(kHead32, 32) : fromRows(kHead16, 16);
}

IconImage crossedOutIcon(int size)
{
    IconImage icon = headIcon(size);
    const int s = icon.size, half = s / 16;  // at 16 pixels: three a row, about two thick
    const uint8_t red = 9;
    for (int y = 0; y < s; ++y) {
        for (int x = 0; x < s; ++x) {
            bool onX = std::abs(x - y) <= half || std::abs(x + y - (s - 1)) <= half;
            if (onX) {
                icon.index[y * s + x] = red;
                icon.transparent[y * s + x] = 0;
            }
        }
    }
    return icon;
}
