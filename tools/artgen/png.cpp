// png.cpp - PNG with uncompressed deflate blocks, CRC-32 and Adler-32.
#include "png.h"

#include <algorithm>

namespace {

void putBig32(Bytes& b, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<uint8_t>((v >> shift) & 0xFF));
}

uint32_t crc32(const uint8_t* data, size_t n)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

uint32_t adler32(const Bytes& data)
{
    uint32_t a = 1, b = 0;
    for (uint8_t v : data) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

// Length, type, data, then a CRC over type and data.
void putChunk(Bytes& out, const char* type, const Bytes& data)
{
    putBig32(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBig32(out, crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored deflate blocks, each at most 65,535 bytes.
Bytes storedZlib(const Bytes& raw)
{
    Bytes z{0x78, 0x01};
    size_t pos = 0;
    do {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n & 0xFF));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n & 0xFF));
        z.push_back(static_cast<uint8_t>((~n >> 8) & 0xFF));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    putBig32(z, adler32(raw));
    return z;
}

}  // namespace

Bytes pngFile(const Image& img)
{
    Bytes raw;
    raw.reserve(static_cast<size_t>(img.h) * (1 + 3 * img.w));
    for (int y = 0; y < img.h; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < img.w; ++x) {
            Rgb c = img.at(x, y);
            raw.push_back(c.r);
            raw.push_back(c.g);
            raw.push_back(c.b);
        }
    }
    Bytes header;
    putBig32(header, static_cast<uint32_t>(img.w));
    putBig32(header, static_cast<uint32_t>(img.h));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace

    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", storedZlib(raw));
    putChunk(out, "IEND", {});
    return out;
}
