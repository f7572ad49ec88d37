// Plays and films one flight for the demo: waits for the chicken, misses
// once at the point given on the command line (a hole in whatever window is
// there), hits the chicken in the middle of the screen, and films the screen
// every 80 ms into numbered BMP files until the flight is over.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/app.h"

namespace {

HWND Background() { return FindWindowA(kBackgroundClass, "Background"); }

RECT SpriteRect()
{
    RECT r = {};
    if (HWND sprite = FindWindowExA(Background(), nullptr, kSpriteClass, nullptr)) GetWindowRect(sprite, &r);
    return r;
}

bool Covered()
{
    RECT r = {};
    GetWindowRect(Background(), &r);
    return r.left == 0 && r.top == 0 && r.right > 100;
}

void Click(int x, int y)
{
    SetCursorPos(x, y);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
}

// One frame of the screen as a 24-bit BMP file.
bool SaveFrame(const char* folder, int n)
{
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFOHEADER info = {sizeof info, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    int stride = (w * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * h);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    GetDIBits(memory, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%s\\%04d.bmp", folder, n);
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof file + sizeof info + pixels.size()), 0, 0,
                             sizeof file + sizeof info};
    std::fwrite(&file, sizeof file, 1, f);
    std::fwrite(&info, sizeof info, 1, f);
    std::fwrite(pixels.data(), pixels.size(), 1, f);
    std::fclose(f);
    return true;
}

enum class Act { WaitFlight, WaitEntry, WaitCentre, Falling, After, Done };

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: demo_driver FRAME_FOLDER MISS_X MISS_Y\n");
        return 2;
    }
    const char* folder = argv[1];
    int missX = std::atoi(argv[2]), missY = std::atoi(argv[3]);
    Act act = Act::WaitFlight;
    DWORD start = GetTickCount(), afterSince = 0;
    int frame = 0;
    while (act != Act::Done && GetTickCount() - start < 30000 && frame < 400) {
        DWORD tick = GetTickCount();
        RECT sprite = SpriteRect();
        switch (act) {
        case Act::WaitFlight:
            if (Covered()) act = Act::WaitEntry;
            break;
        case Act::WaitEntry:
            if (sprite.left > 100) {
                Click(missX, missY);
                act = Act::WaitCentre;
            }
            break;
        case Act::WaitCentre:
            if (sprite.left > 400) {
                Click((sprite.left + sprite.right) / 2 + 8, (sprite.top + sprite.bottom) / 2);
                act = Act::Falling;
            }
            break;
        case Act::Falling:
            if (!Covered()) {
                act = Act::After;
                afterSince = tick;
            }
            break;
        case Act::After:
            if (tick - afterSince > 1200) act = Act::Done;
            break;
        case Act::Done: break;
        }
        if (act != Act::WaitFlight && !SaveFrame(folder, frame++)) return 1;
        DWORD spent = GetTickCount() - tick;
        if (spent < 80) Sleep(80 - spent);
    }
    return act == Act::Done ? 0 : 1;
}
