// The hosted items: parsing PluginList into records, switching the items off on the system
// Today screen, loading the plug-in DLLs and their windows, and tearing them down again.
// Owns Items, ItemCount, StaticItem and PluginListChanged.
#include "items/items.h"
#include "items/itemhost.h"
#include "items/navigation.h"
#include "settings/settingsfile.h"
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

HostedItem StaticItem;
HostedItem *Items = &StaticItem;
UINT ItemCount;
bool PluginListChanged;

// Longest the switch-off broadcast may wait for any one window (ms). A hung window must not
// freeze the host while it loads its items.
constexpr UINT DISABLE_BROADCAST_TIMEOUT = 3000;

// "Software\Microsoft\Today\Items\" plus a name of at most 31 characters and the terminator.
constexpr size_t ITEM_KEY_CAPACITY = 80;

static void ItemKey(const HostedItem &item, WCHAR (&key)[ITEM_KEY_CAPACITY])
{
    CopyText(key, TODAY_ITEMS_KEY L"\\");
    AppendText(key, item.szName);
}

// A value that cannot be read leaves the field as it was.
static bool ReadItemDWORD(const WCHAR *key, LPCWSTR value, DWORD *field)
{
    DWORD data = 0;
    if (FAILED(RegistryGetDWORD(HKEY_LOCAL_MACHINE, key, value, &data))) return false;
    *field = data;
    return true;
}

static DWORD ReadEnabled(const WCHAR *key)
{
    DWORD enabled = 0;
    ReadItemDWORD(key, L"Enabled", &enabled);
    return enabled;
}

// The count before the first "::": leading white space and a sign, then decimal digits up to
// the first other character; no digits read as 0. Saturates instead of wrapping, so a huge
// count stays huge and a huge negative one stays negative.
static long long ReadItemCount(const WCHAR *text)
{
    while (iswspace(*text)) text++;
    bool negative = false;
    if (*text == L'+' || *text == L'-') negative = *text++ == L'-';
    long long value = 0;
    for (; *text >= L'0' && *text <= L'9'; text++) {
        if (value < 0x100000000LL) value = value * 10 + (*text - L'0');
    }
    return negative ? -value : value;
}

bool ParsePluginList(LPCWSTR list)
{
    WCHAR work[PLUGIN_LIST_CAPACITY];
    CopyText(work, list ? list : L"");

    WCHAR *separator = wcsstr(work, L"::");
    if (!separator) return true;
    *separator = 0;
    long long count = ReadItemCount(work);
    if (count == 0) return true;
    // The block must fit a 32-bit size: a negative or larger count is an allocation failure.
    if (count < 0 || (unsigned long long)count * sizeof(HostedItem) > 0xFFFFFFFFULL) return false;
    // A list of 2047 characters names far fewer than MAX_HOSTED_ITEMS items; a count beyond
    // that would only allocate and probe empty records.
    if (count > MAX_HOSTED_ITEMS) count = MAX_HOSTED_ITEMS;

    HostedItem *block = (HostedItem *)calloc((size_t)count, sizeof(HostedItem));
    if (!block) return false;
    Items = block;
    ItemCount = (UINT)count;

    WCHAR *name = separator + 2;
    for (UINT i = 0; i < ItemCount; i++) {
        WCHAR *end = wcsstr(name, L"::");
        if (!end) break;
        size_t length = end - name;
        // A hand-edited name longer than a record holds is not cut: a cut name could be the
        // key of a different item. The record keeps an empty name and gets no window.
        if (length < MAX_ITEMNAME) CopyTextN(Items[i].szName, MAX_ITEMNAME, name, length);
        name = end + 2;
    }
    return true;
}

void ReloadItems()
{
    KillTimer(ItemHost, REFRESH_TIMER);
    if (PluginListChanged) {
        UnloadAllItems();
        PluginListChanged = false;
        // Without records there is nothing to poll: the timer stays stopped.
        if (!ParsePluginList(AppSettings.PluginList)) return;
    }
    DisableSystemTodayItems();
    for (UINT i = 0; i < ItemCount; i++) LoadItem(i);
    LayoutItems(false);
    SetTimer(ItemHost, REFRESH_TIMER, REFRESH_INTERVAL, nullptr);
}

void DisableSystemTodayItems()
{
    bool changed = false;
    for (UINT i = 0; i < ItemCount; i++) {
        WCHAR key[ITEM_KEY_CAPACITY];
        ItemKey(Items[i], key);
        if (ReadEnabled(key)) {
            RegistrySetDWORD(HKEY_LOCAL_MACHINE, key, L"Enabled", 0);
            changed = true;
        }
    }
    if (!changed) return;
    // Synchronous, so that the system Today screen has dropped the items before they are
    // loaded here; MainWindow receives it too and handles it before this returns.
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_WININICHANGE, TODAY_REFRESH_CODE, 0,
                        SMTO_NORMAL | SMTO_ABORTIFHUNG, DISABLE_BROADCAST_TIMEOUT, &answer);
}

HWND LoadItem(UINT index)
{
    if (index >= ItemCount) return nullptr;
    HostedItem *item = &Items[index];
    WCHAR key[ITEM_KEY_CAPACITY];
    ItemKey(*item, key);

    // An enabled item is shown by the system Today screen.
    if (ReadEnabled(key)) return nullptr;
    item->fEnabled = TRUE;

    ReadItemDWORD(key, L"Type", (DWORD *)&item->tlit);
    if ((int)item->tlit < tlitCustom) return nullptr;   // the built-in kinds have no DLL
    ReadItemDWORD(key, L"Flags", &item->grfFlags);
    ReadItemDWORD(key, L"Options", (DWORD *)&item->fOptions);
    ReadItemDWORD(key, L"Order", &item->dwOrder);
    ReadItemDWORD(key, L"Selectability", &item->Selectability);

    WCHAR path[MAX_PATH];
    if (FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, key, L"DLL", path, MAX_PATH))) return nullptr;
    CopyText(item->szDLLPath, path);

    if (!item->hinstDLL) {
        item->hinstDLL = LoadLibraryW(item->szDLLPath);
        if (!item->hinstDLL) return nullptr;
    }
    if (item->hwndCustom) return item->hwndCustom;   // the item keeps its window

    FARPROC entry = GetProcAddressW(item->hinstDLL, MAKEINTRESOURCEW(ORDINAL_INITIALIZEITEM));
    auto initialize = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(reinterpret_cast<void *>(entry));
    if (!entry) return nullptr;   // the DLL stays loaded until the next unload

    HostedItem *block = Items;
    HWND window = initialize(item, ItemHost);
    // The plug-in's code ran: if it made the host drop the whole list meanwhile, the record
    // is gone and the window has no owner to report to.
    if (Items != block || index >= ItemCount) return nullptr;
    item->hwndCustom = window;
    if (window) {
        ShowWindow(window, SW_SHOW);
        SendMessageW(window, WM_TODAYCUSTOM_CLEARCACHE, (WPARAM)item, 0);
    }
    return item->hwndCustom;
}

// The box has no owner window: UnloadAllItems also runs while MainWindow is being destroyed,
// and a box must not disable, or hang off, a window that is going away.
static void ReportDestroyFailure(DWORD error)
{
    WCHAR text[64];
    _snwprintf(text, 64, L"DestroyWindow Failed with 0x%.8x (%d)", (unsigned)error, (int)error);
    text[63] = 0;
    MessageBoxW(nullptr, text, L"Error", MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
}

// Sends the last clear-cache and destroys the item's window; answers false when the
// destruction failed, with that error in *error.
static bool DestroyItemWindow(HostedItem &item, DWORD *error)
{
    HWND window = item.hwndCustom;
    SendMessageW(window, WM_TODAYCUSTOM_CLEARCACHE, (WPARAM)&item, 0);
    // The record lets go of the window before it is destroyed, so that a layout pass started
    // from inside the plug-in's teardown never asks a dying window for its height.
    item.hwndCustom = nullptr;
    SetLastError(0);
    if (DestroyWindow(window)) return true;
    *error = GetLastError();
    return false;
}

static void FreeItemLibrary(HostedItem &item)
{
    HINSTANCE library = item.hinstDLL;
    item.hinstDLL = nullptr;
    FreeLibrary(library);
}

void UnloadAllItems()
{
    // Count and selection go first: an item that calls back while it is being told to go
    // finds an empty list.
    UINT count = ItemCount;
    HostedItem *block = Items;
    ItemCount = 0;
    SelectedItem = -1;

    for (UINT i = 0; i < count; i++) {
        HostedItem &item = block[i];
        DWORD error = 0;
        if (item.hwndCustom && !DestroyItemWindow(item, &error)) ReportDestroyFailure(error);
        if (item.hinstDLL) FreeItemLibrary(item);
    }

    if (block != &StaticItem) free(block);
    Items = &StaticItem;
    ZeroMemory(&StaticItem, sizeof StaticItem);
}

LRESULT UnloadItemsNamed(LPCWSTR name)
{
    if (ItemCount == 0) return 1;
    // The name may come from another process: it is copied, never trusted. A name that cannot
    // be read, or is longer than any record's, matches nothing.
    WCHAR wanted[MAX_ITEMNAME];
    if (name && !ReadMessageText((LPARAM)name, wanted, MAX_ITEMNAME)) return 1;

    for (UINT i = 0; i < ItemCount; i++) {
        HostedItem &item = Items[i];
        if (name && wcsncmp(item.szName, wanted, MAX_ITEMNAME) != 0) continue;
        DWORD error = 0;
        if (item.hwndCustom) DestroyItemWindow(item, &error);   // not reported here
        if (item.hinstDLL) FreeItemLibrary(item);
    }
    return 1;
}

LRESULT ReloadAllItems()
{
    for (UINT i = 0; i < ItemCount; i++) LoadItem(i);
    LayoutItems(true);
    return 0;
}
