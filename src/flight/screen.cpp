#include "flight/screen.h"

#include "app/app.h"
#include "flight/flight.h"
#include "flight/monitors.h"

ScreenState g_screen = {};

// Bank, first colour id, first mask id, in the order they are loaded.
struct BankSource {
    FrameBank ScreenState::*bank;
    int firstFrame, firstMask;
};
static const BankSource kBankSources[] = {
    {&ScreenState::RightBank, IDB_RIGHT_FRAME0, IDB_RIGHT_MASK0},
    {&ScreenState::LeftBank, IDB_LEFT_FRAME0, IDB_LEFT_MASK0},
    {&ScreenState::FallBank, IDB_FALL_FRAME0, IDB_FALL_MASK0},
};

static void LoadBank(FrameBank& bank, int firstFrame, int firstMask)
{
    for (int i = 0; i < FRAMES_PER_BANK; ++i) {
        bank.frames[i] = LoadBitmapA(g_app.instance, MAKEINTRESOURCEA(firstFrame + i));
    }
    for (int i = 0; i < FRAMES_PER_BANK; ++i) {
        bank.masks[i] = LoadBitmapA(g_app.instance, MAKEINTRESOURCEA(firstMask + i));
    }
}

static bool BanksComplete()
{
    const FrameBank& r = g_screen.RightBank;
    const FrameBank& l = g_screen.LeftBank;
    for (int i = 0; i < FRAMES_PER_BANK; ++i)
        if (!r.frames[i] || !r.masks[i] || !l.frames[i] || !l.masks[i]) return false;
    const FrameBank& f = g_screen.FallBank;
    for (int i = 0; i < FRAMES_PER_BANK; ++i)
        if (!f.frames[i] || !f.masks[i]) return false;
    return true;
}

int LoadFrameBanks()
{
    for (const BankSource& s : kBankSources) LoadBank(g_screen.*s.bank, s.firstFrame, s.firstMask);

    bool ok = BanksComplete();
    if (ok) {
        g_screen.FrameSurface.dc = CreateCompatibleDC(nullptr);
        if (g_screen.FrameSurface.dc) g_screen.MaskSurface.dc = CreateCompatibleDC(nullptr);
        ok = g_screen.FrameSurface.dc && g_screen.MaskSurface.dc;
    }
    g_screen.CrosshairCursor = LoadCursorA(g_app.instance, MAKEINTRESOURCEA(IDC_CROSSHAIR));
    g_screen.arrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    return ok ? 1 : 0;
}

// Selects `bitmap` into the surface; the first selection keeps what the DC
// held at creation.
static void SelectIntoSurface(Surface& surface, HBITMAP bitmap)
{
    if (!surface.dc || !bitmap) return;
    HBITMAP old = static_cast<HBITMAP>(SelectObject(surface.dc, bitmap));
    if (!surface.first) surface.first = old;
}

// The surface owns `bitmap` from now on, selected or not.
static void GiveSurfaceBitmap(Surface& surface, HBITMAP bitmap)
{
    surface.own = bitmap;
    SelectIntoSurface(surface, bitmap);
}

// The DC gets its first bitmap back before its own bitmap and then the DC
// go, so that no bitmap is deleted while selected and none stays selected
// into a deleted DC. A bitmap whose DC could not be made goes too.
static void DeleteSurface(Surface& surface)
{
    if (surface.dc && surface.first) SelectObject(surface.dc, surface.first);
    if (surface.own) DeleteObject(surface.own);
    if (surface.dc) DeleteDC(surface.dc);
    surface = Surface{};
}

// One bitmap at another size, nearest neighbour: a frame and its mask, each
// scaled alone, still agree pixel for pixel, so the XOR, AND, XOR of a paint
// stays exact. Masks stay monochrome.
static HBITMAP ScaledCopy(HDC screen, HBITMAP source, int width, int height, bool mask)
{
    BITMAP art = {};
    if (!GetObjectA(source, sizeof art, &art)) return nullptr;
    HBITMAP copy = mask ? CreateBitmap(width, height, 1, 1, nullptr) : CreateCompatibleBitmap(screen, width, height);
    HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
    bool done = false;
    if (copy && from && to) {
        HGDIOBJ fromFirst = SelectObject(from, source), toFirst = SelectObject(to, copy);
        SetStretchBltMode(to, COLORONCOLOR);
        done = StretchBlt(to, 0, 0, width, height, from, 0, 0, art.bmWidth, art.bmHeight, SRCCOPY) != FALSE;
        SelectObject(from, fromFirst);
        SelectObject(to, toFirst);
    }
    if (to) DeleteDC(to);
    if (from) DeleteDC(from);
    if (!done && copy) {
        DeleteObject(copy);
        copy = nullptr;
    }
    return copy;
}

static void FreeBank(FrameBank& bank)
{
    for (int i = 0; i < FRAMES_PER_BANK; ++i) {
        if (bank.frames[i]) DeleteObject(bank.frames[i]);
        if (bank.masks[i]) DeleteObject(bank.masks[i]);
        bank.frames[i] = bank.masks[i] = nullptr;
    }
}

// The frame surfaces give back whatever frame they show before it may go.
static void DeselectFrames()
{
    Surface* const surfaces[] = {&g_screen.FrameSurface, &g_screen.MaskSurface};
    for (Surface* s : surfaces)
        if (s->dc && s->first) SelectObject(s->dc, s->first);
}

static void FreeScaledBanks()
{
    DeselectFrames();
    for (FrameBank& bank : g_screen.scaled) FreeBank(bank);
    g_screen.bankDpi = 0;
}

void FreeFrameBanks()
{
    FreeScaledBanks();
    DeleteSurface(g_screen.FrameSurface);
    DeleteSurface(g_screen.MaskSurface);
    for (const BankSource& s : kBankSources) FreeBank(g_screen.*s.bank);
    g_screen.CrosshairCursor = nullptr;  // shared resource cursor: not destroyed
}

// Scaled once per change of DPI, at a launch, never on a tick.
int ScaleFrameBanks(int dpi)
{
    if (dpi == g_screen.bankDpi || (dpi == kBaseDpi && g_screen.bankDpi == 0)) return 1;
    FreeScaledBanks();  // also takes the shown frame out of the frame surfaces, to be read from
    if (dpi == kBaseDpi) return 1;
    HDC screen = GetDC(nullptr);
    bool complete = screen != nullptr;
    for (size_t b = 0; complete && b < sizeof kBankSources / sizeof kBankSources[0]; ++b) {
        const FrameBank& loaded = g_screen.*kBankSources[b].bank;
        FrameBank& scaled = g_screen.scaled[b];
        const bool falling = kBankSources[b].bank == &ScreenState::FallBank;
        const int w = MulDiv(falling ? kFallWidth : kFlyWidth, dpi, kBaseDpi);
        const int h = MulDiv(falling ? kFallHeight : kFlyHeight, dpi, kBaseDpi);
        for (int i = 0; complete && i < FRAMES_PER_BANK; ++i) {
            scaled.frames[i] = ScaledCopy(screen, loaded.frames[i], w, h, false);
            scaled.masks[i] = ScaledCopy(screen, loaded.masks[i], w, h, true);
            complete = scaled.frames[i] && scaled.masks[i];
        }
    }
    if (screen) ReleaseDC(nullptr, screen);
    if (!complete) {
        FreeScaledBanks();
        return 0;
    }
    g_screen.bankDpi = dpi;
    return 1;
}

const FrameBank* ShownBank(const FrameBank& loaded)
{
    if (g_screen.bankDpi == 0 || g_screen.bankDpi == kBaseDpi) return &loaded;
    for (size_t b = 0; b < sizeof kBankSources / sizeof kBankSources[0]; ++b)
        if (&(g_screen.*kBankSources[b].bank) == &loaded) return &g_screen.scaled[b];
    return &loaded;
}

void SelectFrame(const FrameBank& bank, int index)
{
    SelectIntoSurface(g_screen.FrameSurface, bank.frames[index]);
    SelectIntoSurface(g_screen.MaskSurface, bank.masks[index]);
}

static void ReleaseScreenState()
{
    DeleteSurface(g_screen.ComposeSurface);
    DeleteSurface(g_screen.ScreenSnapshot);
    if (g_screen.DisplayContext) DeleteDC(g_screen.DisplayContext);
    g_screen.DisplayContext = nullptr;
}

int FreezeScreen()
{
    ReleaseScreenState();  // the start-up snapshot, when the first chicken comes
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    g_screen.DisplayContext = display;
    g_screen.ScreenSnapshot.dc = CreateCompatibleDC(display);
    // Every monitor freezes, and a click anywhere is a shot.
    const RECT all = VirtualScreen();
    g_screen.originX = all.left;
    g_screen.originY = all.top;
    g_screen.screenWidth = all.right - all.left;
    g_screen.screenHeight = all.bottom - all.top;

    // As large as the falling chicken of this flight's DPI, the larger frame.
    HBITMAP compose = CreateCompatibleBitmap(display, FlightPixels(kFallWidth), FlightPixels(kFallHeight));
    g_screen.ComposeSurface.dc = CreateCompatibleDC(display);
    GiveSurfaceBitmap(g_screen.ComposeSurface, compose);

    int w = g_screen.screenWidth, h = g_screen.screenHeight;
    GiveSurfaceBitmap(g_screen.ScreenSnapshot, CreateCompatibleBitmap(display, w, h));
    // The background window is still parked, so the program is not in the
    // picture. CAPTUREBLT takes layered windows along (tooltips, menu
    // shadows, translucent players), which Windows XP and Windows 7 without
    // Aero otherwise leave out.
    if (!BitBlt(g_screen.ScreenSnapshot.dc, 0, 0, w, h, display, all.left, all.top, SRCCOPY | CAPTUREBLT)) {
        // The secure desktop, or a session without its console: nothing to show.
        ReleaseScreenState();
        return 0;
    }
    // Only a flight's freeze takes the focus away and gives it back. The one
    // at start-up runs before the windows exist and remembers nobody, so the
    // quit cannot pull forward a window the user left long ago.
    g_screen.PreviousForeground = g_app.background ? GetForegroundWindow() : nullptr;
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

BOOL ReleaseScreen()
{
    // The sprite lies left of and above the background's client area: off
    // every monitor wherever the background goes, until the next tick.
    MoveWindow(g_app.sprite, -kFlyWidth, -kFlyHeight, kFlyWidth, kFlyHeight, FALSE);
    const POINT park = ParkingSpot(POINT{-100, -100});
    MoveWindow(g_app.background, park.x, park.y, 1, 1, TRUE);
    ReleaseScreenState();
    // Given back once: a later release (the quit, a new speed between
    // flights) leaves the foreground with whoever has it by then.
    HWND previous = g_screen.PreviousForeground;
    g_screen.PreviousForeground = nullptr;
    return previous ? SetForegroundWindow(previous) : FALSE;
}

void RefreshSnapshotStrip(int x, int y, int width, int height)
{
    BitBlt(g_screen.ScreenSnapshot.dc, x - g_screen.originX, y - g_screen.originY, width, height,
           g_screen.DisplayContext, x, y, SRCCOPY);
}

// The snapshot under the window with the frame over it, composed aside and
// copied into `dc` in one step: never half a frame.
static void ComposeSprite(HWND sprite, HDC dc)
{
    if (!g_screen.ComposeSurface.dc || !g_screen.ScreenSnapshot.dc) return;
    RECT r;
    GetWindowRect(sprite, &r);
    int w = g_flight.spriteWidth, h = g_flight.spriteHeight;
    HDC compose = g_screen.ComposeSurface.dc;
    // The snapshot begins at the virtual screen's corner.
    BitBlt(compose, 0, 0, w, h, g_screen.ScreenSnapshot.dc, r.left - g_screen.originX, r.top - g_screen.originY,
           SRCCOPY);
    if (g_flight.step != 0) {  // before the first launch no frame was ever selected
        // XOR, AND with the mask, XOR: where the mask is white the two XORs
        // cancel and the snapshot stays; where black, the frame shows.
        BitBlt(compose, 0, 0, w, h, g_screen.FrameSurface.dc, 0, 0, SRCINVERT);
        BitBlt(compose, 0, 0, w, h, g_screen.MaskSurface.dc, 0, 0, SRCAND);
        BitBlt(compose, 0, 0, w, h, g_screen.FrameSurface.dc, 0, 0, SRCINVERT);
    }
    BitBlt(dc, 0, 0, w, h, compose, 0, 0, SRCCOPY);
}

// The move asks for nothing the tick does not need: no activation, no change
// of z-order, no redraw and no copy of the old pixels, since the whole window
// is drawn anew. What the window leaves behind needs no repaint either: each
// frame keeps a transparent margin wider than a step on its trailing side.
void MoveSprite(int x, int y, int width, int height)
{
    SetWindowPos(g_app.sprite, nullptr, x - g_screen.originX, y - g_screen.originY, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS);
}

LRESULT PaintSprite(HWND sprite)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(sprite, &ps);
    ComposeSprite(sprite, dc);
    EndPaint(sprite, &ps);
    return 0;
}

void DrawSprite(HWND sprite)
{
    if (HDC dc = GetDC(sprite)) {
        ComposeSprite(sprite, dc);
        ReleaseDC(sprite, dc);
    }
}

// Composited desktops (and Wine) show a window that never paints as black,
// so the frozen desktop is painted from the snapshot.
LRESULT PaintBackground(HWND background)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(background, &ps);
    if (g_screen.ScreenSnapshot.dc) {
        const RECT& r = ps.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, g_screen.ScreenSnapshot.dc, r.left, r.top,
               SRCCOPY);
    }
    EndPaint(background, &ps);
    return 0;
}

LRESULT OnSetCursor()
{
    SetCursor(g_flight.flying ? g_screen.CrosshairCursor : g_screen.arrowCursor);
    return 0;
}

LRESULT OnEraseBackground()
{
    return 0;
}

void Screen_Reset()
{
    ReleaseScreenState();
    FreeFrameBanks();
    g_screen = ScreenState{};
}
