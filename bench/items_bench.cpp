// Cost of the item layout and of a full repaint of ItemHost with 1, 10 and 30 probe items.
// Run in a device prefix (the probe DLL must be installed):
//   tests/harness/wine-run.sh BUILD portrait BUILD/bin/items_bench.exe
// Prints one line per item count: microseconds per poll tick (nothing changed), per forced
// layout pass, per full repaint of the host and its items, and, where the items overflow the
// screen, per line scroll (one line down or up, repainted).
#include "app/app.h"
#include "app/mainwindow.h"
#include "items/itemhost.h"
#include "items/items.h"
#include "look/background.h"
#include "look/theme.h"
#include "plugins/probe/probe.h"
#include "settings/settingsfile.h"
#include <stdio.h>
#include <string>

static const wchar_t BENCH_ITEM[] = L"NimbraBenchItem";

static double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1e6 / (double)frequency.QuadPart;
}

static void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

template <typename F> static double MicrosecondsPer(int rounds, F step)
{
    double start = Now();
    for (int i = 0; i < rounds; i++) step();
    return (Now() - start) / rounds;
}

int main()
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterWindowClasses(instance);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"ItemsBenchMain";
    RegisterClassW(&wc);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);

    HDC screen = GetDC(nullptr);
    BackgroundDC = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ initial = SelectObject(BackgroundDC, bitmap);
    PatBlt(BackgroundDC, 0, 0, width, height, WHITENESS);
    SeparatorPen = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));

    MainWindow = CreateWindowExW(WS_EX_TOPMOST, L"ItemsBenchMain", L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                 nullptr, nullptr, instance, nullptr);
    CreateWindowExW(0, ITEM_HOST_CLASS, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, height, MainWindow, nullptr,
                    instance, nullptr);
    ClientWidth = ItemWidth = width;
    ViewHeight = height;
    if (!MainWindow || !ItemHost) {
        fprintf(stderr, "no windows\n");
        return 1;
    }

    std::wstring key = std::wstring(TODAY_ITEMS_KEY L"\\") + BENCH_ITEM;
    DWORD type = 4, itemHeight = 24;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Type", REG_DWORD, &type, sizeof type);
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), PROBE_HEIGHT, REG_DWORD, &itemHeight, sizeof itemHeight);
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DLL", REG_SZ, PROBE_DLL_PATH, sizeof PROBE_DLL_PATH);

    int status = 0;
    printf("items  poll_tick_us  forced_pass_us  full_repaint_us  line_scroll_us  content_height\n");
    for (int count : {1, 10, 30}) {
        std::wstring list = std::to_wstring(count) + L"::";
        for (int i = 0; i < count; i++) list += std::wstring(BENCH_ITEM) + L"::";
        CopyText(AppSettings.PluginList, list.c_str());
        PluginListChanged = true;
        ReloadItems();
        KillTimer(ItemHost, REFRESH_TIMER);
        if (!Items[0].hwndCustom) {
            fprintf(stderr, "the probe item did not load from %ls\n", PROBE_DLL_PATH);
            status = 1;
            break;
        }
        Pump();
        double tick = MicrosecondsPer(2000, [] { LayoutItems(false); });
        double forced = MicrosecondsPer(200, [] { LayoutItems(true); Pump(); });
        double repaint = MicrosecondsPer(200, [] {
            RedrawWindow(ItemHost, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        });
        int step = 0;
        double scroll = !ScrollBarShown ? 0 : MicrosecondsPer(200, [&step] {
            ScrollItems(step++ % 2 ? SB_LINEUP : SB_LINEDOWN, 0);
            UpdateWindow(ItemHost);
            Pump();
        });
        printf("%5d  %12.1f  %14.1f  %15.1f  %14.1f  %14d\n", count, tick, forced, repaint, scroll, ContentHeight);
    }

    UnloadAllItems();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    DestroyWindow(MainWindow);
    SelectObject(BackgroundDC, initial);
    DeleteDC(BackgroundDC);
    DeleteObject(bitmap);
    DeleteObject(SeparatorPen);
    return status;
}
