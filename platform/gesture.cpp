// Tap-and-hold recognition: the device follows the stylus, the desktop follows the mouse.
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"

// How long a press must be held still to mean "context menu": the device's hold time.
constexpr DWORD GESTURE_HOLD_MS = 500;

// True when a mouse move to (x, y) has left the drag tolerance around the press.
static bool MovedAway(const POINT &down, LPARAM lParam)
{
    int dx = (short)LOWORD(lParam) - down.x, dy = (short)HIWORD(lParam) - down.y;
    return abs(dx) > GetSystemMetrics(SM_CXDRAG) || abs(dy) > GetSystemMetrics(SM_CYDRAG);
}

// Follows the press that just went down on shrg->hwndClient: GN_CONTEXTMENU when it stays
// down and still for the hold time, 0 when it is released or moved first. Mouse messages of
// the window are read, never dispatched: the release or move that ends the gesture stays
// queued for the window; moves within the tolerance are consumed. Messages sent from other
// threads are handled while waiting; posted ones other than mouse input stay queued.
DWORD WINAPI SHRecognizeGesture(SHRGINFO *shrg)
{
    if (!shrg || shrg->cbSize < sizeof(SHRGINFO) || !IsWindow(shrg->hwndClient)) return 0;
    HWND hwnd = shrg->hwndClient;
    // No press to follow (the button came up before the call): nothing to wait for.
    if (!(GetKeyState(VK_LBUTTON) & 0x8000)) return 0;

    SetCapture(hwnd);
    DWORD start = GetTickCount(), answer = 0;
    for (;;) {
        if (GetCapture() != hwnd) break;                   // another window took the mouse
        MSG msg;
        if (PeekMessageW(&msg, hwnd, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE)) {
            if (msg.message != WM_MOUSEMOVE || MovedAway(shrg->ptDown, msg.lParam)) break;
            PeekMessageW(&msg, hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE);
            continue;
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= GESTURE_HOLD_MS) {
            answer = GN_CONTEXTMENU;
            break;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, GESTURE_HOLD_MS - elapsed, QS_MOUSE | QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
    }
    if (GetCapture() == hwnd) ReleaseCapture();
    return answer;
}
