// The menu bar the device's shell makes for a window: a toolbar along the bottom of the
// screen, built from the program's menu-bar resource, whose buttons send their commands to
// the window and which the hardware soft keys press.
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"

const WCHAR MENU_BAR_PROP[] = L"Nimbra.MenuBar";
// On the bar: the menu its drop-down buttons open (the menu resource named by the template).
static const WCHAR BAR_MENU_PROP[] = L"Nimbra.MenuBarMenu";
// On the device bit 0x80 belongs to a soft-key button's style (0x90); the desktop toolbar reads
// it as BTNS_WHOLEDROPDOWN, which sends TBN_DROPDOWN instead of the command and draws an arrow.
constexpr BYTE DEVICE_ONLY_STYLE = 0x80;
// Longest button label read from the string table (characters, terminator included).
constexpr int LABEL_CHARS = 64;

// One button of the menu-bar resource: seven 16-bit words after the menu id and the count.
struct MenuBarButtonRecord {
    WORD image, command, state, style, label, zero, subMenu;
};

// The template's menu id and its button records, which stay in the loaded resource.
static bool ReadMenuBarResource(HINSTANCE instance, UINT id, WORD *menuId, const MenuBarButtonRecord **buttons,
                                UINT *count)
{
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));   // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const WORD *words = loaded ? (const WORD *)LockResource(loaded) : nullptr;
    DWORD size = found ? SizeofResource(instance, found) : 0;
    if (!words || size < 2 * sizeof(WORD) || size < (2 + 7 * (DWORD)words[1]) * sizeof(WORD)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    *menuId = words[0];
    *buttons = (const MenuBarButtonRecord *)(words + 2);
    *count = words[1];
    return true;
}

// Each soft key takes half the screen's width, as on the device.
static void SizeButtons(HWND bar)
{
    int count = (int)SendMessageW(bar, TB_BUTTONCOUNT, 0, 0);
    for (int index = 0; index < count; index++) {
        TBBUTTONINFOW info = {};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_SIZE | TBIF_BYINDEX;
        info.cx = (WORD)(GetSystemMetrics(SM_CXSCREEN) / 2);
        SendMessageW(bar, TB_SETBUTTONINFOW, index, (LPARAM)&info);
    }
}

// Full screen width at the screen's bottom.
static void PlaceBar(HWND bar)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = MenuBarHeight();
    SetWindowPos(bar, nullptr, 0, GetSystemMetrics(SM_CYSCREEN) - height, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(bar, TB_SETBUTTONSIZE, 0, MAKELONG(width / 2, height));
    SizeButtons(bar);
}

// Opens the pop-up menu of a drop-down button above it; its commands go to the owner.
static void OpenButtonMenu(HWND bar, int index, const TBBUTTON &button)
{
    HMENU popup = GetSubMenu((HMENU)GetPropW(bar, BAR_MENU_PROP), (int)button.dwData);
    RECT r;
    if (!popup || !SendMessageW(bar, TB_GETITEMRECT, index, (LPARAM)&r)) return;
    MapWindowPoints(bar, nullptr, (POINT *)&r, 2);
    TrackPopupMenuEx(popup, TPM_LEFTALIGN | TPM_BOTTOMALIGN, r.left, r.top, GetWindow(bar, GW_OWNER), nullptr);
}

// What a tap on the button does: its menu for a drop-down button, else its command.
static void PressButton(HWND bar, int index)
{
    TBBUTTON button;
    if (!SendMessageW(bar, TB_GETBUTTON, index, (LPARAM)&button)) return;
    if (button.fsStyle & BTNS_DROPDOWN) OpenButtonMenu(bar, index, button);
    else SendMessageW(GetWindow(bar, GW_OWNER), WM_COMMAND, MAKEWPARAM(button.idCommand, 0), (LPARAM)bar);
}

// On the owner, ahead of its own procedure (subclass id: the bar): the soft keys press the
// bar's buttons while the owner is active, and a drop-down button's notice opens its menu.
static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR)
{
    HWND bar = (HWND)id;
    if (msg == WM_KEYUP && (wParam == VK_F1 || wParam == VK_F2) && GetActiveWindow() == hwnd)
        PressButton(bar, wParam == VK_F1 ? 0 : 1);
    const NMTOOLBARW *notice = (const NMTOOLBARW *)lParam;
    if (msg == WM_NOTIFY && notice && notice->hdr.hwndFrom == bar && notice->hdr.code == TBN_DROPDOWN) {
        PressButton(bar, (int)SendMessageW(bar, TB_COMMANDTOINDEX, notice->iItem, 0));
        return TBDDRET_DEFAULT;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

static LRESULT CALLBACK BarProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR)
{
    switch (msg) {
    case WM_MOUSEACTIVATE:   // a tap on the bar leaves its owner active
        return MA_NOACTIVATE;
    case WM_ERASEBKGND: {    // a flat toolbar leaves its background to its parent, here the owner
        RECT r;
        GetClientRect(bar, &r);
        FillRect((HDC)wParam, &r, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_DISPLAYCHANGE:   // the screen turned: to the new bottom
        PlaceBar(bar);
        break;
    case TB_INSERTBUTTONW:
    case TB_ADDBUTTONSW: {
        if (!lParam) break;
        // One button at a time, each a copy without the device's style bit.
        UINT count = msg == TB_ADDBUTTONSW ? (UINT)wParam : 1;
        LRESULT added = TRUE;
        for (UINT i = 0; i < count && added; i++) {
            TBBUTTON button = ((const TBBUTTON *)lParam)[i];
            button.fsStyle &= ~DEVICE_ONLY_STYLE;
            added = DefSubclassProc(bar, msg, msg == TB_ADDBUTTONSW ? 1 : wParam, (LPARAM)&button);
        }
        SizeButtons(bar);
        return added;
    }
    case WM_NCDESTROY: {
        HWND owner = GetWindow(bar, GW_OWNER);
        RemoveWindowSubclass(owner, OwnerProc, (UINT_PTR)bar);
        if ((HWND)GetPropW(owner, MENU_BAR_PROP) == bar) RemovePropW(owner, MENU_BAR_PROP);
        HMENU menu = (HMENU)RemovePropW(bar, BAR_MENU_PROP);
        if (menu) DestroyMenu(menu);
        RemoveWindowSubclass(bar, BarProc, id);
        break;
    }
    }
    return DefSubclassProc(bar, msg, wParam, lParam);
}

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO *mbi)
{
    if (!mbi || mbi->cbSize != sizeof *mbi || !IsWindow(mbi->hwndParent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    mbi->hwndMB = nullptr;
    HWND owner = mbi->hwndParent;
    WORD menuId = 0;
    const MenuBarButtonRecord *records = nullptr;
    UINT count = 0;
    if (!(mbi->dwFlags & SHCMBF_EMPTYBAR) &&
        !ReadMenuBarResource(mbi->hInstRes, mbi->nToolBarId, &menuId, &records, &count))
        return FALSE;

    // A pop-up owned by the window: it stays above it and goes behind with it, and is not topmost.
    HWND bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_POPUP | TBSTYLE_FLAT | CCS_NODIVIDER |
                               CCS_NORESIZE | CCS_NOPARENTALIGN, 0, 0, 0, 0, owner, nullptr, mbi->hInstRes, nullptr);
    if (!bar) return FALSE;
    if (!SetWindowSubclass(bar, BarProc, 1, 0) || !SetWindowSubclass(owner, OwnerProc, (UINT_PTR)bar, 0)) {
        DestroyWindow(bar);
        return FALSE;
    }
    SetPropW(owner, MENU_BAR_PROP, bar);
    SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(bar, TB_SETPARENT, (WPARAM)owner, 0);          // commands and notices go to the owner
    SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELONG(0, 0));     // text buttons
    if (menuId) SetPropW(bar, BAR_MENU_PROP, LoadMenuW(mbi->hInstRes, MAKEINTRESOURCEW(menuId)));
    for (UINT i = 0; i < count; i++) {
        const MenuBarButtonRecord &record = records[i];
        WCHAR label[LABEL_CHARS] = L"";
        LoadStringW(mbi->hInstRes, record.label, label, LABEL_CHARS);
        // I_IMAGENONE is stored as 0xFFFE: the image index is a signed 16-bit word.
        TBBUTTON button = {(short)record.image, record.command, (BYTE)record.state, (BYTE)record.style, {}, record.subMenu,
                           (INT_PTR)label};
        SendMessageW(bar, TB_ADDBUTTONSW, 1, (LPARAM)&button);
    }
    PlaceBar(bar);
    ShowWindow(bar, SW_SHOWNOACTIVATE);
    mbi->hwndMB = bar;
    return TRUE;
}
