// Nimbra on the emulated device's shell: started from the start-up folder at boot, its hosted
// item leaving the system Today screen, a second start, and the navigation bar's OK button.
#include "support/device.h"
#include "support/nimbra_process.h"
#include <shlobj.h>

namespace {

bool TodayLists(const WCHAR *item)   // read from the system Today screen's list box
{
    HWND list = FindWindowExW(FindWindowW(L"DesktopExplorerWindow", nullptr), nullptr, L"ListBox", nullptr);
    return SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)item) >= 0;
}

bool Shows(HWND window, const WCHAR *text)
{
    WCHAR shown[64] = L"";
    GetWindowTextW(window, shown, 64);
    return !wcscmp(shown, text);
}

TEST(Shell, BootStartsNimbraBehindTheTodayScreenWhichDropsItsItemAndOkGoesBackThere)
{
    SettingsFileValues values;
    values.plugins = L"1::NimbraClock::";
    ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA, values));
    for (const WCHAR *item : {L"NimbraClock", L"NimbraOwner"})
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Microsoft\\Today\\Items\\") + item).c_str(), L"Enabled", 1);
    WCHAR folder[MAX_PATH], target[] = L"\"\\Program Files\\Nimbra\\Nimbra.exe\" background";
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_STARTUP, TRUE));
    std::wstring shortcut = folder + std::wstring(L"\\Nimbra.exe_.lnk");
    ASSERT_TRUE(SHCreateShortcut(&shortcut[0], target));

    NimbraProcess shell(DEVICE_SHELL);   // the Today screen lists both items before boot starts Nimbra
    ASSERT_TRUE(shell.Start());
    HWND window = WaitForNimbraWindow(L"Start");
    HWND today = FindWindowW(L"DesktopExplorerWindow", nullptr), bar = FindWindowW(L"NimbraNavigationBar", nullptr);
    DeleteFileW(shortcut.c_str());
    ASSERT_TRUE(window && today && bar);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == today && !TodayLists(L"NimbraClock"); }, 5000))
        << "Nimbra came to the front, or its item stays on the Today screen";
    EXPECT_TRUE(TodayLists(L"NimbraOwner"));

    EXPECT_EQ(RunNimbra(L""), 0u);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window && Shows(bar, L"Start"); }, 5000));
    RECT r;
    GetWindowRect(bar, &r);
    Tap(r.right - (r.bottom - r.top) / 2, (r.top + r.bottom) / 2);   // OK sits at the bar's right end
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == today && Shows(bar, L"Today"); }, 5000));

    EXPECT_EQ(RunNimbra(L"quit"), 0u);
    shell.Kill();
}

}  // namespace
