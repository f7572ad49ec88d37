// When a chicken starts, where and how fast it flies, when it is missed, how
// a hit chicken falls, and how the next one is scheduled.
#pragma once
#include <windows.h>

#include <cstdint>

struct FrameBank;

// The sprite window's sizes: a flying chicken, and a falling one.
enum { kFlyWidth = 90, kFlyHeight = 60, kFallWidth = 100, kFallHeight = 90 };

struct FlightState {
    int32_t flying = 0;       // from LaunchChicken to EndFlight, the fall included
    int32_t hit = 0;          // this flight's chicken was hit
    int32_t fallCounter = 0;  // fall ticks still to show
    int32_t frameIndex = 0;   // frame of `bank` shown last
    const FrameBank* bank = nullptr;
    int32_t direction = 0;    // +1 left to right, -1 right to left
    int32_t step = 0;         // pixels per tick; 0 until the first launch
    int32_t spriteX = 0, spriteY = 0;
    int32_t spriteWidth = kFlyWidth, spriteHeight = kFlyHeight;
    uint32_t appearanceTick = 0;  // GetTickCount when the chicken entered; 0: not yet
    UINT_PTR launchTimerId = 0, animationTimerId = 0;
};
extern FlightState g_flight;

enum : UINT_PTR { kAnimationTimer = 1, kLaunchTimer = 2 };
enum { kTickMilliseconds = 50, kFallTicks = 19 };

int NextRandom();
UINT_PTR ScheduleNextChicken();
void LaunchChicken();
void AnimationTick();
void MoveStep();
// A hit: the next tick shows the first frame of the fall.
void StartFall();
void EndFlight();
// WM_WTSSESSION_CHANGE of the background window.
LRESULT OnSessionChange(WPARAM event);
// WM_TIMER of the background window.
LRESULT OnFlightTimer(WPARAM timer);

void Flight_Reset();
