// The application shell: start-up, command words, window classes and the message loop.
// Globals defined in app/startup.cpp and written only there (at start-up).
#pragma once
#include "app/nimbra.h"

extern HINSTANCE AppInstance;               // module instance; stored by CreateMainWindow
extern WCHAR SettingsPath[MAX_PATH];        // <exe folder>\settings.ini; set by ComputePaths
extern WCHAR ShortcutPath[MAX_PATH];        // <start-up folder>\<exe name>_.lnk; set by ComputePaths
extern WCHAR QuotedExePath[MAX_PATH + 2];   // "<exe path>" with quotes; set by ComputePaths
extern bool CommandQuit;                    // "quit" occurs in the command line
extern bool CommandSettings;                // "settings" occurs in the command line
extern bool CommandBackground;              // "background" occurs in the command line

// Window classes.
#define MAIN_WINDOW_CLASS L"NimbraClass"
#define ITEM_HOST_CLASS L"NimbraWorker"
#define ICON_STRIP_CLASS L"NimbraTray"

// Private messages that other programs and the item host send to MainWindow.
constexpr UINT HM_NOTIFYICON = WM_USER + 301;    // 1325: register, change or remove a strip icon
constexpr UINT HM_UNLOADITEMS = WM_USER + 310;   // 1334: let go of one or all item DLLs
constexpr UINT HM_RELOADITEMS = WM_USER + 311;   // 1335: load every item again
constexpr UINT HM_SHOWSETTINGS = 0x8066;         // 32870: run the settings dialog and apply it

// Timers.
constexpr UINT_PTR REFRESH_TIMER = 100;          // on ItemHost: the item height poll
constexpr UINT REFRESH_INTERVAL = 2000;          // ms
constexpr UINT_PTR ICONSTRIP_TIMER = 102;        // on MainWindow: coalesces icon changes
constexpr UINT ICONSTRIP_INTERVAL = 500;         // ms

// The wParam of WM_SETTINGCHANGE that says the Today screen's settings changed.
constexpr WPARAM TODAY_REFRESH_CODE = 0xF2;

// The whole program: the entry routine's body. Answers the process exit code.
int NimbraMain(HINSTANCE instance, LPCWSTR commandLine, int showCommand);
// Looks for the three command words (case-sensitive substrings).
void ParseCommandWords(LPCWSTR commandLine);
// Fills SettingsPath, ShortcutPath and QuotedExePath; false when the module name is unreadable.
bool ComputePaths();
// Registers NimbraWorker, NimbraTray and NimbraClass, in this order.
bool RegisterWindowClasses(HINSTANCE instance);
// Creates, fits and shows MainWindow; false when creation failed.
bool CreateMainWindow(HINSTANCE instance, int showCommand);
// Acts on a running instance as the command words ask.
void SignalRunningInstance(HWND instance);
// Runs the message loop until WM_QUIT; then releases the background and COM. Answers 1.
int RunMessageLoop();
// The fatal start-up message box (title "Nimbra", owner the desktop).
void ShowFatalMessage(LPCWSTR text);
