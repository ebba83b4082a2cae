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

TEST_F(Plugins, ItemsPaintInTheHostsColoursOverTheWatermark)
{
    Register(L"PaintClock", L"NimbraClock");
    Register(L"PaintNotes", L"NimbraNotes");
    SetString(HKEY_LOCAL_MACHINE, ItemsKey + std::wstring(L"PaintNotes"), L"Note1", L"Water the plants");
    int top = 0;
    for (auto [dll, name] : {std::pair{L"NimbraClock", L"PaintClock"}, {L"NimbraNotes", L"PaintNotes"},
                             {L"NimbraOwner", L"PaintOwner"}}) {
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
