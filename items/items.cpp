// The hosted items: parsing PluginList into records, switching the items off on the system
// Today screen, loading the plug-in DLLs and their windows, and tearing them down again.
// Owns Items, ItemCount, StaticItem and PluginListChanged.
#include "items/items.h"
#include "base/bench.h"
#include "items/itemhost.h"
#include "items/navigation.h"
#include "settings/settingsfile.h"
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

// A record without a name has no key of its own: its key would be the Items key itself.
static bool HasName(const HostedItem &item)
{
    return item.szName[0] != 0;
}

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

// How many names a PluginList text asks for, and where they start (after the first "::"):
// none for a text without "::" or with the count 0. False when that many records could not
// be allocated: a negative count, or one whose records would not fit a 32-bit size.
static bool ListedCount(const WCHAR *list, UINT *count, const WCHAR **names)
{
    *count = 0, *names = nullptr;
    const WCHAR *separator = wcsstr(list, L"::");
    if (!separator) return true;
    long long wanted = ReadItemCount(list);   // stops at the first ':'
    if (wanted < 0 || (unsigned long long)wanted * sizeof(HostedItem) > 0xFFFFFFFFULL) return false;
    // A list of 2047 characters names far fewer than MAX_HOSTED_ITEMS items; a count beyond
    // that would only allocate and probe empty records.
    *count = wanted > MAX_HOSTED_ITEMS ? MAX_HOSTED_ITEMS : (UINT)wanted;
    *names = separator + 2;
    return true;
}

// The next name of the names text: each ends at the next "::", so a fragment after the last
// "::" is never a name. Moves names past it; false when no "::" follows.
static bool NextListedName(const WCHAR **names, const WCHAR **name, size_t *length)
{
    const WCHAR *end = wcsstr(*names, L"::");
    if (!end) return false;
    *name = *names, *length = end - *names;
    *names = end + 2;
    return true;
}

bool ParsePluginList(LPCWSTR list)
{
    WCHAR work[PLUGIN_LIST_CAPACITY];
    CopyText(work, list ? list : L"");
    UINT count;
    const WCHAR *names, *name;
    if (!ListedCount(work, &count, &names)) return false;
    if (count == 0) return true;

    HostedItem *block = (HostedItem *)calloc(count, sizeof(HostedItem));
    if (!block) return false;
    Items = block;
    ItemCount = count;

    size_t length;
    for (UINT i = 0; i < ItemCount && NextListedName(&names, &name, &length); i++) {
        // A hand-edited name longer than a record holds is not cut: a cut name could be the
        // key of a different item. The record keeps an empty name and gets no window.
        if (length < MAX_ITEMNAME) CopyTextN(Items[i].szName, MAX_ITEMNAME, name, length);
    }
    return true;
}

bool ListedName(LPCWSTR list, UINT index, WCHAR *name, size_t cap)
{
    UINT count;
    const WCHAR *names, *listed = nullptr;
    size_t length = 0;
    if (!ListedCount(list, &count, &names) || index >= count) return false;
    for (UINT i = 0; i <= index; i++)
        if (!NextListedName(&names, &listed, &length)) return false;
    return CopyTextN(name, cap, listed, length);
}

bool IsListedItem(LPCWSTR list, LPCWSTR name)
{
    UINT count;
    const WCHAR *names, *listed;
    size_t length;
    if (!ListedCount(list, &count, &names)) return false;
    for (UINT i = 0; i < count && NextListedName(&names, &listed, &length); i++)
        if (length == wcslen(name) && wcsncmp(listed, name, length) == 0) return true;
    return false;
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
    BenchNote(BENCH_STEP, "disable");
    for (UINT i = 0; i < ItemCount; i++) LoadItem(i);
    LayoutItems(false);
    SetTimer(ItemHost, REFRESH_TIMER, REFRESH_INTERVAL, nullptr);
}

void DisableSystemTodayItems()
{
    bool changed = false;
    for (UINT i = 0; i < ItemCount; i++) {
        if (!HasName(Items[i])) continue;
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

// A reference to a plug-in's DLL for the length of a call into its code (null for none).
static HMODULE HoldLibrary(HINSTANCE library)
{
    HMODULE held = nullptr;
    if (library) GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCWSTR)library, &held);
    return held;
}

static void ReleaseLibrary(HMODULE held)
{
    if (held) FreeLibrary(held);
}

LRESULT SendItemMessage(const HostedItem &item, UINT msg, WPARAM wParam, LPARAM lParam)
{
    BenchNote(BENCH_ITEM_MESSAGE, "", msg);
    HMODULE held = HoldLibrary(item.hinstDLL);
    LRESULT result = SendMessageW(item.hwndCustom, msg, wParam, lParam);
    ReleaseLibrary(held);
    return result;
}

// The item's code ran inside InitializeCustomItem and may have made the host unload the item,
// give the record a window by a load from inside, or drop the whole list. The new window is
// the record's only while the record is there with its DLL and without a window.
static bool RecordTakesWindow(const HostedItem *block, UINT index, HINSTANCE library)
{
    return Items == block && index < ItemCount && block[index].hinstDLL == library && !block[index].hwndCustom;
}

HWND LoadItem(UINT index)
{
    if (index >= ItemCount || !HasName(Items[index])) return nullptr;
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
        BenchNote(BENCH_STEP, "library");
    }
    if (item->hwndCustom) return item->hwndCustom;   // the item keeps its window

    FARPROC entry = GetProcAddressW(item->hinstDLL, MAKEINTRESOURCEW(ORDINAL_INITIALIZEITEM));
    auto initialize = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(reinterpret_cast<void *>(entry));
    if (!entry) return nullptr;   // the DLL stays loaded until the next unload

    HostedItem *block = Items;
    HINSTANCE library = item->hinstDLL;
    HMODULE held = HoldLibrary(library);
    HWND window = initialize(item, ItemHost);
    if (window && !RecordTakesWindow(block, index, library)) {
        DestroyWindow(window);   // no record would ever destroy it, and its DLL may go
    } else if (window) {
        item->hwndCustom = window;
        ShowWindow(window, SW_SHOW);
        SendMessageW(window, WM_TODAYCUSTOM_CLEARCACHE, (WPARAM)item, 0);   // the DLL is held
    }
    ReleaseLibrary(held);
    BenchNote(BENCH_STEP, "item");
    return Items == block && index < ItemCount ? item->hwndCustom : nullptr;
}

// The box has no owner window: UnloadAllItems also runs while MainWindow is being destroyed,
// and a box must not disable, or hang off, a window that is going away.
static void ReportDestroyFailure(DWORD error)
{
    WCHAR text[64];   // wsprintfW writes at most 1024 characters; this text is at most 51
    wsprintfW(text, L"DestroyWindow Failed with 0x%08x (%d)", (unsigned)error, (int)error);
    MessageBoxW(nullptr, text, L"Error", MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
}

// Takes the window and the DLL out of the record before the item is told anything, so that a
// layout pass or a load started from inside the item's teardown finds the record unloaded;
// the record is not touched afterwards, as the item's code may have dropped the whole list.
// Then sends the last clear-cache, destroys the window and frees the DLL. Answers false when
// the window could not be destroyed, with that error in *error.
static bool UnloadItem(HostedItem &item, DWORD *error)
{
    HWND window = item.hwndCustom;
    HINSTANCE library = item.hinstDLL;
    item.hwndCustom = nullptr;
    item.hinstDLL = nullptr;
    item.Placed = nullptr;
    bool destroyed = true;
    if (window) {
        HMODULE held = HoldLibrary(library);
        SendMessageW(window, WM_TODAYCUSTOM_CLEARCACHE, (WPARAM)&item, 0);
        SetLastError(0);
        destroyed = DestroyWindow(window);
        if (!destroyed) *error = GetLastError();
        ReleaseLibrary(held);
    }
    if (library) FreeLibrary(library);
    return destroyed;
}

void UnloadAllItems()
{
    // The block leaves the list before any item is told anything: an unload or a reload
    // started from inside an item's teardown (a posted WM_CLOSE, the settings dialog run from
    // the error box's message loop) finds an empty list, and its records are its own.
    UINT count = ItemCount;
    HostedItem *block = Items;
    Items = &StaticItem;
    ItemCount = 0;
    ZeroMemory(&StaticItem, sizeof StaticItem);
    SelectedItem = -1;

    for (UINT i = 0; i < count; i++) {
        DWORD error = 0;
        if (!UnloadItem(block[i], &error)) ReportDestroyFailure(error);
    }
    if (block != &StaticItem) free(block);
}

LRESULT UnloadItemsNamed(LPCWSTR name)
{
    if (ItemCount == 0) return 1;
    // The name may come from another process: it is copied, never trusted. A name that cannot
    // be read, or is longer than any record's, matches nothing.
    WCHAR wanted[MAX_ITEMNAME];
    if (name && !ReadMessageText((LPARAM)name, wanted, MAX_ITEMNAME)) return 1;

    for (UINT i = 0; i < ItemCount; i++) {
        if (name && wcsncmp(Items[i].szName, wanted, MAX_ITEMNAME) != 0) continue;
        if ((int)i == SelectedItem) SelectedItem = -1;   // as when every item goes
        DWORD error = 0;
        UnloadItem(Items[i], &error);   // not reported here
    }
    return 1;
}

LRESULT ReloadAllItems()
{
    for (UINT i = 0; i < ItemCount; i++) LoadItem(i);
    LayoutItems(true);
    return 0;
}
