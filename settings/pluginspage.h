// The Plugins page of the settings dialog: which registered Today items Nimbra hosts and in
// which order, the custom background and the start-up shortcut. Its list view is its only state.
#pragma once
#include "base/nimbra.h"

INT_PTR CALLBACK PluginsPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
// Writes every row's "Order" to the registry and rebuilds PluginList from the ticked rows.
void SavePluginSelection(HWND list);
// Sorts the rows by ascending Order, read as a signed number (an insertion sort).
void SortPluginRows(HWND list);
// Makes the rows' Orders rise in steps of at least 2, without moving rows.
void RenumberOrders(HWND list);
