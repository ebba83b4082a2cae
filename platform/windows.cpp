// Top-level windows the device's way: captionless in the work area below the navigation bar,
// the rotation sequence the shell delivers, full-screen bookkeeping, and bringing a window
// (or the system Today screen) to the front.
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"

// Window properties the layer keeps on the program's top-level windows.
static const WCHAR FULL_SCREEN_PROP[] = L"Nimbra.FullScreen";   // SHFullScreen requests | FULL_SCREEN_SEEN
static const WCHAR PREVIOUS_PROC_PROP[] = L"Nimbra.PreviousProc"; // window procedure before the rotation hook
static const WCHAR FITTED_DIALOG_PROP[] = L"Nimbra.FittedDialog"; // SHInitDialog sized it: refit after a rotation
// Set in FULL_SCREEN_PROP beside the request bits, so that a request of 0 is still remembered.
constexpr ULONG_PTR FULL_SCREEN_SEEN = 0x80000000u;
// Class of the system Today screen stand-in (device/): the window the device's desktop is.
static const WCHAR TODAY_SCREEN_CLASS[] = L"DesktopExplorerWindow";

// Every program that makes a window through this layer has its rooted paths on its own drive
// before it runs any code of its own (see files.cpp).
[[maybe_unused]] static const bool RootedPathsAnchored = AnchorRootedPaths();

int ScreenScaled(int length)
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return length * dpi / 96;
}

int NavigationBarHeight()
{
    return ScreenScaled(SHELL_BAR_HEIGHT);
}

void ShellWorkArea(HWND hwnd, RECT *area)
{
    area->left = 0;
    area->top = (SHFullScreenState(hwnd) & SHFS_HIDETASKBAR) ? 0 : NavigationBarHeight();
    area->right = GetSystemMetrics(SM_CXSCREEN);
    area->bottom = GetSystemMetrics(SM_CYSCREEN);
    // The bar's band, not its rectangle: after a rotation the window may be fitted before its
    // bar has moved to the new bottom.
    if (hwnd && IsWindow((HWND)GetPropW(hwnd, MENU_BAR_PROP))) area->bottom -= MenuBarHeight();
}

// ---- Rotation ----------------------------------------------------------------------------
// Wine tells top-level windows about a new screen size with WM_DISPLAYCHANGE only. The device's
// shell sends every top-level window WM_SETTINGCHANGE(SETTINGCHANGE_RESET) from its own
// process, so it arrives after the rotation call returns: the hook posts itself this message
// and sends the settings change when it comes back.
// Registered on the first hooked window; 0 until then (and if registering fails).
static UINT RotatedMessage;

// Fits a window to its work area; a synchronous move, so WM_SIZE arrives before this returns.
static void FitToWorkArea(HWND hwnd, UINT extraFlags)
{
    RECT area;
    ShellWorkArea(hwnd, &area);
    SetWindowPos(hwnd, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | extraFlags);
}

static LRESULT CALLBACK RotationHookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = (WNDPROC)GetPropW(hwnd, PREVIOUS_PROC_PROP);
    if (!previous) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == RotatedMessage && msg != 0) {
        // The shell fits the dialogs it sized itself; the rest fit themselves on the notice.
        if (GetPropW(hwnd, FITTED_DIALOG_PROP)) FitToWorkArea(hwnd, 0);
        SendMessageW(hwnd, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
        return 0;
    }
    if (msg == WM_NCDESTROY) {
        RemovePropW(hwnd, PREVIOUS_PROC_PROP);
        RemovePropW(hwnd, FITTED_DIALOG_PROP);
        if ((WNDPROC)GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == RotationHookProc)
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)previous);
        return CallWindowProcW(previous, hwnd, msg, wParam, lParam);
    }
    if (msg == WM_DISPLAYCHANGE) PostMessageW(hwnd, RotatedMessage, 0, 0);
    return CallWindowProcW(previous, hwnd, msg, wParam, lParam);
}

static void HookRotation(HWND hwnd)
{
    if (!RotatedMessage) RotatedMessage = RegisterWindowMessageW(L"Nimbra.Platform.Rotated");
    if (!RotatedMessage || GetPropW(hwnd, PREVIOUS_PROC_PROP)) return;
    WNDPROC previous = (WNDPROC)GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
    if (!previous || !SetPropW(hwnd, PREVIOUS_PROC_PROP, (HANDLE)previous)) return;
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)RotationHookProc);
}

// ---- Creation ----------------------------------------------------------------------------
HWND PlatformCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                             int x, int y, int width, int height, HWND parent, HMENU menu,
                             HINSTANCE instance, LPVOID param)
{
    // On the device a top-level window that is neither child nor pop-up has no caption and no
    // border; the desktop would give it both. A pop-up is the desktop's captionless kind.
    if (!(style & (WS_CHILD | WS_POPUP))) {
        style = (style & ~(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU)) | WS_POPUP;
        RECT area;
        ShellWorkArea(nullptr, &area);
        if (x == CW_USEDEFAULT) { x = area.left; y = area.top; }
        if (width == CW_USEDEFAULT) { width = area.right - area.left; height = area.bottom - area.top; }
    }
    HWND hwnd = CreateWindowExW(exStyle, className, windowName, style, x, y, width, height,
                                parent, menu, instance, param);
    if (hwnd && !(style & WS_CHILD)) HookRotation(hwnd);
    return hwnd;
}

// ---- Full screen -------------------------------------------------------------------------
BOOL WINAPI SHFullScreen(HWND hwnd, DWORD state)
{
    if (!IsWindow(hwnd)) return FALSE;
    // Each request shows or hides some shell parts; a later request about a part replaces
    // the earlier one about the same part, the rest stays as it was.
    DWORD kept = SHFullScreenState(hwnd);
    static const DWORD pairs[] = {
        SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR,
        SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON,
        SHFS_SHOWSTARTICON | SHFS_HIDESTARTICON,
    };
    for (DWORD pair : pairs)
        if (state & pair) kept &= ~pair;
    return SetPropW(hwnd, FULL_SCREEN_PROP, (HANDLE)(ULONG_PTR)(kept | state | FULL_SCREEN_SEEN));
}

DWORD SHFullScreenState(HWND hwnd)
{
    return hwnd ? (DWORD)((ULONG_PTR)GetPropW(hwnd, FULL_SCREEN_PROP) & ~FULL_SCREEN_SEEN) : 0;
}

BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO *)
{
    // After a rotation the shell fits full-screen windows to the new work area.
    if (wParam == SETTINGCHANGE_RESET && GetPropW(hwnd, FULL_SCREEN_PROP)) FitToWorkArea(hwnd, 0);
    return TRUE;
}

// ---- Full-screen dialogs ------------------------------------------------------------------
// The device's shell shows a full-screen dialog without caption or frame (its title is in the
// navigation bar), fills the work area with it, and fits it again after every rotation.
// Dialogs are not made through PlatformCreateWindowExW, so this gives them the rotation hook.
void FitDialogToWorkArea(HWND dialog)
{
    SetWindowLongW(dialog, GWL_STYLE, GetWindowLongW(dialog, GWL_STYLE) & ~(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU));
    SetWindowLongW(dialog, GWL_EXSTYLE, GetWindowLongW(dialog, GWL_EXSTYLE) & ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE));
    FitToWorkArea(dialog, SWP_FRAMECHANGED);
    HookRotation(dialog);
    SetPropW(dialog, FITTED_DIALOG_PROP, (HANDLE)1);
}

BOOL WINAPI SHHandleWMActivate(HWND, WPARAM, LPARAM, SHACTIVATEINFO *, DWORD)
{
    return TRUE;   // the input panel it keeps track of does not exist here
}

// ---- Foreground --------------------------------------------------------------------------
struct OwnedSearch { HWND owner; };

static BOOL CALLBACK RaiseIfOwned(HWND hwnd, LPARAM lParam)
{
    if (GetWindow(hwnd, GW_OWNER) == (HWND)lParam && IsWindowVisible(hwnd))
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return TRUE;
}

// The window and the windows it owns to the front; the one of them that was active last
// (a dialog, say) gets the focus.
static BOOL BringWithOwned(HWND hwnd)
{
    if (!SetForegroundWindow(hwnd)) return FALSE;
    EnumWindows(RaiseIfOwned, (LPARAM)hwnd);
    HWND popup = GetLastActivePopup(hwnd);
    if (popup && popup != hwnd && IsWindowVisible(popup) && IsWindowEnabled(popup)) SetForegroundWindow(popup);
    return TRUE;
}

BOOL PlatformSetForegroundWindow(HWND hwnd)
{
    bool withOwned = ((ULONG_PTR)hwnd & 1) != 0;
    HWND target = (HWND)((ULONG_PTR)hwnd & ~(ULONG_PTR)1);
    if (target == GetDesktopWindow()) {
        // The device's desktop is the system Today screen. Without its stand-in, giving the
        // foreground to the desktop window leaves no program in front.
        HWND today = FindWindowW(TODAY_SCREEN_CLASS, nullptr);
        if (today) return BringWithOwned(today);
        return SetForegroundWindow(target);
    }
    return withOwned ? BringWithOwned(target) : SetForegroundWindow(target);
}
