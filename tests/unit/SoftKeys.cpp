// The soft keys and the menu bar, in-process with the real MainWindow: labels and programs
// from the registry, the menu bar under real taps and keys and across a rotation, the menu bar
// after the settings dialog, and starting programs. (The menu-bar template's own buttons give
// way to the soft keys; its empty form is guarded by the settings dialog's tests.)
#include "support/device.h"
#include "support/dialog.h"
#include "items/itemhost.h"
#include "look/scale.h"
#include "res/resource.h"
#include "softkeys/softkeys.h"

namespace {

using Starts = std::vector<std::wstring>;
const std::wstring KEYS = L"Software\\Microsoft\\Today\\Keys\\";
const WCHAR PROVIDER[] = L"System\\ActiveSync\\Engines\\{176F4FFD-F20C-4bd4-BDD7-01D0726C567B}\\Providers\\{0dd8685c-e272-4fcb-9ecf-2ead7ea2497b}";
const WCHAR *const NUMBER = L"(a number)";   // stored as a DWORD, the wrong type for a text
const std::wstring PHONE = L"c:\\windows\\cprog.exe\t", CONTACTS = L"c:\\windows\\poutlook.exe\tcontacts";

void SetValue(HKEY root, const std::wstring &key, const WCHAR *name, const WCHAR *text)   // null deletes
{
    if (!text) RegistryDeleteValue(root, key.c_str(), name);
    else if (text == NUMBER) RegistrySetDWORD(root, key.c_str(), name, 1);
    else RegistrySetString(root, key.c_str(), name, text);
}

TEST(SoftKeys, LabelsAndProgramsComeFromTheRegistryWithTheirFallbacksAndStartSilently)
{
    const std::wstring label31(31, L'L'), label300(300, L'R'), path261 = L"\"" + std::wstring(259, L'p') + L"\"";
    struct Case { const WCHAR *left, *leftOpen, *right, *provider, *leftText, *leftPath, *rightText, *rightPath, *params; } cases[] = {
        {nullptr, nullptr, nullptr, L"Kontakte", L"Phone", L"\\Windows\\cprog.exe", L"Kontakte", L"\\Windows\\poutlook.exe", L"contacts"},
        {L"Dial", path261.c_str(), L"Mail", nullptr, L"Dial", path261.c_str(), L"Mail", L"\\mail.exe", L"-"},
        {label31.c_str(), nullptr, label300.c_str(), NUMBER, label31.c_str(), L"", L"Contacts", L"\\Windows\\poutlook.exe", L"contacts"},
        {NUMBER, L"\\dial.exe", L"", L"Contacts", L"Phone", L"\\Windows\\cprog.exe", L"", L"\\mail.exe", L"-"},   // the device's name
    };
    for (const Case &c : cases) {
        SetValue(HKEY_CURRENT_USER, KEYS + L"112", nullptr, c.left);
        SetValue(HKEY_CURRENT_USER, KEYS + L"112", L"Open", c.leftOpen);
        SetValue(HKEY_CURRENT_USER, KEYS + L"113", nullptr, c.right);
        SetValue(HKEY_CURRENT_USER, KEYS + L"113", L"Open", L"\\mail.exe");
        SetValue(HKEY_LOCAL_MACHINE, PROVIDER, L"Name", c.provider);
        ReadSoftKeys();
        EXPECT_EQ(Starts({LeftKeyText, LeftKeyPath, RightKeyText, RightKeyPath, RightKeyParams ? RightKeyParams : L"-"}),
                  Starts({c.leftText, c.leftPath, c.rightText, c.rightPath, c.params}));
    }
    DeleteRegTree(HKEY_CURRENT_USER, KEYS);
    // Rooted and quoted paths start (text after the quotes is parameters), failures are silent.
    ResetProgramStarts();
    ASSERT_TRUE(SetCurrentDirectoryW(L"Z:\\"));   // a rooted path names the program's drive all the same
    EXPECT_EQ(BoxesShownBy([] {   // a failing start shows no box
        for (const WCHAR *file : {L"\\Windows\\no-such-program.exe", L"", L"\\Windows", L"\"\\Windows\\cprog.exe\" -today"}) {
            SHELLEXECUTEINFO info = {};
            info.cbSize = sizeof info, info.lpFile = file, info.lpParameters = L"a b";
            EXPECT_EQ(ShellExecuteEx(&info) != FALSE, file[0] == L'"') << Narrow(file);
        }
    }).size(), 0u);
    SetCurrentDirectoryW(L"C:\\");
    EXPECT_EQ(ProgramStarts(1), Starts{L"c:\\windows\\cprog.exe\t-today a b"});
    ResetProgramStarts();
}

class SoftKeys_Screen : public ScreenTest {
protected:
    const int Width = GetSystemMetrics(SM_CXSCREEN), Height = GetSystemMetrics(SM_CYSCREEN), Bar = ScaleY(26);
    void Open(int disableCommandBar)   // MainWindow as start-up makes it, in front
    {
        OpenScreen({L"Keys Test", L"", L"", 0, disableCommandBar, 0});
        Started(0);
    }
    // The programs started once count of them have, then closed again with MainWindow and its bar in front.
    static Starts Started(size_t count = 1)
    {
        Starts starts = ProgramStarts(count);
        ResetProgramStarts();
        SetForegroundWindow((HWND)((ULONG_PTR)MainWindow | 1));
        EXPECT_TRUE(PumpUntil([] { return GetForegroundWindow() == MainWindow; }, 3000));
        return starts;
    }
};

TEST_F(SoftKeys_Screen, TapsAndSoftKeysStartTheKeysProgramsOnceAndTheBarsFrameTheWindowAcrossARotation)
{
    Open(false);
    WCHAR labels[2][32] = {};   // the template's buttons give way to the soft keys
    for (int key : {0, 1}) SendMessageW(MenuBar, TB_GETBUTTONTEXTW, key ? IDM_RIGHTKEY : IDM_LEFTKEY, (LPARAM)labels[key]);
    EXPECT_EQ(std::make_tuple(SendMessageW(MenuBar, TB_BUTTONCOUNT, 0, 0), Starts{labels[0], labels[1]}), std::make_tuple((LRESULT)2, Starts{LeftKeyText, RightKeyText}));
    TBBUTTON key = {};
    EXPECT_TRUE(SendMessageW(MenuBar, TB_GETBUTTON, 1, (LPARAM)&key) && !(key.fsStyle & (BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN)))
        << "no bar, or its soft key draws a drop-down arrow";
    EXPECT_FALSE(GetWindowLongW(MenuBar, GWL_EXSTYLE) & WS_EX_TOPMOST);
    Tap(Width / 4, Height - Bar / 2);
    EXPECT_EQ(Started(), Starts{PHONE});
    PressKey(VK_F2);   // the bar presses its button; MainWindow's own key route stays quiet
    EXPECT_EQ(Started(), Starts{CONTACTS});
    LeftKeyPath[0] = 0;   // a key with a label and no program
    Tap(Width / 4, Height - Bar / 2);
    EXPECT_EQ(ProgramStarts(0), Starts{});
    EXPECT_EQ(GetActiveWindow(), MainWindow) << "a tap on the bar took the activation";

    for (SIZE screen : {SIZE{Height, Width}, SIZE{Width, Height}}) {
        ASSERT_TRUE(Rotate(screen.cx, screen.cy));
        EXPECT_TRUE(PumpUntil([&] { return ClientWidth == screen.cx && ViewHeight == screen.cy - 2 * Bar; }, 5000));
        EXPECT_EQ(WindowPlace(MainWindow), (std::array<LONG, 4>{0, Bar, screen.cx, screen.cy - Bar}));
        EXPECT_EQ(WindowPlace(MenuBar), (std::array<LONG, 4>{0, screen.cy - Bar, screen.cx, screen.cy}));
    }
}

TEST_F(SoftKeys_Screen, WithoutABarTheKeysStartTheProgramsAndAfterTheDialogTheBarFollowsTheSettingAndTheEdits)
{
    LeftKeyPath[0] = RightKeyPath[0] = 0;
    Open(true);
    PressKey(VK_F1);
    EXPECT_EQ(Started(), Starts{PHONE});
    PressKey(VK_F2);
    EXPECT_EQ(Started(), Starts{CONTACTS});
    // Each apply starts with the bar the one before left: none at first.
    struct Row { int disable, edited, kept, editedAfter; } rows[] = {
        {0, 1, 0, 1}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}, {1, 1, 0, 1}, {0, 0, 0, 0}, {1, 1, 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "disable " << row.disable << " edited " << row.edited << " bar " << !!MenuBar);
        HWND before = MenuBar;
        AppSettings.DisableCommandBar = row.disable;
        SoftKeysEdited = row.edited, LeftKeyPath[0] = 0;   // the keys are read again after every dialog
        ASSERT_TRUE(RunSettingsDialog([](HWND) {}, DialogEnd::Close));
        // The bar, whether it is the one before, whether a replaced bar lives on, the flag, the window's bottom.
        EXPECT_EQ((std::vector<int>{MenuBar && IsWindow(MenuBar), before && MenuBar == before, before && MenuBar != before && IsWindow(before),
                                    SoftKeysEdited, (int)WindowPlace(MainWindow)[3], LeftKeyPath[0] != 0}),
                  (std::vector<int>{!row.disable, row.kept, 0, row.editedAfter, row.disable ? Height : Height - Bar, 1}));
    }
}

}  // namespace
