// The Plugins page inside the real settings dialog that MainWindow opens: the rows the registry
// gives, their order and ticks, Up and Down, the save on OK, the start-up shortcut and the
// background buttons. The tests own the Items key: the device's items are moved aside.
#include "support/dialog.h"
#include "app/app.h"
#include "app/mainwindow.h"
#include "items/itemhost.h"
#include "items/items.h"
#include "look/background.h"
#include "look/theme.h"
#include "plugins/probe/probe.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include "settings/settingsfile.h"
#include <optional>
#include <sstream>

BOOL WINAPI GetOpenFileNameEx(OPENFILENAMEEX *) { return FALSE; }   // TEMPORARY until the chooser lands

namespace {

const std::wstring ItemsKey = TODAY_ITEMS_KEY, ItemsBackup = ItemsKey + L"KeptByPluginsPageTests";

HWND List() { return GetDlgItem(PluginsPage, IDC_PLUGIN_LIST); }

// The rows as "name order" pairs, a star after a ticked name: "B* 3 A 5".
std::wstring Rows(HWND list)
{
    std::wstring rows;
    WCHAR name[64];
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM, item.pszText = name, item.cchTextMax = 64;
    for (; SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&item); item.iItem++) {
        bool ticked = ListView_GetCheckState(list, item.iItem);
        rows += (rows.empty() ? L"" : L" ") + std::wstring(name) + (ticked ? L"* " : L" ") + std::to_wstring((int)item.lParam);
    }
    return rows;
}

// The same rows with the "Order" values the registry holds for them.
std::wstring SavedRows(const std::wstring &rows)
{
    std::wistringstream in(rows);
    std::wstring saved, name, order;
    while (in >> name >> order) {
        DWORD value = 12345;
        RegistryGetDWORD(HKEY_LOCAL_MACHINE, (ItemsKey + L"\\" + name.substr(0, name.find(L'*'))).c_str(), L"Order", &value);
        saved += (saved.empty() ? L"" : L" ") + name + L" " + std::to_wstring((int)value);
    }
    return saved;
}

void Select(HWND list, int row)
{
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(list, LVM_SETSELECTIONMARK, 0, row);
}

class PluginsPage_Dialog : public testing::Test {
protected:
    void SetUp() override
    {
        MoveRegTree(HKEY_LOCAL_MACHINE, ItemsKey, ItemsBackup);
        CreateDirectoryW(folder.c_str(), nullptr);
        CopyText(SettingsPath, (folder + SETTINGS_FILE_NAME).c_str());
        CopyText(ShortcutPath, shortcut.c_str());
        AppSettings = Settings{L"Plugins Test", L"0::", L"", 0, 1, 0};
        PluginListChanged = BackgroundDirty = false;
        LoadedImagePath[0] = 0;
        LoadThemeColors();
        ASSERT_TRUE(CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOW));
        PumpMessages();
    }
    void TearDown() override
    {
        if (IsWindow(MainWindow)) DestroyWindow(MainWindow);
        MainWindow = ItemHost = nullptr;
        FreeBackgroundBitmap();
        PumpMessages();
        DeleteRegTree(HKEY_LOCAL_MACHINE, ItemsKey);
        MoveRegTree(HKEY_LOCAL_MACHINE, ItemsBackup, ItemsKey);
        DeleteFileW(shortcut.c_str()), DeleteFileW(SettingsPath), RemoveDirectoryW(folder.c_str());
        SettingsPath[0] = ShortcutPath[0] = 0;
    }

    // An item with a DLL and an "Order"; no order stands for an unreadable one (a string).
    static void AddItem(const std::wstring &name, std::optional<DWORD> order, const wchar_t *dll = L"\\Windows\\item.dll")
    {
        std::wstring key = ItemsKey + L"\\" + name;
        if (dll) RegistrySetString(HKEY_LOCAL_MACHINE, key.c_str(), L"DLL", dll);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, key.c_str(), L"Type", 4);
        if (order) RegistrySetDWORD(HKEY_LOCAL_MACHINE, key.c_str(), L"Order", *order);
        else RegistrySetString(HKEY_LOCAL_MACHINE, key.c_str(), L"Order", L"7");
    }

    const std::wstring folder = ExeFolder() + L"plugins-page-test\\", shortcut = folder + L"nimbra_.lnk";
};

TEST_F(PluginsPage_Dialog, RowsFollowTheRegistryOrderAndOkWritesItBack)
{
    // Items are enumerated by name and each is put at the top: the rows start in reverse order.
    struct Case { const char *name; std::vector<std::pair<std::wstring, std::optional<DWORD>>> items; const wchar_t *list, *rows, *saved; };
    const Case cases[] = {
        {"5, 3, 4 sort and keep what rises by 2", {{L"A", 4}, {L"B", 3}, {L"C", 5}}, L"0::", L"B 3 A 5 C 7", L"0::"},
        {"ties: a row moving back goes before its equals", {{L"X", 0}, {L"Y", 5}, {L"Z", 0}}, L"0::", L"X 2 Z 4 Y 6", L"0::"},
        {"sorted signed, renumbered unsigned; an unreadable Order is 0", {{L"A", 0xFFFFFFFF}, {L"B", {}}, {L"C", 3}}, L"0::",
         L"A -1 B 1 C 3", L"0::"},
        {"a renumbering that wraps starts afresh", {{L"A", (DWORD)-3}, {L"B", (DWORD)-3}, {L"C", (DWORD)-3}}, L"0::",
         L"A 2 B 4 C 6", L"0::"},
        {"so does one that turns negative", {{L"A", 0x7FFFFFFF}, {L"B", 0x7FFFFFFF}}, L"0::", L"B 2 A 4", L"0::"},
        {"ticked by whole names the count takes", {{L"Clo", 1}, {L"Clock", 2}, {L"NimbraClock", 3}, {L"Other", 4}, {L"Zed", 5}},
         L"3::NimbraClock::Other::Clo", L"Clo 2 Clock 4 NimbraClock* 6 Other* 8 Zed 10", L"2::NimbraClock::Other::"},
        {"nothing ticked", {{L"A", 2}}, L"", L"A 2", L"0::"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DeleteRegTree(HKEY_LOCAL_MACHINE, ItemsKey);
        for (const auto &[name, order] : c.items) AddItem(name, order);
        CopyText(AppSettings.PluginList, c.list);
        PluginListChanged = false;
        std::wstring rows;
        bool changed = false;   // read before applying the settings reloads the items and clears it
        EXPECT_TRUE(RunSettingsDialog([&](HWND dialog) {
            rows = Rows(List());
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            changed = PluginListChanged;
        }, DialogEnd::ByAction));
        EXPECT_EQ(Narrow(rows), Narrow(c.rows));
        EXPECT_EQ(Narrow(SavedRows(rows)), Narrow(rows)) << "OK writes every row's Order";
        EXPECT_EQ(Narrow(AppSettings.PluginList), Narrow(c.saved));
        EXPECT_EQ(changed, wcscmp(c.list, c.saved) != 0);
    }
}

TEST_F(PluginsPage_Dialog, ListsThirtyKeysAtMostAndStopsAtALongName)
{
    std::wstring want;
    for (int i = 31; i >= 0; i--) {
        WCHAR name[8];
        wsprintfW(name, L"K%02d", i);
        AddItem(name, 0, i == 3 ? nullptr : i == 4 ? L"" : L"\\Windows\\item.dll");   // not listed, but counted
        if (i < 30 && i != 3 && i != 4) want += std::wstring(want.empty() ? L"" : L" ") + name + L" " + std::to_wstring(2 * (30 - i) - (i < 3 ? 4 : 0));
    }
    std::wstring rows;
    EXPECT_TRUE(RunSettingsDialog([&](HWND) { rows = Rows(List()); }, DialogEnd::Close));
    EXPECT_EQ(Narrow(rows), Narrow(want));

    AddItem(L"K10" + std::wstring(29, L'x'), 0);   // 32 characters, enumerated after K10
    EXPECT_TRUE(RunSettingsDialog([&](HWND) { rows = Rows(List()); }, DialogEnd::Close));
    EXPECT_EQ(Narrow(rows), "K10 2 K09 4 K08 6 K07 8 K06 10 K05 12 K02 14 K01 16 K00 18");

    DeleteRegTree(HKEY_LOCAL_MACHINE, ItemsKey);
    CopyText(AppSettings.PluginList, L"1::K01::");
    EXPECT_TRUE(RunSettingsDialog([&](HWND) { rows = Rows(List()); }, DialogEnd::Ok));
    EXPECT_EQ(Narrow(rows + L"|" + AppSettings.PluginList), "|0::") << "no Items key: an empty list";
}

TEST_F(PluginsPage_Dialog, UpAndDownMoveTheSelectedRowWithItsTick)
{
    AddItem(L"A", 2), AddItem(L"B", 4), AddItem(L"C", 6);
    CopyText(AppSettings.PluginList, L"1::B::");
    std::vector<std::string> seen;
    EXPECT_TRUE(RunSettingsDialog([&](HWND) {
        HWND list = List();
        // mark, button: the rows after, and the selected and focused row
        const std::tuple<int, int> presses[] = {{2, IDC_UP}, {0, IDC_DOWN}, {2, IDC_UP}, {0, IDC_UP}, {2, IDC_DOWN}, {-1, IDC_UP}, {-1, IDC_DOWN}};
        for (const auto &[mark, button] : presses) {
            Select(list, mark);
            Click(PluginsPage, button);
            int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED | LVNI_FOCUSED);
            seen.push_back(Narrow(Rows(list)) + " | " + std::to_string(selected) + " " + std::to_string(ListView_GetSelectionMark(list)));
        }
        // After a rotation the dialog initialises the page again: the user's rows stay as they are.
        SendMessageW(PluginsPage, WM_INITDIALOG, 0, 0);
        LVCOLUMNW column = {};
        column.mask = LVCF_WIDTH;
        seen.push_back(Narrow(Rows(list)) + " | columns " + std::to_string(ListView_GetColumn(list, 0, &column) + ListView_GetColumn(list, 1, &column)));
    }, DialogEnd::Ok));
    EXPECT_EQ(seen, (std::vector<std::string>{"A 2 C 4 B* 6 | 1 1", "C 4 A 6 B* 8 | 1 1", "C 4 B* 6 A 8 | 1 1",
                                               "C 4 B* 6 A 8 | -1 0", "C 4 B* 6 A 8 | -1 2", "C 4 B* 6 A 8 | -1 -1",
                                               "C 4 B* 6 A 8 | -1 -1", "C 4 B* 6 A 8 | columns 1"}));
    EXPECT_EQ(Narrow(SavedRows(L"C 4 B* 6 A 8")), "C 4 B* 6 A 8");
    EXPECT_EQ(Narrow(AppSettings.PluginList), "1::B::");
}

TEST_F(PluginsPage_Dialog, StartupShortcutFollowsTheFileAndBackgroundButtonsMarkTheBackground)
{
    const std::wstring exe = L"\"C:\\" + std::wstring(MAX_PATH - 8, L'n') + L".exe\"";   // the longest QuotedExePath
    const std::wstring saved = QuotedExePath;
    ASSERT_TRUE(CopyText(QuotedExePath, exe.c_str()));
    std::vector<std::string> seen;
    auto label = [&] {
        WCHAR text[32];
        GetDlgItemTextW(PluginsPage, IDC_STARTUP, text, 32);
        std::vector<unsigned char> file = ReadFileBytes(ShortcutPath);
        seen.push_back(Narrow(text) + " | " + std::string(file.begin(), file.end()));
    };
    auto press = [&](HWND) { label(), Click(PluginsPage, IDC_STARTUP), label(), Click(PluginsPage, IDC_STARTUP), label(); };
    EXPECT_TRUE(RunSettingsDialog(press, DialogEnd::Close));
    CopyText(QuotedExePath, saved.c_str());
    WriteFileBytes(ShortcutPath, "x", 1);
    EXPECT_TRUE(RunSettingsDialog([&](HWND) { label(); }, DialogEnd::Close));
    DeleteFileW(ShortcutPath);
    CopyText(ShortcutPath, (folder + L"missing\\nimbra_.lnk").c_str());   // cannot be made
    EXPECT_TRUE(RunSettingsDialog([&](HWND) { Click(PluginsPage, IDC_STARTUP), label(); }, DialogEnd::Close));
    const std::string target = Narrow(exe) + " background";
    EXPECT_EQ(seen, (std::vector<std::string>{"Run on Startup | ", "Remove from StartUp | " + std::to_string(target.size()) + "#" + target,
                                               "Run on StartUp | ", "Remove from StartUp | x", "Run on StartUp | "}));

    // The flag is read inside the dialog: applying the settings afterwards redraws and clears it.
    CopyText(AppSettings.Background, L"\\My Documents\\sky.jpg");
    std::vector<bool> dirty;
    EXPECT_TRUE(RunSettingsDialog([&](HWND) {
        for (int button : {IDC_USE_BACKGROUND, IDC_BROWSE})
            BackgroundDirty = false, Click(PluginsPage, button), dirty.push_back(BackgroundDirty);
    }, DialogEnd::Close));
    EXPECT_EQ(dirty, (std::vector<bool>{true, true})) << "a cancelled choice too";
    EXPECT_EQ(Narrow(AppSettings.Background), "\\My Documents\\sky.jpg");
}

// Two probe items of the same height, ticked and saved, then swapped with Up and saved again:
// the hosted windows follow.
TEST_F(PluginsPage_Dialog, ReorderingTwoItemsMovesTheirWindows)
{
    AddItem(L"P1", 0, PROBE_DLL_PATH), AddItem(L"P2", 0, PROBE_DLL_PATH);
    auto tops = [] {
        std::string tops;
        for (UINT i = 0; i < ItemCount; i++)
            tops += Narrow(Items[i].szName) + " " + std::to_string(WindowPlace(Items[i].hwndCustom)[1] - WindowPlace(ItemHost)[1]) + " ";
        return tops;
    };
    EXPECT_TRUE(RunSettingsDialog([](HWND) {
        for (int row : {0, 1}) ListView_SetCheckState(List(), row, TRUE);
    }, DialogEnd::Ok));
    std::string first = tops();
    EXPECT_TRUE(RunSettingsDialog([](HWND) { Select(List(), 1), Click(PluginsPage, IDC_UP); }, DialogEnd::Ok));
    EXPECT_EQ(Narrow(AppSettings.PluginList), "2::P1::P2::");
    const std::string height = ItemCount == 2 ? first.substr(first.rfind(' ', first.size() - 2) + 1) : "";
    EXPECT_EQ(first + "| " + tops(), "P2 0 P1 " + height + "| P1 0 P2 " + height);
    EXPECT_GT(atoi(height.c_str()), 10);
}

}  // namespace
