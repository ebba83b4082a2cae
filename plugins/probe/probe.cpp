// NimbraProbe: a Today item that logs what its host does to it and behaves as its registry
// values ask, so that the host's layout, polling and unloading can be tested.
#include "plugins/probe/probe.h"
#include "plugins/common/itemkit.h"
#include <stdio.h>

#define PROBE_CLASS L"NimbraProbeItem"

// Where ProbeHostCallAt sends the host call from.
enum { AT_INIT = 1, AT_QUERY, AT_DESTROY, AT_RECEIVED, AT_LOST, AT_NAVIGATE, AT_PAINT, AT_TIMER, AT_TAP, AT_MOVE };
// Bits of ProbeSelect.
enum { SELECT_TAKE = 1, SELECT_CONSUME = 2, SELECT_ANNOUNCE = 4, SELECT_RECLAIM = 8 };

// One probe item, freed with its window.
struct ProbeItem {
    std::wstring Name;
    TODAYLISTITEM *Record;              // the record given to InitializeCustomItem (compared only)
    int Height, Pending;                // cyp last reported, and at the next query
    DWORD HostCall, HostCallAt, HostCallArg, Select;
};

static HINSTANCE ProbeModule;

// Appends "<name> <text>" to the log, opened per line so that any process can read it. The
// tests name their items in ASCII.
static void Log(const std::wstring &name, const std::wstring &text)
{
    FILE *file = _wfopen(PROBE_LOG_PATH, L"ab");
    if (file) fprintf(file, "%ls %ls\r\n", name.c_str(), text.c_str()), fclose(file);
}

// Sends ProbeHostCall when at is ProbeHostCallAt, as ProbeHostCallArg says. A TODAYM_* message
// goes to the parent every time; any other goes to the host's top-level window once (the
// registry value is cleared too, so that items the call makes the host create do not send it
// again) unless PROBE_ARG_EVERY. The item may be gone when this returns.
static void CallHost(ProbeItem *item, HWND parent, DWORD at)
{
    UINT msg = item->HostCall;
    DWORD arg = item->HostCallArg;
    if (!msg || item->HostCallAt != at) return;
    bool toHost = msg > TODAYM_GETHOSTWINDOW;
    if (toHost && !(arg & PROBE_ARG_EVERY)) item->HostCall = 0, WriteItemDword(item->Name.c_str(), PROBE_HOST_CALL, 0);
    const std::wstring name = item->Name;
    HWND target = toHost ? (HWND)SendMessageW(parent, TODAYM_GETHOSTWINDOW, 0, 0) : parent;
    COPYDATASTRUCT copy = {msg, DWORD((name.size() + 1) * sizeof(wchar_t)), (void *)name.c_str()};
    LRESULT result = arg & PROBE_ARG_BOX        ? MessageBoxW(parent, name.c_str(), L"ProbeBox", MB_OK)
                     : arg & PROBE_ARG_COPYDATA ? SendMessageW(target, WM_COPYDATA, 0, (LPARAM)&copy)
                                                : SendMessageW(target, msg, 0, arg & PROBE_ARG_NAME ? (LPARAM)name.c_str() : 0);
    Log(name, L"hostcall " + std::to_wstring(msg) + L" -> " + std::to_wstring(result));
}

// Selection messages are logged as "<message> <wParam> -> <answer>" before any host call.
static LRESULT OnSelection(HWND hwnd, ProbeItem *item, UINT msg, WPARAM wParam)
{
    const bool received = msg == WM_TODAYCUSTOM_RECEIVEDSELECTION;
    LRESULT answer = received ? (item->Select & SELECT_TAKE) != 0 : msg == WM_TODAYCUSTOM_USERNAVIGATION && (item->Select & SELECT_CONSUME);
    const wchar_t *names[] = {L"received ", L"lost ", L"navigate ", L"action "};
    Log(item->Name, names[msg - WM_TODAYCUSTOM_RECEIVEDSELECTION] + std::to_wstring(wParam) + L" -> " + std::to_wstring(answer));
    if (received && (item->Select & SELECT_ANNOUNCE)) SendMessageW(GetParent(hwnd), TODAYM_TOOKSELECTION, (WPARAM)hwnd, 0);
    if (msg == WM_TODAYCUSTOM_LOSTSELECTION && (item->Select & SELECT_RECLAIM)) SendMessageW(GetParent(hwnd), TODAYM_TOOKSELECTION, (WPARAM)hwnd, 0);
    const DWORD at[] = {AT_RECEIVED, AT_LOST, AT_NAVIGATE, 0};
    CallHost(item, GetParent(hwnd), at[msg - WM_TODAYCUSTOM_RECEIVEDSELECTION]);
    return answer;
}

static LRESULT CALLBACK ProbeWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto *item = static_cast<ProbeItem *>(ItemRecord(hwnd, msg, lParam));
    if (!item) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg >= WM_TODAYCUSTOM_RECEIVEDSELECTION && msg <= WM_TODAYCUSTOM_ACTION) return OnSelection(hwnd, item, msg, wParam);
    // "tli=self" when the host passes the record it gave InitializeCustomItem.
    std::wstring record = wParam == (WPARAM)item->Record ? L" tli=self" : L" tli=other";
    switch (msg) {
    case WM_TODAYCUSTOM_CLEARCACHE:
        Log(item->Name, L"clearcache" + record);
        return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE: {
        bool changed = item->Pending != item->Height;
        ReportItemHeight(wParam, item->Height = item->Pending);
        Log(item->Name, L"query" + record + L" cyp=" + std::to_wstring(item->Height) + L" -> " + std::to_wstring(changed));
        CallHost(item, GetParent(hwnd), AT_QUERY);   // the item may be gone afterwards
        return changed;
    }
    case PROBE_SET_HEIGHT:
        item->Pending = (int)wParam;
        return 0;
    case WM_SHOWWINDOW:
        Log(item->Name, L"show " + std::to_wstring(wParam));
        break;
    case WM_PAINT:   // the host's background; the class has no brush to erase with
        PaintItemLines(hwnd, false, {});
        CallHost(item, GetParent(hwnd), AT_PAINT);
        return 0;
    case WM_TIMER:
    case WM_LBUTTONDOWN:
    case WM_MOVE:
        CallHost(item, GetParent(hwnd), msg == WM_TIMER ? AT_TIMER : msg == WM_MOVE ? AT_MOVE : AT_TAP);
        return 0;
    case WM_DESTROY:
        Log(item->Name, L"destroy");
        CallHost(item, GetParent(hwnd), AT_DESTROY);
        break;
    case WM_NCDESTROY:
        delete item;
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The window is made hidden, at (0, 0), without width and cyp high: the host shows and places it.
extern "C" HWND InitializeCustomItem(TODAYLISTITEM *ptli, HWND hwndParent)
{
    if (!ptli || !RegisterItemClass(ProbeModule, PROBE_CLASS, ProbeWndProc)) return nullptr;
    const std::wstring name = ItemName(ptli);
    const wchar_t *key = name.c_str();
    if (ReadItemDword(key, PROBE_FAIL_CREATE, 0)) return nullptr;
    DWORD other = ReadItemDword(key, PROBE_WINDOW, 0);
    if (other > 1) return (HWND)(ULONG_PTR)other;
    int height = (int)ReadItemDword(key, PROBE_HEIGHT, ItemScaleY(20));
    auto *item = new ProbeItem{name, ptli, height, height, ReadItemDword(key, PROBE_HOST_CALL, 0), ReadItemDword(key, PROBE_HOST_CALL_AT, 0),
                               ReadItemDword(key, PROBE_HOST_CALL_ARG, 0), ReadItemDword(key, PROBE_SELECT, 0)};
    ptli->cyp = static_cast<DWORD>(height);
    CallHost(item, hwndParent, AT_INIT);   // before the window exists; the record may be gone afterwards
    Log(name, L"init cyp=" + std::to_wstring(height));
    HWND window = CreateWindowExW(0, PROBE_CLASS, key, WS_CHILD, 0, 0, 0, height, hwndParent, nullptr, ProbeModule, item);
    if (window && item->HostCallAt == AT_TIMER) SetTimer(window, 1, 50, nullptr);
    if (other == 1) ptli->hwndCustom = window;   // as items written for the device do
    return window;
}

extern "C" BOOL CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    return NoItemOptions(dialog, msg, wParam);   // the probe has no options page
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return ItemDllMain(instance, reason, reserved, &ProbeModule, PROBE_CLASS);
}
