#include "res/localize.h"

#include "res/resource.h"

LanguageState g_language = {nullptr, 0};

int InitLanguage(HINSTANCE module)
{
    g_language.module = module;
    switch (PRIMARYLANGID(GetUserDefaultLCID())) {  // sublanguages do not matter
    case LANG_ENGLISH: g_language.ResourceOffset = ENGLISH_OFFSET; break;
    case LANG_GERMAN: g_language.ResourceOffset = GERMAN_OFFSET; break;
    default: break;
    }
    return 1;
}

// An empty string counts as missing.
int LoadLocalizedString(uint32_t id, char* buffer, int size)
{
    if (!buffer || size <= 0) return 0;
    if (g_language.ResourceOffset != 0 &&
        LoadStringA(g_language.module, g_language.ResourceOffset + id, buffer, size) > 0)
        return 1;
    return LoadStringA(g_language.module, id, buffer, size) > 0 ? 1 : 0;
}

// English users find no menu at ENGLISH_OFFSET and get the plain one, as
// strings fall back.
HMENU LoadLocalizedMenu(uint16_t id)
{
    if (g_language.ResourceOffset != 0) {
        uint16_t localized = static_cast<uint16_t>(g_language.ResourceOffset + id);
        if (HMENU menu = LoadMenuA(g_language.module, MAKEINTRESOURCEA(localized))) return menu;
    }
    return LoadMenuA(g_language.module, MAKEINTRESOURCEA(id));
}

static BOOL CALLBACK LocalizeControl(HWND control, LPARAM)
{
    char text[500];
    uint32_t id = static_cast<uint32_t>(GetWindowLongA(control, GWL_ID));
    if (LoadLocalizedString(id, text, sizeof text)) SetWindowTextA(control, text);
    return TRUE;
}

int LocalizeDialogControls(HWND dialog)
{
    EnumChildWindows(dialog, LocalizeControl, 0);
    return 1;
}

void Language_Reset()
{
    g_language = LanguageState{nullptr, 0};
}
