// Waits for a top-level window of a class to appear (or, with --gone, to disappear), so that
// scripts can start a program and act once its window exists.
//   findwindow.exe [--gone] CLASS [TIMEOUT_MS]      (default timeout 10000 ms)
// When found, prints the window's screen rectangle as "LEFT TOP RIGHT BOTTOM" and its caption.
// Exit code 0 when the condition was met, 1 on timeout, 2 for a bad argument.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#include <cwchar>
#include <cwctype>

int wmain(int argc, wchar_t **argv)
{
    _setmode(_fileno(stdout), _O_BINARY);   // plain LF line ends for the scripts that read it
    int arg = 1;
    bool gone = false;
    if (arg < argc && wcscmp(argv[arg], L"--gone") == 0) {
        gone = true;
        ++arg;
    }
    if (arg >= argc) {
        fwprintf(stderr, L"usage: findwindow.exe [--gone] CLASS [TIMEOUT_MS]\n");
        return 2;
    }
    const wchar_t *className = argv[arg++];
    DWORD timeout = 10000;
    if (arg < argc) {
        if (!iswdigit(argv[arg][0])) {
            fwprintf(stderr, L"findwindow: bad timeout %ls\n", argv[arg]);
            return 2;
        }
        timeout = wcstoul(argv[arg], nullptr, 10);
    }

    DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowW(className, nullptr);
        if (gone && !window)
            return 0;
        if (!gone && window && IsWindowVisible(window)) {
            RECT r = {};
            GetWindowRect(window, &r);
            wchar_t caption[256] = L"";
            GetWindowTextW(window, caption, 256);
            char text[1024] = "";
            WideCharToMultiByte(CP_UTF8, 0, caption, -1, text, sizeof text, nullptr, nullptr);
            printf("%ld %ld %ld %ld %s\n", r.left, r.top, r.right, r.bottom, text);
            fflush(stdout);
            return 0;
        }
        if (GetTickCount() - start >= timeout)
            return 1;
        Sleep(50);
    }
}
