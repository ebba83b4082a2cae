// The hosted item records: parsing the plug-in list, loading and unloading the probe item,
// and surviving items that fail in every way the contract allows.
#include "unit/ItemFixture.h"
#include "items/navigation.h"
#include <algorithm>
#include <thread>
#include <tuple>
#include <type_traits>

using namespace std::string_literals;

// The options dialog procedure's parameters carry pointers on 64-bit.
static_assert(std::is_same_v<PFNCUSTOMOPTIONSDLGPROC, BOOL(CALLBACK *)(HWND, UINT, WPARAM, LPARAM)>);

TEST(Items, ParsesCountThenNames)
{
    const std::wstring longest(31, L'L'), tooLong(32, L'T');
    const unsigned long long fits = 0xFFFFFFFFULL / sizeof(HostedItem);   // the most records a 32-bit size holds
    const std::tuple<std::wstring, std::vector<std::wstring>, bool> cases[] = {
        {L"3::Alpha::Beta::Gamma::", {L"Alpha", L"Beta", L"Gamma"}, true},
        {L"1::Alpha::Beta::", {L"Alpha"}, true},
        {L" \t+2::A::B::tail", {L"A", L"B"}, true},
        {L"2x::A::B", {L"A", L""}, true},   // text after the last "::" is no name
        {L"3::" + longest + L"::" + tooLong + L"::Beta::", {longest, L"", L"Beta"}, true},   // too long: left empty
        {L"", {}, true}, {L"Alpha", {}, true}, {L"0::Alpha::", {}, true}, {L"none::Alpha::", {}, true},
        {L"-2::A::", {}, false}, {L"-99999999999::A::", {}, false}, {L"99999999999::A::", {}, false},
        {std::to_wstring(fits + 1) + L"::A::", {}, false},
    };
    for (const auto &[list, want, parsed] : cases) {
        EXPECT_EQ(ParsePluginList(list.c_str()), parsed) << Narrow(list);
        std::vector<std::wstring> names;
        for (UINT i = 0; i < ItemCount; i++) names.push_back(Items[i].szName);
        EXPECT_EQ(names, want) << Narrow(list);
        EXPECT_EQ(Items == &StaticItem, want.empty());
        UnloadAllItems();
    }
    ASSERT_TRUE(ParsePluginList((std::to_wstring(fits) + L"::Alpha::").c_str()));
    EXPECT_EQ(ItemCount, MAX_HOSTED_ITEMS) << "no more records than a list can name";
    UnloadAllItems();
}

class Items_Loading : public HostTest {};

TEST_F(Items_Loading, ProbeIsLoadedShownPolledAndUnloadedInTheContractsOrder)
{
    AddItem(L"Seq", {{PROBE_HEIGHT, 30}});
    LoadList(L"1::Seq::");
    HWND window = Items[0].hwndCustom;
    ASSERT_TRUE(window);
    EXPECT_TRUE(KillTimer(ItemHost, REFRESH_TIMER)) << "the height poll runs after a load";
    UnloadAllItems();
    EXPECT_FALSE(IsWindow(window));
    Lines log = Log("Seq", {"init", "show 1", "clearcache", "query", "destroy"});
    log.erase(std::unique(log.begin(), log.end()), log.end());   // the first layout may ask twice
    EXPECT_EQ(log, (Lines{"init cyp=30", "show 1", "clearcache tli=self", "query tli=self cyp=30 -> 0",
                          "clearcache tli=self", "destroy"}));
}

TEST_F(Items_Loading, LoadRulesAndTheSwitchOffOnTheSystemTodayScreen)
{
    AddItem(L"Good");
    AddItem(L"NoDll", {}, nullptr);
    AddItem(L"Missing", {}, L"C:\\Program Files\\Nimbra\\plugins\\NoSuchItem.dll");
    AddItem(L"NoExport", {}, L"C:\\windows\\system32\\version.dll");
    AddItem(L"Refuses", {{PROBE_FAIL_CREATE, 1}});
    AddItem(L"BuiltIn", {{L"Type", 3}});
    AddItem(L"Later", {{L"Type", 5}, {L"Flags", 7}, {L"Options", 1}, {L"Order", 9}, {L"Selectability", 2}});
    AddItem(L"OnA", {{L"Enabled", 1}});
    AddItem(L"OnB", {{L"Enabled", 5}});
    SetValue(L"", L"Enabled", 1);   // the Items key itself is no item
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
    SetEvent(release);
    hung.join();
    CloseHandle(release);
    ASSERT_EQ(ItemCount, 10u);
    EXPECT_EQ(Tops(), (Ints{0, -1, -1, -1, -1, -1, 21, 42, 63, -1}));
    EXPECT_TRUE(Items[3].hinstDLL) << "a DLL without the entry point stays loaded until the unload";
    EXPECT_EQ((Ints{(int)Items[6].grfFlags, Items[6].fOptions, (int)Items[6].dwOrder, (int)Items[6].Selectability}),
              (Ints{7, 1, 9, 2}));
    EXPECT_EQ((Ints{(int)GetValue(L"OnA", L"Enabled"), (int)GetValue(L"OnB", L"Enabled"), (int)GetValue(L"", L"Enabled")}),
              (Ints{0, 0, 1}));
    EXPECT_EQ(TodayRefreshCount, 1) << "one broadcast for all items switched off";
    ReloadItems();
    EXPECT_EQ(TodayRefreshCount, 1) << "nothing to switch off: no broadcast";
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, TODAY_ITEMS_KEY, L"Enabled");
}

// What another program sends to unload the items named by the text at data (none: all).
static LRESULT SendUnload(const void *data, DWORD size)
{
    COPYDATASTRUCT copy = {HM_UNLOADITEMS, size, const_cast<void *>(data)};
    return SendMessageW(MainWindow, WM_COPYDATA, 0, (LPARAM)&copy);
}

TEST_F(Items_Loading, UnloadByNameLetsGoOfEveryMatchingRecordAndReloadBringsThemBack)
{
    AddItem(L"Twice", {{PROBE_HEIGHT, 30}});
    AddItem(L"Other", {{PROBE_HEIGHT, 40}});
    LoadList(L"3::Twice::Other::Twice::");
    SelectedItem = 1;
    // No match: another case, no terminated UTF-16 text, a pointer from another process.
    const wchar_t unterminated[] = {L'T', L'w', L'i', L'c', L'e'};
    for (auto [data, size] : {std::pair<const void *, DWORD>{L"twice", 12}, {"Twice", 6}, {unterminated, 10}})
        EXPECT_EQ(SendUnload(data, size), 1);
    EXPECT_EQ(SendMessageW(MainWindow, HM_UNLOADITEMS, 0, 0x10), 1);
    EXPECT_EQ(Tops(), (Ints{0, 31, 72}));
    EXPECT_EQ(SendUnload(L"Twice", sizeof L"Twice"), 1);
    EXPECT_EQ(Tops(), (Ints{-1, 31, -1}));
    EXPECT_FALSE(Items[0].hinstDLL || Items[2].hinstDLL);
    EXPECT_EQ(SelectedItem, 1);
    EXPECT_EQ(Log("Twice", {"clearcache", "destroy"}).size(), 6u);
    EXPECT_EQ(SendMessageW(MainWindow, HM_RELOADITEMS, 0, 0), 0);
    EXPECT_EQ(Tops(), (Ints{0, 31, 72}));
    EXPECT_EQ(SendUnload(nullptr, 0), 1);
    EXPECT_EQ(Tops(), (Ints{-1, -1, -1}));
}

TEST_F(Items_Loading, ItemsUnloadedFromInsideTheirOwnCodeKeepTheirDllUntilItReturns)
{
    AddItem(L"A", {{PROBE_HOST_CALL, HM_UNLOADITEMS}, {PROBE_HOST_CALL_AT, 1}});   // in InitializeCustomItem
    AddItem(L"B", {{PROBE_HOST_CALL, HM_UNLOADITEMS}, {PROBE_HOST_CALL_AT, 2}});   // in its height query
    LoadList(L"2::A::B::");
    // Each item's code goes on after its request; then the DLL goes.
    EXPECT_EQ(Log("", {"hostcall"}), (Lines{"hostcall 1334 -> 1", "hostcall 1334 -> 1"}));
    EXPECT_EQ(Tops(), (Ints{-1, -1}));
    EXPECT_FALSE(GetModuleHandleW(PROBE_DLL_PATH));
}

namespace {
// The text of every message box shown while the hook is set, with " (owned)" when it had an
// owner; each is dismissed at once.
Lines BoxTexts;
LRESULT CALLBACK DismissBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    char cls[8] = {}, text[80] = {};
    HWND box = (HWND)wParam;
    if (code == HCBT_ACTIVATE && GetClassNameA(box, cls, 8) && !strcmp(cls, "#32770")) {
        GetDlgItemTextA(box, 0xFFFF, text, 80);
        BoxTexts.push_back(text + std::string(GetWindow(box, GW_OWNER) ? " (owned)" : ""));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

TEST_F(Items_Loading, FailedDestructionIsReportedAndAReloadFromInsideTheUnloadKeepsTheNewItems)
{
    // Gone's window is gone before the host destroys it; A's last clear-cache opens the
    // settings, and the dialog reloads the list.
    AddItem(L"Gone");
    AddItem(L"A", {{PROBE_HOST_CALL, HM_SHOWSETTINGS}, {PROBE_HOST_CALL_AT, 3}});
    LoadList(L"2::Gone::A::");
    const HWND old[2] = {Items[0].hwndCustom, Items[1].hwndCustom};
    DestroyWindow(old[0]);
    DestroyWindow(old[0]);   // what this window manager answers for a window that is gone
    char want[64];
    snprintf(want, 64, "DestroyWindow Failed with 0x%08x (%u)", (unsigned)GetLastError(), (unsigned)GetLastError());
    PluginListChanged = true;
    BoxTexts.clear();
    HHOOK hook = SetWindowsHookExW(WH_CBT, DismissBoxes, nullptr, GetCurrentThreadId());
    UnloadAllItems();
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(BoxTexts, Lines{want});
    EXPECT_EQ(Log("A", {"destroy"}).size(), 1u) << "the items after a failure are unloaded too";
    ASSERT_EQ(ShowSettingsCount, 1);
    ASSERT_EQ(ItemCount, 2u);
    ASSERT_NE(Items, &StaticItem);
    for (int i : {0, 1}) EXPECT_TRUE(IsWindow(Items[i].hwndCustom) && !IsWindow(old[i])) << i;
}
