#include "flight/art.h"

#include "app/app.h"
#include "flight/monitors.h"

ArtState g_art = {};

// First colour id, first mask id, in the order of Bank.
struct BankSource {
    int firstFrame, firstMask;
};
static const BankSource kBankSources[kBanks] = {
    {IDB_RIGHT_FRAME0, IDB_RIGHT_MASK0},
    {IDB_LEFT_FRAME0, IDB_LEFT_MASK0},
    {IDB_FALL_FRAME0, IDB_FALL_MASK0},
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
    for (const FrameBank& bank : g_art.banks)
        for (int i = 0; i < FRAMES_PER_BANK; ++i)
            if (!bank.frames[i] || !bank.masks[i]) return false;
    return true;
}

int LoadFrameBanks()
{
    for (int b = 0; b < kBanks; ++b) LoadBank(g_art.banks[b], kBankSources[b].firstFrame, kBankSources[b].firstMask);

    bool ok = BanksComplete();
    if (ok) {
        g_art.frameSurface.dc = CreateCompatibleDC(nullptr);
        if (g_art.frameSurface.dc) g_art.maskSurface.dc = CreateCompatibleDC(nullptr);
        ok = g_art.frameSurface.dc && g_art.maskSurface.dc;
    }
    g_art.crosshairCursor = LoadCursorA(g_app.instance, MAKEINTRESOURCEA(IDC_CROSSHAIR));
    g_art.arrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    return ok ? 1 : 0;
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
    Surface* const surfaces[] = {&g_art.frameSurface, &g_art.maskSurface};
    for (Surface* s : surfaces)
        if (s->dc && s->first) SelectObject(s->dc, s->first);
}

static void FreeScaledBanks()
{
    DeselectFrames();
    for (FrameBank& bank : g_art.scaled) FreeBank(bank);
    g_art.bankDpi = 0;
}

void FreeFrameBanks()
{
    FreeScaledBanks();
    DeleteSurface(g_art.frameSurface);
    DeleteSurface(g_art.maskSurface);
    for (FrameBank& bank : g_art.banks) FreeBank(bank);
    g_art.crosshairCursor = nullptr;  // shared resource cursor: not destroyed
}

// Scaled once per change of DPI, at a launch, never on a tick.
int ScaleFrameBanks(int dpi)
{
    if (dpi == g_art.bankDpi || (dpi == kBaseDpi && g_art.bankDpi == 0)) return 1;
    FreeScaledBanks();  // also takes the shown frame out of the frame surfaces, to be read from
    if (dpi == kBaseDpi) return 1;
    HDC screen = GetDC(nullptr);
    bool complete = screen != nullptr;
    for (int b = 0; complete && b < kBanks; ++b) {
        const FrameBank& loaded = g_art.banks[b];
        FrameBank& scaled = g_art.scaled[b];
        const bool falling = b == kFallBank;
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
    g_art.bankDpi = dpi;
    return 1;
}

const FrameBank* ShownBank(Bank bank)
{
    if (g_art.bankDpi == 0 || g_art.bankDpi == kBaseDpi) return &g_art.banks[bank];
    return &g_art.scaled[bank];
}

void SelectFrame(const FrameBank& bank, int index)
{
    SelectIntoSurface(g_art.frameSurface, bank.frames[index]);
    SelectIntoSurface(g_art.maskSurface, bank.masks[index]);
}

SpriteFrame SelectedFrame()
{
    return SpriteFrame{g_art.frameSurface.dc, g_art.maskSurface.dc};
}

void ShowPointer(bool crosshair)
{
    SetCursor(crosshair ? g_art.crosshairCursor : g_art.arrowCursor);
}

void Art_Reset()
{
    FreeFrameBanks();
    g_art = ArtState{};
}
