// The settings file and the in-memory settings. AppSettings is defined in
// settings/settingsfile.cpp; written by LoadSettings, StoreSettings and the settings pages.
#pragma once
#include "base/nimbra.h"

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

#define SETTINGS_FILE_NAME L"settings.ini"

// Reads SettingsPath into AppSettings (Title, Background and EnableBackground reset first).
// The caller recomputes what follows from the values (the strip metrics, the caption).
void LoadSettings();
// Applies one parsed line; looks only at the key's first one or two characters.
void ApplySetting(LPCWSTR key, LPCWSTR value);
// Makes next the settings and writes them to SettingsPath; the old file is replaced only by a
// complete new one. False when the file could not be written whole (the old one stays).
bool StoreSettings(const Settings &next);
