// Nimbra's sample Today items (clock, owner, notes), driven by a stand-in host window of the
// test's own: their entry points, what they draw and how they size themselves.
#include "support/testing.h"
#include "items/todayitem.h"
#include "look/scale.h"

namespace {

const std::wstring PluginFolder = L"C:\\Program Files\\Nimbra\\plugins\\", ItemsKey = L"Software\\Microsoft\\Today\\Items\\";
const wchar_t *const OwnerKey = L"ControlPanel\\Owner";
const COLORREF HostText = RGB(255, 0, 0), HostHighlight = RGB(0, 160, 0), HostHighlightText = RGB(255, 255, 0),
               HostWatermark = RGB(0, 0, 255);
HWND TookSelection;   // the item that told the host it took the selection

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case TODAYM_GETCOLOR:
        return wParam == TODAYCOLOR_TEXT ? HostText : wParam == TODAYCOLOR_HIGHLIGHT ? HostHighlight
             : wParam == TODAYCOLOR_HIGHLIGHTEDTEXT ? HostHighlightText : 0;
    case TODAYM_DRAWWATERMARK: {
        auto *info = reinterpret_cast<TODAYDRAWWATERMARKINFO *>(lParam);
        HBRUSH brush = CreateSolidBrush(HostWatermark);
        FillRect(info->hdc, &info->rc, brush);
        DeleteObject(brush);
        return 1;
    }
    case TODAYM_TOOKSELECTION:
        TookSelection = reinterpret_cast<HWND>(wParam);
        return 1;
    case WM_ERASEBKGND:
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Sets a string value (or, for null, deletes it) under root\key.
void SetString(HKEY root, const std::wstring &key, const wchar_t *value, const wchar_t *data)
{
    if (data) RegSetKeyValueW(root, key.c_str(), value, REG_SZ, data, (DWORD)((wcslen(data) + 1) * sizeof(wchar_t)));
    else RegDeleteKeyValueW(root, key.c_str(), value);
}

// Pixels of the window's area within a small distance of the colour.
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

// A 96-dpi length at the screen's density.
DWORD Scaled(int length) { return (DWORD)(length * ScreenCaps(LOGPIXELSY) / 96); }

// A stand-in host window that covers the screen; items are destroyed and their registry keys
// removed at the end.
class Plugins : public testing::Test {
protected:
    HWND Parent = nullptr;
    std::vector<std::unique_ptr<TODAYLISTITEM>> Records;
    std::vector<std::wstring> Keys;
    std::vector<HMODULE> Modules;

    void SetUp() override
    {
        TookSelection = nullptr;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PluginsTestHost";
        RegisterClassW(&wc);
        Parent = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"host", WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                 GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, wc.hInstance, nullptr);
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
        HMODULE module = LoadLibraryW((PluginFolder + dll + L".dll").c_str());
        if (module) Modules.push_back(module);
        return module;
    }
    // Gives an item's key under the Today items key these DWORD values; the key goes at the end.
    void Register(const std::wstring &name, std::initializer_list<std::pair<const wchar_t *, DWORD>> values = {})
    {
        Keys.push_back(name);
        for (auto &value : values)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, (ItemsKey + name).c_str(), value.first, REG_DWORD, &value.second, sizeof(DWORD));
    }
    // Calls the DLL's ordinal 240 with a fresh record, as a host does.
    HWND Create(const wchar_t *dll, const std::wstring &name, TODAYLISTITEM **record)
    {
        HMODULE module = Load(dll);
        *record = nullptr;
        auto init = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(reinterpret_cast<void *>(
            module ? GetProcAddress(module, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM)) : nullptr));
        if (!init) return nullptr;
        Records.push_back(std::make_unique<TODAYLISTITEM>());
        *record = Records.back().get();
        lstrcpynW((*record)->szName, name.c_str(), MAX_ITEMNAME);
        (*record)->tlit = tlitCustom;
        (*record)->hinstDLL = module;
        return (*record)->hwndCustom = init(*record, Parent);
    }
    // Shows an item as a host does after creating it, at top in the host, its height cyp.
    void Show(HWND window, TODAYLISTITEM *record, int top = 0)
    {
        MoveWindow(window, 0, top, GetSystemMetrics(SM_CXSCREEN), (int)record->cyp, TRUE);
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
    for (const wchar_t *dll : {L"NimbraClock", L"NimbraOwner", L"NimbraNotes"}) {
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
    Register(L"PaintNotes");
    SetString(HKEY_LOCAL_MACHINE, ItemsKey + L"PaintNotes", L"Note1", L"Water the plants");
    int top = 0;
    for (auto [dll, name] : {std::pair{L"NimbraClock", L"PaintClock"}, {L"NimbraNotes", L"PaintNotes"}, {L"NimbraOwner", L"PaintOwner"}}) {
        SCOPED_TRACE(Narrow(name));
        TODAYLISTITEM *record;
        HWND window = Create(dll, name, &record);
        ASSERT_TRUE(window);
        Show(window, record, top);
        top += (int)record->cyp + 1;
        RECT area;
        GetClientRect(window, &area);
        // Unselected: text on the host's watermark; selected: highlighted text on the highlight.
        struct Look { UINT message; LRESULT answer; COLORREF fill, text, absent; };
        for (Look look : {Look{0, 0, HostWatermark, HostText, HostHighlight},
                          {WM_TODAYCUSTOM_RECEIVEDSELECTION, TRUE, HostHighlight, HostHighlightText, HostWatermark},
                          {WM_TODAYCUSTOM_LOSTSELECTION, 0, HostWatermark, HostText, HostHighlight}}) {
            EXPECT_EQ(look.message ? SendMessageW(window, look.message, VK_DOWN, 0) : 0, look.answer);
            UpdateWindow(window);
            EXPECT_GT(CountColor(window, area, look.fill), area.right * area.bottom / 2);
            EXPECT_GT(CountColor(window, area, look.text), 20);
            EXPECT_EQ(CountColor(window, area, look.absent), 0);
        }
    }
}

TEST_F(Plugins, ClockSizesToItsLinesAndRedrawsWhenTheShownTimeChanges)
{
    Register(L"ClockOne", {{L"Lines", 1}});
    Register(L"ClockSeconds", {{L"ShowSeconds", 1}});
    TODAYLISTITEM *two, *one, *seconds;
    HWND a = Create(L"NimbraClock", L"ClockTwo", &two), c = Create(L"NimbraClock", L"ClockSeconds", &seconds);
    ASSERT_TRUE(a && c && Create(L"NimbraClock", L"ClockOne", &one));
    EXPECT_EQ(two->cyp, Scaled(40));
    EXPECT_EQ(one->cyp, Scaled(20));
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
        if (before.wMinute != after.wMinute) continue;   // the minute turned during the check
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
    std::vector<std::wstring> saved;
    for (const wchar_t *field : fields) {
        wchar_t old[256] = L"";
        DWORD size = sizeof old;
        RegGetValueW(HKEY_CURRENT_USER, OwnerKey, field, RRF_RT_REG_SZ, nullptr, old, &size);
        saved.push_back(old);
        SetString(HKEY_CURRENT_USER, OwnerKey, field, L"Robin Example");
    }
    TODAYLISTITEM *record;
    HWND window = Create(L"NimbraOwner", L"Owner", &record);
    ASSERT_TRUE(window);
    EXPECT_EQ(record->cyp, Scaled(4 + 4 * 16));
    EXPECT_EQ(Query(window, record), 0);
    // Each poll reads the fields again: removed ones take their line away, an edit redraws.
    struct Step { const char *name; const wchar_t *field, *value, *field2; LRESULT answer; int lines; };
    for (Step step : {Step{"two fields removed", L"Company", nullptr, L"E-mail", 1, 2},
                      {"same height, new text", L"Telephone", L"555 0199", nullptr, 1, 2},
                      {"nothing set: one line that says so", L"Name", nullptr, L"Telephone", 1, 1}, {"no change", nullptr, nullptr, nullptr, 0, 1}}) {
        SCOPED_TRACE(step.name);
        if (step.field) SetString(HKEY_CURRENT_USER, OwnerKey, step.field, step.value);
        if (step.field2) SetString(HKEY_CURRENT_USER, OwnerKey, step.field2, nullptr);
        EXPECT_EQ(Query(window, record), step.answer);
        EXPECT_EQ(record->cyp, Scaled(4 + step.lines * 16));
    }
    for (int i = 0; i < 4; i++) SetString(HKEY_CURRENT_USER, OwnerKey, fields[i], saved[i].empty() ? nullptr : saved[i].c_str());
}

TEST_F(Plugins, NotesFoldAndUnfoldOnTapOrEnterAtTheNextPoll)
{
    Register(L"Notes");
    for (const wchar_t *note : {L"Note1", L"Note2", L"Note3"}) SetString(HKEY_LOCAL_MACHINE, ItemsKey + L"Notes", note, note);
    TODAYLISTITEM *record, *empty;
    HWND window = Create(L"NimbraNotes", L"Notes", &record);
    ASSERT_TRUE(window);
    EXPECT_EQ(record->cyp, Scaled(4 + 2 * 16));
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(TookSelection, window);
    EXPECT_EQ(record->cyp, Scaled(4 + 2 * 16)) << "the host learns the height when it polls";
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, Scaled(4 + 4 * 16));
    EXPECT_EQ(Query(window, record), 0);
    DWORD expanded = 0, size = sizeof expanded;
    RegGetValueW(HKEY_LOCAL_MACHINE, (ItemsKey + L"Notes").c_str(), L"Expanded", RRF_RT_REG_DWORD, nullptr, &expanded, &size);
    EXPECT_EQ(expanded, 1u) << "kept for the next start";
    SendMessageW(window, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, Scaled(4 + 2 * 16));
    SetString(HKEY_LOCAL_MACHINE, ItemsKey + L"Notes", L"Note4", L"Added later");
    SendMessageW(window, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
    EXPECT_EQ(Query(window, record), 1);
    EXPECT_EQ(record->cyp, Scaled(4 + 5 * 16)) << "notes are read again at each poll";

    HWND none = Create(L"NimbraNotes", L"NoNotes", &empty);
    ASSERT_TRUE(none);
    EXPECT_EQ(empty->cyp, Scaled(20));
    SendMessageW(none, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
    EXPECT_EQ(Query(none, empty), 0) << "nothing to unfold";
}

TEST_F(Plugins_Hires, HeightsAndTextScaleWithTheScreenDensity)
{
    ASSERT_EQ(Scaled(96), 192u);
    Register(L"HiresNotes");
    SetString(HKEY_LOCAL_MACHINE, ItemsKey + L"HiresNotes", L"Note1", L"One");
    SetString(HKEY_LOCAL_MACHINE, ItemsKey + L"HiresNotes", L"Note2", L"Two");
    TODAYLISTITEM *clock, *notes;
    HWND b = Create(L"NimbraClock", L"HiresClock", &clock), c = Create(L"NimbraNotes", L"HiresNotes", &notes);
    ASSERT_TRUE(b && c);
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
