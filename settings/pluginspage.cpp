// The Plugins page: the registered Today items as rows of a list view (ticked = hosted), in
// the order of their registry "Order" values, which Up and Down change; the custom background
// (check box and file chooser); and the start-up shortcut. Nothing reaches the registry or
// PluginList before OK (SavePluginSelection); the shortcut and Background change at once.
#include "settings/pluginspage.h"
#include "items/items.h"
#include "look/background.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include "settings/settingsfile.h"

// The page lists the first 30 subkeys of the Items key; a name has at most 31 characters.
constexpr DWORD MAX_PLUGIN_ROWS = 30;
// The column's text is the key name and its item data the key's "Order".
struct PluginRow {
    WCHAR Name[MAX_PATH];
    DWORD Order;
    bool Ticked;
};

// State images of the check boxes: 1 not ticked, 2 ticked.
constexpr UINT UNTICKED_IMAGE = 1;
constexpr UINT TICKED_STATE = INDEXTOSTATEIMAGEMASK(2);
constexpr DWORD PLUGIN_LIST_STYLES = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE;

static bool ReadRow(HWND list, int index, PluginRow &row)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = row.Name;
    item.cchTextMax = MAX_PATH;
    row.Name[0] = 0;
    if (index < 0 || !SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&item)) return false;
    row.Order = (DWORD)item.lParam;
    row.Ticked = (SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK) >> 12) != UNTICKED_IMAGE;
    return true;
}

static int InsertRow(HWND list, int index, PluginRow &row)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = row.Name;
    item.lParam = row.Order;
    index = (int)SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
    if (index >= 0 && row.Ticked) {
        LVITEMW state = {};
        state.stateMask = LVIS_STATEIMAGEMASK;
        state.state = TICKED_STATE;
        SendMessageW(list, LVM_SETITEMSTATE, index, (LPARAM)&state);
    }
    return index;
}

static int RowCount(HWND list)
{
    return (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
}

// Insertion sort by Order read as a signed number; a row equal to the sorted part's last stays
// after it, and a row that moves back lands in front of every earlier row with its Order.
void SortPluginRows(HWND list)
{
    int count = RowCount(list), last = 0;
    for (int i = 0; i < count; i++) {
        PluginRow row, before;
        if (!ReadRow(list, i, row)) return;
        if ((int)row.Order >= last) {
            last = (int)row.Order;
            continue;
        }
        SendMessageW(list, LVM_DELETEITEM, i, 0);
        int at = i - 1;
        while (at >= 0 && ReadRow(list, at, before) && (int)before.Order >= (int)row.Order) at--;
        InsertRow(list, at + 1, row);
    }
}

// Keeps every Order that is at least 2 above the previous one (compared unsigned) and gives
// the others the next free one. Read signed, as the sort reads them, the Orders must rise from
// row to row; an Order kept near the top of either range can make the next ones wrap or turn
// negative, which would reorder the rows at the next opening: then every row is numbered
// afresh from 2.
void RenumberOrders(HWND list)
{
    DWORD orders[MAX_PLUGIN_ROWS], wanted[MAX_PLUGIN_ROWS];
    int rows = 0;
    PluginRow row;
    while (rows < (int)MAX_PLUGIN_ROWS && ReadRow(list, rows, row)) orders[rows++] = row.Order;

    DWORD next = 2;
    for (int i = 0; i < rows; i++) {
        wanted[i] = orders[i] < next ? next : orders[i];
        next = wanted[i] + 2;
    }
    for (int i = 1; i < rows; i++) {
        if ((int)wanted[i] > (int)wanted[i - 1]) continue;
        for (int j = 0; j < rows; j++) wanted[j] = 2 + 2 * (DWORD)j;
        break;
    }
    for (int i = 0; i < rows; i++) {
        if (wanted[i] == orders[i]) continue;
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = (int)i;
        item.lParam = wanted[i];
        SendMessageW(list, LVM_SETITEMW, 0, (LPARAM)&item);
    }
}

// Every subkey of the Items key with a non-empty "DLL", each inserted at the top, so that the
// rows come in reverse enumeration order before the sort.
static void FillPluginRows(HWND list)
{
    HKEY items;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TODAY_ITEMS_KEY, 0, KEY_READ, &items) != ERROR_SUCCESS) return;
    for (DWORD index = 0; index < MAX_PLUGIN_ROWS; index++) {
        PluginRow row = {};
        DWORD length = MAX_ITEMNAME;
        // A name of 32 characters or more (ERROR_MORE_DATA) is passed over; it names no item.
        LONG found = RegEnumKeyExW(items, index, row.Name, &length, nullptr, nullptr, nullptr, nullptr);
        if (found == ERROR_MORE_DATA) continue;
        if (found != ERROR_SUCCESS) break;
        WCHAR dll[MAX_PATH];
        if (FAILED(RegistryGetString(items, row.Name, L"DLL", dll, MAX_PATH)) || !dll[0]) continue;
        RegistryGetDWORD(items, row.Name, L"Order", &row.Order);   // missing or unreadable: 0
        row.Ticked = IsListedItem(AppSettings.PluginList, row.Name);
        InsertRow(list, 0, row);
    }
    RegCloseKey(items);
}

static bool ShortcutExists()
{
    return ShortcutPath[0] && GetFileAttributesW(ShortcutPath) != INVALID_FILE_ATTRIBUTES;
}

// The label says what a press would do now, whatever the last press achieved.
static void ShowStartupLabel(HWND page)
{
    SetDlgItemTextW(page, IDC_STARTUP, ShortcutExists() ? L"Remove from StartUp" : L"Run on StartUp");
}

static void OnInitDialog(HWND page)
{
    FitPageToTab(page);
    HWND list = GetDlgItem(page, IDC_PLUGIN_LIST);
    RECT client;
    GetClientRect(list, &client);
    if (ShortcutExists()) ShowStartupLabel(page);   // otherwise the template's text stays
    if (AppSettings.EnableBackground) CheckDlgButton(page, IDC_USE_BACKGROUND, BST_CHECKED);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, PLUGIN_LIST_STYLES);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_ORDER;
    column.cx = client.right;
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&column);
    FillPluginRows(list);
    SortPluginRows(list);
    RenumberOrders(list);
}

// Up (step -1) and Down (+1): the selected row moves one place with its tick, its Order moves
// past its neighbour's, and it stays the selected, focused row.
static void MoveRow(HWND list, int step)
{
    int mark = (int)SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), to = mark + step;
    PluginRow row;
    if (to < 0 || to >= RowCount(list) || !ReadRow(list, mark, row)) return;
    SendMessageW(list, LVM_DELETEITEM, mark, 0);
    row.Order += 2 * step;
    InsertRow(list, to, row);
    RenumberOrders(list);
    SendMessageW(list, LVM_SETSELECTIONMARK, 0, to);
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, to, (LPARAM)&state);
}

// The chooser starts at the current image; a cancel leaves Background as it was. The
// background is redrawn after the dialog either way.
static void ChooseBackground(HWND page)
{
    WCHAR file[BACKGROUND_CAPACITY];
    CopyText(file, AppSettings.Background);
    if (ChooseFile(page, L"Select your Background-Image", file, BACKGROUND_CAPACITY))
        CopyText(AppSettings.Background, file);
    BackgroundDirty = true;
}

// Creates the shortcut, which starts the program with the word "background", or deletes it.
// Without a ShortcutPath (it did not fit) there is nothing to make or delete.
static void ToggleStartup(HWND page)
{
    if (ShortcutExists()) {
        DeleteFileW(ShortcutPath);
    } else if (ShortcutPath[0]) {
        WCHAR target[sizeof QuotedExePath / sizeof QuotedExePath[0] + 11];   // + " background"
        CopyText(target, QuotedExePath);
        AppendText(target, L" background");
        SHCreateShortcut(ShortcutPath, target);
    }
    ShowStartupLabel(page);
}

static void OnCommand(HWND page, int id)
{
    HWND list = GetDlgItem(page, IDC_PLUGIN_LIST);
    switch (id) {
    case IDC_UP: MoveRow(list, -1); break;
    case IDC_DOWN: MoveRow(list, +1); break;
    case IDC_BROWSE: ChooseBackground(page); break;
    case IDC_USE_BACKGROUND: BackgroundDirty = true; break;
    case IDC_STARTUP: ToggleStartup(page); break;
    }
}

INT_PTR CALLBACK PluginsPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: OnInitDialog(page); break;
    case WM_COMMAND: OnCommand(page, LOWORD(wParam)); break;
    }
    return DefWindowProcW(page, msg, wParam, lParam);
}

// "Order" goes only into keys that still exist: a key deleted while the dialog was open (an
// item uninstalled) is not made again.
static void StoreOrder(const PluginRow &row)
{
    WCHAR path[sizeof TODAY_ITEMS_KEY / sizeof(WCHAR) + MAX_PATH];
    CopyText(path, TODAY_ITEMS_KEY L"\\");
    AppendText(path, row.Name);
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegSetValueExW(key, L"Order", 0, REG_DWORD, (const BYTE *)&row.Order, sizeof row.Order);
    RegCloseKey(key);
}

// True when the page has a row for the key name (key names compare without case).
static bool HasRow(HWND list, LPCWSTR name)
{
    PluginRow row;
    for (int i = 0; ReadRow(list, i, row); i++)
        if (lstrcmpiW(row.Name, name) == 0) return true;
    return false;
}

// The ticked rows in their order, then the hosted items the page did not list (past the first
// thirty keys, or not registered now) in their old order: OK never drops what it did not show.
void SavePluginSelection(HWND list)
{
    WCHAR names[PLUGIN_LIST_CAPACITY] = L"", name[PLUGIN_LIST_CAPACITY];
    int listed = 0;
    PluginRow row;
    for (int i = 0; ReadRow(list, i, row); i++) {
        StoreOrder(row);
        if (!row.Ticked) continue;
        AppendText(names, row.Name);
        AppendText(names, L"::");
        listed++;
    }
    for (UINT i = 0; ListedName(AppSettings.PluginList, i, name, PLUGIN_LIST_CAPACITY); i++) {
        if (HasRow(list, name)) continue;
        AppendText(names, name);
        AppendText(names, L"::");
        listed++;
    }
    const WCHAR *separator = wcsstr(AppSettings.PluginList, L"::");
    if (separator && wcscmp(separator + 2, names) == 0 && !PluginListChanged) return;
    PluginListChanged = true;   // the hosted items are loaded again
    wsprintfW(AppSettings.PluginList, L"%d::", listed);
    AppendText(AppSettings.PluginList, names);
}
