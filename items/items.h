// The hosted items: one record per item listed in PluginList. Globals defined in
// items/items.cpp; the record block is owned there and freed only by UnloadAllItems.
#pragma once
#include "base/nimbra.h"
#include "items/todayitem.h"
#include "look/background.h"

struct HostedItem : TODAYLISTITEM {
    DWORD Selectability;   // registry "Selectability", re-read at every load
    int Top;               // top edge in ItemHost content coordinates (unscrolled); written by LayoutItems
    HWND Placed;           // the window the last layout pass placed; a new window must be placed
    bool UnloadAsked;      // an unload of this item was asked for while the host was busy
};

extern HostedItem *Items;        // ItemCount records, or StaticItem when none are allocated
extern UINT ItemCount;           // number of records
extern HostedItem StaticItem;    // the zero-filled record Items refers to when there is no block
extern bool PluginListChanged;   // PluginList no longer matches the records

// Most records a plug-in list may ask for; more than a full list can name.
constexpr UINT MAX_HOSTED_ITEMS = 1024;

#define TODAY_ITEMS_KEY TODAY_KEY L"\\Items"

// Re-parses PluginList when it changed, switches the items off on the system Today screen,
// loads every item, lays them out and restarts the height poll.
void ReloadItems();
// Turns a PluginList text into fresh records (Items, ItemCount); the list must be empty
// (UnloadAllItems first). False when the record block cannot be allocated: a negative count,
// or one whose records would not fit a 32-bit size. Counts above MAX_HOSTED_ITEMS are cut to it.
bool ParsePluginList(LPCWSTR list);
// The index-th name (from 0) a PluginList text gives, as the item loader takes them, into name
// (capacity cap); false past the last one the count asks for, or when it does not fit.
bool ListedName(LPCWSTR list, UINT index, WCHAR *name, size_t cap);
// Whether the item loader takes an item of this key name from the PluginList text: the name
// equals one of the names the count asks for (a longer name that contains it does not count).
bool IsListedItem(LPCWSTR list, LPCWSTR name);
// Loads item index (registry, DLL, window); answers its window or null.
HWND LoadItem(UINT index);
// Destroys every item window, frees every DLL and the record block.
void UnloadAllItems();
// Writes "Enabled" = 0 for every hosted item; one broadcast when anything changed.
void DisableSystemTodayItems();
// HM_UNLOADITEMS: unloads the items named name (every item when name is null). Answers 1.
LRESULT UnloadItemsNamed(LPCWSTR name);
// HM_RELOADITEMS: loads every record again and lays everything out. Answers 0.
LRESULT ReloadAllItems();
// Sends msg to the item's window; an item without a usable window answers 0.
LRESULT SendItemMessage(const HostedItem &item, UINT msg, WPARAM wParam, LPARAM lParam);
// The window when a plug-in's window can be used as an item's: a window of the host's thread
// whose parent is ItemHost. Anything else (a worker thread's window, ItemHost or MainWindow
// themselves, a handle that is no window) is null: it takes no space, gets no message and is
// never destroyed by the host.
HWND ItemWindow(HWND window);
// Frees the DLLs that unloads let go of, except those whose window still exists. Called only
// by the outermost message loop between two messages, where no plug-in code can be running.
void FreeRetiredLibraries();
// Whether an address lies in a plug-in DLL that an item holds or that waits to be freed: the
// only code here that runs timer procedures.
bool IsPluginAddress(LPARAM address);
// Loads, layout passes and selection changes run plug-in code, which may ask the host from
// inside to unload or reload items. Such requests wait until the outermost of these ends, and
// are then carried out once each. Every Begin is matched by an End.
void BeginHostWork();
void EndHostWork();
