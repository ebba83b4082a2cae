// Keeps the emulated device's screen alive between programs, as the device's shell does.
// Wine closes its virtual desktop about a second after the last program on it ends, and the
// next program gets a new desktop of the configured size: a rotation would be lost and every
// program would wait for a new desktop. This program sits on the desktop with a message-only
// window (invisible to EnumWindows and FindWindow of top-level windows) until its prefix's
// wineserver is stopped, or until "keeper.exe quit" is run.
#include <windows.h>

static const wchar_t ClassName[] = L"NimbraDeviceKeeper";

static LRESULT CALLBACK KeeperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
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
    if (FindWindowExW(HWND_MESSAGE, nullptr, ClassName, nullptr))
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
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}
