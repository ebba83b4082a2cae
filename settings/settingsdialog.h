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
// The program's dialog template id, or null when it cannot be loaded.
LPCDLGTEMPLATEW LoadDialogTemplate(UINT id);
// The device's file chooser over file (capacity characters, the chooser's start); true when a
// file was picked, which is then in file. Browse and "..." both choose through it.
bool ChooseFile(HWND owner, LPCWSTR title, WCHAR *file, DWORD capacity);
