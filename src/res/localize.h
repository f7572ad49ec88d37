// The user's language, chosen once at start-up, and the loaders that add its
// offset to string and menu ids (German variants live at id + GERMAN_OFFSET).
#pragma once
#include <windows.h>

#include <cstdint>

struct LanguageState {
    HINSTANCE module;
    uint32_t ResourceOffset;  // 0, ENGLISH_OFFSET or GERMAN_OFFSET
};
extern LanguageState g_language;

int InitLanguage(HINSTANCE module);
int LoadLocalizedString(uint32_t id, char* buffer, int size);
HMENU LoadLocalizedMenu(uint16_t id);
int LocalizeDialogControls(HWND dialog);

void Language_Reset();
