// ItemHost with probe items: stacking, the height poll, scrolling, painting, the answers to
// the items' messages and the tap-and-hold that opens the settings.
#include "unit/ItemFixture.h"

namespace {

class ItemHostFixture : public HostTest {
protected:
    // Loads probe items with the given heights, named H<height> (H-5 for -5).
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
    static RECT UpdateRect(HWND window)
    {
        RECT r = {};
        GetUpdateRect(window, &r, FALSE);
        return r;
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
    // A press held at p by real mouse input, released after ms.
    static void HoldAt(POINT p, DWORD ms)
    {
        INPUT move = Mouse(p, MOUSEEVENTF_MOVE), down = Mouse(p, MOUSEEVENTF_LEFTDOWN);
        POINT screen = p;
        ClientToScreen(ItemHost, &screen);
        ASSERT_TRUE(MovePointerTo(screen.x, screen.y));
        SendInput(1, &move, sizeof(INPUT));
        // Let the moves drain before pressing: a late move would end the hold as a drag.
        PumpFor(300);
        SendInput(1, &down, sizeof(INPUT));
        PumpFor(ms);
        INPUT up = Mouse(p, MOUSEEVENTF_LEFTUP);
        SendInput(1, &up, sizeof(INPUT));
        PumpFor(100);
    }
};

using Lines = std::vector<std::wstring>;

} // namespace

class ItemHost_Layout : public ItemHostFixture {};
class ItemHost_Scrolling : public ItemHostFixture {};
class ItemHost_Messages : public ItemHostFixture {};

TEST_F(ItemHost_Layout, NoItemsPaintOnlyTheBackground)
{
    LoadList(L"2::Nothing::Here::");
    Settle();
    EXPECT_EQ(ContentHeight, 0);
    EXPECT_FALSE(ScrollBarShown);
    for (int y : {0, 1, 31, ViewHeight / 2, ViewHeight - 1}) EXPECT_EQ(HostPixel(ClientWidth / 2, y), BackgroundAt(0, y)) << y;
}

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
    EXPECT_FALSE(ScrollBarShown);

    Settle();
    int x = ClientWidth / 2;
    EXPECT_EQ(HostPixel(x, 30), TEST_SEPARATOR_COLOR);
    EXPECT_EQ(HostPixel(x, 71), TEST_SEPARATOR_COLOR);
    EXPECT_EQ(HostPixel(x, 122), BackgroundAt(x, 122)) << "no line below the last item";
    // The items paint the background behind them through the host, from their own rows.
    for (int y : {5, 29, 60, 100, 121}) EXPECT_EQ(HostPixel(x, y), BackgroundAt(x, y)) << y;
}

TEST_F(ItemHost_Layout, PollTickAsksOnceAndMovesOnlyFromTheFirstChange)
{
    LoadHeights({30, 40, 50});
    Settle();
    Probe.ClearLog();
    SendMessageW(ItemHost, WM_TIMER, REFRESH_TIMER, 0);
    EXPECT_EQ(Log(nullptr, {L"query"}).size(), 3u);
    EXPECT_EQ(Log(nullptr, {L"move", L"size"}).size(), 0u);
    EXPECT_FALSE(GetUpdateRect(ItemHost, nullptr, FALSE));
    for (UINT i = 0; i < 3; i++) EXPECT_FALSE(GetUpdateRect(Items[i].hwndCustom, nullptr, FALSE));

    // An item that answers "changed" with the same height moves nothing either.
    Probe.SetOption(L"H30", PROBE_ALWAYS_REFRESH, 1);
    Probe.ClearLog();
    LayoutItems(false);
    EXPECT_EQ(Log(nullptr, {L"move", L"size"}).size(), 0u);

    Probe.SetHeight(L"H40", 45);
    Probe.ClearLog();
    LayoutItems(false);
    EXPECT_EQ(Log(L"H30", {L"move", L"size"}), Lines{});
    EXPECT_EQ(Log(L"H40", {L"size"}), (Lines{L"size " + std::to_wstring(ClientWidth) + L" 45"}));
    EXPECT_EQ(Log(L"H50", {L"move"}), (Lines{L"move 0 77"}));
    ExpectConsistentLayout();

    // A forced pass asks each item once and repaints each once.
    Settle();
    Probe.ClearLog();
    LayoutItems(true);
    Settle();
    for (const wchar_t *name : {L"H30", L"H40", L"H50"}) {
        EXPECT_EQ(Log(name, {L"query"}).size(), 1u);
        EXPECT_EQ(Log(name, {L"paint"}).size(), 1u);
    }
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

TEST_F(ItemHost_Layout, ContentThatFitsExactlyHasNoScrollBar)
{
    LoadHeights({ViewHeight - ScaleY(1)});
    EXPECT_EQ(ContentHeight, ViewHeight);
    EXPECT_FALSE(ScrollBarShown);
    ExpectConsistentLayout();
}

TEST_F(ItemHost_Scrolling, TallContentScrollsByLinesPagesAndThumb)
{
    LoadHeights({150, 151, 152});
    ASSERT_TRUE(ScrollBarShown);
    EXPECT_EQ(ItemWidth, ClientWidth - ScrollBarWidth);
    ExpectConsistentLayout();
    const int last = ContentHeight - ViewHeight, line = ScaleY(10);

    Settle();
    std::vector<int> before = Tops();
    EXPECT_EQ(Scroll(SB_LINEDOWN), 1 + line);
    for (UINT i = 0; i < 3; i++) EXPECT_EQ(Tops()[i], before[i] - line);
    RECT band = UpdateRect(ItemHost);
    EXPECT_EQ(band.top, ViewHeight - line);
    EXPECT_EQ(band.bottom, ViewHeight);
    EXPECT_EQ(band.right, ItemWidth);
    ExpectConsistentLayout();

    // The separators scroll with the items; the freed band shows the background.
    Settle();
    int x = ItemWidth / 2;
    EXPECT_EQ(HostPixel(x, Items[1].Top - 1 - line), TEST_SEPARATOR_COLOR);
    EXPECT_EQ(HostPixel(x, ViewHeight - 2), BackgroundAt(x, ViewHeight - 2));

    EXPECT_EQ(Scroll(SB_PAGEUP), 1) << "a page up near the top stops at the top";
    EXPECT_EQ(Tops(), before);
    EXPECT_EQ(Scroll(SB_THUMBTRACK, 100), 1) << "the view moves when the thumb is released";
    EXPECT_EQ(Scroll(SB_THUMBPOSITION, 50), 50);
    EXPECT_EQ(Scroll(SB_PAGEDOWN), 50 + ScaleY(40));
    EXPECT_EQ(Scroll(SB_THUMBPOSITION, last + 50), last);
    std::vector<int> bottom = Tops();
    EXPECT_EQ(Scroll(SB_LINEDOWN), last);
    EXPECT_EQ(Tops(), bottom);
    ExpectConsistentLayout();
}

TEST_F(ItemHost_Scrolling, LayoutWhileScrolledKeepsWindowsBarAndSeparatorsInStep)
{
    LoadHeights({150, 151, 152});
    Scroll(SB_THUMBPOSITION, 60);
    std::vector<int> scrolled = Tops();

    // Same content height: the forced pass keeps the scrolled position.
    LayoutItems(true);
    EXPECT_EQ(ScrollPos, 60);
    EXPECT_EQ(Tops(), scrolled);
    ExpectConsistentLayout();

    // A new content height sets the bar up again at the top, and the windows go there too.
    Probe.SetHeight(L"H151", 171);
    LayoutItems(false);
    EXPECT_EQ(ScrollPos, 1);
    EXPECT_EQ(Tops()[0], 0);
    ExpectConsistentLayout();
    Settle();
    EXPECT_EQ(HostPixel(ItemWidth / 2, Items[1].Top - 1), TEST_SEPARATOR_COLOR);

    // Content that fits again hides the bar and widens the items.
    Scroll(SB_LINEDOWN);
    Probe.SetHeight(L"H150", 10);
    Probe.SetHeight(L"H151", 10);
    Probe.SetHeight(L"H152", 10);
    LayoutItems(false);
    EXPECT_FALSE(ScrollBarShown);
    EXPECT_EQ(ScrollPos, 0);
    ExpectConsistentLayout();
}

TEST_F(ItemHost_Layout, OddHeightsAndManyItemsKeepTheLayoutConsistent)
{
    AddItem(L"Many", {{PROBE_HEIGHT, 25}});
    std::wstring list = L"33::H0::H-5::H100000::";
    for (int i = 0; i < 30; i++) list += L"Many::";
    AddItem(L"H0", {{PROBE_HEIGHT, 0}});
    AddItem(L"H-5", {{PROBE_HEIGHT, (DWORD)-5}});
    AddItem(L"H100000", {{PROBE_HEIGHT, 100000}});
    LoadList(list.c_str());
    EXPECT_EQ(Probe.Count(L"Many"), 30);
    EXPECT_EQ(ContentHeight, 3 * ScaleY(1) + 100000 + 30 * (25 + ScaleY(1)));
    ExpectConsistentLayout();
    Scroll(SB_THUMBPOSITION, 60000);
    EXPECT_EQ(ScrollPos, 60000);
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
    INPUT in[5] = {Mouse(press, MOUSEEVENTF_MOVE), Mouse(press, MOUSEEVENTF_LEFTDOWN),
                   Mouse({press.x, drop.y - 20}, MOUSEEVENTF_MOVE), Mouse(drop, MOUSEEVENTF_MOVE),
                   Mouse(drop, MOUSEEVENTF_LEFTUP)};
    SendInput(5, in, sizeof(INPUT));
    PumpFor(500);
    EXPECT_EQ(ScrollPos, ContentHeight - ViewHeight);
    ExpectConsistentLayout();
}

TEST_F(ItemHost_Messages, TapAndHoldOnTheGapOpensTheSettingsButNotOnAnItem)
{
    LoadHeights({30, 40, 50});
    Settle();
    HoldAt({ClientWidth / 2, 50}, 900);   // on the second item
    EXPECT_EQ(TestMainLog.ShowSettings, 0);
    HoldAt({ClientWidth / 2, 30}, 900);   // the gap below the first item
    EXPECT_TRUE(PumpUntil([] { return TestMainLog.ShowSettings == 1; }, 1000));
    HoldAt({ClientWidth / 2, 200}, 900);  // below the last item
    EXPECT_TRUE(PumpUntil([] { return TestMainLog.ShowSettings == 2; }, 1000));
    // A tap released before the host sees it press is no hold.
    INPUT tap[3] = {Mouse({ClientWidth / 2, 250}, MOUSEEVENTF_MOVE), Mouse({ClientWidth / 2, 250}, MOUSEEVENTF_LEFTDOWN),
                    Mouse({ClientWidth / 2, 250}, MOUSEEVENTF_LEFTUP)};
    SendInput(3, tap, sizeof(INPUT));
    PumpFor(900);
    EXPECT_EQ(TestMainLog.ShowSettings, 2);
}

TEST_F(ItemHost_Messages, AnswersTheItemsQueries)
{
    LoadHeights({30});
    const wchar_t *item = L"H30";
    COLORREF saved[3] = {TextColor, HighlightColor, HighlightTextColor};
    TextColor = RGB(1, 2, 3);
    HighlightColor = RGB(4, 5, 6);
    HighlightTextColor = RGB(7, 8, 9);
    EXPECT_EQ(Probe.QueryHost(item, TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0), RGB(1, 2, 3));
    EXPECT_EQ(Probe.QueryHost(item, TODAYM_GETCOLOR, TODAYCOLOR_HIGHLIGHT, 0), RGB(4, 5, 6));
    EXPECT_EQ(Probe.QueryHost(item, TODAYM_GETCOLOR, TODAYCOLOR_HIGHLIGHTEDTEXT, 0), RGB(7, 8, 9));
    EXPECT_EQ(Probe.QueryHost(item, TODAYM_GETCOLOR, 0x10000006, 0), 0);
    TextColor = saved[0], HighlightColor = saved[1], HighlightTextColor = saved[2];

    EXPECT_EQ(Probe.QueryHost(item, TODAYM_DRAWWATERMARK, 0, 0), 0);
    EXPECT_EQ(Probe.QueryHost(item, TODAYM_DRAWWATERMARK, 0, 0x10), 0) << "an unreadable record is refused";
    int bigTray = AppSettings.BigTray;
    AppSettings.BigTray = 0;
    EXPECT_EQ(Probe.QueryHost(item, TODAYM_GETTRAYSTYLE, 0, 0), 3);
    AppSettings.BigTray = 1;
    EXPECT_EQ(Probe.QueryHost(item, TODAYM_GETTRAYSTYLE, 0, 0), 7);
    AppSettings.BigTray = bigTray;
    EXPECT_EQ(Probe.QueryHost(item, TODAYM_GETHOSTWINDOW, 0, 0), (LRESULT)MainWindow);
    EXPECT_EQ(Probe.QueryHost(item, TODAYM_TOOKSELECTION, (WPARAM)Items[0].hwndCustom, 0), 1);
}

class ItemHost_Hires : public ItemHostFixture {};

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
