#include "ui/tray.h"

#include <shellapi.h>

#include <cstdio>

#include "app/app.h"
#include "app/platform.h"
#include "res/localize.h"
#include "res/resource.h"
#include "store/store.h"
#include "ui/format.h"

TrayState g_tray = {};

// The first layout of the record (88 bytes on 32-bit Windows): every shell
// since Windows 95 takes it.
static NOTIFYICONDATAA IconData(HWND owner, UINT id)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = id;
    return data;
}

// The first layout has room for 63 characters and the terminator.
static void CopyTip(char* field, const char* tip)
{
    lstrcpynA(field, tip ? tip : "", 64);
}

void RegisterTrayMessages()
{
    g_tray.taskIconMessage = RegisterWindowMessageA("Skyroost TaskIcon");
    g_tray.taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    // Registered as ever, though nothing sends or handles it.
    RegisterWindowMessageA("Skyroost ShowMenu");
}

UINT TaskIconMessage()
{
    return g_tray.taskIconMessage;
}

enum { kMessageFilterAllow = 1 };  // MSGFLT_ALLOW of the first, MSGFLT_ADD of the second

// Run as administrator, a program of higher integrity than Explorer gets
// none of its messages unless it asks for them: the icon would not come back
// after an Explorer restart and clicks on it would be lost. Windows 7 has the
// per-window filter, Vista only the process's; XP has no filter at all.
void LetTheShellThrough(HWND window)
{
    HMODULE user = GetModuleHandleA("user32.dll");
    auto allowFor = LookUp<BOOL WINAPI(HWND, UINT, DWORD, void*)>(user, "ChangeWindowMessageFilterEx");
    auto allow = LookUp<BOOL WINAPI(UINT, DWORD)>(user, "ChangeWindowMessageFilter");
    const UINT messages[] = {g_tray.taskbarCreatedMessage, g_tray.taskIconMessage};
    for (UINT message : messages) {
        if (!message) continue;
        if (allowFor)
            allowFor(window, message, kMessageFilterAllow, nullptr);
        else if (allow)
            allow(message, kMessageFilterAllow);
    }
}

enum { kSmallIconMetric = 0 };  // LIM_SMALL

// Common controls 6, which alone has LoadIconMetric: loaded in an
// activation context of its own, whose manifest asks for it. The program's
// manifest asks for no library; without a context the name gives version
// 5, the system folder's. In one, the loader takes it by its name from the
// system's side-by-side store, never from the program's folder. It stays
// loaded for the process.
static HMODULE CommonControls()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(g_app.instance, path, sizeof path);
    if (length == 0 || length >= sizeof path) return nullptr;
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path;
    request.lpResourceName = MAKEINTRESOURCEA(IDR_COMMON_CONTROLS);
    const HANDLE context = CreateActCtxA(&request);
    if (context == INVALID_HANDLE_VALUE) return nullptr;
    HMODULE module = nullptr;
    ULONG_PTR cookie = 0;
    if (ActivateActCtx(context, &cookie)) {
        module = LoadLibraryA("comctl32.dll");
        DeactivateActCtx(0, cookie);
    }
    ReleaseActCtx(context);
    return module;
}

// The notification area shows the small-icon size. LoadIconA gives the
// large one, 32 pixels at 96 dpi, which the shell shrinks again: at 125 to
// 250 % the 16-pixel picture was stretched twice. LoadIconMetric (Vista
// on) gives the size the notification area shows at the shell's DPI,
// scaled down from the nearest larger picture; before it, LoadImageA at
// the small-icon size has the system scale the nearest size once.
HICON TrayPicture(bool enabled)
{
    LoadedIcon& picture = g_tray.pictures[enabled ? 0 : 1];
    if (picture) return picture.get();
    const int id = enabled ? IDI_ENABLED : IDI_DISABLED;
    auto loadMetric = LookUp<HRESULT WINAPI(HINSTANCE, PCWSTR, int, HICON*)>(CommonControls(), "LoadIconMetric");
    HICON icon = nullptr;
    if (loadMetric && FAILED(loadMetric(g_app.instance, MAKEINTRESOURCEW(id), kSmallIconMetric, &icon)))
        icon = nullptr;
    if (!icon)
        icon = static_cast<HICON>(LoadImageA(g_app.instance, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                             LR_DEFAULTCOLOR));
    picture.Reset(icon);
    return picture.get();
}

void TellAddFailed()
{
    // What the add met, not what happened since. An add that timed out may
    // leave no error at all, and "The operation completed successfully"
    // would be no answer.
    const DWORD error = g_tray.addError ? g_tray.addError : ERROR_TIMEOUT;
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, error, LANG_USER_DEFAULT, reinterpret_cast<char*>(&text), 0, nullptr);
    char fallback[80];
    std::snprintf(fallback, sizeof fallback, "The tray icon could not be added (error %lu).",
                  static_cast<unsigned long>(error));
    MessageBoxA(nullptr, text ? text : fallback, "Wingzap Error", MB_OK | MB_ICONINFORMATION);
    if (text) LocalFree(text);
}

// The whole icon: an add, or a modify that completes one already there.
static BOOL NotifyWhole(DWORD message, HWND owner, UINT id, HICON icon, const char* tip, UINT callbackMessage)
{
    NOTIFYICONDATAA data = IconData(owner, id);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = callbackMessage;
    data.hIcon = icon;
    CopyTip(data.szTip, tip);
    return Shell_NotifyIconA(message, &data);
}

BOOL AddTrayIcon(HWND owner, UINT id, HICON icon, const char* tip, UINT callbackMessage)
{
    if (!NotifyWhole(NIM_ADD, owner, id, icon, tip, callbackMessage)) {
        g_tray.addError = GetLastError();
        // At logon on a busy machine the shell may report a timeout and add
        // the icon all the same, and then refuse every further add as a
        // duplicate. A modify succeeds only on an icon that is there.
        if (!NotifyWhole(NIM_MODIFY, owner, id, icon, tip, callbackMessage)) return FALSE;
    }
    g_tray.owner = owner;
    g_tray.id = id;
    g_tray.callbackMessage = callbackMessage;
    g_tray.icon = icon;
    CopyTip(g_tray.tip, tip);
    g_tray.added = true;
    return TRUE;
}

BOOL DeleteTrayIcon(HWND owner, UINT id)
{
    NOTIFYICONDATAA data = IconData(owner, id);
    g_tray.added = false;
    return Shell_NotifyIconA(NIM_DELETE, &data);
}

BOOL SetTrayIcon(HWND owner, UINT id, HICON icon)
{
    NOTIFYICONDATAA data = IconData(owner, id);
    data.uFlags = NIF_ICON;
    data.hIcon = icon;
    g_tray.icon = icon;
    return Shell_NotifyIconA(NIM_MODIFY, &data);
}

BOOL SetTrayTip(HWND owner, UINT id, const char* tip)
{
    NOTIFYICONDATAA data = IconData(owner, id);
    data.uFlags = NIF_TIP;
    CopyTip(data.szTip, tip);
    CopyTip(g_tray.tip, data.szTip);
    return Shell_NotifyIconA(NIM_MODIFY, &data);
}

BOOL UpdateTrayTooltip()
{
    char format[200];
    if (!LoadLocalizedString(IDS_TOOLTIP, format, sizeof format)) return 0;
    if (!IsSingleNumberFormat(format)) return 0;  // a damaged text is not a printf format
    char text[200];
    std::snprintf(text, sizeof text, format, MeanReactionTime());
    return SetTrayTip(g_app.background, kTrayIconId, text);
}

UINT TaskbarCreatedMessage()
{
    return g_tray.taskbarCreatedMessage;
}

// The icon comes back as it was: its picture (enabled or not) and its tooltip.
LRESULT OnTaskbarCreated()
{
    if (!g_tray.added) return 0;
    NotifyWhole(NIM_ADD, g_tray.owner, g_tray.id, g_tray.icon, g_tray.tip, g_tray.callbackMessage);
    return 0;
}

void Tray_Reset()
{
    g_tray = TrayState{};
}
