// NimbraProbe: a Today item that logs what its host does to it and behaves as its registry
// values ask, so that the host's layout, polling and unloading can be tested.
#include "plugins/probe/probe.h"
#include "plugins/common/itemkit.h"
#include <map>
#include <vector>

// Where ProbeHostCallAt sends the host call from.
enum { AT_INIT = 1, AT_QUERY = 2, AT_TEARDOWN = 3 };

// One probe item: its window and what it has been told.
struct ProbeItem {
    std::wstring Who;                 // "<name>#<n>": n counts the items of this name, from 1
    std::wstring LogFile;
    HWND Window = nullptr;
    TODAYLISTITEM *Record = nullptr;  // the record given to InitializeCustomItem (compared only)
    int Height = 0;                   // the height last written to cyp
    bool HasPending = false;          // ProbeSetHeight's height waits for the next query
    int Pending = 0;
    DWORD FailDestroy = 0, HostCall = 0, HostCallAt = 0;
    int ClearCaches = 0;
};

static HINSTANCE ProbeModule;
static std::vector<ProbeItem *> LiveItems;       // items with a window, in creation order
static std::vector<std::wstring> ProbeLog;       // "<name>#<n> <event>" since the last ProbeClearLog
static std::map<std::wstring, int> LastSerial;   // per item name, the number of the last item created

static std::wstring Num(long long value)
{
    return std::to_wstring(value);
}

// "Alpha" selects "Alpha#1", "Alpha#2"...; "Alpha#2" only that one; null everything.
static bool Selects(const wchar_t *selector, const std::wstring &who)
{
    if (!selector)
        return true;
    std::wstring text = selector;
    return who == text || who.compare(0, who.rfind(L'#'), text) == 0;
}

static void Log(const std::wstring &who, const std::wstring &logFile, const std::wstring &text)
{
    std::wstring line = who + L" " + text;
    ProbeLog.push_back(line);
    if (logFile.empty())
        return;
    line += L"\r\n";
    std::string utf8(line.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, line.c_str(), (int)line.size(), &utf8[0], (int)utf8.size(), nullptr, nullptr));
    // Opened and closed per line so that another process can read the file at any time.
    HANDLE file = CreateFileW(logFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
    CloseHandle(file);
}

static void Log(const ProbeItem *item, const std::wstring &text)
{
    Log(item->Who, item->LogFile, text);
}

static const wchar_t *RecordTag(const ProbeItem *item, WPARAM wParam)
{
    return reinterpret_cast<TODAYLISTITEM *>(wParam) == item->Record ? L"self" : L"other";
}

// Sends ProbeHostCall once when at is ProbeHostCallAt: a TODAYM_* message to the parent, any
// other to the host's top-level window. The registry value is cleared first, so that items the
// call makes the host create do not call again. item may be gone when this returns.
static void CallHost(ProbeItem *item, HWND parent, DWORD at)
{
    if (!item->HostCall || item->HostCallAt != at)
        return;
    UINT msg = item->HostCall;
    item->HostCall = 0;
    WriteItemDword(item->Who.substr(0, item->Who.rfind(L'#')).c_str(), PROBE_HOST_CALL, 0);
    HWND target = msg < TODAYM_GETTRAYSTYLE ? parent : (HWND)SendMessageW(parent, TODAYM_GETHOSTWINDOW, 0, 0);
    std::wstring who = item->Who, logFile = item->LogFile;
    LRESULT result = SendMessageW(target, msg, 0, 0);
    Log(who, logFile, L"hostcall " + Num(msg) + L" -> " + Num(result));
}

static LRESULT OnClearCache(ProbeItem *item, WPARAM wParam)
{
    Log(item, std::wstring(L"clearcache tli=") + RecordTag(item, wParam));
    if (++item->ClearCaches < 2)
        return 0;
    if (item->FailDestroy)
        DestroyWindow(item->Window);  // frees item
    else
        CallHost(item, GetParent(item->Window), AT_TEARDOWN);
    return 0;
}

static LRESULT OnQueryRefresh(ProbeItem *item, WPARAM wParam)
{
    bool changed = item->HasPending && item->Pending != item->Height;
    if (item->HasPending)
        item->Height = item->Pending;
    item->HasPending = false;
    ReportItemHeight(wParam, item->Height);
    Log(item, std::wstring(L"query tli=") + RecordTag(item, wParam) + L" cyp=" + Num(item->Height) + L" -> " + Num(changed));
    CallHost(item, GetParent(item->Window), AT_QUERY);
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

static void OnNcDestroy(HWND hwnd, ProbeItem *item)
{
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    for (size_t i = 0; i < LiveItems.size(); i++)
        if (LiveItems[i] == item)
            LiveItems.erase(LiveItems.begin() + (long)i);
    delete item;
}

static LRESULT CALLBACK ProbeWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ProbeItem *item = reinterpret_cast<ProbeItem *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_CREATE) {
        item = static_cast<ProbeItem *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        item->Window = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(item));
        LiveItems.push_back(item);
        return 0;
    }
    if (!item)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_TODAYCUSTOM_CLEARCACHE:
        return OnClearCache(item, wParam);
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        return OnQueryRefresh(item, wParam);
    case WM_SHOWWINDOW:
        Log(item, L"show " + Num(wParam));
        return 0;
    case WM_SIZE:
        Log(item, L"size " + Num(LOWORD(lParam)) + L" " + Num(HIWORD(lParam)));
        return 0;
    case WM_MOVE:
        Log(item, L"move " + Num((short)LOWORD(lParam)) + L" " + Num((short)HIWORD(lParam)));
        return 0;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT draws the background
    case WM_PAINT:
        OnPaint(hwnd);
        return 0;
    case WM_DESTROY:
        Log(item, L"destroy");
        return 0;
    case WM_NCDESTROY:
        OnNcDestroy(hwnd, item);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The window is created hidden, at (0, 0), as wide as the parent and cyp high, so that the log
// shows what the host does with it.
extern "C" HWND InitializeCustomItem(TODAYLISTITEM *ptli, HWND hwndParent)
{
    if (!ptli || !RegisterItemClass(ProbeModule, PROBE_CLASS, ProbeWndProc))
        return nullptr;
    std::wstring name = ItemName(ptli);
    ProbeItem *item = new ProbeItem;
    item->Who = name + L"#" + Num(++LastSerial[name]);
    item->Record = ptli;
    item->Height = HasItemValue(name.c_str(), PROBE_HEIGHT) ? (int)ReadItemDword(name.c_str(), PROBE_HEIGHT, 0) : ItemScaleY(20);
    item->FailDestroy = ReadItemDword(name.c_str(), PROBE_FAIL_DESTROY, 0);
    item->HostCall = ReadItemDword(name.c_str(), PROBE_HOST_CALL, 0);
    item->HostCallAt = ReadItemDword(name.c_str(), PROBE_HOST_CALL_AT, 0);
    item->LogFile = ReadItemString(name.c_str(), PROBE_LOG_FILE);
    if (ReadItemDword(name.c_str(), PROBE_FAIL_CREATE, 0)) {
        Log(item, L"init failed");
        delete item;
        return nullptr;
    }
    ptli->cyp = static_cast<DWORD>(item->Height);
    // Before the window exists; the record may be gone afterwards.
    CallHost(item, hwndParent, AT_INIT);
    RECT area = {};
    GetClientRect(hwndParent, &area);
    Log(item, L"init cyp=" + Num(item->Height));
    return CreateWindowExW(WS_EX_NOPARENTNOTIFY, PROBE_CLASS, name.c_str(), WS_CHILD, 0, 0, area.right,
                           item->Height > 0 ? item->Height : 0, hwndParent, nullptr, ProbeModule, item);
}

extern "C" BOOL CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    return NoItemOptions(dialog, msg, wParam);  // the probe has no options page
}

extern "C" int ProbeGetLog(const wchar_t *name, wchar_t *buf, int cap)
{
    std::wstring text;
    for (const std::wstring &line : ProbeLog)
        if (Selects(name, line.substr(0, line.find(L' '))))
            text += line + L"\n";
    if (buf && cap > 0)
        buf[text.copy(buf, text.size() < (size_t)cap ? text.size() : (size_t)cap - 1)] = L'\0';
    return static_cast<int>(text.size());
}

extern "C" void ProbeClearLog(void)
{
    ProbeLog.clear();
}

extern "C" int ProbeCount(const wchar_t *name)
{
    int count = 0;
    for (ProbeItem *item : LiveItems)
        count += Selects(name, item->Who);
    return count;
}

extern "C" int ProbeSetHeight(const wchar_t *name, int height)
{
    int count = 0;
    for (ProbeItem *item : LiveItems) {
        if (!Selects(name, item->Who))
            continue;
        item->Pending = height;
        item->HasPending = true;
        count++;
    }
    return count;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return ItemDllMain(instance, reason, reserved, &ProbeModule, PROBE_CLASS);
}
