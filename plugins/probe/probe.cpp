// NimbraProbe: a Today item that logs what its host does to it and behaves as its registry
// values ask, so that the host's layout, polling and unloading can be tested.
#include "plugins/probe/probe.h"
#include "plugins/common/itemkit.h"
#include <map>

#define PROBE_CLASS L"NimbraProbeItem"

// Where ProbeHostCallAt sends the host call from.
enum { AT_INIT = 1, AT_QUERY = 2, AT_TEARDOWN = 3 };

// One probe item, freed with its window.
struct ProbeItem {
    std::wstring Name;
    std::wstring Who;         // "<name>#<n>": n counts the items of this name from 1
    TODAYLISTITEM *Record;    // the record given to InitializeCustomItem (compared only)
    int Height, Pending;      // cyp last reported, and at the next query
    DWORD FailDestroy, HostCall, HostCallAt;
    int ClearCaches;
};

static HINSTANCE ProbeModule;
static std::map<std::wstring, int> LastSerial;   // per item name, the number of the last item made

static std::wstring Num(long long value)
{
    return std::to_wstring(value);
}

// Appends "<who> <text>" to the log, opened per line so that any process can read it.
static void Log(const std::wstring &who, const std::wstring &text)
{
    std::wstring line = who + L" " + text + L"\r\n";
    std::string utf8(line.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, line.c_str(), (int)line.size(), &utf8[0], (int)utf8.size(), nullptr, nullptr));
    HANDLE file = CreateFileW(PROBE_LOG_PATH, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
    CloseHandle(file);
}

static std::wstring RecordTag(const ProbeItem *item, WPARAM wParam)
{
    return reinterpret_cast<TODAYLISTITEM *>(wParam) == item->Record ? L"self" : L"other";
}

// Sends ProbeHostCall when at is ProbeHostCallAt, once (the registry value is cleared too, so
// that items the call makes the host create do not send it again): a TODAYM_* message to the
// parent, any other to the host's top-level window. The item may be gone when this returns.
static void CallHost(ProbeItem *item, HWND parent, DWORD at)
{
    if (!item->HostCall || item->HostCallAt != at)
        return;
    UINT msg = item->HostCall;
    item->HostCall = 0;
    WriteItemDword(item->Name.c_str(), PROBE_HOST_CALL, 0);
    std::wstring who = item->Who;
    HWND target = msg < TODAYM_GETTRAYSTYLE ? parent : (HWND)SendMessageW(parent, TODAYM_GETHOSTWINDOW, 0, 0);
    LRESULT result = SendMessageW(target, msg, 0, 0);
    Log(who, L"hostcall " + Num(msg) + L" -> " + Num(result));
}

static LRESULT OnClearCache(HWND hwnd, ProbeItem *item, WPARAM wParam)
{
    Log(item->Who, L"clearcache tli=" + RecordTag(item, wParam));
    if (++item->ClearCaches < 2)
        return 0;
    if (item->FailDestroy)
        DestroyWindow(hwnd);  // frees item: the host's DestroyWindow then fails
    else
        CallHost(item, GetParent(hwnd), AT_TEARDOWN);
    return 0;
}

static LRESULT OnQueryRefresh(HWND hwnd, ProbeItem *item, WPARAM wParam)
{
    bool changed = item->Pending != item->Height;
    item->Height = item->Pending;
    ReportItemHeight(wParam, item->Height);
    Log(item->Who, L"query tli=" + RecordTag(item, wParam) + L" cyp=" + Num(item->Height) + L" -> " + Num(changed));
    CallHost(item, GetParent(hwnd), AT_QUERY);
    return changed;
}

static void OnPaint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    PaintItemBackground(hwnd, dc, client, false);
    EndPaint(hwnd, &ps);
}

static LRESULT CALLBACK ProbeWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto *item = reinterpret_cast<ProbeItem *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, (LONG_PTR)reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
    if (!item)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_TODAYCUSTOM_CLEARCACHE:
        return OnClearCache(hwnd, item, wParam);
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        return OnQueryRefresh(hwnd, item, wParam);
    case PROBE_SET_HEIGHT:
        item->Pending = (int)wParam;
        return 0;
    case WM_SHOWWINDOW:
        Log(item->Who, L"show " + Num(wParam));
        return 0;
    case WM_SIZE:
        Log(item->Who, L"size " + Num(LOWORD(lParam)) + L" " + Num(HIWORD(lParam)));
        return 0;
    case WM_MOVE:
        Log(item->Who, L"move " + Num((short)LOWORD(lParam)) + L" " + Num((short)HIWORD(lParam)));
        return 0;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT draws the background
    case WM_PAINT:
        OnPaint(hwnd);
        return 0;
    case WM_DESTROY:
        Log(item->Who, L"destroy");
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete item;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The window is made hidden, at (0, 0), as wide as the parent and cyp high, so that the log
// shows what the host does with it.
extern "C" HWND InitializeCustomItem(TODAYLISTITEM *ptli, HWND hwndParent)
{
    if (!ptli || !RegisterItemClass(ProbeModule, PROBE_CLASS, ProbeWndProc))
        return nullptr;
    std::wstring name = ItemName(ptli);
    const wchar_t *key = name.c_str();
    if (ReadItemDword(key, PROBE_FAIL_CREATE, 0))
        return nullptr;
    int height = HasItemValue(key, PROBE_HEIGHT) ? (int)ReadItemDword(key, PROBE_HEIGHT, 0) : ItemScaleY(20);
    auto *item = new ProbeItem{name, name + L"#" + Num(++LastSerial[name]), ptli, height, height,
                               ReadItemDword(key, PROBE_FAIL_DESTROY, 0), ReadItemDword(key, PROBE_HOST_CALL, 0),
                               ReadItemDword(key, PROBE_HOST_CALL_AT, 0), 0};
    ptli->cyp = static_cast<DWORD>(height);
    CallHost(item, hwndParent, AT_INIT);  // before the window exists; the record may be gone afterwards
    Log(item->Who, L"init cyp=" + Num(height));
    RECT area = {};
    GetClientRect(hwndParent, &area);
    return CreateWindowExW(WS_EX_NOPARENTNOTIFY, PROBE_CLASS, key, WS_CHILD, 0, 0, area.right, height, hwndParent,
                           nullptr, ProbeModule, item);
}

extern "C" BOOL CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    return NoItemOptions(dialog, msg, wParam);  // the probe has no options page
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return ItemDllMain(instance, reason, reserved, &ProbeModule, PROBE_CLASS);
}
