// Nimbra on the emulated device's shell: the navigation bar's OK button and the system Today
// screen, a second start, the Today screen's list of items, and the start-up folder at boot.
#include "support/device.h"
#include "support/nimbra_process.h"
#include <shlobj.h>

namespace {

const WCHAR *const Title = L"Start";

// The items the system Today screen lists, read from its list box.
std::vector<std::wstring> TodayItems()
{
    HWND list = FindWindowExW(FindWindowW(L"DesktopExplorerWindow", nullptr), nullptr, L"ListBox", nullptr);
    std::vector<std::wstring> items;
    for (int i = 0, count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0); i < count; i++) {
        WCHAR name[64] = L"";
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 64) SendMessageW(list, LB_GETTEXT, i, (LPARAM)name);
        items.push_back(name);
    }
    return items;
}

bool TodayLists(const WCHAR *item)
{
    std::vector<std::wstring> items = TodayItems();
    return std::find(items.begin(), items.end(), item) != items.end();
}

class Shell : public testing::Test {
protected:
    NimbraProcess shell{DEVICE_SHELL};
    HWND today = nullptr, bar = nullptr;

    void SetUp() override
    {
        SettingsFileValues values;
        values.plugins = L"1::NimbraClock::";
        ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA, values));
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today\\Items\\NimbraClock", L"Enabled", 1);
        ASSERT_TRUE(shell.Start(L"navbar today"));
        ASSERT_TRUE(PumpUntil([&] {
            return (today = FindWindowW(L"DesktopExplorerWindow", nullptr)) && (bar = FindWindowW(L"NimbraNavigationBar", nullptr));
        }, 10000));
    }
    void TearDown() override
    {
        for (HWND window; (window = FindWindowW(L"NimbraClass", nullptr)) != nullptr;) {
            PostMessageW(window, WM_CLOSE, 0, 0);
            if (!PumpUntil([&] { return !IsWindow(window); }, 10000)) break;
        }
        shell.Kill();
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today\\Items\\NimbraClock", L"Enabled", 1);
    }
    static std::wstring Text(HWND window)
    {
        WCHAR text[64] = L"";
        GetWindowTextW(window, text, 64);
        return text;
    }
};

TEST_F(Shell, OkShowsTheTodayScreenWithoutTheHostedItemAndASecondStartBringsNimbraBack)
{
    EXPECT_TRUE(TodayLists(L"NimbraClock"));
    NimbraProcess nimbra;
    ASSERT_TRUE(nimbra.Start());
    HWND window = WaitForNimbraWindow(Title);
    ASSERT_TRUE(window);
    EXPECT_TRUE(PumpUntil([] { return !TodayLists(L"NimbraClock"); }, 5000)) << "the hosted item stays on the Today screen";
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window && Text(bar) == Title; }, 5000));

    RECT r;
    GetWindowRect(bar, &r);
    Tap(r.right - (r.bottom - r.top) / 2, (r.top + r.bottom) / 2);   // OK sits at the bar's right end
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == today && Text(bar) == L"Today"; }, 5000));
    EXPECT_TRUE(nimbra.Running());

    EXPECT_EQ(RunNimbra(L""), 0u);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window; }, 5000));
}

TEST_F(Shell, BootStartsTheStartUpFolderWhereNimbraStartsInTheBackground)
{
    WCHAR folder[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_STARTUP, TRUE));
    std::wstring shortcut = folder + std::wstring(L"\\Nimbra.exe_.lnk");
    WCHAR target[] = L"\"\\Program Files\\Nimbra\\Nimbra.exe\" background";
    ASSERT_TRUE(SHCreateShortcut(&shortcut[0], target));
    NimbraProcess boot(DEVICE_SHELL);
    ASSERT_TRUE(boot.Start(L"boot"));
    EXPECT_EQ(boot.Wait(10000), 0u);
    HWND window = WaitForNimbraWindow(Title);
    DeleteFileW(shortcut.c_str());
    ASSERT_TRUE(window);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == today; }, 5000)) << "Nimbra did not start in the background";
}

}  // namespace
