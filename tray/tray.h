// The notification icon strip. Globals defined in tray/icontable.cpp.
#pragma once
#include "base/nimbra.h"

extern HWND IconStrip;          // the strip window, null when no icon is registered
extern bool IconStripShown;     // IconStrip exists

LRESULT CALLBACK IconStripProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// HM_NOTIFYICON: add, modify or delete an icon. Answers 1, 0 (with last error) or 2.
LRESULT HandleNotifyIcon(WPARAM operation, LPARAM data);
// Creates, removes or repaints IconStrip for the current table.
void UpdateIconStrip();
