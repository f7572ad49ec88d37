// formats.h - Windows bitmap, icon and cursor files, byte by byte.
#pragma once

#include "raster.h"

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A .bmp file of img's colours: 24 bits per pixel, no colour table.
Bytes colourBmp(const Image& img);

// A 1-bit .bmp of img's mask: bit 1 (white) where img is transparent,
// bit 0 (black) where it is solid, with a two-entry black/white table.
Bytes maskBmp(const Image& img);

// One image of an icon: 16 colours, a palette index per pixel, and the
// AND mask (1 = transparent) per pixel.
struct IconImage {
    int size = 0;
    std::vector<uint8_t> index;
    std::vector<uint8_t> transparent;
};

// An .ico file holding the images in order, all with the same palette.
Bytes icoFile(const std::vector<IconImage>& images, const Rgb (&palette)[16]);

// A monochrome cursor: every pixel clear, black or white.
enum class CursorInk : uint8_t { Clear, Black, White };

struct CursorImage {
    int size = 32;
    int hotX = 0, hotY = 0;
    std::vector<CursorInk> px;
};

Bytes curFile(const CursorImage& cursor);

bool writeFile(const std::string& path, const Bytes& bytes);
