#include "ui/commands.h"

#include <cstddef>

#include "app/app.h"
#include "flight/flight.h"
#include "res/localize.h"
#include "res/resource.h"
#include "shooting/holes.h"
#include "store/store.h"
#include "ui/options.h"
#include "ui/tray.h"

UiState g_ui = {true, false};

// The tray menu or the options dialog open for the scope: no chicken
// launches meanwhile, and no second menu or dialog opens.
class Busy {
public:
    Busy() { g_ui.BusyFlag = true; }
    ~Busy() { g_ui.BusyFlag = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};

int ToggleEnabled()
{
    g_ui.EnabledFlag = !g_ui.EnabledFlag;
    HICON icon = TrayPicture(g_ui.EnabledFlag);
    if (icon) SetTrayIcon(g_app.background, kTrayIconId, icon);
    return 1;
}

bool IsNtPlatform()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;  // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&info);
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void OnTrayCallback(WPARAM iconId, LPARAM mouseMessage)
{
    if (g_ui.BusyFlag || iconId != kTrayIconId) return;
    if (mouseMessage == WM_RBUTTONDOWN)
        ShowTrayMenu();
    else if (mouseMessage == WM_LBUTTONDBLCLK)
        PostMessageA(g_app.background, WM_COMMAND, CMD_INFO, 0);
}

// Item 308 reads "Disable" while chickens come and "Enable" while they don't.
static void SetToggleText(HMENU popup)
{
    char text[50];
    if (!LoadLocalizedString(g_ui.EnabledFlag ? IDS_DISABLE : IDS_ENABLE, text, sizeof text)) return;
    MENUITEMINFOA item = {};
    // The first layout (44 bytes on 32-bit Windows), known to every Windows.
    // Spelled as the offset of the first later field: a literal 44 is no
    // valid size for the 64-bit record, and the item kept its resource text.
    item.cbSize = offsetof(MENUITEMINFOA, hbmpItem);
    item.fMask = MIIM_TYPE;
    item.fType = MFT_STRING;
    item.dwTypeData = text;
    item.cch = lstrlenA(text);
    SetMenuItemInfoA(popup, CMD_TOGGLE_ENABLED, FALSE, &item);
}

void ShowTrayMenu()
{
    POINT at;
    if (!GetCursorPos(&at)) {
        // Undefined after a failure: open at the tray's corner instead,
        // the bottom right of the primary screen.
        at.x = GetSystemMetrics(SM_CXSCREEN) - 1;
        at.y = GetSystemMetrics(SM_CYSCREEN) - 1;
    }
    HMENU menu = LoadLocalizedMenu(IsNtPlatform() ? IDM_TRAY_NT : IDM_TRAY);
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    if (!popup) {
        DestroyMenu(menu);
        return;
    }
    {
        const Busy busy;
        // Without the foreground the menu would not close on a click elsewhere.
        SetForegroundWindow(g_app.background);
        SetMenuDefaultItem(popup, 0, TRUE);
        SetToggleText(popup);
        TrackPopupMenu(popup, TPM_BOTTOMALIGN, at.x, at.y, 0, g_app.background, nullptr);
        // The documented companion of the above: lets the menu open again at
        // the next click. The choice itself arrives later as a queued WM_COMMAND.
        PostMessageA(g_app.background, WM_NULL, 0, 0);
    }
    DestroyMenu(menu);
}

// A new speed takes effect at once: a flight in the air ends, uncounted, and
// the next chicken is drawn from it.
static void CmdInfo()
{
    if (g_ui.BusyFlag) return;
    uint32_t speed = g_settings.Speed;
    const Busy busy;
    ShowOptionsDialog();
    if (g_settings.Speed != speed) {
        EndFlight();
        ScheduleNextChicken();
    }
}

// The tooltip's mean goes back to 0 with the counters.
static void CmdResetStatistics()
{
    ResetStatistics();
    UpdateTrayTooltip();
}

LRESULT OnCommand(WPARAM command)
{
    switch (command) {
    case CMD_QUIT: PostQuitMessage(0); break;
    case CMD_INFO: CmdInfo(); break;
    case CMD_RESET_WINDOWS: RepairWindows(); break;  // on every platform, offered or not
    case CMD_RESET_STATISTICS: CmdResetStatistics(); break;
    case CMD_TOGGLE_ENABLED: ToggleEnabled(); break;
    default: break;
    }
    return 0;
}

static void ShowOptionsBusy()
{
    const Busy busy;
    ShowOptionsDialog();
}

// The flight ends first, its shots stored before a dialog that may stay open
// for long; the next chicken comes with the speed the dialog leaves.
static void OptionsDuringFlight()
{
    if (g_ui.BusyFlag) return;
    CloseFlight(kCut, ShowOptionsBusy);
}

LRESULT OnChar(WPARAM character)
{
    if (!g_flight.flying) return 0;
    WPARAM key = (character >= 'a' && character <= 'z') ? character - 'a' + 'A' : character;
    if (key == VK_ESCAPE || key == 'Q') {
        TakeWaitingShots();  // stored at the quit
        EndFlight();
        PostQuitMessage(0);
    } else if (key == 'O') {
        OptionsDuringFlight();
    }
    return 0;
}

void Ui_Reset()
{
    g_ui.EnabledFlag = true;
    g_ui.BusyFlag = false;
}
