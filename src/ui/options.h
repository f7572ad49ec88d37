// The options and statistics dialog (IDD_OPTIONS).
#pragma once
#include <windows.h>

#include <cstdint>

// 1 when closed with OK.
int ShowOptionsDialog();
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The number field's text as a signed 32-bit number (leading blanks, one
// sign, digits up to the first other character; no digit gives 0).
uint32_t ParseSpeedText(const char* text);
