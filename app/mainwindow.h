// MainWindow: the program's one top-level window. Globals defined in app/mainwindow.cpp.
#pragma once
#include "app/nimbra.h"

extern HWND MainWindow;                    // stored in WM_CREATE
extern SHACTIVATEINFO ShellActivateInfo;   // the shell's activation record, size 12
extern int ScreenHeightSeen;               // screen height (VERTRES) when last looked at
extern int ClientWidth;                    // width of MainWindow's client area

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The settings dialog and the apply sequence that follows it.
void ShowSettingsAndApply();
