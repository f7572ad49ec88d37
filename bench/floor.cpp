// The least a flight can cost under Wine: a window over the whole screen
// that shows a copy of it, taken once, and in it a 90 x 60 child window that
// moves every 50 ms and is drawn with four BitBlts: that copy, then XOR with
// a frame, AND with its mask, XOR with the frame. The program's flight has
// the same two windows; scripts/bench --cpu measures both in one run. Frame
// and mask are made here, in memory: a disc on black, and white with a black
// disc (white keeps the screen, black lets the frame show).
#include <windows.h>

#include "flight/art.h"

enum { kTimerId = 1, kTickMs = 50, kStep = 6, kRow = 200 };

struct Layer {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ first = nullptr;  // the DC's own bitmap, given back before deletion
};

struct FloorState {
    HWND cover = nullptr, window = nullptr;
    Layer snapshot, frame, mask;
    int screenWidth = 0, screenHeight = 0;
    int x = 0;
};
static FloorState g_floor;

static void MakeLayer(Layer& s, HDC screen, int width, int height)
{
    s.dc = CreateCompatibleDC(screen);
    s.bitmap = CreateCompatibleBitmap(screen, width, height);
    s.first = SelectObject(s.dc, s.bitmap);
}

static void DeleteLayer(Layer& s)
{
    if (s.dc) {
        SelectObject(s.dc, s.first);
        DeleteDC(s.dc);
    }
    if (s.bitmap) DeleteObject(s.bitmap);
    s = Layer();
}

static void FillDisc(HDC dc, COLORREF around, COLORREF disc)
{
    const RECT all = {0, 0, kFlyWidth, kFlyHeight};
    HBRUSH outside = CreateSolidBrush(around);
    FillRect(dc, &all, outside);
    DeleteObject(outside);
    HBRUSH inside = CreateSolidBrush(disc);
    HGDIOBJ oldBrush = SelectObject(dc, inside);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Ellipse(dc, 10, 5, kFlyWidth - 10, kFlyHeight - 5);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(inside);
}

static void MakeLayers()
{
    HDC screen = GetDC(nullptr);
    g_floor.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    g_floor.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    MakeLayer(g_floor.snapshot, screen, g_floor.screenWidth, g_floor.screenHeight);
    BitBlt(g_floor.snapshot.dc, 0, 0, g_floor.screenWidth, g_floor.screenHeight, screen, 0, 0, SRCCOPY);
    MakeLayer(g_floor.frame, screen, kFlyWidth, kFlyHeight);
    FillDisc(g_floor.frame.dc, RGB(0, 0, 0), RGB(230, 160, 40));
    MakeLayer(g_floor.mask, screen, kFlyWidth, kFlyHeight);
    FillDisc(g_floor.mask.dc, RGB(255, 255, 255), RGB(0, 0, 0));
    ReleaseDC(nullptr, screen);
}

static void Draw(HDC dc)
{
    BitBlt(dc, 0, 0, kFlyWidth, kFlyHeight, g_floor.snapshot.dc, g_floor.x, kRow, SRCCOPY);
    BitBlt(dc, 0, 0, kFlyWidth, kFlyHeight, g_floor.frame.dc, 0, 0, SRCINVERT);
    BitBlt(dc, 0, 0, kFlyWidth, kFlyHeight, g_floor.mask.dc, 0, 0, SRCAND);
    BitBlt(dc, 0, 0, kFlyWidth, kFlyHeight, g_floor.frame.dc, 0, 0, SRCINVERT);
}

// The program's move: no activation, no z-order, no redraw, no copy.
static LRESULT OnTick()
{
    g_floor.x += kStep;
    if (g_floor.x > g_floor.screenWidth) g_floor.x = -kFlyWidth;
    SetWindowPos(g_floor.window, nullptr, g_floor.x, kRow, kFlyWidth, kFlyHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS);
    if (HDC dc = GetDC(g_floor.window)) {
        Draw(dc);
        ReleaseDC(g_floor.window, dc);
    }
    return 0;
}

static LRESULT OnPaint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (window == g_floor.window) {
        Draw(dc);
    } else {
        const RECT& r = ps.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, g_floor.snapshot.dc, r.left, r.top, SRCCOPY);
    }
    EndPaint(window, &ps);
    return 0;
}

static LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER: return OnTick();
    case WM_PAINT: return OnPaint(window);
    case WM_ERASEBKGND: return 1;  // the paint covers every pixel
    case WM_DESTROY:
        if (window == g_floor.cover) {
            KillTimer(window, kTimerId);
            PostQuitMessage(0);
        }
        return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    MakeLayers();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "WingzapBenchFloor";
    RegisterClassA(&wc);
    g_floor.x = -kFlyWidth;
    g_floor.cover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW, wc.lpszClassName, "Floor",
                                    WS_POPUP | WS_VISIBLE,
                                    0, 0, g_floor.screenWidth, g_floor.screenHeight, nullptr, nullptr, instance,
                                    nullptr);
    g_floor.window = CreateWindowExA(0, wc.lpszClassName, "Floor sprite", WS_CHILD | WS_VISIBLE, g_floor.x, kRow,
                                     kFlyWidth, kFlyHeight, g_floor.cover, nullptr, instance, nullptr);
    if (!g_floor.window || !SetTimer(g_floor.cover, kTimerId, kTickMs, nullptr)) return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DeleteLayer(g_floor.mask);
    DeleteLayer(g_floor.frame);
    DeleteLayer(g_floor.snapshot);
    return 0;
}
