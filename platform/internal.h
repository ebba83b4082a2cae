// Shared between the desktop stand-ins in platform/ only; the program never includes it.
#pragma once
#include "platform/aygshell.h"
#include "platform/text.h"

// ---- Shell geometry (windows.cpp) -------------------------------------------------------
// A length in 96-dpi units in pixels at the screen's density (read at every call: the layer
// keeps nothing of its own).
int ScreenScaled(int length);
// Height in pixels of the shell's navigation bar at the screen's density.
int NavigationBarHeight();
// Height in pixels of a menu bar: the same band as the navigation bar.
inline int MenuBarHeight() { return NavigationBarHeight(); }
// The area a full-screen window of the program fills: below the navigation bar (from the top
// when the window hid the navigation bar with SHFS_HIDETASKBAR) down to its menu bar, or to
// the screen bottom when it has none.
void ShellWorkArea(HWND hwnd, RECT *area);
// SHInitDialog's full-screen sizing: drops the dialog's caption and frame, fits it to its work
// area at once (it gets WM_SIZE before this returns) and again after every rotation, once the
// rotation call has returned.
void FitDialogToWorkArea(HWND dialog);

// ---- Menu bar (menubar.cpp) -------------------------------------------------------------
// Window property on a window that has a menu bar: the bar's handle.
extern const WCHAR MENU_BAR_PROP[];

// ---- Rooted paths (files.cpp) -----------------------------------------------------------
// Root of the running executable's drive, C:\ or \\server\share\ (a trailing backslash),
// into root (capacity MAX_PATH); empty when unknown or longer.
void ProgramRoot(WCHAR (&root)[MAX_PATH]);
// Makes "\Windows\x" name the drive the running executable lives on; true when it did.
bool AnchorRootedPaths();
