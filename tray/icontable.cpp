// The icon table and IconStrip: owns IconStrip and IconStripShown.
// Icon registration arrives with the icon strip work; until then no icon is accepted.
#include "tray/tray.h"

HWND IconStrip = nullptr;
bool IconStripShown = false;

LRESULT CALLBACK IconStripProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT HandleNotifyIcon(WPARAM operation, LPARAM)
{
    if (operation > 2) return 2;
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}

void UpdateIconStrip() {}
