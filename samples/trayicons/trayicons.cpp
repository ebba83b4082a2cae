// TrayIcons: a sample program that puts three icons into Nimbra's notification strip from its
// own process, as any program on the device may. It sends the icons' pixels with WM_COPYDATA
// (see items/notifyicon.h), turns the third icon's signal bars every three seconds, shows which
// icon was tapped for two seconds in a small window at the top of the screen, and takes its
// icons away again when it is closed or when Nimbra goes.
//   TrayIcons.exe [title]     title: Nimbra's configured title (default "Start")
//   TrayIcons.exe quit        closes the running sample, which takes its icons away
#include "items/notifyicon.h"
#include <stdio.h>
#include <vector>

namespace {

constexpr UINT WM_ICON_TAPPED = WM_APP + 1;   // our icons' callback message
constexpr UINT_PTR TURN_TIMER = 1, HIDE_TIMER = 2;
constexpr UINT TURN_MS = 3000, HIDE_MS = 2000;
constexpr int SIDE = 16;                       // pixels of our icons
constexpr UINT ICON_COUNT = 3;
const wchar_t *const IconNames[ICON_COUNT] = {L"Battery", L"Mail", L"Signal"};

HWND Nimbra;      // Nimbra's main window
HWND Owner;       // our window: owns the icons, shows the last tap
UINT SignalBars = 2;   // bars the signal icon shows now, 0 to 4
wchar_t Shown[64];

// B, G, R, A pixels of icon id (1 to 3), top row first; straight alpha.
std::vector<DWORD> IconPixels(UINT id)
{
    std::vector<DWORD> pixels(SIDE * SIDE, 0);   // transparent
    for (int y = 0; y < SIDE; y++) {
        for (int x = 0; x < SIDE; x++) {
            DWORD &p = pixels[y * SIDE + x];
            if (id == 1 && x >= 2 && x < 14 && y >= 4 && y < 12)   // a battery, two-thirds full
                p = (x < 10 && y > 4 && y < 11) ? 0xFF20C020 : 0xFF404040;
            if (id == 1 && x >= 14 && x < 15 && y >= 6 && y < 10) p = 0xFF404040;
            if (id == 2 && x >= 1 && x < 15 && y >= 3 && y < 13)   // an envelope
                p = (y - 3 == (x < 8 ? x - 1 : 14 - x) || y == 3 || y == 12 || x == 1 || x == 14) ? 0xFF203080
                                                                                                  : 0xFFF0F0F0;
            if (id == 3) {                                        // signal bars
                UINT bar = (UINT)(x / 4);
                if (x % 4 != 3 && y >= 12 - (int)bar * 3) p = bar < SignalBars ? 0xFF2060E0 : 0x60808080;
            }
        }
    }
    return pixels;
}

// Sends one request; answers the result and the last-error code from the reply's halves.
bool SendIcon(DWORD operation, UINT id, bool withPixels)
{
    NIMBRANOTIFYICONDATA record = {};
    record.cbSize = sizeof record;
    record.hWnd = NIMBRA_HANDLE32(Owner);
    record.uID = id;
    record.uFlags = NIMBRA_NIF_MESSAGE | NIMBRA_NIF_ICON;
    record.uCallbackMessage = WM_ICON_TAPPED;
    std::vector<BYTE> data((const BYTE *)&operation, (const BYTE *)(&operation + 1));
    data.insert(data.end(), (const BYTE *)&record, (const BYTE *)(&record + 1));
    if (withPixels) {
        DWORD size[2] = {SIDE, SIDE};
        std::vector<DWORD> pixels = IconPixels(id);
        data.insert(data.end(), (const BYTE *)size, (const BYTE *)(size + 2));
        data.insert(data.end(), (const BYTE *)pixels.data(), (const BYTE *)(pixels.data() + pixels.size()));
    }
    COPYDATASTRUCT copy = {HM_NOTIFYICON_MESSAGE, (DWORD)data.size(), data.data()};
    DWORD_PTR reply = 0;
    if (!SendMessageTimeoutW(Nimbra, WM_COPYDATA, (WPARAM)Owner, (LPARAM)&copy, SMTO_ABORTIFHUNG, 5000, &reply))
        return false;
    if ((DWORD)reply != 1) {
        fwprintf(stderr, L"TrayIcons: request %lu for icon %u failed: result %lu, error %lu\n", operation, id,
                 (DWORD)reply, (DWORD)((ULONG64)reply >> 32));
        return false;
    }
    return true;
}

void ShowTap(UINT id)
{
    swprintf(Shown, 64, L"Tapped: %ls", id >= 1 && id <= ICON_COUNT ? IconNames[id - 1] : L"?");
    InvalidateRect(Owner, nullptr, TRUE);
    ShowWindow(Owner, SW_SHOWNOACTIVATE);
    SetTimer(Owner, HIDE_TIMER, HIDE_MS, nullptr);
}

void OnTimer(UINT_PTR id)
{
    if (id == HIDE_TIMER) {
        KillTimer(Owner, HIDE_TIMER);
        ShowWindow(Owner, SW_HIDE);
        return;
    }
    if (!IsWindow(Nimbra)) {   // Nimbra went: nothing left to show the icons
        DestroyWindow(Owner);
        return;
    }
    SignalBars = (SignalBars + 1) % 5;
    SendIcon(NIMBRA_NIM_MODIFY, 3, true);
}

void Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, (HBRUSH)GetStockObject(WHITE_BRUSH));
    DrawTextW(dc, Shown, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_ICON_TAPPED:
        if (lParam == WM_LBUTTONUP) ShowTap((UINT)wParam);
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_DESTROY:
        for (UINT id = 1; id <= ICON_COUNT && IsWindow(Nimbra); id++) SendIcon(NIMBRA_NIM_DELETE, id, false);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    const wchar_t *title = commandLine && *commandLine ? commandLine : L"Start";
    if (wcscmp(title, L"quit") == 0) {
        HWND running = FindWindowW(L"NimbraTrayIconsSample", nullptr);
        if (running) PostMessageW(running, WM_CLOSE, 0, 0);
        return 0;
    }
    Nimbra = FindWindowW(L"NimbraClass", title);
    if (!Nimbra) {
        fwprintf(stderr, L"TrayIcons: Nimbra (title \"%ls\") is not running\n", title);
        return 1;
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"NimbraTrayIconsSample";
    RegisterClassW(&wc);
    Owner = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, L"TrayIcons",
                            WS_POPUP | WS_BORDER, 40, 40, 160, 24, nullptr, nullptr, instance, nullptr);
    if (!Owner) return 1;
    for (UINT id = 1; id <= ICON_COUNT; id++) {
        if (!SendIcon(NIMBRA_NIM_ADD, id, true)) {
            DestroyWindow(Owner);
            return 1;
        }
    }
    SetTimer(Owner, TURN_TIMER, TURN_MS, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
