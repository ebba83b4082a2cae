// NimbraClock: the date and the time. It redraws itself through the host's height poll: a
// query that finds the minute (or, with "ShowSeconds", the second) changed invalidates the
// window and answers TRUE. It also puts a clock icon into the host's notification strip, as a
// device plug-in does (the host's window comes from TODAYM_GETHOSTWINDOW); a tap on the icon
// shows or hides the seconds. The icon goes with the item's window, so reloads never pile up
// copies of it.
#include "plugins/common/itemkit.h"
#include "items/notifyicon.h"
#include "plugins/clock/clockres.h"
#include <memory>

#define CLOCK_CLASS L"NimbraClockItem"
// Registry values of the item's key.
#define CLOCK_LINES L"Lines"              // 1: time and date on one line; 2 (default): time above date
#define CLOCK_SHOW_SECONDS L"ShowSeconds" // non-zero: the time shows seconds and refreshes every second

struct ClockItem {
    HWND Window = nullptr;
    std::wstring Name;
    int Lines = 2;
    bool ShowSeconds = false;
    bool Selected = false;
    bool HasShown = false;    // cache: the time on screen is Shown; cleared by CLEARCACHE
    SYSTEMTIME Shown = {};
    HICON Icon = nullptr;     // the strip icon, registered while the window lives
};

constexpr UINT CLOCK_ICON_ID = 1;
constexpr UINT WM_CLOCK_ICON = WM_APP + 1;   // the strip icon's callback message
constexpr int CLOCK_ICON_SIDE = 16;

static HINSTANCE ClockModule; // this DLL

// The time as far as the item shows it: to the minute, or to the second.
static bool SameShownTime(const SYSTEMTIME &a, const SYSTEMTIME &b, bool seconds)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && (!seconds || a.wSecond == b.wSecond);
}

static std::wstring FormatTime(const SYSTEMTIME &time, bool seconds)
{
    wchar_t text[64] = L"";
    GetTimeFormatW(LOCALE_USER_DEFAULT, seconds ? 0 : TIME_NOSECONDS, &time, nullptr, text, 64);
    return text;
}

static std::wstring FormatDate(const SYSTEMTIME &time)
{
    wchar_t text[96] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &time, nullptr, text, 96);
    return text;
}

static std::vector<ItemLine> ClockLines(const ClockItem &clock, const SYSTEMTIME &time)
{
    std::wstring timeText = FormatTime(time, clock.ShowSeconds);
    std::wstring dateText = FormatDate(time);
    if (clock.Lines == 1)
        return {{timeText + L"   " + dateText, 16, 11, false}};
    return {{timeText, 20, 15, true}, {dateText, 16, 11, false}};
}

static int ClockHeight(const ClockItem &clock)
{
    SYSTEMTIME any = {};
    return ItemLinesHeight(ClockLines(clock, any));
}

static LRESULT OnQueryRefresh(ClockItem *clock, WPARAM wParam)
{
    ReportItemHeight(wParam, ClockHeight(*clock));
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (clock->HasShown && SameShownTime(now, clock->Shown, clock->ShowSeconds))
        return FALSE;
    clock->Shown = now;
    clock->HasShown = true;
    InvalidateRect(clock->Window, nullptr, FALSE);
    return TRUE;
}

// A clock face with its hands at ten past ten.
static HICON MakeClockIcon()
{
    std::vector<DWORD> pixels(CLOCK_ICON_SIDE * CLOCK_ICON_SIDE, 0);
    for (int y = 0; y < CLOCK_ICON_SIDE; y++) {
        for (int x = 0; x < CLOCK_ICON_SIDE; x++) {
            int dx = 2 * x - 15, dy = 2 * y - 15, r2 = dx * dx + dy * dy;   // in half pixels
            bool hand = (x == 7 && y >= 3 && y <= 8) || (y == 8 && x >= 7 && x <= 11);
            if (r2 <= 225) pixels[y * CLOCK_ICON_SIDE + x] = hand ? 0xFF202020 : r2 >= 150 ? 0xFF1050A0 : 0xFFFFFFFF;
        }
    }
    return NimbraIconFromPixels(pixels.data(), CLOCK_ICON_SIDE, CLOCK_ICON_SIDE);
}

// Adds or deletes the strip icon in the host; false when the host refused or has no strip.
static bool SendStripIcon(ClockItem *clock, WPARAM operation)
{
    HWND host = (HWND)SendMessageW(GetParent(clock->Window), TODAYM_GETHOSTWINDOW, 0, 0);
    if (!host || !clock->Icon) return false;
    NIMBRANOTIFYICONDATA record = {};
    record.cbSize = sizeof record;
    record.hWnd = NIMBRA_HANDLE32(clock->Window);
    record.uID = CLOCK_ICON_ID;
    record.uCallbackMessage = WM_CLOCK_ICON;
    record.hIcon = NIMBRA_HANDLE32(clock->Icon);
    return SendMessageW(host, HM_NOTIFYICON_MESSAGE, operation, (LPARAM)&record) == 1;
}

static void ToggleSeconds(ClockItem *clock)
{
    clock->ShowSeconds = !clock->ShowSeconds;
    WriteItemDword(clock->Name.c_str(), CLOCK_SHOW_SECONDS, clock->ShowSeconds ? 1 : 0);
    clock->HasShown = false;
    InvalidateRect(clock->Window, nullptr, FALSE);
}

static LRESULT OnPaint(ClockItem *clock)
{
    if (!clock->HasShown) {
        GetLocalTime(&clock->Shown);
        clock->HasShown = true;
    }
    PaintItemLines(clock->Window, clock->Selected, ClockLines(*clock, clock->Shown));
    return 0;
}

static LRESULT CALLBACK ClockWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ClockItem *clock = static_cast<ClockItem *>(ItemRecord(hwnd, msg, lParam));
    LRESULT result = 0;
    if (!clock)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (HandleItemSelection(hwnd, msg, &clock->Selected, &result))
        return result;
    switch (msg) {
    case WM_TODAYCUSTOM_CLEARCACHE:
        clock->HasShown = false;
        return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        return OnQueryRefresh(clock, wParam);
    case WM_PAINT:
        return OnPaint(clock);
    case WM_CLOCK_ICON:
        if (lParam == WM_LBUTTONUP) ToggleSeconds(clock);
        return 0;
    case WM_DESTROY:
        SendStripIcon(clock, NIMBRA_NIM_DELETE);
        if (clock->Icon) DestroyIcon(clock->Icon);
        clock->Icon = nullptr;
        return 0;
    case WM_NCDESTROY:
        delete clock;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

extern "C" HWND InitializeCustomItem(TODAYLISTITEM *ptli, HWND hwndParent)
{
    if (!ptli || !RegisterItemClass(ClockModule, CLOCK_CLASS, ClockWndProc))
        return nullptr;
    auto clock = std::make_unique<ClockItem>();
    clock->Name = ItemName(ptli);
    clock->Lines = ReadItemDword(clock->Name.c_str(), CLOCK_LINES, 2) == 1 ? 1 : 2;
    clock->ShowSeconds = ReadItemDword(clock->Name.c_str(), CLOCK_SHOW_SECONDS, 0) != 0;
    clock->Window = CreateItemWindow(ClockModule, CLOCK_CLASS, clock->Name.c_str(), ptli, hwndParent,
                                     ClockHeight(*clock), clock.get());
    if (!clock->Window) return nullptr;
    ClockItem *item = clock.release();   // the window owns it now
    item->Icon = MakeClockIcon();
    SendStripIcon(item, NIMBRA_NIM_ADD);
    return item->Window;
}

// The options page: lParam of WM_INITDIALOG is the item's TODAYLISTITEM.
extern "C" BOOL CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        auto *item = reinterpret_cast<TODAYLISTITEM *>(lParam);
        if (!item)
            return TRUE;
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(item));
        CheckDlgButton(dialog, IDC_CLOCK_ONE_LINE, ReadItemDword(item->szName, CLOCK_LINES, 2) == 1);
        CheckDlgButton(dialog, IDC_CLOCK_SECONDS, ReadItemDword(item->szName, CLOCK_SHOW_SECONDS, 0) != 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto *item = reinterpret_cast<TODAYLISTITEM *>(GetWindowLongPtrW(dialog, DWLP_USER));
            if (item) {
                WriteItemDword(item->szName, CLOCK_LINES, IsDlgButtonChecked(dialog, IDC_CLOCK_ONE_LINE) ? 1 : 2);
                WriteItemDword(item->szName, CLOCK_SHOW_SECONDS, IsDlgButtonChecked(dialog, IDC_CLOCK_SECONDS) ? 1 : 0);
            }
        }
        return EndItemOptions(dialog, msg, wParam);
    }
    return FALSE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return ItemDllMain(instance, reason, reserved, &ClockModule, CLOCK_CLASS);
}
