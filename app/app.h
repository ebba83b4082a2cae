// The application shell: start-up, command words, window classes and the message loop.
// Globals defined in app/startup.cpp and written only there (at start-up); the handles and
// paths that every layer reads are declared in base/program.h.
#pragma once
#include "base/nimbra.h"

extern bool CommandQuit;                    // "quit" occurs in the command line
extern bool CommandSettings;                // "settings" occurs in the command line
extern bool CommandBackground;              // "background" occurs in the command line

// The whole program: the entry routine's body. Answers the process exit code.
int NimbraMain(HINSTANCE instance, LPCWSTR commandLine, int showCommand);
// Looks for the three command words (case-sensitive substrings).
void ParseCommandWords(LPCWSTR commandLine);
// Fills SettingsPath, ShortcutPath and QuotedExePath; false when the module name is unreadable or
// SettingsPath does not fit. ShortcutPath is left empty when it does not fit: no shortcut then.
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
