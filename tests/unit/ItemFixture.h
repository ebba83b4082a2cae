// The item hosting tests' stand-in MainWindow: a topmost screen-sized window with ItemHost as
// its child, a known background and separator pen, and probe items registered for one test.
#pragma once
#include "support/testing.h"
#include "app/app.h"
#include "app/mainwindow.h"
#include "items/itemhost.h"
#include "items/items.h"
#include "items/navigation.h"
#include "look/background.h"
#include "look/scale.h"
#include "look/theme.h"
#include "plugins/probe/probe.h"
#include "settings/settingsfile.h"
#include <algorithm>
#include <initializer_list>
#include <sstream>
#include <utility>

// Every background row has its own colour, so a copy from the wrong row shows.
inline COLORREF BackgroundAt(int y) { return RGB(40, y & 0xFF, 100 + (y >> 8)); }
constexpr COLORREF TEST_SEPARATOR_COLOR = RGB(250, 0, 0);

// HM_SHOWSETTINGS and Today refresh broadcasts the stand-in MainWindow received.
struct MainWindowLog {
    int ShowSettings = 0, TodayRefresh = 0;
};
inline MainWindowLog TestMainLog;

inline LRESULT CALLBACK TestMainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == HM_SHOWSETTINGS) {
        TestMainLog.ShowSettings++;
        return 1;
    }
    if (msg == WM_WININICHANGE && wParam == TODAY_REFRESH_CODE) TestMainLog.TodayRefresh++;
    if (msg == WM_ERASEBKGND) return 1;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class HostTest : public testing::Test {
protected:
    ProbeApi Probe;
    std::vector<std::wstring> Keys;
    HDC SavedDC = nullptr;
    HPEN SavedPen = nullptr, Pen = nullptr;
    HBITMAP Bitmap = nullptr;
    HGDIOBJ OldBitmap = nullptr;
    int ScreenWidth = 0, ScreenHeight = 0;

    void SetUp() override
    {
        ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
        ScreenHeight = GetSystemMetrics(SM_CYSCREEN);
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterWindowClasses(instance));
        WNDCLASSW wc = {};
        wc.lpfnWndProc = TestMainProc;
        wc.hInstance = instance;
        wc.lpszClassName = L"ItemsTestMain";
        RegisterClassW(&wc);
        TestMainLog = {};

        // Background: one colour per row; the separator pen: a colour no row has.
        SavedDC = BackgroundDC;
        SavedPen = SeparatorPen;
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = ScreenWidth, bi.bmiHeader.biHeight = -ScreenHeight;
        bi.bmiHeader.biPlanes = 1, bi.bmiHeader.biBitCount = 32;
        DWORD *bits = nullptr;
        Bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, (void **)&bits, nullptr, 0);
        ASSERT_TRUE(Bitmap);
        for (int y = 0; y < ScreenHeight; y++) {
            COLORREF c = BackgroundAt(y);
            std::fill_n(bits + y * ScreenWidth, ScreenWidth, GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
        }
        BackgroundDC = CreateCompatibleDC(nullptr);
        OldBitmap = SelectObject(BackgroundDC, Bitmap);
        SeparatorPen = Pen = CreatePen(PS_SOLID, ScaleY(1), TEST_SEPARATOR_COLOR);

        MainWindow = CreateWindowExW(WS_EX_TOPMOST, L"ItemsTestMain", L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                     ScreenWidth, ScreenHeight, nullptr, nullptr, instance, nullptr);
        ASSERT_TRUE(MainWindow);
        ItemHost = nullptr;
        ASSERT_TRUE(CreateWindowExW(0, ITEM_HOST_CLASS, L"", WS_CHILD | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, MainWindow, nullptr, instance, nullptr));
        ASSERT_TRUE(ItemHost);
        // What MainWindow's first WM_WINDOWPOSCHANGED does.
        ItemWidth = ClientWidth = ScreenWidth;
        ViewHeight = ScreenHeight;
        ContentHeight = 0;
        ScrollBarShown = false;
        ScrollPos = 0;
        MoveWindow(ItemHost, 0, 0, ClientWidth, ViewHeight, TRUE);
        UnloadAllItems();
        PluginListChanged = false;
        ASSERT_TRUE(Probe.Load()) << "the probe item DLL is not installed at " << Narrow(PROBE_DLL_PATH);
        Probe.ClearLog();
    }

    void TearDown() override
    {
        if (ItemHost) KillTimer(ItemHost, REFRESH_TIMER);
        UnloadAllItems();
        if (MainWindow) DestroyWindow(MainWindow);
        MainWindow = ItemHost = nullptr;
        for (const std::wstring &key : Keys) DeleteRegTree(HKEY_LOCAL_MACHINE, key);
        Probe.Unload();
        if (BackgroundDC != SavedDC) {
            SelectObject(BackgroundDC, OldBitmap);
            DeleteDC(BackgroundDC);
        }
        BackgroundDC = SavedDC;
        SeparatorPen = SavedPen;
        if (Pen) DeleteObject(Pen);
        if (Bitmap) DeleteObject(Bitmap);
        PumpMessages();
    }

    static std::wstring KeyOf(const wchar_t *name) { return std::wstring(TODAY_ITEMS_KEY L"\\") + name; }

    // Registers a probe item: "DLL" = the probe, "Type" 4, then the given DWORD values.
    void AddItem(const wchar_t *name, std::initializer_list<std::pair<const wchar_t *, DWORD>> values = {},
                 const wchar_t *dll = PROBE_DLL_PATH)
    {
        Keys.push_back(KeyOf(name));
        DeleteRegTree(HKEY_LOCAL_MACHINE, Keys.back());
        SetValue(name, L"Type", 4);
        if (dll)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, Keys.back().c_str(), L"DLL", REG_SZ, dll, (DWORD)(wcslen(dll) + 1) * sizeof(WCHAR));
        for (const auto &value : values) SetValue(name, value.first, value.second);
    }
    void SetValue(const wchar_t *name, const wchar_t *value, DWORD data)
    {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, KeyOf(name).c_str(), value, REG_DWORD, &data, sizeof data);
    }
    DWORD GetValue(const wchar_t *name, const wchar_t *value)
    {
        DWORD data = 0xDEAD, size = sizeof data;
        RegGetValueW(HKEY_LOCAL_MACHINE, KeyOf(name).c_str(), value, RRF_RT_REG_DWORD, nullptr, &data, &size);
        return data;
    }

    // What start-up and the settings dialog do with a new list.
    void LoadList(const wchar_t *list)
    {
        CopyText(AppSettings.PluginList, list);
        PluginListChanged = true;
        ReloadItems();
    }

    // The probe's log lines of the selected items without their "<name>#<n> " prefix, only
    // those starting with one of the words (all when none are given).
    std::vector<std::wstring> Log(const wchar_t *name, std::initializer_list<const wchar_t *> words = {})
    {
        std::vector<std::wstring> lines;
        std::wistringstream in(Probe.Log(name));
        for (std::wstring line; std::getline(in, line);) {
            line = line.substr(line.find(L' ') + 1);
            bool keep = words.size() == 0;
            for (const wchar_t *word : words) keep = keep || line.compare(0, wcslen(word), word) == 0;
            if (keep) lines.push_back(line);
        }
        return lines;
    }

    // An item window's rectangle in ItemHost client coordinates.
    static RECT HostRect(HWND window)
    {
        RECT r;
        GetWindowRect(window, &r);
        MapWindowPoints(nullptr, ItemHost, (POINT *)&r, 2);
        return r;
    }

    // The layout's invariants: windows stacked in order with the gap, each at its content
    // position less the scroll; ContentHeight their sum; scroll bar and width to match.
    void ExpectConsistentLayout()
    {
        int y = 0, offset = ScrollPos ? ScrollPos - 1 : 0;
        for (UINT i = 0; i < ItemCount; i++) {
            if (!Items[i].hwndCustom) continue;
            SCOPED_TRACE("record " + std::to_string(i));
            int h = std::max(0, std::min((int)Items[i].cyp, 1000000));
            RECT r = HostRect(Items[i].hwndCustom);
            EXPECT_EQ(Items[i].Top, y);
            EXPECT_EQ(r.left, 0);
            EXPECT_EQ(r.right, ItemWidth);
            // Window coordinates are 16-bit: exact in view, and out of view when outside it.
            int want = y - offset;
            bool visible = want < ViewHeight && want + h > 0;
            if (visible && h <= 32767 && want >= -32768) {
                EXPECT_EQ(r.top, want);
                EXPECT_EQ(r.bottom - r.top, h);
            } else if (!visible) {
                EXPECT_TRUE(r.bottom <= 0 || r.top >= ViewHeight) << r.top << ".." << r.bottom << " for " << want;
            }
            y += h + ScaleY(1);
        }
        EXPECT_EQ(ContentHeight, y);
        EXPECT_EQ(ScrollBarShown, ContentHeight > ViewHeight);
        EXPECT_EQ(ItemWidth, ClientWidth - (ScrollBarShown ? ScrollBarWidth : 0));
        SCROLLINFO si = {};
        si.cbSize = sizeof si, si.fMask = SIF_ALL;
        GetScrollInfo(ItemHost, SB_VERT, &si);
        if (ScrollBarShown) {
            EXPECT_EQ(si.nMax, ContentHeight);
            EXPECT_EQ(si.nPos, std::max(ScrollPos, 1));
        }
    }
};
