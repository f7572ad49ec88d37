// Where the programs under test are, and what their resources hold.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace test {

// Path of the shipped 32-bit Wingzap.exe, in Windows form.
std::string ProductExePath();
// The program as built for this test run (64-bit), to be started as a process.
std::string RuntimeExePath();
// Folder of the test programs (for helper exes and screenshots).
std::string TestDir();

// The shipped exe, mapped as data so its resources can be read.
HMODULE ProductResources();

// The bytes of one resource of a module; empty when absent.
std::vector<uint8_t> ResourceBytes(HMODULE module, LPCSTR type, unsigned id);

// A packed device-independent bitmap as the resource holds it.
struct Dib {
    int width = 0, height = 0, bitsPerPixel = 0, planes = 0, compression = -1;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> colorTable;  // 0x00RRGGBB
    std::vector<uint8_t> bits;
    int stride = 0;
    bool valid = false;
    // Pixel at column x, row y counted from the top: 0x00RRGGBB, or the
    // index for 1-bit images.
    uint32_t At(int x, int y) const;
};
Dib ParseDib(const std::vector<uint8_t>& bytes);
// Bitmap `id` of a module's resources.
Dib ResourceDib(HMODULE module, unsigned id);

// A RIFF WAVE image: where its format and its samples are.
struct Wave {
    std::vector<uint8_t> format;   // the fmt chunk's body
    std::vector<uint8_t> samples;  // the data chunk's body
    double Seconds() const;
};
// Only the first `available` bytes are read: a file still being written has
// no final sizes in its header yet.
Wave ParseWave(const uint8_t* image, size_t available);
// A "WAVE" resource of a module; empty when absent.
Wave ResourceWave(HMODULE module, unsigned id);

}  // namespace test
