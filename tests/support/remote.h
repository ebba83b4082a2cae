// Messages whose lParam points at a record, sent to a window of another process: the record is
// placed in that process's memory, as its own code would pass it, and read back afterwards.
// Used to ask Nimbra's list view and menu bar what they show.
#pragma once
#include "support/testing.h"

// The text of a list view row (column 0).
std::wstring RemoteListText(HWND list, int row);
// A list view row's rectangle in screen coordinates (LVIR_BOUNDS).
RECT RemoteListRowRect(HWND list, int row);
// The text of a toolbar button by its command (the menu bar's soft keys).
std::wstring RemoteButtonText(HWND toolbar, int command);
