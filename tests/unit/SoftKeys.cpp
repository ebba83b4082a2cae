// The soft keys and the menu bar, in-process with the real MainWindow: labels and programs
// from the registry, the menu bar under real taps and keys and across a rotation, the menu bar
// after the settings dialog, and starting programs.
#include "support/device.h"
#include "app/app.h"
#include "items/itemhost.h"
#include "look/background.h"
#include "look/scale.h"
#include "look/theme.h"
#include "res/resource.h"
#include "settings/settingsfile.h"
#include "softkeys/softkeys.h"

namespace {

const WCHAR KEYS[] = L"Software\\Microsoft\\Today\\Keys\\";
const WCHAR PROVIDER[] = L"System\\ActiveSync\\Engines\\{176F4FFD-F20C-4bd4-BDD7-01D0726C567B}\\Providers\\"
                         L"{0dd8685c-e272-4fcb-9ecf-2ead7ea2497b}";
const WCHAR *const NUMBER = L"(a number)";   // stored as a DWORD, the wrong type for a text
const std::wstring PHONE = L"c:\\windows\\cprog.exe\t", CONTACTS = L"c:\\windows\\poutlook.exe\tcontacts";

void SetValue(HKEY root, const std::wstring &key, const WCHAR *name, const WCHAR *text)   // null deletes
{
    if (!text) RegistryDeleteValue(root, key.c_str(), name);
    else if (text == NUMBER) RegistrySetDWORD(root, key.c_str(), name, 1);
    else RegistrySetString(root, key.c_str(), name, text);
}

TEST(SoftKeys, LabelsAndProgramsComeFromTheRegistryWithTheirFallbacks)
{
    const std::wstring label31(31, L'L'), label300(300, L'R');
    struct Case { const WCHAR *left, *leftOpen, *right, *provider, *leftText, *leftPath, *rightText, *rightPath, *params; } cases[] = {
        {nullptr, nullptr, nullptr, L"Kontakte", L"Phone", L"\\Windows\\cprog.exe", L"Kontakte", L"\\Windows\\poutlook.exe", L"contacts"},
        {L"Dial", L"\\dial.exe", L"Mail", nullptr, L"Dial", L"\\dial.exe", L"Mail", L"\\mail.exe", nullptr},
        {label31.c_str(), nullptr, label300.c_str(), NUMBER, label31.c_str(), L"", L"Contacts", L"\\Windows\\poutlook.exe", L"contacts"},
        {NUMBER, L"\\dial.exe", L"", nullptr, L"Phone", L"\\Windows\\cprog.exe", L"", L"\\mail.exe", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Narrow(c.leftText) + " | " + Narrow(c.rightText));
        SetValue(HKEY_CURRENT_USER, KEYS + std::wstring(L"112"), nullptr, c.left);
        SetValue(HKEY_CURRENT_USER, KEYS + std::wstring(L"112"), L"Open", c.leftOpen);
        SetValue(HKEY_CURRENT_USER, KEYS + std::wstring(L"113"), nullptr, c.right);
        SetValue(HKEY_CURRENT_USER, KEYS + std::wstring(L"113"), L"Open", L"\\mail.exe");
        SetValue(HKEY_LOCAL_MACHINE, PROVIDER, L"Name", c.provider);
        ReadSoftKeys();
        EXPECT_EQ(std::vector<std::wstring>({LeftKeyText, LeftKeyPath, RightKeyText, RightKeyPath, RightKeyParams ? RightKeyParams : L"-"}),
                  std::vector<std::wstring>({c.leftText, c.leftPath, c.rightText, c.rightPath, c.params ? c.params : L"-"}));
    }
    DeleteRegTree(HKEY_CURRENT_USER, KEYS);
    SetValue(HKEY_LOCAL_MACHINE, PROVIDER, L"Name", L"Contacts");
}

// Ends a message box that a failing start shows: the test then fails instead of hanging.
bool BoxShown;
void CALLBACK CloseBox(HWND, UINT, UINT_PTR, DWORD)
{
    DWORD process = 0;
    HWND box = FindWindowW(L"#32770", nullptr);
    GetWindowThreadProcessId(box, &process);
    if (box && process == GetCurrentProcessId()) BoxShown = PostMessageW(box, WM_CLOSE, 0, 0);
}

TEST(SoftKeys_Launch, RootedAndQuotedPathsStartAndFailuresAreSilent)
{
    ResetProgramStarts();
    CreateDirectoryW(L"C:\\Program Files\\Soft Key Test", nullptr);
    ASSERT_TRUE(CopyFileW(L"C:\\Windows\\cprog.exe", L"C:\\Program Files\\Soft Key Test\\cprog.exe", FALSE));
    ASSERT_TRUE(SetCurrentDirectoryW(L"Z:\\"));   // a rooted path names the program's drive all the same
    UINT_PTR timer = SetTimer(nullptr, 0, 500, CloseBox);
    for (const WCHAR *file : {L"\\Windows\\no-such-program.exe", L"", L"\\Windows", L"\"\\Program Files\\Soft Key Test\\cprog.exe\""}) {
        SHELLEXECUTEINFO info = {};
        info.cbSize = sizeof info;
        info.lpFile = file;
        info.lpParameters = L"a b";
        EXPECT_EQ(ShellExecuteEx(&info) != FALSE, file[0] == L'"') << Narrow(file);
    }
    KillTimer(nullptr, timer);
    SetCurrentDirectoryW(L"C:\\");
    EXPECT_FALSE(BoxShown);
    EXPECT_TRUE(PumpUntil([] { return ProgramStarts() == std::vector<std::wstring>{L"c:\\program files\\soft key test\\cprog.exe\ta b"}; }, 10000));
    ResetProgramStarts();
}

class SoftKeys_Screen : public testing::Test {
protected:
    void Open(bool disableCommandBar)   // MainWindow as start-up makes it, in front
    {
        CopyText(AppSettings.Title, L"Soft Keys Test");
        AppSettings.PluginList[0] = 0;
        AppSettings.DisableCommandBar = disableCommandBar;
        LoadThemeColors();
        ASSERT_TRUE(CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOW));
        ToFront();
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
        DeleteRegTree(HKEY_CURRENT_USER, KEYS);
    }
    static void ToFront()   // closes the started programs; MainWindow with its bar in front
    {
        ResetProgramStarts();
        SetForegroundWindow((HWND)((ULONG_PTR)MainWindow | 1));
        ASSERT_TRUE(PumpUntil([] { return GetForegroundWindow() == MainWindow; }, 3000));
    }
    static std::vector<std::wstring> StartsAfter(size_t count)   // once no other one followed
    {
        PumpUntil([&] { return ProgramStarts().size() >= count; }, 10000);
        PumpFor(500);
        return ProgramStarts();
    }
    static void ExpectPlace(HWND window, RECT expected)
    {
        RECT r = {};
        GetWindowRect(window, &r);
        EXPECT_TRUE(EqualRect(&r, &expected)) << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
    }
};

TEST_F(SoftKeys_Screen, TapsAndSoftKeysStartTheKeysProgramsOnceAndTheBarsFrameTheWindowAcrossARotation)
{
    Open(false);
    ASSERT_TRUE(MenuBar);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN), bar = ScaleY(26);
    EXPECT_EQ(SendMessageW(MenuBar, TB_BUTTONCOUNT, 0, 0), 2);
    TBBUTTON key;
    ASSERT_TRUE(SendMessageW(MenuBar, TB_GETBUTTON, 1, (LPARAM)&key));
    EXPECT_EQ(key.fsStyle & (BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN), 0) << "the soft key draws a drop-down arrow";
    EXPECT_EQ(GetWindow(MenuBar, GW_OWNER), MainWindow);
    EXPECT_FALSE(GetWindowLongW(MenuBar, GWL_EXSTYLE) & WS_EX_TOPMOST);

    Tap(width / 4, height - bar / 2);
    EXPECT_EQ(StartsAfter(1), std::vector<std::wstring>{PHONE});
    ToFront();
    Tap(width * 3 / 4, height - bar / 2);
    EXPECT_EQ(StartsAfter(1), std::vector<std::wstring>{CONTACTS});
    ToFront();
    PressKey(VK_F2);   // the bar presses its button; MainWindow's own key route stays quiet
    EXPECT_EQ(StartsAfter(1), std::vector<std::wstring>{CONTACTS});
    ToFront();
    RegistrySetString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Today\\Keys\\112", nullptr, L"No program");
    ReadSoftKeys();
    Tap(width / 4, height - bar / 2);
    EXPECT_EQ(StartsAfter(0), std::vector<std::wstring>{});
    EXPECT_EQ(GetActiveWindow(), MainWindow) << "a tap on the bar took the activation";

    for (SIZE screen : {SIZE{height, width}, SIZE{width, height}}) {
        DEVMODEW mode = {};
        mode.dmSize = sizeof mode;
        mode.dmPelsWidth = screen.cx;
        mode.dmPelsHeight = screen.cy;
        mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
        ASSERT_EQ(ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr), DISP_CHANGE_SUCCESSFUL);
        EXPECT_TRUE(PumpUntil([&] { return ClientWidth == screen.cx && ViewHeight == screen.cy - 2 * bar; }, 5000));
        ExpectPlace(MainWindow, {0, bar, screen.cx, screen.cy - bar});
        ExpectPlace(MenuBar, {0, screen.cy - bar, screen.cx, screen.cy});
    }
}

TEST_F(SoftKeys_Screen, WithoutABarTheKeysStartTheProgramsAndAfterTheDialogTheBarFollowsTheSettingAndTheEdits)
{
    LeftKeyPath[0] = RightKeyPath[0] = 0;
    Open(true);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(MenuBar, nullptr);
    ExpectPlace(MainWindow, {0, ScaleY(26), width, height});
    PressKey(VK_F1);
    EXPECT_EQ(StartsAfter(1), std::vector<std::wstring>{PHONE});
    ToFront();
    PressKey(VK_F2);
    EXPECT_EQ(StartsAfter(1), std::vector<std::wstring>{CONTACTS});

    struct Row { int disable; bool edited, barBefore, barAfter, sameBar, editedAfter; } rows[] = {
        {0, true, true, true, false, false},  {0, true, true, true, false, false}, {0, true, true, true, false, false},
        {0, true, false, true, false, true},  {0, false, false, true, false, false}, {0, false, true, true, true, false},
        {1, false, true, false, false, false}, {1, true, true, false, false, false}, {1, true, false, false, false, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "disable " << row.disable << " edited " << row.edited << " bar " << row.barBefore);
        if (!MenuBar && row.barBefore) CreateMenuBar(MainWindow);
        if (MenuBar && !row.barBefore) DestroyWindow(MenuBar), MenuBar = nullptr;
        HWND before = MenuBar;
        AppSettings.DisableCommandBar = row.disable;
        SoftKeysEdited = row.edited;
        SendMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0);
        EXPECT_EQ(MenuBar && IsWindow(MenuBar), row.barAfter);
        EXPECT_EQ(before && MenuBar == before, row.sameBar);
        EXPECT_EQ(before && !row.sameBar && IsWindow(before), false) << "the old bar stays";
        EXPECT_EQ(SoftKeysEdited, row.editedAfter);
        RECT window;
        GetWindowRect(MainWindow, &window);
        EXPECT_EQ(window.bottom, row.barAfter ? height - ScaleY(26) : height);
    }
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

TEST(SoftKeys_MenuBar, TheTemplatesDropDownButtonOpensItsMenuAndAnEmptyBarHasNoButtons)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    SHMENUBARINFO info = {sizeof info, owner, 0, IDR_MENUBAR, GetModuleHandleW(nullptr), 0, 0, nullptr, 0};
    ASSERT_TRUE(SHCreateMenuBar(&info));
    EXPECT_EQ(SendMessageW(info.hwndMB, TB_COMMANDTOINDEX, IDM_CONTACTS, 0), 1);
    UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseMenu);
    Tap(GetSystemMetrics(SM_CXSCREEN) * 3 / 4, GetSystemMetrics(SM_CYSCREEN) - 5);
    EXPECT_TRUE(PumpUntil([] { return MenuCommand == IDM_CONTACTS_ITEM; }, 3000));
    KillTimer(nullptr, timer);
    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(info.hwndMB)) << "the bar outlived its owner";

    info.dwFlags = SHCMBF_EMPTYBAR;
    info.hwndParent = owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(SHCreateMenuBar(&info));
    EXPECT_EQ(SendMessageW(info.hwndMB, TB_BUTTONCOUNT, 0, 0), 0);
    DestroyWindow(owner);
}

}  // namespace
