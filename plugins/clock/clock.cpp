// NimbraClock: the date and the time. It redraws itself through the host's height poll: a
// query that finds the minute (or, with "ShowSeconds", the second) changed invalidates the
// window and answers TRUE.
#include "plugins/common/itemkit.h"
#include "plugins/clock/clockres.h"

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
};

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
    if (wParam)
        reinterpret_cast<TODAYLISTITEM *>(wParam)->cyp = static_cast<DWORD>(ClockHeight(*clock));
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (clock->HasShown && SameShownTime(now, clock->Shown, clock->ShowSeconds))
        return FALSE;
    clock->Shown = now;
    clock->HasShown = true;
    InvalidateRect(clock->Window, nullptr, FALSE);
    return TRUE;
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

static void SetSelected(ClockItem *clock, bool selected)
{
    clock->Selected = selected;
    InvalidateRect(clock->Window, nullptr, FALSE);
}

static LRESULT CALLBACK ClockWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams));
    ClockItem *clock = reinterpret_cast<ClockItem *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!clock)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_TODAYCUSTOM_CLEARCACHE:
        clock->HasShown = false;
        return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        return OnQueryRefresh(clock, wParam);
    case WM_TODAYCUSTOM_RECEIVEDSELECTION:
        SetSelected(clock, true);
        return TRUE;
    case WM_TODAYCUSTOM_LOSTSELECTION:
        SetSelected(clock, false);
        return 0;
    case WM_LBUTTONDOWN:
        SetSelected(clock, true);
        AnnounceSelection(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        return OnPaint(clock);
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete clock;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

extern "C" HWND InitializeCustomItem(TODAYLISTITEM *ptli, HWND hwndParent)
{
    if (!ptli || !RegisterItemClass(ClockModule, CLOCK_CLASS, ClockWndProc))
        return nullptr;
    ClockItem *clock = new ClockItem;
    WCHAR name[MAX_ITEMNAME];
    lstrcpynW(name, ptli->szName, MAX_ITEMNAME);
    clock->Name = name;
    clock->Lines = ReadItemDword(name, CLOCK_LINES, 2) == 1 ? 1 : 2;
    clock->ShowSeconds = ReadItemDword(name, CLOCK_SHOW_SECONDS, 0) != 0;
    int height = ClockHeight(*clock);
    ptli->cyp = static_cast<DWORD>(height);
    RECT area = {};
    GetClientRect(hwndParent, &area);
    HWND window = CreateWindowExW(0, CLOCK_CLASS, name, WS_CHILD | WS_VISIBLE, 0, 0, area.right, height,
                                  hwndParent, nullptr, ClockModule, clock);
    if (!window) {
        delete clock;
        return nullptr;
    }
    clock->Window = window;
    return window;
}

// The options page: lParam of WM_INITDIALOG is the item's TODAYLISTITEM.
extern "C" BOOL CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT msg, UINT wParam, LONG lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        auto *item = reinterpret_cast<TODAYLISTITEM *>(static_cast<LONG_PTR>(lParam));
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
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ClockModule = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        UnregisterClassW(CLOCK_CLASS, instance);
    }
    return TRUE;
}
