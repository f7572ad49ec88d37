#include "flight/flight.h"

#include "app/app.h"
#include "flight/fullscreen.h"
#include "flight/monitors.h"
#include "flight/presence.h"
#include "flight/snapshot.h"
#include "res/resource.h"
#include "res/sound.h"
#include "store/store.h"
#include "ui/commands.h"
#include "ui/keys.h"
#include "ui/tray.h"

FlightState g_flight;

// The program's own generator: one fixed sequence in every run.
struct RandomState {
    uint32_t state;
};
static RandomState g_random = {1};

// A flight's row leaves this much room above and below the chicken.
static const int kRowTop = 20, kRowBottom = 10;

int32_t FlightPixels(int32_t basePixels)
{
    return MulDiv(basePixels, g_flight.dpi, kBaseDpi);
}

int FreezeForFlight()
{
    return FreezeScreen(FlightPixels(kFallWidth), FlightPixels(kFallHeight));
}

int NextRandom()
{
    g_random.state = g_random.state * 214013u + 2531011u;
    return static_cast<int>((g_random.state >> 16) & 0x7FFF);
}

UINT_PTR ScheduleNextChicken()
{
    uint32_t r = static_cast<uint32_t>(NextRandom());
    uint32_t speed = g_settings.Speed;
    uint32_t seconds = r % speed + speed / 2;  // Speed is never 0
    g_flight.appearanceTick = 0;
    g_flight.hit = 0;
    // Replaces an armed timer; the product wraps like the 32-bit original.
    g_flight.launchTimerId = SetTimer(g_app.background, kLaunchTimer, seconds * 1000u, nullptr);
    return g_flight.launchTimerId;
}

// The lowest row still leaves 11 pixels below the chicken (at 96 dpi). A
// monitor with no such row has the chicken fly along its top instead of
// dividing by zero.
static int32_t DrawRow()
{
    int r = NextRandom();
    const int top = FlightPixels(kRowTop);
    int span = (g_flight.band.bottom - g_flight.band.top) - (top + FlightPixels(kFlyHeight) + FlightPixels(kRowBottom));
    return g_flight.band.top + (span >= 1 ? r % span : 0) + top;
}

// The chicken flies where the user looks: across the monitor under the
// pointer, as that monitor is now (a resolution may have changed since the
// last flight), at its size there.
static void TakeMonitorUnderPointer()
{
    const Monitor monitor = MonitorUnderPointer();
    g_flight.band = monitor.rect;
    g_flight.dpi = monitor.dpi;
    // Without art at that size the chicken flies at the size it is drawn.
    if (!ScaleFrameBanks(g_flight.dpi)) g_flight.dpi = kBaseDpi;
}

void LaunchChicken()
{
    WatchSession(g_app.background);  // again, should start-up have come before the terminal service
    // The timer fires again: the chicken comes at the first firing after the
    // menu, the dialog or a full-screen program has gone, or once somebody
    // is there to see it.
    if (g_flight.flying || g_ui.BusyFlag || !g_ui.EnabledFlag || FullScreenProgramInFront() || NobodyToSeeAChicken())
        return;
    g_flight.flying = 1;
    g_flight.frameIndex = 0;
    TakeMonitorUnderPointer();
    // Draws in this order.
    g_flight.spriteY = DrawRow();
    g_flight.direction = (NextRandom() & 1) ? -1 : 1;
    g_flight.step = FlightPixels((NextRandom() & 3) + 5);
    const int32_t width = FlightPixels(kFlyWidth);
    if (g_flight.direction > 0) {
        g_flight.spriteX = g_flight.band.left - width;
        g_flight.bank = ShownBank(kRightBank);
    } else {
        g_flight.spriteX = g_flight.band.right + width;
        g_flight.bank = ShownBank(kLeftBank);
    }
    if (!FreezeForFlight()) {
        // A screen that cannot be read (the secure desktop), or no memory
        // for its snapshot: given up before anything shows, its draws
        // spent, the timer left to fire again.
        g_flight.flying = 0;
        return;
    }
    KillTimer(g_app.background, g_flight.launchTimerId);
    ShowPointer(true);  // at once, before the pointer moves
    PlaySoundResource(IDW_LAUNCH, 0);     // the frozen screen waits for the cackle
    // A message sent to this thread while the sound played (a lock, a new
    // display) may have ended the flight already: no keys or ticks for it.
    if (!g_flight.flying) return;
    HookFlightKeys();  // the keys are the flight's once the cackle is over
    g_flight.animationTimerId = SetTimer(g_app.background, kAnimationTimer, kTickMilliseconds, nullptr);
}

// The frame selected last; none before the first launch, which has never
// selected one.
static SpriteFrame ShownFrame()
{
    return g_flight.step != 0 ? SelectedFrame() : SpriteFrame{};
}

// Moves the sprite window and draws it before the tick ends.
static void ShowSprite(int width, int height)
{
    g_flight.spriteWidth = width;
    g_flight.spriteHeight = height;
    MoveSprite(g_flight.spriteX, g_flight.spriteY, width, height);
    DrawSprite(g_app.sprite, width, height, ShownFrame());
}

static void FallTick()
{
    if (g_flight.fallCounter <= 0) {
        CloseFlight(kLanded);  // the hit, counted and shown when it was made
        return;
    }
    SelectFrame(*ShownBank(kFallBank), kFallTicks - g_flight.fallCounter);
    g_flight.spriteY += FlightPixels(kFallStep);
    ShowSprite(FlightPixels(kFallWidth), FlightPixels(kFallHeight));
    g_flight.fallCounter -= 1;
}

static void FlyTick()
{
    MoveStep();
    // A flight that just ended leaves the sprite parked off every monitor:
    // moved to its exit point it would show during the next launch's sound,
    // and a click on it would count a hit that never had an appearance.
    if (!g_flight.flying) return;
    g_flight.frameIndex += 1;
    if (g_flight.frameIndex >= FRAMES_PER_BANK) g_flight.frameIndex = 0;
    if (g_flight.bank) SelectFrame(*g_flight.bank, g_flight.frameIndex);
    ShowSprite(FlightPixels(kFlyWidth), FlightPixels(kFlyHeight));
}

void AnimationTick()
{
    if (g_flight.hit)
        FallTick();
    else
        FlyTick();
}

// The chicken crosses its monitor's band: it appears at the near edge and is
// missed a window's width beyond the far one.
void MoveStep()
{
    const RECT& band = g_flight.band;
    const int width = FlightPixels(kFlyWidth);
    const int h = g_flight.spriteHeight;
    if (g_flight.direction > 0) {
        int oldRight = g_flight.spriteX + width;
        g_flight.spriteX += g_flight.step;
        if (g_flight.spriteX + width > band.left && g_flight.appearanceTick == 0) g_flight.appearanceTick = GetTickCount();
        if (g_flight.spriteX > band.right + width) {
            CloseFlight(kEscaped);
            return;
        }
        // The band the window is about to cover, fresh from the live screen.
        if (g_flight.appearanceTick != 0) RefreshSnapshotStrip(oldRight, g_flight.spriteY, g_flight.step, h);
    } else {
        g_flight.spriteX -= g_flight.step;
        if (g_flight.spriteX < band.right && g_flight.appearanceTick == 0) g_flight.appearanceTick = GetTickCount();
        if (g_flight.spriteX < band.left - 2 * width) {
            CloseFlight(kEscaped);
            return;
        }
        if (g_flight.appearanceTick != 0) RefreshSnapshotStrip(g_flight.spriteX, g_flight.spriteY, g_flight.step, h);
    }
}

void StartFall()
{
    g_flight.hit = 1;
    g_flight.fallCounter = kFallTicks;
}

void EndFlight()
{
    g_flight.flying = 0;
    UnhookFlightKeys();
    KillTimer(g_app.background, g_flight.animationTimerId);
    ReleaseScreen();
}

void TakeWaitingShots()
{
    // Presses only, not the sent messages PeekMessage would otherwise
    // dispatch first: another display change in here would end the flight
    // under its caller.
    MSG msg;
    while (g_flight.flying && !g_flight.hit &&
           PeekMessageA(&msg, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE | PM_QS_INPUT)) {
        if (msg.hwnd != g_app.background && msg.hwnd != g_app.sprite) break;
        if (!PeekMessageA(&msg, msg.hwnd, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE | PM_QS_INPUT)) break;
        DispatchMessageA(&msg);
    }
}

void CloseFlight(FlightEnd how, void (*meanwhile)())
{
    if (how == kCut) TakeWaitingShots();
    // A flight the shots let another message end is over already.
    if (g_flight.flying) {
        if (how == kEscaped) AddMissedChicken();
        EndFlight();
        if (how == kEscaped) UpdateTrayTooltip();
        SaveStatistics();
    }
    if (meanwhile) meanwhile();
    ScheduleNextChicken();
}

// Locked or its console taken away, the session shows this flight to nobody:
// it ends at once, no chicken counted as missed.
LRESULT OnSessionChange(WPARAM event)
{
    if (!g_flight.flying) return 0;
    if (event != WTS_SESSION_LOCK && event != WTS_CONSOLE_DISCONNECT && event != WTS_REMOTE_DISCONNECT) return 0;
    CloseFlight(kCut);
    return 0;
}

// A new resolution, a monitor added or taken away, a Remote Desktop window
// resized: the frozen picture is of a screen that no longer exists, and the
// chicken's row and the cover may lie off the new one. Between flights
// every launch reads the display anew, but the parked cover may now lie on
// a monitor added left of or above the old ones, where it would take
// clicks: it parks again. The system has its new layout before it sends
// this.
LRESULT OnDisplayChange()
{
    if (g_flight.flying)
        CloseFlight(kCut);
    else
        ParkWindows();
    return 0;
}

LRESULT OnFlightTimer(WPARAM timer)
{
    if (timer == kLaunchTimer)
        LaunchChicken();
    else if (timer == kAnimationTimer)
        AnimationTick();
    return 0;
}

LRESULT OnSpritePaint(HWND sprite)
{
    return PaintSprite(sprite, g_flight.spriteWidth, g_flight.spriteHeight, ShownFrame());
}

LRESULT OnSetCursor()
{
    ShowPointer(g_flight.flying != 0);
    return 0;
}

void Flight_Reset()
{
    g_flight = FlightState{};
    g_random.state = 1;
}
