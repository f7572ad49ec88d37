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
        bank.frames[i].Reset(LoadBitmapA(g_app.instance, MAKEINTRESOURCEA(firstFrame + i)));
    }
    for (int i = 0; i < FRAMES_PER_BANK; ++i) {
        bank.masks[i].Reset(LoadBitmapA(g_app.instance, MAKEINTRESOURCEA(firstMask + i)));
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
        g_art.frameSurface.Reset(CreateCompatibleDC(nullptr));
        if (g_art.frameSurface) g_art.maskSurface.Reset(CreateCompatibleDC(nullptr));
        ok = g_art.frameSurface && g_art.maskSurface;
    }
    g_art.crosshairCursor = LoadCursorA(g_app.instance, MAKEINTRESOURCEA(IDC_CROSSHAIR));
    g_art.arrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    return ok ? 1 : 0;
}

// One bitmap at another size, nearest neighbour: a frame and its mask, each
// scaled alone, still agree pixel for pixel, so the XOR, AND, XOR of a paint
// stays exact. Masks stay monochrome.
static Bitmap ScaledCopy(HDC screen, HBITMAP source, int width, int height, bool mask)
{
    BITMAP art = {};
    if (!GetObjectA(source, sizeof art, &art)) return Bitmap();
    Bitmap copy(mask ? CreateBitmap(width, height, 1, 1, nullptr) : CreateCompatibleBitmap(screen, width, height));
    MemoryDc from(CreateCompatibleDC(screen)), to(CreateCompatibleDC(screen));
    if (!copy || !from || !to) return Bitmap();
    Selection reading(from.get(), source), writing(to.get(), copy.get());
    SetStretchBltMode(to.get(), COLORONCOLOR);
    if (!StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, art.bmWidth, art.bmHeight, SRCCOPY))
        return Bitmap();
    return copy;
}

static void FreeBank(FrameBank& bank)
{
    for (int i = 0; i < FRAMES_PER_BANK; ++i) {
        bank.frames[i].Reset();
        bank.masks[i].Reset();
    }
}

// The frame surfaces give back whatever frame they show before it may go.
static void FreeScaledBanks()
{
    g_art.frameSurface.Deselect();
    g_art.maskSurface.Deselect();
    for (FrameBank& bank : g_art.scaled) FreeBank(bank);
    g_art.bankDpi = 0;
}

void FreeFrameBanks()
{
    FreeScaledBanks();
    g_art.frameSurface.Reset();
    g_art.maskSurface.Reset();
    for (FrameBank& bank : g_art.banks) FreeBank(bank);
    g_art.crosshairCursor = nullptr;  // shared resource cursor: not destroyed
}

// Scaled once per change of DPI, at a launch, never on a tick.
int ScaleFrameBanks(int dpi)
{
    if (dpi == g_art.bankDpi || (dpi == kBaseDpi && g_art.bankDpi == 0)) return 1;
    FreeScaledBanks();  // also takes the shown frame out of the frame surfaces, to be read from
    if (dpi == kBaseDpi) return 1;
    ScreenDc screen;
    bool complete = static_cast<bool>(screen);
    for (int b = 0; complete && b < kBanks; ++b) {
        const FrameBank& loaded = g_art.banks[b];
        FrameBank& scaled = g_art.scaled[b];
        const bool falling = b == kFallBank;
        const int w = MulDiv(falling ? kFallWidth : kFlyWidth, dpi, kBaseDpi);
        const int h = MulDiv(falling ? kFallHeight : kFlyHeight, dpi, kBaseDpi);
        for (int i = 0; complete && i < FRAMES_PER_BANK; ++i) {
            scaled.frames[i] = ScaledCopy(screen.get(), loaded.frames[i].get(), w, h, false);
            scaled.masks[i] = ScaledCopy(screen.get(), loaded.masks[i].get(), w, h, true);
            complete = scaled.frames[i] && scaled.masks[i];
        }
    }
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
    g_art.frameSurface.Select(bank.frames[index].get());
    g_art.maskSurface.Select(bank.masks[index].get());
}

SpriteFrame SelectedFrame()
{
    return SpriteFrame{g_art.frameSurface.get(), g_art.maskSurface.get()};
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
