// Nimbra's sample Today items (clock, owner, notes) in the item host: what they draw in the
// host's colours, how they size themselves and how they answer the height poll.
#include "unit/ItemFixture.h"
#include "items/navigation.h"

namespace {

const std::wstring PluginFolder = L"C:\\Program Files\\Nimbra\\plugins\\";
const wchar_t *const OwnerKey = L"ControlPanel\\Owner", *const OwnerBackup = L"Software\\NimbraTests\\Owner";
const COLORREF HostText = RGB(255, 0, 0), HostHighlight = RGB(0, 160, 0), HostHighlightText = RGB(255, 255, 0),
               HostWatermark = RGB(0, 0, 255);

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

// The host in the test's colours over a watermark of one colour; its poll is the test's to make.
class Plugins : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        TextColor = HostText, HighlightColor = HostHighlight, HighlightTextColor = HostHighlightText;
        RECT all = {0, 0, 4000, 4000};
        SetDCBrushColor(BackgroundDC, HostWatermark), FillRect(BackgroundDC, &all, (HBRUSH)GetStockObject(DC_BRUSH));
    }
    // Registers the items ("DLL name" pairs), runs prepare, and hosts them; answers their windows.
    std::vector<HWND> Host(std::initializer_list<std::pair<const wchar_t *, const wchar_t *>> items, const std::function<void()> &prepare)
    {
        std::wstring list = std::to_wstring(items.size()) + L"::";
        for (auto [dll, name] : items) AddItem(name, {}, (PluginFolder + dll + L".dll").c_str()), list += name + std::wstring(L"::");
        prepare(), LoadList(list.c_str()), KillTimer(ItemHost, REFRESH_TIMER), UpdateWindow(ItemHost);
        std::vector<HWND> windows;
        for (UINT i = 0; i < ItemCount; i++) windows.push_back(Items[i].hwndCustom);
        return windows;
    }
};

} // namespace

TEST_F(Plugins, ItemsPaintInTheHostsColoursAndOwnerAndNotesFollowEditsAndTapsAtTheNextPoll)
{
    MoveRegTree(HKEY_CURRENT_USER, OwnerKey, OwnerBackup);   // the device's owner comes back at the end
    for (const wchar_t *field : {L"Name", L"Company", L"Telephone", L"E-mail"}) RegistrySetString(HKEY_CURRENT_USER, OwnerKey, field, L"Robin");
    const std::vector<HWND> w = Host({{L"NimbraClock", L"TestClock"}, {L"NimbraNotes", L"TestNotes"}, {L"NimbraOwner", L"TestOwner"}, {L"NimbraNotes", L"TestEmpty"}},
                                     [] { for (const wchar_t *note : {L"Note1", L"Note2", L"Note3"}) RegistrySetString(HKEY_LOCAL_MACHINE, KeyOf(L"TestNotes").c_str(), note, note); });
    ASSERT_TRUE(w.size() == 4 && w[0] && w[1] && w[2] && w[3]);
    for (int i = 0; i < 3; i++) EXPECT_TRUE(GetProcAddress(Items[i].hinstDLL, MAKEINTRESOURCEA(241))) << "the options dialog at ordinal 241, " << i;
    SelectedItem = -1;
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        // Unselected: text on the host's watermark; selected: highlighted text on the highlight.
        struct Look { UINT message; LRESULT answer; COLORREF fill, text, absent; };
        for (Look look : {Look{0, 0, HostWatermark, HostText, HostHighlight},
                          {WM_TODAYCUSTOM_RECEIVEDSELECTION, TRUE, HostHighlight, HostHighlightText, HostWatermark},
                          {WM_TODAYCUSTOM_LOSTSELECTION, 0, HostWatermark, HostText, HostHighlight}}) {
            EXPECT_EQ(look.message ? SendMessageW(w[i], look.message, VK_DOWN, 0) : 0, look.answer);
            UpdateWindow(w[i]);
            EXPECT_GT(CountColor(w[i], look.fill), (int)(ClientWidth * Items[i].cyp / 2));
            EXPECT_EQ(std::make_pair(CountColor(w[i], look.text) > 20, CountColor(w[i], look.absent)), std::make_pair(true, 0));
        }
    }
    // The owner and the notes follow edits and taps at the next poll.
    auto drop = [](const wchar_t *f, const wchar_t *g) { return [=] { RegistryDeleteValue(HKEY_CURRENT_USER, OwnerKey, f), RegistryDeleteValue(HKEY_CURRENT_USER, OwnerKey, g); }; };
    auto send = [](HWND window, UINT m) { return [=] { SendMessageW(window, m, m == WM_LBUTTONDOWN ? MK_LBUTTON : VK_RETURN, 0); }; };
    // Each step, then the poll of the item: its answer (a redraw) and the height in 16-pixel lines below a 4-pixel margin.
    struct Step { const char *name; std::function<void()> act; int item; LRESULT answer; int lines; };
    const Step steps[] = {
        {"owner: four fields", [] {}, 2, 0, 4},
        {"owner: two removed", drop(L"Company", L"E-mail"), 2, 1, 2},
        {"owner: an edit at the same height", [] { RegistrySetString(HKEY_CURRENT_USER, OwnerKey, L"Telephone", L"555 0199"); }, 2, 1, 2},
        {"owner: nothing set, one line that says so", drop(L"Name", L"Telephone"), 2, 1, 1},
        {"notes: folded, heading and first note", [] {}, 1, 0, 2},
        {"notes: a tap unfolds", send(w[1], WM_LBUTTONDOWN), 1, 1, 4},
        {"notes: Enter folds", send(w[1], WM_TODAYCUSTOM_ACTION), 1, 1, 2},
        {"notes: read again at each poll", [&] { RegistrySetString(HKEY_LOCAL_MACHINE, KeyOf(L"TestNotes").c_str(), L"Note4", L"4"), send(w[1], WM_TODAYCUSTOM_ACTION)(); }, 1, 1, 5},
        {"notes: none, nothing to unfold", send(w[3], WM_TODAYCUSTOM_ACTION), 3, 0, 1},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        const DWORD before = Items[step.item].cyp;
        EXPECT_EQ((step.act(), Items[step.item].cyp), before) << "the host learns the height when it polls";
        EXPECT_EQ(SendMessageW(w[step.item], WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Items[step.item], 0), step.answer);
        EXPECT_EQ(Items[step.item].cyp, Scaled(4 + step.lines * 16));
    }
    EXPECT_EQ(SelectedItem, 1) << "the tapped notes told the host that they took the selection";
    DWORD expanded = 9;
    EXPECT_EQ((RegistryGetDWORD(HKEY_LOCAL_MACHINE, KeyOf(L"TestNotes").c_str(), L"Expanded", &expanded), expanded), 1u) << "kept for the next start";
    MoveRegTree(HKEY_CURRENT_USER, OwnerBackup, OwnerKey);
}
