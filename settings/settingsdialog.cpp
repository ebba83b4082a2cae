// The settings dialog: a full-screen frame with the configured title as its heading over a
// thin line, and a tab control with its tabs at the bottom carrying four pages. All pages
// stay shown, one over the other; a tab only raises its page. OK in the navigation bar saves
// the Plugins and Settings pages; closing the dialog any other way saves nothing.
// SettingsDialogProc owns the page handles and TitleFont.
#include "settings/settingsdialog.h"
#include <algorithm>
#include "look/scale.h"
#include "res/resource.h"
#include "settings/pluginspage.h"
#include "settings/settingsfile.h"
#include "settings/settingspage.h"
#include "softkeys/softkeyspage.h"

HWND PluginsPage, SettingsPage, SoftKeysPage, AboutPage;
HFONT TitleFont;

// The heading: colour, band height and left margin in 96-dpi units, font height in points.
constexpr COLORREF HEADING_COLOR = 0x985800;   // red 0, green 88, blue 152
constexpr int HEADING_HEIGHT = 23;
constexpr int HEADING_LEFT = 8;
constexpr int HEADING_POINTS = 17;             // halved below: 8.5 pt
// The tab control overhangs the dialog by this much on each side, in 96-dpi units.
constexpr int TAB_OVERHANG = 2;
// The version of the common controls whose drawing the tab control follows.
constexpr WPARAM TAB_CONTROL_VERSION = 0x20E;
// A page taller than the tab's display area scrolls by this much per line, in 96-dpi units.
constexpr int PAGE_SCROLL_LINE = 8;
// The full-screen frame with OK in the navigation bar, the input panel down and an empty menu bar.
constexpr DWORD DIALOG_INIT_FLAGS = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU;

struct PageEntry {
    LPCWSTR tab;
    int templateId;
    DLGPROC proc;
    HWND *handle;
};

// In tab order; the first page made lies on top, matching the tab selected by default.
static const PageEntry Pages[] = {
    {L"Plugins", IDD_PLUGINS_PAGE, PluginsPageProc, &PluginsPage},
    {L"Settings", IDD_SETTINGS_PAGE, SettingsPageProc, &SettingsPage},
    {L"Soft Keys", IDD_SOFTKEYS_PAGE, SoftKeysPageProc, &SoftKeysPage},
    {L"About", IDD_ABOUT_PAGE, AboutPageProc, &AboutPage},
};

// Scrolls a page's controls to the scroll position pos (kept within the page's range).
static void ScrollPageTo(HWND page, int pos)
{
    int old = GetScrollPos(page, SB_VERT);
    SCROLLINFO info = {sizeof info, SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(page, SB_VERT, &info, TRUE);
    ScrollWindowEx(page, 0, old - GetScrollPos(page, SB_VERT), nullptr, nullptr, nullptr, nullptr,
                   SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

// The scroll bar of a page taller than the tab's display area. The page's frame is measured
// once: a page procedure passes every message on to DefWindowProcW, and the dialog manager
// would take the bar off the client area a second time.
static LRESULT CALLBACK ScrollingPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (msg == WM_NCCALCSIZE) return DefWindowProcW(page, msg, wParam, lParam);
    if (msg != WM_VSCROLL) return DefSubclassProc(page, msg, wParam, lParam);
    SCROLLINFO info = {sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(page, SB_VERT, &info);
    int step[] = {-ScaleY(PAGE_SCROLL_LINE), ScaleY(PAGE_SCROLL_LINE), -(int)info.nPage, (int)info.nPage};
    switch (LOWORD(wParam)) {
    case SB_LINEUP: case SB_LINEDOWN: case SB_PAGEUP: case SB_PAGEDOWN:
        ScrollPageTo(page, info.nPos + step[LOWORD(wParam)]);
        break;
    case SB_THUMBTRACK: case SB_THUMBPOSITION:
        ScrollPageTo(page, info.nTrackPos);
        break;
    case SB_TOP: case SB_BOTTOM:
        ScrollPageTo(page, LOWORD(wParam) == SB_TOP ? 0 : info.nMax);
        break;
    }
    return 0;
}

// The page fills the tab's display area. Where that is lower than the page's controls (the
// landscape screen) the page gets a scroll bar over their height, as a Pocket PC dialog does.
void FitPageToTab(HWND page)
{
    HWND tabs = GetParent(page);
    RECT area;
    GetClientRect(tabs, &area);
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, (LPARAM)&area);
    ScrollPageTo(page, 0);   // the controls back in their template places
    RECT control;
    int bottom = 0;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        GetWindowRect(child, &control);
        MapWindowPoints(nullptr, page, (POINT *)&control, 2);
        bottom = std::max(bottom, (int)control.bottom);
    }
    SetWindowSubclass(page, ScrollingPageProc, 0, 0);
    SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_PAGE, 0, bottom - 1, (UINT)area.bottom, 0, 0};
    SetScrollInfo(page, SB_VERT, &info, FALSE);   // the bar shows only when the page is taller
    SetWindowPos(page, nullptr, 0, 0, area.right, area.bottom, SWP_NOZORDER | SWP_FRAMECHANGED);
}

LPCDLGTEMPLATEW LoadDialogTemplate(UINT id)
{
    HRSRC found = FindResourceW(AppInstance, MAKEINTRESOURCEW(id), (LPCWSTR)RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(AppInstance, found) : nullptr;
    return (LPCDLGTEMPLATEW)loaded;
}

bool ChooseFile(HWND owner, LPCWSTR title, WCHAR *file, DWORD capacity)
{
    OPENFILENAMEEX chooser = {};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = owner;
    chooser.lpstrFile = file;
    chooser.nMaxFile = capacity;
    chooser.lpstrTitle = title;
    chooser.Flags = OFN_SHOW_ALL;
    chooser.ExFlags = OFN_EXFLAG_DETAILSVIEW;
    return GetOpenFileNameEx(&chooser) != FALSE;
}

static HWND CreatePage(HWND tabs, int index, const PageEntry &entry)
{
    TCITEMW tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = (LPWSTR)entry.tab;
    SendMessageW(tabs, TCM_INSERTITEMW, index, (LPARAM)&tab);

    LPCDLGTEMPLATEW loaded = LoadDialogTemplate(entry.templateId);
    HWND page = loaded ? CreateDialogIndirectParamW(AppInstance, loaded, tabs, entry.proc, 0) : nullptr;
    if (page) ShowWindow(page, SW_SHOW);
    return page;
}

// The heading's font: 8.5 points of semibold Tahoma at the screen's density.
static void CreateTitleFont(HWND dialog)
{
    HDC dc = GetDC(dialog);
    if (!dc) return;
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    LOGFONTW font = {};
    font.lfHeight = -HEADING_POINTS * GetDeviceCaps(dc, LOGPIXELSY) / 72 / 2;
    font.lfWeight = FW_SEMIBOLD;
    font.lfPitchAndFamily = metrics.tmPitchAndFamily;
    CopyText(font.lfFaceName, L"Tahoma");
    TitleFont = CreateFontIndirectW(&font);
    ReleaseDC(dialog, dc);
}

static void FreeTitleFont()
{
    if (TitleFont) DeleteObject(TitleFont);
    TitleFont = nullptr;
}

static void OnInitDialog(HWND dialog)
{
    PluginsPage = SettingsPage = SoftKeysPage = AboutPage = nullptr;
    SHINITDLGINFO init = {SHIDIM_FLAGS, dialog, DIALOG_INIT_FLAGS};
    SHInitDialog(&init);   // the full-screen sizing lays the tab control out (WM_SIZE)

    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    SendMessageW(tabs, CCM_SETVERSION, TAB_CONTROL_VERSION, 0);
    for (int i = 0; i < (int)(sizeof Pages / sizeof Pages[0]); i++) *Pages[i].handle = CreatePage(tabs, i, Pages[i]);
    // The first tab is selected: its page lies on top, whatever the order of making put there.
    BringWindowToTop(PluginsPage);
    CreateTitleFont(dialog);
}

// The tab control, and the pages in it, follow the dialog's every size. A rotation keeps
// everything the user set on the pages. (A turned screen can reach the dialog as a width
// change and then a height change: a tab control laid out only on the first would keep its
// tabs below the new screen bottom.)
static void OnSize(HWND dialog)
{
    RECT client;
    GetClientRect(dialog, &client);
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    SetWindowPos(tabs, nullptr, -ScaleX(TAB_OVERHANG), ScaleY(HEADING_HEIGHT + 1), client.right + ScaleX(2 * TAB_OVERHANG),
                 client.bottom - ScaleY(HEADING_HEIGHT + 1), SWP_NOZORDER);
    // The tabs moved within what the pages covered: nothing else repaints them there.
    InvalidateRect(tabs, nullptr, TRUE);
    for (const PageEntry &entry : Pages)
        if (*entry.handle) FitPageToTab(*entry.handle);
}

static void OnPaint(HWND dialog)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog, &ps);
    if (!dc) return;
    RECT client;
    GetClientRect(dialog, &client);
    int lineY = client.top + ScaleY(HEADING_HEIGHT);

    HGDIOBJ oldFont = TitleFont ? SelectObject(dc, TitleFont) : nullptr;
    SetTextColor(dc, HEADING_COLOR);
    RECT band = {ScaleX(HEADING_LEFT), client.top, client.right - client.left, lineY};
    DrawTextW(dc, AppSettings.Title, -1, &band, DT_VCENTER | DT_SINGLELINE);
    if (oldFont) SelectObject(dc, oldFont);

    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    POINT line[2] = {{client.left, lineY}, {client.right, lineY}};
    Polyline(dc, line, 2);
    SelectObject(dc, oldPen);
    EndPaint(dialog, &ps);
}

// A tab raises its page; pages are never hidden.
static void OnNotify(const NMHDR *header)
{
    if (!header || header->code != TCN_SELCHANGE) return;
    LRESULT tab = SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0);
    if (tab < 0 || tab >= (LRESULT)(sizeof Pages / sizeof Pages[0])) return;
    BringWindowToTop(*Pages[tab].handle);
}

static void OnOk(HWND dialog)
{
    SavePluginSelection(GetDlgItem(PluginsPage, IDC_PLUGIN_LIST));
    // The values apply for this run all the same; the old file stays as it was.
    if (!SaveSettings(PluginsPage, SettingsPage))
        MessageBoxW(dialog, L"The settings could not be saved.", AppSettings.Title, MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    FreeTitleFont();
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_SIZE:
        OnSize(dialog);
        return FALSE;
    case WM_PAINT:
        OnPaint(dialog);
        return FALSE;
    case WM_NOTIFY:
        OnNotify((const NMHDR *)lParam);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK) return FALSE;
        OnOk(dialog);
        return TRUE;
    case WM_CLOSE:
        FreeTitleFont();
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_DESTROY:   // also when the dialog goes with its owner, without OK or close
        FreeTitleFont();
        return FALSE;
    }
    return FALSE;
}
