// Turns the emulated device's screen: changes the display mode of the Wine virtual desktop.
//   rotate.exe WIDTHxHEIGHT     e.g. rotate.exe 320x240
//   rotate.exe swap             exchanges width and height (portrait <-> landscape)
//   rotate.exe                  prints the current size and the screen's dpi ("240x320 96")
// Prints the screen size after the change as "WIDTHxHEIGHT". Exit code 0 when the screen has
// the asked size, 1 when the change was refused or did not take, 2 for a bad argument.
// Windows of running programs receive WM_DISPLAYCHANGE, as from a real mode change.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#include <cwchar>

static void PrintSize()
{
    printf("%dx%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    fflush(stdout);
}

int wmain(int argc, wchar_t **argv)
{
    _setmode(_fileno(stdout), _O_BINARY);   // plain LF line ends for the scripts that read it
    if (argc < 2) {
        HDC screen = GetDC(nullptr);
        printf("%dx%d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
               GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
        return 0;
    }
    int width = 0, height = 0;
    if (wcscmp(argv[1], L"swap") == 0) {
        width = GetSystemMetrics(SM_CYSCREEN);
        height = GetSystemMetrics(SM_CXSCREEN);
    } else if (swscanf(argv[1], L"%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
        fwprintf(stderr, L"usage: rotate.exe WIDTHxHEIGHT | swap\n");
        return 2;
    }

    DEVMODEW mode = {};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        fwprintf(stderr, L"rotate: cannot read the current display mode\n");
        return 1;
    }
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    LONG result = ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr);
    PrintSize();
    if (result != DISP_CHANGE_SUCCESSFUL) {
        fwprintf(stderr, L"rotate: ChangeDisplaySettingsExW to %dx%d answered %ld\n", width, height, result);
        return 1;
    }
    if (GetSystemMetrics(SM_CXSCREEN) != width || GetSystemMetrics(SM_CYSCREEN) != height) {
        fwprintf(stderr, L"rotate: the screen did not take the size %dx%d\n", width, height);
        return 1;
    }
    return 0;
}
