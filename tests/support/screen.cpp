#include "screen.h"

#include <cstdio>
#include <cstring>

#include "app/gdi.h"
#include "resources.h"
#include "victims.h"

namespace test {

COLORREF ScreenPixel(int x, int y)
{
    const ScreenDc screen;
    return GetPixel(screen.get(), x, y);
}

uint32_t Screenshot::Rgb(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
    return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
}

COLORREF Screenshot::Colour(int x, int y) const
{
    uint32_t p = Rgb(x, y);
    return p == 0xFFFFFFFF ? CLR_INVALID : RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

BITMAPINFO TopDownInfo(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return info;
}

Screenshot CaptureScreen(const RECT& area)
{
    Screenshot shot;
    if (area.right <= area.left || area.bottom <= area.top) return shot;
    shot.width = area.right - area.left;
    shot.height = area.bottom - area.top;
    const ScreenDc screen;
    const BITMAPINFO info = TopDownInfo(shot.width, shot.height);
    void* bits = nullptr;
    const Bitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const MemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!bitmap || !memory) return shot;
    const Selection into(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, shot.width, shot.height, screen.get(), area.left, area.top, SRCCOPY);
    GdiFlush();
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    shot.pixels.assign(p, p + static_cast<size_t>(shot.width) * shot.height);
    return shot;
}

Screenshot CaptureScreen()
{
    const ScreenDc screen;
    return CaptureScreen(RECT{0, 0, GetDeviceCaps(screen.get(), HORZRES), GetDeviceCaps(screen.get(), VERTRES)});
}

bool SaveBmp(const Screenshot& shot, const std::string& path)
{
    const int stride = (shot.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = shot.width;
    header.biHeight = shot.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = static_cast<DWORD>(stride * shot.height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1;
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int y = shot.height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < shot.width; ++x) {
            uint32_t c = shot.Rgb(x, y);
            row[x * 3] = c & 0xFF;
            row[x * 3 + 1] = (c >> 8) & 0xFF;
            row[x * 3 + 2] = (c >> 16) & 0xFF;
        }
        ok = std::fwrite(row.data(), 1, row.size(), out) == row.size();
    }
    return std::fclose(out) == 0 && ok;
}

// True once this process's metrics read the display at that size.
static bool ScreenReads(int width, int height)
{
    return WaitFor([&] { return GetSystemMetrics(SM_CXSCREEN) == width && GetSystemMetrics(SM_CYSCREEN) == height; },
                   5000, true);
}

bool ChangeScreen(int width, int height)
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    const bool shown = taskbar && IsWindowVisible(taskbar);
    if (ChangeDisplaySettingsA(&mode, 0) != DISP_CHANGE_SUCCESSFUL) return false;
    if (!ScreenReads(width, height)) return false;
    // Windows keeps the taskbar along the bottom of the new screen, its
    // icons at its right end. Wine 10 hides it at a display change for good,
    // once the shell has seen the change: the tray's icons would be out of
    // reach. It is laid out again here as Windows does, its icons (windows
    // of their own in it) as far from its right end as before.
    DWORD_PTR seen;
    if (shown && SendMessageTimeoutA(taskbar, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &seen) && !IsWindowVisible(taskbar)) {
        const RECT bar = WindowRect(taskbar);
        const int grown = width - (bar.right - bar.left);
        for (HWND icon = GetWindow(taskbar, GW_CHILD); icon; icon = GetWindow(icon, GW_HWNDNEXT)) {
            char name[32] = "";
            GetClassNameA(icon, name, sizeof name);
            if (std::strcmp(name, "__wine_tray_icon") != 0) continue;
            RECT at = WindowRect(icon);
            MapWindowPoints(nullptr, taskbar, reinterpret_cast<POINT*>(&at), 2);
            SetWindowPos(icon, nullptr, at.left + grown, at.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        SetWindowPos(taskbar, nullptr, 0, height - (bar.bottom - bar.top), width, bar.bottom - bar.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    return true;
}

bool ChangeScreenElsewhere(int width, int height)
{
    char command[MAX_PATH + 64];
    const int n = std::snprintf(command, sizeof command, "\"%s/display_test.exe\" --change %dx%d",
                                TestDir().c_str(), width, height);
    if (n < 0 || static_cast<size_t>(n) >= sizeof command) return false;
    return RunCommand(command, 20000, true) == 0 && ScreenReads(width, height);
}

ScreenSize::ScreenSize(int width, int height)
    : oldWidth_(GetSystemMetrics(SM_CXSCREEN)), oldHeight_(GetSystemMetrics(SM_CYSCREEN))
{
    set_ = (width == oldWidth_ && height == oldHeight_) || ChangeScreen(width, height);
}

ScreenSize::~ScreenSize()
{
    if (GetSystemMetrics(SM_CXSCREEN) != oldWidth_ || GetSystemMetrics(SM_CYSCREEN) != oldHeight_)
        ChangeScreen(oldWidth_, oldHeight_);
}

bool SaveScreenshot(const Screenshot& shot, const std::string& name)
{
    return SaveBmp(shot, TestDir() + "/" + name);
}

static int g_keptScreens = 0;

std::string KeepScreen()
{
    std::string dir = TestDir() + "/failures";
    CreateDirectoryA(dir.c_str(), nullptr);
    const testing::TestInfo* running = testing::UnitTest::GetInstance()->current_test_info();
    char name[300];
    std::snprintf(name, sizeof name, "/%s.%s-%d.bmp", running ? running->test_suite_name() : "none",
                  running ? running->name() : "none", ++g_keptScreens);
    for (char* c = name + 1; *c; ++c)
        if (*c == '/') *c = '_';  // parameterised names
    std::string path = dir + name;
    return SaveBmp(CaptureScreen(), path) ? path : "(no screenshot: " + path + " could not be written)";
}

int IconWidth(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) return 0;
    const Bitmap colour(info.hbmColor), mask(info.hbmMask);  // the copies GetIconInfo made
    BITMAP b = {};
    GetObjectA(mask.get(), sizeof b, &b);
    return b.bmWidth;
}

}  // namespace test
