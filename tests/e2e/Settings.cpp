// The settings dialog of a running Nimbra.exe, used as its owner does: a tap-and-hold opens it,
// taps and keys change the pages, the navigation bar's OK saves, and the screen follows.
#include "support/device.h"
#include "support/nimbra_process.h"
#include "res/resource.h"
#include <random>
#include <set>

namespace {

const std::wstring SettingsFile = L"C:\\Program Files\\Nimbra\\settings.ini";

// The first window of the class under parent (null: the top-level ones) that pick accepts.
HWND FindWindowWhere(HWND parent, const wchar_t *cls, const std::function<bool(HWND)> &pick)
{
    HWND window = nullptr;
    while ((window = FindWindowExW(parent, window, cls, nullptr)) && !pick(window)) {}
    return window;
}

// The page of the dialog that holds the control id.
HWND PageWith(HWND dialog, int id)
{
    return FindWindowWhere(GetDlgItem(dialog, IDC_TABS), L"#32770", [id](HWND page) { return GetDlgItem(page, id) != nullptr; });
}

class Settings : public testing::Test {
protected:
    NimbraProcess nimbra, navigationBar{L"C:\\nimbra-device\\shell.exe"};
    HWND window = nullptr;
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);

    void Start(const std::wstring &plugins)   // titled "Start"
    {
        ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA, plugins));
        ASSERT_TRUE(navigationBar.Start(L"navbar"));
        ASSERT_TRUE(PumpUntil([] { return FindWindowW(L"NimbraNavigationBar", nullptr) != nullptr; }, 10000));
        ASSERT_TRUE(nimbra.Start());
        ASSERT_TRUE(window = WaitForNimbraWindow(L"Start"));
        SetForegroundWindow(window);
    }
    void TearDown() override
    {
        RunNimbra(L"quit");
        nimbra.Wait(10000);
    }
    // A tap-and-hold below the items opens the dialog.
    HWND HoldForDialog()
    {
        Hold(width / 2, height - 60, 900);
        HWND dialog = nullptr;
        auto shown = [](HWND window) { return IsWindowVisible(window) && GetDlgItem(window, IDC_TABS); };
        PumpUntil([&] { return (dialog = FindWindowWhere(nullptr, L"#32770", shown)) != nullptr; }, 10000);
        return dialog;
    }
    // The visible menu bar of the screen, or null.
    HWND MenuBarOf(HWND owner)
    {
        return FindWindowWhere(nullptr, TOOLBARCLASSNAMEW, [owner](HWND bar) { return GetWindow(bar, GW_OWNER) == owner && IsWindowVisible(bar); });
    }
};

// (How the flag is written to the file is the settings file's own test; that OK stores it, the
// in-process dialog's.)
TEST_F(Settings, AHoldOpensTheDialogAndOkAppliesTheMenuBarSettingAndTheTitle)
{
    Start(L"1::NoSuchItem::");
    ASSERT_TRUE(PumpUntil([&] { return MenuBarOf(window) != nullptr; }, 5000));
    // Switched off, then on again: the screen grows over the bar's band, then gives it back.
    for (bool disable : {true, false}) {
        SCOPED_TRACE(disable ? "disable" : "enable");
        HWND dialog = HoldForDialog();
        ASSERT_TRUE(dialog);
        // The page raised as the user does it, with a tap on the first tab and the Right key; a
        // tap on the box; then the navigation bar's OK, at the bar's right end, once the bar
        // (which follows the foreground window a few times a second) shows the dialog's title.
        HWND page = PageWith(dialog, IDC_NO_COMMAND_BAR), bar = FindWindowW(L"NimbraNavigationBar", nullptr);
        const std::array<LONG, 4> tabs = WindowPlace(GetDlgItem(dialog, IDC_TABS)), box = WindowPlace(GetDlgItem(page, IDC_NO_COMMAND_BAR));
        Tap(tabs[0] + 8, tabs[3] - 6), PressKey(VK_RIGHT), Tap((box[0] + box[2]) / 2, (box[1] + box[3]) / 2);
        SetWindowTextW(GetDlgItem(page, IDC_TITLE), disable ? L"Renamed" : L"Start");
        EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == dialog && WindowText(bar) == WindowText(dialog); }, 5000));
        PumpFor(300);
        const std::array<LONG, 4> ok = WindowPlace(bar);
        Tap(ok[2] - (ok[3] - ok[1]) / 2, (ok[1] + ok[3]) / 2);
        EXPECT_TRUE(PumpUntil([&] { return WindowPlace(window)[3] == (disable ? height : height - 26); }, 5000));
        EXPECT_EQ(MenuBarOf(window) != nullptr, !disable);
        EXPECT_EQ(WindowText(window), disable ? L"Renamed" : L"Start");
    }
}

// Every message below 0x8000 with pointer-like parameters (a fixed seed), posted from this program
// to one window of every class in each of Nimbra's top-level windows, the settings dialog and the
// file chooser open. Skipped are only the messages that act as a person would (closing, quitting,
// commands, a button's click).
TEST_F(Settings, MessagesPostedWithJunkPointersLeaveNimbraUpAndItsSettingsAsTheyWere)
{
    Start(L"1::NimbraProbe::");
    HWND dialog = HoldForDialog();
    ASSERT_TRUE(dialog);
    PostMessageW(GetDlgItem(PageWith(dialog, IDC_BROWSE), IDC_BROWSE), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([] { return FindWindowW(L"#32770", L"Select your Background-Image"); }, 5000));
    const std::vector<unsigned char> settings = ReadFileBytes(SettingsFile);
    std::vector<HWND> windows;
    auto add = [](HWND w, LPARAM list) { return ((std::vector<HWND> *)list)->push_back(w), TRUE; };
    EnumThreadWindows(GetWindowThreadProcessId(window, nullptr), add, (LPARAM)&windows);
    for (size_t i = 0, tops = windows.size(); i < tops; i++) EnumChildWindows(windows[i], add, (LPARAM)&windows);
    std::set<std::wstring> seen;
    windows.erase(std::remove_if(windows.begin(), windows.end(), [&](HWND w) {
        WCHAR name[64] = L"";
        GetClassNameW(w, name, 64);
        return !seen.insert(name + std::to_wstring((ULONG_PTR)GetAncestor(w, GA_ROOT))).second;
    }), windows.end());
    const unsigned seed = 14;
    printf("seed %u, %zu windows\n", seed, windows.size());
    std::mt19937_64 random(seed);
    auto pointer = [&] { ULONG_PTR r = random(), bases[] = {0x10000, 0x140000000, 0x7FFE0000}; return bases[r % 3] + ((r >> 8) & 0xFFFF8); };
    const UINT skipped[] = {WM_CLOSE, WM_QUIT, WM_DESTROY, WM_ENDSESSION, WM_COMMAND, WM_SYSCOMMAND, BM_CLICK};
    for (UINT batch = 0; batch < 0x8000; batch += 0x400) {
        for (UINT msg = batch; msg < batch + 0x400; msg++)
            for (HWND w : windows)
                if (!std::count(std::begin(skipped), std::end(skipped), msg)) PostMessageW(w, msg, pointer(), pointer());
        DWORD_PTR answer;   // a sent message is answered also from inside a modal loop
        ASSERT_TRUE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer) && nimbra.Running()) << std::hex << batch;
    }
    PumpFor(2000);
    EXPECT_TRUE(nimbra.Running());
    EXPECT_EQ(ReadFileBytes(SettingsFile), settings);
}

}  // namespace
