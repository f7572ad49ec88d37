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
    // A tick count that wrapped since the appearance adds nothing.
    AddHit(now > g_flight.appearanceTick ? now - g_flight.appearanceTick : 0);
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
    if (g_flight.hit) return 0;  // already falling: nothing counts
    if (placed && x > 0 && x < kFlyWidth && y > 0 && y < kFlyHeight) {
        CountHit();
        return 0;
    }
    // Without the window's place the shot cannot be judged: a miss, heard
    // but holing nothing, since its screen point is unknown.
    CountMissedShot();
    if (placed) ShootHole(r.left + x, r.top + y);
    return 0;
}

// During a flight the background covers the screen from (0, 0): its client
// coordinates are screen coordinates.
LRESULT OnBackgroundClick(LPARAM position)
{
    if (g_flight.hit) return 0;
    CountMissedShot();
    ShootHole(GET_X_LPARAM(position), GET_Y_LPARAM(position));
    return 0;
}
