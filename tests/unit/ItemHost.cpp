// ItemHost with probe items: stacking, the height poll, scrolling, the answers to the items'
// messages and the tap-and-hold that opens the settings.
#include "unit/ItemFixture.h"

namespace {

using Lines = std::vector<std::wstring>;

class ItemHostFixture : public HostTest {
protected:
    // Loads probe items with the given heights, named H<height>.
    void LoadHeights(std::initializer_list<int> heights)
    {
        std::wstring list = std::to_wstring(heights.size()) + L"::";
        for (int h : heights) {
            std::wstring name = L"H" + std::to_wstring(h);
            AddItem(name.c_str(), {{PROBE_HEIGHT, (DWORD)h}, {PROBE_DRAW_TEXT, 0}});
            list += name + L"::";
        }
        LoadList(list.c_str());
    }
    // Paints everything now and leaves nothing invalid.
    void Settle()
    {
        PumpMessages();
        RedrawWindow(MainWindow, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    static COLORREF HostPixel(int x, int y)
    {
        HDC dc = GetDC(ItemHost);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(ItemHost, dc);
        return c;
    }
    static int Scroll(int request, int thumb = 0)
    {
        SendMessageW(ItemHost, WM_VSCROLL, MAKEWPARAM(request, thumb), 0);
        return ScrollPos;
    }
    static std::vector<int> Tops()
    {
        std::vector<int> tops;
        for (UINT i = 0; i < ItemCount; i++) tops.push_back(HostRect(Items[i].hwndCustom).top);
        return tops;
    }
    // A mouse event at p (ItemHost client coordinates) in SendInput's absolute units.
    static INPUT Mouse(POINT p, DWORD flags)
    {
        ClientToScreen(ItemHost, &p);
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        in.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
        return in;
    }
    static bool PointerTo(POINT p)
    {
        ClientToScreen(ItemHost, &p);
        return MovePointerTo(p.x, p.y);
    }
    // A press held at p by real mouse input for 900 ms.
    static void HoldAt(POINT p)
    {
        INPUT move = Mouse(p, MOUSEEVENTF_MOVE), down = Mouse(p, MOUSEEVENTF_LEFTDOWN), up = Mouse(p, MOUSEEVENTF_LEFTUP);
        ASSERT_TRUE(PointerTo(p));
        SendInput(1, &move, sizeof(INPUT));
        PumpFor(300);   // a move arriving during the press would end the hold as a drag
        SendInput(1, &down, sizeof(INPUT));
        PumpFor(900);
        SendInput(1, &up, sizeof(INPUT));
        PumpFor(100);
    }
};

} // namespace

class ItemHost_Layout : public ItemHostFixture {};
class ItemHost_Scrolling : public ItemHostFixture {};
class ItemHost_Messages : public ItemHostFixture {};
class ItemHost_Hires : public ItemHostFixture {};

TEST_F(ItemHost_Layout, StacksItemsWithOneRowGapsAndSeparators)
{
    AddItem(L"Broken", {{PROBE_FAIL_CREATE, 1}});
    AddItem(L"H30", {{PROBE_HEIGHT, 30}, {PROBE_DRAW_TEXT, 0}});
    AddItem(L"H40", {{PROBE_HEIGHT, 40}, {PROBE_DRAW_TEXT, 0}});
    AddItem(L"H50", {{PROBE_HEIGHT, 50}, {PROBE_DRAW_TEXT, 0}});
    LoadList(L"4::H30::Broken::H40::H50::");
    EXPECT_EQ(Items[0].Top, 0);
    EXPECT_EQ(Items[2].Top, 31);
    EXPECT_EQ(Items[3].Top, 72);
    EXPECT_EQ(ContentHeight, 123);
    ExpectConsistentLayout();

    // One separator between neighbours, none below the last; the items paint the background
    // behind them through the host, from their own rows.
    Settle();
    int x = ClientWidth / 2;
    EXPECT_EQ(HostPixel(x, 30), TEST_SEPARATOR_COLOR);
    EXPECT_EQ(HostPixel(x, 71), TEST_SEPARATOR_COLOR);
    for (int y : {5, 29, 60, 100, 121, 122}) EXPECT_EQ(HostPixel(x, y), BackgroundAt(y)) << y;
}

TEST_F(ItemHost_Layout, PollTickAsksEachItemAndMovesOnlyFromTheFirstChange)
{
    LoadHeights({30, 40, 50});
    Settle();
    Probe.ClearLog();
    SendMessageW(ItemHost, WM_TIMER, REFRESH_TIMER, 0);
    EXPECT_EQ(Log(nullptr, {L"query"}).size(), 3u);
    EXPECT_EQ(Log(nullptr, {L"move", L"size"}).size(), 0u);
    EXPECT_FALSE(GetUpdateRect(ItemHost, nullptr, FALSE));
    for (UINT i = 0; i < 3; i++) EXPECT_FALSE(GetUpdateRect(Items[i].hwndCustom, nullptr, FALSE));

    Probe.SetHeight(L"H40", 45);
    Probe.ClearLog();
    LayoutItems(false);
    EXPECT_EQ(Log(L"H30", {L"move", L"size"}), Lines{});
    EXPECT_EQ(Log(L"H40", {L"size"}), (Lines{L"size " + std::to_wstring(ClientWidth) + L" 45"}));
    EXPECT_EQ(Log(L"H50", {L"move"}), (Lines{L"move 0 77"}));
    ExpectConsistentLayout();
}

TEST_F(ItemHost_Layout, RefreshAskedFromInsideTheHeightQueryRunsOneMorePass)
{
    AddItem(L"Nag", {{PROBE_HEIGHT, 25}, {PROBE_REFRESH_IN_QUERY, 1000}});
    LoadList(L"1::Nag::");
    Probe.ClearLog();
    LayoutItems(false);
    // Passes follow each other, never nest: each request is logged before its own query ends.
    EXPECT_EQ(Log(L"Nag", {L"query", L"refresh"}),
              (Lines{L"refresh -> 1", L"query tli=self cyp=25 -> 0", L"refresh -> 1", L"query tli=self cyp=25 -> 0"}));

    Probe.SetOption(L"Nag", PROBE_REFRESH_IN_QUERY, 0);
    Probe.ClearLog();
    EXPECT_EQ(SendMessageW(ItemHost, TODAYM_REQUESTREFRESH, 0, 0), 1);
    EXPECT_EQ(Log(L"Nag", {L"query"}).size(), 1u);
}

TEST_F(ItemHost_Scrolling, TallContentScrollsByLinesPagesAndThumb)
{
    LoadHeights({ViewHeight - ScaleY(1)});
    EXPECT_EQ(ContentHeight, ViewHeight);
    EXPECT_FALSE(ScrollBarShown) << "content that fits exactly";
    LoadHeights({150, 151, 152});
    ASSERT_TRUE(ScrollBarShown);
    EXPECT_EQ(ItemWidth, ClientWidth - ScrollBarWidth);
    ExpectConsistentLayout();
    const int last = ContentHeight - ViewHeight, line = ScaleY(10);

    // A line moves every window by the line and repaints only the band it uncovers.
    Settle();
    std::vector<int> before = Tops();
    EXPECT_EQ(Scroll(SB_LINEDOWN), 1 + line);
    for (UINT i = 0; i < 3; i++) EXPECT_EQ(Tops()[i], before[i] - line);
    RECT band = {};
    GetUpdateRect(ItemHost, &band, FALSE);
    EXPECT_EQ(band.top, ViewHeight - line);
    EXPECT_EQ(band.bottom, ViewHeight);
    EXPECT_EQ(band.right, ItemWidth);
    ExpectConsistentLayout();

    EXPECT_EQ(Scroll(SB_PAGEUP), 1) << "a page up near the top stops at the top";
    EXPECT_EQ(Tops(), before);
    EXPECT_EQ(Scroll(SB_THUMBTRACK, 100), 1) << "the view moves when the thumb is released";
    EXPECT_EQ(Scroll(SB_THUMBPOSITION, 50), 50);
    EXPECT_EQ(Scroll(SB_PAGEDOWN), 50 + ScaleY(40));
    EXPECT_EQ(Scroll(SB_THUMBPOSITION, last + 50), last);
    EXPECT_EQ(Scroll(SB_LINEDOWN), last);
    ExpectConsistentLayout();
}

TEST_F(ItemHost_Scrolling, ThumbDraggedPast16BitsLandsWhereItWasDropped)
{
    LoadHeights({100000, 100001});
    ASSERT_GT(ContentHeight - ViewHeight, 0xFFFF);
    Settle();
    // Press the thumb just below the up arrow, drag it below the bar's end, release.
    POINT press = {ClientWidth - ScrollBarWidth / 2, GetSystemMetrics(SM_CYVSCROLL) + 3};
    POINT drop = {press.x, ViewHeight + 40};
    // Under a loaded X server a whole burst of input is now and then lost before the bar sees
    // the press; the drag is then sent again. Once the bar has moved, it must be exact.
    for (int attempt = 0; attempt < 3 && ScrollPos == 1; attempt++) {
        ASSERT_TRUE(PointerTo(press));
        INPUT in[5] = {Mouse(press, MOUSEEVENTF_MOVE), Mouse(press, MOUSEEVENTF_LEFTDOWN),
                       Mouse({press.x, drop.y - 20}, MOUSEEVENTF_MOVE), Mouse(drop, MOUSEEVENTF_MOVE),
                       Mouse(drop, MOUSEEVENTF_LEFTUP)};
        SendInput(5, in, sizeof(INPUT));
        PumpUntil([] { return ScrollPos != 1; }, 1500);
        PumpFor(100);
    }
    EXPECT_EQ(ScrollPos, ContentHeight - ViewHeight);
    ExpectConsistentLayout();
}

TEST_F(ItemHost_Messages, TapAndHoldOnTheGapOpensTheSettingsButNotOnAnItem)
{
    LoadHeights({30, 40, 50});
    Settle();
    HoldAt({ClientWidth / 2, 50});   // on the second item
    EXPECT_EQ(TestMainLog.ShowSettings, 0);
    HoldAt({ClientWidth / 2, 30});   // the gap below the first item
    EXPECT_TRUE(PumpUntil([] { return TestMainLog.ShowSettings == 1; }, 1000));
    HoldAt({ClientWidth / 2, 200});  // below the last item
    EXPECT_TRUE(PumpUntil([] { return TestMainLog.ShowSettings == 2; }, 1000));
    // A tap released before the host sees it press is no hold.
    POINT p = {ClientWidth / 2, 250};
    INPUT tap[3] = {Mouse(p, MOUSEEVENTF_MOVE), Mouse(p, MOUSEEVENTF_LEFTDOWN), Mouse(p, MOUSEEVENTF_LEFTUP)};
    SendInput(3, tap, sizeof(INPUT));
    PumpFor(900);
    EXPECT_EQ(TestMainLog.ShowSettings, 2);
}

TEST_F(ItemHost_Messages, AnswersTheItemsQueries)
{
    LoadHeights({30});
    const COLORREF saved[3] = {TextColor, HighlightColor, HighlightTextColor};
    TextColor = RGB(1, 2, 3), HighlightColor = RGB(4, 5, 6), HighlightTextColor = RGB(7, 8, 9);
    const int bigTray = AppSettings.BigTray;
    const std::pair<WPARAM, COLORREF> colors[] = {{TODAYCOLOR_TEXT, RGB(1, 2, 3)}, {TODAYCOLOR_HIGHLIGHT, RGB(4, 5, 6)},
                                              {TODAYCOLOR_HIGHLIGHTEDTEXT, RGB(7, 8, 9)}, {0x10000006, 0}};
    for (const auto &c : colors) EXPECT_EQ(Probe.QueryHost(L"H30", TODAYM_GETCOLOR, c.first, 0), (LRESULT)c.second);
    TextColor = saved[0], HighlightColor = saved[1], HighlightTextColor = saved[2];

    EXPECT_EQ(Probe.QueryHost(L"H30", TODAYM_DRAWWATERMARK, 0, 0), 0);
    EXPECT_EQ(Probe.QueryHost(L"H30", TODAYM_DRAWWATERMARK, 0, 0x10), 0) << "an unreadable record is refused";
    for (int big : {0, 1}) {
        AppSettings.BigTray = big;
        EXPECT_EQ(Probe.QueryHost(L"H30", TODAYM_GETTRAYSTYLE, 0, 0), big ? 7 : 3);
    }
    AppSettings.BigTray = bigTray;
    EXPECT_EQ(Probe.QueryHost(L"H30", TODAYM_GETHOSTWINDOW, 0, 0), (LRESULT)MainWindow);
    EXPECT_EQ(Probe.QueryHost(L"H30", TODAYM_TOOKSELECTION, (WPARAM)Items[0].hwndCustom, 0), 1);
}

TEST_F(ItemHost_Hires, GapIsTwoRowsAtDoubleDensity)
{
    ASSERT_EQ(ScaleY(1), 2);
    LoadHeights({30, 40, 50});
    EXPECT_EQ(Items[1].Top, 32);
    EXPECT_EQ(Items[2].Top, 74);
    EXPECT_EQ(ContentHeight, 126);
    ExpectConsistentLayout();
    Settle();
    EXPECT_EQ(HostPixel(ClientWidth / 2, 31), TEST_SEPARATOR_COLOR);
}
