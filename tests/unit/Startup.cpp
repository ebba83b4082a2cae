// Start-up paths as a start of Nimbra computes them: a copy of this program, run from a folder
// or under a file name long enough that a path does not fit, starts the way Nimbra.exe does.
#include "support/nimbra_process.h"
#include "app/app.h"
#include <shlobj.h>

namespace {

// Runs a copy of this program at folder\name through NimbraMain with the word "quit" (which
// ends at once when no instance runs); answers "<exit code>|<SettingsPath>|<ShortcutPath>".
std::wstring StartCopy(const std::wstring &folder, const std::wstring &name)
{
    const std::wstring exe = folder + L"\\" + name, report = folder + L"\\paths.txt";
    CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_TRUE(CopyFileW(ThisProgram().c_str(), exe.c_str(), FALSE)) << Narrow(exe);
    EXPECT_EQ(RunTestChild(L"Startup_Child.ReportsPaths", exe), 0u);
    std::vector<unsigned char> bytes = ReadFileBytes(report);
    DeleteFileW(exe.c_str()), DeleteFileW(report.c_str()), RemoveDirectoryW(folder.c_str());
    return std::wstring((const wchar_t *)bytes.data(), bytes.size() / sizeof(wchar_t));
}

} // namespace

TEST(Startup_Child, ReportsPaths)
{
    if (!InTestChild()) GTEST_SKIP() << "runs in a copy started by Startup.PathsThatDoNotFitAreNeverCut";
    std::wstring report = std::to_wstring(NimbraMain(GetModuleHandleW(nullptr), L"quit", SW_HIDE)) + L"|" +
                          SettingsPath + L"|" + ShortcutPath;
    EXPECT_TRUE(WriteFileBytes(ExeFolder() + L"paths.txt", report.data(), report.size() * sizeof(wchar_t)));
}

TEST(Startup, PathsThatDoNotFitAreNeverCut)
{
    WCHAR startup[MAX_PATH] = L"";
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, startup, CSIDL_STARTUP, TRUE));
    // SettingsPath is the folder and "\settings.ini": 259 characters fit; one more ends the start
    // with -1 before anything is read or written, and leaves no cut name behind.
    const std::wstring fits = L"C:\\" + std::wstring(243, L'f');
    EXPECT_EQ(StartCopy(fits, L"n.exe"), L"0|" + fits + L"\\settings.ini|" + startup + L"\\n.exe_.lnk");
    EXPECT_EQ(StartCopy(fits + L"g", L"n.exe"), L"-1||" + std::wstring(startup) + L"\\n.exe_.lnk");
    // ShortcutPath is the start-up folder, "\", the file name and "_.lnk". One that does not fit
    // is left empty, which means that no shortcut can be made; the start goes on.
    const std::wstring name = std::wstring(MAX_PATH - 1 - wcslen(startup) - 1 - 5 - 4, L'n') + L".exe";
    EXPECT_EQ(StartCopy(L"C:\\short", name), L"0|C:\\short\\settings.ini|" + std::wstring(startup) + L"\\" + name + L"_.lnk");
    EXPECT_EQ(StartCopy(L"C:\\short", L"n" + name), L"0|C:\\short\\settings.ini|");
}
