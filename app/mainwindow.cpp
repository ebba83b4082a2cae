// MainWindow: the full-screen window that paints the background, holds ItemHost and the
// icon strip, and receives every request from outside. Owns MainWindow, ShellActivateInfo
// and ScreenHeightSeen.
#include "app/mainwindow.h"
#include "app/app.h"
#include "base/bench.h"
#include "items/itemhost.h"
#include "items/items.h"
#include "items/navigation.h"
#include "items/notifyicon.h"
#include "look/background.h"
#include "look/scale.h"
#include "look/theme.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include "settings/settingsfile.h"
#include "softkeys/softkeys.h"
#include "tray/tray.h"

HWND MainWindow;
SHACTIVATEINFO ShellActivateInfo;
int ScreenHeightSeen;

// The settings dialog and the apply sequence after it are one unit: true from the dialog's
// start to the apply's end. A request meanwhile brings the dialog forward while it is open,
// and during the apply (its error box runs a message loop) is carried out once afterwards.
static bool SettingsDialogOpen;
static bool SettingsApplying, SettingsAskedDuringApply;

static LRESULT OnCreate(HWND hwnd)
{
    // The menu bar is made for the window's own handle: MainWindow is not stored yet. Without a
    // bar, also when it cannot be made, the soft keys work through WM_KEYUP from the start.
    if (AppSettings.DisableCommandBar || !CreateMenuBar(hwnd)) ReadSoftKeys();
    BenchNote(BENCH_STEP, "menubar");

    ShellActivateInfo = {};
    ShellActivateInfo.cbSize = sizeof(ShellActivateInfo);
    MainWindow = hwnd;
    // Read now, so that every later change of the screen height (a rotation) reloads.
    ScreenHeightSeen = ScreenCaps(VERTRES);

    if (!CreateBackgroundDC(hwnd)) return -1;
    BackgroundDirty = true;
    if (!LoadBackground()) {
        MessageBoxW(GetDesktopWindow(), L"Failed to load System Today-Watermark!", L"Nimbra",
                    MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND | MB_TOPMOST);
        return -1;
    }
    BenchNote(BENCH_STEP, "background");

    HWND host = CreateWindowExW(0, ITEM_HOST_CLASS, L"", WS_CHILD | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, AppInstance, nullptr);
    return host ? 0 : -1;
}

static void OnDestroy()
{
    if (ItemHost) KillTimer(ItemHost, REFRESH_TIMER);
    UnloadAllItems();
    ReleaseIconStrip();
    if (MenuBar) {
        DestroyWindow(MenuBar);
        MenuBar = nullptr;
    }
    FreeThemeObjects();
    // BackgroundBitmap itself is deleted by the message loop after the quit message.
    FreeBackgroundDC();
    PostQuitMessage(0);
}

static void OnActivate(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case WA_INACTIVE:
        if (ItemHost) KillTimer(ItemHost, REFRESH_TIMER);
        DropSelection();
        break;
    case WA_ACTIVE:
        SHFullScreen(hwnd, SHFS_HIDESIPBUTTON);
        if (ItemHost) SetTimer(ItemHost, REFRESH_TIMER, REFRESH_INTERVAL, nullptr);
        break;
    default:   // a tap activates without re-entering full screen or starting the poll
        break;
    }
    SHHandleWMActivate(hwnd, wParam, lParam, &ShellActivateInfo, 0);
}

static void OnPaint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc) {
        const RECT &r = ps.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, BackgroundDC, r.left, r.top, SRCCOPY);
    }
    EndPaint(hwnd, &ps);
}

static void OnSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    SHHandleWMSettingChange(hwnd, wParam, lParam, &ShellActivateInfo);
    if (wParam == TODAY_REFRESH_CODE) {
        BackgroundDirty = true;
        LoadThemeColors();
        LoadBackground();
        LayoutItems(true);
    }
    int height = ScreenCaps(VERTRES);
    if (height != ScreenHeightSeen) {
        BackgroundDirty = true;
        ScreenHeightSeen = height;
        LoadBackground();
    }
}

static void OnWindowPosChanged(const WINDOWPOS *pos)
{
    bool widthChanged = false;
    if (pos->cx != ClientWidth) {
        ClientWidth = pos->cx;
        ItemWidth = ScrollBarShown ? ClientWidth - ScrollBarWidth : ClientWidth;
        widthChanged = true;
    }
    int viewHeight = IconStripShown ? pos->cy - TrayHeight : pos->cy;
    if (ItemHost) MoveWindow(ItemHost, 0, 0, ClientWidth, viewHeight, TRUE);
    if (IconStrip) MoveWindow(IconStrip, 0, viewHeight, ClientWidth, TrayHeight, TRUE);
    if (ItemHost) {
        UpdateScrollBar(false);
        if (widthChanged) LayoutItems(true);
    }
}

static void OnCommand(WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDOK:   // the navigation bar's OK: the system Today screen comes forward
        SetForegroundWindow((HWND)((ULONG_PTR)GetDesktopWindow() | 1));
        break;
    case IDM_LEFTKEY:
        LaunchSoftKey(true);
        break;
    case IDM_RIGHTKEY:
        LaunchSoftKey(false);
        break;
    default:
        break;
    }
}

static void OnKeyUp(WPARAM key)
{
    // With a menu bar the bar turns the soft keys into commands.
    if (MenuBar) return;
    if (key == VK_F1) LaunchSoftKey(true);
    else if (key == VK_F2) LaunchSoftKey(false);
}

static void OnTimer(HWND hwnd, WPARAM id)
{
    if (id != ICONSTRIP_TIMER) return;
    KillTimer(hwnd, ICONSTRIP_TIMER);   // each start of the timer yields one update
    UpdateIconStrip();
}

// Other processes cannot pass pointers; they send the private messages as WM_COPYDATA whose
// dwData is the message number and whose data is what the pointer would point to.
static LRESULT OnCopyData(const COPYDATASTRUCT *data)
{
    if (!data) return 0;
    if (data->dwData == HM_NOTIFYICON_MESSAGE) return HandleNotifyIconData(data);
    if (data->dwData == HM_UNLOADITEMS) {
        if (data->cbData == 0) return UnloadItemsNamed(nullptr);
        const WCHAR *name = (const WCHAR *)data->lpData;
        size_t units = data->cbData / sizeof(WCHAR);
        // A name is whole UTF-16 units ending in its only terminator; anything else (a name
        // with more after a terminator, say) unloads nothing.
        if (!name || data->cbData % sizeof(WCHAR) || wcsnlen(name, units) != units - 1) return 1;
        return UnloadItemsNamed(name);
    }
    return 0;
}

// The menu bar after the dialog: destroyed when the bar is switched off or the soft keys were
// edited, created when there is none and the bar is on; an existing bar is otherwise kept.
static void ApplyMenuBarSetting()
{
    bool rebuild = AppSettings.DisableCommandBar || SoftKeysEdited;
    if (rebuild && MenuBar) {
        DestroyWindow(MenuBar);
        MenuBar = nullptr;
        SoftKeysEdited = false;
    }
    if (AppSettings.DisableCommandBar) {
        FitMainWindow();
    } else if (!MenuBar) {
        CreateMenuBar(MainWindow);
        FitMainWindow();
    }
}

// Runs the settings dialog from its template; answers when the dialog has ended.
static void RunSettingsDialog()
{
    LPCDLGTEMPLATEW loaded = LoadDialogTemplate(IDD_SETTINGS);
    if (loaded) DialogBoxIndirectParamW(AppInstance, loaded, MainWindow, SettingsDialogProc, 0);
}

static void ApplySettings(int trayHeight)
{
    SetWindowTextW(MainWindow, AppSettings.Title);
    bool backgroundChanged = BackgroundDirty;
    LoadBackground();
    ReadSoftKeys();
    ApplyMenuBarSetting();
    SHFullScreen(MainWindow, SHFS_HIDESIPBUTTON);
    // "Big TrayIcons" changed the strip's height: the strip and ItemHost follow.
    if (TrayHeight != trayHeight) RefitIconStrip();
    ReloadItems();
    if (backgroundChanged) PostMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, TODAY_REFRESH_CODE, 0);
}

void ShowSettingsAndApply()
{
    SettingsDialogOpen = true;
    do {
        SettingsAskedDuringApply = false;
        int trayHeight = TrayHeight;
        RunSettingsDialog();
        // A close request that arrived during the dialog (a second start with "quit") may
        // have destroyed the window: then there is nothing left to apply the settings to.
        if (!IsWindow(MainWindow)) break;
        SettingsApplying = true;
        ApplySettings(trayHeight);
        SettingsApplying = false;
    } while (SettingsAskedDuringApply && IsWindow(MainWindow));
    SettingsDialogOpen = false;
}

static LRESULT OnShowSettings()
{
    if (SettingsApplying) SettingsAskedDuringApply = true;
    if (SettingsDialogOpen) {
        HWND dialog = GetLastActivePopup(MainWindow);
        if (dialog && dialog != MainWindow) SetForegroundWindow(dialog);
        return 1;
    }
    ShowSettingsAndApply();
    return 1;
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        return OnCreate(hwnd);
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_ACTIVATE:
        OnActivate(hwnd, wParam, lParam);
        return 0;
    case WM_PAINT:
        OnPaint(hwnd);
        return 0;
    case WM_CLOSE:
        if (ItemHost) KillTimer(ItemHost, REFRESH_TIMER);
        UnloadAllItems();
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTINGCHANGE:
        OnSettingChange(hwnd, wParam, lParam);
        return 0;
    case WM_WINDOWPOSCHANGED:
        if (lParam) OnWindowPosChanged((const WINDOWPOS *)lParam);
        return 0;
    case WM_KEYDOWN:
        HandleNavigationKey(wParam, lParam);
        return 0;
    case WM_KEYUP:
        OnKeyUp(wParam);
        break;
    case WM_COMMAND:
        OnCommand(wParam);
        return 0;
    case WM_TIMER:
        OnTimer(hwnd, wParam);
        return 0;
    case WM_COPYDATA:
        return OnCopyData((const COPYDATASTRUCT *)lParam);
    case WM_USER - 1:
        return 0;
    case HM_NOTIFYICON_MESSAGE:
        return HandleNotifyIcon(wParam, lParam);
    case HM_UNLOADITEMS:
        return UnloadItemsNamed((LPCWSTR)lParam);
    case HM_RELOADITEMS:
        return ReloadAllItems();
    case HM_SHOWSETTINGS:
        return OnShowSettings();
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
