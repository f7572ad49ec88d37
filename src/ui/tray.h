// The one icon in the notification area and its tooltip.
#pragma once
#include <windows.h>

enum : UINT { kTrayIconId = 4661 };

struct TrayState {
    HWND owner;
    UINT id;
    UINT callbackMessage;
    HICON icon;         // the picture shown now
    char tip[64];       // the tooltip shown now
    bool added;
    UINT taskbarCreatedMessage;
};
extern TrayState g_tray;

BOOL AddTrayIcon(HWND owner, UINT id, HICON icon, const char* tip, UINT callbackMessage);
BOOL DeleteTrayIcon(HWND owner, UINT id);
BOOL SetTrayIcon(HWND owner, UINT id, HICON icon);
BOOL SetTrayTip(HWND owner, UINT id, const char* tip);
BOOL UpdateTrayTooltip();

// "TaskbarCreated": the shell (re)started and every icon is gone.
UINT TaskbarCreatedMessage();
LRESULT OnTaskbarCreated();

void Tray_Reset();
