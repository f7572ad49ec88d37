#include "program.h"

#include "app/app.h"
#include "flight/art.h"
#include "flight/flight.h"
#include "flight/presence.h"
#include "flight/snapshot.h"
#include "res/localize.h"
#include "shooting/holes.h"
#include "store/store.h"
#include "ui/commands.h"
#include "ui/keys.h"
#include "ui/tray.h"

namespace test {

void ResetAllModules()
{
    RepairWindows();
    Snapshot_Reset();
    Art_Reset();
    Flight_Reset();
    Presence_Reset();
    Store_Reset();
    Language_Reset();
    Tray_Reset();
    Ui_Reset();
    Keys_Reset();
    App_Reset();
}

Program::Program(const std::vector<StoredValue>& stored, LCID locale, bool windows)
    : user_(locale ? new FakeUserLocale(locale) : nullptr), windows_(windows)
{
    WriteValues(stored);
    ResetAllModules();
    loaded_ = StartModules(GetModuleHandleA(nullptr)) == 1;
    if (windows) {
        CreateAppWindows();
        ShowAppWindows();
    }
}

bool Program::Loaded() const
{
    return loaded_ && (!user_ || user_->Installed()) && (!windows_ || g_app.background);
}

Program::~Program() { LeaveProgram(); }

void LeaveProgram()
{
    KillTimer(g_app.background, kLaunchTimer);
    KillTimer(g_app.background, kAnimationTimer);
    HWND background = g_app.background;
    ResetAllModules();
    if (IsWindow(background)) DestroyWindow(background);  // its WM_DESTROY posts a quit: drop it
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    }
}

}  // namespace test
