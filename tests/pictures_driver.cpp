// Plays Wingzap for scripts/pictures, from inside Wine, with the mouse as a
// person would:
//
//   pictures_driver place TITLE X Y [WIDTH HEIGHT]
//       waits for the top-level window of that title and moves it there
//   pictures_driver sweep TITLE X Y
//       plays Minesweeper's first move at the point (X, Y) of its client
//       area, in new games until the move opens a field
//   pictures_driver shoot X1 Y1 X2 Y2
//       waits for a flight, misses at the two points once the chicken is
//       in sight, hits it, and returns when the flight is over
//   pictures_driver film FOLDER STILL_X
//       waits for the next flight and films it every 80 ms into numbered BMP
//       files until its end, the crosshair closing in on the chicken; as the
//       chicken's middle passes STILL_X it keeps that frame as still.bmp
//       too, and a little later it shoots the chicken
//
// Screen copies do not hold the pointer (X draws it over the screen): every
// picture has it drawn in where it stands, the program's crosshair during a
// flight and the arrow otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app.h"
#include "app/gdi.h"
#include "input.h"
#include "res/resource.h"
#include "wait.h"

namespace {

HWND Background() { return FindWindowA(kBackgroundClass, "Background"); }

RECT SpriteRect()
{
    RECT r = {};
    if (HWND sprite = FindWindowExA(Background(), nullptr, kSpriteClass, nullptr)) GetWindowRect(sprite, &r);
    return r;
}

// During a flight the background window covers the screen from (0, 0).
bool Covered()
{
    RECT r = {};
    HWND background = Background();
    return background && IsWindowVisible(background) && GetWindowRect(background, &r) && r.left == 0 &&
           r.top == 0 && r.right > 100;
}

using test::Click;
using test::WaitFor;

void DrawPointer(HDC dc)
{
    static HCURSOR crosshair = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_CROSSHAIR));
    static HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    HCURSOR cursor = Covered() ? crosshair : arrow;
    POINT at = {};
    ICONINFO icon = {};
    if (!cursor || !GetCursorPos(&at) || !GetIconInfo(cursor, &icon)) return;
    const Bitmap mask(icon.hbmMask), colour(icon.hbmColor);  // the copies GetIconInfo made
    DrawIconEx(dc, at.x - static_cast<int>(icon.xHotspot), at.y - static_cast<int>(icon.yHotspot), cursor, 0, 0, 0,
               nullptr, DI_NORMAL);
}

// A part of the screen, the pointer drawn in with `pointer`, in the form
// `info` asks for.
void CopyScreen(const RECT& area, bool pointer, BITMAPINFO* info, void* pixels)
{
    const int w = area.right - area.left, h = area.bottom - area.top;
    const ScreenDc screen;
    const MemoryDc memory(CreateCompatibleDC(screen.get()));
    const Bitmap bitmap(CreateCompatibleBitmap(screen.get(), w, h));
    {
        const Selection into(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, w, h, screen.get(), area.left, area.top, SRCCOPY);
        if (pointer) DrawPointer(memory.get());
    }
    GetDIBits(memory.get(), bitmap.get(), 0, h, pixels, info, DIB_RGB_COLORS);
}

// The screen with the pointer as a 24-bit BMP file.
bool SaveScreen(const char* path)
{
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFOHEADER info = {sizeof info, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    int stride = (w * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * h);
    CopyScreen(RECT{0, 0, w, h}, true, reinterpret_cast<BITMAPINFO*>(&info), pixels.data());

    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof file + sizeof info + pixels.size()), 0, 0,
                             sizeof file + sizeof info};
    bool ok = std::fwrite(&file, sizeof file, 1, f) == 1 && std::fwrite(&info, sizeof info, 1, f) == 1 &&
              std::fwrite(pixels.data(), pixels.size(), 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}

// The top-level window of that title, shown, its program waiting for input.
HWND WaitForWindow(const char* title)
{
    HWND window = nullptr;
    if (!WaitFor([&] { return (window = FindWindowA(nullptr, title)) != nullptr && IsWindowVisible(window); },
                 30000)) {
        std::fprintf(stderr, "pictures_driver: no window \"%s\" after 30 s\n", title);
        return nullptr;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid)) {
        WaitForInputIdle(process, 10000);
        CloseHandle(process);
    }
    return window;
}

int Place(int argc, char** argv)
{
    HWND window = WaitForWindow(argv[0]);
    if (!window) return 1;
    int x = std::atoi(argv[1]), y = std::atoi(argv[2]);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    int w = 0, h = 0;
    if (argc >= 5) {
        w = std::atoi(argv[3]);
        h = std::atoi(argv[4]);
    } else {
        flags |= SWP_NOSIZE;
    }
    if (!SetWindowPos(window, nullptr, x, y, w, h, flags)) return 1;
    RECT r = {};
    GetWindowRect(window, &r);
    std::printf("%s: %ld,%ld %ldx%ld\n", argv[0], r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}

// The client area's pixels as the screen shows them.
std::vector<DWORD> ClientPixels(HWND window)
{
    RECT r = {};
    POINT origin = {0, 0};
    GetClientRect(window, &r);
    ClientToScreen(window, &origin);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(static_cast<size_t>(r.right) * r.bottom);
    CopyScreen(RECT{origin.x, origin.y, origin.x + r.right, origin.y + r.bottom}, false, &info, pixels.data());
    return pixels;
}

size_t Changed(const std::vector<DWORD>& a, const std::vector<DWORD>& b)
{
    if (a.size() != b.size()) return a.size() + b.size();
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return n;
}

// Minesweeper's first move at the client point (X, Y): the first square is
// never a mine, but only one with no mine around it opens a field. Each new
// game (F2) lays the mines anew.
int Sweep(char** argv)
{
    HWND window = WaitForWindow(argv[0]);
    if (!window) return 1;
    POINT p = {std::atoi(argv[1]), std::atoi(argv[2])};
    ClientToScreen(window, &p);
    for (int game = 0; game < 20; ++game) {
        std::vector<DWORD> fresh = ClientPixels(window);
        Click(p.x, p.y);
        // A field of a dozen squares or more, not one square and the clock.
        if (WaitFor([&] { return Changed(fresh, ClientPixels(window)) > 3000; }, 1000)) {
            SetCursorPos(p.x + 200, p.y + 300);  // out of the way of the pictures
            return 0;
        }
        keybd_event(VK_F2, 0, 0, 0);
        keybd_event(VK_F2, 0, KEYEVENTF_KEYUP, 0);
        WaitFor([&] { return Changed(fresh, ClientPixels(window)) == 0; }, 2000);
    }
    std::fprintf(stderr, "pictures_driver: no field opened in 20 games of Minesweeper\n");
    return 0;
}

// The chicken flies in from the side; it is in sight once its window
// overlaps the screen by half its width.
bool ChickenInSight()
{
    RECT s = SpriteRect();
    int w = GetSystemMetrics(SM_CXSCREEN);
    return s.right - s.left > 0 && s.left > -(s.right - s.left) / 2 && s.right < w + (s.right - s.left) / 2;
}

void HitChicken()
{
    RECT s = SpriteRect();
    Click((s.left + s.right) / 2 + 8, (s.top + s.bottom) / 2);
}

// Wine paints the wallpaper over the whole of every holed window whenever
// it draws its desktop again, as it does after a flight (without a
// wallpaper it does not). Windows keeps them; so the windows are told to
// draw themselves again until the next flight freezes the screen.
BOOL CALLBACK Repaint(HWND window, LPARAM)
{
    if (IsWindowVisible(window) && window != Background())
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return TRUE;
}

int Shoot(char** argv)
{
    if (!WaitFor(Covered, 60000) || !WaitFor(ChickenInSight, 15000)) {
        std::fprintf(stderr, "pictures_driver: no chicken came\n");
        return 1;
    }
    Click(std::atoi(argv[0]), std::atoi(argv[1]));
    Sleep(300);  // two shots, as a hand fires them, not one double click
    Click(std::atoi(argv[2]), std::atoi(argv[3]));
    Sleep(300);
    HitChicken();
    if (!WaitFor([] { return !Covered(); }, 15000)) {
        std::fprintf(stderr, "pictures_driver: the first flight did not end\n");
        return 1;
    }
    return 0;
}

int Film(char** argv)
{
    const char* folder = argv[0];
    const int stillX = std::atoi(argv[1]);
    // The hand rests low on the screen, then closes in on the chicken.
    double aimX = GetSystemMetrics(SM_CXSCREEN) * 0.55, aimY = GetSystemMetrics(SM_CYSCREEN) * 0.6;
    SetCursorPos(static_cast<int>(aimX), static_cast<int>(aimY));
    for (DWORD waiting = GetTickCount(); !Covered(); WaitFor(Covered, 250)) {
        if (GetTickCount() - waiting > 60000) {
            std::fprintf(stderr, "pictures_driver: no second flight came\n");
            return 1;
        }
        EnumWindows(Repaint, 0);
    }
    enum { Flying, Aimed, Falling } act = Flying;
    int frame = 0, shotAt = 0;
    DWORD start = GetTickCount();
    char path[MAX_PATH];
    while (GetTickCount() - start < 30000 && frame < 400) {
        DWORD tick = GetTickCount();
        // The film ends with the flight, before Wine draws its desktop again.
        if (act == Falling && !Covered()) return 0;
        RECT s = SpriteRect();
        int cx = (s.left + s.right) / 2, cy = (s.top + s.bottom) / 2;
        if (act == Flying || act == Aimed) {
            if (ChickenInSight()) {
                // Ahead of the chicken, closing a third of the way each frame:
                // it trails the aim and ends up on her beak.
                aimX += (cx + 70 - aimX) * 0.35;
                aimY += (cy - aimY) * 0.35;
                SetCursorPos(static_cast<int>(aimX), static_cast<int>(aimY));
            }
        }
        std::snprintf(path, sizeof path, "%s\\%04d.bmp", folder, frame);
        if (!SaveScreen(path)) return 1;
        if (act == Flying && cx >= stillX) {
            char still[MAX_PATH];
            std::snprintf(still, sizeof still, "%s\\still.bmp", folder);
            if (!CopyFileA(path, still, FALSE)) return 1;
            act = Aimed;
            shotAt = frame + 8;
        } else if (act == Aimed && frame >= shotAt) {
            HitChicken();
            act = Falling;
        }
        ++frame;
        DWORD spent = GetTickCount() - tick;
        if (spent < 80) Sleep(80 - spent);  // the film's pace, not a wait for the program
    }
    std::fprintf(stderr, "pictures_driver: the second flight did not go as planned\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 5 && std::strcmp(argv[1], "place") == 0) return Place(argc - 2, argv + 2);
    if (argc == 5 && std::strcmp(argv[1], "sweep") == 0) return Sweep(argv + 2);
    if (argc == 6 && std::strcmp(argv[1], "shoot") == 0) return Shoot(argv + 2);
    if (argc == 4 && std::strcmp(argv[1], "film") == 0) return Film(argv + 2);
    std::fprintf(stderr,
                 "usage: pictures_driver place TITLE X Y [WIDTH HEIGHT] | sweep TITLE X Y |\n"
                 "       shoot X1 Y1 X2 Y2 | film FOLDER STILL_X\n");
    return 2;
}
