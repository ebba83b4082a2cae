// placeholder, being written
#include "app/mainwindow.h"
HWND MainWindow;
SHACTIVATEINFO ShellActivateInfo;
int ScreenHeightSeen, ClientWidth;
LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return DefWindowProcW(hwnd, msg, wParam, lParam); }
void ShowSettingsAndApply() {}
