// Start-up as other programs and the user see it: command words, the single instance per
// title, the toggle with the system Today screen, and the fatal start-up messages.
#include "support/nimbra_process.h"

namespace {

const wchar_t *const Title = L"Start";

void CloseAllInstances()
{
    for (int i = 0; i < 5; i++) {
        HWND w = FindWindowW(L"NimbraClass", nullptr);
        if (!w) return;
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        PostMessageW(w, WM_CLOSE, 0, 0);
        HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        if (p) {
            if (WaitForSingleObject(p, 5000) != WAIT_OBJECT_0) TerminateProcess(p, 98);
            CloseHandle(p);
        }
    }
}

class Startup : public testing::Test {
protected:
    void SetUp() override
    {
        CloseAllInstances();
        SettingsFileValues values;
        values.title = Title;
        ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA, values));
    }
    void TearDown() override { CloseAllInstances(); }

    // Runs a start with the words to its end, checking that it never shows a window.
    void ExpectEndsWithoutWindow(const std::wstring &words)
    {
        SCOPED_TRACE(Narrow(L"words: " + words));
        NimbraProcess p;
        ASSERT_TRUE(p.Start(words));
        bool sawWindow = false;
        PumpUntil([&] {
            HWND w = FindWindowW(L"NimbraClass", nullptr);
            DWORD pid = 0;
            if (w) GetWindowThreadProcessId(w, &pid);
            if (pid == p.Id()) sawWindow = true;
            return !p.Running();
        }, 15000);
        EXPECT_EQ(p.Wait(100), 0u);
        EXPECT_FALSE(sawWindow);
    }
};

TEST_F(Startup, WordsForARunningInstanceEndAtOnceWhenNoneRuns)
{
    ExpectEndsWithoutWindow(L"quit");
    ExpectEndsWithoutWindow(L"settings");
    ExpectEndsWithoutWindow(L"quitsettings");          // words count inside longer text
    ExpectEndsWithoutWindow(L"--please-quit-now");
}

TEST_F(Startup, PlainStartsToggleBetweenTheInstanceAndTheTodayScreen)
{
    NimbraProcess first;
    ASSERT_TRUE(first.Start());
    HWND window = WaitForNimbraWindow(Title);
    ASSERT_TRUE(window);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window; }, 5000));

    EXPECT_EQ(RunNimbra(L""), 0u);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() != window; }, 5000))
        << "a second start leaves the instance in front";
    EXPECT_TRUE(first.Running());

    EXPECT_EQ(RunNimbra(L""), 0u);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window; }, 5000))
        << "a third start does not bring the instance back";

    // Words are case-sensitive: "Quit" is a plain start and toggles again.
    EXPECT_EQ(RunNimbra(L"Quit"), 0u);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() != window; }, 5000));
    EXPECT_TRUE(first.Running());

    // "settings" brings the instance to the front.
    EXPECT_EQ(RunNimbra(L"settings"), 0u);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window; }, 5000));
    EXPECT_TRUE(first.Running());
}

TEST_F(Startup, QuitEndsTheRunningInstanceAndItsLoop)
{
    NimbraProcess first;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(WaitForNimbraWindow(Title));

    // "quit" wins over "settings" when both are given.
    EXPECT_EQ(RunNimbra(L"settings quit"), 0u);
    EXPECT_EQ(first.Wait(10000), 1u) << "the message loop ends with exit code 1";
    EXPECT_EQ(FindWindowW(L"NimbraClass", Title), nullptr);
}

TEST_F(Startup, CopiesWithOtherTitlesRunSideBySide)
{
    const std::wstring second = L"C:\\Program Files\\NimbraSecond\\Nimbra.exe";
    CreateDirectoryW(L"C:\\Program Files\\NimbraSecond", nullptr);
    ASSERT_TRUE(CopyFileW(INSTALLED_NIMBRA, second.c_str(), FALSE));
    SettingsFileValues values;
    values.title = L"Second Today";
    ASSERT_TRUE(WriteSettingsBeside(second, values));

    NimbraProcess a, b(second);
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(WaitForNimbraWindow(Title));
    ASSERT_TRUE(b.Start());
    EXPECT_TRUE(WaitForNimbraWindow(L"Second Today"));
    EXPECT_TRUE(a.Running());
    EXPECT_TRUE(b.Running());

    // A copy with the first one's title finds it and ends.
    values.title = Title;
    ASSERT_TRUE(WriteSettingsBeside(second, values));
    EXPECT_EQ(RunNimbra(L"", 15000, second), 0u);

    EXPECT_EQ(RunNimbra(L"quit"), 0u);
    EXPECT_EQ(a.Wait(10000), 1u);
    EXPECT_TRUE(b.Running());
}

TEST_F(Startup, BackgroundWordStartsBehindTheTodayScreen)
{
    NimbraProcess first;
    ASSERT_TRUE(first.Start(L"background"));
    HWND window = WaitForNimbraWindow(Title);
    ASSERT_TRUE(window);
    PumpFor(500);
    EXPECT_NE(GetForegroundWindow(), window);
    EXPECT_TRUE(first.Running());
}

}  // namespace
