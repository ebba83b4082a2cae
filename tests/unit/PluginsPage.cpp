// The Plugins page inside the real settings dialog that MainWindow opens: the rows the registry
// gives, their order and ticks, Up and Down, the save on OK, the start-up shortcut and the
// background buttons. The tests own the Items key: the device's items are moved aside.
#include "support/dialog.h"
#include "support/chooser.h"
#include "items/items.h"
#include "look/background.h"
#include "plugins/probe/probe.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include <optional>

namespace {

const std::wstring ItemsKey = TODAY_ITEMS_KEY, ItemsBackup = ItemsKey + L"KeptByPluginsPageTests";

HWND List() { return GetDlgItem(PluginsPage, IDC_PLUGIN_LIST); }

// The rows as "name order", a star after a ticked name ("B* 3 A 5"); saved: with the "Order"
// the registry holds for each instead.
std::string Rows(bool saved = false)
{
    std::wstring rows;
    WCHAR name[64];
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM, item.pszText = name, item.cchTextMax = 64;
    for (; SendMessageW(List(), LVM_GETITEMW, 0, (LPARAM)&item); item.iItem++) {
        DWORD order = saved ? 12345 : (DWORD)item.lParam;
        if (saved) RegistryGetDWORD(HKEY_LOCAL_MACHINE, (ItemsKey + L"\\" + name).c_str(), L"Order", &order);
        rows += (item.iItem ? L" " : L"") + std::wstring(name) + (ListView_GetCheckState(List(), item.iItem) ? L"* " : L" ") + std::to_wstring((int)order);
    }
    return Narrow(rows);
}

class PluginsPage_Dialog : public ScreenTest {
protected:
    void SetUp() override
    {
        MoveRegTree(HKEY_LOCAL_MACHINE, ItemsKey, ItemsBackup);
        CopyText(SettingsPath, (ExeFolder() + L"plugins-page.ini").c_str());
        CopyText(ShortcutPath, (ExeFolder() + L"plugins-page_.lnk").c_str());
        PluginListChanged = BackgroundDirty = false;
        OpenScreen({L"Plugins Test", L"0::", L"", 0, 1, 0});
    }
    void TearDown() override
    {
        ScreenTest::TearDown();
        MoveRegTree(HKEY_LOCAL_MACHINE, ItemsBackup, ItemsKey);   // in place of the tests' own
        DeleteFileW(ShortcutPath), DeleteFileW(SettingsPath);
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
};

TEST_F(PluginsPage_Dialog, RowsFollowTheRegistryOrderThirtyAtMostUpAndDownMoveThemAndOkWritesThemBack)
{
    // Items are enumerated by name and each is put at the top: the rows start in reverse order.
    struct Case { const char *name; std::vector<std::pair<std::wstring, std::optional<DWORD>>> items; const wchar_t *list; const char *rows, *saved; };
    const Case cases[] = {
        {"5, 3, 4 sort and keep what rises by 2", {{L"A", 4}, {L"B", 3}, {L"C", 5}}, L"0::", "B 3 A 5 C 7", "0::"},
        {"ties: a row moving back goes before its equals", {{L"X", 0}, {L"Y", 5}, {L"Z", 0}}, L"0::", "X 2 Z 4 Y 6", "0::"},
        {"sorted signed, renumbered unsigned; an unreadable Order is 0", {{L"A", 0xFFFFFFFF}, {L"B", {}}, {L"C", 3}}, L"0::",
         "A -1 B 1 C 3", "0::"},
        {"a renumbering that wraps starts afresh", {{L"A", (DWORD)-3}, {L"B", (DWORD)-3}, {L"C", (DWORD)-3}}, L"0::", "A 2 B 4 C 6", "0::"},
        {"so does one that turns negative", {{L"A", 0x7FFFFFFF}, {L"B", 0x7FFFFFFF}}, L"0::", "B 2 A 4", "0::"},
        {"ticked by whole names the count takes", {{L"Clo", 1}, {L"NimbraClocks", 2}, {L"NimbraClock", 3}, {L"Other", 4}, {L"Zed", 5}},
         L"2::NimbraClock::Other::Zed::Clo", "Clo 2 NimbraClocks 4 NimbraClock* 6 Other* 8 Zed 10", "2::NimbraClock::Other::"},
        {"nothing ticked, no \"::\" before", {{L"A", 2}}, L"", "A 2", "0::"}, {"no Items key: what it hosts stays", {}, L"1::A::", "", "1::A::"},
    };
    AppSettings.EnableBackground = 1;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DeleteRegTree(HKEY_LOCAL_MACHINE, ItemsKey);
        for (const auto &[name, order] : c.items) AddItem(name, order);
        CopyText(AppSettings.PluginList, c.list);
        PluginListChanged = false;
        std::string rows, saved;
        bool changed = false;   // read before applying the settings reloads the items and clears it
        EXPECT_TRUE(RunSettingsDialog([&](HWND dialog) {
            rows = Rows();
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            saved = Rows(true), changed = PluginListChanged;
        }, DialogEnd::ByAction));
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(saved, rows) << "OK writes every row's Order";
        EXPECT_EQ(Narrow(AppSettings.PluginList), c.saved);
        EXPECT_EQ(changed, Narrow(c.list) != c.saved);
    }
    EXPECT_EQ(AppSettings.EnableBackground, 1) << "the check box shows the setting, and OK keeps it";
    // At most thirty keys are listed; keys without a DLL, and a long name, are passed over but
    // counted. OK keeps the hosted items it did not list after the others, and writes "Order"
    // only into keys that still exist.
    std::string want[2];
    for (int i = 31; i >= 0; i--) {
        WCHAR name[8];
        wsprintfW(name, L"K%02d", i);
        AddItem(name, 0, i == 3 ? nullptr : i == 4 ? L"" : L"\\Windows\\item.dll");   // not listed, but counted
        for (int top : {29, 28})
            if (i <= top && i != 3 && i != 4) want[29 - top] += (i == top ? "" : " ") + Narrow(name) + " " + std::to_string(2 * (top + 1 - i) - (i < 3 ? 4 : 0));
    }
    std::string rows;
    EXPECT_TRUE(RunSettingsDialog([&](HWND) { rows = Rows(); }, DialogEnd::Close));
    EXPECT_EQ(rows, want[0]);
    AddItem(L"K10" + std::wstring(29, L'x'), 0);   // 32 characters, enumerated after K10
    CopyText(AppSettings.PluginList, L"3::K31::Gone::K00::");
    EXPECT_TRUE(RunSettingsDialog([&](HWND) { rows = Rows(), DeleteRegTree(HKEY_LOCAL_MACHINE, ItemsKey + L"\\K05"); }, DialogEnd::Ok));
    EXPECT_EQ(rows, want[1].insert(want[1].size() - 3, "*"));
    EXPECT_EQ(Narrow(AppSettings.PluginList), "3::K00::K31::Gone::");
    HKEY gone;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (ItemsKey + L"\\K05").c_str(), 0, KEY_READ, &gone), ERROR_SUCCESS) << "the deleted key came back";
    // Up and Down on the rows; after OK the list names the ticked rows in their new order.
    DeleteRegTree(HKEY_LOCAL_MACHINE, ItemsKey);
    for (auto [name, order] : {std::pair{L"A", 2u}, {L"B", 4u}, {L"C", 6u}}) AddItem(name, order, PROBE_DLL_PATH);
    CopyText(AppSettings.PluginList, L"2::A::B::");
    ReloadAllItems();   // A over B, of one height
    std::vector<std::string> seen;
    EXPECT_TRUE(RunSettingsDialog([&](HWND) {
        HWND list = List();
        // selection mark, button: the rows after, the selected and focused row and the mark
        const std::pair<int, int> presses[] = {{2, IDC_UP}, {0, IDC_DOWN}, {2, IDC_UP}, {0, IDC_UP}, {2, IDC_DOWN}, {-1, IDC_UP}, {-1, IDC_DOWN}};
        for (const auto &[mark, button] : presses) {
            ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
            SendMessageW(list, LVM_SETSELECTIONMARK, 0, mark);
            Click(PluginsPage, button);
            seen.push_back(Rows() + " | " + std::to_string(ListView_GetNextItem(list, -1, LVNI_SELECTED | LVNI_FOCUSED)) + " " +
                           std::to_string(ListView_GetSelectionMark(list)));
        }
    }, DialogEnd::Ok));
    EXPECT_EQ(seen, (std::vector<std::string>{"A* 2 C 4 B* 6 | 1 1", "C 4 A* 6 B* 8 | 1 1", "C 4 B* 6 A* 8 | 1 1",
                                               "C 4 B* 6 A* 8 | -1 0", "C 4 B* 6 A* 8 | -1 2", "C 4 B* 6 A* 8 | -1 -1",
                                               "C 4 B* 6 A* 8 | -1 -1"}));
    EXPECT_EQ(Narrow(AppSettings.PluginList), "2::B::A::");
    ASSERT_EQ(ItemCount, 2u);   // and their windows changed places on the screen
    EXPECT_TRUE(!wcscmp(Items[0].szName, L"B") && WindowPlace(Items[0].hwndCustom)[1] < WindowPlace(Items[1].hwndCustom)[1]);
}

TEST_F(PluginsPage_Dialog, StartupShortcutFollowsTheFileAndBackgroundButtonsMarkTheBackground)
{
    const std::wstring exe = L"\"C:\\" + std::wstring(MAX_PATH - 8, L'n') + L".exe\"", kept = QuotedExePath, image = ThisProgram();
    ASSERT_TRUE(CopyText(QuotedExePath, exe.c_str()));
    CopyText(AppSettings.Background, L"sky.jpg");
    std::string seen, background;
    auto label = [&] {
        std::vector<unsigned char> file = ReadFileBytes(ShortcutPath);
        seen += Narrow(WindowText(GetDlgItem(PluginsPage, IDC_STARTUP))) + " | " + std::string(file.begin(), file.end()) + "\n";
    };
    auto press = [&] { Click(PluginsPage, IDC_STARTUP), label(); };
    EXPECT_TRUE(RunSettingsDialog([&](HWND) {
        label(), press(), press();
        CopyText(ShortcutPath, (ExeFolder() + L"missing\\nimbra_.lnk").c_str());   // cannot be made
        press();
        for (const wchar_t *answer : {L"-", L"", image.c_str()}) {   // the check box, the chooser cancelled and answered
            BackgroundDirty = false;
            if (answer[0] != L'-') AnswerFileChooserSoon(L"Select your Background-Image", answer);
            Click(PluginsPage, answer[0] == L'-' ? IDC_USE_BACKGROUND : IDC_BROWSE);
            background += (BackgroundDirty ? "1 " : "0 ") + Narrow(AppSettings.Background) + " | ";
        }
    }, DialogEnd::Close));
    CopyText(QuotedExePath, kept.c_str());
    CopyText(ShortcutPath, (ExeFolder() + L"plugins-page_.lnk").c_str());
    WriteFileBytes(ShortcutPath, "x", 1);
    EXPECT_TRUE(RunSettingsDialog([&](HWND) { label(); }, DialogEnd::Close));
    const std::string target = Narrow(exe) + " background";
    EXPECT_EQ(seen, "Run on Startup | \nRemove from StartUp | " + std::to_string(target.size()) + "#" + target +
                        "\nRun on StartUp | \nRun on StartUp | \nRemove from StartUp | x\n");
    EXPECT_EQ(background, "1 sky.jpg | 1 sky.jpg | 1 " + Narrow(image) + " | ") << "a cancelled choice marks it too";
}

}  // namespace
