// The notification icon strip in-process: HM_NOTIFYICON_MESSAGE's results and codes, also in the
// WM_COPYDATA form other processes send, the table, the strip's coming and going, its geometry
// per screen profile, taps, and an item's own icon.
#include "support/dialog.h"
#include "items/items.h"
#include "items/navigation.h"
#include "items/notifyicon.h"
#include "look/scale.h"
#include "look/theme.h"
#include "tray/tray.h"

namespace {

class Tray : public ScreenTest {
public:
    HWND Owner = nullptr;
    std::vector<HICON> Icons;   // red, green, blue

    void SetUp() override
    {
        OpenScreen({L"Nimbra Tray Test", L"", L"", 0, 1, 0});
        Owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        for (DWORD argb : {0xFFFF0000, 0xFF00FF00, 0xFF0000FF}) Icons.push_back(NimbraIconFromPixels(std::vector<DWORD>(256, argb).data(), 16, 16));
        SelectedIcon = -1;
    }
    void TearDown() override
    {
        ScreenTest::TearDown();
        DestroyWindow(Owner);
        for (HICON icon : Icons) DestroyIcon(icon);
    }

    NIMBRANOTIFYICONDATA Record(UINT id, HICON icon = nullptr, UINT flags = 0, UINT message = WM_APP + 1) const
    {
        return {sizeof(NIMBRANOTIFYICONDATA), NIMBRA_HANDLE32(Owner), id, flags, message, NIMBRA_HANDLE32(icon ? icon : Icons[0]), {}};
    }
    // Sends the request as a plug-in does; answers the result and the last-error code.
    std::pair<LRESULT, DWORD> Send(WPARAM operation, const void *record)
    {
        SetLastError(12345);
        LRESULT result = SendMessageW(MainWindow, HM_NOTIFYICON_MESSAGE, operation, (LPARAM)record);
        return {result, GetLastError()};
    }
    LRESULT Op(WPARAM operation, NIMBRANOTIFYICONDATA r) { return Send(operation, &r).first; }
    void Add(UINT id, HICON icon = nullptr) { ASSERT_EQ(Op(NIMBRA_NIM_ADD, Record(id, icon)), 1); }
    bool StripShown() { return PumpUntil([] { return IconStrip != nullptr; }, 3000); }
    static COLORREF StripPixel(int x, int y) { return PixelOf(IconStrip, x, y); }
    static HWND Gone() { HWND w = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr); return DestroyWindow(w), w; }
    std::vector<UINT> Ids() const
    {
        std::vector<UINT> ids;
        for (UINT i = 0; i < IconCount; i++) ids.push_back(IconTable[i].uID);
        return ids;
    }
};
class Tray_Dpi131 : public Tray {};
class Tray_Hires : public Tray {};
class Tray_Landscape : public Tray {};

// The record by address: an unknown operation leaves the last-error code alone; no record or
// one that cannot be read is refused; a refusal changes neither the table nor the strip's timer.
// (Every request's answer and the table after it are checked against a model from another
// process in the end-to-end suite.)
TEST_F(Tray, RejectedRequestsChangeNothingAndAddModifyDeleteKeepTheOrderAndTheHighlight)
{
    Add(7);
    ASSERT_TRUE(KillTimer(MainWindow, ICONSTRIP_TIMER));
    const NIMBRANOTIFYICONDATA unknown = Record(9);
    const std::tuple<WPARAM, const void *, LRESULT, DWORD> cases[] = {
        {3, &unknown, 2, 12345}, {NIMBRA_NIM_ADD, nullptr, 0, ERROR_INVALID_PARAMETER},
        {NIMBRA_NIM_ADD, (const void *)0x10, 0, ERROR_INVALID_PARAMETER}, {NIMBRA_NIM_MODIFY, &unknown, 0, ERROR_CONTROL_ID_NOT_FOUND}};
    for (const auto &[operation, pointer, result, error] : cases) {
        EXPECT_EQ(Send(operation, pointer), std::make_pair(result, error)) << pointer;
        EXPECT_EQ(Ids(), std::vector<UINT>{7});
        EXPECT_FALSE(KillTimer(MainWindow, ICONSTRIP_TIMER)) << "a rejected request restarted the timer";
    }
    // Add, modify and delete.
    ReleaseIconStrip();
    for (UINT id : {1, 2, 3, 2}) Add(id);   // the same pair again is a second icon
    SelectedIcon = 2;   // icon 3
    // Each delete takes the first entry of its pair; the highlight stays on icon 3 until it goes itself.
    const std::tuple<UINT, std::vector<UINT>, int> deletes[] = {{1, {2, 3, 2}, 1}, {2, {3, 2}, 0}, {3, {2}, -1}};
    for (const auto &[id, left, selected] : deletes) {
        ASSERT_EQ(Op(NIMBRA_NIM_DELETE, Record(id)), 1);
        EXPECT_EQ(std::make_pair(Ids(), SelectedIcon), std::make_pair(left, selected)) << "delete " << id;
    }
    // A modify takes only the fields its flags name, zero included; NIF_TIP alone still counts.
    KillTimer(MainWindow, ICONSTRIP_TIMER);
    ASSERT_EQ(Op(NIMBRA_NIM_MODIFY, Record(2, Icons[2], NIMBRA_NIF_TIP, WM_APP + 9)), 1);
    EXPECT_TRUE(KillTimer(MainWindow, ICONSTRIP_TIMER));
    EXPECT_EQ(std::make_pair(IconTable[0].uCallbackMessage, IconTable[0].hIcon), std::make_pair((UINT)WM_APP + 1, Icons[0]));
    NIMBRANOTIFYICONDATA zero = Record(2, nullptr, NIMBRA_NIF_MESSAGE | NIMBRA_NIF_ICON, 0);
    zero.hIcon = 0;
    ASSERT_EQ(Op(NIMBRA_NIM_MODIFY, zero), 1);
    EXPECT_EQ(std::make_pair(IconTable[0].uCallbackMessage, IconTable[0].hIcon), std::make_pair(0u, (HICON) nullptr));
}

TEST_F(Tray, StripComesOnceAfterABurstGoesWithTheLastIconAndTapsSelectByPitch)
{
    // A change every 100 ms: each restarts the 500 ms wait, but the strip comes 0.8 s after the first.
    for (UINT n = 1; n <= 16; n++) {
        if (n > 1) PumpFor(100);
        EXPECT_TRUE(n != 3 || !IconStrip) << "the strip came before the burst ended";
        n <= 3 ? Add(n) : (void)Op(NIMBRA_NIM_MODIFY, Record(1, nullptr, NIMBRA_NIF_TIP));
    }
    ASSERT_TRUE(IconStrip) << "a steady stream of changes kept the strip away";
    EXPECT_EQ(std::make_tuple(WindowPlace(ItemHost), WindowPlace(IconStrip), ViewHeight),
              std::make_tuple(std::array<LONG, 4>{0, 26, 240, 299}, std::array<LONG, 4>{0, 299, 240, 320}, 273));
    for (UINT id = 1; id <= 3; id++) ASSERT_EQ(Op(NIMBRA_NIM_DELETE, Record(id)), 1);
    ASSERT_TRUE(PumpUntil([] { return IconStrip == nullptr; }, 3000));
    EXPECT_EQ(std::make_pair(WindowPlace(ItemHost), ViewHeight), std::make_pair(std::array<LONG, 4>{0, 26, 240, 320}, 294));
    // Taps select by pitch from the right and notify the owner.
    // A burst shows 500 ms after its last change: before a timer of 750 ms set after it.
    static int first;   // 1: the strip, 2: that timer
    Add(41), Add(42), SetTimer(nullptr, 0, 750, [](HWND, UINT, UINT_PTR id, DWORD) { KillTimer(nullptr, id), first = IconStrip ? 1 : 2; });
    ASSERT_TRUE(PumpUntil([] { return first != 0; }, 3000) && first == 1);
    Add(43), IconTable[2].hWnd = Gone();
    // x: the icon then highlighted (slot 2 holds one of a gone owner: it goes instead)
    for (auto [x, selected] : {std::pair{190, -1}, {220, 1}, {230, 0}}) {
        SendMessageW(IconStrip, WM_LBUTTONUP, 0, MAKELPARAM(x, 10));
        EXPECT_EQ(SelectedIcon, selected) << x;
    }
    EXPECT_EQ(Ids(), (std::vector<UINT>{41, 42}));
    std::vector<std::pair<WPARAM, LPARAM>> received;
    for (MSG m; PeekMessageW(&m, Owner, WM_APP + 1, WM_APP + 1, PM_REMOVE);) received.push_back({m.wParam, m.lParam});
    EXPECT_EQ(received, (std::vector<std::pair<WPARAM, LPARAM>>{{42, WM_LBUTTONDOWN}, {42, WM_LBUTTONUP}, {41, WM_LBUTTONDOWN}, {41, WM_LBUTTONUP}}));
    // The highlight spans one pitch from 2 pixels left of the icon, from row 2 down.
    auto lit = [](int x, int y) { return StripPixel(x, y) == HighlightColor; };
    EXPECT_EQ((std::vector<bool>{lit(221, 2), lit(220, 20), lit(219, 10), lit(221, 1)}), (std::vector<bool>{true, true, false, false}));
}

// The clock item's icon comes and goes with its window; reloads make it once. (Icons from
// other processes' pixels are checked from another process in the end-to-end suite.)
TEST_F(Tray, AnItemsIconGoesWithItAndComesOnceWithEachReload)
{
    CopyText(AppSettings.PluginList, L"1::NimbraClock::");
    PluginListChanged = true;
    ReloadItems();
    // The clock icon's hour hand, at icon slot i (from the right).
    auto handAt = [](int slot) { return IconStrip && StripPixel(222 - 20 * slot + 7, 3 + 5) == RGB(0x20, 0x20, 0x20); };
    EXPECT_TRUE(PumpUntil([&] { return handAt(0); }, 5000));
    EXPECT_EQ(SendMessageW(MainWindow, HM_UNLOADITEMS, 0, 0), 1);   // every item
    EXPECT_TRUE(PumpUntil([] { return IconStrip == nullptr; }, 5000)) << "the unloaded item's icon stayed";
    for (int i = 0; i < 2; i++) EXPECT_EQ(SendMessageW(MainWindow, HM_RELOADITEMS, 0, 0), 0);
    EXPECT_TRUE(PumpUntil([&] { return handAt(0); }, 5000));
    EXPECT_FALSE(handAt(1)) << "a reload left a second icon";
}

// Icons i drawn at firstX - i * pitch from the top row iconTop; LastVisibleIcon with 20 icons, and the
// separator pen's width. Lengths at 131 dpi show that scaling truncates.
// The screen, made as start-up makes it, is captionless from the navigation bar (bar pixels
// high) down to the screen's bottom, with the strip along that bottom.
void CheckStripGeometry(Tray &t, int firstX, int pitch, int lastVisible, int stripHeight, int iconTop, int bar, LONG pen, int bigTray = 0)
{
    AppSettings.BigTray = bigTray;
    ComputeTrayMetrics();
    for (UINT id = 1; id <= MAX_ICONS; id++) t.Add(id, t.Icons[id % 3]);
    ASSERT_TRUE(t.StripShown());
    const LONG w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    LOGPEN made = {};   // the separator pen from the device's colour scheme: one 96-dpi pixel, truncated
    GetObjectW(SeparatorPen, sizeof made, &made);
    EXPECT_EQ(std::make_tuple(WindowPlace(MainWindow), WindowPlace(IconStrip), IconPitch, LastVisibleIcon, made.lopnWidth.x),
              std::make_tuple(std::array<LONG, 4>{0, bar, w, h}, std::array<LONG, 4>{0, h - stripHeight, w, h}, pitch, lastVisible, pen));
    const COLORREF colors[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
    for (int i : {0, 1, lastVisible}) {
        SCOPED_TRACE(i);
        int x = firstX - i * pitch;
        EXPECT_EQ(t.StripPixel(x, iconTop), colors[(i + 1) % 3]);
        EXPECT_NE(t.StripPixel(x, iconTop - 1), colors[(i + 1) % 3]);
        EXPECT_NE(t.StripPixel(x - 1, iconTop), colors[(i + 1) % 3]);
    }
    const int past = w - (lastVisible + 1) * pitch;   // in the slot past the last icon drawn
    EXPECT_TRUE(past < 0 || (SendMessageW(IconStrip, WM_LBUTTONUP, 0, MAKELPARAM(past, 10)), SelectedIcon) == -1) << "a tap hit an icon not drawn";
}

TEST_F(Tray, GeometryAt96Dpi) { CheckStripGeometry(*this, 222, 20, 11, 21, 3, 26, 1); }
TEST_F(Tray_Dpi131, GeometryAt131Dpi) { CheckStripGeometry(*this, 216, 27, 8, 28, 4, 35, 1); }
TEST_F(Tray_Hires, GeometryAt192Dpi) { CheckStripGeometry(*this, 444, 40, 11, 42, 6, 52, 2); }
TEST_F(Tray_Landscape, GeometryOnALandscapeScreen) { CheckStripGeometry(*this, 302, 20, 15, 21, 3, 26, 1); }

TEST_F(Tray, BigIconsAt96Dpi) { CheckStripGeometry(*this, 206, 34, 6, 37, 3, 26, 1, -5); }   // any value but 0 is on

} // namespace
