// IconStrip: the band along the bottom of MainWindow that shows the registered icons from its
// right edge leftwards, highlights the selected one and tells an icon's owner about a tap.
// Writes LastVisibleIcon (when the table or the strip's size changes) and SelectedIcon (at a
// tap, and when the selected icon is no longer drawn).
#include "tray/tray.h"
#include "items/navigation.h"
#include "look/background.h"
#include "look/scale.h"
#include "look/theme.h"
#include "settings/settingsfile.h"
#include <algorithm>

// Strip geometry in 96-dpi units: icon 0's left edge from the right edge, normal and large;
// the icons' top edge; the highlight's margin left of and above an icon; the separator's row.
constexpr int FIRST_ICON_INSET = 18;
constexpr int FIRST_BIG_ICON_INSET = 34;
constexpr int ICON_TOP = 3;
constexpr int HIGHLIGHT_MARGIN = 2;
constexpr int SEPARATOR_ROW = 1;

// Left edge of icon 0 in the strip.
static int FirstIconX()
{
    return ClientWidth - ScaleX(AppSettings.BigTray ? FIRST_BIG_ICON_INSET : FIRST_ICON_INSET);
}

static void DrawHighlight(HDC dc, int iconX)
{
    RECT r = {iconX - ScaleX(HIGHLIGHT_MARGIN), ScaleY(HIGHLIGHT_MARGIN), 0, TrayHeight};
    r.right = r.left + IconPitch;
    FillRect(dc, &r, HighlightBrush);
}

// Icon 0 is drawn wherever it starts; the ones that would start left of the strip are not.
void UpdateLastVisibleIcon()
{
    int fit = FirstIconX() > 0 ? FirstIconX() / IconPitch : 0;
    LastVisibleIcon = std::min(fit, (int)IconCount - 1);
    if (SelectedIcon > LastVisibleIcon) SelectedIcon = -1;
}

// Background, separator, and the icons that fit, from the right.
static void DrawStrip(HDC dc, const RECT &paint)
{
    BitBlt(dc, paint.left, paint.top, paint.right - paint.left, paint.bottom - paint.top, BackgroundDC,
           paint.left, paint.top + ViewHeight, SRCCOPY);
    HGDIOBJ previous = SelectObject(dc, SeparatorPen);
    POINT line[2] = {{0, SEPARATOR_ROW}, {ClientWidth, SEPARATOR_ROW}};
    Polyline(dc, line, 2);
    if (previous) SelectObject(dc, previous);

    UpdateLastVisibleIcon();
    for (int i = 0, x = FirstIconX(); i <= LastVisibleIcon; i++, x -= IconPitch) {
        if (i == SelectedIcon) DrawHighlight(dc, x);
        // A null icon leaves its slot empty but keeps its place.
        if (IconTable[i].hIcon)
            DrawIconEx(dc, x, ScaleY(ICON_TOP), IconTable[i].hIcon, IconSize, IconSize, 0, nullptr, DI_NORMAL);
    }
}

// Drawn off-screen and copied in one go, so the background, highlight and icons never flicker.
static void PaintIconStrip(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, client.right, client.bottom) : nullptr;
    if (bitmap) {
        HGDIOBJ initial = SelectObject(memory, bitmap);
        const RECT &r = ps.rcPaint;
        DrawStrip(memory, r);
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, r.left, r.top, SRCCOPY);
        SelectObject(memory, initial);
        DeleteObject(bitmap);
    }
    if (memory) DeleteDC(memory);
    EndPaint(hwnd, &ps);
}

// An icon whose owner has gone is removed instead: its slot would be lost until a restart.
static bool PostIconNotification(WPARAM index, LPARAM mouseMessage)
{
    if (index >= IconCount || (int)index > LastVisibleIcon) return false;
    const IconEntry &entry = IconTable[index];
    if (!IsWindow(entry.hWnd)) {
        DropOrphanIcons();
        return false;
    }
    return PostMessageW(entry.hWnd, entry.uCallbackMessage, entry.uID, mouseMessage);
}

// A tap is acted on at lift. Slots are counted from the strip's right edge by the pitch; only
// a drawn icon is hit.
static void TapIconStrip(HWND hwnd, LPARAM lParam)
{
    int x = (int)LOWORD(lParam);
    UINT index = (UINT)((ClientWidth - x) / IconPitch);
    if (index >= IconCount || (int)index > LastVisibleIcon) return;
    SelectedIcon = (int)index;
    InvalidateRect(hwnd, nullptr, TRUE);
    if (PostIconNotification(index, WM_LBUTTONDOWN)) PostIconNotification(index, WM_LBUTTONUP);
}

LRESULT CALLBACK IconStripProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        return 0;
    case WM_PAINT:
        PaintIconStrip(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;   // WM_PAINT covers the whole update area
    case WM_SIZE:   // a rotation: fewer icons may fit
        UpdateLastVisibleIcon();
        break;
    case WM_LBUTTONUP:
        TapIconStrip(hwnd, lParam);
        return 0;
    case HM_ICONACTION:
        return PostIconNotification(wParam, lParam);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
