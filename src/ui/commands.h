// The tray menu, its commands, and the keys that work during a flight.
#pragma once
#include <windows.h>

#include <atomic>

struct UiState {
    bool EnabledFlag;  // chickens come; true at every start, never stored
    // The tray menu or the options dialog is open; read by the flight keys'
    // hook on its own thread as well.
    std::atomic<bool> BusyFlag;
};
extern UiState g_ui;

int ToggleEnabled();
bool IsNtPlatform();
void OnTrayCallback(WPARAM iconId, LPARAM mouseMessage);
void ShowTrayMenu();
LRESULT OnCommand(WPARAM command);
LRESULT OnChar(WPARAM character);

void Ui_Reset();
