// MainWindow driven in-process with real messages: its place, activation and the height poll,
// the OK button, settings changes and rotation, the apply sequence after the settings dialog,
// and destruction.
#include "support/dialog.h"
#include "items/itemhost.h"
#include "items/navigation.h"
#include "look/background.h"
#include "look/theme.h"

namespace {

// Whether a timer of this id runs on the window; it keeps running afterwards.
bool TimerRuns(HWND window, UINT_PTR id) { return KillTimer(window, id) && SetTimer(window, id, REFRESH_INTERVAL, nullptr); }

// The screen without a menu bar (SoftKeys.cpp tests it with one).
class MainWindow_Screen : public ScreenTest {
protected:
    void SetUp() override { OpenScreen({L"Nimbra Test Screen", L"", L"", 0, 1, 0}); }
};

TEST_F(MainWindow_Screen, ApplyingSettingsSetsTheCaptionAndBroadcastsOnlyABackgroundChangeAndDestructionReleasesEverything)
{
    // The screen is a top-level window too: the Today refresh notice makes it read the colours again.
    const DWORD text = RGB(1, 2, 3), before = TextColor;
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Color", L"4", REG_DWORD, &text, 4), ERROR_SUCCESS);
    EXPECT_TRUE(RunSettingsDialog([](HWND) {}, DialogEnd::Close));   // (the new title is held end to end)
    PumpFor(600);
    EXPECT_EQ(TextColor, before) << "nothing changed in the background, yet it was broadcast";
    // The dialog marks the background as changed: every top-level window hears of it afterwards.
    BackgroundDirty = true;
    EXPECT_TRUE(RunSettingsDialog([](HWND) {}, DialogEnd::Close));
    const bool heard = PumpUntil([&] { return TextColor == text; }, 3000);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Color", L"4");
    EXPECT_TRUE(heard);
    EXPECT_TRUE((ValidateRect(ItemHost, nullptr), SendMessageW(MainWindow, WM_SETTINGCHANGE, TODAY_REFRESH_CODE, 0), GetUpdateRect(ItemHost, nullptr, FALSE))) << "a Today refresh repaints";
    // Destruction releases every GDI object and ends the loop.
    const HGDIOBJ dc = BackgroundDC, pen = SeparatorPen, brush = HighlightBrush, bitmap = BackgroundBitmap;
    ASSERT_TRUE(dc && pen && brush && bitmap);   // the device's colour scheme gives a pen and a brush
    DestroyWindow(MainWindow);
    EXPECT_EQ(std::vector<DWORD>({GetObjectType(dc), GetObjectType(pen), GetObjectType(brush)}), std::vector<DWORD>(3, 0));
    // The bitmap outlives the window: the message loop deletes it after the quit message.
    EXPECT_EQ(GetObjectType(bitmap), (DWORD)OBJ_BITMAP);
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// The screen fills the screen below the navigation bar, also turned, where it shows the watermark
// for the new size; activation starts the height poll, and OK brings the Today screen forward.
TEST_F(MainWindow_Screen, FillsTheScreenBelowTheNavigationBarAlsoTurnedAndItsOkBringsTheTodayScreenForward)
{
    EXPECT_EQ(WindowPlace(MainWindow), (std::array<LONG, 4>{0, 26, 240, 320})) << "without a menu bar it reaches the bottom";
    ASSERT_TRUE(Rotate(320, 240));
    bool rotated = PumpUntil([] { return WindowPlace(MainWindow) == std::array<LONG, 4>{0, 26, 320, 240}; }, 5000);
    bool reloaded = PumpUntil([] { return wcsstr(LoadedImagePath, L"_320_240.") != nullptr; }, 3000);
    std::array<LONG, 4> host = WindowPlace(ItemHost);
    ASSERT_TRUE(Rotate(240, 320));
    EXPECT_TRUE(rotated) << "the window did not follow the rotation";
    EXPECT_TRUE(reloaded) << Narrow(LoadedImagePath);
    EXPECT_EQ(host, (std::array<LONG, 4>{0, 26, 320, 240}));
    EXPECT_TRUE(PumpUntil([] { return WindowPlace(MainWindow)[2] == 240 && wcsstr(LoadedImagePath, L"_240_320.") != nullptr; }, 5000));
    EXPECT_TRUE(GetWindowLongW(MainWindow, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN) << "the navigation bar shows OK for it";
    SendMessageW(MainWindow, WM_ACTIVATE, WA_INACTIVE, 0), SendMessageW(MainWindow, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_FALSE(TimerRuns(ItemHost, REFRESH_TIMER)) << "a tap does not start the poll";
    SHFullScreen(MainWindow, SHFS_HIDETASKBAR);
    SendMessageW(MainWindow, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(TimerRuns(ItemHost, REFRESH_TIMER));
    EXPECT_EQ(SHFullScreenState(MainWindow), (DWORD)(SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON)) << "the input panel button is hidden too";
    // The navigation bar's OK brings the system Today screen (its stand-in here) forward; the
    // deactivated screen stops the poll and drops its selection.
    WNDCLASSW wc = {0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"DesktopExplorerWindow"};
    RegisterClassW(&wc);
    HWND today = CreateWindowExW(0, wc.lpszClassName, L"Desktop", WS_POPUP | WS_VISIBLE, 0, 26, 240, 294, nullptr, nullptr, wc.hInstance, nullptr);
    EXPECT_TRUE(SetForegroundWindow(MainWindow) && PumpUntil([] { return GetForegroundWindow() == MainWindow; }, 3000));
    SelectedItem = 0, SelectedIcon = 2;
    SendMessageW(MainWindow, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == today; }, 3000));
    EXPECT_FALSE(TimerRuns(ItemHost, REFRESH_TIMER));
    EXPECT_EQ(std::make_pair(SelectedItem, SelectedIcon), std::make_pair(-1, -1));
    DestroyWindow(today);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

} // namespace
