// Dialogs made as children of another window (the pages of a tabbed dialog).
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"

// On the device every window clips its siblings and children. The desktop clips only when the
// styles say so: pages stacked one over the other in a tab control would then paint through
// each other, and the tab control's background would paint over its pages.
HWND PlatformCreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent, DLGPROC proc,
                                        LPARAM param)
{
    HWND dialog = CreateDialogIndirectParamW(instance, dialogTemplate, parent, proc, param);
    if (!dialog || !(GetWindowLongW(dialog, GWL_STYLE) & WS_CHILD)) return dialog;
    SetWindowLongW(dialog, GWL_STYLE, GetWindowLongW(dialog, GWL_STYLE) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    SetWindowLongW(parent, GWL_STYLE, GetWindowLongW(parent, GWL_STYLE) | WS_CLIPCHILDREN);
    return dialog;
}
