// The Settings page (window title, menu bar, strip icon size), the About page, and the save of
// the values the dialog's pages hold. Like every page, both pass each message on to the default
// window procedure and answer its result.
#include "settings/settingspage.h"
#include "look/scale.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include "settings/settingsfile.h"

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        FitPageToTab(page);
        SetDlgItemTextW(page, IDC_TITLE, AppSettings.Title);
        if (AppSettings.DisableCommandBar) CheckDlgButton(page, IDC_NO_COMMAND_BAR, BST_CHECKED);
        if (AppSettings.BigTray) CheckDlgButton(page, IDC_BIG_TRAY, BST_CHECKED);
    }
    return DefWindowProcW(page, msg, wParam, lParam);
}

INT_PTR CALLBACK AboutPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        FitPageToTab(page);
        SetDlgItemTextW(page, IDC_VERSION, L"Ver. " NIMBRA_VERSION);
    }
    return DefWindowProcW(page, msg, wParam, lParam);
}

static int CheckedFlag(HWND page, int id)
{
    return SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) != 0 ? 1 : 0;
}

// A page that no longer exists (closed under the dialog) gives nothing: its values stay.
bool SaveSettings(HWND pluginsPage, HWND settingsPage)
{
    Settings next = AppSettings;
    if (IsWindow(settingsPage)) {
        // A title is at most 259 characters; the edit box may hold more.
        GetDlgItemTextW(settingsPage, IDC_TITLE, next.Title, TITLE_CAPACITY);
        next.DisableCommandBar = CheckedFlag(settingsPage, IDC_NO_COMMAND_BAR);
        next.BigTray = CheckedFlag(settingsPage, IDC_BIG_TRAY);
    }
    if (IsWindow(pluginsPage)) next.EnableBackground = CheckedFlag(pluginsPage, IDC_USE_BACKGROUND);
    bool stored = StoreSettings(next);
    ComputeTrayMetrics();
    return stored;
}
