// Hostile plug-ins: items that unload, reload or open the settings from inside every call the
// host makes, and windows that are not theirs to give. (Items that fight over the selection are the
// keyboard navigation test's.)
#include "unit/ItemFixture.h"
#include "support/dialog.h"
#include "support/nimbra_process.h"
#include "items/navigation.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include <atomic>
#include <thread>

namespace {

HWND Window(UINT i) { return i < ItemCount ? Items[i].hwndCustom : nullptr; }

// Where the acting item X (second on the screen, below Y of the other DLL) calls its host
// from (ProbeHostCallAt), and how the test makes the host call it there.
const std::pair<DWORD, std::function<void()>> Entries[] = {
    {1, [] {}},   // InitializeCustomItem: the load itself
    {2, [] { SendMessageW(ItemHost, WM_TIMER, REFRESH_TIMER, 0); }},
    {4, [] { SendMessageW(MainWindow, WM_KEYDOWN, VK_DOWN, 0); }},   // Y refuses the selection
    {5, [] { SelectedItem = 1, SendMessageW(ItemHost, TODAYM_TOOKSELECTION, (WPARAM)Window(0), 0); }},   // a tap on Y
    {6, [] { SelectedItem = 1, SendMessageW(MainWindow, WM_KEYDOWN, VK_UP, 0); }},
    {7, [] { RedrawWindow(Window(1), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }},
    {8, [] { PumpUntil([] { auto log = ReadFileBytes(PROBE_LOG_PATH); return std::string(log.begin(), log.end()).find("X hostcall") != std::string::npos; }, 2000); }},
    {9, [] { PostMessageW(Window(1), WM_LBUTTONDOWN, 0, 0), PumpMessages(); }},
    {10, [] { SendMessageW(Window(0), PROBE_SET_HEIGHT, 50, 0), LayoutItems(false); }},
    {10, [] { SendMessageW(Window(0), PROBE_SET_HEIGHT, 3 * ViewHeight, 0), LayoutItems(false), ScrollItems(SB_PAGEDOWN, 0); }},
};
// What X does there (ProbeHostCall, ProbeHostCallArg): unload itself, unload all, the same as
// another program asks it, reload every time, open the settings (OK with Y taken off the list),
// show a box during which another process unloads every item.
const std::pair<DWORD, DWORD> Actions[] = {{HM_UNLOADITEMS, PROBE_ARG_NAME}, {HM_UNLOADITEMS, 0}, {HM_UNLOADITEMS, PROBE_ARG_COPYDATA},
                                           {HM_RELOADITEMS, PROBE_ARG_EVERY}, {HM_SHOWSETTINGS, 0}, {HM_UNLOADITEMS, PROBE_ARG_BOX}};

// Whether each probe DLL is loaded exactly when a record holds it, once the outermost message
// loop has freed what waits.
bool DllsMatchRecords()
{
    FreeRetiredLibraries();
    auto matches = [](HMODULE dll) { return std::any_of(Items, Items + ItemCount, [&](auto &i) { return dll && i.hinstDLL == dll; }) == (dll != nullptr); };
    return matches(GetModuleHandleW(PROBE_DLL_PATH)) && matches(GetModuleHandleW(PROBE2_DLL_PATH));
}

}  // namespace

class Robustness_Items : public HostTest {
protected:
    void OpenRealScreen()   // HM_SHOWSETTINGS then runs the dialog and its apply
    {
        CopyText(SettingsPath, (ExeFolder() + L"robustness.ini").c_str());   // OK saves without a box
        DestroyWindow(MainWindow);
        ASSERT_TRUE(CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOW));
    }
};
class Robustness_Child : public Robustness_Items, public testing::WithParamInterface<int> {};

TEST_P(Robustness_Child, EveryEntryPointSurvivesTheAction)
{
    if (!InTestChild()) GTEST_SKIP();
    OpenRealScreen();
    const auto [call, arg] = Actions[GetParam()];
    NimbraProcess boxes(ThisProgram());
    if (arg & PROBE_ARG_BOX) {
        ASSERT_TRUE(boxes.Start(L"--gtest_filter=Robustness_Child.AnswersEveryProbeBoxAfterUnloadingEveryItem"));
    }
    for (const auto &[at, trigger] : Entries) {
        AddItem(L"Y", {}, PROBE2_DLL_PATH), AddItem(L"X", {{PROBE_HOST_CALL, call}, {PROBE_HOST_CALL_AT, at}, {PROBE_HOST_CALL_ARG, arg}});
        DeleteFileW(PROBE_LOG_PATH);
        auto run = [&] { LoadList(L"2::Y::X::"), trigger(); };
        auto dropY = [](HWND) {
            LVFINDINFOW y = {LVFI_STRING, L"Y", 0, {}, 0};
            HWND list = GetDlgItem(PluginsPage, IDC_PLUGIN_LIST);
            ListView_SetCheckState(list, ListView_FindItem(list, -1, &y), FALSE);
        };
        if (call == HM_SHOWSETTINGS) EXPECT_TRUE(RunSettingsDialog(dropY, DialogEnd::Ok, run)) << at;
        else run();
        // X's code went on after each call; a request from inside a load ran once, after it.
        EXPECT_FALSE(Log("X", {"hostcall"}).empty()) << at;
        EXPECT_LE(Log("X", {"init"}).size(), 2u) << at;
        EXPECT_TRUE(DllsMatchRecords()) << at;
        UnloadAllItems();
    }
}
INSTANTIATE_TEST_SUITE_P(Actions, Robustness_Child, testing::Range(0, (int)std::size(Actions)));

// The other process of the box action: while the box shows, every item is unloaded.
TEST(Robustness_Child, AnswersEveryProbeBoxAfterUnloadingEveryItem)
{
    if (!InTestChild()) GTEST_SKIP();
    COPYDATASTRUCT all = {HM_UNLOADITEMS, 0, nullptr};
    for (HWND screen; (screen = FindWindowW(MAIN_WINDOW_CLASS, nullptr)) != nullptr; Sleep(10)) {
        HWND box = FindWindowW(L"#32770", L"ProbeBox");
        DWORD_PTR answer = 0;
        if (!box) continue;
        EXPECT_TRUE(SendMessageTimeoutW(screen, WM_COPYDATA, 0, (LPARAM)&all, SMTO_NORMAL, 5000, &answer));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        while (IsWindow(box)) Sleep(10);
    }
}

// A crash ends only the child that runs an action.
TEST(Robustness, EveryEntryPointSurvivesEveryAction)
{
    for (size_t action = 0; action < std::size(Actions); action++)
        EXPECT_EQ(RunTestChild(L"Actions/Robustness_Child.EveryEntryPointSurvivesTheAction/" + std::to_wstring(action)), 0u) << action;
}

TEST_F(Robustness_Items, WindowsNotTheItemsOwnAreNeverUsedNorDestroyedAndTheirDllStaysWhileTheyExist)
{
    std::atomic<int> late = 0;
    std::atomic<HWND> worker = nullptr;   // a child of ItemHost whose thread handles no messages
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread blocked([&] {
        HWND w = CreateWindowExW(WS_EX_NOPARENTNOTIFY, L"STATIC", L"", WS_CHILD, 0, 0, 9, 9, ItemHost, nullptr, nullptr, nullptr);
        worker = w, WaitForSingleObject(release, INFINITE), DestroyWindow(w);
    });
    std::thread watchdog([&] {   // until the end sets worker to -1
        for (DWORD_PTR answer; worker != HWND(-1); Sleep(20)) late += !SendMessageTimeoutW(MainWindow, WM_NULL, 0, 0, SMTO_NORMAL, 500, &answer);
    });
    HWND closed = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 9, 9, ItemHost, nullptr, nullptr, nullptr);
    DestroyWindow(closed);
    while (!worker) Sleep(5);
    // The item's own window also stored in the record, a destroyed one, the worker's, ItemHost, MainWindow.
    for (HWND other : {HWND(1), closed, worker.load(), ItemHost, MainWindow}) {
        AddItem(L"W", {{PROBE_WINDOW, (DWORD)(ULONG_PTR)other}}), LoadList(L"1::W::");
        HWND window = Items[0].hwndCustom;
        const bool own = other == HWND(1), exists = !own && other != closed;
        PumpFor(100), SendMessageW(ItemHost, WM_TIMER, REFRESH_TIMER, 0);
        EXPECT_EQ(ContentHeight, own ? 21 : 0) << other;
        EXPECT_EQ(IsWindowVisible(window), own || other == ItemHost || other == MainWindow) << other;
        // Only a handle that is no window fails its destruction, and is reported.
        EXPECT_EQ(BoxesShownBy(UnloadAllItems).size(), other == closed ? 1u : 0u) << other;
        FreeRetiredLibraries();
        EXPECT_EQ(IsWindow(window), exists) << other;
        EXPECT_EQ(GetModuleHandleW(PROBE_DLL_PATH) != nullptr, exists) << other;
        if (other != worker) continue;
        SetEvent(release);
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }, 2000));
        FreeRetiredLibraries();
        EXPECT_FALSE(GetModuleHandleW(PROBE_DLL_PATH)) << "freed once the worker's window is gone";
    }
    worker = HWND(-1), watchdog.join(), blocked.join();
    EXPECT_EQ(late, 0) << "MainWindow kept answering";
}

namespace {
int Dialogs, Nested;
bool InRequest;
HWND Seen;
// OK with a changed list in every dialog; a settings request while the apply's error box shows.
void CALLBACK DuringApply(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = GetLastActivePopup(MainWindow), box = FindWindowW(L"#32770", L"Error");
    if (dialog != Seen && GetDlgItem(dialog, IDC_TABS)) {
        Seen = dialog, Dialogs++, Nested += InRequest, PluginListChanged = true, PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    } else if (box && !InRequest) {
        InRequest = true, SendMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0), PostMessageW(box, WM_COMMAND, IDOK, 0), InRequest = false;
    }
}
}  // namespace

TEST_F(Robustness_Items, ASettingsRequestDuringTheApplyOpensNoDialogInsideItButOneAfterIt)
{
    OpenRealScreen();
    AddItem(L"D"), LoadList(L"1::D::");
    DestroyWindow(Items[0].hwndCustom);   // the apply's unload fails and shows its box
    UINT_PTR timer = SetTimer(nullptr, 0, 20, DuringApply);
    SendMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0), KillTimer(nullptr, timer);
    EXPECT_EQ((Ints{Dialogs, Nested}), (Ints{2, 0}));
}
