// Nimbra on the emulated device's shell: started from the start-up folder at boot, its hosted
// item leaving the system Today screen, a second start, and the navigation bar's OK button.
#include "support/device.h"
#include "support/nimbra_process.h"
#include <shlobj.h>

TEST(Shell, BootStartsNimbraBehindTheTodayScreenWhichDropsItsItemAndOkGoesBackThere)
{
    ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA, {L"1::NimbraClock::"}));
    for (const WCHAR *item : {L"NimbraClock", L"NimbraOwner"})
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Microsoft\\Today\\Items\\") + item).c_str(), L"Enabled", 1);
    WCHAR folder[MAX_PATH], target[] = L"\"\\Program Files\\Nimbra\\Nimbra.exe\" background";
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_STARTUP, TRUE));
    std::wstring shortcut = folder + std::wstring(L"\\Nimbra.exe_.lnk");
    ASSERT_TRUE(SHCreateShortcut(&shortcut[0], target));

    NimbraProcess shell(L"C:\\nimbra-device\\shell.exe");   // the Today screen lists both items before boot starts Nimbra
    ASSERT_TRUE(shell.Start());
    HWND window = WaitForNimbraWindow(L"Start"), bar = FindWindowW(L"NimbraNavigationBar", nullptr);
    HWND today = FindWindowW(L"DesktopExplorerWindow", nullptr), list = FindWindowExW(today, nullptr, L"ListBox", nullptr);
    auto lists = [&](const WCHAR *item) { return SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)item) >= 0; };
    DeleteFileW(shortcut.c_str());
    ASSERT_TRUE(window && today && bar && list);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == today && !lists(L"NimbraClock") && lists(L"NimbraOwner"); }, 5000))
        << "Nimbra came to the front, or the Today screen kept its item or lost the other one";

    EXPECT_EQ(RunNimbra(L""), 0u);   // to the front, with the navigation bar showing its title and OK
    WCHAR shown[64] = L"";
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window && GetWindowTextW(bar, shown, 64) && !wcscmp(shown, L"Start"); }, 5000));
    std::array<LONG, 4> r = WindowPlace(bar);
    Tap(r[2] - (r[3] - r[1]) / 2, (r[1] + r[3]) / 2);   // OK sits at the bar's right end
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == today; }, 5000));
    EXPECT_EQ(RunNimbra(L"quit"), 0u);
}
