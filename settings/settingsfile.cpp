// placeholder until the settings file work lands
#include "settings/settingsfile.h"
Settings AppSettings = {L"Start", L"", L"", 0, 0, 0};
void LoadSettings() {}
void ApplySetting(LPCWSTR, LPCWSTR) {}
void SaveSettings(HWND, HWND) {}
