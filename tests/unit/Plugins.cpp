// Nimbra's own Today items, driven by a stand-in host window of the test's own: the probe's
// log and options, and what the sample items draw and how they size themselves.
#include "support/testing.h"
#include "items/todayitem.h"
#include "plugins/probe/probe.h"
#include <gmock/gmock.h>
#include <sstream>

namespace {

const wchar_t *const PluginFolder = L"C:\\Program Files\\Nimbra\\plugins\\";
const wchar_t *const ItemsKey = L"Software\\Microsoft\\Today\\Items\\";

const COLORREF HostText = RGB(255, 0, 0);
const COLORREF HostHighlight = RGB(0, 160, 0);
const COLORREF HostHighlightText = RGB(255, 255, 0);
const COLORREF HostWatermark = RGB(0, 0, 255);

// What the stand-in host was asked, for the items' messages to their parent.
struct HostRecord {
    int Refreshes = 0;
    int Watermarks = 0;
    HWND TookSelection = nullptr;
    HWND NestedQueryTarget = nullptr;  // REQUESTREFRESH then queries this item, as a layout pass does
    TODAYLISTITEM *NestedQueryRecord = nullptr;
};
HostRecord Host;

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case TODAYM_GETCOLOR:
        return wParam == TODAYCOLOR_TEXT ? HostText
             : wParam == TODAYCOLOR_HIGHLIGHT ? HostHighlight
             : wParam == TODAYCOLOR_HIGHLIGHTEDTEXT ? HostHighlightText : 0;
    case TODAYM_DRAWWATERMARK: {
        auto *info = reinterpret_cast<TODAYDRAWWATERMARKINFO *>(lParam);
        if (!info) return 0;
        HBRUSH brush = CreateSolidBrush(HostWatermark);
        FillRect(info->hdc, &info->rc, brush);
        DeleteObject(brush);
        Host.Watermarks++;
        return 1;
    }
    case TODAYM_TOOKSELECTION:
        Host.TookSelection = reinterpret_cast<HWND>(wParam);
        return 1;
    case TODAYM_REQUESTREFRESH:
        Host.Refreshes++;
        if (Host.NestedQueryTarget)
            SendMessageW(Host.NestedQueryTarget, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                         reinterpret_cast<WPARAM>(Host.NestedQueryRecord), 0);
        return 1;
    case WM_ERASEBKGND:
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::wstring PluginPath(const wchar_t *dll)
{
    return std::wstring(PluginFolder) + dll + L".dll";
}

// Registers an item under the Today items key with the given DWORD values.
void RegisterItem(const std::wstring &name, const wchar_t *dll,
                  std::initializer_list<std::pair<const wchar_t *, DWORD>> values = {})
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (ItemsKey + name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    std::wstring path = PluginPath(dll);
    RegSetValueExW(key, L"DLL", 0, REG_SZ, reinterpret_cast<const BYTE *>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    for (auto &value : values)
        RegSetValueExW(key, value.first, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value.second), sizeof(DWORD));
    RegCloseKey(key);
}

DWORD ReadItemValue(const std::wstring &name, const wchar_t *value)
{
    DWORD data = 0xFFFFFFFF, size = sizeof data;
    RegGetValueW(HKEY_LOCAL_MACHINE, (ItemsKey + name).c_str(), value, RRF_RT_REG_DWORD, nullptr, &data, &size);
    return data;
}

void SetItemString(const std::wstring &name, const wchar_t *value, const std::wstring &data)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (ItemsKey + name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// The events of a probe log ("Alpha#1 query tli=self ..." gives "query"), in order.
std::vector<std::wstring> Events(const std::wstring &log)
{
    std::vector<std::wstring> events;
    std::wistringstream lines(log);
    std::wstring tag, event, rest;
    while (lines >> tag >> event) {
        events.push_back(event);
        std::getline(lines, rest);
    }
    return events;
}

// Lines of a log that start with the given event, without the item tag.
std::vector<std::wstring> Lines(const std::wstring &log, const std::wstring &event)
{
    std::vector<std::wstring> found;
    std::wistringstream lines(log);
    std::wstring line;
    while (std::getline(lines, line)) {
        size_t space = line.find(L' ');
        std::wstring body = line.substr(space + 1);
        if (body.compare(0, event.size() + 1, event + L" ") == 0 || body == event)
            found.push_back(body);
    }
    return found;
}

int CountColor(HWND window, const RECT &area, COLORREF wanted)
{
    HDC dc = GetDC(window);
    int count = 0;
    for (int y = area.top; y < area.bottom; y++)
        for (int x = area.left; x < area.right; x++) {
            COLORREF c = GetPixel(dc, x, y);
            if (abs(GetRValue(c) - GetRValue(wanted)) < 40 && abs(GetGValue(c) - GetGValue(wanted)) < 40 &&
                abs(GetBValue(c) - GetBValue(wanted)) < 40)
                count++;
        }
    ReleaseDC(window, dc);
    return count;
}

int Dpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int Scaled(int length)
{
    return length * Dpi() / 96;
}

// A stand-in host window and the item records it hands out; items are destroyed and the
// registry keys removed at the end.
class Plugins : public testing::Test {
protected:
    HWND Parent = nullptr;
    std::vector<std::unique_ptr<TODAYLISTITEM>> Records;
    std::vector<std::wstring> Keys;
    std::vector<HMODULE> Modules;

    void SetUp() override
    {
        Host = HostRecord();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PluginsTestHost";
        RegisterClassW(&wc);
        Parent = CreateWindowExW(WS_EX_TOPMOST, L"PluginsTestHost", L"host", WS_POPUP | WS_VISIBLE, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                 wc.hInstance, nullptr);
        ASSERT_TRUE(Parent);
        SetForegroundWindow(Parent);
        PumpMessages();
    }

    void TearDown() override
    {
        DestroyWindow(Parent);
        PumpMessages();
        for (HMODULE module : Modules)
            FreeLibrary(module);
        for (auto &key : Keys)
            DeleteRegTree(HKEY_LOCAL_MACHINE, ItemsKey + key);
    }

    HMODULE Load(const wchar_t *dll)
    {
        HMODULE module = LoadLibraryW(PluginPath(dll).c_str());
        if (module)
            Modules.push_back(module);
        return module;
    }

    void Register(const std::wstring &name, const wchar_t *dll,
                  std::initializer_list<std::pair<const wchar_t *, DWORD>> values = {})
    {
        Keys.push_back(name);
        RegisterItem(name, dll, values);
    }

    // Calls the DLL's ordinal 240 with a fresh record, as a host does.
    HWND Create(const wchar_t *dll, const std::wstring &name, TODAYLISTITEM **record = nullptr)
    {
        HMODULE module = Load(dll);
        if (!module)
            return nullptr;
        auto init = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
            reinterpret_cast<void *>(GetProcAddress(module, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM))));
        if (!init)
            return nullptr;
        auto tli = std::make_unique<TODAYLISTITEM>();
        *tli = TODAYLISTITEM();
        lstrcpynW(tli->szName, name.c_str(), MAX_ITEMNAME);
        tli->tlit = tlitCustom;
        lstrcpynW(tli->szDLLPath, PluginPath(dll).c_str(), MAX_PATH);
        tli->hinstDLL = module;
        HWND window = init(tli.get(), Parent);
        tli->hwndCustom = window;
        if (record)
            *record = tli.get();
        Records.push_back(std::move(tli));
        return window;
    }

    // Shows an item as a host does after creating it, at the top of the host, its height cyp.
    void Show(HWND window, TODAYLISTITEM *record, int top = 0)
    {
        RECT area;
        GetClientRect(Parent, &area);
        MoveWindow(window, 0, top, area.right, static_cast<int>(record->cyp), TRUE);
        ShowWindow(window, SW_SHOW);
        SendMessageW(window, WM_TODAYCUSTOM_CLEARCACHE, reinterpret_cast<WPARAM>(record), 0);
        UpdateWindow(window);
    }

    LRESULT Query(HWND window, TODAYLISTITEM *record)
    {
        return SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(record), 0);
    }
};

class Plugins_Probe : public Plugins {
protected:
    ProbeApi Probe;
    void SetUp() override
    {
        Plugins::SetUp();
        ASSERT_TRUE(Probe.Load()) << "NimbraProbe.dll is not installed in " << Narrow(PluginFolder);
        Probe.ClearLog();
    }
    void TearDown() override
    {
        Plugins::TearDown();
        Probe.Unload();
    }
};

} // namespace

TEST_F(Plugins, EveryItemExportsItsEntryPointsAtOrdinals240And241)
{
    for (const wchar_t *dll : {L"NimbraProbe", L"NimbraClock", L"NimbraOwner", L"NimbraNotes"}) {
        SCOPED_TRACE(Narrow(dll));
        HMODULE module = Load(dll);
        ASSERT_TRUE(module);
        FARPROC init = GetProcAddress(module, MAKEINTRESOURCEA(240));
        FARPROC options = GetProcAddress(module, MAKEINTRESOURCEA(241));
        EXPECT_TRUE(init);
        EXPECT_EQ(init, GetProcAddress(module, "InitializeCustomItem"));
        EXPECT_TRUE(options);
        EXPECT_EQ(options, GetProcAddress(module, "CustomItemOptionsDlgProc"));
    }
}

TEST_F(Plugins_Probe, LogsEveryStepOfTheHostsCallingOrder)
{
    Register(L"ProbeA", L"NimbraProbe");
    TODAYLISTITEM *record;
    HWND window = Create(L"NimbraProbe", L"ProbeA", &record);
    ASSERT_TRUE(window);
    EXPECT_EQ(GetParent(window), Parent);
    EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_CHILD);
    EXPECT_FALSE(IsWindowVisible(window)) << "the host shows the window";
    EXPECT_EQ(record->cyp, static_cast<DWORD>(Scaled(20)));
    EXPECT_EQ(Probe.Window(L"ProbeA"), window);
    EXPECT_EQ(Probe.Count(L"ProbeA"), 1);

    Show(window, record);
    EXPECT_EQ(Query(window, record), 0);
    SendMessageW(window, WM_TODAYCUSTOM_CLEARCACHE, reinterpret_cast<WPARAM>(record), 0);
    SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, 0);
    SendMessageW(window, WM_USER + 77, 5, 6);
    DestroyWindow(window);
    EXPECT_EQ(Probe.Count(L"ProbeA"), 0);

    std::wstring log = Probe.Log(L"ProbeA");
    std::vector<std::wstring> steps;
    for (auto &event : Events(log))
        if (event != L"size" && event != L"move" && event != L"erase")
            steps.push_back(event);
    std::vector<std::wstring> expected = {L"create", L"init", L"show", L"clearcache", L"paint", L"query",
                                          L"clearcache", L"query", L"msg", L"show", L"destroy"};
    EXPECT_EQ(steps, expected) << Narrow(log);
    EXPECT_EQ(Lines(log, L"init")[0].find(L"init parent=0x"), 0u);
    EXPECT_EQ(Lines(log, L"show")[0], L"show 1");
    EXPECT_EQ(Lines(log, L"clearcache")[0], L"clearcache tli=self");
    EXPECT_EQ(Lines(log, L"query")[0], L"query tli=self cyp=" + std::to_wstring(Scaled(20)) + L" -> 0");
    EXPECT_EQ(Lines(log, L"query")[1], L"query tli=null cyp=" + std::to_wstring(Scaled(20)) + L" -> 0");
    EXPECT_EQ(Lines(log, L"msg")[0], L"msg 0x44D w=0x5 l=0x6");
    EXPECT_EQ(Lines(log, L"size").back(), L"size " + std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L" " +
                                              std::to_wstring(Scaled(20)));
    EXPECT_EQ(Lines(log, L"paint")[0].find(L"paint 0 0 "), 0u);
    EXPECT_NE(Lines(log, L"paint")[0].find(L"text=0xFF watermark=1 sel=0"), std::wstring::npos);
}

TEST_F(Plugins_Probe, HeightsComeFromTheRegistryAndChangeAtTheNextQuery)
{
    struct Case { const wchar_t *name; DWORD height; };
    for (Case c : {Case{L"Zero", 0}, Case{L"Negative", static_cast<DWORD>(-7)}, Case{L"Huge", 100000}}) {
        SCOPED_TRACE(Narrow(c.name));
        Register(c.name, L"NimbraProbe", {{PROBE_HEIGHT, c.height}});
        TODAYLISTITEM *record;
        ASSERT_TRUE(Create(L"NimbraProbe", c.name, &record));
        EXPECT_EQ(record->cyp, c.height);
    }

    Register(L"Steps", L"NimbraProbe", {{PROBE_HEIGHT, 10}, {PROBE_NEXT_HEIGHT, 30}});
    SetItemString(L"Steps", PROBE_HEIGHT_SEQUENCE, L"30, 45,-2");
    TODAYLISTITEM *record;
    HWND window = Create(L"NimbraProbe", L"Steps", &record);
    ASSERT_TRUE(window);
    EXPECT_EQ(record->cyp, 10u);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, 30u);
    EXPECT_EQ(Query(window, record), 0) << "30 again: unchanged";
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, 45u);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(static_cast<int>(record->cyp), -2);
    EXPECT_EQ(Query(window, record), 0) << "the sequence is used up";

    EXPECT_EQ(Probe.SetHeight(L"Steps", 60), 1);
    EXPECT_EQ(Probe.SetHeight(L"Nobody", 60), 0);
    EXPECT_EQ(record->cyp, static_cast<DWORD>(-2)) << "the item changes cyp only when asked";
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, 60u);

    EXPECT_EQ(Probe.SetOption(L"Steps", PROBE_ALWAYS_REFRESH, 1), 1);
    EXPECT_EQ(Probe.SetOption(L"Steps", L"NoSuchOption", 1), 0);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, 60u);
}

TEST_F(Plugins_Probe, ItemsOfTheSameNameAreToldApart)
{
    Register(L"Twin", L"NimbraProbe", {{PROBE_HEIGHT, 25}});
    Register(L"Other", L"NimbraProbe");
    TODAYLISTITEM *first, *second, *other;
    HWND a = Create(L"NimbraProbe", L"Twin", &first);
    HWND b = Create(L"NimbraProbe", L"Twin", &second);
    HWND c = Create(L"NimbraProbe", L"Other", &other);
    ASSERT_TRUE(a && b && c);
    EXPECT_NE(a, b);
    EXPECT_EQ(Probe.Count(L"Twin"), 2);
    EXPECT_EQ(Probe.Count(nullptr), 3);
    EXPECT_EQ(Probe.Window(L"Twin#1"), a);
    EXPECT_EQ(Probe.Window(L"Twin#2"), b);
    EXPECT_EQ(Probe.Window(L"Twin#3"), nullptr);

    EXPECT_EQ(Probe.SetHeight(L"Twin#2", 50), 1);
    EXPECT_EQ(Query(a, first), 0);
    EXPECT_EQ(Query(b, second), 1);
    EXPECT_EQ(second->cyp, 50u);
    EXPECT_EQ(Query(c, first), 0);

    EXPECT_EQ(Lines(Probe.Log(L"Twin#1"), L"query"), std::vector<std::wstring>{L"query tli=self cyp=25 -> 0"});
    EXPECT_EQ(Lines(Probe.Log(L"Twin#2"), L"query"), std::vector<std::wstring>{L"query tli=self cyp=50 -> 1"});
    EXPECT_EQ(Lines(Probe.Log(L"Other"), L"query"), std::vector<std::wstring>{L"query tli=other cyp=" + std::to_wstring(Scaled(20)) + L" -> 0"});
    EXPECT_EQ(Lines(Probe.Log(L"Twin"), L"query").size(), 2u);
    std::wstring all = Probe.Log();
    EXPECT_LT(all.find(L"Twin#1 query"), all.find(L"Twin#2 query"));
    EXPECT_LT(all.find(L"Twin#2 query"), all.find(L"Other#1 query"));

    DestroyWindow(a);
    EXPECT_EQ(Probe.Window(L"Twin"), b);
    Probe.ClearLog();
    EXPECT_EQ(Probe.Log(), L"");
    EXPECT_TRUE(Create(L"NimbraProbe", L"Twin"));
    EXPECT_EQ(Events(Probe.Log(L"Twin#3"))[0], L"create") << "numbering goes on after a clear";
}

TEST_F(Plugins_Probe, SelectionAndKeysFollowTheOptions)
{
    Register(L"Refuser", L"NimbraProbe", {{PROBE_ACCEPT_SELECTION, 0}});
    Register(L"Keys", L"NimbraProbe", {{PROBE_CONSUME_KEYS, 2 | 8}, {PROBE_CONSUME_COUNT, 2},
                                        {PROBE_TAKE_IN_RECEIVED, 1}});
    HWND refuser = Create(L"NimbraProbe", L"Refuser");
    HWND keys = Create(L"NimbraProbe", L"Keys");
    ASSERT_TRUE(refuser && keys);

    EXPECT_EQ(SendMessageW(refuser, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, 0x500001), 0);
    EXPECT_EQ(Host.TookSelection, nullptr);
    EXPECT_EQ(SendMessageW(keys, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_UP, 0x480001), 1);
    EXPECT_EQ(Host.TookSelection, keys) << "announced while receiving the selection";

    EXPECT_EQ(SendMessageW(keys, WM_TODAYCUSTOM_USERNAVIGATION, VK_LEFT, 0), 0);
    EXPECT_EQ(SendMessageW(keys, WM_TODAYCUSTOM_USERNAVIGATION, VK_DOWN, 0), 1);
    EXPECT_EQ(SendMessageW(keys, WM_TODAYCUSTOM_USERNAVIGATION, VK_RIGHT, 0), 0);
    EXPECT_EQ(SendMessageW(keys, WM_TODAYCUSTOM_USERNAVIGATION, VK_UP, 0), 1);
    EXPECT_EQ(SendMessageW(keys, WM_TODAYCUSTOM_USERNAVIGATION, VK_DOWN, 0), 0) << "only two keys per selection";
    EXPECT_EQ(SendMessageW(keys, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, 0), 1);
    EXPECT_EQ(SendMessageW(keys, WM_TODAYCUSTOM_USERNAVIGATION, VK_DOWN, 0), 1) << "the count starts again";
    SendMessageW(keys, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0x1C0001);
    SendMessageW(keys, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);

    EXPECT_EQ(Lines(Probe.Log(L"Refuser"), L"received"),
              std::vector<std::wstring>{L"received key=40 lparam=0x500001 -> 0"});
    std::wstring log = Probe.Log(L"Keys");
    EXPECT_EQ(Lines(log, L"received")[0], L"received key=38 lparam=0x480001 -> 1");
    EXPECT_EQ(Lines(log, L"nav").size(), 6u);
    EXPECT_EQ(Lines(log, L"action"), std::vector<std::wstring>{L"action key=13 lparam=0x1C0001"});
    EXPECT_EQ(Lines(log, L"lost"), std::vector<std::wstring>{L"lost w=0 l=0"});
    EXPECT_EQ(Lines(log, L"took").size(), 2u);

    Probe.SetOption(L"Refuser", PROBE_ACCEPT_SELECTION, 1);
    EXPECT_EQ(SendMessageW(refuser, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, 0), 1);
}

TEST_F(Plugins_Probe, FailingCreationGivesNoWindow)
{
    Register(L"Broken", L"NimbraProbe", {{PROBE_FAIL_CREATE, 1}});
    EXPECT_EQ(Create(L"NimbraProbe", L"Broken"), nullptr);
    EXPECT_EQ(Probe.Count(L"Broken"), 0);
    EXPECT_EQ(Probe.Log(L"Broken"), L"Broken#1 init failed\n");
    EXPECT_EQ(GetWindow(Parent, GW_CHILD), nullptr);
}

TEST_F(Plugins_Probe, RefreshRequestFromInsideAQueryIsSentOnce)
{
    Register(L"Eager", L"NimbraProbe", {{PROBE_REFRESH_IN_QUERY, 1}, {PROBE_NEXT_HEIGHT, 33}});
    TODAYLISTITEM *record;
    HWND window = Create(L"NimbraProbe", L"Eager", &record);
    ASSERT_TRUE(window);
    Host.NestedQueryTarget = window;
    Host.NestedQueryRecord = record;
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(Host.Refreshes, 1) << "the nested query must not ask again";
    EXPECT_EQ(Query(window, record), 0);
    EXPECT_EQ(Host.Refreshes, 1);
    std::vector<std::wstring> expected = {L"query tli=self cyp=33 -> 0", L"refresh -> 1",
                                          L"query tli=self cyp=33 -> 1", L"query tli=self cyp=33 -> 0"};
    std::wstring log = Probe.Log(L"Eager");
    std::vector<std::wstring> got = Lines(log, L"query");
    got.insert(got.begin() + 1, Lines(log, L"refresh")[0]);
    EXPECT_EQ(got, expected) << "a nested step is logged before the step it happened in";
}

TEST_F(Plugins_Probe, TimerStepsAreReportedAtTheNextQuery)
{
    Register(L"Ticker", L"NimbraProbe", {{PROBE_HEIGHT_TIMER, 30}, {PROBE_REFRESH_ON_TIMER, 1}});
    SetItemString(L"Ticker", PROBE_HEIGHT_SEQUENCE, L"40,50");
    TODAYLISTITEM *record;
    HWND window = Create(L"NimbraProbe", L"Ticker", &record);
    ASSERT_TRUE(window);
    EXPECT_EQ(Query(window, record), 0) << "queries do not step the sequence in timer mode";
    ASSERT_TRUE(PumpUntil([] { return Host.Refreshes >= 1; }, 2000));
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, 40u);
    ASSERT_TRUE(PumpUntil([] { return Host.Refreshes >= 2; }, 2000));
    PumpFor(150);
    EXPECT_EQ(Host.Refreshes, 2) << "the timer stops at the end of the sequence";
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, 50u);
    EXPECT_EQ(Lines(Probe.Log(L"Ticker"), L"tick"), (std::vector<std::wstring>{L"tick next=40", L"tick next=50"}));
}

TEST_F(Plugins_Probe, WindowsThatTheHostCannotDestroy)
{
    Register(L"Foreign", L"NimbraProbe", {{PROBE_FAIL_DESTROY, 1}});
    Register(L"Vanishing", L"NimbraProbe", {{PROBE_FAIL_DESTROY, 2}});
    TODAYLISTITEM *foreignRecord, *vanishingRecord;
    HWND foreign = Create(L"NimbraProbe", L"Foreign", &foreignRecord);
    HWND vanishing = Create(L"NimbraProbe", L"Vanishing", &vanishingRecord);
    ASSERT_TRUE(foreign && vanishing);
    EXPECT_EQ(GetParent(foreign), Parent);
    EXPECT_NE(GetWindowThreadProcessId(foreign, nullptr), GetCurrentThreadId());

    // The item on its own thread still answers the host's messages and calls the host back.
    Probe.SetHeight(L"Foreign", 44);
    EXPECT_EQ(Query(foreign, foreignRecord), 1);
    EXPECT_EQ(foreignRecord->cyp, 44u);
    EXPECT_EQ(Probe.QueryHost(L"Foreign", TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0), static_cast<LRESULT>(HostText));

    for (auto [window, record] : {std::pair{foreign, foreignRecord}, std::pair{vanishing, vanishingRecord}}) {
        SendMessageW(window, WM_TODAYCUSTOM_CLEARCACHE, reinterpret_cast<WPARAM>(record), 0);
        SendMessageW(window, WM_TODAYCUSTOM_CLEARCACHE, reinterpret_cast<WPARAM>(record), 0);
    }
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(foreign));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(foreign));
    // Windows answers ERROR_INVALID_WINDOW_HANDLE for a window that is gone; Wine answers
    // ERROR_ACCESS_DENIED for it too.
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(vanishing));
    EXPECT_THAT(GetLastError(), testing::AnyOf(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE),
                                               static_cast<DWORD>(ERROR_ACCESS_DENIED)));
    EXPECT_FALSE(IsWindow(vanishing));

    // The host frees the DLL after the failure; the stranded window keeps it loaded.
    HMODULE extra = LoadLibraryW(PluginPath(L"NimbraProbe").c_str());
    for (int i = 0; i < 4; i++)
        FreeLibrary(extra);  // drops the test's own references, all but the probe thread's
    Modules.clear();
    EXPECT_TRUE(GetModuleHandleW(PluginPath(L"NimbraProbe").c_str())) << "the probe's thread holds the DLL";
    ASSERT_TRUE(Probe.Load());
    EXPECT_EQ(Probe.DestroyStranded(), 1);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(foreign); }, 2000));
    EXPECT_EQ(Probe.Count(nullptr), 0);
}

TEST_F(Plugins_Probe, PaintsOverTheWatermarkInTheHostsColours)
{
    Register(L"Painted", L"NimbraProbe", {{PROBE_HEIGHT, 30}});
    Register(L"Filled", L"NimbraProbe", {{PROBE_HEIGHT, 30}, {PROBE_FILL_COLOR, RGB(0, 255, 255)}, {PROBE_DRAW_TEXT, 0}});
    TODAYLISTITEM *painted, *filled;
    HWND a = Create(L"NimbraProbe", L"Painted", &painted);
    HWND b = Create(L"NimbraProbe", L"Filled", &filled);
    ASSERT_TRUE(a && b);
    Show(a, painted, 0);
    Show(b, filled, 40);
    PumpMessages();
    RECT area = {0, 0, 120, 30};
    EXPECT_GT(CountColor(a, area, HostWatermark), 120 * 30 / 2);
    EXPECT_GT(CountColor(a, area, HostText), 10);
    EXPECT_EQ(Probe.GetLastColor(L"Painted", TODAYCOLOR_TEXT), HostText);
    EXPECT_EQ(Probe.GetLastColor(L"Painted", TODAYCOLOR_HIGHLIGHT), HostHighlight);
    EXPECT_EQ(Probe.GetLastColor(L"Painted", 12345), CLR_INVALID);
    EXPECT_EQ(CountColor(b, area, RGB(0, 255, 255)), 120 * 30);

    SendMessageW(a, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, 0);
    InvalidateRect(a, nullptr, TRUE);
    UpdateWindow(a);
    EXPECT_EQ(CountColor(a, area, HostWatermark), 0);
    EXPECT_GT(CountColor(a, area, HostHighlight), 120 * 30 / 2);
    EXPECT_GT(CountColor(a, area, HostHighlightText), 10);
    EXPECT_NE(Lines(Probe.Log(L"Painted"), L"paint").back().find(L"watermark=0 sel=1"), std::wstring::npos);
}

TEST_F(Plugins_Probe, LogFileReceivesTheSameLines)
{
    std::wstring file = ExeFolder() + L"probe-log.txt";
    DeleteFileW(file.c_str());
    Register(L"Logged", L"NimbraProbe", {{PROBE_HEIGHT, 12}});
    SetItemString(L"Logged", PROBE_LOG_FILE, file);
    HWND window = Create(L"NimbraProbe", L"Logged");
    ASSERT_TRUE(window);
    DestroyWindow(window);
    std::vector<unsigned char> bytes = ReadFileBytes(file);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find("Logged#1 create\r\n"), 0u) << text;
    EXPECT_NE(text.find("Logged#1 init parent=0x"), std::string::npos);
    EXPECT_NE(text.find("Logged#1 destroy\r\n"), std::string::npos);
    DeleteFileW(file.c_str());
}

namespace {

const wchar_t *const OwnerKey = L"ControlPanel\\Owner";

// Sets (or, for null, deletes) the owner fields; answers the previous values.
std::vector<std::pair<std::wstring, std::wstring>> SetOwner(std::initializer_list<std::pair<const wchar_t *, const wchar_t *>> fields)
{
    std::vector<std::pair<std::wstring, std::wstring>> before;
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, OwnerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return before;
    for (auto &field : fields) {
        wchar_t old[256] = L"";
        DWORD size = sizeof old;
        if (RegQueryValueExW(key, field.first, nullptr, nullptr, reinterpret_cast<BYTE *>(old), &size) == ERROR_SUCCESS)
            before.push_back({field.first, old});
        else
            before.push_back({field.first, L""});
        if (field.second)
            RegSetValueExW(key, field.first, 0, REG_SZ, reinterpret_cast<const BYTE *>(field.second),
                           static_cast<DWORD>((wcslen(field.second) + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(key, field.first);
    }
    RegCloseKey(key);
    return before;
}

void RestoreOwner(const std::vector<std::pair<std::wstring, std::wstring>> &fields)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, OwnerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    for (auto &field : fields)
        if (field.second.empty())
            RegDeleteValueW(key, field.first.c_str());
        else
            RegSetValueExW(key, field.first.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(field.second.c_str()),
                           static_cast<DWORD>((field.second.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

bool HasUpdate(HWND window)
{
    RECT update;
    return GetUpdateRect(window, &update, FALSE) != 0;
}

} // namespace

TEST_F(Plugins, ClockSizesToItsLinesAndRedrawsWhenTheShownTimeChanges)
{
    Register(L"ClockTwo", L"NimbraClock");
    Register(L"ClockOne", L"NimbraClock", {{L"Lines", 1}});
    Register(L"ClockSeconds", L"NimbraClock", {{L"ShowSeconds", 1}});
    TODAYLISTITEM *two, *one, *seconds;
    HWND a = Create(L"NimbraClock", L"ClockTwo", &two);
    HWND b = Create(L"NimbraClock", L"ClockOne", &one);
    HWND c = Create(L"NimbraClock", L"ClockSeconds", &seconds);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(GetParent(a), Parent);
    EXPECT_EQ(two->cyp, static_cast<DWORD>(Scaled(40)));
    EXPECT_EQ(one->cyp, static_cast<DWORD>(Scaled(20)));
    Show(a, two);
    Show(b, one, 50);
    Show(c, seconds, 80);

    // After a cache clear the next poll redraws; then nothing until the minute changes.
    for (int attempt = 0; attempt < 3; attempt++) {
        SendMessageW(a, WM_TODAYCUSTOM_CLEARCACHE, reinterpret_cast<WPARAM>(two), 0);
        ValidateRect(a, nullptr);
        SYSTEMTIME before, after;
        GetLocalTime(&before);
        EXPECT_EQ(Query(a, two), 1);
        EXPECT_TRUE(HasUpdate(a));
        ValidateRect(a, nullptr);
        LRESULT again = Query(a, two);
        GetLocalTime(&after);
        if (before.wMinute != after.wMinute)
            continue;  // the minute turned during the check
        EXPECT_EQ(again, 0);
        EXPECT_FALSE(HasUpdate(a));
        break;
    }
    EXPECT_EQ(two->cyp, static_cast<DWORD>(Scaled(40)));

    Query(c, seconds);
    PumpFor(1100);
    ValidateRect(c, nullptr);
    EXPECT_EQ(Query(c, seconds), 1) << "a second later the seconds item redraws";
    EXPECT_TRUE(HasUpdate(c));
}

TEST_F(Plugins, SampleItemsPaintInTheHostsColoursOverTheWatermark)
{
    Register(L"PaintClock", L"NimbraClock");
    Register(L"PaintNotes", L"NimbraNotes");
    SetItemString(L"PaintNotes", L"Note1", L"Water the plants");
    TODAYLISTITEM *clock, *notes, *owner;
    HWND a = Create(L"NimbraClock", L"PaintClock", &clock);
    HWND b = Create(L"NimbraNotes", L"PaintNotes", &notes);
    HWND c = Create(L"NimbraOwner", L"PaintOwner", &owner);
    ASSERT_TRUE(a && b && c);
    int top = 0;
    for (auto [window, record] : {std::pair{a, clock}, std::pair{b, notes}, std::pair{c, owner}}) {
        Show(window, record, top);
        top += static_cast<int>(record->cyp) + 1;
    }
    PumpMessages();
    for (HWND window : {a, b, c}) {
        RECT area;
        GetClientRect(window, &area);
        int pixels = area.right * area.bottom;
        EXPECT_GT(CountColor(window, area, HostWatermark), pixels / 2);
        EXPECT_GT(CountColor(window, area, HostText), 20);
        EXPECT_EQ(CountColor(window, area, HostHighlight), 0);

        EXPECT_EQ(SendMessageW(window, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, 0), 1);
        UpdateWindow(window);
        EXPECT_EQ(CountColor(window, area, HostWatermark), 0);
        EXPECT_GT(CountColor(window, area, HostHighlight), pixels / 2);
        EXPECT_GT(CountColor(window, area, HostHighlightText), 20);
        EXPECT_EQ(CountColor(window, area, HostText), 0);

        SendMessageW(window, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
        UpdateWindow(window);
        EXPECT_GT(CountColor(window, area, HostWatermark), pixels / 2);
    }
}

TEST_F(Plugins, OwnerShowsOneLinePerFieldAndFollowsEdits)
{
    auto saved = SetOwner({{L"Name", L"Robin Example"}, {L"Company", L"Example Ltd"},
                           {L"Telephone", L"555 0100"}, {L"E-mail", L"robin@example.com"}});
    TODAYLISTITEM *record;
    HWND window = Create(L"NimbraOwner", L"Owner", &record);
    ASSERT_TRUE(window);
    EXPECT_EQ(record->cyp, static_cast<DWORD>(Scaled(4 + 4 * 16)));
    EXPECT_EQ(Query(window, record), 0);

    SetOwner({{L"Company", nullptr}, {L"E-mail", nullptr}});
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, static_cast<DWORD>(Scaled(4 + 2 * 16)));
    EXPECT_EQ(Query(window, record), 0);

    SetOwner({{L"Telephone", L"555 0199"}});
    EXPECT_EQ(Query(window, record), 1) << "same height, new text";
    EXPECT_EQ(record->cyp, static_cast<DWORD>(Scaled(4 + 2 * 16)));

    SetOwner({{L"Name", nullptr}, {L"Telephone", nullptr}});
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, static_cast<DWORD>(Scaled(20))) << "one line saying that nothing is set";

    SendMessageW(window, WM_TODAYCUSTOM_CLEARCACHE, reinterpret_cast<WPARAM>(record), 0);
    EXPECT_EQ(Query(window, record), 1) << "a cleared cache is filled again at the next poll";
    RestoreOwner(saved);
}

TEST_F(Plugins, NotesFoldAndUnfoldOnTapOrEnterAtTheNextPoll)
{
    Register(L"Notes", L"NimbraNotes");
    for (int i = 1; i <= 3; i++)
        SetItemString(L"Notes", (L"Note" + std::to_wstring(i)).c_str(), L"Note number " + std::to_wstring(i));
    Register(L"NoNotes", L"NimbraNotes");
    TODAYLISTITEM *record, *empty;
    HWND window = Create(L"NimbraNotes", L"Notes", &record);
    HWND none = Create(L"NimbraNotes", L"NoNotes", &empty);
    ASSERT_TRUE(window && none);
    const DWORD folded = Scaled(4 + 2 * 16), unfolded = Scaled(4 + 4 * 16);
    EXPECT_EQ(record->cyp, folded);
    EXPECT_EQ(Query(window, record), 0);

    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(Host.TookSelection, window);
    EXPECT_EQ(record->cyp, folded) << "the host learns the height when it polls";
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, unfolded);
    EXPECT_EQ(Query(window, record), 0);
    EXPECT_EQ(ReadItemValue(L"Notes", L"Expanded"), 1u);

    SendMessageW(window, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, folded);
    EXPECT_EQ(ReadItemValue(L"Notes", L"Expanded"), 0u);

    SetItemString(L"Notes", L"Note4", L"Added later");
    SendMessageW(window, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, static_cast<DWORD>(Scaled(4 + 5 * 16))) << "notes are read again at each poll";

    EXPECT_EQ(empty->cyp, static_cast<DWORD>(Scaled(20)));
    SendMessageW(none, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
    EXPECT_EQ(Query(none, empty), 0) << "nothing to unfold";
}


class Plugins_Hires : public Plugins {};

TEST_F(Plugins_Hires, HeightsScaleWithTheScreenDensity)
{
    ASSERT_EQ(Dpi(), 192);
    Register(L"HiresProbe", L"NimbraProbe");
    Register(L"HiresClock", L"NimbraClock");
    Register(L"HiresNotes", L"NimbraNotes");
    SetItemString(L"HiresNotes", L"Note1", L"One");
    SetItemString(L"HiresNotes", L"Note2", L"Two");
    TODAYLISTITEM *probe, *clock, *notes;
    HWND a = Create(L"NimbraProbe", L"HiresProbe", &probe);
    HWND b = Create(L"NimbraClock", L"HiresClock", &clock);
    HWND c = Create(L"NimbraNotes", L"HiresNotes", &notes);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(probe->cyp, 40u);
    EXPECT_EQ(clock->cyp, 80u);
    EXPECT_EQ(notes->cyp, 72u);
    SendMessageW(c, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
    EXPECT_EQ(Query(c, notes), 1);
    EXPECT_EQ(notes->cyp, 104u);
    Show(b, clock);
    RECT area;
    GetClientRect(b, &area);
    EXPECT_EQ(area.right, 480);
    EXPECT_GT(CountColor(b, area, HostText), 80) << "text in the larger font";
}
