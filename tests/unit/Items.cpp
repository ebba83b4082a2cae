// The hosted item records: parsing the plug-in list, loading and unloading the probe item,
// and surviving items that fail in every way the contract allows.
#include "unit/ItemFixture.h"
#include <algorithm>
#include <atomic>
#include <thread>

using namespace std::string_literals;

namespace {

// The names ParsePluginList finds in list; a list without names allocates no records.
std::vector<std::wstring> Parsed(const wchar_t *list)
{
    UnloadAllItems();
    EXPECT_TRUE(ParsePluginList(list)) << Narrow(list);
    std::vector<std::wstring> names;
    for (UINT i = 0; i < ItemCount; i++) names.push_back(Items[i].szName);
    if (!ItemCount) {
        EXPECT_EQ(Items, &StaticItem) << Narrow(list);
    }
    UnloadAllItems();
    return names;
}

using Names_ = std::vector<std::wstring>;

} // namespace

TEST(Items, ParsesCountThenNames)
{
    const std::wstring longest(31, L'L'), tooLong(32, L'T');
    const std::pair<std::wstring, Names_> cases[] = {
        {L"3::Alpha::Beta::Gamma::", {L"Alpha", L"Beta", L"Gamma"}},
        {L"1::Alpha::Beta::", {L"Alpha"}},
        {L"3::Alpha::", {L"Alpha", L"", L""}},
        {L" \t+2::A::B::tail", {L"A", L"B"}},
        {L"2x::A::B", {L"A", L""}},   // text after the last "::" is no name
        {L"3::" + longest + L"::" + tooLong + L"::Beta::", {longest, L"", L"Beta"}},   // too long: left empty
        {L"", {}}, {L"Alpha", {}}, {L"0::Alpha::", {}}, {L"none::Alpha::", {}}, {L"::Alpha::", {}},
    };
    for (const auto &c : cases) EXPECT_EQ(Parsed(c.first.c_str()), c.second) << Narrow(c.first);
}

TEST(Items, ImpossibleCountsAllocateNothingAndHugeOnesAreCapped)
{
    UnloadAllItems();
    // The largest count whose records still fit a 32-bit size, and the next one.
    const unsigned long long fits = 0xFFFFFFFFULL / sizeof(HostedItem);
    for (std::wstring count : {L"-2"s, L"-99999999999"s, L"99999999999"s, std::to_wstring(fits + 1)}) {
        EXPECT_FALSE(ParsePluginList((count + L"::Alpha::").c_str())) << Narrow(count);
        EXPECT_EQ(ItemCount, 0u);
        EXPECT_EQ(Items, &StaticItem);
    }
    for (std::wstring count : {L"100000"s, std::to_wstring(fits)}) {
        ASSERT_TRUE(ParsePluginList((count + L"::Alpha::").c_str()));
        EXPECT_EQ(ItemCount, MAX_HOSTED_ITEMS);
        EXPECT_STREQ(Items[0].szName, L"Alpha");
        EXPECT_STREQ(Items[MAX_HOSTED_ITEMS - 1].szName, L"");
        UnloadAllItems();
    }
}

class Items_Loading : public HostTest {};

TEST_F(Items_Loading, ProbeReceivesTheContractSequence)
{
    AddItem(L"SeqA", {{PROBE_HEIGHT, 30}});
    LoadList(L"1::SeqA::");
    ASSERT_EQ(ItemCount, 1u);
    HWND window = Items[0].hwndCustom;
    ASSERT_TRUE(window);
    EXPECT_EQ(GetParent(window), ItemHost);
    EXPECT_STREQ(Items[0].szDLLPath, PROBE_DLL_PATH);
    EXPECT_TRUE(KillTimer(ItemHost, REFRESH_TIMER)) << "the height poll runs after a load";
    UnloadAllItems();
    EXPECT_FALSE(IsWindow(window));
    // The first layout finds a new content height and lays out once more: queries may repeat.
    Names_ log = Log(L"SeqA", {L"create", L"show 1", L"clearcache", L"query", L"destroy"});
    log.erase(std::unique(log.begin(), log.end()), log.end());
    EXPECT_EQ(log, (Names_{L"create", L"show 1", L"clearcache tli=self", L"query tli=self cyp=30 -> 0",
                           L"clearcache tli=self", L"destroy"}));
}

TEST_F(Items_Loading, LoadRulesLeaveFailingItemsWithoutWindows)
{
    AddItem(L"Good");
    AddItem(L"NoDll", {}, nullptr);
    AddItem(L"Missing", {}, L"C:\\Program Files\\Nimbra\\plugins\\NoSuchItem.dll");
    AddItem(L"NoExport", {}, L"C:\\windows\\system32\\version.dll");
    AddItem(L"Refuses", {{PROBE_FAIL_CREATE, 1}});
    AddItem(L"BuiltIn", {{L"Type", 3}});
    AddItem(L"Later", {{L"Type", 5}, {L"Flags", 7}, {L"Options", 1}, {L"Order", 9}, {L"Selectability", 2}});
    LoadList(L"8::Good::NoDll::Missing::NoExport::Refuses::BuiltIn::Later::::");
    ASSERT_EQ(ItemCount, 8u);
    bool windowed[8] = {true, false, false, false, false, false, true, false};
    for (UINT i = 0; i < 8; i++) EXPECT_EQ(Items[i].hwndCustom != nullptr, windowed[i]) << Narrow(Items[i].szName);
    EXPECT_TRUE(Items[3].hinstDLL) << "a DLL without the entry point stays loaded until the unload";
    EXPECT_FALSE(Items[2].hinstDLL);
    EXPECT_EQ(Items[6].grfFlags, 7u);
    EXPECT_EQ(Items[6].fOptions, 1);
    EXPECT_EQ(Items[6].dwOrder, 9u);
    EXPECT_EQ(Items[6].Selectability, 2u);
    EXPECT_EQ(Log(L"Refuses", {L"init"}), (Names_{L"init failed"}));
    ExpectConsistentLayout();
}

TEST_F(Items_Loading, EnabledItemsAreSwitchedOffWithOneBroadcast)
{
    AddItem(L"OnA", {{L"Enabled", 1}});
    AddItem(L"OnB", {{L"Enabled", 5}});
    AddItem(L"Off");
    LoadList(L"3::OnA::OnB::Off::");
    EXPECT_EQ(GetValue(L"OnA", L"Enabled"), 0u);
    EXPECT_EQ(GetValue(L"OnB", L"Enabled"), 0u);
    EXPECT_EQ(TestMainLog.TodayRefresh, 1);
    for (UINT i = 0; i < 3; i++) EXPECT_TRUE(Items[i].hwndCustom);
    ReloadItems();
    EXPECT_EQ(TestMainLog.TodayRefresh, 1) << "nothing to switch off: no broadcast";
}

TEST_F(Items_Loading, SwitchOffBroadcastDoesNotHangOnAHungWindow)
{
    std::atomic<HWND> hung{nullptr};
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        hung = CreateWindowExW(0, L"ItemsTestMain", L"hung", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        WaitForSingleObject(release, 20000);   // handles no messages meanwhile
        DestroyWindow(hung);
    });
    while (!hung) Sleep(5);
    AddItem(L"OnA", {{L"Enabled", 1}});
    DWORD start = GetTickCount();
    LoadList(L"1::OnA::");
    DWORD elapsed = GetTickCount() - start;
    SetEvent(release);
    owner.join();
    CloseHandle(release);
    EXPECT_LT(elapsed, 8000u);
    EXPECT_TRUE(Items[0].hwndCustom);
}

TEST_F(Items_Loading, UnloadByNameLetsGoOfEveryMatchingRecord)
{
    AddItem(L"Twice", {{PROBE_HEIGHT, 30}});
    AddItem(L"Other", {{PROBE_HEIGHT, 40}});
    LoadList(L"3::Twice::Other::Twice::");
    EXPECT_EQ(Probe.Count(L"Twice"), 2);
    SelectedItem = 1;

    EXPECT_EQ(UnloadItemsNamed(L"twice"), 1);   // case matters
    EXPECT_EQ(UnloadItemsNamed((LPCWSTR)(ULONG_PTR)0x10), 1);   // unreadable: nothing
    EXPECT_EQ(Probe.Count(L"Twice"), 2);
    EXPECT_EQ(UnloadItemsNamed(L"Twice"), 1);
    EXPECT_EQ(Probe.Count(L"Twice"), 0);
    EXPECT_FALSE(Items[0].hwndCustom || Items[0].hinstDLL || Items[2].hwndCustom || Items[2].hinstDLL);
    EXPECT_TRUE(Items[1].hwndCustom);
    EXPECT_STREQ(Items[0].szName, L"Twice");
    EXPECT_EQ(SelectedItem, 1);
    EXPECT_EQ(Log(L"Twice", {L"clearcache", L"destroy"}).size(), 6u);

    EXPECT_EQ(ReloadAllItems(), 0);
    EXPECT_EQ(Probe.Count(L"Twice"), 2);
    ExpectConsistentLayout();
    EXPECT_EQ(UnloadItemsNamed(nullptr), 1);   // all
    EXPECT_EQ(Probe.Count(nullptr), 0);
    EXPECT_EQ(ItemCount, 3u);
}

namespace {
// Dismisses every "Error" box that appears while it lives, keeping its text and whether it
// had no owner.
struct ErrorBoxWatcher {
    std::atomic<bool> stop{false};
    std::vector<std::wstring> texts;
    std::vector<bool> ownerless;
    std::thread thread{[this] {
        while (!stop) {
            HWND box = FindWindowW(L"#32770", L"Error");
            if (!box) { Sleep(20); continue; }
            std::wstring text;
            for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                WCHAR buf[128] = {}, cls[32] = {};
                GetClassNameW(child, cls, 32);
                GetWindowTextW(child, buf, 128);
                if (!lstrcmpiW(cls, L"Static") && buf[0]) text = buf;
            }
            texts.push_back(text);
            ownerless.push_back(GetWindow(box, GW_OWNER) == nullptr);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            while (IsWindow(box) && !stop) Sleep(10);
        }
    }};
    ~ErrorBoxWatcher()
    {
        stop = true;
        thread.join();
    }
};
} // namespace

TEST_F(Items_Loading, FailedWindowDestructionIsReportedAndUnloadingGoesOn)
{
    AddItem(L"Stuck", {{PROBE_FAIL_DESTROY, 1}});
    AddItem(L"Gone", {{PROBE_FAIL_DESTROY, 2}});
    AddItem(L"Fine");
    // What this window manager answers for a handle that is already gone.
    HWND gone = CreateWindowExW(0, L"ItemsTestMain", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    SetLastError(0);
    DestroyWindow(gone);
    DWORD goneError = GetLastError();
    WCHAR goneText[64];
    _snwprintf(goneText, 64, L"DestroyWindow Failed with 0x%08x (%u)", (unsigned)goneError, (unsigned)goneError);
    LoadList(L"3::Stuck::Gone::Fine::");
    for (UINT i = 0; i < 3; i++) ASSERT_TRUE(Items[i].hwndCustom);
    {
        ErrorBoxWatcher watcher;
        UnloadAllItems();
        PumpFor(100);
        EXPECT_EQ(watcher.texts, (Names_{L"DestroyWindow Failed with 0x00000005 (5)", goneText}));
        EXPECT_EQ(watcher.ownerless, (std::vector<bool>{true, true}));
    }
    EXPECT_EQ(Log(L"Fine", {L"destroy"}).size(), 1u) << "the items after a failure are unloaded too";
    EXPECT_EQ(ItemCount, 0u);
    EXPECT_EQ(Items, &StaticItem);
    EXPECT_EQ(Probe.DestroyStranded(), 1);
    EXPECT_TRUE(PumpUntil([&] { return Probe.Count(nullptr) == 0; }, 3000));
}
