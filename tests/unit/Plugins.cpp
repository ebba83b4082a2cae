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
const wchar_t *const OwnerKey = L"ControlPanel\\Owner";
const COLORREF HostText = RGB(255, 0, 0), HostHighlight = RGB(0, 160, 0), HostHighlightText = RGB(255, 255, 0),
               HostWatermark = RGB(0, 0, 255);

// What the stand-in host was asked by the items.
struct HostRecord {
    int Refreshes = 0;
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

std::wstring PluginPath(const wchar_t *dll) { return std::wstring(PluginFolder) + dll + L".dll"; }

// Sets a string value (or, for null, deletes it) under root\key.
void SetString(HKEY root, const std::wstring &key, const wchar_t *value, const wchar_t *data)
{
    if (!data) {
        RegDeleteKeyValueW(root, key.c_str(), value);
        return;
    }
    RegSetKeyValueW(root, key.c_str(), value, REG_SZ, data, static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
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
        std::wstring body = line.substr(line.find(L' ') + 1);
        if (body.compare(0, event.size() + 1, event + L" ") == 0 || body == event) found.push_back(body);
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
            count += abs(GetRValue(c) - GetRValue(wanted)) < 40 && abs(GetGValue(c) - GetGValue(wanted)) < 40 &&
                     abs(GetBValue(c) - GetBValue(wanted)) < 40;
        }
    ReleaseDC(window, dc);
    return count;
}

int Scaled(int length)
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return length * dpi / 96;
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
        for (HMODULE module : Modules) FreeLibrary(module);
        for (auto &key : Keys) DeleteRegTree(HKEY_LOCAL_MACHINE, ItemsKey + key);
    }

    HMODULE Load(const wchar_t *dll)
    {
        HMODULE module = LoadLibraryW(PluginPath(dll).c_str());
        if (module) Modules.push_back(module);
        return module;
    }

    // Registers an item under the Today items key with the given DWORD values.
    void Register(const std::wstring &name, const wchar_t *dll,
                  std::initializer_list<std::pair<const wchar_t *, DWORD>> values = {})
    {
        Keys.push_back(name);
        SetString(HKEY_LOCAL_MACHINE, ItemsKey + name, L"DLL", PluginPath(dll).c_str());
        for (auto &value : values)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, (ItemsKey + name).c_str(), value.first, REG_DWORD, &value.second, sizeof(DWORD));
    }

    // Calls the DLL's ordinal 240 with a fresh record, as a host does.
    HWND Create(const wchar_t *dll, const std::wstring &name, TODAYLISTITEM **record = nullptr)
    {
        HMODULE module = Load(dll);
        auto init = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(reinterpret_cast<void *>(
            module ? GetProcAddress(module, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM)) : nullptr));
        if (!init) return nullptr;
        auto tli = std::make_unique<TODAYLISTITEM>();
        *tli = TODAYLISTITEM();
        lstrcpynW(tli->szName, name.c_str(), MAX_ITEMNAME);
        tli->tlit = tlitCustom;
        lstrcpynW(tli->szDLLPath, PluginPath(dll).c_str(), MAX_PATH);
        tli->hinstDLL = module;
        HWND window = tli->hwndCustom = init(tli.get(), Parent);
        if (record) *record = tli.get();
        Records.push_back(std::move(tli));
        return window;
    }

    // Shows an item as a host does after creating it, at top in the host, its height cyp.
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

class Plugins_Hires : public Plugins {};

} // namespace

TEST_F(Plugins, EveryItemExportsItsEntryPointsAtOrdinals240And241)
{
    for (const wchar_t *dll : {L"NimbraProbe", L"NimbraClock", L"NimbraOwner", L"NimbraNotes"}) {
        SCOPED_TRACE(Narrow(dll));
        HMODULE module = Load(dll);
        ASSERT_TRUE(module);
        FARPROC init = GetProcAddress(module, MAKEINTRESOURCEA(240)), options = GetProcAddress(module, MAKEINTRESOURCEA(241));
        EXPECT_TRUE(init && options);
        EXPECT_EQ(init, GetProcAddress(module, "InitializeCustomItem"));
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
    EXPECT_FALSE(IsWindowVisible(window)) << "the host shows the window";
    EXPECT_EQ(record->cyp, static_cast<DWORD>(Scaled(20)));
    EXPECT_EQ(Probe.Count(L"ProbeA"), 1);

    Show(window, record);
    EXPECT_EQ(Query(window, record), 0);
    SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, 0);
    SendMessageW(window, WM_USER + 77, 5, 6);
    DestroyWindow(window);
    EXPECT_EQ(Probe.Count(L"ProbeA"), 0);

    std::wstring log = Probe.Log(L"ProbeA");
    std::vector<std::wstring> steps;
    for (auto &event : Events(log))
        if (event != L"size" && event != L"move" && event != L"erase") steps.push_back(event);
    std::vector<std::wstring> expected = {L"create", L"init", L"show", L"clearcache", L"paint", L"query",
                                          L"query", L"msg", L"show", L"destroy"};
    EXPECT_EQ(steps, expected) << Narrow(log);
    const std::wstring cyp = std::to_wstring(Scaled(20));
    EXPECT_EQ(Lines(log, L"init")[0].find(L"init parent=0x"), 0u);
    EXPECT_EQ(Lines(log, L"show")[0], L"show 1");
    EXPECT_EQ(Lines(log, L"clearcache")[0], L"clearcache tli=self");
    EXPECT_EQ(Lines(log, L"query"), (std::vector<std::wstring>{L"query tli=self cyp=" + cyp + L" -> 0",
                                                                L"query tli=null cyp=" + cyp + L" -> 0"}));
    EXPECT_EQ(Lines(log, L"msg")[0], L"msg 0x44D w=0x5 l=0x6");
    EXPECT_EQ(Lines(log, L"size").back(), L"size " + std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L" " + cyp);
    EXPECT_EQ(Lines(log, L"paint")[0].find(L"paint 0 0 "), 0u);
    EXPECT_NE(Lines(log, L"paint")[0].find(L"text=0xFF watermark=1 sel=0"), std::wstring::npos);
}

TEST_F(Plugins_Probe, HeightsComeFromTheRegistryAndChangeAtTheNextQuery)
{
    for (auto [name, height] : {std::pair{L"Zero", 0u}, {L"Negative", static_cast<DWORD>(-7)}, {L"Huge", 100000u}}) {
        SCOPED_TRACE(Narrow(name));
        Register(name, L"NimbraProbe", {{PROBE_HEIGHT, height}});
        TODAYLISTITEM *record;
        ASSERT_TRUE(Create(L"NimbraProbe", name, &record));
        EXPECT_EQ(record->cyp, height);
    }
    Register(L"Steps", L"NimbraProbe", {{PROBE_HEIGHT, 10}});
    TODAYLISTITEM *record;
    HWND window = Create(L"NimbraProbe", L"Steps", &record);
    ASSERT_TRUE(window);
    EXPECT_EQ(Query(window, record), 0);
    EXPECT_EQ(Probe.SetHeight(L"Steps", 60), 1);
    EXPECT_EQ(Probe.SetHeight(L"Nobody", 60), 0);
    EXPECT_EQ(record->cyp, 10u) << "the item changes cyp only when asked";
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, 60u);
    EXPECT_EQ(Query(window, record), 0);
    EXPECT_EQ(Probe.SetOption(L"Steps", PROBE_ALWAYS_REFRESH, 1), 1);
    EXPECT_EQ(Probe.SetOption(L"Steps", L"NoSuchOption", 1), 0);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, 60u);
}

TEST_F(Plugins_Probe, ItemsOfTheSameNameAreNumbered)
{
    Register(L"Twin", L"NimbraProbe");
    TODAYLISTITEM *first, *second;
    HWND a = Create(L"NimbraProbe", L"Twin", &first);
    HWND b = Create(L"NimbraProbe", L"Twin", &second);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(Probe.Count(L"Twin"), 2);
    EXPECT_EQ(Probe.SetHeight(L"Twin#2", 50), 1);
    EXPECT_EQ(Query(a, first), 0);
    EXPECT_EQ(Query(b, second), 1);
    EXPECT_EQ(Lines(Probe.Log(L"Twin#2"), L"query"), std::vector<std::wstring>{L"query tli=self cyp=50 -> 1"});
    EXPECT_EQ(Lines(Probe.Log(L"Twin"), L"query").size(), 2u);
    Probe.ClearLog();
    EXPECT_TRUE(Create(L"NimbraProbe", L"Twin"));
    EXPECT_EQ(Events(Probe.Log(L"Twin#3"))[0], L"create") << "numbering goes on after a clear";
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
    std::wstring log = Probe.Log(L"Eager");
    std::vector<std::wstring> got = Lines(log, L"query");
    got.insert(got.begin() + 1, Lines(log, L"refresh")[0]);
    EXPECT_EQ(got, (std::vector<std::wstring>{L"query tli=self cyp=33 -> 0", L"refresh -> 1",
                                              L"query tli=self cyp=33 -> 1", L"query tli=self cyp=33 -> 0"}))
        << "a nested step is logged before the step it happened in";
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

    // Option 2 destroys its own window at the second cache clear.
    for (int i = 0; i < 2; i++)
        SendMessageW(vanishing, WM_TODAYCUSTOM_CLEARCACHE, reinterpret_cast<WPARAM>(vanishingRecord), 0);
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(foreign));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(foreign));
    // Windows answers ERROR_INVALID_WINDOW_HANDLE for a window that is gone; Wine ERROR_ACCESS_DENIED too.
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(vanishing));
    EXPECT_THAT(GetLastError(), testing::AnyOf(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE),
                                               static_cast<DWORD>(ERROR_ACCESS_DENIED)));
    EXPECT_FALSE(IsWindow(vanishing));

    // The host frees the DLL after the failure; the stranded window keeps it loaded.
    HMODULE extra = LoadLibraryW(PluginPath(L"NimbraProbe").c_str());
    for (int i = 0; i < 4; i++) FreeLibrary(extra);  // drops the test's own references, all but the probe thread's
    Modules.clear();
    EXPECT_TRUE(GetModuleHandleW(PluginPath(L"NimbraProbe").c_str())) << "the probe's thread holds the DLL";
    ASSERT_TRUE(Probe.Load());
    EXPECT_EQ(Probe.DestroyStranded(), 1);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(foreign); }, 2000));
    EXPECT_EQ(Probe.Count(nullptr), 0);
}

TEST_F(Plugins_Probe, LogFileReceivesTheSameLines)
{
    std::wstring file = ExeFolder() + L"probe-log.txt";
    DeleteFileW(file.c_str());
    Register(L"Logged", L"NimbraProbe");
    SetString(HKEY_LOCAL_MACHINE, ItemsKey + std::wstring(L"Logged"), PROBE_LOG_FILE, file.c_str());
    HWND window = Create(L"NimbraProbe", L"Logged");
    ASSERT_TRUE(window);
    DestroyWindow(window);
    std::vector<unsigned char> bytes = ReadFileBytes(file);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find("Logged#1 create\r\n"), 0u) << text;
    EXPECT_NE(text.find("Logged#1 destroy\r\n"), std::string::npos);
    DeleteFileW(file.c_str());
}

TEST_F(Plugins_Probe, ItemsPaintInTheHostsColoursOverTheWatermark)
{
    Register(L"PaintClock", L"NimbraClock");
    Register(L"PaintNotes", L"NimbraNotes");
    SetString(HKEY_LOCAL_MACHINE, ItemsKey + std::wstring(L"PaintNotes"), L"Note1", L"Water the plants");
    Register(L"PaintProbe", L"NimbraProbe", {{PROBE_HEIGHT, 30}});
    Register(L"Plain", L"NimbraProbe", {{PROBE_HEIGHT, 30}, {PROBE_DRAW_TEXT, 0}});
    int top = 0;
    for (auto [dll, name] : {std::pair{L"NimbraClock", L"PaintClock"}, {L"NimbraNotes", L"PaintNotes"},
                             {L"NimbraOwner", L"PaintOwner"}, {L"NimbraProbe", L"PaintProbe"}, {L"NimbraProbe", L"Plain"}}) {
        SCOPED_TRACE(Narrow(name));
        TODAYLISTITEM *record;
        HWND window = Create(dll, name, &record);
        ASSERT_TRUE(window);
        Show(window, record, top);
        top += static_cast<int>(record->cyp) + 1;
        PumpMessages();
        RECT area;
        GetClientRect(window, &area);
        int pixels = area.right * area.bottom;
        bool text = wcscmp(name, L"Plain") != 0, probe = wcscmp(dll, L"NimbraProbe") == 0;
        EXPECT_GT(CountColor(window, area, HostWatermark), pixels / 2);
        EXPECT_EQ(CountColor(window, area, HostText) > 20, text);
        EXPECT_EQ(CountColor(window, area, HostHighlight), 0);

        // The sample items redraw themselves on a selection change; the probe is redrawn by the test.
        EXPECT_EQ(SendMessageW(window, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, 0), 1);
        if (probe) InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
        EXPECT_EQ(CountColor(window, area, HostWatermark), 0);
        EXPECT_GT(CountColor(window, area, HostHighlight), pixels / 2);
        EXPECT_EQ(CountColor(window, area, HostHighlightText) > 20, text);
        EXPECT_EQ(CountColor(window, area, HostText), 0);

        SendMessageW(window, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
        if (probe) InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
        EXPECT_GT(CountColor(window, area, HostWatermark), pixels / 2);
    }
    EXPECT_EQ(Probe.GetLastColor(L"PaintProbe", TODAYCOLOR_TEXT), HostText);
}

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
    EXPECT_EQ(two->cyp, static_cast<DWORD>(Scaled(40)));
    EXPECT_EQ(one->cyp, static_cast<DWORD>(Scaled(20)));
    Show(a, two);
    Show(c, seconds, 80);
    RECT update;
    // After a cache clear the next poll redraws; then nothing until the minute changes.
    for (int attempt = 0; attempt < 3; attempt++) {
        SendMessageW(a, WM_TODAYCUSTOM_CLEARCACHE, reinterpret_cast<WPARAM>(two), 0);
        ValidateRect(a, nullptr);
        SYSTEMTIME before, after;
        GetLocalTime(&before);
        EXPECT_EQ(Query(a, two), 1);
        EXPECT_TRUE(GetUpdateRect(a, &update, FALSE));
        ValidateRect(a, nullptr);
        LRESULT again = Query(a, two);
        GetLocalTime(&after);
        if (before.wMinute != after.wMinute) continue;  // the minute turned during the check
        EXPECT_EQ(again, 0);
        EXPECT_FALSE(GetUpdateRect(a, &update, FALSE));
        break;
    }
    Query(c, seconds);
    PumpFor(1100);
    ValidateRect(c, nullptr);
    EXPECT_EQ(Query(c, seconds), 1) << "a second later the seconds item redraws";
    EXPECT_TRUE(GetUpdateRect(c, &update, FALSE));
}

TEST_F(Plugins, OwnerShowsOneLinePerFieldAndFollowsEdits)
{
    const wchar_t *fields[] = {L"Name", L"Company", L"Telephone", L"E-mail"};
    std::vector<std::wstring> saved(4);
    for (int i = 0; i < 4; i++) {
        wchar_t old[256] = L"";
        DWORD size = sizeof old;
        RegGetValueW(HKEY_CURRENT_USER, OwnerKey, fields[i], RRF_RT_REG_SZ, nullptr, old, &size);
        saved[i] = old;
    }
    for (auto [field, value] : {std::pair{L"Name", L"Robin Example"}, {L"Company", L"Example Ltd"},
                                {L"Telephone", L"555 0100"}, {L"E-mail", L"robin@example.com"}})
        SetString(HKEY_CURRENT_USER, OwnerKey, field, value);
    TODAYLISTITEM *record;
    HWND window = Create(L"NimbraOwner", L"Owner", &record);
    ASSERT_TRUE(window);
    EXPECT_EQ(record->cyp, static_cast<DWORD>(Scaled(4 + 4 * 16)));
    EXPECT_EQ(Query(window, record), 0);
    SetString(HKEY_CURRENT_USER, OwnerKey, L"Company", nullptr);
    SetString(HKEY_CURRENT_USER, OwnerKey, L"E-mail", nullptr);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, static_cast<DWORD>(Scaled(4 + 2 * 16)));
    SetString(HKEY_CURRENT_USER, OwnerKey, L"Telephone", L"555 0199");
    EXPECT_EQ(Query(window, record), 1) << "same height, new text";
    SetString(HKEY_CURRENT_USER, OwnerKey, L"Name", nullptr);
    SetString(HKEY_CURRENT_USER, OwnerKey, L"Telephone", nullptr);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, static_cast<DWORD>(Scaled(20))) << "one line saying that nothing is set";
    for (int i = 0; i < 4; i++) SetString(HKEY_CURRENT_USER, OwnerKey, fields[i], saved[i].empty() ? nullptr : saved[i].c_str());
}

TEST_F(Plugins, NotesFoldAndUnfoldOnTapOrEnterAtTheNextPoll)
{
    const std::wstring key = ItemsKey + std::wstring(L"Notes");
    Register(L"Notes", L"NimbraNotes");
    for (const wchar_t *note : {L"Note1", L"Note2", L"Note3"}) SetString(HKEY_LOCAL_MACHINE, key, note, note);
    TODAYLISTITEM *record;
    HWND window = Create(L"NimbraNotes", L"Notes", &record);
    ASSERT_TRUE(window);
    const DWORD folded = Scaled(4 + 2 * 16), unfolded = Scaled(4 + 4 * 16);
    EXPECT_EQ(record->cyp, folded);
    EXPECT_EQ(Query(window, record), 0);
    DWORD expanded = 0, size = sizeof expanded;

    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(Host.TookSelection, window);
    EXPECT_EQ(record->cyp, folded) << "the host learns the height when it polls";
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, unfolded);
    EXPECT_EQ(Query(window, record), 0);
    RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Expanded", RRF_RT_REG_DWORD, nullptr, &expanded, &size);
    EXPECT_EQ(expanded, 1u);

    SendMessageW(window, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, folded);
    SetString(HKEY_LOCAL_MACHINE, key, L"Note4", L"Added later");
    SendMessageW(window, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, static_cast<DWORD>(Scaled(4 + 5 * 16))) << "notes are read again at each poll";

    Register(L"NoNotes", L"NimbraNotes");
    TODAYLISTITEM *empty;
    HWND none = Create(L"NimbraNotes", L"NoNotes", &empty);
    ASSERT_TRUE(none);
    EXPECT_EQ(empty->cyp, static_cast<DWORD>(Scaled(20)));
    SendMessageW(none, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
    EXPECT_EQ(Query(none, empty), 0) << "nothing to unfold";
}

TEST_F(Plugins_Hires, HeightsScaleWithTheScreenDensity)
{
    ASSERT_EQ(Scaled(96), 192);
    Register(L"HiresProbe", L"NimbraProbe");
    Register(L"HiresClock", L"NimbraClock");
    Register(L"HiresNotes", L"NimbraNotes");
    SetString(HKEY_LOCAL_MACHINE, ItemsKey + std::wstring(L"HiresNotes"), L"Note1", L"One");
    SetString(HKEY_LOCAL_MACHINE, ItemsKey + std::wstring(L"HiresNotes"), L"Note2", L"Two");
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
