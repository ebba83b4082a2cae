// The settings dialog in-process, opened by MainWindow as a tap-and-hold does: its frame (full
// screen, heading, tabs and pages) before and after a rotation, OK, and what MainWindow
// applies afterwards.
#include "support/dialog.h"
#include "items/notifyicon.h"
#include "look/background.h"
#include "look/scale.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include "tray/tray.h"

namespace {

class SettingsDialog : public ScreenTest {
protected:
    const std::wstring folder = ExeFolder() + L"dialog-test\\", path = folder + SETTINGS_FILE_NAME;

    void SetUp() override
    {
        CreateDirectoryW(folder.c_str(), nullptr);
        CopyText(SettingsPath, path.c_str());
        OpenScreen({L"Dialog Test", L"0::", L"", 0, 1, 0});
    }
    void TearDown() override
    {
        ScreenTest::TearDown();
        DeleteFileW(path.c_str()), RemoveDirectoryW(folder.c_str());
        SettingsPath[0] = 0;
    }
};
class SettingsDialog_Hires : public SettingsDialog {};
class SettingsDialog_Landscape : public SettingsDialog {};

// Where a window lies in the client area of another.
std::array<LONG, 4> PlaceIn(HWND window, HWND parent)
{
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, parent, (POINT *)&r, 2);
    return {r.left, r.top, r.right, r.bottom};
}

// The frame: full screen below the navigation bar, the tabs below the heading, and a page per
// tab that fills their display area, the first on top; no page is ever hidden. (A tab raising
// its page, and OK in the navigation bar, are held end to end.) The tabs and the pages follow
// every size of the dialog; a rotation keeps what the user set on every page.
TEST_F(SettingsDialog, FillsTheScreenWithFourTabbedPagesLaidOutAgainAfterARotation)
{
    EXPECT_TRUE(RunSettingsDialog([&](HWND dialog) {
        EXPECT_EQ(WindowPlace(dialog), (std::array<LONG, 4>{0, 26, 240, 294}));
        // Without the template's caption and frame: the navigation bar carries the title and OK.
        EXPECT_EQ(GetWindowLongW(dialog, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME), 0);
        EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN);
        HWND tabs = GetDlgItem(dialog, IDC_TABS);
        EXPECT_EQ(PlaceIn(tabs, dialog), (std::array<LONG, 4>{-2, 24, 242, 268}));
        RECT area;
        GetClientRect(tabs, &area);
        SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, (LPARAM)&area);
        for (HWND page : {PluginsPage, SettingsPage, SoftKeysPage, AboutPage})
            EXPECT_EQ(PlaceIn(page, tabs), (std::array<LONG, 4>{0, 0, area.right, area.bottom}));
        EXPECT_EQ(GetWindow(tabs, GW_CHILD), PluginsPage) << "the first tab's page lies on top";
        EXPECT_TRUE(IsWindowVisible(PluginsPage) && IsWindowVisible(AboutPage)) << "pages are never hidden";
        EXPECT_EQ(WindowText(GetDlgItem(AboutPage, IDC_VERSION)), L"Ver. 0.4.0");

        SetDlgItemTextW(SettingsPage, IDC_TITLE, L"typed"), SetDlgItemTextW(SoftKeysPage, IDC_KEY_LABEL, L"Mine");
        Click(SettingsPage, IDC_NO_COMMAND_BAR), Click(SoftKeysPage, IDC_LEFT_KEY), Click(SoftKeysPage, IDC_MANILA);
        SetWindowPos(dialog, nullptr, 0, 0, 240, 200, SWP_NOMOVE | SWP_NOZORDER);   // the height alone
        PumpMessages();
        EXPECT_EQ(WindowPlace(tabs)[3], WindowPlace(dialog)[3]) << "the tabs stay at the dialog's bottom";
        ASSERT_TRUE(Rotate(320, 240));
        bool turned = PumpUntil([&] { return WindowPlace(tabs)[2] == 322 && WindowPlace(SettingsPage)[2] > 300; }, 5000);
        std::array<LONG, 4> dialogPlace = WindowPlace(dialog), pagePlace = WindowPlace(SettingsPage), aboutPlace = WindowPlace(AboutPage);
        SendMessageW(PluginsPage, WM_VSCROLL, SB_BOTTOM, 0), Rotate(240, 320);   // turned back scrolled down
        EXPECT_TRUE(turned);
        EXPECT_EQ(WindowText(GetDlgItem(SettingsPage, IDC_TITLE)) + WindowText(GetDlgItem(SoftKeysPage, IDC_KEY_LABEL)) +
                      std::to_wstring(IsDlgButtonChecked(SettingsPage, IDC_NO_COMMAND_BAR) + 2 * IsDlgButtonChecked(SoftKeysPage, IDC_LEFT_KEY) +
                                      4 * IsDlgButtonChecked(SoftKeysPage, IDC_MANILA)), L"typedMine6");
        EXPECT_EQ(dialogPlace, (std::array<LONG, 4>{0, 26, 320, 214}));
        EXPECT_EQ(aboutPlace, pagePlace) << "the About page follows the tab control too";
        EXPECT_TRUE(PumpUntil([&] { return WindowPlace(tabs)[2] == 242 && PlaceIn(GetWindow(PluginsPage, GW_CHILD), PluginsPage)[1] > 0; }, 5000));
    }, DialogEnd::Close));
}

// Whether a control's text fits it in its font: a push button's within its edges, a check box's
// beside the box, a static's and a multiline button's wrapped within its height.
bool TextFits(HWND control)
{
    WCHAR kind[16] = L"";
    GetClassNameW(control, kind, 16);
    LONG style = GetWindowLongW(control, GWL_STYLE), type = style & BS_TYPEMASK;
    bool button = !_wcsicmp(kind, L"Button"), push = button && type <= BS_DEFPUSHBUTTON;
    std::wstring text = WindowText(control);
    if (text.empty() || (!button && _wcsicmp(kind, L"Static"))) return true;
    RECT room, need;
    GetClientRect(control, &room);
    need = room = {room.left + (push ? 2 : button ? ScaleX(16) : 0), 0, room.right - (push ? 2 : 0), room.bottom};
    HDC dc = GetDC(control);
    SelectObject(dc, (HFONT)SendMessageW(control, WM_GETFONT, 0, 0));
    DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | (!button || style & BS_MULTILINE ? DT_WORDBREAK : DT_SINGLELINE));
    ReleaseDC(control, dc);
    return need.right <= room.right && need.bottom <= room.bottom;
}

// Every control of every page lies within the screen and its page (which fills the tabs' display
// area), with its text fitting it, in a dialog font of the device's base units. A page that
// scrolls has a bar, and shows its top controls at the top of its range and its lowest at the
// bottom. The heading: the title in its colour within the band above the line, the line across,
// in a font of the screen's density that goes with the dialog.
void CheckPagesAndHeading(LONG unitX, LONG unitY, std::array<bool, 4> scrolls, LONG fontHeight)
{
    const int width = GetSystemMetrics(SM_CXSCREEN), lineY = ScaleY(23);
    for (const wchar_t *title : {L"Dialog Test", L""}) {
        SCOPED_TRACE(Narrow(title));
        CopyText(AppSettings.Title, title);
        HFONT font = nullptr;
        EXPECT_TRUE(RunSettingsDialog([&](HWND dialog) {
            LOGFONTW face = {};
            GetObjectW(font = TitleFont, sizeof face, &face);
            EXPECT_EQ(std::make_tuple(face.lfHeight, face.lfWeight, std::wstring(face.lfFaceName)),
                      std::make_tuple(fontHeight, 600L, std::wstring(L"Tahoma")));
            UpdateWindow(dialog);
            HDC dc = GetDC(dialog);
            int headingPixels = 0, linePixels = 0;
            for (int x = 0; x < width; x++) {
                linePixels += GetPixel(dc, x, lineY) == RGB(0, 0, 0);
                for (int y = 0; y < lineY; y++) headingPixels += GetPixel(dc, x, y) == RGB(0, 0x58, 0x98);
            }
            ReleaseDC(dialog, dc);
            EXPECT_EQ(linePixels, width);
            EXPECT_EQ(headingPixels > 20, title[0] != 0) << headingPixels;
            if (!title[0]) return;   // the pages once
            HWND pages[] = {PluginsPage, SettingsPage, SoftKeysPage, AboutPage};
            RECT screen = {0, 0, width, GetSystemMetrics(SM_CYSCREEN)}, room, place, units;
            for (int i = 0; i < 4; i++) {
                units = {0, 0, 4, 8};
                MapDialogRect(pages[i], &units);
                GetClientRect(pages[i], &room);   // a scroll bar takes its width off the client area once
                EXPECT_EQ(std::make_tuple(units.right, units.bottom, WindowPlace(pages[i])[2] - WindowPlace(pages[i])[0] - room.right),
                          std::make_tuple(unitX, unitY, scrolls[i] ? GetSystemMetrics(SM_CXVSCROLL) : 0)) << "page " << i;
                for (int end : {SB_TOP, SB_BOTTOM, SB_PAGEUP}) {   // a page up from the end is the top again
                    SendMessageW(pages[i], WM_VSCROLL, end, 0);
                    GetClientRect(pages[i], &room);
                    MapWindowPoints(pages[i], nullptr, (POINT *)&room, 2);
                    IntersectRect(&room, &room, &screen);
                    for (HWND control = GetWindow(pages[i], GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
                        GetWindowRect(control, &place);
                        SCOPED_TRACE(Narrow(WindowText(control)) + " on page " + std::to_string(i));
                        EXPECT_TRUE(place.left >= room.left && place.right <= room.right && TextFits(control));
                        EXPECT_TRUE(end == SB_BOTTOM ? place.bottom <= room.bottom : place.top >= room.top);
                    }
                }
            }
        }, DialogEnd::Ok));
        EXPECT_TRUE(GetObjectType(font) == 0 && !TitleFont) << "the font went with the dialog";
    }
}

TEST_F(SettingsDialog, PagesFitTheScreenAndTheTitleStandsAboveALine) { CheckPagesAndHeading(6, 13, {}, -11); }
TEST_F(SettingsDialog_Hires, PagesAndTitleAreInDoubleSizeFonts) { CheckPagesAndHeading(12, 25, {}, -22); }
TEST_F(SettingsDialog_Landscape, PagesTallerThanTheRoomScroll) { CheckPagesAndHeading(6, 13, {true, false, true, false}, -11); }

// What MainWindow does around the dialog: a second request only brings it forward; Big
// TrayIcons refits a shown strip once it is saved (only OK saves, through the settings file,
// whose own tests hold the format: a file that cannot be written changes nothing); a close of the screen during the dialog (a second start with
// "quit") leaves nothing to apply: the background the dialog marked is not loaded into the
// screen's deleted context.
TEST_F(SettingsDialog, MainWindowAppliesOnlyToALiveScreenAndRefitsTheStrip)
{
    RunSettingsDialog([&](HWND) {
        HWND plugins = PluginsPage;
        EXPECT_EQ(SendMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0), 1);
        EXPECT_EQ(PluginsPage, plugins) << "a nested dialog took over the pages";
    }, DialogEnd::Close);

    NIMBRANOTIFYICONDATA record = {sizeof record, NIMBRA_HANDLE32(MainWindow), 1, 0, WM_APP, NIMBRA_HANDLE32(LoadIconW(nullptr, IDI_APPLICATION)), {}};
    ASSERT_EQ(SendMessageW(MainWindow, HM_NOTIFYICON_MESSAGE, NIMBRA_NIM_ADD, (LPARAM)&record), 1);
    ASSERT_TRUE(PumpUntil([] { return IconStrip != nullptr; }, 3000));
    const int small = TrayHeight;
    const std::wstring blocker = path + L".new";   // a folder where the new file would go
    // Closed, then OK with a file that cannot be written (it applies, and says so once), then OK.
    for (int round = 0; round < 3; round++) {
        if (round == 1) CreateDirectoryW(blocker.c_str(), nullptr);
        std::vector<ShownBox> boxes = BoxesShownBy([&] {
            ASSERT_TRUE(RunSettingsDialog([](HWND) { Click(SettingsPage, IDC_BIG_TRAY); }, round ? DialogEnd::Ok : DialogEnd::Close));
        });
        RemoveDirectoryW(blocker.c_str());
        ASSERT_EQ(std::make_pair(TrayHeight > small, WindowPlace(IconStrip)[1]), std::make_pair(round == 1, (LONG)(320 - TrayHeight))) << round;
        EXPECT_EQ(boxes.size() == 1 && boxes[0].text == L"The settings could not be saved.", round == 1) << boxes.size();
    }
    // Pages closed under the dialog: OK saves nothing they held.
    AppSettings.EnableBackground = 1;
    ASSERT_TRUE(RunSettingsDialog([](HWND) { SendMessageW(PluginsPage, WM_CLOSE, 0, 0), SendMessageW(SettingsPage, WM_CLOSE, 0, 0); }, DialogEnd::Ok));
    EXPECT_EQ(Narrow(AppSettings.Title) + std::to_string(AppSettings.EnableBackground) + std::to_string(AppSettings.DisableCommandBar), "Dialog Test11");
    EXPECT_EQ(std::make_pair(WindowPlace(IconStrip), ViewHeight), std::make_pair(std::array<LONG, 4>{0, 320 - TrayHeight, 240, 320}, 294 - TrayHeight));

    RunSettingsDialog([](HWND) {
        BackgroundDirty = true;
        PostMessageW(MainWindow, WM_CLOSE, 0, 0);
    }, DialogEnd::ByAction);
    EXPECT_FALSE(IsWindow(MainWindow));
    EXPECT_TRUE(BackgroundDirty) << "the apply sequence ran on the destroyed screen";
    BackgroundDirty = false;
}

}  // namespace
