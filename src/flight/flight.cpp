#include "flight/flight.h"

#include "app/app.h"
#include "flight/fullscreen.h"
#include "flight/presence.h"
#include "flight/screen.h"
#include "res/resource.h"
#include "res/sound.h"
#include "store/store.h"
#include "ui/commands.h"
#include "ui/tray.h"

FlightState g_flight;

// The program's own generator: one fixed sequence in every run.
struct RandomState {
    uint32_t state;
};
static RandomState g_random = {1};

// A flight's row leaves this much room above and below the chicken.
static const int kRowTop = 20, kRowBottom = 10;

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

// The lowest row still leaves 11 pixels below the chicken. A screen with no
// such row has the chicken fly along the top instead of dividing by zero.
static int32_t DrawRow(int screenHeight)
{
    int r = NextRandom();
    int span = screenHeight - (kRowTop + kFlyHeight + kRowBottom);
    return (span >= 1 ? r % span : 0) + kRowTop;
}

void LaunchChicken()
{
    // The timer fires again: the chicken comes at the first firing after the
    // menu, the dialog or a full-screen program has gone, or once somebody
    // is there to see it.
    if (g_flight.flying || g_ui.BusyFlag || !g_ui.EnabledFlag || FullScreenProgramInFront() || NobodyToSeeAChicken())
        return;
    g_flight.flying = 1;
    g_flight.frameIndex = 0;
    // Row and start use the size of the previous freeze; draws in this order.
    g_flight.spriteY = DrawRow(g_screen.screenHeight);
    g_flight.direction = (NextRandom() & 1) ? -1 : 1;
    g_flight.step = (NextRandom() & 3) + 5;
    if (g_flight.direction > 0) {
        g_flight.spriteX = -kFlyWidth;
        g_flight.bank = &g_screen.RightBank;
    } else {
        g_flight.spriteX = g_screen.screenWidth + kFlyWidth;
        g_flight.bank = &g_screen.LeftBank;
    }
    if (!FreezeScreen()) {
        // A screen that cannot be read (the secure desktop): given up before
        // anything shows, its draws spent, the timer left to fire again.
        g_flight.flying = 0;
        return;
    }
    KillTimer(g_app.background, g_flight.launchTimerId);
    SetCursor(g_screen.CrosshairCursor);  // at once, before the pointer moves
    PlaySoundResource(IDW_LAUNCH, 0);     // the frozen screen waits for the cackle
    g_flight.animationTimerId = SetTimer(g_app.background, kAnimationTimer, kTickMilliseconds, nullptr);
}

// Moves the sprite window and draws it before the tick ends.
static void ShowSprite(int width, int height)
{
    g_flight.spriteWidth = width;
    g_flight.spriteHeight = height;
    MoveSprite(g_flight.spriteX, g_flight.spriteY, width, height);
    DrawSprite(g_app.sprite);
}

static void FallTick()
{
    if (g_flight.fallCounter <= 0) {
        EndFlight();
        SaveStatistics();  // the hit, counted and shown when it landed
        ScheduleNextChicken();
        return;
    }
    SelectFrame(g_screen.FallBank, kFallTicks - g_flight.fallCounter);
    g_flight.spriteY += 4;
    ShowSprite(kFallWidth, kFallHeight);
    g_flight.fallCounter -= 1;
}

static void FlyTick()
{
    MoveStep();  // may end the flight; the parked window is still moved and painted
    g_flight.frameIndex += 1;
    if (g_flight.frameIndex >= FRAMES_PER_BANK) g_flight.frameIndex = 0;
    if (g_flight.bank) SelectFrame(*g_flight.bank, g_flight.frameIndex);
    ShowSprite(kFlyWidth, kFlyHeight);
}

void AnimationTick()
{
    if (g_flight.hit)
        FallTick();
    else
        FlyTick();
}

// A flight's counts reach the registry when it ends, not only at the quit:
// a crash, a kill or a power cut loses at most the flight in progress.
static void MissedChicken()
{
    AddMissedChicken();
    EndFlight();
    UpdateTrayTooltip();
    SaveStatistics();
    ScheduleNextChicken();
}

void MoveStep()
{
    const int w = g_screen.screenWidth;
    const int h = g_flight.spriteHeight;
    if (g_flight.direction > 0) {
        int oldRight = g_flight.spriteX + kFlyWidth;
        g_flight.spriteX += g_flight.step;
        if (g_flight.spriteX + kFlyWidth > 0 && g_flight.appearanceTick == 0) g_flight.appearanceTick = GetTickCount();
        if (g_flight.spriteX > w + kFlyWidth) {
            MissedChicken();
            return;
        }
        // The band the window is about to cover, fresh from the live screen.
        if (g_flight.appearanceTick != 0) RefreshSnapshotStrip(oldRight, g_flight.spriteY, g_flight.step, h);
    } else {
        g_flight.spriteX -= g_flight.step;
        if (g_flight.spriteX < w && g_flight.appearanceTick == 0) g_flight.appearanceTick = GetTickCount();
        if (g_flight.spriteX < -2 * kFlyWidth) {
            MissedChicken();
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
    KillTimer(g_app.background, g_flight.animationTimerId);
    ReleaseScreen();
}

// Locked or its console taken away, the session shows this flight to
// nobody: it ends at once, no chicken counted as missed, its shots stored.
LRESULT OnSessionChange(WPARAM event)
{
    if (!g_flight.flying) return 0;
    if (event != WTS_SESSION_LOCK && event != WTS_CONSOLE_DISCONNECT && event != WTS_REMOTE_DISCONNECT) return 0;
    EndFlight();
    SaveStatistics();
    ScheduleNextChicken();
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

void Flight_Reset()
{
    g_flight = FlightState{};
    g_random.state = 1;
}
