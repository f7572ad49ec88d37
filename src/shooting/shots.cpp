#include "shooting/shots.h"

#include <windowsx.h>

#include "app/app.h"
#include "flight/flight.h"
#include "res/resource.h"
#include "res/sound.h"
#include "shooting/holes.h"
#include "store/store.h"
#include "ui/tray.h"

static void CountHit()
{
    uint32_t now = GetTickCount();
    // A tick count that wrapped since the appearance adds nothing, and so
    // does a chicken hit before it entered its monitor (seen on the
    // neighbouring one): there is no appearance to time it from.
    const uint32_t appeared = g_flight.appearanceTick;
    AddHit(appeared != 0 && now > appeared ? now - appeared : 0);
    UpdateTrayTooltip();  // after counting: the mean includes this hit
    PlaySoundResource(IDW_HIT, 1);
    StartFall();  // last: the next tick starts the fall
}

// Sound first, so that it is heard at once; the caller punches the hole.
static void CountMissedShot()
{
    AddMissedShot();
    PlaySoundResource(IDW_SHOT, 1);
}

// The hit box is the flying window less its left column and top row.
LRESULT OnSpriteClick(LPARAM position)
{
    RECT r;
    const bool placed = GetWindowRect(g_app.sprite, &r) != FALSE;
    int x = GET_X_LPARAM(position), y = GET_Y_LPARAM(position);
    if (!g_flight.flying || g_flight.hit) return 0;  // no flight, or already falling: nothing counts
    if (placed && x > 0 && x < FlightPixels(kFlyWidth) && y > 0 && y < FlightPixels(kFlyHeight)) {
        CountHit();
        return 0;
    }
    // Without the window's place the shot cannot be judged: a miss, heard
    // but holing nothing, since its screen point is unknown.
    CountMissedShot();
    if (placed) ShootHole(r.left + x, r.top + y);
    return 0;
}

// During a flight the background covers the virtual screen, whose corner
// lies left of or above the primary monitor's when another monitor does.
// Between flights it lies parked, and a press on it is no shot.
LRESULT OnBackgroundClick(LPARAM position)
{
    if (!g_flight.flying || g_flight.hit) return 0;
    CountMissedShot();
    POINT shot = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    ClientToScreen(g_app.background, &shot);
    ShootHole(shot.x, shot.y);
    return 0;
}
