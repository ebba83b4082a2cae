// The Plugins page (being written): sized to its tab for now.
#include "settings/pluginspage.h"
#include "settings/settingsdialog.h"

INT_PTR CALLBACK PluginsPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) FitPageToTab(page);
    return DefWindowProcW(page, msg, wParam, lParam);
}

void SavePluginSelection(HWND) {}
void SortPluginRows(HWND) {}
void RenumberOrders(HWND) {}
