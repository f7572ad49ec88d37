// The one icon in the notification area and its tooltip.
#pragma once
#include <windows.h>

#include "app/gdi.h"

enum : UINT { kTrayIconId = 4661 };

struct TrayState {
    HWND owner;
    UINT id;
    UINT callbackMessage;
    HICON icon;         // the picture shown now
    char tip[64];       // the tooltip shown now
    bool added;
    UINT taskbarCreatedMessage;
    DWORD addError;     // GetLastError of the last failed add
    UINT taskIconMessage;  // "Skyroost TaskIcon", the icon's callback
    LoadedIcon pictures[2];  // enabled, disabled; each loaded at its first use
};
extern TrayState g_tray;

// Registers the icon's callback message, once at start-up before the art
// is loaded.
void RegisterTrayMessages();
UINT TaskIconMessage();

// Lets Explorer's messages reach `window` when the program runs elevated.
void LetTheShellThrough(HWND window);

// The icon's picture, chickens enabled or not, at the system's small-icon
// size; null when it cannot be loaded. The tray keeps it until the end.
HICON TrayPicture(bool enabled);

// Tells nobody when it fails; TellAddFailed does, once start-up gives up.
BOOL AddTrayIcon(HWND owner, UINT id, HICON icon, const char* tip, UINT callbackMessage);
// The system's text for the error of the last failed add, in a box captioned
// "Wingzap Error".
void TellAddFailed();
BOOL DeleteTrayIcon(HWND owner, UINT id);
BOOL SetTrayIcon(HWND owner, UINT id, HICON icon);
BOOL SetTrayTip(HWND owner, UINT id, const char* tip);
BOOL UpdateTrayTooltip();

// "TaskbarCreated": the shell (re)started and every icon is gone.
UINT TaskbarCreatedMessage();
LRESULT OnTaskbarCreated();

void Tray_Reset();
