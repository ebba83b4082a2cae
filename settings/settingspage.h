// The Settings and About pages of the settings dialog, and the save of the dialog's values.
#pragma once
#include "base/nimbra.h"

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
// Reads the title and the flags from the two pages and writes the settings file; AppSettings
// takes the values only when the file could be written.
void SaveSettings(HWND pluginsPage, HWND settingsPage);
