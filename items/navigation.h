// Selection and keyboard navigation. Globals defined in items/navigation.cpp.
#pragma once
#include "base/nimbra.h"

extern int SelectedItem;   // index in Items, ItemCount for the strip, -1 for none
extern int SelectedIcon;   // index in IconTable, -1 for none

// Every WM_KEYDOWN of MainWindow.
void HandleNavigationKey(WPARAM key, LPARAM keyData);
// TODAYM_TOOKSELECTION from an item window.
void HandleTookSelection(HWND itemWindow);
// MainWindow lost activation.
void DropSelection();
