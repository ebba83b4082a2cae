// Shared between the desktop stand-ins in platform/ only; the program never includes it.
#pragma once
#include "platform/aygshell.h"
#include "platform/text.h"

// ---- Shell geometry (windows.cpp) -------------------------------------------------------
// Height in pixels of the shell's navigation bar at the screen's density.
int NavigationBarHeight();
// The area a full-screen window of the program fills: below the navigation bar (from the top
// when the window hid the navigation bar with SHFS_HIDETASKBAR) down to the screen bottom.
void ShellWorkArea(HWND hwnd, RECT *area);

// ---- Rooted paths (files.cpp) -----------------------------------------------------------
// Makes "\Windows\x" name the drive the running executable lives on; true when it did.
bool AnchorRootedPaths();
