// The soft keys and the menu bar, in-process with the real MainWindow: labels and programs
// from the registry, the menu bar under real taps and keys, the menu bar after the settings
// dialog, the fit between the bars across a rotation, and starting programs.
#include "support/device.h"
#include "app/app.h"
#include "items/itemhost.h"
#include "look/background.h"
#include "look/scale.h"
#include "look/theme.h"
#include "settings/settingsfile.h"
#include "softkeys/softkeys.h"
#include "res/resource.h"

namespace {

const WCHAR PROVIDER[] = L"System\\ActiveSync\\Engines\\{176F4FFD-F20C-4bd4-BDD7-01D0726C567B}\\Providers\\"
                         L"{0dd8685c-e272-4fcb-9ecf-2ead7ea2497b}";
const WCHAR *const DWORD_VALUE = L"(dword)";   // stored as a number, the wrong type for a label

// Sets one registry string (DWORD_VALUE: a number); null deletes the value.
void SetValue(HKEY root, const std::wstring &key, const WCHAR *name, const WCHAR *text)
{
    if (!text) RegistryDeleteValue(root, key.c_str(), name);
    else if (text == DWORD_VALUE) RegistrySetDWORD(root, key.c_str(), name, 1);
    else RegistrySetString(root, key.c_str(), name, text);
}

void ExpectRect(HWND window, RECT expected)
{
    RECT r = {};
    GetWindowRect(window, &r);
    EXPECT_TRUE(EqualRect(&r, &expected)) << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

TEST(SoftKeys, LabelsAndProgramsComeFromTheRegistryWithTheirFallbacks)
{
    const std::wstring label31(31, L'L'), label300(300, L'R');
    struct Case {
        const WCHAR *left, *leftOpen, *right, *rightOpen, *provider;
        const WCHAR *leftText, *leftPath, *rightText, *rightPath, *params;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, L"Kontakte",
         L"Phone", L"\\Windows\\cprog.exe", L"Kontakte", L"\\Windows\\poutlook.exe", L"contacts"},
        {L"Dial", L"\\x\\dial.exe", L"Mail", nullptr, nullptr, L"Dial", L"\\x\\dial.exe", L"Mail", L"", nullptr},
        {label31.c_str(), nullptr, label300.c_str(), L"\\y.exe", nullptr,
         label31.c_str(), L"", L"Contacts", L"\\Windows\\poutlook.exe", L"contacts"},
        {DWORD_VALUE, L"\\z.exe", L"", L"\\y.exe", L"Kontakte", L"Phone", L"\\Windows\\cprog.exe", L"", L"\\y.exe", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Narrow(std::wstring(L"left ") + (c.left ? c.left : L"-") + L", right " + (c.right ? c.right : L"-")));
        SetValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Today\\Keys\\112", nullptr, c.left);
        SetValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Today\\Keys\\112", L"Open", c.leftOpen);
        SetValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Today\\Keys\\113", nullptr, c.right);
        SetValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Today\\Keys\\113", L"Open", c.rightOpen);
        SetValue(HKEY_LOCAL_MACHINE, PROVIDER, L"Name", c.provider);
        ReadSoftKeys();
        EXPECT_STREQ(LeftKeyText, c.leftText);
        EXPECT_STREQ(LeftKeyPath, c.leftPath);
        EXPECT_STREQ(RightKeyText, c.rightText);
        EXPECT_STREQ(RightKeyPath, c.rightPath);
        EXPECT_STREQ(RightKeyParams, c.params);
    }
    DeleteRegTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\Today\\Keys");
    SetValue(HKEY_LOCAL_MACHINE, PROVIDER, L"Name", L"Contacts");
    ReadSoftKeys();
}

// Closing a message box that a failing start would show: the test fails instead of hanging.
bool BoxShown;
void CALLBACK CloseBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    HWND box = FindWindowW(L"#32770", nullptr);
    DWORD process = 0;
    if (box) GetWindowThreadProcessId(box, &process);
    if (process != GetCurrentProcessId()) return;
    BoxShown = true;
    PostMessageW(box, WM_CLOSE, 0, 0);
}

TEST(SoftKeys_Launch, RootedAndQuotedPathsStartAndFailuresAreSilent)
{
    ResetProgramStarts();
    CreateDirectoryW(L"C:\\Program Files\\Soft Key Test", nullptr);
    ASSERT_TRUE(CopyFileW(L"C:\\Windows\\cprog.exe", L"C:\\Program Files\\Soft Key Test\\cprog.exe", FALSE));
    // A rooted path names the program's drive, wherever the current directory is.
    ASSERT_TRUE(SetCurrentDirectoryW(L"Z:\\"));
    UINT_PTR timer = SetTimer(nullptr, 0, 500, CloseBoxes);
    BoxShown = false;
    for (const WCHAR *file : {L"\\Windows\\no-such-program.exe", L"", L"\\Windows", L"\"\\Program Files\\Soft Key Test\\cprog.exe\""}) {
        SCOPED_TRACE(Narrow(file));
        SHELLEXECUTEINFO info = {};
        info.cbSize = sizeof info;
        info.lpFile = file;
        info.lpParameters = L"a b";
        EXPECT_EQ(ShellExecuteEx(&info) != FALSE, file[0] == L'"');
        EXPECT_FALSE(BoxShown);
    }
    KillTimer(nullptr, timer);
    SetCurrentDirectoryW(L"C:\\");
    EXPECT_TRUE(PumpUntil([] { return ProgramStarts().size() == 1; }, 10000));
    EXPECT_EQ(ProgramStarts(), std::vector<std::wstring>{L"c:\\program files\\soft key test\\cprog.exe a b"});
    ResetProgramStarts();
}

class SoftKeys_Screen : public testing::Test {
protected:
    // Creates MainWindow as start-up does, with or without the menu bar, and brings it forward.
    void Open(bool disableCommandBar)
    {
        CopyText(AppSettings.Title, L"Soft Keys Test");
        AppSettings.PluginList[0] = 0;
        AppSettings.EnableBackground = 0;
        AppSettings.DisableCommandBar = disableCommandBar;
        LoadThemeColors();
        ASSERT_TRUE(CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOW));
        ToFront();
    }
    // Closes the started programs and brings MainWindow and its bar forward again.
    static void ToFront()
    {
        ResetProgramStarts();
        SetForegroundWindow((HWND)((ULONG_PTR)MainWindow | 1));
        ASSERT_TRUE(PumpUntil([] { return GetForegroundWindow() == MainWindow; }, 3000));
    }
    void TearDown() override
    {
        if (MainWindow) DestroyWindow(MainWindow);
        MainWindow = ItemHost = nullptr;
        DeleteObject(BackgroundBitmap);
        BackgroundBitmap = nullptr;
        AppSettings.DisableCommandBar = 0;
        SoftKeysEdited = false;
        ResetProgramStarts();
    }
    // The starts after a count of them were seen, once no other one followed.
    static std::vector<std::wstring> StartsAfter(size_t count)
    {
        PumpUntil([&] { return ProgramStarts().size() >= count; }, 10000);
        PumpFor(500);
        return ProgramStarts();
    }
    static int Bars()   // menu bars of MainWindow: owned toolbars
    {
        int bars = 0;
        for (HWND w = FindWindowW(TOOLBARCLASSNAMEW, nullptr); w; w = FindWindowExW(nullptr, w, TOOLBARCLASSNAMEW, nullptr))
            bars += GetWindow(w, GW_OWNER) == MainWindow;
        return bars;
    }
};

const std::wstring PHONE = L"c:\\windows\\cprog.exe ", CONTACTS = L"c:\\windows\\poutlook.exe contacts";

TEST_F(SoftKeys_Screen, TapsOnTheMenuBarAndTheSoftKeysStartTheirProgramsOnce)
{
    Open(false);
    ASSERT_TRUE(MenuBar);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN), top = height - ScaleY(26);
    ExpectRect(MenuBar, {0, top, width, height});
    ExpectRect(MainWindow, {0, ScaleY(26), width, top});
    EXPECT_EQ(ViewHeight, top - ScaleY(26));
    EXPECT_EQ(GetWindow(MenuBar, GW_OWNER), MainWindow);
    EXPECT_FALSE(GetWindowLongW(MenuBar, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(SendMessageW(MenuBar, TB_BUTTONCOUNT, 0, 0), 2);
    TBBUTTON key;
    ASSERT_TRUE(SendMessageW(MenuBar, TB_GETBUTTON, 1, (LPARAM)&key));
    EXPECT_EQ(key.fsStyle & (BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN), 0) << "the soft key draws a drop-down arrow";

    Tap(width / 4, top + ScaleY(13));
    EXPECT_EQ(StartsAfter(1), std::vector<std::wstring>{PHONE});
    ToFront();
    Tap(width * 3 / 4, top + ScaleY(13));
    EXPECT_EQ(StartsAfter(1), std::vector<std::wstring>{CONTACTS});
    // With the bar the soft key presses its button; MainWindow's own key route stays quiet.
    ToFront();
    PressKey(VK_F2);
    EXPECT_EQ(StartsAfter(1), std::vector<std::wstring>{CONTACTS});
    // A key with a label but no program starts nothing, and a tap leaves MainWindow active.
    ToFront();
    RegistrySetString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Today\\Keys\\112", nullptr, L"Nothing");
    ReadSoftKeys();
    Tap(width / 4, top + ScaleY(13));
    EXPECT_EQ(StartsAfter(0), std::vector<std::wstring>{});
    EXPECT_EQ(GetActiveWindow(), MainWindow);
    DeleteRegTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\Today\\Keys");
}

class SoftKeys_Hires : public SoftKeys_Screen {};

TEST_F(SoftKeys_Hires, BothBarsAre52PixelsHigh)
{
    Open(false);
    ExpectRect(MenuBar, {0, 640 - 52, 480, 640});
    ExpectRect(MainWindow, {0, 52, 480, 640 - 52});
}

// A menu opened by a tap: its first command is noted and the menu closed by a thread timer,
// which the menu's own message loop runs.
UINT MenuCommand;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD)
{
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (!menu || !IsWindowVisible(menu)) return;
    MenuCommand = GetMenuItemID((HMENU)SendMessageW(menu, MN_GETHMENU, 0, 0), 0);
    EndMenu();
}

TEST(SoftKeys_MenuBar, TheTemplatesButtonsCarryItsLabelsAndItsDropDownOpensItsMenu)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    SHMENUBARINFO info = {sizeof info, owner, 0, IDR_MENUBAR, GetModuleHandleW(nullptr), 0, 0, nullptr, 0};
    ASSERT_TRUE(SHCreateMenuBar(&info));
    WCHAR label[32] = L"";
    SendMessageW(info.hwndMB, TB_GETBUTTONTEXTW, IDM_PHONE, (LPARAM)label);
    EXPECT_STREQ(label, L"Phone");
    SendMessageW(info.hwndMB, TB_GETBUTTONTEXTW, IDM_CONTACTS, (LPARAM)label);
    EXPECT_STREQ(label, L"Contacts");
    MenuCommand = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseMenu);
    Tap(GetSystemMetrics(SM_CXSCREEN) * 3 / 4, GetSystemMetrics(SM_CYSCREEN) - 5);
    EXPECT_TRUE(PumpUntil([] { return MenuCommand != 0; }, 3000));
    EXPECT_EQ(MenuCommand, (UINT)IDM_CONTACTS_ITEM);
    KillTimer(nullptr, timer);
    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(info.hwndMB)) << "the bar outlived its owner";

    info.dwFlags = SHCMBF_EMPTYBAR;
    info.hwndParent = owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(SHCreateMenuBar(&info));
    EXPECT_EQ(SendMessageW(info.hwndMB, TB_BUTTONCOUNT, 0, 0), 0);
    DestroyWindow(owner);
}

TEST_F(SoftKeys_Screen, WithoutAMenuBarTheWindowReachesTheBottomAndTheKeysStartThePrograms)
{
    Open(true);
    EXPECT_EQ(MenuBar, nullptr);
    EXPECT_EQ(Bars(), 0);
    ExpectRect(MainWindow, {0, ScaleY(26), GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    PressKey(VK_F1);
    EXPECT_EQ(StartsAfter(1), std::vector<std::wstring>{PHONE});
    ToFront();
    PressKey(VK_F2);
    EXPECT_EQ(StartsAfter(1), std::vector<std::wstring>{CONTACTS});
}

TEST_F(SoftKeys_Screen, TheMenuBarAfterTheSettingsDialogFollowsTheSettingAndTheEdits)
{
    Open(false);
    int height = GetSystemMetrics(SM_CYSCREEN);
    struct Row { int disable; bool edited, barBefore, barAfter, sameBar, editedAfter; } rows[] = {
        {1, true, true, false, false, false},  {1, true, false, false, false, true},
        {0, true, true, true, false, false},   {0, true, false, true, false, true},
        {0, false, false, true, false, false}, {0, false, true, true, true, false},
        {0, true, true, true, false, false},   {0, true, true, true, false, false}, // edited three times in a row
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "disable " << row.disable << " edited " << row.edited << " bar " << row.barBefore);
        if (!MenuBar && row.barBefore) CreateMenuBar(MainWindow);
        if (MenuBar && !row.barBefore) DestroyWindow(MenuBar), MenuBar = nullptr;
        HWND before = MenuBar;
        AppSettings.DisableCommandBar = row.disable;
        SoftKeysEdited = row.edited;
        SendMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0);
        EXPECT_EQ(MenuBar != nullptr, row.barAfter);
        EXPECT_EQ(Bars(), row.barAfter ? 1 : 0);
        EXPECT_EQ(before && MenuBar == before, row.sameBar);
        EXPECT_EQ(SoftKeysEdited, row.editedAfter);
        RECT window;
        GetWindowRect(MainWindow, &window);
        EXPECT_EQ(window.bottom, row.barAfter ? height - ScaleY(26) : height);
    }
    // After the rebuilds the soft key still presses the bar's button, once.
    PressKey(VK_F1);
    EXPECT_EQ(StartsAfter(1), std::vector<std::wstring>{PHONE});
}

bool Rotate(int width, int height)
{
    DEVMODEW mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) == DISP_CHANGE_SUCCESSFUL;
}

TEST_F(SoftKeys_Screen, ARotationThereAndBackKeepsTheWindowBetweenTheBars)
{
    Open(false);
    int bar = ScaleY(26);
    for (SIZE screen : {SIZE{320, 240}, SIZE{240, 320}}) {
        ASSERT_TRUE(Rotate(screen.cx, screen.cy));
        EXPECT_TRUE(PumpUntil([&] { return ClientWidth == screen.cx && ViewHeight == screen.cy - 2 * bar; }, 5000))
            << "ViewHeight " << ViewHeight;
        ExpectRect(MainWindow, {0, bar, screen.cx, screen.cy - bar});
        ExpectRect(MenuBar, {0, screen.cy - bar, screen.cx, screen.cy});
    }
}

}  // namespace
