// The menu bar and the two soft keys. Globals defined in softkeys/softkeys.cpp.
#pragma once
#include "app/nimbra.h"

extern HWND MenuBar;               // the menu bar, null when there is none
extern WCHAR LeftKeyText[32];
extern WCHAR LeftKeyPath[MAX_PATH];
extern WCHAR RightKeyText[32];
extern WCHAR RightKeyPath[MAX_PATH];
extern LPCWSTR RightKeyParams;     // L"contacts" or null
extern bool SoftKeysEdited;        // the soft-key editor changed the settings

constexpr UINT IDM_LEFTKEY = 32970;
constexpr UINT IDM_RIGHTKEY = 32971;

void ReadSoftKeys();
HWND CreateMenuBar(HWND owner);
void LaunchSoftKey(bool left);
// Sizes MainWindow to end at the menu bar, or at the screen bottom when there is none.
void FitMainWindow();
