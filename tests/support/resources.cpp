#include "resources.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace test {

static std::string EnvOr(const char* name, const char* fallback)
{
    const char* v = std::getenv(name);
    return v ? v : fallback;
}

std::string ProductExePath() { return EnvOr("WINGZAP_EXE", "Wingzap.exe"); }
std::string RuntimeExePath() { return EnvOr("WINGZAP_RUNTIME_EXE", "Wingzap.exe"); }
std::string TestDir() { return EnvOr("WINGZAP_TEST_DIR", "."); }

HMODULE ProductResources()
{
    static HMODULE module =
        LoadLibraryExA(ProductExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

std::vector<uint8_t> ResourceBytes(HMODULE module, LPCSTR type, unsigned id)
{
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!info) return {};
    HGLOBAL handle = LoadResource(module, info);
    const uint8_t* data = handle ? static_cast<const uint8_t*>(LockResource(handle)) : nullptr;
    if (!data) return {};
    return std::vector<uint8_t>(data, data + SizeofResource(module, info));
}

Dib ParseDib(const std::vector<uint8_t>& bytes)
{
    Dib dib;
    if (bytes.size() < sizeof(BITMAPINFOHEADER)) return dib;
    BITMAPINFOHEADER h;
    std::memcpy(&h, bytes.data(), sizeof h);
    if (h.biSize != sizeof h) return dib;
    dib.width = h.biWidth;
    dib.height = h.biHeight;
    dib.bitsPerPixel = h.biBitCount;
    dib.planes = h.biPlanes;
    dib.compression = static_cast<int>(h.biCompression);
    dib.colorsUsed = h.biClrUsed;
    size_t colors = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : (1u << h.biBitCount)) : 0;
    size_t offset = sizeof h;
    for (size_t i = 0; i < colors && offset + 4 <= bytes.size(); ++i, offset += 4)
        dib.colorTable.push_back(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16);
    dib.stride = ((dib.width * dib.bitsPerPixel + 31) / 32) * 4;
    dib.bits.assign(bytes.begin() + static_cast<long>(std::min(offset, bytes.size())), bytes.end());
    dib.valid = dib.height > 0 && dib.bits.size() >= static_cast<size_t>(dib.stride) * dib.height;
    return dib;
}

uint32_t Dib::At(int x, int y) const
{
    const uint8_t* row = bits.data() + static_cast<size_t>(height - 1 - y) * stride;
    if (bitsPerPixel == 1) return (row[x / 8] >> (7 - x % 8)) & 1;
    if (bitsPerPixel == 4) return (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    const uint8_t* p = row + x * 3;
    return p[0] | p[1] << 8 | p[2] << 16;
}

double Wave::Seconds() const
{
    if (format.size() < 16) return 0;
    uint32_t bytesPerSecond;
    std::memcpy(&bytesPerSecond, &format[8], 4);
    return bytesPerSecond ? double(samples.size()) / bytesPerSecond : 0;
}

Wave ParseWave(const uint8_t* image, size_t available)
{
    Wave w;
    if (!image || available < 12 || std::memcmp(image, "RIFF", 4) || std::memcmp(image + 8, "WAVE", 4)) return w;
    size_t at = 12;
    while (at + 8 <= available) {
        uint32_t size;
        std::memcpy(&size, image + at + 4, 4);
        const uint8_t* body = image + at + 8;
        size_t room = available - (at + 8);
        size_t take = size < room ? size : room;
        if (!std::memcmp(image + at, "fmt ", 4)) w.format.assign(body, body + take);
        if (!std::memcmp(image + at, "data", 4)) {
            w.samples.assign(body, body + take);
            break;
        }
        at += 8 + size + (size & 1);
    }
    return w;
}

Dib ResourceDib(HMODULE module, unsigned id)
{
    return ParseDib(ResourceBytes(module, MAKEINTRESOURCEA(2), id));
}

Wave ResourceWave(HMODULE module, unsigned id)
{
    std::vector<uint8_t> bytes = ResourceBytes(module, "WAVE", id);
    return ParseWave(bytes.data(), bytes.size());
}

}  // namespace test
