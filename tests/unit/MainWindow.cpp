// MainWindow driven in-process with real messages: creation and destruction, activation and
// the height poll, painting from the background, settings changes and rotation, the OK
// button, and the sequence that applies the settings dialog's changes.
#include "support/testing.h"
#include "app/app.h"
#include "app/mainwindow.h"
#include "items/itemhost.h"
#include "items/items.h"
#include "items/navigation.h"
#include "look/background.h"
#include "look/scale.h"
#include "look/theme.h"
#include "settings/settingsfile.h"
#include "softkeys/softkeys.h"

namespace {

// A top-level window of the test that records the Today refresh notices it receives.
struct Listener {
    static inline int TodayRefreshes = 0;
    HWND window = nullptr;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_SETTINGCHANGE && wParam == TODAY_REFRESH_CODE) TodayRefreshes++;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    Listener()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"NimbraTestListener";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"NimbraTestListener", L"listener", WS_POPUP, 0, 0, 1, 1,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        TodayRefreshes = 0;
    }
    ~Listener() { DestroyWindow(window); }
};

// Whether a timer of this id runs on the window; it keeps running afterwards.
bool TimerRuns(HWND window, UINT_PTR id, UINT interval)
{
    if (!KillTimer(window, id)) return false;
    SetTimer(window, id, interval, nullptr);
    return true;
}

COLORREF WindowPixel(HWND window, int x, int y)
{
    HDC dc = GetDC(window);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
}

class MainWindow_Screen : public testing::Test {
protected:
    void SetUp() override
    {
        CopyText(AppSettings.Title, L"Nimbra Test Screen");
        AppSettings.PluginList[0] = 0;
        AppSettings.EnableBackground = 0;
        AppSettings.Background[0] = 0;
        AppSettings.DisableCommandBar = 1;   // the screen without a menu bar (see SoftKeys.cpp for it)
        LoadedImagePath[0] = 0;
        LoadThemeColors();
        ASSERT_TRUE(CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOW));
        ASSERT_TRUE(MainWindow);
        PumpMessages();
    }
    void TearDown() override
    {
        if (MainWindow && IsWindow(MainWindow)) DestroyWindow(MainWindow);
        MainWindow = nullptr;
        ItemHost = nullptr;
        if (BackgroundBitmap) {
            DeleteObject(BackgroundBitmap);
            BackgroundBitmap = nullptr;
        }
        PumpMessages();
    }
};

TEST_F(MainWindow_Screen, FillsTheScreenBelowTheNavigationBarAndHoldsItemHost)
{
    RECT r;
    GetWindowRect(MainWindow, &r);
    int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, ScaleY(26));
    EXPECT_EQ(r.right, screenW);
    EXPECT_EQ(r.bottom, screenH) << "without a menu bar the window reaches the screen bottom";
    EXPECT_FALSE(GetWindowLongW(MainWindow, GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(GetWindowLongW(MainWindow, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN);

    WCHAR text[64];
    GetWindowTextW(MainWindow, text, 64);
    EXPECT_STREQ(text, L"Nimbra Test Screen");
    WCHAR cls[64];
    GetClassNameW(MainWindow, cls, 64);
    EXPECT_STREQ(cls, L"NimbraClass");

    ASSERT_TRUE(ItemHost);
    EXPECT_EQ(GetParent(ItemHost), MainWindow);
    RECT host;
    GetClientRect(ItemHost, &host);
    EXPECT_EQ(host.right, screenW);
    EXPECT_EQ(host.bottom, screenH - ScaleY(26));
    EXPECT_EQ(ClientWidth, screenW);
    EXPECT_EQ(ViewHeight, screenH - ScaleY(26));
    EXPECT_TRUE(BackgroundDC);
    EXPECT_EQ(GetObjectType(BackgroundDC), (DWORD)OBJ_MEMDC);
}

TEST_F(MainWindow_Screen, ActivationRunsThePollAndDeactivationStopsItAndDropsTheSelection)
{
    SendMessageW(MainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_FALSE(TimerRuns(ItemHost, REFRESH_TIMER, REFRESH_INTERVAL));

    SHFullScreen(MainWindow, SHFS_SHOWSIPBUTTON);
    SendMessageW(MainWindow, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_FALSE(TimerRuns(ItemHost, REFRESH_TIMER, REFRESH_INTERVAL)) << "a tap does not start the poll";
    EXPECT_EQ(SHFullScreenState(MainWindow) & SHFS_HIDESIPBUTTON, 0u);

    SendMessageW(MainWindow, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(TimerRuns(ItemHost, REFRESH_TIMER, REFRESH_INTERVAL));
    EXPECT_TRUE(SHFullScreenState(MainWindow) & SHFS_HIDESIPBUTTON);

    SelectedItem = 0;
    SelectedIcon = 2;
    SendMessageW(MainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_FALSE(TimerRuns(ItemHost, REFRESH_TIMER, REFRESH_INTERVAL));
    EXPECT_EQ(SelectedItem, -1);
    EXPECT_EQ(SelectedIcon, -1);
}

TEST_F(MainWindow_Screen, PaintsOnlyTheUpdateRectangleFromTheBackground)
{
    // Hide the item host so that the main window's own painting shows.
    ShowWindow(ItemHost, SW_HIDE);
    RECT all = {0, 0, 240, 300};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(BackgroundDC, &all, red);
    InvalidateRect(MainWindow, nullptr, FALSE);
    UpdateWindow(MainWindow);
    EXPECT_EQ(WindowPixel(MainWindow, 5, 5), RGB(255, 0, 0));
    EXPECT_EQ(WindowPixel(MainWindow, 50, 50), RGB(255, 0, 0));

    FillRect(BackgroundDC, &all, blue);
    RECT part = {0, 0, 20, 20};
    InvalidateRect(MainWindow, &part, FALSE);
    UpdateWindow(MainWindow);
    EXPECT_EQ(WindowPixel(MainWindow, 5, 5), RGB(0, 0, 255));
    EXPECT_EQ(WindowPixel(MainWindow, 50, 50), RGB(255, 0, 0)) << "painting copied more than the update rectangle";
    DeleteObject(red);
    DeleteObject(blue);
}

TEST_F(MainWindow_Screen, TodayRefreshReloadsColoursAndBackground)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Color", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    DWORD override4 = RGB(1, 2, 3);
    RegSetValueExW(key, L"4", 0, REG_DWORD, (const BYTE *)&override4, 4);
    HPEN oldPen = SeparatorPen;

    SendMessageW(MainWindow, WM_SETTINGCHANGE, TODAY_REFRESH_CODE, 0);
    EXPECT_EQ(TextColor, RGB(1, 2, 3));
    EXPECT_NE(SeparatorPen, oldPen);
    EXPECT_FALSE(BackgroundDirty);

    RegDeleteValueW(key, L"4");
    RegCloseKey(key);
    LoadThemeColors();

    // Another settings change at the same height reloads nothing.
    HBITMAP shown = BackgroundBitmap;
    SendMessageW(MainWindow, WM_SETTINGCHANGE, 0, 0);
    EXPECT_EQ(BackgroundBitmap, shown);
}

TEST_F(MainWindow_Screen, AResizeLaysOutTheHostToTheNewClientArea)
{
    MoveWindow(MainWindow, 0, 26, 200, 150, TRUE);
    EXPECT_EQ(ClientWidth, 200);
    EXPECT_EQ(ViewHeight, 150);
    RECT host;
    GetWindowRect(ItemHost, &host);
    EXPECT_EQ(host.right - host.left, 200);
    EXPECT_EQ(host.bottom - host.top, 150);
    EXPECT_EQ(ItemWidth, 200);
}

TEST_F(MainWindow_Screen, OkSendsTheScreenBehindAndKeepsItRunning)
{
    SetForegroundWindow(MainWindow);
    ASSERT_TRUE(PumpUntil([] { return GetForegroundWindow() == MainWindow; }, 3000));
    SendMessageW(MainWindow, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([] { return GetForegroundWindow() != MainWindow; }, 3000));
    EXPECT_TRUE(IsWindow(MainWindow));
}

TEST_F(MainWindow_Screen, PrivateMessagesAnswerAsOtherProgramsExpect)
{
    EXPECT_EQ(SendMessageW(MainWindow, WM_USER - 1, 0, 0), 0);
    EXPECT_EQ(SendMessageW(MainWindow, HM_UNLOADITEMS, 0, 0), 1);
    EXPECT_EQ(SendMessageW(MainWindow, HM_RELOADITEMS, 0, 0), 0);
    EXPECT_EQ(SendMessageW(MainWindow, HM_NOTIFYICON, 3, 0), 2) << "operations above 2 answer 2";
}

TEST_F(MainWindow_Screen, ApplyingSettingsSetsTheCaptionAndBroadcastsOnlyABackgroundChange)
{
    Listener listener;
    ASSERT_TRUE(listener.window);

    CopyText(AppSettings.Title, L"Renamed Screen");
    EXPECT_EQ(SendMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0), 1);
    WCHAR text[64];
    GetWindowTextW(MainWindow, text, 64);
    EXPECT_STREQ(text, L"Renamed Screen");
    PumpFor(600);
    EXPECT_EQ(Listener::TodayRefreshes, 0) << "nothing changed in the background, yet it was broadcast";

    // The dialog marks the background as changed: the screen reloads it and tells every
    // top-level window after the apply sequence returns.
    BackgroundDirty = true;
    LoadedImagePath[0] = 0;
    EXPECT_EQ(SendMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0), 1);
    EXPECT_FALSE(BackgroundDirty);
    EXPECT_NE(LoadedImagePath[0], 0);
    EXPECT_TRUE(PumpUntil([] { return Listener::TodayRefreshes == 1; }, 3000));
}

TEST_F(MainWindow_Screen, DestructionReleasesEveryGdiObjectAndEndsTheLoop)
{
    HDC dc = BackgroundDC;
    HPEN pen = SeparatorPen;
    HBRUSH brush = HighlightBrush;
    HBITMAP bitmap = BackgroundBitmap;
    // The device's colour scheme gives the screen a pen and a brush.
    ASSERT_TRUE(dc && pen && brush && bitmap);
    DestroyWindow(MainWindow);
    EXPECT_EQ(GetObjectType(dc), 0u);
    EXPECT_EQ(GetObjectType(pen), 0u);
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_EQ(SeparatorPen, nullptr);
    EXPECT_EQ(HighlightBrush, nullptr);
    EXPECT_EQ(BackgroundDC, nullptr);
    EXPECT_EQ(InitialDCBitmap, nullptr);
    // The bitmap outlives the window: the message loop deletes it after the quit message.
    EXPECT_EQ(GetObjectType(bitmap), (DWORD)OBJ_BITMAP);
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    MainWindow = nullptr;
}

}  // namespace

namespace {

bool Rotate(int width, int height)
{
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) == DISP_CHANGE_SUCCESSFUL;
}

bool DeviceHasWatermark(const wchar_t *pattern)
{
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(pattern, &found);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

TEST_F(MainWindow_Screen, RotationResizesTheScreenAndReloadsTheWatermarkForTheNewSize)
{
    ASSERT_TRUE(DeviceHasWatermark(L"\\Windows\\tdywater_240_320.*"));
    ASSERT_TRUE(DeviceHasWatermark(L"\\Windows\\tdywater_320_240.*"));
    ASSERT_NE(wcsstr(LoadedImagePath, L"_240_320."), nullptr);

    ASSERT_TRUE(Rotate(320, 240));
    bool rotated = PumpUntil([] { return ClientWidth == 320; }, 5000);
    // The first settings change after start-up already reloads: the height was read at creation.
    bool reloaded = PumpUntil([] { return wcsstr(LoadedImagePath, L"_320_240.") != nullptr; }, 3000);
    int heightSeen = ScreenHeightSeen, viewHeight = ViewHeight;
    RECT host;
    GetWindowRect(ItemHost, &host);
    bool restored = Rotate(240, 320);

    EXPECT_TRUE(rotated) << "the window did not follow the rotation";
    EXPECT_TRUE(reloaded) << Narrow(LoadedImagePath);
    EXPECT_EQ(heightSeen, 240);
    EXPECT_EQ(viewHeight, 240 - ScaleY(26));
    EXPECT_EQ(host.right - host.left, 320);
    ASSERT_TRUE(restored);
    EXPECT_TRUE(PumpUntil([] { return ClientWidth == 240 && wcsstr(LoadedImagePath, L"_240_320.") != nullptr; }, 5000))
        << Narrow(LoadedImagePath);
    EXPECT_FALSE(BackgroundDirty);
}

}  // namespace
