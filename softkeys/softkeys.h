// The menu bar and the two soft keys. Globals defined in softkeys/softkeys.cpp.
#pragma once
#include "base/nimbra.h"

extern HWND MenuBar;               // the menu bar, null when there is none
extern bool SoftKeysEdited;        // the soft-key editor changed the settings

void ReadSoftKeys();
HWND CreateMenuBar(HWND owner);
void LaunchSoftKey(bool left);
// Sizes MainWindow to end at the menu bar, or at the screen bottom when there is none.
void FitMainWindow();
