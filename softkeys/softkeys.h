// The menu bar and the two soft keys. Globals defined in softkeys/softkeys.cpp; the soft-key
// state is written by ReadSoftKeys only.
#pragma once
#include "base/nimbra.h"
#include "look/background.h"

// The system Today screen's soft keys, named after their virtual keys (VK_F1, VK_F2): the
// label in the default value, the program in "Open".
#define TODAY_SOFT_KEYS TODAY_KEY L"\\Keys"
#define TODAY_LEFT_KEY TODAY_SOFT_KEYS L"\\112"
#define TODAY_RIGHT_KEY TODAY_SOFT_KEYS L"\\113"

constexpr size_t KEY_TEXT_CHARS = 32;     // a soft-key label, terminator included
constexpr size_t KEY_PATH_CHARS = MAX_PATH + 2;   // a quoted path of MAX_PATH - 1 characters, as the editor writes it

extern WCHAR LeftKeyText[KEY_TEXT_CHARS];     // label of the left soft key
extern WCHAR LeftKeyPath[KEY_PATH_CHARS];     // program the left key starts; empty: none
extern WCHAR RightKeyText[KEY_TEXT_CHARS];    // label of the right soft key
extern WCHAR RightKeyPath[KEY_PATH_CHARS];    // program the right key starts; empty: none
extern const WCHAR *RightKeyParams;           // "contacts" for the default right program, else null
extern HWND MenuBar;               // the menu bar, null when there is none
extern bool SoftKeysEdited;        // the soft-key editor changed the settings

// Fills the soft-key state from the Today screen's soft-key settings, or the defaults.
void ReadSoftKeys();
// Creates the menu bar for owner with the two soft keys as its buttons; stores and answers it,
// or null when the bar cannot be made.
HWND CreateMenuBar(HWND owner);
// Starts the left (true) or right key's program; never waits for it and reports nothing.
void LaunchSoftKey(bool left);
// Sizes MainWindow to end at the menu bar, or at the screen bottom when there is none.
void FitMainWindow();
