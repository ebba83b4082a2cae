// Holds the emulated device's screen (the Wine virtual desktop) for the programs that run on it.
// A program that finds no desktop starts one (explorer.exe /desktop) and waits at most 10 s for
// it; if it is not up by then, Wine gives the program a desktop window that belongs to no
// process, and every top-level window the program creates afterwards fails (the call answers
// null, error 1400). The device scripts therefore never let a program start the desktop: they
// start explorer.exe /desktop with this program as its command (explorer runs it once the
// desktop is made), wait until it holds the desktop, and only then start programs.
//   keeper.exe                  holds the desktop until the prefix's wineserver stops, or until
//                               "keeper.exe quit" is run
//   keeper.exe HOLD_FILE        the same; creates HOLD_FILE once it holds the desktop, and when
//                               the file is deleted closes the desktop at once and ends
//   keeper.exe quit             ends the keeper
// Exit code 1 when the desktop has no desktop process behind it or the file cannot be made.
// The keeper sits on the desktop with a message-only window: invisible to EnumWindows and
// FindWindow of top-level windows, it takes no focus and has no place in the z-order.
#include <windows.h>

static const wchar_t ClassName[] = L"NimbraDeviceKeeper";
static const UINT_PTR HOLD_TIMER = 1;
static const UINT HOLD_POLL_MS = 50;

// The hold file of this keeper ("" for none); set once at start.
static const wchar_t *HoldFile = L"";

static bool HoldFileGone()
{
    return GetFileAttributesW(HoldFile) == INVALID_FILE_ATTRIBUTES;
}

// The file is gone: the desktop's programs have ended. Closing the desktop now spares the
// second that Wine waits after the last program before it closes the desktop itself.
static void CloseDesktop(HWND window)
{
    PostMessageW(GetDesktopWindow(), WM_CLOSE, 0, 0);
    DestroyWindow(window);
}

static LRESULT CALLBACK KeeperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == HOLD_TIMER && HoldFileGone()) CloseDesktop(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR command, int)
{
    if (command && lstrcmpiW(command, L"quit") == 0) {
        HWND other = FindWindowExW(HWND_MESSAGE, nullptr, ClassName, nullptr);
        if (other)
            PostMessageW(other, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command && *command) HoldFile = command;
    if (!*HoldFile && FindWindowExW(HWND_MESSAGE, nullptr, ClassName, nullptr))
        return 0;   // one keeper per device is enough

    WNDCLASSW wc = {};
    wc.lpfnWndProc = KeeperProc;
    wc.hInstance = instance;
    wc.lpszClassName = ClassName;
    if (!RegisterClassW(&wc))
        return 1;
    HWND window = CreateWindowExW(0, ClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!window)
        return 1;
    DWORD desktopProcess = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktopProcess);
    if (!desktopProcess)
        return 1;
    if (*HoldFile) {
        HANDLE file = CreateFileW(HoldFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 1;
        CloseHandle(file);
        SetTimer(window, HOLD_TIMER, HOLD_POLL_MS, nullptr);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    if (*HoldFile) DeleteFileW(HoldFile);
    return 0;
}
