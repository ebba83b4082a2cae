// MainWindow: the program's one top-level window. Globals defined in app/mainwindow.cpp;
// the MainWindow handle itself is declared in base/program.h.
#pragma once
#include "base/nimbra.h"

extern SHACTIVATEINFO ShellActivateInfo;   // the shell's activation record, size 12
extern int ScreenHeightSeen;               // screen height (VERTRES) when last looked at

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The settings dialog and the apply sequence that follows it.
void ShowSettingsAndApply();
