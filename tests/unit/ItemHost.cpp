// ItemHost with probe items: stacking, the height poll, scrolling, the answers to the items'
// messages and the tap-and-hold that opens the settings.
#include "unit/ItemFixture.h"

namespace {

class ItemHost_Window : public HostTest {
protected:
    // Loads probe items with the given heights, named H<height>.
    void LoadHeights(const Ints &heights)
    {
        std::wstring list = std::to_wstring(heights.size()) + L"::";
        for (int h : heights) {
            std::wstring name = L"H" + std::to_wstring(h);
            AddItem(name.c_str(), {{PROBE_HEIGHT, (DWORD)h}});
            list += name + L"::";
        }
        LoadList(list.c_str());
    }
    // Paints everything now and leaves nothing invalid.
    static void Settle()
    {
        PumpMessages();
        RedrawWindow(MainWindow, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    static COLORREF Pixel(int x, int y)
    {
        HDC dc = GetDC(ItemHost);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(ItemHost, dc);
        return c;
    }
    // Whether ItemHost and each item window have something to repaint.
    static Ints Invalid()
    {
        Ints invalid = {GetUpdateRect(ItemHost, nullptr, FALSE)};
        for (UINT i = 0; i < ItemCount; i++) invalid.push_back(GetUpdateRect(Items[i].hwndCustom, nullptr, FALSE));
        return invalid;
    }
    static int Scroll(int request, int thumb = 0)
    {
        SendMessageW(ItemHost, WM_VSCROLL, MAKEWPARAM(request, thumb), 0);
        return ScrollPos;
    }
    // A mouse event at p (ItemHost sits at the screen's origin) in SendInput's absolute units.
    static INPUT Mouse(POINT p, DWORD flags)
    {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        in.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
        return in;
    }
};

class ItemHost_Hires : public ItemHost_Window {};

} // namespace

TEST_F(ItemHost_Window, StacksItemsWithOneRowGapsAndSeparatorsAndPollsTheirHeights)
{
    LoadHeights({30, 40, 50});
    EXPECT_EQ(Tops(), (Ints{0, 31, 72}));
    EXPECT_EQ(ContentHeight, 123);
    EXPECT_FALSE(ScrollBarShown);
    // One separator between neighbours, none below the last; the items paint the background
    // behind them through the host, from their own rows.
    Settle();
    EXPECT_EQ(Pixel(100, 30), TEST_SEPARATOR_COLOR);
    EXPECT_EQ(Pixel(100, 71), TEST_SEPARATOR_COLOR);
    for (int y : {5, 29, 60, 100, 121, 122}) EXPECT_EQ(Pixel(100, y), BackgroundAt(y)) << y;

    // The poll asks every item and, while no height changes, moves and repaints nothing.
    DeleteFileW(PROBE_LOG_PATH);
    SendMessageW(ItemHost, WM_TIMER, REFRESH_TIMER, 0);
    EXPECT_EQ(Log("", {"query"}).size(), 3u);
    EXPECT_EQ(Invalid(), (Ints{0, 0, 0, 0}));
    SendMessageW(Items[1].hwndCustom, PROBE_SET_HEIGHT, 45, 0);
    LayoutItems(false);
    EXPECT_EQ(Tops(), (Ints{0, 31, 77}));
    EXPECT_EQ(ContentHeight, 128);
}

TEST_F(ItemHost_Window, NewWindowsArePlacedWhenTheTotalHeightStaysTheSame)
{
    AddItem(L"A", {{PROBE_HEIGHT, 30}});
    AddItem(L"B", {{PROBE_HEIGHT, 50}});
    AddItem(L"C", {{PROBE_HEIGHT, 30}});
    LoadList(L"2::A::B::");
    LoadList(L"2::B::A::");   // reordered
    EXPECT_EQ(Tops(), (Ints{0, 51}));
    LoadList(L"2::B::C::");   // C in place of an item as high
    EXPECT_EQ(Tops(), (Ints{0, 51}));
    UnloadItemsNamed(L"C");   // and made again
    ReloadItems();
    EXPECT_EQ(Tops(), (Ints{0, 51}));
}

TEST_F(ItemHost_Window, RefreshAskedFromInsideTheHeightQueryRunsAfterThePass)
{
    AddItem(L"Nag", {{PROBE_HEIGHT, 25}});
    LoadList(L"1::Nag::");
    UnloadItemsNamed(nullptr);
    SetValue(L"Nag", PROBE_HOST_CALL, TODAYM_REQUESTREFRESH);
    SetValue(L"Nag", PROBE_HOST_CALL_AT, 2);
    DeleteFileW(PROBE_LOG_PATH);
    ReloadAllItems();
    EXPECT_EQ(Log("Nag", {"query", "hostcall"}),
              (Lines{"query tli=self cyp=25 -> 0", "hostcall 1127 -> 1", "query tli=self cyp=25 -> 0"}));
}

TEST_F(ItemHost_Window, LinesPagesAndThumbMoveTheItemsOverTheStillBackground)
{
    LoadHeights({ViewHeight - 1});
    EXPECT_FALSE(ScrollBarShown) << "content that fits exactly";
    LoadHeights({150, 151, 152});
    ASSERT_TRUE(ScrollBarShown);
    EXPECT_EQ(ItemWidth, ClientWidth - ScrollBarWidth);
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
        // The items draw their background again where they now are.
        if (position != from) {
            EXPECT_EQ(Invalid(), (Ints{1, 1, 1, 1}));
        }
        Settle();
        for (int y : {60, 200, 310}) EXPECT_EQ(Pixel(10, y), BackgroundAt(y)) << y;
    }
}

TEST_F(ItemHost_Window, ThumbDraggedPast16BitsLandsWhereItWasDropped)
{
    LoadHeights({100000, 100001});
    Settle();
    // Press the thumb just below the up arrow, drag it below the bar's end, release. Under a
    // loaded X server a whole burst of input is now and then lost before the bar sees the
    // press; the drag is then sent again.
    POINT press = {ClientWidth - ScrollBarWidth / 2, GetSystemMetrics(SM_CYVSCROLL) + 3}, drop = {press.x, ViewHeight + 40};
    for (int attempt = 0; attempt < 3 && ScrollPos == 1; attempt++) {
        ASSERT_TRUE(MovePointerTo(press.x, press.y));
        INPUT in[5] = {Mouse(press, MOUSEEVENTF_MOVE), Mouse(press, MOUSEEVENTF_LEFTDOWN),
                       Mouse({press.x, drop.y - 20}, MOUSEEVENTF_MOVE), Mouse(drop, MOUSEEVENTF_MOVE),
                       Mouse(drop, MOUSEEVENTF_LEFTUP)};
        SendInput(5, in, sizeof(INPUT));
        PumpUntil([] { return ScrollPos != 1; }, 1500);
        PumpFor(100);
    }
    EXPECT_EQ(ScrollPos, 200003 - ViewHeight);
}

TEST_F(ItemHost_Window, BarFollowsTheViewThroughARotation)
{
    LoadHeights({40, 40, 40, 40, 40, 40, 40, 40, 40, 40});
    const int tall = ViewHeight, wide = ClientWidth;
    ASSERT_EQ(ContentHeight, 410);
    for (int height : {wide, tall}) {
        SCOPED_TRACE(height);
        Resize(height == wide ? tall : wide, height);
        EXPECT_EQ(Scroll(SB_THUMBPOSITION, 1000), 410 - height) << "the end is reachable";
        EXPECT_EQ(Tops()[9] + 40, height) << "the last item ends at the view's end";
        SCROLLINFO si = {sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
        GetScrollInfo(ItemHost, SB_VERT, &si);
        EXPECT_EQ((Ints{(int)si.nPage, si.nPos}), (Ints{height, ScrollPos}));
    }
}

TEST_F(ItemHost_Window, TapAndHoldOnTheFreeAreaOpensTheSettings)
{
    LoadHeights({30});
    ASSERT_TRUE(MovePointerTo(100, 200));   // a move away from the press would end the hold
    PumpMessages();
    BYTE keys[256] = {};
    keys[VK_LBUTTON] = 0x80;   // the button stays down
    SetKeyboardState(keys);
    SendMessageW(ItemHost, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 200));
    keys[VK_LBUTTON] = 0;
    SetKeyboardState(keys);
    EXPECT_TRUE(PumpUntil([] { return ShowSettingsCount == 1; }, 1000));
}

TEST_F(ItemHost_Window, AnswersTheItemsQueries)
{
    LoadHeights({30});
    const COLORREF saved[3] = {TextColor, HighlightColor, HighlightTextColor};
    TextColor = RGB(1, 2, 3), HighlightColor = RGB(4, 5, 6), HighlightTextColor = RGB(7, 8, 9);
    AppSettings.BigTray = 1;
    TODAYDRAWWATERMARKINFO good = {BackgroundDC, {0, 0, 4, 4}, Items[0].hwndCustom}, bad = good;
    bad.hwnd = (HWND)(ULONG_PTR)0x1234;
    const struct { UINT msg; WPARAM wParam; LPARAM lParam; LRESULT answer; } cases[] = {
        {TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0, RGB(1, 2, 3)},
        {TODAYM_GETCOLOR, TODAYCOLOR_HIGHLIGHT, 0, RGB(4, 5, 6)},
        {TODAYM_GETCOLOR, TODAYCOLOR_HIGHLIGHTEDTEXT, 0, RGB(7, 8, 9)},
        {TODAYM_DRAWWATERMARK, 0, (LPARAM)&good, 1},
        {TODAYM_DRAWWATERMARK, 0, (LPARAM)&bad, 0},
        {TODAYM_DRAWWATERMARK, 0, 0x10, 0},   // an unreadable record
        {TODAYM_GETTRAYSTYLE, 0, 0, 7},
        {TODAYM_GETHOSTWINDOW, 0, 0, (LRESULT)MainWindow},
        {TODAYM_TOOKSELECTION, (WPARAM)Items[0].hwndCustom, 0, 1},
        {TODAYM_REQUESTREFRESH, 0, 0, 1},
    };
    for (const auto &c : cases) EXPECT_EQ(SendMessageW(ItemHost, c.msg, c.wParam, c.lParam), c.answer) << c.msg;
    AppSettings.BigTray = 0;
    EXPECT_EQ(SendMessageW(ItemHost, TODAYM_GETTRAYSTYLE, 0, 0), 3);
    TextColor = saved[0], HighlightColor = saved[1], HighlightTextColor = saved[2];
}

TEST_F(ItemHost_Hires, GapIsTwoRowsAtDoubleDensity)
{
    LoadHeights({30, 40, 50});
    EXPECT_EQ(Tops(), (Ints{0, 32, 74}));
    EXPECT_EQ(ContentHeight, 126);
    Settle();
    EXPECT_EQ(Pixel(100, 31), TEST_SEPARATOR_COLOR);
}
