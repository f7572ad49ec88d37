// formats.cpp - Windows bitmap, icon and cursor files.
//
// Pitfalls: DIB rows are stored bottom row first and padded to 4 bytes;
// 1-bit rows put the leftmost pixel in the highest bit; an icon's or
// cursor's BITMAPINFOHEADER gives twice the height, because the XOR image
// is followed by the AND mask.
#include "formats.h"

#include <cstdio>

namespace {

void put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void put32(Bytes& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

int rowBytes(int width, int bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

void putInfoHeader(Bytes& b, int w, int h, int bits, uint32_t imageBytes, uint32_t colours)
{
    put32(b, 40);
    put32(b, static_cast<uint32_t>(w));
    put32(b, static_cast<uint32_t>(h));  // positive: bottom row first
    put16(b, 1);                         // planes
    put16(b, static_cast<unsigned>(bits));
    put32(b, 0);                         // BI_RGB
    put32(b, imageBytes);
    put32(b, 0);                         // pixels per metre: not given
    put32(b, 0);
    put32(b, colours);                   // colours used
    put32(b, 0);                         // all important
}

void putColour(Bytes& b, Rgb c)
{
    b.push_back(c.b);
    b.push_back(c.g);
    b.push_back(c.r);
    b.push_back(0);
}

// Packs one row of 1-bit values, leftmost pixel in the highest bit.
void putBitRow(Bytes& b, const std::vector<uint8_t>& bits, size_t first, int width)
{
    int stride = rowBytes(width, 1);
    for (int byte = 0; byte < stride; ++byte) {
        uint8_t v = 0;
        for (int bit = 0; bit < 8; ++bit) {
            int x = byte * 8 + bit;
            if (x < width && bits[first + x])
                v |= static_cast<uint8_t>(0x80 >> bit);
        }
        b.push_back(v);
    }
}

// BITMAPFILEHEADER in front of a DIB whose pixels start after
// `headerBytes` (info header plus colour table).
Bytes withFileHeader(const Bytes& dib, uint32_t headerBytes)
{
    Bytes b;
    b.push_back('B');
    b.push_back('M');
    put32(b, static_cast<uint32_t>(14 + dib.size()));
    put32(b, 0);
    put32(b, 14 + headerBytes);
    b.insert(b.end(), dib.begin(), dib.end());
    return b;
}

const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255};

}  // namespace

Bytes colourBmp(const Image& img)
{
    int stride = rowBytes(img.w, 24);
    Bytes dib;
    putInfoHeader(dib, img.w, img.h, 24, static_cast<uint32_t>(stride * img.h), 0);
    for (int y = img.h - 1; y >= 0; --y) {
        for (int x = 0; x < img.w; ++x) {
            Rgb c = img.at(x, y);
            dib.push_back(c.b);
            dib.push_back(c.g);
            dib.push_back(c.r);
        }
        for (int pad = img.w * 3; pad < stride; ++pad)
            dib.push_back(0);
    }
    return withFileHeader(dib, 40);
}

Bytes maskBmp(const Image& img)
{
    std::vector<uint8_t> clear(img.solid.size());
    for (size_t i = 0; i < clear.size(); ++i)
        clear[i] = img.solid[i] ? 0 : 1;
    int stride = rowBytes(img.w, 1);
    Bytes dib;
    putInfoHeader(dib, img.w, img.h, 1, static_cast<uint32_t>(stride * img.h), 2);
    putColour(dib, kBlack);
    putColour(dib, kWhite);
    for (int y = img.h - 1; y >= 0; --y)
        putBitRow(dib, clear, static_cast<size_t>(y) * img.w, img.w);
    return withFileHeader(dib, 40 + 8);
}

Bytes icoFile(const std::vector<IconImage>& images, const Rgb (&palette)[16])
{
    std::vector<Bytes> bodies;
    for (const IconImage& im : images) {
        int n = im.size;
        int xorStride = rowBytes(n, 4), andStride = rowBytes(n, 1);
        Bytes body;
        putInfoHeader(body, n, 2 * n, 4, static_cast<uint32_t>((xorStride + andStride) * n), 0);
        for (const Rgb& c : palette)
            putColour(body, c);
        for (int y = n - 1; y >= 0; --y) {
            for (int byte = 0; byte < xorStride; ++byte) {
                int x = byte * 2;
                auto nibble = [&](int px) {
                    size_t i = static_cast<size_t>(y) * n + px;
                    return px < n && !im.transparent[i] ? im.index[i] & 0x0F : 0;
                };
                body.push_back(static_cast<uint8_t>(nibble(x) << 4 | nibble(x + 1)));
            }
        }
        for (int y = n - 1; y >= 0; --y)
            putBitRow(body, im.transparent, static_cast<size_t>(y) * n, n);
        bodies.push_back(body);
    }

    Bytes b;
    put16(b, 0);
    put16(b, 1);  // icon
    put16(b, static_cast<unsigned>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t k = 0; k < images.size(); ++k) {
        b.push_back(static_cast<uint8_t>(images[k].size));
        b.push_back(static_cast<uint8_t>(images[k].size));
        b.push_back(16);  // colours
        b.push_back(0);
        put16(b, 1);      // planes
        put16(b, 4);      // bits per pixel
        put32(b, static_cast<uint32_t>(bodies[k].size()));
        put32(b, offset);
        offset += static_cast<uint32_t>(bodies[k].size());
    }
    for (const Bytes& body : bodies)
        b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes curFile(const CursorImage& cursor)
{
    int n = cursor.size, stride = rowBytes(n, 1);
    std::vector<uint8_t> white(cursor.px.size()), clear(cursor.px.size());
    for (size_t i = 0; i < cursor.px.size(); ++i) {
        white[i] = cursor.px[i] == CursorInk::White;
        clear[i] = cursor.px[i] == CursorInk::Clear;
    }
    Bytes body;
    putInfoHeader(body, n, 2 * n, 1, static_cast<uint32_t>(2 * stride * n), 0);
    putColour(body, kBlack);
    putColour(body, kWhite);
    for (int y = n - 1; y >= 0; --y)  // XOR image: 1 = white
        putBitRow(body, white, static_cast<size_t>(y) * n, n);
    for (int y = n - 1; y >= 0; --y)  // AND mask: 1 = screen shows through
        putBitRow(body, clear, static_cast<size_t>(y) * n, n);

    Bytes b;
    put16(b, 0);
    put16(b, 2);  // cursor
    put16(b, 1);
    b.push_back(static_cast<uint8_t>(n));
    b.push_back(static_cast<uint8_t>(n));
    b.push_back(2);  // colours
    b.push_back(0);
    put16(b, static_cast<unsigned>(cursor.hotX));  // a cursor keeps its hot spot
    put16(b, static_cast<unsigned>(cursor.hotY));  // where an icon has planes and bits
    put32(b, static_cast<uint32_t>(body.size()));
    put32(b, 6 + 16);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

bool writeFile(const std::string& path, const Bytes& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "artgen: cannot create %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
    return ok;
}
