// Selection and keyboard navigation: the arrow keys move one selection down and up through
// the items in list order and on into the icon strip, Enter acts on what is selected. Owns
// SelectedItem and SelectedIcon (a tap on an icon and the icon table's deletes write it too).
//
// Every message to an item runs the plug-in's code, which may announce the selection, unload
// or reload the items or change the icons: nothing read before a send is trusted after it.
#include "items/navigation.h"
#include "items/itemhost.h"
#include "items/items.h"

int SelectedItem = -1;
int SelectedIcon = -1;

static bool NamesItem(int index)
{
    return index >= 0 && (UINT)index < ItemCount;
}

// Sends msg to item index; an item without a window (or no item at all) answers 0.
static LRESULT SendToItem(int index, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return NamesItem(index) ? SendItemMessage(Items[index], msg, wParam, lParam) : 0;
}

static void RepaintItem(int index)
{
    if (NamesItem(index) && ItemWindow(Items[index].hwndCustom)) InvalidateRect(Items[index].hwndCustom, nullptr, TRUE);
}

// Selection changes in progress. An item may announce the selection from inside the question
// that offers it, or take it back when told it lost it: a change started inside another one
// runs, one started inside that does not (two items that take the selection from each other
// would otherwise recurse without end). Requests to unload or reload wait for the change.
static int SelectionChanges;

static bool BeginSelectionChange()
{
    if (SelectionChanges == 2) return false;
    SelectionChanges++;
    BeginHostWork();
    return true;
}

static void EndSelectionChange()
{
    SelectionChanges--;
    EndHostWork();
}

static void RepaintStrip()
{
    if (IconStrip) InvalidateRect(IconStrip, nullptr, FALSE);
}

// Offers the selection to the items after SelectedItem; past the last one it goes into the
// strip, or nowhere without a strip. Each candidate holds the selection before it is asked, so
// one that announces it from inside the question finds it already its own.
static void MoveDown(LPARAM keyData)
{
    // ItemCount is read again for every candidate: an item may unload the list.
    for (int i = SelectedItem + 1; NamesItem(i); i++) {
        SelectedItem = i;
        if (SendToItem(i, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, keyData)) {
            RepaintItem(i);
            return;
        }
    }
    if (IconStrip) {
        SelectedItem = (int)ItemCount;
        if (SelectedIcon < 0) SelectedIcon = LastVisibleIcon;
        RepaintStrip();
    } else {
        SelectedItem = -1;
    }
}

// Offers the selection to the items before SelectedItem, the last one first; from the first
// item it goes nowhere. Leaving the strip takes the icon highlight away.
static void MoveUp(LPARAM keyData)
{
    if (SelectedItem < 0) return;
    for (SelectedItem--; SelectedItem >= 0; SelectedItem--) {
        if (IconStrip && SelectedIcon >= 0) {
            SelectedIcon = -1;
            RepaintStrip();
        }
        if (SendToItem(SelectedItem, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_UP, keyData)) {
            RepaintItem(SelectedItem);
            return;
        }
    }
    SelectedItem = -1;
}

// Enter, Left and Right while the selection is in the strip.
static void StripKey(WPARAM key)
{
    if (SelectedItem != (int)ItemCount) return;
    switch (key) {
    case VK_RETURN:
        // Enter posts only the button-up that a tap ends with.
        if (IconStrip && SelectedIcon >= 0) SendMessageW(IconStrip, HM_ICONACTION, SelectedIcon, WM_LBUTTONUP);
        break;
    case VK_RIGHT:
        if (SelectedIcon - 1 >= 0) {
            SelectedIcon--;
            RepaintStrip();
        }
        break;
    case VK_LEFT:
        if (SelectedIcon + 1 <= LastVisibleIcon) {
            SelectedIcon++;
            RepaintStrip();
        }
        break;
    }
}

// The selected item sees the key first. Answers true when that settles the key.
static bool ItemTakesKey(WPARAM key, LPARAM keyData)
{
    if (!NamesItem(SelectedItem)) return false;
    int item = SelectedItem;
    if (key == VK_RETURN) {
        SendToItem(item, WM_TODAYCUSTOM_ACTION, VK_RETURN, keyData);
        return true;
    }
    if (SendToItem(item, WM_TODAYCUSTOM_USERNAVIGATION, key, keyData)) return true;
    if (key == VK_LEFT || key == VK_RIGHT) return true;
    SendToItem(item, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
    RepaintItem(item);
    return false;
}

static void MoveSelection(WPARAM key, LPARAM keyData)
{
    if (ItemTakesKey(key, keyData)) return;
    if (key == VK_DOWN) MoveDown(keyData);
    else if (key == VK_UP) MoveUp(keyData);
    else StripKey(key);
}

void HandleNavigationKey(WPARAM key, LPARAM keyData)
{
    if (key != VK_RETURN && key != VK_LEFT && key != VK_UP && key != VK_RIGHT && key != VK_DOWN) return;
    if (!BeginSelectionChange()) return;
    MoveSelection(key, keyData);
    EndSelectionChange();
}

static void TakeSelection(HWND itemWindow)
{
    for (UINT i = 0; itemWindow && i < ItemCount; i++) {
        if (ItemWindow(Items[i].hwndCustom) != itemWindow) continue;
        int old = SelectedItem;
        SelectedItem = (int)i;
        if (old != (int)i && NamesItem(old)) {
            SendToItem(old, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
            RepaintItem(old);
        }
        // Items mark themselves selected when tapped and leave the painting to the host.
        RepaintItem(SelectedItem);
        break;
    }
    if (IconStrip && SelectedIcon >= 0) {
        SelectedIcon = -1;
        RepaintStrip();
    }
}

void HandleTookSelection(HWND itemWindow)
{
    if (!BeginSelectionChange()) return;
    TakeSelection(itemWindow);
    EndSelectionChange();
}

void DropSelection()
{
    if (!BeginSelectionChange()) return;
    if (SelectedItem >= 0) {
        SendToItem(SelectedItem, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
        SelectedItem = -1;
    }
    if (SelectedIcon >= 0) {
        SelectedIcon = -1;
        RepaintStrip();
    }
    EndSelectionChange();
}
