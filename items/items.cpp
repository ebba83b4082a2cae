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

// Requests that arrived while the host was busy (see BeginHostWork), and how deep it is.
static int HostWorkDepth;
static bool ListReloadAsked, ItemsReloadAsked, UnloadAsked;

// Requests made while the waiting ones are carried out wait in turn; an item that asks again
// every time it is loaded gets at most this many rounds, the rest waits for the next end.
constexpr int MAX_REQUEST_ROUNDS = 4;

void BeginHostWork()
{
    HostWorkDepth++;
}

static void UnloadAskedItems();
static void ReloadListNow();
static void ReloadAllNow();

void EndHostWork()
{
    for (int round = 0; HostWorkDepth == 1 && round < MAX_REQUEST_ROUNDS && (ListReloadAsked || ItemsReloadAsked || UnloadAsked); round++) {
        bool list = ListReloadAsked, items = ItemsReloadAsked, unload = UnloadAsked;
        ListReloadAsked = ItemsReloadAsked = UnloadAsked = false;
        if (unload) UnloadAskedItems();
        if (list) ReloadListNow();
        if (items) ReloadAllNow();
    }
    HostWorkDepth--;
}

// A request is carried out by the end of the outermost work: at once when the host is idle,
// after what it is doing otherwise.
static void Request(bool &asked)
{
    asked = true;
    if (HostWorkDepth) return;
    BeginHostWork();
    EndHostWork();
}

void ReloadItems()
{
    Request(ListReloadAsked);
}

static void ReloadListNow()
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

HWND ItemWindow(HWND window)
{
    if (!window || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return nullptr;
    return GetAncestor(window, GA_PARENT) == ItemHost ? window : nullptr;
}

LRESULT SendItemMessage(const HostedItem &item, UINT msg, WPARAM wParam, LPARAM lParam)
{
    BenchNote(BENCH_ITEM_MESSAGE, "", msg);
    HWND window = ItemWindow(item.hwndCustom);
    return window ? SendMessageW(window, msg, wParam, lParam) : 0;
}

// DLLs that unloads let go of, each with the window that must be gone before it is freed.
struct RetiredLibrary {
    HINSTANCE Library;
    HWND Window;
};
static RetiredLibrary *Retired;
static UINT RetiredCount, RetiredCapacity;

static void RetireLibrary(HINSTANCE library, HWND window)
{
    if (!library) return;
    if (RetiredCount == RetiredCapacity) {
        UINT capacity = RetiredCapacity ? 2 * RetiredCapacity : 16;
        auto *grown = (RetiredLibrary *)realloc(Retired, capacity * sizeof *Retired);
        if (!grown) return;   // the DLL stays loaded: a leak, never an unmapping
        Retired = grown, RetiredCapacity = capacity;
    }
    Retired[RetiredCount++] = {library, window};
}

// An entry leaves the list before its DLL is freed: the DLL's detach code may unload more.
void FreeRetiredLibraries()
{
    for (UINT i = 0; i < RetiredCount;) {
        RetiredLibrary entry = Retired[i];
        if (entry.Window && IsWindow(entry.Window)) {
            i++;
            continue;
        }
        Retired[i] = Retired[--RetiredCount];
        FreeLibrary(entry.Library);
    }
}

bool IsPluginAddress(LPARAM address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            (LPCWSTR)address, &module)) return false;
    for (UINT i = 0; i < ItemCount; i++)
        if (Items[i].hinstDLL == module) return true;
    for (UINT i = 0; i < RetiredCount; i++)
        if (Retired[i].Library == module) return true;
    return false;
}

// The item's code ran inside InitializeCustomItem and may have dropped the whole list. The
// window is the record's while the record is there with its DLL and without another window
// (an item may store its window in the record itself before returning it).
static bool RecordTakesWindow(const HostedItem *block, UINT index, HINSTANCE library, HWND window)
{
    return Items == block && index < ItemCount && block[index].hinstDLL == library
        && (!block[index].hwndCustom || block[index].hwndCustom == window);
}

// A window no record takes: destroyed when it is the host's to destroy, and its DLL (with a
// reference of its own) stays until the window is gone.
static void DropOrphanWindow(HWND window, HINSTANCE library)
{
    if (ItemWindow(window)) DestroyWindow(window);
    HMODULE extra = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCWSTR)library, &extra);
    RetireLibrary(extra, window);
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
    HWND window = initialize(item, ItemHost);
    if (window && !RecordTakesWindow(block, index, library, window)) {
        DropOrphanWindow(window, library);
    } else if (window) {
        item->hwndCustom = window;
        if (ItemWindow(window)) {
            ShowWindow(window, SW_SHOW);
            SendMessageW(window, WM_TODAYCUSTOM_CLEARCACHE, (WPARAM)item, 0);
        }
    }
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
// Then sends the last clear-cache and destroys the window; the DLL is retired, to be freed
// once the window is gone. Answers false when the window could not be destroyed, with that
// error in *error.
static bool UnloadItem(HostedItem &item, DWORD *error)
{
    HWND window = item.hwndCustom;
    HINSTANCE library = item.hinstDLL;
    item.hwndCustom = nullptr;
    item.hinstDLL = nullptr;
    item.Placed = nullptr;
    item.UnloadAsked = false;
    bool destroyed = true;
    if (ItemWindow(window)) SendMessageW(window, WM_TODAYCUSTOM_CLEARCACHE, (WPARAM)&item, 0);
    // A window that is not the host's stays; a handle that is no window (any more) fails as
    // the destruction of a window the item destroyed itself does.
    if (window && (ItemWindow(window) || !IsWindow(window))) {
        SetLastError(0);
        destroyed = DestroyWindow(window);
        if (!destroyed) *error = GetLastError();
    }
    RetireLibrary(library, window);
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
        Items[i].UnloadAsked = true;
    }
    Request(UnloadAsked);
    return 1;
}

// The records an unload asked for, in order; a failed destruction is not reported here.
static void UnloadAskedItems()
{
    for (UINT i = 0; i < ItemCount; i++) {
        DWORD error = 0;
        if (!Items[i].UnloadAsked) continue;
        if ((int)i == SelectedItem) SelectedItem = -1;   // as when every item goes
        UnloadItem(Items[i], &error);   // not reported here
    }
}

LRESULT ReloadAllItems()
{
    Request(ItemsReloadAsked);
    return 0;
}

static void ReloadAllNow()
{
    for (UINT i = 0; i < ItemCount; i++) LoadItem(i);
    LayoutItems(true);
}
