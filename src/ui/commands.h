// The tray menu, its commands, and the keys that work during a flight.
#pragma once
#include <windows.h>

struct UiState {
    bool EnabledFlag;  // chickens come; true at every start, never stored
    bool BusyFlag;     // the tray menu or the options dialog is open
};
extern UiState g_ui;

int ToggleEnabled();
bool IsNtPlatform();
void OnTrayCallback(WPARAM iconId, LPARAM mouseMessage);
void ShowTrayMenu();
LRESULT OnCommand(WPARAM command);
LRESULT OnChar(WPARAM character);

void Ui_Reset();
