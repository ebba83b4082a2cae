// The tabbed settings dialog.
#pragma once
#include "base/nimbra.h"

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
