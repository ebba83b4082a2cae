// Keyboard selection through the hosted items and on into the icon strip, as probe items
// answer: who is asked what, in which order, and where the selection and the highlight end.
#include "unit/ItemFixture.h"
#include "items/navigation.h"
#include "items/notifyicon.h"
#include "tray/tray.h"

namespace {

class Navigation : public HostTest {
protected:
    HWND Owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    void SetUp() override { HostTest::SetUp(), SelectedItem = SelectedIcon = -1; }
    void TearDown() override { ReleaseIconStrip(), DestroyWindow(Owner), HostTest::TearDown(); }
    // Probe items named A, B, C... with these ProbeSelect bits, loaded in that order.
    void Load(std::initializer_list<DWORD> selects)
    {
        std::wstring list = std::to_wstring(selects.size()) + L"::", name = L"A";
        for (DWORD select : selects) AddItem(name.c_str(), {{PROBE_SELECT, select}}), list += name + L"::", name[0]++;
        LoadList(list.c_str()), DeleteFileW(PROBE_LOG_PATH);
    }
    void ShowStrip(UINT icons)
    {
        HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
        for (UINT id = 1; id <= icons; id++) {
            NIMBRANOTIFYICONDATA r = {sizeof r, NIMBRA_HANDLE32(Owner), id, 0, WM_APP + 3, NIMBRA_HANDLE32(icon), {}};
            ASSERT_EQ(HandleNotifyIcon(NIMBRA_NIM_ADD, (LPARAM)&r), 1);
        }
        UpdateIconStrip();
        ASSERT_TRUE(IconStrip);
        UpdateWindow(IconStrip);   // the paint sets LastVisibleIcon
    }
    static void Press(std::initializer_list<WPARAM> keys) { for (WPARAM key : keys) HandleNavigationKey(key, 0x1234); }
    // The selection messages item name ("": every item) received, as the probe logs them.
    static Lines Sel(const std::string &name) { return Log(name, {"received", "lost", "navigate", "action"}); }
    // SelectedItem and SelectedIcon.
    static std::pair<int, int> Where() { return {SelectedItem, SelectedIcon}; }
    // Where the keys leave them.
    static std::pair<int, int> After(std::initializer_list<WPARAM> keys) { return Press(keys), Where(); }
};

TEST_F(Navigation, DownAndUpVisitTheItemsThatTakeTheSelectionAndTheStripPastTheLast)
{
    Load({1, 0, 1 | 2});   // A takes it, B refuses, C takes it and moves inside itself
    EXPECT_EQ(After({VK_DOWN}), std::make_pair(0, -1));
    EXPECT_EQ(Sel("A"), Lines{"received 40 -> 1"});
    EXPECT_TRUE(GetUpdateRect(Items[0].hwndCustom, nullptr, FALSE)) << "the new selection repaints its item";
    EXPECT_EQ(After({VK_DOWN}), std::make_pair(2, -1));   // A lets go; B is asked and refuses; C takes it
    EXPECT_EQ(Sel(""), (Lines{"received 40 -> 1", "navigate 40 -> 0", "lost 0 -> 0", "received 40 -> 0", "received 40 -> 1"}));
    DeleteFileW(PROBE_LOG_PATH);
    EXPECT_EQ(After({VK_DOWN, VK_LEFT, VK_RETURN}), std::make_pair(2, -1));   // C keeps it: the keys move inside C
    EXPECT_EQ(Sel("C"), (Lines{"navigate 40 -> 1", "navigate 37 -> 1", "action 13 -> 0"}));

    SetValue(L"C", PROBE_SELECT, 1);   // read at load: reload C as a non-consuming item
    SendMessageW(MainWindow, HM_UNLOADITEMS, 0, 0), SendMessageW(MainWindow, HM_RELOADITEMS, 0, 0), SelectedItem = 2, DeleteFileW(PROBE_LOG_PATH);
    EXPECT_EQ(After({VK_DOWN}), std::make_pair(-1, -1));   // past the last item without a strip: nothing is selected
    Press({VK_UP});     // up from nothing does nothing
    EXPECT_EQ(Sel(""), (Lines{"navigate 40 -> 0", "lost 0 -> 0"}));
    EXPECT_EQ(After({VK_DOWN}), std::make_pair(0, -1)) << "down starts again at the first item";
    EXPECT_EQ(After({VK_UP}), std::make_pair(-1, -1));   // up from the first item: it loses the selection, nothing is selected
    Press({VK_DOWN});   // an unload of the selected item by name takes the selection with it
    SendMessageW(MainWindow, HM_UNLOADITEMS, 0, (LPARAM)L"A"), SendMessageW(MainWindow, HM_RELOADITEMS, 0, 0);
    EXPECT_EQ(After({VK_DOWN}), std::make_pair(0, -1));
    // With a strip, the selection goes on into it past the last item.
    Load({1, 0}), ShowStrip(3);
    Press({VK_DOWN}), SelectedIcon = 1;   // tapped earlier: the highlight stays where it is
    EXPECT_EQ(After({VK_DOWN}), std::make_pair(2, 1));   // B refuses: into the strip
    SelectedIcon = -1;
    EXPECT_EQ(After({VK_DOWN}), std::make_pair(2, 2));   // with no highlight, on the leftmost visible icon
    EXPECT_EQ(After({VK_RIGHT, VK_LEFT, VK_LEFT}), std::make_pair(2, 2));   // back to the leftmost visible, and no further
    EXPECT_EQ(After({VK_RIGHT, VK_RIGHT, VK_RIGHT}), std::make_pair(2, 0));   // stops at icon 0
    EXPECT_EQ(After({VK_DOWN}), std::make_pair(2, 0));   // stays in the strip
    Press({VK_RETURN});
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, Owner, WM_APP + 3, WM_APP + 3, PM_REMOVE));
    EXPECT_EQ(std::make_pair(msg.wParam, msg.lParam), std::make_pair((WPARAM)1, (LPARAM)WM_LBUTTONUP));
    EXPECT_FALSE(PeekMessageW(&msg, Owner, 0, 0, PM_REMOVE)) << "Enter posts the button-up only";
    DeleteFileW(PROBE_LOG_PATH);
    EXPECT_EQ(After({VK_UP, VK_LEFT}), std::make_pair(0, -1));   // the highlight goes; offered to B, then A, which keeps it at Left
    EXPECT_EQ(After({VK_UP, VK_LEFT}), std::make_pair(-1, -1));   // up from A to nothing, where Left moves no highlight
    EXPECT_EQ(Sel(""), (Lines{"received 38 -> 0", "received 38 -> 1", "navigate 37 -> 0", "navigate 38 -> 0", "lost 0 -> 0"}));
    // A turn that leaves the selected icon undrawn takes the selection from it: Enter tells no
    // one, and Left starts again from the right end; the strip keeps its rows.
    ReleaseIconStrip(), Resize(320, 240), ShowStrip(16);
    SelectedItem = (int)ItemCount, SelectedIcon = 14, Resize(240, 320), Press({VK_RETURN, VK_LEFT});
    EXPECT_EQ(std::make_tuple(SelectedIcon, PeekMessageW(&msg, Owner, 0, 0, PM_REMOVE), ViewHeight + TrayHeight), std::make_tuple(0, FALSE, 320));
}

// A candidate holds the selection before it is asked: announcing it from inside the question
// costs it nothing. A tap on another item takes it away, and both are repainted; a window of no
// item clears only the icon highlight. Deactivation drops the selection, repainting only the
// strip's highlight.
TEST_F(Navigation, TappedItemsDeactivationAndAnItemThatUnloadsTheListWhenOfferedTheSelection)
{
    Load({1 | 4, 1}), ShowStrip(1), Press({VK_DOWN});
    EXPECT_EQ(Sel("A"), Lines{"received 40 -> 1"}) << "no lost-selection for the item that asked";
    SelectedIcon = 0, ValidateRect(Items[1].hwndCustom, nullptr), SendMessageW(ItemHost, TODAYM_TOOKSELECTION, (WPARAM)Items[1].hwndCustom, 0);
    EXPECT_EQ(Where(), std::make_pair(1, -1));
    EXPECT_TRUE(GetUpdateRect(Items[1].hwndCustom, nullptr, FALSE)) << "the tapped item is repainted";
    EXPECT_EQ(Sel("A"), (Lines{"received 40 -> 1", "lost 0 -> 0"}));
    SelectedIcon = 0, SendMessageW(ItemHost, TODAYM_TOOKSELECTION, (WPARAM)Owner, 0);
    EXPECT_EQ(Where(), std::make_pair(1, -1));
    ValidateRect(Items[1].hwndCustom, nullptr), ValidateRect(IconStrip, nullptr), SelectedIcon = 0, DropSelection();
    EXPECT_EQ(Where(), std::make_pair(-1, -1));
    EXPECT_EQ(Sel("B"), Lines{"lost 0 -> 0"});
    EXPECT_FALSE(GetUpdateRect(Items[1].hwndCustom, nullptr, FALSE));
    EXPECT_TRUE(GetUpdateRect(IconStrip, nullptr, FALSE)) << "the icon's highlight stayed on the screen";
    Load({1 | 8, 1 | 8});   // items that take the selection back when told they lost it: the first one tapped keeps it
    HandleTookSelection(Items[0].hwndCustom), HandleTookSelection(Items[1].hwndCustom);
    EXPECT_EQ(Where(), std::make_pair(0, -1));
}

} // namespace
