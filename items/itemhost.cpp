// placeholder until the item container work lands
#include "items/itemhost.h"
HWND ItemHost;
int ViewHeight, ContentHeight, ItemWidth, ScrollPos;
bool ScrollBarShown;
int ScrollBarWidth = GetSystemMetrics(SM_CXVSCROLL);
LRESULT CALLBACK ItemHostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CREATE) { ItemHost = hwnd; return 0; }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
void LayoutItems(bool) {}
void UpdateScrollBar(bool) {}
void ScrollItems(int, int) {}
