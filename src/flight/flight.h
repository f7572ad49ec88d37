// When a chicken starts, where and how fast it flies, when it is missed, how
// a hit chicken falls, and how the next one is scheduled.
#pragma once
#include <windows.h>

#include <cstdint>

#include "flight/art.h"

// A falling chicken's drop per tick, at 96 dpi.
enum { kFallStep = 4 };

struct FlightState {
    int32_t flying = 0;       // from LaunchChicken to EndFlight, the fall included
    int32_t hit = 0;          // this flight's chicken was hit
    int32_t fallCounter = 0;  // fall ticks still to show
    int32_t frameIndex = 0;   // frame of `bank` shown last
    const FrameBank* bank = nullptr;
    int32_t direction = 0;    // +1 left to right, -1 right to left
    int32_t step = 0;         // pixels per tick; 0 until the first launch
    int32_t spriteX = 0, spriteY = 0;  // screen coordinates
    int32_t spriteWidth = kFlyWidth, spriteHeight = kFlyHeight;
    RECT band = {};         // the flight's monitor, as it was at the launch
    int32_t dpi = 96;       // that monitor's DPI: every size of the flight scales by it
    uint32_t appearanceTick = 0;  // GetTickCount when the chicken entered; 0: not yet
    UINT_PTR launchTimerId = 0, animationTimerId = 0;
};
extern FlightState g_flight;

enum : UINT_PTR { kAnimationTimer = 1, kLaunchTimer = 2 };
enum { kTickMilliseconds = 50, kFallTicks = 19 };

// A size of the art at 96 dpi, at the DPI of this flight's monitor.
int32_t FlightPixels(int32_t basePixels);

// The screen frozen for this flight's DPI, with room to compose its
// falling chicken, the larger frame.
int FreezeForFlight();

int NextRandom();
UINT_PTR ScheduleNextChicken();
void LaunchChicken();
void AnimationTick();
void MoveStep();
// A hit: the next tick shows the first frame of the fall.
void StartFall();
void EndFlight();
// The presses the user made while the cover stood that still wait in the
// queue, taken as shots now: a display change is sent and a lock or a key
// posted, and either comes before the clicks queued ahead of it.
void TakeWaitingShots();
// How a flight ended for good: the chicken landed after a hit, escaped
// past the far edge, or the flight was cut short (a lock, a new display,
// the options key) with no chicken counted.
enum FlightEnd { kLanded, kEscaped, kCut };
// The flight over for good: ended, an escaped chicken counted and shown,
// the counts stored, and the next chicken scheduled. A crash, a kill or a
// power cut loses at most the flight in progress. `meanwhile`, where given,
// runs once the counts are stored and before the next chicken is drawn:
// the options dialog, whose new speed that chicken takes. A cut takes the
// presses still waiting for the cover first.
void CloseFlight(FlightEnd how, void (*meanwhile)() = nullptr);
// WM_WTSSESSION_CHANGE of the background window.
LRESULT OnSessionChange(WPARAM event);
// WM_DISPLAYCHANGE of the background window.
LRESULT OnDisplayChange();
// WM_TIMER of the background window.
LRESULT OnFlightTimer(WPARAM timer);
// WM_PAINT of the sprite window.
LRESULT OnSpritePaint(HWND sprite);
// WM_SETCURSOR of both windows: the crosshair during a flight, the fall
// included, else the arrow.
LRESULT OnSetCursor();

void Flight_Reset();
