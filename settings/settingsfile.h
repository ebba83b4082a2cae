// The settings file and the in-memory settings. AppSettings is defined in
// settings/settingsfile.cpp; written by LoadSettings, SaveSettings and the settings pages.
#pragma once
#include "app/nimbra.h"

constexpr size_t TITLE_CAPACITY = MAX_PATH;        // characters, terminator included
constexpr size_t BACKGROUND_CAPACITY = MAX_PATH;
constexpr size_t PLUGIN_LIST_CAPACITY = 2048;

struct Settings {
    WCHAR Title[TITLE_CAPACITY];
    WCHAR PluginList[PLUGIN_LIST_CAPACITY];
    WCHAR Background[BACKGROUND_CAPACITY];
    int EnableBackground;
    int DisableCommandBar;
    int BigTray;
};

extern Settings AppSettings;

// Control ids that SaveSettings reads on the settings pages.
constexpr int IDC_USE_BACKGROUND = 1006;   // "Use custom background", on PluginsPage
constexpr int IDC_TITLE = 1007;            // title edit box, on SettingsPage
constexpr int IDC_DISABLE_COMMANDBAR = 1009; // "Disable Command Bar", on SettingsPage
constexpr int IDC_BIG_TRAY = 1010;         // "Big TrayIcons", on SettingsPage

#define SETTINGS_FILE_NAME L"settings.ini"

// Reads SettingsPath into AppSettings (Title, Background and EnableBackground reset first).
void LoadSettings();
// Applies one parsed line; looks only at the key's first one or two characters.
void ApplySetting(LPCWSTR key, LPCWSTR value);
// Writes AppSettings and the pages' controls to SettingsPath.
void SaveSettings(HWND pluginsPage, HWND settingsPage);
