// The item hosting tests' stand-in MainWindow: a topmost screen-sized window with ItemHost as
// its child, a known background and separator pen, and probe items registered for one test.
#pragma once
#include "support/testing.h"
#include "app/app.h"
#include "app/mainwindow.h"
#include "items/itemhost.h"
#include "items/items.h"
#include "look/background.h"
#include "look/scale.h"
#include "look/theme.h"
#include "plugins/probe/probe.h"
#include "settings/settingsfile.h"
#include <sstream>

using Ints = std::vector<int>;
using Lines = std::vector<std::string>;

// Every background row has its own colour, so a copy from the wrong row shows.
inline COLORREF BackgroundAt(int y) { return RGB(40, y & 0xFF, 100 + (y >> 8)); }
constexpr COLORREF TEST_SEPARATOR_COLOR = RGB(250, 0, 0);
inline int ShowSettingsCount, TodayRefreshCount;

// Resizing and the items' requests are MainWindow's own handling; the settings dialog is
// stood in for by applying an unchanged dialog at once.
inline LRESULT CALLBACK TestMainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_WINDOWPOSCHANGED || msg == WM_COPYDATA || msg == HM_UNLOADITEMS || msg == HM_RELOADITEMS)
        return MainWindowProc(hwnd, msg, wParam, lParam);
    if (msg == HM_SHOWSETTINGS) ShowSettingsCount++, ReloadItems();
    if (msg == WM_WININICHANGE && wParam == TODAY_REFRESH_CODE) TodayRefreshCount++;
    return msg == WM_ERASEBKGND ? 1 : DefWindowProcW(hwnd, msg, wParam, lParam);
}

class HostTest : public testing::Test {
protected:
    std::vector<std::wstring> Keys;
    HBITMAP Bitmap = nullptr;

    void SetUp() override
    {
        int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterWindowClasses(instance));
        WNDCLASSW wc = {0, TestMainProc, 0, 0, instance, nullptr, nullptr, nullptr, nullptr, L"ItemsTestMain"};
        RegisterClassW(&wc), ShowSettingsCount = TodayRefreshCount = 0, DeleteFileW(PROBE_LOG_PATH);

        BITMAPINFO bi = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        DWORD *bits = nullptr;
        Bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, (void **)&bits, nullptr, 0);
        // DIB pixels are 0xRRGGBB: RGB() with red and blue swapped.
        for (int i = 0; i < width * height; i++) bits[i] = RGB(100 + (i / width >> 8), i / width & 0xFF, 40);
        BackgroundDC = CreateCompatibleDC(nullptr), SelectObject(BackgroundDC, Bitmap), SeparatorPen = CreatePen(PS_SOLID, ScaleY(1), TEST_SEPARATOR_COLOR);
        ClientWidth = ViewHeight = ContentHeight = ScrollPos = 0, ScrollBarShown = false;
        MainWindow = CreateWindowExW(WS_EX_TOPMOST, L"ItemsTestMain", L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
        ASSERT_TRUE(CreateWindowExW(0, ITEM_HOST_CLASS, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, MainWindow, nullptr, instance, nullptr));
        Resize(width, height);   // a window that does not change is not told
    }

    void TearDown() override
    {
        UnloadAllItems(), DestroyWindow(MainWindow), FreeRetiredLibraries(), MainWindow = ItemHost = nullptr;
        for (const std::wstring &key : Keys) DeleteRegTree(HKEY_LOCAL_MACHINE, key);
        DeleteDC(BackgroundDC), DeleteObject(SeparatorPen), DeleteObject(Bitmap), BackgroundDC = nullptr, SeparatorPen = nullptr;
    }

    // What a rotation does to MainWindow.
    static void Resize(int width, int height) { SetWindowPos(MainWindow, nullptr, 0, 0, width, height, SWP_NOZORDER); }

    // The item's registry key; the name "" stands for the Items key itself.
    static std::wstring KeyOf(const wchar_t *name) { return name[0] ? TODAY_ITEMS_KEY L"\\" + std::wstring(name) : TODAY_ITEMS_KEY; }

    // Registers a probe item: "DLL" = the probe, "Type" 4, then the given DWORD values.
    void AddItem(const wchar_t *name, std::initializer_list<std::pair<const wchar_t *, DWORD>> values = {}, const wchar_t *dll = PROBE_DLL_PATH)
    {
        Keys.push_back(KeyOf(name)), DeleteRegTree(HKEY_LOCAL_MACHINE, Keys.back()), SetValue(name, L"Type", 4);
        if (dll) RegistrySetString(HKEY_LOCAL_MACHINE, Keys.back().c_str(), L"DLL", dll);
        for (const auto &value : values) SetValue(name, value.first, value.second);
    }
    static void SetValue(const wchar_t *name, const wchar_t *value, DWORD data) { RegistrySetDWORD(HKEY_LOCAL_MACHINE, KeyOf(name).c_str(), value, data); }

    // What start-up and the settings dialog do with a new list.
    static void LoadList(const wchar_t *list) { CopyText(AppSettings.PluginList, list), PluginListChanged = true, ReloadItems(); }

    // The probe's log lines of the items named name ("": all) that start with one of the words,
    // without the name before them.
    static Lines Log(const std::string &name, std::initializer_list<std::string> words)
    {
        std::vector<unsigned char> bytes = ReadFileBytes(PROBE_LOG_PATH);
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        Lines lines;
        for (std::string who, text; in >> who && std::getline(in >> std::ws, text);)   // CRLF-ended
            for (const std::string &word : words)
                if (text.compare(0, word.size(), word) == 0 && (name.empty() || who == name)) { lines.push_back(text.substr(0, text.size() - 1)); break; }
        return lines;
    }

    // Top edges of the records' windows in ItemHost client coordinates; -1 for no window.
    static Ints Tops()
    {
        Ints tops;
        for (UINT i = 0; i < ItemCount; i++) tops.push_back(Items[i].hwndCustom ? WindowPlace(Items[i].hwndCustom)[1] - WindowPlace(ItemHost)[1] : -1);
        return tops;
    }
};
