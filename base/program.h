// Values that every part of the program shares: the process-wide handles and paths, the
// window classes, the private messages and the timers. The handles and paths are defined in
// app/ and written only there: AppInstance and the paths by start-up (app/startup.cpp),
// MainWindow by its own WM_CREATE (app/mainwindow.cpp).
#pragma once
#include <windows.h>

extern HINSTANCE AppInstance;               // module instance; stored by CreateMainWindow
extern HWND MainWindow;                     // the top-level window; stored in its WM_CREATE
extern WCHAR SettingsPath[MAX_PATH];        // <exe folder>\settings.ini; set by ComputePaths
// <start-up folder>\<exe name>_.lnk; set by ComputePaths. Empty when it does not fit: no shortcut.
extern WCHAR ShortcutPath[MAX_PATH];
extern WCHAR QuotedExePath[MAX_PATH + 2];   // "<exe path>" with quotes; set by ComputePaths

// Window classes.
#define MAIN_WINDOW_CLASS L"NimbraClass"
#define ITEM_HOST_CLASS L"NimbraWorker"
#define ICON_STRIP_CLASS L"NimbraTray"

// Private messages that other programs and the item host send to MainWindow. The strip's icon
// message, HM_NOTIFYICON_MESSAGE (1325), is declared with its record in items/notifyicon.h.
constexpr UINT HM_UNLOADITEMS = WM_USER + 310;   // 1334: let go of one or all item DLLs
constexpr UINT HM_RELOADITEMS = WM_USER + 311;   // 1335: load every item again
constexpr UINT HM_SHOWSETTINGS = 0x8066;         // 32870: run the settings dialog and apply it

// Timers.
constexpr UINT_PTR REFRESH_TIMER = 100;          // on ItemHost: the item height poll
constexpr UINT REFRESH_INTERVAL = 2000;          // ms
constexpr UINT_PTR ICONSTRIP_TIMER = 102;        // on MainWindow: coalesces icon changes
constexpr UINT ICONSTRIP_INTERVAL = 500;         // ms after the last change of a burst
// ms after the first change not shown yet; with the timer's lateness and the painting on a busy
// device, every change shows within 1 s
constexpr UINT ICONSTRIP_LATEST = 800;

// The wParam of WM_SETTINGCHANGE that says the Today screen's settings changed.
constexpr WPARAM TODAY_REFRESH_CODE = 0xF2;
