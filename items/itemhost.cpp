// ItemHost: stacks the item windows, scrolls them, paints the background and the separators
// between them, polls the items' heights and answers the items' messages to their parent.
// Owns the layout values declared in items/itemhost.h (the strip's are written by tray/).
#include "items/itemhost.h"
#include "base/bench.h"
#include "items/items.h"
#include "items/navigation.h"
#include "look/background.h"
#include "look/scale.h"
#include "look/theme.h"
#include "settings/settingsfile.h"

HWND ItemHost;
int ClientWidth;
int ViewHeight;
int ContentHeight;
bool ScrollBarShown;
int ScrollBarWidth = GetSystemMetrics(SM_CXVSCROLL);
int ItemWidth;
int ScrollPos;
HWND IconStrip;
bool IconStripShown;
int LastVisibleIcon = -1;

// Layout passes run one after another, never inside each other: an item may ask for a
// refresh from inside its height query, and UpdateScrollBar asks for a forced pass from
// inside a pass. Such asks are remembered here and run when the current pass ends.
static bool LayoutRunning;        // a pass is in progress
static bool LayoutPending;        // one more pass was asked for during it
static bool LayoutPendingForce;   // ... and it must move every window
static bool ItemRefreshQueued;    // an item's refresh request already got its extra pass

// An item whose height flips with the width would show and hide the scroll bar forever;
// one layout call runs at most this many passes.
constexpr int MAX_LAYOUT_PASSES = 6;
// Heights beyond this are taken as this, so that MAX_HOSTED_ITEMS items never overflow
// ContentHeight; a negative height (cyp above 2^31) is taken as 0.
constexpr int MAX_ITEM_HEIGHT = 1000000;

// Window positions further out than this are clamped by the window manager.
constexpr int WINDOW_COORDINATE_LIMIT = 32767;

// Line and page steps of the scroll bar, in 96-dpi units.
constexpr int SCROLL_LINE = 10;
constexpr int SCROLL_PAGE = 40;

// Answers to TODAYM_GETTRAYSTYLE: large or normal strip icons.
constexpr UINT TRAY_STYLE_BIG = 7;
constexpr UINT TRAY_STYLE_NORMAL = 3;

// Pixels the content is scrolled up.
static int ScrollOffset()
{
    return ScrollPos ? ScrollPos - 1 : 0;
}

static int ItemHeight(DWORD cyp)
{
    int height = (int)cyp;
    if (height < 0) return 0;
    return height > MAX_ITEM_HEIGHT ? MAX_ITEM_HEIGHT : height;
}

// One pass over the records. Windows go to their content position less the current scroll,
// so that items moved while the view is scrolled line up with those that were scrolled.
// From the first record whose height changed, whose window is new (a reload, a reordered
// list) or whose place moved, every window is moved; before it, nothing is.
static void LayoutPass(bool force)
{
    BenchNote(BENCH_PASS, "");
    const int gap = ScaleY(1);
    int y = 0;
    HostedItem *block = Items;
    for (UINT i = 0; i < ItemCount; i++) {
        HostedItem *item = &block[i];
        if (!ItemWindow(item->hwndCustom)) continue;
        DWORD before = item->cyp;
        LRESULT changed = SendItemMessage(*item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)item, 0);
        // The item's code ran; if it made the host drop its records, this pass is over, and
        // an item that unloaded itself takes no space.
        if (Items != block || i >= ItemCount) return;
        HWND window = ItemWindow(item->hwndCustom);
        if (!window) continue;
        int height = ItemHeight(before);
        if (changed && item->cyp != before) {
            height = ItemHeight(item->cyp);
            force = true;
        }
        if (window != item->Placed || item->Top != y) force = true;
        if (force) {
            MoveWindow(window, 0, y - ScrollOffset(), ItemWidth, height, TRUE);
            BenchNote(BENCH_MOVE, "");
            InvalidateRect(window, nullptr, TRUE);
            item->Placed = window;
        }
        item->Top = y;
        y += height + gap;
    }
    if (y != ContentHeight) {
        ContentHeight = y;
        UpdateScrollBar(true);
    }
    if (force) InvalidateRect(ItemHost, nullptr, TRUE);
}

void LayoutItems(bool force)
{
    if (LayoutRunning) {
        LayoutPending = true;
        LayoutPendingForce = LayoutPendingForce || force;
        return;
    }
    LayoutRunning = true;
    BeginHostWork();
    ItemRefreshQueued = false;
    for (int pass = 0; pass < MAX_LAYOUT_PASSES; pass++) {
        LayoutPending = false;
        LayoutPendingForce = false;
        LayoutPass(force);
        if (!LayoutPending) break;
        force = LayoutPendingForce;
    }
    LayoutRunning = false;
    EndHostWork();
}

// TODAYM_REQUESTREFRESH. Asked during a pass, it earns one more pass; asked again during that
// extra pass (an item that asks from inside every height query), it is already answered.
static void RequestRefresh()
{
    if (LayoutRunning) {
        if (ItemRefreshQueued) return;
        ItemRefreshQueued = true;
    }
    LayoutItems(false);
}

// The bar stays while the view changes height (a rotation, the icon strip, the menu bar): its
// page follows the view, and the position stays within the new last one, the windows with it.
static void FitScrollBarToView()
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_PAGE;
    if (!GetScrollInfo(ItemHost, SB_VERT, &info) || info.nPage == (UINT)ViewHeight) return;
    int last = ContentHeight - ViewHeight;
    if (ScrollPos > last) ScrollPos = last;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 1;
    info.nMax = ContentHeight;
    info.nPage = ViewHeight;
    info.nPos = ScrollPos;
    SetScrollInfo(ItemHost, SB_VERT, &info, TRUE);
    LayoutItems(true);
}

void UpdateScrollBar(bool force)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    if (ViewHeight < ContentHeight) {
        if (ScrollBarShown && !force) {
            FitScrollBarToView();
            return;
        }
        ScrollBarShown = true;
        info.nMin = 1;
        info.nMax = ContentHeight;
        info.nPage = ViewHeight;
        info.nPos = 1;
        SetScrollInfo(ItemHost, SB_VERT, &info, TRUE);
        ItemWidth = ClientWidth - ScrollBarWidth;
        // The bar is back at the top: the forced pass below puts the windows there too.
        ScrollPos = 1;
    } else {
        if (!ScrollBarShown && !force) return;
        ScrollBarShown = false;
        SetScrollInfo(ItemHost, SB_VERT, &info, TRUE);
        ItemWidth = ClientWidth;
        ScrollPos = 0;
    }
    LayoutItems(true);
}

// The thumb position of SB_THUMBPOSITION. WM_VSCROLL carries only its low 16 bits; the bar
// still knows the whole value while it finishes a drag.
static int ThumbPosition(int thumbPos)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_TRACKPOS;
    if (GetScrollInfo(ItemHost, SB_VERT, &info) && (info.nTrackPos & 0xFFFF) == (thumbPos & 0xFFFF))
        return info.nTrackPos;
    return thumbPos;
}

// Scrolling moves each window by the distance from where it is. A window that was further
// out than the window manager's coordinate range sat at a clamped position, and arrives in
// the view at the wrong place: put every window that the view shows where the layout says.
static void PlaceVisibleItems()
{
    const int offset = ScrollOffset();
    for (UINT i = 0; i < ItemCount; i++) {
        HWND window = ItemWindow(Items[i].hwndCustom);
        if (!window) continue;
        int top = Items[i].Top - offset, height = ItemHeight(Items[i].cyp);
        if (top >= ViewHeight || top + height <= 0) continue;
        RECT r;
        GetWindowRect(window, &r);
        MapWindowPoints(nullptr, ItemHost, (POINT *)&r, 2);
        if (r.top == top) continue;
        MoveWindow(window, 0, top, ItemWidth, height, TRUE);
        BenchNote(BENCH_MOVE, "");
    }
}

void ScrollItems(int request, int thumbPos)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    if (!GetScrollInfo(ItemHost, SB_VERT, &info)) return;

    int distance;   // how far the content moves down
    switch (request) {
    case SB_LINEUP: distance = ScaleY(SCROLL_LINE); break;
    case SB_LINEDOWN: distance = ScaleY(-SCROLL_LINE); break;
    case SB_PAGEUP: distance = ScaleY(SCROLL_PAGE); break;
    case SB_PAGEDOWN: distance = ScaleY(-SCROLL_PAGE); break;
    case SB_THUMBPOSITION: distance = info.nPos - ThumbPosition(thumbPos); break;
    default: return;   // SB_THUMBTRACK and the rest: the view moves when the thumb is released
    }

    // The last position is one short of the system's, so the last page ends at the content's end.
    int last = info.nMax - (int)info.nPage;
    int position = info.nPos - distance;
    if (position < info.nMin) {
        position = info.nMin;
        distance = info.nPos - info.nMin;
    } else if (position > last) {
        position = last;
        distance = info.nPos - position;
    }
    if (distance == 0) return;

    ScrollPos = position;
    ScrollWindowEx(ItemHost, 0, distance, nullptr, nullptr, nullptr, nullptr,
                   SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
    // The scroll copied the items' pixels along, the background they show included, but the
    // background stays: every item draws itself again where it now is.
    for (UINT i = 0; i < ItemCount; i++)
        if (ItemWindow(Items[i].hwndCustom)) InvalidateRect(Items[i].hwndCustom, nullptr, TRUE);
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(ItemHost, SB_VERT, &info, TRUE);
    if (ContentHeight > WINDOW_COORDINATE_LIMIT) PlaceVisibleItems();
}

// The background does not scroll; the separators do. Each is the last row of the gap above
// an item; an item without a window takes no space and has none.
static void PaintItemHost(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    const RECT &r = ps.rcPaint;
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, BackgroundDC, r.left, r.top, SRCCOPY);
    HGDIOBJ previous = SelectObject(dc, SeparatorPen);
    const int offset = ScrollOffset();
    for (UINT i = 1; i < ItemCount; i++) {
        if (!ItemWindow(Items[i].hwndCustom)) continue;
        int y = Items[i].Top - 1 - offset;
        if (y < r.top || y >= r.bottom) continue;
        POINT line[2] = {{0, y}, {ItemWidth, y}};
        Polyline(dc, line, 2);
    }
    if (previous) SelectObject(dc, previous);
    EndPaint(hwnd, &ps);
}

// TODAYM_DRAWWATERMARK: the background behind part of an item window, in the item's client
// coordinates. The record is copied before use: a message from another process carries a
// pointer that means nothing here.
static LRESULT DrawWatermark(LPARAM lParam)
{
    TODAYDRAWWATERMARKINFO info;
    if (!ReadMessageRecord(lParam, &info, sizeof info)) return 0;
    RECT host, item;
    if (!GetWindowRect(ItemHost, &host) || !GetWindowRect(info.hwnd, &item)) return 0;
    // Item windows sit at x 0: only the vertical position, scroll included, is translated.
    BitBlt(info.hdc, info.rc.left, info.rc.top, info.rc.right - info.rc.left, info.rc.bottom - info.rc.top,
           BackgroundDC, info.rc.left, info.rc.top + (item.top - host.top), SRCCOPY);
    return 1;
}

static LRESULT ThemeColor(WPARAM index)
{
    switch (index) {
    case TODAYCOLOR_TEXT: return TextColor;
    case TODAYCOLOR_HIGHLIGHT: return HighlightColor;
    case TODAYCOLOR_HIGHLIGHTEDTEXT: return HighlightTextColor;
    default: return 0;
    }
}

// Taps on the items go to the items' windows; only the gaps and the free space below the
// last item arrive here. A tap-and-hold there opens the settings dialog.
static void TapAndHold(HWND hwnd, LPARAM lParam)
{
    SHRGINFO gesture = {};
    gesture.cbSize = sizeof gesture;
    gesture.hwndClient = hwnd;
    gesture.ptDown.x = LOWORD(lParam);
    gesture.ptDown.y = HIWORD(lParam);
    gesture.dwFlags = SHRG_RETURNCMD;
    if (SHRecognizeGesture(&gesture) == GN_CONTEXTMENU) PostMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0);
}

LRESULT CALLBACK ItemHostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        ItemHost = hwnd;
        return 0;
    case WM_SIZE:   // MainWindow, the strip and the menu bar place ItemHost; it keeps its height
        ViewHeight = HIWORD(lParam);
        return 0;
    case WM_PAINT:
        PaintItemHost(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;   // WM_PAINT covers the whole update area
    case WM_TIMER:
        if (wParam == REFRESH_TIMER) LayoutItems(false);
        return 0;
    case WM_VSCROLL:
        ScrollItems(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_LBUTTONDOWN:
        TapAndHold(hwnd, lParam);
        return 0;
    case WM_LBUTTONUP:
        return 0;
    case TODAYM_GETCOLOR:
        return ThemeColor(wParam);
    case TODAYM_DRAWWATERMARK:
        return DrawWatermark(lParam);
    case TODAYM_TOOKSELECTION:
        HandleTookSelection((HWND)wParam);
        return 1;
    case TODAYM_REQUESTREFRESH:
        RequestRefresh();
        return 1;
    case TODAYM_GETTRAYSTYLE:
        return AppSettings.BigTray ? TRAY_STYLE_BIG : TRAY_STYLE_NORMAL;
    case TODAYM_GETHOSTWINDOW:
        return (LRESULT)MainWindow;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
