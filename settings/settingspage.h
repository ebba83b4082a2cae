// The Settings and About pages of the settings dialog, and the save of the dialog's values.
#pragma once
#include "base/nimbra.h"

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
// Reads the title and the flags from the two pages into AppSettings and writes the settings
// file; false when the file could not be written.
bool SaveSettings(HWND pluginsPage, HWND settingsPage);
