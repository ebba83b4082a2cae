// The menu bar and the soft keys: owns the soft-key state, MenuBar and SoftKeysEdited.
#include "softkeys/softkeys.h"
#include "items/itemhost.h"
#include "look/scale.h"
#include "res/resource.h"

WCHAR LeftKeyText[KEY_TEXT_CHARS];
WCHAR LeftKeyPath[KEY_PATH_CHARS];
WCHAR RightKeyText[KEY_TEXT_CHARS];
WCHAR RightKeyPath[KEY_PATH_CHARS];
const WCHAR *RightKeyParams;
HWND MenuBar = nullptr;
bool SoftKeysEdited = false;

// The device's contacts synchronisation provider; its "Name" labels the default right key.
static const WCHAR CONTACTS_PROVIDER[] = L"System\\ActiveSync\\Engines\\{176F4FFD-F20C-4bd4-BDD7-01D0726C567B}"
                                         L"\\Providers\\{0dd8685c-e272-4fcb-9ecf-2ead7ea2497b}";
// Style of a soft-key button: TBSTYLE_AUTOSIZE with the device's soft-key bit 0x80.
constexpr BYTE SOFT_KEY_STYLE = 0x90;

// One key's label and program; false when the key has no label. A label without a program
// gives an empty path, so that the key starts nothing.
static bool ReadKey(LPCWSTR key, WCHAR *text, WCHAR *path)
{
    if (FAILED(RegistryGetString(HKEY_CURRENT_USER, key, nullptr, text, KEY_TEXT_CHARS))) return false;
    if (FAILED(RegistryGetString(HKEY_CURRENT_USER, key, L"Open", path, KEY_PATH_CHARS))) path[0] = 0;
    return true;
}

void ReadSoftKeys()
{
    if (!ReadKey(TODAY_LEFT_KEY, LeftKeyText, LeftKeyPath)) {
        CopyText(LeftKeyText, L"Phone");
        CopyText(LeftKeyPath, L"\\Windows\\cprog.exe");
    }
    if (ReadKey(TODAY_RIGHT_KEY, RightKeyText, RightKeyPath)) {
        RightKeyParams = nullptr;
        return;
    }
    if (FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, CONTACTS_PROVIDER, L"Name", RightKeyText, KEY_TEXT_CHARS)))
        CopyText(RightKeyText, L"Contacts");
    CopyText(RightKeyPath, L"\\Windows\\poutlook.exe");
    RightKeyParams = L"contacts";
}

HWND CreateMenuBar(HWND owner)
{
    SHMENUBARINFO info = {};
    info.cbSize = sizeof info;
    info.hwndParent = owner;
    info.dwFlags = SHCMBF_HIDESIPBUTTON;
    info.nToolBarId = IDR_MENUBAR;
    info.hInstRes = AppInstance;
    MenuBar = SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
    if (!MenuBar) return nullptr;
    ReadSoftKeys();
    // The template's buttons give way to the soft keys with the labels just read.
    const UINT commands[] = {IDM_LEFTKEY, IDM_RIGHTKEY};
    WCHAR *labels[] = {LeftKeyText, RightKeyText};
    for (int index = 0; index < 2; index++) {
        SendMessageW(MenuBar, TB_DELETEBUTTON, index, 0);
        TBBUTTON button = {I_IMAGENONE, (int)commands[index], TBSTATE_ENABLED, SOFT_KEY_STYLE, {}, 0, (INT_PTR)labels[index]};
        SendMessageW(MenuBar, TB_INSERTBUTTONW, index, (LPARAM)&button);
    }
    return MenuBar;
}

void LaunchSoftKey(bool left)
{
    SHELLEXECUTEINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.nShow = SW_SHOW;
    info.lpFile = left ? LeftKeyPath : RightKeyPath;
    info.lpParameters = left ? nullptr : RightKeyParams;
    // The started program is neither waited for nor tracked; a failure is silent.
    if (ShellExecuteEx(&info) && info.hProcess) CloseHandle(info.hProcess);
}

void FitMainWindow()
{
    RECT window;
    if (!MainWindow || !GetWindowRect(MainWindow, &window)) return;
    int limit;
    RECT bar;
    if (MenuBar && GetWindowRect(MenuBar, &bar)) {
        limit = bar.top;
    } else {
        limit = ScreenCaps(VERTRES);
    }
    if (window.bottom == limit) return;
    MoveWindow(MainWindow, window.left, window.top, window.right - window.left, limit - window.top, FALSE);
}
