#include "ui/options.h"

#include <cstdio>

#include "app/app.h"
#include "app/gdi.h"
#include "res/localize.h"
#include "res/resource.h"
#include "store/store.h"
#include "ui/format.h"

int ShowOptionsDialog()
{
    INT_PTR result = DialogBoxParamA(g_app.instance, MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, OptionsDialogProc, 0);
    return result == IDOK ? 1 : 0;
}

// The line's own text, after localization, is the format of its number.
static void FillStatisticLine(HWND dialog, int control, uint32_t value)
{
    HWND line = GetDlgItem(dialog, control);
    char format[100] = "";
    GetWindowTextA(line, format, sizeof format);
    char text[100];
    FormatNumber(text, sizeof text, format, value);
    SetWindowTextA(line, text);
}

static INT_PTR OnInitOptions(HWND dialog)
{
    LocalizeDialogControls(dialog);  // first: the lines below read the localized formats
    // A hand-edited UseSound other than 0 or 1 still means "on".
    SendMessageA(GetDlgItem(dialog, IDC_USE_SOUND), BM_SETCHECK, g_settings.UseSound ? BST_CHECKED : BST_UNCHECKED, 0);
    char speed[16];
    std::snprintf(speed, sizeof speed, "%d", static_cast<int>(g_settings.Speed));
    SetWindowTextA(GetDlgItem(dialog, IDC_SPEED_EDIT), speed);
    FillStatisticLine(dialog, IDC_LINE_HITS, g_statistics.CountHits);
    FillStatisticLine(dialog, IDC_LINE_MISSED, g_statistics.CountMissedChicken);
    FillStatisticLine(dialog, IDC_LINE_MEAN, MeanReactionTime());
    SetWindowTextA(dialog, "Wingzap");  // no caption bar, but the taskbar and Alt+Tab show it
    return 1;
}

uint32_t ParseSpeedText(const char* text)
{
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
    return negative ? 0u - value : value;
}

static INT_PTR OnOptionsOk(HWND dialog)
{
    const bool sound = SendMessageA(GetDlgItem(dialog, IDC_USE_SOUND), BM_GETCHECK, 0, 0) == BST_CHECKED;
    char text[10] = "";  // the first 9 characters: no overflow possible
    GetWindowTextA(GetDlgItem(dialog, IDC_SPEED_EDIT), text, sizeof text);
    TakeSettings(sound ? 1 : 0, ParseSpeedText(text));
    EndDialog(dialog, IDOK);
    return 1;
}

// The picture's static control loaded IDB_DIALOG_SIDE itself, and not every
// system deletes it with the control (Wine keeps it: one bitmap lost per
// opening). Taking it out of the control makes it ours on every system.
static INT_PTR OnOptionsDestroyed(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
        // Ours from here, and gone with its owner at the end of this turn.
        const Bitmap picture(reinterpret_cast<HBITMAP>(SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, 0)));
    }
    return 0;
}

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitOptions(dialog);
    case WM_DESTROY: return OnOptionsDestroyed(dialog);
    case WM_COMMAND:
        if (wParam == IDOK) return OnOptionsOk(dialog);
        if (wParam == IDCANCEL) EndDialog(dialog, IDCANCEL);
        return 1;
    default: return 0;
    }
}
