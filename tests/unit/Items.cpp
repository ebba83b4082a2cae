// The hosted item records: parsing the plug-in list, loading and unloading the probe item,
// and surviving items that fail in every way the contract allows.
#include "unit/ItemFixture.h"
#include "support/dialog.h"
#include "items/navigation.h"
#include <thread>
#include <tuple>
#include <type_traits>

// The options dialog procedure's parameters carry pointers on 64-bit.
static_assert(std::is_same_v<PFNCUSTOMOPTIONSDLGPROC, BOOL(CALLBACK *)(HWND, UINT, WPARAM, LPARAM)>);

TEST(Items, ParsesCountThenNames)
{
    const std::wstring longest(31, L'L'), tooLong(32, L'T');
    const unsigned long long fits = 0xFFFFFFFFULL / sizeof(HostedItem);   // the most records a 32-bit size holds
    const std::tuple<std::wstring, std::vector<std::wstring>, bool> cases[] = {
        {L"3::Alpha::Beta::Gamma::", {L"Alpha", L"Beta", L"Gamma"}, true}, {L"1::Alpha::Beta::", {L"Alpha"}, true},
        {L" \t+2::A::B::tail", {L"A", L"B"}, true}, {L"2x::A::B", {L"A", L""}, true},   // text after the last "::" is no name
        {L"3::" + longest + L"::" + tooLong + L"::Beta::", {longest, L"", L"Beta"}, true},   // too long: left empty
        {L"", {}, true}, {L"Alpha", {}, true}, {L"0::Alpha::", {}, true}, {L"none::Alpha::", {}, true},
        {L"-2::A::", {}, false}, {L"-99999999999::A::", {}, false}, {L"18446744073709551617::A::", {}, false},
        {std::to_wstring(fits + 1) + L"::A::", {}, false},
        {std::to_wstring(fits) + L"::", std::vector<std::wstring>(MAX_HOSTED_ITEMS), true},   // cut to what a list can name
    };
    for (const auto &[list, want, parsed] : cases) {
        bool answer = ParsePluginList(list.c_str());
        std::vector<std::wstring> names;
        for (UINT i = 0; i < ItemCount; i++) names.push_back(Items[i].szName);
        EXPECT_EQ(std::make_tuple(answer, names, Items == &StaticItem), std::make_tuple(parsed, want, want.empty())) << Narrow(list);
        UnloadAllItems();
    }
}

class Items_Loading : public HostTest {};

TEST_F(Items_Loading, ProbeIsLoadedInTheContractsOrderByTheLoadRulesAndSwitchedOffOnTheSystemTodayScreen)
{
    AddItem(L"Seq", {{PROBE_HEIGHT, 30}}), LoadList(L"1::Seq::");
    EXPECT_TRUE(KillTimer(ItemHost, REFRESH_TIMER)) << "the height poll runs after a load";
    UnloadAllItems();
    // The first layout finds a new content height and lays out once more.
    EXPECT_EQ(Log("Seq", {"init", "show 1", "clearcache", "query", "destroy"}), (Lines{"init cyp=30", "show 1", "clearcache tli=self",
              "query tli=self cyp=30 -> 0", "query tli=self cyp=30 -> 0", "clearcache tli=self", "destroy"}));
    // The load rules, and the switch-off on the system Today screen.
    AddItem(L"Good");   // with an "Enabled" of 8 bytes, which is no DWORD: not switched on
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, KeyOf(L"Good").c_str(), L"Enabled", REG_DWORD, "\1\0\0\0\0\0\0\0", 8);
    AddItem(L"NoDll", {}, nullptr), AddItem(L"Missing", {}, L"C:\\Program Files\\Nimbra\\plugins\\NoSuchItem.dll");
    AddItem(L"NoExport", {}, L"C:\\windows\\system32\\version.dll"), AddItem(L"Refuses", {{PROBE_FAIL_CREATE, 1}}), AddItem(L"BuiltIn", {{L"Type", 3}});
    AddItem(L"Later", {{L"Type", 5}, {L"Flags", 7}, {L"Options", 1}, {L"Order", 9}, {L"Selectability", 2}});
    AddItem(L"OnA", {{L"Enabled", 1}}), AddItem(L"OnB", {{L"Enabled", 5}});
    // The Items key itself is no item: a record without a name stays off it.
    SetValue(L"", L"Enabled", 1), SetValue(L"", L"Type", 4), RegistrySetString(HKEY_LOCAL_MACHINE, TODAY_ITEMS_KEY, L"DLL", PROBE_DLL_PATH);
    // The switch-off broadcast does not wait long for a window that handles no messages.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread hung([&] {
        CreateWindowExW(0, L"ItemsTestMain", L"hung", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        WaitForSingleObject(release, 20000);
    });
    while (!FindWindowW(L"ItemsTestMain", L"hung")) Sleep(5);
    DWORD start = GetTickCount();
    LoadList(L"10::Good::NoDll::Missing::NoExport::Refuses::BuiltIn::Later::OnA::OnB::::");
    EXPECT_LT(GetTickCount() - start, 8000u);
    SetEvent(release), hung.join(), CloseHandle(release);
    ASSERT_EQ(Tops(), (Ints{0, -1, -1, -1, -1, -1, 21, 42, 63, -1}));
    EXPECT_TRUE(Items[3].hinstDLL) << "a DLL without the entry point stays loaded until the unload";
    EXPECT_EQ((Ints{(int)Items[6].grfFlags, Items[6].fOptions, (int)Items[6].dwOrder, (int)Items[6].Selectability}), (Ints{7, 1, 9, 2}));
    auto enabled = [](const wchar_t *name) { DWORD value = 9; RegistryGetDWORD(HKEY_LOCAL_MACHINE, KeyOf(name).c_str(), L"Enabled", &value); return (int)value; };
    EXPECT_EQ((Ints{enabled(L"OnA"), enabled(L"OnB"), enabled(L""), enabled(L"Good")}), (Ints{0, 0, 1, 9}));
    EXPECT_EQ(TodayRefreshCount, 1) << "one broadcast for all items switched off";
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, TODAY_ITEMS_KEY, L"Enabled"), ReloadItems();
    EXPECT_EQ(TodayRefreshCount, 1) << "nothing to switch off: no broadcast";
    EXPECT_EQ(Tops()[9], -1) << "the Items key itself is no item, also when it is not switched on";
    for (const wchar_t *value : {L"Type", L"DLL"}) RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, TODAY_ITEMS_KEY, value);
}

TEST_F(Items_Loading, UnloadByNameFromInsideAnItemAndWithAFailedDestruction)
{
    AddItem(L"Twice"), AddItem(L"Other"), LoadList(L"3::Twice::Other::Twice::"), SelectedItem = 1;
    // What another program sends: no match for another case or a name's beginning, a text that
    // is not terminated UTF-16 (or has more after its end) or a pointer from another process; then the name; then none, which is all.
    auto unload = [](const void *data, DWORD size) { COPYDATASTRUCT copy = {HM_UNLOADITEMS, size, const_cast<void *>(data)}; return SendMessageW(MainWindow, WM_COPYDATA, 0, (LPARAM)&copy); };
    EXPECT_EQ((Ints{(int)unload(L"twice", 12), (int)unload(L"Twic", 10), (int)unload("Twice", 6), (int)unload(L"Twice", 10),
                    (int)unload(L"Twice\0", 13), (int)SendMessageW(MainWindow, HM_UNLOADITEMS, 0, 0x10)}), Ints(6, 1));
    EXPECT_EQ(Tops(), (Ints{0, 21, 42}));
    EXPECT_EQ(unload(L"Twice", sizeof L"Twice"), 1);
    EXPECT_EQ(std::make_pair(Tops(), SelectedItem), std::make_pair(Ints{-1, 21, -1}, 1));
    EXPECT_EQ(Log("Twice", {"clearcache", "destroy"}).size(), 6u);
    EXPECT_EQ(SendMessageW(MainWindow, HM_RELOADITEMS, 0, 0), 0);
    EXPECT_EQ(Tops(), (Ints{0, 21, 42}));
    EXPECT_EQ(unload(nullptr, 0), 1);
    EXPECT_EQ(Tops(), (Ints{-1, -1, -1}));
    // Gone's window is gone before the host destroys it; A's teardown opens the settings, and
    // the dialog reloads the list.
    DeleteFileW(PROBE_LOG_PATH), AddItem(L"Gone"), AddItem(L"A", {{PROBE_HOST_CALL, HM_SHOWSETTINGS}, {PROBE_HOST_CALL_AT, 3}});
    LoadList(L"2::Gone::A::");
    const HWND old[2] = {Items[0].hwndCustom, Items[1].hwndCustom};
    DestroyWindow(old[0]), DestroyWindow(old[0]);   // what this window manager answers for a window that is gone
    char want[64];
    snprintf(want, 64, "DestroyWindow Failed with 0x%08x (%u)", (unsigned)GetLastError(), (unsigned)GetLastError());
    PluginListChanged = true;
    std::vector<ShownBox> boxes = BoxesShownBy(UnloadAllItems);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(Narrow(boxes[0].text) + (boxes[0].owner ? " (owned)" : ""), want);
    EXPECT_EQ(Log("A", {"destroy"}).size(), 1u) << "the items after a failure are unloaded too";
    ASSERT_EQ(ShowSettingsCount, 1);
    ASSERT_TRUE(ItemCount == 2 && Items != &StaticItem);
    for (int i : {0, 1}) EXPECT_TRUE(IsWindow(Items[i].hwndCustom) && !IsWindow(old[i])) << i;
}

