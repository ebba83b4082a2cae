// The menu bar and the soft keys: owns MenuBar and SoftKeysEdited.
// The menu bar and the key programs arrive with the soft-key work; until then there is no
// menu bar and MainWindow reaches the bottom of the screen.
#include "softkeys/softkeys.h"
#include "items/itemhost.h"
#include "look/scale.h"

HWND MenuBar = nullptr;
bool SoftKeysEdited = false;

void ReadSoftKeys() {}

HWND CreateMenuBar(HWND)
{
    MenuBar = nullptr;
    return nullptr;
}

void LaunchSoftKey(bool) {}

void FitMainWindow()
{
    RECT window;
    if (!MainWindow || !GetWindowRect(MainWindow, &window)) return;
    int limit;
    RECT bar;
    if (MenuBar && GetWindowRect(MenuBar, &bar)) {
        limit = bar.top;
    } else {
        limit = ScreenCaps(VERTRES);
    }
    // The strip keeps its rows below ItemHost whether or not the window moves.
    ViewHeight = limit - window.top - (IconStripShown ? TrayHeight : 0);
    if (window.bottom == limit) return;
    MoveWindow(MainWindow, window.left, window.top, window.right - window.left, limit - window.top, FALSE);
}
