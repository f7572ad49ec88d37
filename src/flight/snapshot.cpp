#include "flight/snapshot.h"

#include "app/app.h"
#include "flight/monitors.h"

SnapshotState g_snapshot = {};

static void ReleaseScreenState()
{
    g_snapshot.compose.Reset();
    g_snapshot.snapshot.Reset();
    g_snapshot.display.Reset();
}

int FreezeScreen(int composeWidth, int composeHeight)
{
    ReleaseScreenState();  // the start-up snapshot, when the first chicken comes
    g_snapshot.display.Reset(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    const HDC display = g_snapshot.display.get();
    g_snapshot.snapshot.Reset(CreateCompatibleDC(display));
    // Every monitor freezes, and a click anywhere is a shot.
    const RECT all = VirtualScreen();
    g_snapshot.originX = all.left;
    g_snapshot.originY = all.top;
    g_snapshot.screenWidth = all.right - all.left;
    g_snapshot.screenHeight = all.bottom - all.top;

    Bitmap compose(CreateCompatibleBitmap(display, composeWidth, composeHeight));
    g_snapshot.compose.Reset(CreateCompatibleDC(display));
    const bool composes = g_snapshot.compose.Own(std::move(compose));

    int w = g_snapshot.screenWidth, h = g_snapshot.screenHeight;
    // Several 4K monitors ask a 32-bit process for some 130 MB here.
    const bool holds = g_snapshot.snapshot.Own(Bitmap(CreateCompatibleBitmap(display, w, h)));
    // The background window is still parked, so the program is not in the
    // picture. CAPTUREBLT takes layered windows along (tooltips, menu
    // shadows, translucent players), which Windows XP and Windows 7 without
    // Aero otherwise leave out.
    // Without its bitmap a DC keeps the 1 x 1 one it was made with, and the
    // copy into it succeeds: the cover would show black, and shots would
    // hole windows nobody sees. So any object missing gives up as well.
    if (!display || !composes || !holds ||
        !BitBlt(g_snapshot.snapshot.get(), 0, 0, w, h, display, all.left, all.top, SRCCOPY | CAPTUREBLT)) {
        // The secure desktop, or a session without its console: nothing to
        // show. Or memory or GDI objects ran out.
        ReleaseScreenState();
        return 0;
    }
    // Only a flight's freeze takes the focus away and gives it back. The one
    // at start-up runs before the windows exist and remembers nobody, so the
    // quit cannot pull forward a window the user left long ago.
    g_snapshot.previousForeground = g_app.background ? GetForegroundWindow() : nullptr;
    // Raised at every freeze, not only when it was made: a topmost window
    // activated since (an always-on-top player, the taskbar after a click)
    // would lie above the cover, live over the frozen screen, taking shots.
    if (g_app.background)
        SetWindowPos(g_app.background, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    MoveWindow(g_app.background, all.left, all.top, w, h, TRUE);
    // Painted now, the sprite too where it shows: the launch sound that
    // follows holds the thread, and a composited desktop shows a window that
    // has not painted yet as black or stale until the loop runs again.
    UpdateWindow(g_app.background);
    // Wine puts what a thread painted on the screen when the thread next
    // waits for messages, not at once if it waited a moment ago: Wine 10
    // would show the cover black through the whole cackle. A wait that ends
    // at once shows it; it handles no message, here or on Windows.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
    return 1;
}

void ParkWindows()
{
    // The sprite lies left of and above the background's client area: off
    // every monitor wherever the background goes, until the next tick.
    MoveWindow(g_app.sprite, -kFlyWidth, -kFlyHeight, kFlyWidth, kFlyHeight, FALSE);
    const POINT park = ParkingSpot(POINT{-100, -100});
    MoveWindow(g_app.background, park.x, park.y, 1, 1, TRUE);
}

BOOL ReleaseScreen()
{
    ParkWindows();
    ReleaseScreenState();
    // Given back once: a later release (the quit, a new speed between
    // flights) leaves the foreground with whoever has it by then.
    HWND previous = g_snapshot.previousForeground;
    g_snapshot.previousForeground = nullptr;
    return previous ? SetForegroundWindow(previous) : FALSE;
}

void RefreshSnapshotStrip(int x, int y, int width, int height)
{
    BitBlt(g_snapshot.snapshot.get(), x - g_snapshot.originX, y - g_snapshot.originY, width, height,
           g_snapshot.display.get(), x, y, SRCCOPY);
}

// The snapshot under the window with the frame over it, composed aside and
// copied into `dc` in one step: never half a frame.
static void ComposeSprite(HWND sprite, HDC dc, int w, int h, const SpriteFrame& frame)
{
    if (!g_snapshot.compose || !g_snapshot.snapshot) return;
    RECT r;
    GetWindowRect(sprite, &r);
    HDC compose = g_snapshot.compose.get();
    // The snapshot begins at the virtual screen's corner.
    BitBlt(compose, 0, 0, w, h, g_snapshot.snapshot.get(), r.left - g_snapshot.originX, r.top - g_snapshot.originY,
           SRCCOPY);
    if (frame.colour) {
        // XOR, AND with the mask, XOR: where the mask is white the two XORs
        // cancel and the snapshot stays; where black, the frame shows.
        BitBlt(compose, 0, 0, w, h, frame.colour, 0, 0, SRCINVERT);
        BitBlt(compose, 0, 0, w, h, frame.mask, 0, 0, SRCAND);
        BitBlt(compose, 0, 0, w, h, frame.colour, 0, 0, SRCINVERT);
    }
    BitBlt(dc, 0, 0, w, h, compose, 0, 0, SRCCOPY);
}

// The move asks for nothing the tick does not need: no activation, no change
// of z-order, no redraw and no copy of the old pixels, since the whole window
// is drawn anew. What the window leaves behind needs no repaint either: each
// frame keeps a transparent margin wider than a step on its trailing side.
void MoveSprite(int x, int y, int width, int height)
{
    SetWindowPos(g_app.sprite, nullptr, x - g_snapshot.originX, y - g_snapshot.originY, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS);
}

LRESULT PaintSprite(HWND sprite, int width, int height, const SpriteFrame& frame)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(sprite, &ps);
    ComposeSprite(sprite, dc, width, height, frame);
    EndPaint(sprite, &ps);
    return 0;
}

void DrawSprite(HWND sprite, int width, int height, const SpriteFrame& frame)
{
    ScreenDc dc(sprite);
    if (dc) ComposeSprite(sprite, dc.get(), width, height, frame);
}

// Composited desktops (and Wine) show a window that never paints as black,
// so the frozen desktop is painted from the snapshot.
LRESULT PaintBackground(HWND background)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(background, &ps);
    if (g_snapshot.snapshot) {
        const RECT& r = ps.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, g_snapshot.snapshot.get(), r.left, r.top,
               SRCCOPY);
    }
    EndPaint(background, &ps);
    return 0;
}

LRESULT OnEraseBackground()
{
    return 0;
}

void Snapshot_Reset()
{
    ReleaseScreenState();
    g_snapshot = SnapshotState{};
}
