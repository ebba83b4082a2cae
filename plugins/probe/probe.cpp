// NimbraProbe: a Today item that logs every message it receives and behaves as its registry
// values ask, so that the host's layout, polling, selection and unloading can be tested.
#include "plugins/probe/probe.h"
#include "plugins/common/itemkit.h"
#include <map>
#include <memory>
#include <string>
#include <vector>

#define PROBE_TIMER 1
// Posted by ProbeDestroyStranded to a window that lives on the probe's own thread.
#define PM_DESTROYSELF (WM_APP + 1)

// Behaviour read from the item's registry key; the DWORD ones can be changed at run time.
struct ProbeOptions {
    bool HasHeight = false;
    int Height = 0;
    std::vector<int> Sequence;
    DWORD HeightTimer = 0;
    DWORD RefreshOnTimer = 0;
    DWORD AlwaysRefresh = 0;
    DWORD RefreshInQuery = 0;
    DWORD AcceptSelection = 1;
    DWORD ConsumeKeys = 0;
    DWORD ConsumeCount = 0;
    DWORD TakeOnTap = 0;
    DWORD TakeInReceived = 0;
    DWORD FailCreate = 0;
    DWORD FailDestroy = 0;
    DWORD FillColor = CLR_INVALID;
    DWORD DrawText = 1;
    std::wstring LogFile;
};

// The DWORD options by registry name: read at creation and changed by ProbeSetOption.
struct DwordOption {
    const wchar_t *Name;
    DWORD ProbeOptions::*Field;
};
static const DwordOption DwordOptions[] = {
    {PROBE_HEIGHT_TIMER, &ProbeOptions::HeightTimer},
    {PROBE_REFRESH_ON_TIMER, &ProbeOptions::RefreshOnTimer},
    {PROBE_ALWAYS_REFRESH, &ProbeOptions::AlwaysRefresh},
    {PROBE_REFRESH_IN_QUERY, &ProbeOptions::RefreshInQuery},
    {PROBE_ACCEPT_SELECTION, &ProbeOptions::AcceptSelection},
    {PROBE_CONSUME_KEYS, &ProbeOptions::ConsumeKeys},
    {PROBE_CONSUME_COUNT, &ProbeOptions::ConsumeCount},
    {PROBE_TAKE_ON_TAP, &ProbeOptions::TakeOnTap},
    {PROBE_TAKE_IN_RECEIVED, &ProbeOptions::TakeInReceived},
    {PROBE_FAIL_CREATE, &ProbeOptions::FailCreate},
    {PROBE_FAIL_DESTROY, &ProbeOptions::FailDestroy},
    {PROBE_FILL_COLOR, &ProbeOptions::FillColor},
    {PROBE_DRAW_TEXT, &ProbeOptions::DrawText},
};

// One probe item: its window and what it has been told.
struct ProbeItem {
    std::wstring Name;
    int Serial = 0;                 // 1 for the first item of this name, 2 for the second...
    HWND Window = nullptr;
    TODAYLISTITEM *Record = nullptr; // the record given to InitializeCustomItem (compared, not trusted later)
    ProbeOptions Options;
    int Height = 0;                 // the height last written to cyp
    bool HasPending = false;        // a height waits for the next query
    int Pending = 0;
    size_t SequenceNext = 0;        // next entry of Options.Sequence
    bool Selected = false;
    bool InQuery = false;           // inside QUERYREFRESHCACHE: a nested one sends no refresh
    int ClearCaches = 0;
    DWORD Consumed = 0;             // keys consumed since the selection came in
    COLORREF LastColor[3] = {CLR_INVALID, CLR_INVALID, CLR_INVALID};
    bool OwnThread = false;         // the window lives on a thread of the probe
};

struct LogEntry {
    std::wstring Name;
    int Serial;
    std::wstring Text;
};

static HINSTANCE ProbeModule;               // this DLL
static CRITICAL_SECTION ProbeLock;          // guards the three containers below (items may live on probe threads)
static std::vector<ProbeItem *> LiveItems;  // items with a window, in creation order
static std::vector<LogEntry> ProbeLog;      // every line logged since the last ProbeClearLog
static std::map<std::wstring, int> LastSerial; // per item name, the serial of the last item created

static const DWORD ColorIndices[3] = {TODAYCOLOR_TEXT, TODAYCOLOR_HIGHLIGHT, TODAYCOLOR_HIGHLIGHTEDTEXT};

static std::wstring Hex(ULONG_PTR value)
{
    wchar_t digits[2 + 16 + 1];
    wsprintfW(digits, L"0x%IX", value);
    return digits;
}

static std::wstring Num(long long value)
{
    return std::to_wstring(value);
}

static const wchar_t *RecordTag(const ProbeItem *item, WPARAM wParam)
{
    if (wParam == 0)
        return L"null";
    return reinterpret_cast<TODAYLISTITEM *>(wParam) == item->Record ? L"self" : L"other";
}

static void AppendToFile(const std::wstring &path, const std::wstring &line)
{
    std::wstring full = line + L"\r\n";
    int bytes = WideCharToMultiByte(CP_UTF8, 0, full.c_str(), static_cast<int>(full.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, full.c_str(), static_cast<int>(full.size()), &utf8[0], bytes, nullptr, nullptr);
    // Opened and closed per line so that another process can read the file at any time.
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
}

static void Log(const ProbeItem *item, const std::wstring &text)
{
    EnterCriticalSection(&ProbeLock);
    ProbeLog.push_back({item->Name, item->Serial, text});
    LeaveCriticalSection(&ProbeLock);
    if (!item->Options.LogFile.empty())
        AppendToFile(item->Options.LogFile, item->Name + L"#" + Num(item->Serial) + L" " + text);
}

// "Alpha" selects every item named Alpha, "Alpha#2" the second one, null everything.
static bool Selects(const wchar_t *selector, const std::wstring &name, int serial)
{
    if (!selector)
        return true;
    std::wstring text = selector;
    if (text == name)
        return true;
    size_t hash = text.rfind(L'#');
    if (hash == std::wstring::npos || hash + 1 >= text.size())
        return false;
    for (size_t i = hash + 1; i < text.size(); i++)
        if (text[i] < L'0' || text[i] > L'9')
            return false;
    return text.compare(0, hash, name) == 0 && _wtoi(text.c_str() + hash + 1) == serial;
}

static std::vector<ProbeItem *> SelectedItems(const wchar_t *selector)
{
    std::vector<ProbeItem *> found;
    EnterCriticalSection(&ProbeLock);
    for (ProbeItem *item : LiveItems)
        if (Selects(selector, item->Name, item->Serial))
            found.push_back(item);
    LeaveCriticalSection(&ProbeLock);
    return found;
}

static std::vector<int> ParseHeights(const std::wstring &text)
{
    std::vector<int> heights;
    const wchar_t *p = text.c_str();
    while (*p) {
        wchar_t *end = nullptr;
        long value = wcstol(p, &end, 10);
        if (end == p) {
            p++;  // separators and stray characters
            continue;
        }
        heights.push_back(static_cast<int>(value));
        p = end;
    }
    return heights;
}

static ProbeOptions ReadOptions(const wchar_t *name)
{
    ProbeOptions options;
    for (const DwordOption &option : DwordOptions)
        options.*option.Field = ReadItemDword(name, option.Name, options.*option.Field);
    options.HasHeight = HasItemValue(name, PROBE_HEIGHT);
    options.Height = static_cast<int>(ReadItemDword(name, PROBE_HEIGHT, 0));
    if (HasItemValue(name, PROBE_NEXT_HEIGHT))
        options.Sequence.push_back(static_cast<int>(ReadItemDword(name, PROBE_NEXT_HEIGHT, 0)));
    for (int height : ParseHeights(ReadItemString(name, PROBE_HEIGHT_SEQUENCE)))
        options.Sequence.push_back(height);
    options.LogFile = ReadItemString(name, PROBE_LOG_FILE);
    return options;
}

static void SendRefresh(ProbeItem *item)
{
    LRESULT result = SendMessageW(GetParent(item->Window), TODAYM_REQUESTREFRESH, 0, 0);
    Log(item, L"refresh -> " + Num(result));
}

static void SendTookSelection(ProbeItem *item)
{
    LRESULT result = SendMessageW(GetParent(item->Window), TODAYM_TOOKSELECTION,
                                  reinterpret_cast<WPARAM>(item->Window), 0);
    Log(item, L"took -> " + Num(result));
}

static LRESULT OnCreate(HWND hwnd, const CREATESTRUCTW *create)
{
    ProbeItem *item = static_cast<ProbeItem *>(create->lpCreateParams);
    item->Window = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(item));
    // The timer is set here because only the window's own thread may set it.
    if (item->Options.HeightTimer)
        SetTimer(hwnd, PROBE_TIMER, item->Options.HeightTimer, nullptr);
    Log(item, L"create");
    return 0;
}

static LRESULT OnClearCache(ProbeItem *item, WPARAM wParam)
{
    item->ClearCaches++;
    Log(item, std::wstring(L"clearcache tli=") + RecordTag(item, wParam));
    if (item->Options.FailDestroy == 2 && item->ClearCaches >= 2)
        DestroyWindow(item->Window);  // frees item: nothing may touch it afterwards
    return 0;
}

static LRESULT OnQueryRefresh(ProbeItem *item, WPARAM wParam)
{
    int height = item->Height;
    if (item->HasPending) {
        height = item->Pending;
        item->HasPending = false;
    } else if (!item->Options.HeightTimer && item->SequenceNext < item->Options.Sequence.size()) {
        height = item->Options.Sequence[item->SequenceNext++];
    }
    bool changed = height != item->Height;
    item->Height = height;
    ReportItemHeight(wParam, height);
    if (item->Options.RefreshInQuery > 0 && !item->InQuery) {
        item->Options.RefreshInQuery--;
        item->InQuery = true;
        SendRefresh(item);
        item->InQuery = false;
    }
    BOOL answer = changed || item->Options.AlwaysRefresh;
    Log(item, std::wstring(L"query tli=") + RecordTag(item, wParam) + L" cyp=" + Num(height) + L" -> " + Num(answer));
    return answer;
}

static LRESULT OnReceivedSelection(ProbeItem *item, WPARAM key, LPARAM lParam)
{
    if (item->Options.TakeInReceived)
        SendTookSelection(item);
    BOOL answer = item->Options.AcceptSelection != 0;
    if (answer) {
        item->Selected = true;
        item->Consumed = 0;
    }
    Log(item, L"received key=" + Num(key) + L" lparam=" + Hex(lParam) + L" -> " + Num(answer));
    return answer;
}

static LRESULT OnLostSelection(ProbeItem *item, WPARAM wParam, LPARAM lParam)
{
    item->Selected = false;
    Log(item, L"lost w=" + Num(wParam) + L" l=" + Num(lParam));
    return 0;
}

static LRESULT OnUserNavigation(ProbeItem *item, WPARAM key, LPARAM lParam)
{
    DWORD bit = key >= VK_LEFT && key <= VK_DOWN ? 1u << (key - VK_LEFT) : 0;
    BOOL consume = (item->Options.ConsumeKeys & bit) != 0 &&
                   (item->Options.ConsumeCount == 0 || item->Consumed < item->Options.ConsumeCount);
    if (consume)
        item->Consumed++;
    Log(item, L"nav key=" + Num(key) + L" lparam=" + Hex(lParam) + L" -> " + Num(consume));
    return consume;
}

static LRESULT OnAction(ProbeItem *item, WPARAM key, LPARAM lParam)
{
    Log(item, L"action key=" + Num(key) + L" lparam=" + Hex(lParam));
    return 0;
}

static LRESULT OnTap(ProbeItem *item, LPARAM lParam)
{
    Log(item, L"tap " + Num(static_cast<short>(LOWORD(lParam))) + L" " + Num(static_cast<short>(HIWORD(lParam))));
    if (item->Options.TakeOnTap) {
        item->Selected = true;
        SendTookSelection(item);
        InvalidateRect(item->Window, nullptr, TRUE);
    }
    return 0;
}

static LRESULT OnTimer(ProbeItem *item, WPARAM id)
{
    if (id != PROBE_TIMER)
        return 0;
    if (item->SequenceNext >= item->Options.Sequence.size()) {
        KillTimer(item->Window, PROBE_TIMER);
        return 0;
    }
    item->Pending = item->Options.Sequence[item->SequenceNext++];
    item->HasPending = true;
    Log(item, L"tick next=" + Num(item->Pending));
    if (item->Options.RefreshOnTimer)
        SendRefresh(item);
    return 0;
}

static LRESULT OnPaint(ProbeItem *item)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(item->Window, &ps);
    RECT client;
    GetClientRect(item->Window, &client);
    for (int i = 0; i < 3; i++)
        item->LastColor[i] = HostColor(item->Window, ColorIndices[i]);
    LRESULT watermark = 0;
    COLORREF text;
    if (item->Options.FillColor != CLR_INVALID && !item->Selected) {
        HBRUSH fill = CreateSolidBrush(item->Options.FillColor);
        FillRect(hdc, &client, fill);
        DeleteObject(fill);
        text = item->LastColor[0];
    } else {
        text = PaintItemBackground(item->Window, hdc, client, item->Selected, &watermark);
    }
    if (item->Options.DrawText) {
        HFONT font = CreateItemFont(11, false);
        HGDIOBJ old = SelectObject(hdc, font);
        SetTextColor(hdc, text);
        DrawItemLine(hdc, client, 0, item->Name + L"#" + Num(item->Serial) + L" " + Num(item->Height));
        SelectObject(hdc, old);
        DeleteObject(font);
    }
    EndPaint(item->Window, &ps);
    Log(item, L"paint " + Num(ps.rcPaint.left) + L" " + Num(ps.rcPaint.top) + L" " + Num(ps.rcPaint.right) + L" " +
                  Num(ps.rcPaint.bottom) + L" text=" + Hex(text) + L" watermark=" + Num(watermark) +
                  L" sel=" + Num(item->Selected));
    return 0;
}

static void OnNcDestroy(ProbeItem *item)
{
    EnterCriticalSection(&ProbeLock);
    for (size_t i = 0; i < LiveItems.size(); i++)
        if (LiveItems[i] == item)
            LiveItems.erase(LiveItems.begin() + static_cast<long>(i));
    LeaveCriticalSection(&ProbeLock);
    if (item->OwnThread)
        PostQuitMessage(0);
    delete item;
}

static LRESULT CALLBACK ProbeWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CREATE)
        return OnCreate(hwnd, reinterpret_cast<CREATESTRUCTW *>(lParam));
    ProbeItem *item = reinterpret_cast<ProbeItem *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!item)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_TODAYCUSTOM_CLEARCACHE:
        return OnClearCache(item, wParam);
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        return OnQueryRefresh(item, wParam);
    case WM_TODAYCUSTOM_RECEIVEDSELECTION:
        return OnReceivedSelection(item, wParam, lParam);
    case WM_TODAYCUSTOM_LOSTSELECTION:
        return OnLostSelection(item, wParam, lParam);
    case WM_TODAYCUSTOM_USERNAVIGATION:
        return OnUserNavigation(item, wParam, lParam);
    case WM_TODAYCUSTOM_ACTION:
        return OnAction(item, wParam, lParam);
    case WM_SHOWWINDOW:
        Log(item, L"show " + Num(wParam));
        return 0;
    case WM_SIZE:
        Log(item, L"size " + Num(LOWORD(lParam)) + L" " + Num(HIWORD(lParam)));
        return 0;
    case WM_MOVE:
        Log(item, L"move " + Num(static_cast<short>(LOWORD(lParam))) + L" " + Num(static_cast<short>(HIWORD(lParam))));
        return 0;
    case WM_ERASEBKGND:
        Log(item, L"erase");
        return 1;
    case WM_PAINT:
        return OnPaint(item);
    case WM_LBUTTONDOWN:
        return OnTap(item, lParam);
    case WM_TIMER:
        return OnTimer(item, wParam);
    case PM_DESTROYSELF:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, PROBE_TIMER);
        Log(item, L"destroy");
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        OnNcDestroy(item);
        return 0;
    }
    if (msg >= WM_USER)
        Log(item, L"msg " + Hex(msg) + L" w=" + Hex(wParam) + L" l=" + Hex(lParam));
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

static HWND CreateProbeWindow(ProbeItem *item, HWND parent)
{
    RECT area = {};
    GetClientRect(parent, &area);
    return CreateWindowExW(WS_EX_NOPARENTNOTIFY, PROBE_CLASS, item->Name.c_str(), WS_CHILD, 0, 0, area.right,
                           item->Height > 0 ? item->Height : 0, parent, nullptr, ProbeModule, item);
}

// A window on a thread of the probe's own: the host's thread cannot destroy it.
struct ThreadStart {
    ProbeItem *Item;
    HWND Parent;
    HANDLE Ready;
    HWND Window;
};

static DWORD WINAPI ProbeThread(void *param)
{
    ThreadStart *start = static_cast<ThreadStart *>(param);
    HWND window = CreateProbeWindow(start->Item, start->Parent);
    start->Window = window;
    SetEvent(start->Ready);  // start belongs to the creator from here on
    if (window) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The thread holds its own reference to the DLL so that the host's FreeLibrary cannot
    // unmap the code this loop runs in.
    FreeLibraryAndExitThread(ProbeModule, 0);
}

static HWND CreateOnOwnThread(ProbeItem *item, HWND parent)
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ProbeThread), &self))
        return nullptr;
    ThreadStart start = {item, parent, CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
    HANDLE thread = start.Ready ? CreateThread(nullptr, 0, ProbeThread, &start, 0, nullptr) : nullptr;
    if (!thread) {
        if (start.Ready)
            CloseHandle(start.Ready);
        FreeLibrary(self);
        return nullptr;
    }
    // Creating a child sends messages to the parent's thread, which is this one: keep
    // handling sent messages while waiting.
    while (MsgWaitForMultipleObjects(1, &start.Ready, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(start.Ready);
    CloseHandle(thread);
    return start.Window;
}

extern "C" HWND InitializeCustomItem(TODAYLISTITEM *ptli, HWND hwndParent)
{
    if (!ptli || !RegisterItemClass(ProbeModule, PROBE_CLASS, ProbeWndProc))
        return nullptr;
    auto item = std::make_unique<ProbeItem>();
    item->Name = ItemName(ptli);
    item->Record = ptli;
    item->Options = ReadOptions(item->Name.c_str());
    EnterCriticalSection(&ProbeLock);
    item->Serial = ++LastSerial[item->Name];
    LeaveCriticalSection(&ProbeLock);
    if (item->Options.FailCreate) {
        Log(item.get(), L"init failed");
        return nullptr;
    }
    item->Height = item->Options.HasHeight ? item->Options.Height : ItemScaleY(20);
    ptli->cyp = static_cast<DWORD>(item->Height);
    ProbeItem *live = item.get();
    // Listed before the window exists, so that its first messages can be steered.
    EnterCriticalSection(&ProbeLock);
    LiveItems.push_back(live);
    LeaveCriticalSection(&ProbeLock);
    live->OwnThread = live->Options.FailDestroy == 1;
    HWND window = live->OwnThread ? CreateOnOwnThread(live, hwndParent) : CreateProbeWindow(live, hwndParent);
    if (!window) {
        Log(live, L"init nowindow");
        EnterCriticalSection(&ProbeLock);
        LiveItems.pop_back();
        LeaveCriticalSection(&ProbeLock);
        return nullptr;
    }
    item.release();  // the window owns it now (freed at WM_NCDESTROY)
    Log(live, L"init parent=" + Hex(reinterpret_cast<ULONG_PTR>(hwndParent)) + L" cyp=" + Num(live->Height) +
                  L" thread=" + Num(live->OwnThread));
    return window;
}

extern "C" BOOL CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT msg, UINT wParam, LONG lParam)
{
    (void)lParam;
    // The probe has no options page: close whatever dialog it is given.
    return NoItemOptions(dialog, msg, wParam);
}

extern "C" int ProbeGetLog(const wchar_t *name, wchar_t *buf, int cap)
{
    std::wstring text;
    EnterCriticalSection(&ProbeLock);
    for (const LogEntry &entry : ProbeLog)
        if (Selects(name, entry.Name, entry.Serial))
            text += entry.Name + L"#" + Num(entry.Serial) + L" " + entry.Text + L"\n";
    LeaveCriticalSection(&ProbeLock);
    if (buf && cap > 0) {
        size_t count = text.size() < static_cast<size_t>(cap) ? text.size() : static_cast<size_t>(cap) - 1;
        text.copy(buf, count);
        buf[count] = L'\0';
    }
    return static_cast<int>(text.size());
}

extern "C" void ProbeClearLog(void)
{
    EnterCriticalSection(&ProbeLock);
    ProbeLog.clear();
    LeaveCriticalSection(&ProbeLock);
}

extern "C" int ProbeCount(const wchar_t *name)
{
    return static_cast<int>(SelectedItems(name).size());
}

extern "C" HWND ProbeWindow(const wchar_t *name)
{
    std::vector<ProbeItem *> items = SelectedItems(name);
    return items.empty() ? nullptr : items[0]->Window;
}

extern "C" int ProbeSetHeight(const wchar_t *name, int height)
{
    std::vector<ProbeItem *> items = SelectedItems(name);
    for (ProbeItem *item : items) {
        item->Pending = height;
        item->HasPending = true;
    }
    return static_cast<int>(items.size());
}

extern "C" int ProbeSetOption(const wchar_t *name, const wchar_t *option, DWORD value)
{
    for (const DwordOption &known : DwordOptions) {
        if (lstrcmpW(known.Name, option) != 0)
            continue;
        std::vector<ProbeItem *> items = SelectedItems(name);
        for (ProbeItem *item : items)
            item->Options.*known.Field = value;
        return static_cast<int>(items.size());
    }
    return 0;
}

extern "C" LRESULT ProbeQueryHost(const wchar_t *name, UINT msg, WPARAM wParam, LPARAM lParam)
{
    std::vector<ProbeItem *> items = SelectedItems(name);
    if (items.empty())
        return -1;
    LRESULT result = SendMessageW(GetParent(items[0]->Window), msg, wParam, lParam);
    Log(items[0], L"host msg=" + Num(msg) + L" -> " + Num(result));
    return result;
}

extern "C" COLORREF ProbeGetLastColor(const wchar_t *name, DWORD index)
{
    std::vector<ProbeItem *> items = SelectedItems(name);
    for (int i = 0; i < 3 && !items.empty(); i++)
        if (ColorIndices[i] == index)
            return items[0]->LastColor[i];
    return CLR_INVALID;
}

extern "C" int ProbeDestroyStranded(void)
{
    int asked = 0;
    for (ProbeItem *item : SelectedItems(nullptr))
        if (item->OwnThread && PostMessageW(item->Window, PM_DESTROYSELF, 0, 0))
            asked++;
    return asked;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
        InitializeCriticalSection(&ProbeLock);
    ItemDllMain(instance, reason, reserved, &ProbeModule, PROBE_CLASS);
    if (reason == DLL_PROCESS_DETACH)
        DeleteCriticalSection(&ProbeLock);
    return TRUE;
}
