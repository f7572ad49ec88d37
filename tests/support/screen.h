// The screen: its pixels, pictures of it, its size, and what a check that
// waited in vain saw.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wait.h"

namespace test {

// Pixel of the live screen.
COLORREF ScreenPixel(int x, int y);

// The whole screen at one moment.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // top row first, 0x00RRGGBB
    // 0x00RRGGBB, as the art's bitmaps give it; 0xFFFFFFFF outside.
    uint32_t Rgb(int x, int y) const;
    // As GetPixel gives it; CLR_INVALID outside.
    COLORREF Colour(int x, int y) const;
};
Screenshot CaptureScreen();
// Only `area` of the screen: its top left is the picture's (0, 0).
Screenshot CaptureScreen(const RECT& area);
// The header of a 32-bit top-down DIB of that size.
BITMAPINFO TopDownInfo(int width, int height);
// An icon's width in pixels, read from its mask; 0 where it cannot be read.
int IconWidth(HICON icon);
// A 24-bit bottom-up .bmp, the form every viewer reads.
bool SaveBmp(const Screenshot& shot, const std::string& path);
// A picture as `name` in the test folder.
bool SaveScreenshot(const Screenshot& shot, const std::string& name);
// The display at `width` x `height` for the scope (Wine's virtual desktop
// follows it), then back at the size it had.
class ScreenSize {
public:
    ScreenSize(int width, int height);
    ~ScreenSize();
    ScreenSize(const ScreenSize&) = delete;
    ScreenSize& operator=(const ScreenSize&) = delete;
    bool Set() const { return set_; }

private:
    int oldWidth_, oldHeight_;
    bool set_ = false;
};
// The display at `width` x `height` from now on; true once the system says so.
bool ChangeScreen(int width, int height);
// The same, set by another process (display_test.exe, beside the test
// programs) as a settings dialog or a Remote Desktop client would; this
// thread handles its messages meanwhile, the WM_DISPLAYCHANGE among them.
bool ChangeScreenElsewhere(int width, int height);

// Keeps the screen of this moment as failures/<test>-<n>.bmp in the test
// folder (under build/); returns the file's path.
std::string KeepScreen();

// WaitFor for the checks of a running program: when `condition` does not
// come true in time, the failure says what was awaited and keeps a
// screenshot of that moment.
template <typename F>
testing::AssertionResult Awaited(const char* what, F condition, DWORD ms, bool pump = false)
{
    if (WaitFor(condition, ms, pump)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "waited " << ms << " ms for " << what << "; the screen then: "
                                       << KeepScreen();
}

}  // namespace test
