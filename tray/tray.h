// The notification icon strip: the icons other programs and plug-ins register with
// HM_NOTIFYICON, and the IconStrip window that shows them. IconTable and IconCount are defined
// in tray/icontable.cpp and written only there; IconStrip, IconStripShown and LastVisibleIcon
// are layout values (items/itemhost.h), written by this subsystem.
#pragma once
#include "base/nimbra.h"
#include "items/itemhost.h"

// One registered icon, the head of the device's notification record without its size and
// flags fields, which are always 0 here.
struct IconEntry {
    HWND hWnd;               // the owner, to which the icon's message is posted
    UINT uID;                // the owner's id of the icon
    UINT uCallbackMessage;   // posted to hWnd when the icon is tapped
    HICON hIcon;             // drawn in the strip
    bool OwnIcon;            // hIcon is the host's own copy (made from pixels another process
                             // sent) and is destroyed with the entry
};

constexpr UINT MAX_ICONS = 20;
extern IconEntry IconTable[MAX_ICONS];   // registration order; entry 0 is drawn right-most
extern UINT IconCount;                   // entries in use, always the first ones

LRESULT CALLBACK IconStripProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// HM_NOTIFYICON from the own process: add, modify or delete an icon described by the device's
// record at lParam. Answers 1, 0 (with the last-error code set) or 2 for an unknown operation.
LRESULT HandleNotifyIcon(WPARAM operation, LPARAM record);
// HM_NOTIFYICON as WM_COPYDATA from another process (operation, record, optional pixels).
// Answers the result in the low 32 bits and the last-error code set (0 for none) in the high.
LRESULT HandleNotifyIconData(const COPYDATASTRUCT *data);
// Removes the icons whose owners are no windows any more; answers whether there were any.
bool DropOrphanIcons();
// Sets LastVisibleIcon to the left-most icon the strip draws at its width with the current
// table; a selected icon beyond it is no selection.
void UpdateLastVisibleIcon();
// Creates, removes or repaints IconStrip for the current table and gives ItemHost the rest.
void UpdateIconStrip();
// Gives the strip, when it is shown, TrayHeight rows again (after the strip metrics changed);
// ItemHost takes the rest and its scroll bar is set up again.
void RefitIconStrip();
// Destroys IconStrip and every icon the host made itself; the table is emptied.
void ReleaseIconStrip();
