// ItemHost: the child window of MainWindow that parents every item window.
// Globals defined in items/itemhost.cpp.
#pragma once
#include "base/nimbra.h"

extern HWND ItemHost;          // stored in its WM_CREATE
extern int ClientWidth;        // width of MainWindow's client area; written by MainWindow
extern int ViewHeight;         // height of ItemHost in pixels; written by its WM_SIZE only
extern int ContentHeight;      // height of the stacked items, gaps included
extern bool ScrollBarShown;    // the vertical scroll bar is set up
extern int ScrollBarWidth;     // SM_CXVSCROLL, read before start-up
extern int ItemWidth;          // width of every item window and separator
extern int ScrollPos;          // 1-based scroll position; 0 when not scrolled
// The icon strip below ItemHost, written by the strip's own code (tray/).
extern HWND IconStrip;         // the strip window, null when no icon is registered
extern bool IconStripShown;    // IconStrip exists and ViewHeight leaves TrayHeight rows for it
extern int LastVisibleIcon;    // index of the left-most icon the strip draws; -1 for none
// Private message to IconStrip: post icon wParam's notification with lParam (WM_LBUTTONUP for
// Enter) to its owner, when wParam names a registered icon. Answers 1 when posted.
constexpr UINT HM_ICONACTION = WM_USER + 1;

LRESULT CALLBACK ItemHostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Stacks the item windows; moves only from the first changed height or new window unless forced.
void LayoutItems(bool force);
// Shows or hides the scroll bar as the content fits or not; a bar that stays follows the view.
void UpdateScrollBar(bool force);
// The WM_VSCROLL handler.
void ScrollItems(int request, int thumbPos);
