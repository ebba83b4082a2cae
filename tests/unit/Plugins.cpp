// Nimbra's sample Today items (clock, owner, notes), driven by a stand-in host window of the
// test's own: what they draw, how they size themselves and how they answer the height poll.
#include "support/testing.h"
#include "items/todayitem.h"
#include "look/scale.h"

namespace {

const std::wstring PluginFolder = L"C:\\Program Files\\Nimbra\\plugins\\", ItemsKey = L"Software\\Microsoft\\Today\\Items\\",
                  NotesKey = ItemsKey + L"TestNotes";
const wchar_t *const OwnerKey = L"ControlPanel\\Owner", *const OwnerBackup = L"Software\\NimbraTests\\Owner";
const COLORREF HostText = RGB(255, 0, 0), HostHighlight = RGB(0, 160, 0), HostHighlightText = RGB(255, 255, 0),
               HostWatermark = RGB(0, 0, 255);
HWND TookSelection;   // the item that told the host it took the selection

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == TODAYM_GETCOLOR)
        return wParam == TODAYCOLOR_TEXT ? HostText : wParam == TODAYCOLOR_HIGHLIGHT ? HostHighlight
             : wParam == TODAYCOLOR_HIGHLIGHTEDTEXT ? HostHighlightText : 0;
    if (msg == TODAYM_DRAWWATERMARK) {
        auto *info = reinterpret_cast<TODAYDRAWWATERMARKINFO *>(lParam);
        SetDCBrushColor(info->hdc, HostWatermark);
        return FillRect(info->hdc, &info->rc, (HBRUSH)GetStockObject(DC_BRUSH));
    }
    if (msg == TODAYM_TOOKSELECTION) TookSelection = reinterpret_cast<HWND>(wParam);
    return msg == TODAYM_TOOKSELECTION || msg == WM_ERASEBKGND ? 1 : DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Pixels of the window's client area within a small distance of the colour.
int CountColor(HWND window, COLORREF wanted)
{
    HDC dc = GetDC(window);
    RECT area;
    GetClientRect(window, &area);
    int count = 0;
    for (int y = 0; y < area.bottom; y++)
        for (int x = 0; x < area.right; x++) {
            COLORREF c = GetPixel(dc, x, y);
            count += abs(GetRValue(c) - GetRValue(wanted)) < 40 && abs(GetGValue(c) - GetGValue(wanted)) < 40 && abs(GetBValue(c) - GetBValue(wanted)) < 40;
        }
    return ReleaseDC(window, dc), count;
}

// A 96-dpi length at the screen's density.
DWORD Scaled(int length) { return (DWORD)(length * ScreenCaps(LOGPIXELSY) / 96); }

// A stand-in host window over the whole screen; the items' keys are removed at the end.
class Plugins : public testing::Test {
protected:
    HWND Parent = nullptr;
    std::vector<std::unique_ptr<TODAYLISTITEM>> Records;

    void SetUp() override
    {
        WNDCLASSW wc = {0, HostProc, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"PluginsTestHost"};
        RegisterClassW(&wc);
        Parent = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"host", WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                 GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(Parent), PumpMessages();
    }
    void TearDown() override { DestroyWindow(Parent), DeleteRegTree(HKEY_LOCAL_MACHINE, NotesKey); }
    // Calls the DLL's ordinal 240 with a fresh record for the named item, as a host does.
    HWND Create(const wchar_t *dll, const wchar_t *name, TODAYLISTITEM **record)
    {
        HMODULE module = LoadLibraryW((PluginFolder + dll + L".dll").c_str());
        auto init = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(reinterpret_cast<void *>(GetProcAddress(module, MAKEINTRESOURCEA(240))));
        EXPECT_TRUE(init && GetProcAddress(module, MAKEINTRESOURCEA(241))) << "entry points at ordinals 240 and 241";
        Records.push_back(std::make_unique<TODAYLISTITEM>());
        *record = Records.back().get();
        lstrcpynW((*record)->szName, name, MAX_ITEMNAME);
        (*record)->tlit = tlitCustom, (*record)->hinstDLL = module;
        return (*record)->hwndCustom = init ? init(*record, Parent) : nullptr;
    }
    static LRESULT Query(HWND w, TODAYLISTITEM *r) { return SendMessageW(w, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)r, 0); }
};

} // namespace

TEST_F(Plugins, ItemsPaintInTheHostsColoursAndOwnerAndNotesFollowEditsAndTapsAtTheNextPoll)
{
    RegistrySetString(HKEY_LOCAL_MACHINE, NotesKey.c_str(), L"Note1", L"Water the plants");
    int top = 0;
    for (auto [dll, name] : {std::pair{L"NimbraClock", L"TestClock"}, {L"NimbraNotes", L"TestNotes"}, {L"NimbraOwner", L"Owner"}}) {
        SCOPED_TRACE(Narrow(name));
        TODAYLISTITEM *record;
        HWND window = Create(dll, name, &record);
        ASSERT_TRUE(window);
        MoveWindow(window, 0, top, GetSystemMetrics(SM_CXSCREEN), (int)record->cyp, TRUE), top += (int)record->cyp + 1;   // as a host lays it out
        // Unselected: text on the host's watermark; selected: highlighted text on the highlight.
        struct Look { UINT message; LRESULT answer; COLORREF fill, text, absent; };
        for (Look look : {Look{0, 0, HostWatermark, HostText, HostHighlight},
                          {WM_TODAYCUSTOM_RECEIVEDSELECTION, TRUE, HostHighlight, HostHighlightText, HostWatermark},
                          {WM_TODAYCUSTOM_LOSTSELECTION, 0, HostWatermark, HostText, HostHighlight}}) {
            EXPECT_EQ(look.message ? SendMessageW(window, look.message, VK_DOWN, 0) : 0, look.answer);
            UpdateWindow(window);
            EXPECT_GT(CountColor(window, look.fill), (int)(GetSystemMetrics(SM_CXSCREEN) * record->cyp / 2));
            EXPECT_EQ(std::make_pair(CountColor(window, look.text) > 20, CountColor(window, look.absent)), std::make_pair(true, 0));
        }
    }
    // The owner and the notes follow edits and taps at the next poll.
    MoveRegTree(HKEY_CURRENT_USER, OwnerKey, OwnerBackup);   // the device's owner comes back at the end
    for (const wchar_t *field : {L"Name", L"Company", L"Telephone", L"E-mail"}) RegistrySetString(HKEY_CURRENT_USER, OwnerKey, field, L"Robin");
    for (const wchar_t *note : {L"Note1", L"Note2", L"Note3"}) RegistrySetString(HKEY_LOCAL_MACHINE, NotesKey.c_str(), note, note);
    TODAYLISTITEM *owner, *notes, *empty;
    HWND o = Create(L"NimbraOwner", L"Owner", &owner), n = Create(L"NimbraNotes", L"TestNotes", &notes), e = Create(L"NimbraNotes", L"TestEmpty", &empty);
    ASSERT_TRUE(o && n && e);
    auto drop = [](const wchar_t *f, const wchar_t *g) { return [=] { RegistryDeleteValue(HKEY_CURRENT_USER, OwnerKey, f), RegistryDeleteValue(HKEY_CURRENT_USER, OwnerKey, g); }; };
    auto send = [](HWND w, UINT m) { return [=] { SendMessageW(w, m, m == WM_LBUTTONDOWN ? MK_LBUTTON : VK_RETURN, 0); }; };
    // Each step, then the poll: its answer (a redraw) and the height in 16-pixel lines below a 4-pixel margin.
    struct Step { const char *name; std::function<void()> act; HWND window; TODAYLISTITEM *record; LRESULT answer; int lines; };
    const Step steps[] = {
        {"owner: four fields", [] {}, o, owner, 0, 4},
        {"owner: two removed", drop(L"Company", L"E-mail"), o, owner, 1, 2},
        {"owner: an edit at the same height", [] { RegistrySetString(HKEY_CURRENT_USER, OwnerKey, L"Telephone", L"555 0199"); }, o, owner, 1, 2},
        {"owner: nothing set, one line that says so", drop(L"Name", L"Telephone"), o, owner, 1, 1},
        {"notes: folded, heading and first note", [] {}, n, notes, 0, 2},
        {"notes: a tap unfolds", send(n, WM_LBUTTONDOWN), n, notes, 1, 4},
        {"notes: Enter folds", send(n, WM_TODAYCUSTOM_ACTION), n, notes, 1, 2},
        {"notes: read again at each poll", [&] { RegistrySetString(HKEY_LOCAL_MACHINE, NotesKey.c_str(), L"Note4", L"4"), send(n, WM_TODAYCUSTOM_ACTION)(); }, n, notes, 1, 5},
        {"notes: none, nothing to unfold", send(e, WM_TODAYCUSTOM_ACTION), e, empty, 0, 1},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        const DWORD before = step.record->cyp;
        EXPECT_EQ((step.act(), step.record->cyp), before) << "the host learns the height when it polls";
        EXPECT_EQ(Query(step.window, step.record), step.answer);
        EXPECT_EQ(step.record->cyp, Scaled(4 + step.lines * 16));
    }
    EXPECT_EQ(TookSelection, n);
    DWORD expanded = 9;
    EXPECT_EQ((RegistryGetDWORD(HKEY_LOCAL_MACHINE, NotesKey.c_str(), L"Expanded", &expanded), expanded), 1u) << "kept for the next start";
    MoveRegTree(HKEY_CURRENT_USER, OwnerBackup, OwnerKey);
}

