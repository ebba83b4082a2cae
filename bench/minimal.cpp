// The floor for the start-up benchmark: a minimal Win32 program that creates one window where
// Nimbra's MainWindow goes (below the navigation bar, above the menu bar), paints it once and
// then sets the named event NimbraBenchFrame, as the bench build of Nimbra does after its
// first full frame. Closes on WM_CLOSE.
#include <windows.h>

static LRESULT CALLBACK MinimalProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        FillRect(dc, &ps.rcPaint, (HBRUSH)GetStockObject(WHITE_BRUSH));
        EndPaint(hwnd, &ps);
        HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"NimbraBenchFrame");
        if (event) {
            SetEvent(event);
            CloseHandle(event);
        }
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MinimalProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"MinimalBenchClass";
    RegisterClassW(&wc);
    HDC screen = GetDC(nullptr);
    int bar = 26 * GetDeviceCaps(screen, LOGPIXELSY) / 96;
    ReleaseDC(nullptr, screen);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    CreateWindowExW(0, L"MinimalBenchClass", L"Minimal", WS_POPUP | WS_VISIBLE, 0, bar, width,
                    height - 2 * bar, nullptr, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
