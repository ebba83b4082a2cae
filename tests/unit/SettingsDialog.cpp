// The settings dialog in-process, opened by MainWindow as a tap-and-hold does: its frame (full
// screen, heading, tabs and pages), the Settings and About pages, OK and close, a rotation
// while it is open, and what MainWindow applies afterwards.
#include "support/dialog.h"
#include "app/app.h"
#include "items/itemhost.h"
#include "items/notifyicon.h"
#include "look/background.h"
#include "look/scale.h"
#include "look/theme.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include "settings/settingsfile.h"
#include "tray/tray.h"

namespace {

class SettingsDialog : public testing::Test {
protected:
    const Settings saved = AppSettings;
    const std::wstring folder = ExeFolder() + L"dialog-test\\", path = folder + SETTINGS_FILE_NAME;

    void SetUp() override
    {
        CreateDirectoryW(folder.c_str(), nullptr);
        CopyText(SettingsPath, path.c_str());
        DeleteFileW(path.c_str());
        AppSettings = Settings{L"Dialog Test", L"0::", L"", 0, 1, 0};
        ComputeTrayMetrics();
        LoadedImagePath[0] = 0;
        LoadThemeColors();
        ASSERT_TRUE(CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOW));
        PumpMessages();
    }
    void TearDown() override
    {
        if (IsWindow(MainWindow)) DestroyWindow(MainWindow);
        FreeBackgroundBitmap();
        PumpMessages();
        DeleteFileW(path.c_str()), RemoveDirectoryW(folder.c_str());
        AppSettings = saved;
        ComputeTrayMetrics();
        SettingsPath[0] = 0;
    }
    static std::wstring Text(HWND page, int id)
    {
        WCHAR text[300] = L"";
        GetDlgItemTextW(page, id, text, 300);
        return text;
    }
    static bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
    // The page lying on top of the tab control's children.
    static HWND TopPage(HWND dialog) { return GetWindow(GetDlgItem(dialog, IDC_TABS), GW_CHILD); }
    // Selects a tab as a tap on it does: the tab control changes and tells the dialog.
    static void SelectTab(HWND dialog, int tab)
    {
        HWND tabs = GetDlgItem(dialog, IDC_TABS);
        SendMessageW(tabs, TCM_SETCURSEL, tab, 0);
        NMHDR header = {tabs, IDC_TABS, (UINT)TCN_SELCHANGE};
        SendMessageW(dialog, WM_NOTIFY, IDC_TABS, (LPARAM)&header);
    }
};
class SettingsDialog_Hires : public SettingsDialog {};

TEST_F(SettingsDialog, OpensFullScreenWithTheFourPagesAndTheTabsRaiseThem)
{
    bool ran = RunSettingsDialog([&](HWND dialog) {
        // Full width from the navigation bar down to the dialog's own empty menu bar.
        EXPECT_EQ(WindowPlace(dialog), (std::array<LONG, 4>{0, 26, 240, 294}));
        EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN) << "the navigation bar shows OK for it";
        RECT client;
        GetClientRect(dialog, &client);
        HWND tabs = GetDlgItem(dialog, IDC_TABS);
        RECT r;
        GetWindowRect(tabs, &r);
        MapWindowPoints(nullptr, dialog, (POINT *)&r, 2);
        EXPECT_EQ((std::array<LONG, 4>{r.left, r.top, r.right, r.bottom}), (std::array<LONG, 4>{-2, 24, client.right + 2, client.bottom}));

        std::vector<std::wstring> names;
        for (int i = 0; i < 4; i++) {
            WCHAR name[32] = L"";
            TCITEMW item = {TCIF_TEXT, 0, 0, name, 32, 0, 0};
            SendMessageW(tabs, TCM_GETITEMW, i, (LPARAM)&item);
            names.push_back(name);
        }
        EXPECT_EQ(names, (std::vector<std::wstring>{L"Plugins", L"Settings", L"Soft Keys", L"About"}));
        EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
        EXPECT_EQ(TopPage(dialog), PluginsPage);
        // Each page fills the tab control's display area.
        RECT area;
        GetClientRect(tabs, &area);
        SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, (LPARAM)&area);
        for (HWND page : {PluginsPage, SettingsPage, SoftKeysPage, AboutPage}) {
            GetWindowRect(page, &r);
            MapWindowPoints(nullptr, tabs, (POINT *)&r, 2);
            EXPECT_EQ((std::array<LONG, 4>{r.left, r.top, r.right, r.bottom}), (std::array<LONG, 4>{0, 0, area.right, area.bottom}));
        }
        for (int tab : {3, 1, 2, 0}) {
            SelectTab(dialog, tab);
            HWND pages[] = {PluginsPage, SettingsPage, SoftKeysPage, AboutPage};
            EXPECT_EQ(TopPage(dialog), pages[tab]) << "tab " << tab;
            EXPECT_TRUE(IsWindowVisible(PluginsPage) && IsWindowVisible(AboutPage)) << "pages are never hidden";
        }
        EXPECT_EQ(Text(AboutPage, IDC_VERSION), L"Ver. 0.4.0");
    }, DialogEnd::Close);
    EXPECT_TRUE(ran);
}

// The heading: the title in its colour within the band above the line, the line across.
TEST_F(SettingsDialog, PaintsTheTitleAboveALineAndTheFontFollowsTheDensity)
{
    for (const wchar_t *title : {L"Dialog Test", L""}) {
        SCOPED_TRACE(Narrow(title));
        CopyText(AppSettings.Title, title);
        HFONT font = nullptr;
        RunSettingsDialog([&](HWND dialog) {
            font = TitleFont;
            LOGFONTW face = {};
            GetObjectW(font, sizeof face, &face);
            EXPECT_EQ(std::make_pair(face.lfHeight, face.lfWeight), std::make_pair(-11L, 600L));
            EXPECT_STREQ(face.lfFaceName, L"Tahoma");
            UpdateWindow(dialog);
            HDC dc = GetDC(dialog);
            int headingPixels = 0, linePixels = 0;
            for (int x = 0; x < 240; x++) {
                linePixels += GetPixel(dc, x, 23) == RGB(0, 0, 0);
                for (int y = 0; y < 23; y++) headingPixels += GetPixel(dc, x, y) == RGB(0, 0x58, 0x98);
            }
            ReleaseDC(dialog, dc);
            EXPECT_EQ(linePixels, 240);
            if (*title) EXPECT_GT(headingPixels, 20);
            else EXPECT_EQ(headingPixels, 0);
        }, DialogEnd::Ok);
        EXPECT_EQ(GetObjectType(font), 0u) << "the font went with the dialog";
        EXPECT_EQ(TitleFont, nullptr);
    }
}

TEST_F(SettingsDialog_Hires, TheHeadingFontDoublesAt192Dpi)
{
    RunSettingsDialog([&](HWND) {
        LOGFONTW face = {};
        GetObjectW(TitleFont, sizeof face, &face);
        EXPECT_EQ(face.lfHeight, -22);
    }, DialogEnd::Close);
}

// OK takes the title and flags and writes the file; close takes nothing; an unwritable file
// leaves the values as they were.
TEST_F(SettingsDialog, OkSavesTheSettingsPageAndCloseSavesNothing)
{
    AppSettings.DisableCommandBar = 1;
    auto edit = [](HWND) {
        EXPECT_EQ(Text(SettingsPage, IDC_TITLE), L"Dialog Test");
        EXPECT_TRUE(Checked(SettingsPage, IDC_NO_COMMAND_BAR));
        EXPECT_FALSE(Checked(SettingsPage, IDC_BIG_TRAY));
        SetDlgItemTextW(SettingsPage, IDC_TITLE, L"Renamed");
        Click(SettingsPage, IDC_BIG_TRAY);
        Click(PluginsPage, IDC_USE_BACKGROUND);
    };
    const int smallStrip = TrayHeight;
    ASSERT_TRUE(RunSettingsDialog(edit, DialogEnd::Close));
    EXPECT_EQ(std::wstring(AppSettings.Title) + L"|" + std::to_wstring(AppSettings.BigTray), L"Dialog Test|0");
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);

    // A folder where the new file would go: the file cannot be written.
    const std::wstring blocker = path + L".new";
    CreateDirectoryW(blocker.c_str(), nullptr);
    ASSERT_TRUE(RunSettingsDialog(edit, DialogEnd::Ok));
    RemoveDirectoryW(blocker.c_str());
    EXPECT_EQ(std::wstring(AppSettings.Title) + L"|" + std::to_wstring(AppSettings.BigTray), L"Dialog Test|0");

    ASSERT_TRUE(RunSettingsDialog(edit, DialogEnd::Ok));
    EXPECT_EQ(std::vector<int>({AppSettings.EnableBackground, AppSettings.DisableCommandBar, AppSettings.BigTray}),
              std::vector<int>({1, 1, 1}));
    EXPECT_GT(TrayHeight, smallStrip) << "the strip metrics follow Big TrayIcons";
    EXPECT_EQ(FindWindowW(MAIN_WINDOW_CLASS, L"Renamed"), MainWindow) << "the caption follows";
    std::vector<unsigned char> file = ReadFileBytes(path);
    std::wstring text(file.size() > 2 ? (const wchar_t *)(file.data() + 2) : L"", file.size() > 2 ? (file.size() - 2) / 2 : 0);
    EXPECT_EQ(text, L"Plugins = 0::\nTitle = Renamed\nEnableBackground = 1\nDisableCommandBar = 1\nBigTray = 1\n");
}

// The tabs follow every size of the dialog; a rotation also initialises the pages other than
// About again, after the size change: unsaved typing on the Settings page is lost. A size
// change that keeps the width initialises nothing.
TEST_F(SettingsDialog, AWidthChangeLaysTheTabsOutAgainAndInitialisesThePagesAgain)
{
    RunSettingsDialog([&](HWND dialog) {
        SetDlgItemTextW(SettingsPage, IDC_TITLE, L"typed");
        SetDlgItemTextW(AboutPage, IDC_VERSION, L"kept");
        HWND tabs = GetDlgItem(dialog, IDC_TABS);
        SetWindowPos(dialog, nullptr, 0, 0, 240, 200, SWP_NOMOVE | SWP_NOZORDER);   // the height alone
        PumpMessages();
        EXPECT_EQ(WindowPlace(tabs)[3], WindowPlace(dialog)[3]) << "the tabs stay at the dialog's bottom";
        EXPECT_EQ(Text(SettingsPage, IDC_TITLE), L"typed") << "a height change initialises no page";

        DEVMODEW mode = {};
        mode.dmSize = sizeof mode, mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT, mode.dmPelsWidth = 320, mode.dmPelsHeight = 240;
        ASSERT_EQ(ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr), DISP_CHANGE_SUCCESSFUL);
        bool turned = PumpUntil([&] { return WindowPlace(tabs)[2] == 322 && Text(SettingsPage, IDC_TITLE) == L"Dialog Test"; }, 5000);
        std::array<LONG, 4> dialogPlace = WindowPlace(dialog), pagePlace = WindowPlace(SettingsPage), aboutPlace = WindowPlace(AboutPage);
        mode.dmPelsWidth = 240, mode.dmPelsHeight = 320;
        ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr);
        EXPECT_TRUE(turned);
        EXPECT_EQ(dialogPlace, (std::array<LONG, 4>{0, 26, 320, 214}));
        EXPECT_GT(pagePlace[2], 300) << "the page follows the tab control";
        EXPECT_EQ(aboutPlace, pagePlace) << "the About page keeps its texts but not its size";
        EXPECT_EQ(Text(AboutPage, IDC_VERSION), L"kept");
        EXPECT_TRUE(PumpUntil([&] { return WindowPlace(tabs)[2] == 242; }, 5000));
    }, DialogEnd::Close);
}

// What MainWindow does around the dialog: a second request only brings it forward; a close of
// the screen during the dialog leaves nothing to apply; Big TrayIcons resizes a shown strip.
TEST_F(SettingsDialog, MainWindowAppliesOnlyToALiveScreenAndRefitsTheStrip)
{
    RunSettingsDialog([&](HWND dialog) {
        HWND plugins = PluginsPage;
        EXPECT_EQ(SendMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0), 1);
        EXPECT_EQ(OpenSettingsDialog(), dialog);
        EXPECT_EQ(PluginsPage, plugins) << "a nested dialog took over the pages";
    }, DialogEnd::Close);

    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    std::vector<DWORD> pixels(256, 0xFF00FF00);
    HICON icon = NimbraIconFromPixels(pixels.data(), 16, 16);
    NIMBRANOTIFYICONDATA record = {sizeof record, NIMBRA_HANDLE32(owner), 1, 0, WM_APP, NIMBRA_HANDLE32(icon), {}};
    ASSERT_EQ(SendMessageW(MainWindow, HM_NOTIFYICON, NIMBRA_NIM_ADD, (LPARAM)&record), 1);
    ASSERT_TRUE(PumpUntil([] { return IconStrip != nullptr; }, 3000));
    const int small = TrayHeight;
    ASSERT_TRUE(RunSettingsDialog([](HWND) { Click(SettingsPage, IDC_BIG_TRAY); }, DialogEnd::Ok));
    ASSERT_GT(TrayHeight, small);
    RECT client, strip;
    GetClientRect(MainWindow, &client);
    GetClientRect(IconStrip, &strip);
    EXPECT_EQ(std::make_pair(strip.bottom, ViewHeight), std::make_pair((LONG)TrayHeight, (int)client.bottom - TrayHeight));

    // The screen closes while the dialog runs (a second start with "quit"): the background the
    // dialog marked is not loaded into the screen's deleted context.
    RunSettingsDialog([](HWND) {
        BackgroundDirty = true;
        PostMessageW(MainWindow, WM_CLOSE, 0, 0);
    }, DialogEnd::ByAction);
    EXPECT_FALSE(IsWindow(MainWindow));
    EXPECT_TRUE(BackgroundDirty) << "the apply sequence ran on the destroyed screen";
    BackgroundDirty = false;
    DestroyWindow(owner);
    DestroyIcon(icon);
}

}  // namespace
