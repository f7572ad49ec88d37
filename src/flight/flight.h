// When a chicken starts, where and how fast it flies, when it is missed, how
// a hit chicken falls, and how the next one is scheduled.
#pragma once
#include <windows.h>

#include <cstdint>

struct FrameBank;

struct FlightState {
    int32_t flying;       // from LaunchChicken to EndFlight, the fall included
    int32_t hit;          // this flight's chicken was hit
    int32_t fallCounter;  // fall ticks still to show
    int32_t frameIndex;   // frame of `bank` shown last
    const FrameBank* bank;
    int32_t direction;    // +1 left to right, -1 right to left
    int32_t step;         // pixels per tick; 0 until the first launch
    int32_t spriteX, spriteY;
    int32_t spriteWidth, spriteHeight;
    uint32_t appearanceTick;  // GetTickCount when the chicken entered; 0: not yet
    UINT_PTR launchTimerId, animationTimerId;
};
extern FlightState g_flight;

enum : UINT_PTR { kAnimationTimer = 1, kLaunchTimer = 2 };
enum { kTickMilliseconds = 50, kFallTicks = 19 };

int NextRandom();
UINT_PTR ScheduleNextChicken();
void LaunchChicken();
void AnimationTick();
void MoveStep();
void EndFlight();
// WM_TIMER of the background window.
LRESULT OnFlightTimer(WPARAM timer);

void Flight_Reset();
