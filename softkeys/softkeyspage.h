// The Soft Keys page of the settings dialog: edits the soft-key settings of the Today screen
// and of the Manila home screen straight in the registry. It keeps no state of its own.
#pragma once
#include "base/nimbra.h"

INT_PTR CALLBACK SoftKeysPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
// Makes sure root\key\name exists; a newly made key is flushed.
void EnsureSubkey(HKEY root, LPCWSTR key, LPCWSTR name);
