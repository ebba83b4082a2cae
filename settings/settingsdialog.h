// The tabbed settings dialog: its frame and the four pages' handles. The globals are defined in
// settings/settingsdialog.cpp and live while the dialog is open; SettingsDialogProc owns them.
#pragma once
#include "base/nimbra.h"

extern HWND PluginsPage, SettingsPage, SoftKeysPage, AboutPage;
extern HFONT TitleFont;        // the heading's font; null when it could not be made

// The modal dialog's procedure; MainWindow runs it from template IDD_SETTINGS.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// Sizes a page to the display area of the tab control it belongs to; every page calls it
// first in its WM_INITDIALOG.
void FitPageToTab(HWND page);
