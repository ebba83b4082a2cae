// ItemHost with probe items: stacking, the height poll, scrolling and the answers to the items'
// messages. (The tap-and-hold that opens the settings is held end to end in e2e/Settings.cpp.)
#include "unit/ItemFixture.h"

class ItemHost_Window : public HostTest {
protected:
    // Loads probe items with the given heights, named H<height>.
    void LoadHeights(const Ints &heights)
    {
        std::wstring list = std::to_wstring(heights.size()) + L"::";
        for (int h : heights) AddItem((L"H" + std::to_wstring(h)).c_str(), {{PROBE_HEIGHT, (DWORD)h}}), list += L"H" + std::to_wstring(h) + L"::";
        LoadList(list.c_str());
    }
    // Paints everything now and leaves nothing invalid.
    static void Settle() { PumpMessages(), RedrawWindow(MainWindow, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }
    static COLORREF Pixel(int x, int y) { return PixelOf(ItemHost, x, y); }
    // Whether ItemHost and each item window have something to repaint.
    static Ints Invalid()
    {
        Ints invalid = {GetUpdateRect(ItemHost, nullptr, FALSE)};
        for (UINT i = 0; i < ItemCount; i++) invalid.push_back(GetUpdateRect(Items[i].hwndCustom, nullptr, FALSE));
        return invalid;
    }
    static int Scroll(int request, int thumb = 0) { return SendMessageW(ItemHost, WM_VSCROLL, MAKEWPARAM(request, thumb), 0), ScrollPos; }
    // Three items 30, 40 and 50 rows high, stacked with gaps of gap rows and a separator in the last row of each gap.
    void ExpectStack(int gap)
    {
        LoadHeights({30, 40, 50});
        EXPECT_EQ(std::make_pair(Tops(), ContentHeight), std::make_pair(Ints{0, 30 + gap, 70 + 2 * gap}, 120 + 3 * gap));
        Settle();
        // One separator between neighbours, none below the last; the items paint the
        // background behind them through the host, from their own rows.
        for (int y : {29 + gap, 69 + 2 * gap}) EXPECT_EQ(Pixel(100, y), TEST_SEPARATOR_COLOR) << y;
        for (int y : {5, 29, 60, 100, 118 + 3 * gap, 119 + 3 * gap}) EXPECT_EQ(Pixel(100, y), BackgroundAt(y)) << y;
    }
};

class ItemHost_Hires : public ItemHost_Window {};

TEST_F(ItemHost_Hires, GapIsTwoRowsAtDoubleDensity) { ExpectStack(2); }

TEST_F(ItemHost_Window, StacksItemsWithOneRowGapsAndSeparatorsPlacesNewWindowsAndPollsTheHeights)
{
    ExpectStack(1);
    // New windows are placed also when the total height stays the same.
    LoadList(L"3::H50::H40::H30::");   // reordered
    EXPECT_EQ(Tops(), (Ints{0, 51, 92}));
    UnloadItemsNamed(L"H30"), ReloadItems();   // and made again
    EXPECT_EQ(Tops(), (Ints{0, 51, 92}));
    // The poll asks every item and, while no height changes, moves and repaints nothing.
    Settle(), DeleteFileW(PROBE_LOG_PATH), SendMessageW(ItemHost, WM_TIMER, REFRESH_TIMER, 0);
    EXPECT_EQ(Log("", {"query"}).size(), 3u);
    EXPECT_EQ(Invalid(), (Ints{0, 0, 0, 0}));
    SendMessageW(Items[1].hwndCustom, PROBE_SET_HEIGHT, 45, 0), LayoutItems(false);
    EXPECT_EQ(Tops(), (Ints{0, 51, 97}));
    // A refresh an item asks for from inside its height query runs after the pass.
    AddItem(L"Nag", {{PROBE_HEIGHT, 25}, {PROBE_HOST_CALL, TODAYM_REQUESTREFRESH}, {PROBE_HOST_CALL_AT, 2}});
    LoadList(L"1::Nag::"), DeleteFileW(PROBE_LOG_PATH), LayoutItems(false);
    // Asked again from inside that pass, it is already answered.
    EXPECT_EQ(Log("Nag", {"query", "hostcall"}), (Lines{"query tli=self cyp=25 -> 0", "hostcall 1127 -> 1",
                                                     "query tli=self cyp=25 -> 0", "hostcall 1127 -> 1"}));
}

TEST_F(ItemHost_Window, LinesPagesAndThumbMoveTheItemsOverTheStillBackgroundAlsoFarDownAndTheBarFollowsARotation)
{
    LoadHeights({ViewHeight - 1});
    EXPECT_FALSE(ScrollBarShown) << "content that fits exactly";
    LoadHeights({150, 151, 152});
    ASSERT_TRUE(ScrollBarShown);
    EXPECT_EQ(WindowPlace(Items[2].hwndCustom)[2], ClientWidth - ScrollBarWidth) << "the items make room for the bar";
    const int last = ContentHeight - ViewHeight;
    const Ints steps[] = {{SB_LINEDOWN, 0, 11}, {SB_PAGEUP, 0, 1}, {SB_THUMBTRACK, 100, 1}, {SB_THUMBPOSITION, 50, 50},
                          {SB_PAGEDOWN, 0, 90}, {SB_THUMBPOSITION, last + 50, last}, {SB_LINEDOWN, 0, last}};
    for (const Ints &step : steps) {
        SCOPED_TRACE("request " + std::to_string(step[0]));
        Settle();
        const int from = ScrollPos, position = step[2];
        EXPECT_EQ(Scroll(step[0], step[1]), position);
        RECT band = {};
        GetUpdateRect(ItemHost, &band, FALSE);
        if (step[0] == SB_LINEDOWN && position != from) {   // a line repaints the band it uncovers
            EXPECT_EQ((Ints{band.top, band.right, band.bottom}), (Ints{ViewHeight - 10, ItemWidth, ViewHeight}));
        }
        EXPECT_EQ(Tops(), (Ints{1 - position, 152 - position, 304 - position}));
        EXPECT_EQ(Invalid(), Ints(4, position != from)) << "the items draw their background again where they now are";
        Settle();
        for (int y : {60, 200, 310}) EXPECT_EQ(Pixel(10, y), BackgroundAt(y)) << y;
    }
    // Turned and back: the bar's page follows the view.
    const int tall = ViewHeight, wide = ClientWidth;
    for (int height : {wide, tall}) {
        Resize(height == wide ? tall : wide, height);
        EXPECT_EQ(Scroll(SB_THUMBPOSITION, 1000), ContentHeight - height) << "the end is reachable at height " << height;
        EXPECT_EQ(std::make_pair(Tops()[2] + 152, (int)WindowPlace(Items[2].hwndCustom)[2]), std::make_pair(height, ClientWidth - ScrollBarWidth)) << "the last item ends at the view's end, beside the bar";
    }
    // Content beyond the window manager's coordinates: the second item starts where window
    // positions are clamped, and scrolls into place.
    LoadHeights({39999, 500});
    EXPECT_EQ(Scroll(SB_THUMBPOSITION, 39902), 39902);
    EXPECT_EQ(Tops()[1], 99);
    LoadHeights({30});   // content that fits while scrolled: the bar goes, the item is at the top in full width
    EXPECT_EQ(std::make_tuple(ScrollBarShown, Tops()[0], WindowPlace(Items[0].hwndCustom)[2]), std::make_tuple(false, 0, ClientWidth));
}

TEST_F(ItemHost_Window, AnswersTheItemsQueries)
{
    // (The colours and the watermark drawn for an item are the sample items' test.)
    LoadHeights({30});
    TODAYDRAWWATERMARKINFO bad = {BackgroundDC, {0, 0, 4, 4}, (HWND)(ULONG_PTR)0x1234};
    const struct { UINT msg; WPARAM wParam; LPARAM lParam; LRESULT answer; } cases[] = {
        {TODAYM_GETCOLOR, 0x10000006, 0, 0}, {TODAYM_DRAWWATERMARK, 0, (LPARAM)&bad, 0},
        {TODAYM_DRAWWATERMARK, 0, 0x10, 0},   // an unreadable record
        {TODAYM_GETTRAYSTYLE, 0, 0, 3}, {TODAYM_GETHOSTWINDOW, 0, 0, (LRESULT)MainWindow},
        {TODAYM_TOOKSELECTION, (WPARAM)Items[0].hwndCustom, 0, 1}, {TODAYM_REQUESTREFRESH, 0, 0, 1},
    };
    for (const auto &c : cases) EXPECT_EQ(SendMessageW(ItemHost, c.msg, c.wParam, c.lParam), c.answer) << c.msg;
    EXPECT_EQ((AppSettings.BigTray = 1, SendMessageW(ItemHost, TODAYM_GETTRAYSTYLE, 0, 0)), 7);
    AppSettings.BigTray = 0;
}
