// Start-up, command words, single instance and the message loop.
// Owns AppInstance, the three paths and the command-word flags; all are written only here,
// before the message loop runs.
#include "app/app.h"
#include "app/mainwindow.h"
#include "base/bench.h"
#include "items/itemhost.h"
#include "items/items.h"
#include "look/background.h"
#include "look/scale.h"
#include "look/theme.h"
#include "settings/settingsfile.h"
#include "softkeys/softkeys.h"
#include "tray/tray.h"
#include <objbase.h>
#include <shlobj.h>

HINSTANCE AppInstance;
WCHAR SettingsPath[MAX_PATH];
WCHAR ShortcutPath[MAX_PATH];
WCHAR QuotedExePath[MAX_PATH + 2];
bool CommandQuit;
bool CommandSettings;
bool CommandBackground;

constexpr DWORD START_LOCK_WAIT = 10000;   // ms a start waits for another one to make its screen

void ParseCommandWords(LPCWSTR commandLine)
{
    if (!commandLine) commandLine = L"";
    CommandQuit = wcsstr(commandLine, L"quit") != nullptr;
    CommandSettings = wcsstr(commandLine, L"settings") != nullptr;
    CommandBackground = wcsstr(commandLine, L"background") != nullptr;
}

bool ComputePaths()
{
    ShortcutPath[0] = 0;
    // The start-up folder is optional: without it the shortcut path lacks its folder.
    SHGetSpecialFolderPathW(GetForegroundWindow(), ShortcutPath, CSIDL_STARTUP, TRUE);
    bool shortcutFits = AppendText(ShortcutPath, L"\\");

    WCHAR module[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    // A name that filled the whole buffer was cut: no path can be made from it.
    if (length == 0 || length >= MAX_PATH) return false;

    CopyText(QuotedExePath, L"\"");
    AppendText(QuotedExePath, module);
    AppendText(QuotedExePath, L"\"");

    CopyText(SettingsPath, module);
    WCHAR *slash = wcsrchr(SettingsPath, L'\\');
    if (slash) {
        *slash = 0;
        shortcutFits = shortcutFits && AppendText(ShortcutPath, slash + 1) && AppendText(ShortcutPath, L"_.lnk");
    }
    // A cut name would be another file: a settings path that does not fit ends the start, and a
    // shortcut path that does not fit is left empty, so that no shortcut is made or deleted.
    if (!shortcutFits) ShortcutPath[0] = 0;
    if (AppendText(SettingsPath, L"\\" SETTINGS_FILE_NAME)) return true;
    SettingsPath[0] = 0;
    return false;
}

static bool RegisterOneClass(HINSTANCE instance, LPCWSTR name, WNDPROC procedure)
{
    UnregisterClassW(name, instance);
    WNDCLASSW wc = {};
    wc.style = CS_PARENTDC;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.lpszClassName = name;
    return RegisterClassW(&wc) != 0;
}

bool RegisterWindowClasses(HINSTANCE instance)
{
    return RegisterOneClass(instance, ITEM_HOST_CLASS, ItemHostProc)
        && RegisterOneClass(instance, ICON_STRIP_CLASS, IconStripProc)
        && RegisterOneClass(instance, MAIN_WINDOW_CLASS, MainWindowProc);
}

bool CreateMainWindow(HINSTANCE instance, int showCommand)
{
    AppInstance = instance;
    SHInitExtraControls();
    BenchNote(BENCH_STEP, "controls");
    if (!RegisterWindowClasses(instance)) return false;

    HWND window = CreateWindowExW(WS_EX_CAPTIONOKBTN, MAIN_WINDOW_CLASS, AppSettings.Title, WS_VISIBLE,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return false;
    BenchNote(BENCH_STEP, "window");

    FitMainWindow();
    ShowWindow(MainWindow, showCommand);
    UpdateWindow(MainWindow);
    ShowWindow(ItemHost, showCommand);
    UpdateWindow(ItemHost);
    BenchNote(BENCH_STEP, "shown");
    return true;
}

// The handle form that brings a window's owned windows to the front with it.
static HWND WithOwnedWindows(HWND window)
{
    return (HWND)((ULONG_PTR)window | 1);
}

void SignalRunningInstance(HWND instance)
{
    if (CommandQuit) {
        // The deactivation stops the instance's poll and drops its selection before it closes.
        PostMessageW(instance, WM_ACTIVATE, WA_INACTIVE, (LPARAM)instance);
        PostMessageW(instance, WM_CLOSE, 0, 0);
    } else if (CommandSettings) {
        SetForegroundWindow(WithOwnedWindows(instance));
        PostMessageW(instance, HM_SHOWSETTINGS, 0, 0);
    } else if (GetForegroundWindow() == instance) {
        SetForegroundWindow(WithOwnedWindows(GetDesktopWindow()));
    } else {
        SetForegroundWindow(WithOwnedWindows(instance));
    }
}

void ShowFatalMessage(LPCWSTR text)
{
    MessageBoxW(GetDesktopWindow(), text, L"Nimbra", MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND | MB_TOPMOST);
}

// Whether a message carries a pointer. The desktop refuses to post most standard ones of that
// kind (measured: WM_NOTIFY and WM_INITDIALOG are let through). From WM_USER up, controls,
// dialogs and the host's own requests take records by address, except the two requests that
// other programs post; a plug-in's windows take its own messages, of which only the host's
// Today messages carry its record. A timer message's lParam is a procedure that dispatching
// calls (measured: also when posted, whatever the address): only a plug-in's code runs so.
static bool CarriesPointer(const MSG &msg)
{
    switch (msg.message) {
    case WM_NOTIFY:
    case WM_INITDIALOG:
    case WM_NCDESTROY:
    case EM_SETWORDBREAKPROC:
    case EM_SETHANDLE:
        return true;
    case WM_TIMER:
        return msg.lParam && !IsPluginAddress(msg.lParam);
    case HM_RELOADITEMS:
    case HM_SHOWSETTINGS:
        return false;
    }
    if (msg.message < WM_USER || msg.message >= WM_APP) return false;
    if (msg.hwnd != ItemHost && IsChild(ItemHost, msg.hwnd))
        return msg.message >= WM_TODAYCUSTOM_CLEARCACHE && msg.message <= WM_TODAYCUSTOM_ACTION;
    return true;
}

// Every message that a loop of this thread (the dialogs' and message boxes' included) takes
// from the queue passes here: posted ones only, as sent messages never are queued. One that
// carries a pointer becomes WM_NULL, unless neither parameter is set (the settings dialog
// posts its pages WM_INITDIALOG so), which every procedure handles.
static LRESULT CALLBACK PostedPointerFilter(int code, WPARAM removal, LPARAM lParam)
{
    MSG *msg = (MSG *)lParam;
    if (code == HC_ACTION && (msg->wParam || msg->lParam) && CarriesPointer(*msg)) msg->message = WM_NULL;
    return CallNextHookEx(nullptr, code, removal, lParam);
}

int RunMessageLoop()
{
    // The thread's own handle is never signalled while it runs: the wait ends only for messages.
    HANDLE self = GetCurrentThread();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                BenchNote(BENCH_STEP, "quit");
                FreeBackgroundBitmap();
                CoUninitialize();
                return 1;
            }
            // No TranslateMessage: the items and the screen work with key messages only.
            DispatchMessageW(&msg);
            if (msg.message == WM_PAINT) BenchNote(BENCH_PAINT, "", (UINT_PTR)msg.hwnd);
            // Between two messages of the outermost loop no plug-in code can be running.
            FreeRetiredLibraries();
        }
        MsgWaitForMultipleObjectsEx(1, &self, INFINITE, 0x7F, 0);
    }
}

// Two starts at once would both find no screen and both make one: from the look for a running
// instance to the screen's creation, a start holds this lock. A start that waited in vain (one
// that hangs holds it) goes on without it; one that ended holding it leaves it to the next.
static HANDLE TakeStartLock()
{
    HANDLE lock = CreateMutexW(nullptr, FALSE, L"NimbraStart");
    if (lock && WaitForSingleObject(lock, START_LOCK_WAIT) == WAIT_TIMEOUT) {
        CloseHandle(lock);
        lock = nullptr;
    }
    return lock;
}

static void ReleaseStartLock(HANDLE lock)
{
    if (!lock) return;
    ReleaseMutex(lock);
    CloseHandle(lock);
}

int NimbraMain(HINSTANCE instance, LPCWSTR commandLine, int showCommand)
{
    BenchNote(BENCH_STEP, "main");
    ParseCommandWords(commandLine);
    if (!ComputePaths()) return -1;
    BenchNote(BENCH_STEP, "paths");

    AppSettings.PluginList[0] = 0;
    LoadSettings();
    ComputeTrayMetrics();
    BenchNote(BENCH_STEP, "settings");

    // The configured title tells instances apart: copies with other titles run side by side.
    HANDLE startLock = TakeStartLock();
    HWND running = FindWindowW(MAIN_WINDOW_CLASS, AppSettings.Title);
    if (running || CommandQuit || CommandSettings) {
        ReleaseStartLock(startLock);
        if (running) SignalRunningInstance(running);
        return 0;
    }

    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (com != S_OK && com != S_FALSE) {
        ReleaseStartLock(startLock);
        return 0;
    }
    BenchNote(BENCH_STEP, "com");
    SetWindowsHookExW(WH_GETMESSAGE, PostedPointerFilter, nullptr, GetCurrentThreadId());

    LoadThemeColors();
    LoadedImagePath[0] = 0;
    BenchNote(BENCH_STEP, "theme");

    bool created = CreateMainWindow(instance, showCommand);
    ReleaseStartLock(startLock);
    if (!created) {
        // A refused creation destroys the window, and its destruction posts the quit message,
        // which would close the box below before the user sees it.
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
        ShowFatalMessage(L"Failed to Initialize Instance!");
        return 0;
    }
    if (CommandBackground) SetForegroundWindow(GetDesktopWindow());

    PluginListChanged = true;
    ReloadItems();
    BenchNote(BENCH_STEP, "items");
    if (ItemCount == 0) PostMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0);

    return RunMessageLoop();
}
