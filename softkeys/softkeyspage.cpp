// The Soft Keys page (being written): sized to its tab for now.
#include "softkeys/softkeyspage.h"
#include "settings/settingsdialog.h"

INT_PTR CALLBACK SoftKeysPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) FitPageToTab(page);
    return DefWindowProcW(page, msg, wParam, lParam);
}

void EnsureSubkey(HKEY, LPCWSTR, LPCWSTR) {}
