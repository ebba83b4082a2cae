// Start-up as other programs and the user see it: command words, the single instance, the toggle
// with the system Today screen, and the exit codes.
#include "support/nimbra_process.h"

namespace {

const wchar_t *const Title = L"Start";

void CloseAllInstances()
{
    HWND w;
    for (int i = 0; i < 5 && (w = FindWindowW(L"NimbraClass", nullptr)); i++) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        if (p) TerminateProcess(p, 98), WaitForSingleObject(p, 5000), CloseHandle(p);
    }
}

// The window, or the settings dialog it owns, is (not) the foreground window.
bool InFront(HWND window, bool front)
{
    return PumpUntil([&] {
        HWND fg = GetForegroundWindow();
        return (fg && (fg == window || GetWindow(fg, GW_OWNER) == window)) == front;
    }, 5000);
}

class Startup : public testing::Test {
protected:
    void SetUp() override
    {
        CloseAllInstances();
        ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA));   // titled "Start"
    }
};

TEST_F(Startup, WordsAndPlainStartsToggleWithTheTodayScreenAndQuitEndsTheInstance)
{
    // Words for a running instance end at once when none runs; they count inside longer text.
    for (const wchar_t *words : {L"--please-quit-now", L"settings"}) EXPECT_EQ(RunNimbra(words), 0u) << Narrow(words);
    EXPECT_EQ(FindWindowW(L"NimbraClass", nullptr), nullptr);
    // "background" starts it behind the Today screen.
    NimbraProcess first;
    ASSERT_TRUE(first.Start(L"background"));
    HWND window = WaitForNimbraWindow(Title);
    ASSERT_TRUE(window);
    PumpFor(500);
    EXPECT_NE(GetForegroundWindow(), window);
    // Each plain start finds the instance: behind it comes to the front, in front it goes behind.
    // Words are case-sensitive: "Quit" is a plain start; "settings" brings the instance forward.
    for (auto [words, front] : {std::pair{L"", true}, {L"Quit", false}, {L"settings", true}}) {
        SCOPED_TRACE(Narrow(words));
        EXPECT_EQ(RunNimbra(words), 0u);
        EXPECT_TRUE(InFront(window, front));
        EXPECT_TRUE(first.Running());
    }
    // The settings dialog is open now. "quit" wins over "settings" and closes the screen from
    // within the dialog; the instance's message loop ends with exit code 1.
    EXPECT_TRUE(PumpUntil([&] { HWND fg = GetForegroundWindow(); return fg && GetWindow(fg, GW_OWNER) == window; }, 5000));
    EXPECT_EQ(RunNimbra(L"settings quit"), 0u);
    EXPECT_EQ(first.Wait(10000), 1u);
}

// Nimbra keeps settings.ini beside itself: a folder where that path has 259 characters starts; in
// one with 260 the start ends with -1 instead of going on with a cut path.
TEST_F(Startup, APathToTheSettingsThatDoesNotFitEndsTheStart)
{
    for (int extra : {0, 1}) {
        const std::wstring folder = L"C:\\" + std::wstring(243 + extra, L'f'), exe = folder + L"\\n.exe";
        CreateDirectoryW(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(INSTALLED_NIMBRA, exe.c_str(), FALSE));
        EXPECT_EQ(RunNimbra(L"quit", 15000, exe), extra ? (DWORD)-1 : 0u) << extra;
        DeleteFileW(exe.c_str()), RemoveDirectoryW(folder.c_str());
    }
}

// Two starts at once, as a double tap on the program's icon makes them, with and without words:
// at no time two screens; one stays unless a "quit" found the other; the settings file as it was.
TEST_F(Startup, TwoStartsAtOnceNeverMakeTwoScreens)
{
    const std::vector<unsigned char> settings = ReadFileBytes(L"C:\\Program Files\\Nimbra\\settings.ini");
    auto screens = [] { int n = 0; for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"NimbraClass", nullptr)); n++) {} return n; };
    const std::wstring words[][2] = {{L"", L""}, {L"", L"settings"}, {L"settings", L""}, {L"", L""}, {L"", L"quit"}, {L"quit", L""}};
    for (int round = 0; round < 20; round++) {
        SCOPED_TRACE(round);
        const std::wstring *pair = words[round % 6];
        NimbraProcess first, second;
        ASSERT_TRUE(first.Start(pair[0]) && second.Start(pair[1]));
        int most = 0, running = 0;
        PumpUntil([&] {
            most = std::max(most, screens());
            running = first.Running() + second.Running();
            return running == 0 || (running == 1 && screens() == 1);
        }, 15000);
        EXPECT_LE(most, 1);
        EXPECT_EQ(screens(), pair[0] + pair[1] == L"quit" ? running : 1);
        EXPECT_EQ(ReadFileBytes(L"C:\\Program Files\\Nimbra\\settings.ini"), settings);
    }
}

}  // namespace
