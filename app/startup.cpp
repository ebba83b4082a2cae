// placeholder, being written
#include "app/app.h"
HINSTANCE AppInstance;
WCHAR SettingsPath[MAX_PATH], ShortcutPath[MAX_PATH], QuotedExePath[MAX_PATH + 2];
bool CommandQuit, CommandSettings, CommandBackground;
int NimbraMain(HINSTANCE, LPCWSTR, int) { return 0; }
