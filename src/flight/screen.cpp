#include "flight/screen.h"

#include "app/app.h"
#include "flight/flight.h"

ScreenState g_screen = {};

static const int kFallWidth = 100, kFallHeight = 90;

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
    g_screen.taskIconMessage = RegisterWindowMessageA("Skyroost TaskIcon");
    g_screen.showMenuMessage = RegisterWindowMessageA("Skyroost ShowMenu");
    g_flight.frameIndex = 0;
    for (const BankSource& s : kBankSources) LoadBank(g_screen.*s.bank, s.firstFrame, s.firstMask);

    bool ok = BanksComplete();
    if (ok) {
        g_screen.FrameSurface = CreateCompatibleDC(nullptr);
        if (g_screen.FrameSurface) g_screen.MaskSurface = CreateCompatibleDC(nullptr);
        ok = g_screen.FrameSurface && g_screen.MaskSurface;
    }
    g_screen.CrosshairCursor = LoadCursorA(g_app.instance, MAKEINTRESOURCEA(IDC_CROSSHAIR));
    g_screen.arrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    return ok ? 1 : 0;
}

// A memory DC gets its first bitmap back before it goes, so that no frame
// stays selected into a deleted context.
static void DeleteSurface(HDC& surface, HBITMAP& first)
{
    if (!surface) return;
    if (first) SelectObject(surface, first);
    DeleteDC(surface);
    surface = nullptr;
    first = nullptr;
}

void FreeFrameBanks()
{
    DeleteSurface(g_screen.FrameSurface, g_screen.frameSurfaceFirst);
    DeleteSurface(g_screen.MaskSurface, g_screen.maskSurfaceFirst);
    for (const BankSource& s : kBankSources) {
        FrameBank& bank = g_screen.*s.bank;
        for (int i = 0; i < FRAMES_PER_BANK; ++i) {
            if (bank.frames[i]) DeleteObject(bank.frames[i]);
            if (bank.masks[i]) DeleteObject(bank.masks[i]);
            bank.frames[i] = bank.masks[i] = nullptr;
        }
    }
    g_screen.CrosshairCursor = nullptr;  // shared resource cursor: not destroyed
}

void SelectFrame(const FrameBank& bank, int index)
{
    HGDIOBJ old = SelectObject(g_screen.FrameSurface, bank.frames[index]);
    if (!g_screen.frameSurfaceFirst) g_screen.frameSurfaceFirst = static_cast<HBITMAP>(old);
    old = SelectObject(g_screen.MaskSurface, bank.masks[index]);
    if (!g_screen.maskSurfaceFirst) g_screen.maskSurfaceFirst = static_cast<HBITMAP>(old);
}

// Gives a memory DC its first bitmap back, deletes the one it made, then the DC.
static void DeleteMemorySurface(HDC& dc, HBITMAP& bitmap, HBITMAP& previous)
{
    if (!dc) return;
    if (previous) {
        SelectObject(dc, previous);
        previous = nullptr;
    }
    if (bitmap) DeleteObject(bitmap);
    bitmap = nullptr;
    DeleteDC(dc);
    dc = nullptr;
}

static void ReleaseScreenState()
{
    DeleteMemorySurface(g_screen.ComposeSurface, g_screen.composeBitmap, g_screen.composePrevious);
    DeleteMemorySurface(g_screen.ScreenSnapshot, g_screen.snapshotBitmap, g_screen.snapshotPrevious);
    // A bitmap made but never selected (its DC could not be created) goes too.
    if (g_screen.composeBitmap) DeleteObject(g_screen.composeBitmap);
    if (g_screen.snapshotBitmap) DeleteObject(g_screen.snapshotBitmap);
    g_screen.composeBitmap = g_screen.snapshotBitmap = nullptr;
    if (g_screen.DisplayContext) DeleteDC(g_screen.DisplayContext);
    g_screen.DisplayContext = nullptr;
}

int FreezeScreen()
{
    ReleaseScreenState();  // the start-up snapshot, when the first chicken comes
    // Only a flight's freeze takes the focus away and gives it back. The one
    // at start-up runs before the windows exist and remembers nobody, so the
    // quit cannot pull forward a window the user left long ago.
    g_screen.PreviousForeground = g_app.background ? GetForegroundWindow() : nullptr;
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    g_screen.DisplayContext = display;
    g_screen.ScreenSnapshot = CreateCompatibleDC(display);
    g_screen.screenWidth = GetDeviceCaps(display, HORZRES);
    g_screen.screenHeight = GetDeviceCaps(display, VERTRES);

    g_screen.composeBitmap = CreateCompatibleBitmap(display, kFallWidth, kFallHeight);
    g_screen.ComposeSurface = CreateCompatibleDC(display);
    if (g_screen.ComposeSurface && g_screen.composeBitmap)
        g_screen.composePrevious = static_cast<HBITMAP>(SelectObject(g_screen.ComposeSurface, g_screen.composeBitmap));

    int w = g_screen.screenWidth, h = g_screen.screenHeight;
    g_screen.snapshotBitmap = CreateCompatibleBitmap(display, w, h);
    if (g_screen.ScreenSnapshot && g_screen.snapshotBitmap)
        g_screen.snapshotPrevious = static_cast<HBITMAP>(SelectObject(g_screen.ScreenSnapshot, g_screen.snapshotBitmap));
    // The background window is still parked, so the program is not in the picture.
    BitBlt(g_screen.ScreenSnapshot, 0, 0, w, h, display, 0, 0, SRCCOPY);
    MoveWindow(g_app.background, 0, 0, w, h, TRUE);
    // Painted now, the sprite too where it shows: the launch sound that
    // follows holds the thread, and a composited desktop shows a window that
    // has not painted yet as black or stale until the loop runs again.
    UpdateWindow(g_app.background);
    return 1;
}

BOOL ReleaseScreen()
{
    MoveWindow(g_app.sprite, -90, -60, 90, 60, FALSE);
    MoveWindow(g_app.background, -100, -100, 1, 1, TRUE);
    ReleaseScreenState();
    // Given back once: a later release (the quit, a new speed between
    // flights) leaves the foreground with whoever has it by then.
    HWND previous = g_screen.PreviousForeground;
    g_screen.PreviousForeground = nullptr;
    return previous ? SetForegroundWindow(previous) : FALSE;
}

void RefreshSnapshotStrip(int x, int y, int width, int height)
{
    BitBlt(g_screen.ScreenSnapshot, x, y, width, height, g_screen.DisplayContext, x, y, SRCCOPY);
}

LRESULT PaintSprite(HWND sprite)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(sprite, &ps);
    if (g_screen.ComposeSurface && g_screen.ScreenSnapshot) {
        RECT r;
        GetWindowRect(sprite, &r);
        int w = g_flight.spriteWidth, h = g_flight.spriteHeight;
        HDC compose = g_screen.ComposeSurface;
        // The background covers the screen from (0, 0): a screen position
        // is a snapshot position.
        BitBlt(compose, 0, 0, w, h, g_screen.ScreenSnapshot, r.left, r.top, SRCCOPY);
        if (g_flight.step != 0) {  // before the first launch no frame was ever selected
            // XOR, AND with the mask, XOR: where the mask is white the two
            // XORs cancel and the snapshot stays; where black, the frame shows.
            BitBlt(compose, 0, 0, w, h, g_screen.FrameSurface, 0, 0, SRCINVERT);
            BitBlt(compose, 0, 0, w, h, g_screen.MaskSurface, 0, 0, SRCAND);
            BitBlt(compose, 0, 0, w, h, g_screen.FrameSurface, 0, 0, SRCINVERT);
        }
        BitBlt(dc, 0, 0, w, h, compose, 0, 0, SRCCOPY);  // one copy: never half a frame
    }
    EndPaint(sprite, &ps);
    return 0;
}

// Composited desktops (and Wine) show a window that never paints as black,
// so the frozen desktop is painted from the snapshot.
LRESULT PaintBackground(HWND background)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(background, &ps);
    if (g_screen.ScreenSnapshot) {
        const RECT& r = ps.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, g_screen.ScreenSnapshot, r.left, r.top,
               SRCCOPY);
    }
    EndPaint(background, &ps);
    return 0;
}

LRESULT CursorRule()
{
    SetCursor(g_flight.flying ? g_screen.CrosshairCursor : g_screen.arrowCursor);
    return 0;
}

LRESULT EraseRule()
{
    return 0;
}

UINT TaskIconMessage()
{
    return g_screen.taskIconMessage;
}

void Screen_Reset()
{
    ReleaseScreenState();
    FreeFrameBanks();
    g_screen = ScreenState{};
}
