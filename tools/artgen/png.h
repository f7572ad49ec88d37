// png.h - a minimal PNG writer for the contact sheets.
#pragma once

#include "formats.h"

// 8-bit RGB PNG of img's colours. The image data goes into zlib "stored"
// blocks: no compression, so no zlib, and still a valid file every viewer reads.
Bytes pngFile(const Image& img);
