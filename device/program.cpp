// Stand-in for the device's own programs that the soft keys start, built as cprog.exe (the
// phone) and poutlook.exe (contacts) and installed into C:\Windows. Each start appends one
// line to C:\nimbra-device\starts.txt (UTF-8):
//   PROGRAM PATH <tab> PARAMETERS <tab> FULL COMMAND LINE
// and shows a window with the same, full screen below the navigation bar with the navigation
// bar's OK button (extended style 0x80000000); OK or closing the window ends the program.
#include <windows.h>
#include <string>

static const wchar_t ClassName[] = L"NimbraDeviceProgram";
static const wchar_t RecordPath[] = L"C:\\nimbra-device\\starts.txt";

// The parameters: the command line after the program's own name (quoted or not).
static std::wstring Parameters(const wchar_t *line)
{
    if (*line == L'"') {
        line = wcschr(line + 1, L'"');
        line = line ? line + 1 : L"";
    } else {
        while (*line && *line != L' ' && *line != L'\t') line++;
    }
    while (*line == L' ' || *line == L'\t') line++;
    return line;
}

// Appends one line; several programs may start at once, so a busy file is tried again.
static void Record(const std::wstring &line)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), (int)line.size(), nullptr, 0, nullptr, nullptr);
    std::string text(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), (int)line.size(), &text[0], bytes, nullptr, nullptr);
    for (int attempt = 0; attempt < 50; attempt++) {
        HANDLE file = CreateFileW(RecordPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written;
            WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
            CloseHandle(file);
            return;
        }
        Sleep(20);
    }
}

static LRESULT CALLBACK ProgramProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t *line = GetCommandLineW();
    std::wstring parameters = Parameters(line);
    Record(std::wstring(path) + L"\t" + parameters + L"\t" + line + L"\n");

    const wchar_t *name = wcsrchr(path, L'\\') ? wcsrchr(path, L'\\') + 1 : path;
    std::wstring shown = std::wstring(L"Started: ") + path + L"\nParameters: " + (parameters.empty() ? L"(none)" : parameters) +
                         L"\n\nOK in the navigation bar closes it.";
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ProgramProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = ClassName;
    RegisterClassW(&wc);
    HDC screen = GetDC(nullptr);
    int bar = 26 * GetDeviceCaps(screen, LOGPIXELSY) / 96;
    ReleaseDC(nullptr, screen);
    HWND window = CreateWindowExW(0x80000000, ClassName, name, WS_POPUP | WS_VISIBLE, 0, bar, GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN) - bar, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    RECT r;
    GetClientRect(window, &r);
    CreateWindowExW(0, L"STATIC", shown.c_str(), WS_CHILD | WS_VISIBLE, 4, 4, r.right - 8, r.bottom - 8, window, nullptr,
                    instance, nullptr);
    SetForegroundWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
