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
    g_statistics.CountHits += 1;
    uint32_t now = GetTickCount();
    // A tick count that wrapped since the appearance adds nothing.
    if (now > g_flight.appearanceTick) g_statistics.TimeSum += now - g_flight.appearanceTick;
    UpdateTrayTooltip();  // after counting: the mean includes this hit
    PlaySoundResource(IDW_HIT, 1);
    g_flight.hit = 1;  // last: the next tick starts the fall
    g_flight.fallCounter = kFallTicks;
}

static void CountMissedShot(int x, int y)
{
    g_statistics.CountMissedShots += 1;
    PlaySoundResource(IDW_SHOT, 1);  // before the enumeration, so it is heard at once
    ShootHole(x, y);
}

// The hit box is the flying window less its left column and top row.
LRESULT OnSpriteClick(LPARAM position)
{
    RECT r;
    GetWindowRect(g_app.sprite, &r);
    int x = GET_X_LPARAM(position), y = GET_Y_LPARAM(position);
    if (g_flight.hit) return 0;  // already falling: nothing counts
    if (x > 0 && x < 90 && y > 0 && y < 60)
        CountHit();
    else
        CountMissedShot(r.left + x, r.top + y);
    return 0;
}

// During a flight the background covers the screen from (0, 0): its client
// coordinates are screen coordinates.
LRESULT OnBackgroundClick(LPARAM position)
{
    if (g_flight.hit) return 0;
    CountMissedShot(GET_X_LPARAM(position), GET_Y_LPARAM(position));
    return 0;
}
