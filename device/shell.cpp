// The emulated device's shell: the parts of a Pocket PC's shell that Nimbra meets.
//   shell.exe [navbar] [today] [boot]        (no word: all three)
// navbar  the navigation bar along the top (class "NimbraNavigationBar"), 26 pixels high at
//         96 dpi, always on top and never taking activation. It shows the foreground window's
//         title (also as its own window text) and, for a foreground window with extended style
//         0x80000000 (WS_EX_CAPTIONOKBTN), an OK button at its right end that posts
//         WM_COMMAND IDOK to that window. It follows the foreground window and the screen's
//         turning.
// today   the system Today screen (class "DesktopExplorerWindow", the window the device's
//         desktop is), filling the screen below the navigation bar, started at the bottom of
//         the window stack (start it before other programs). Its list box names the Today
//         items whose "Enabled" is not 0 (the keys under HKLM\Software\Microsoft\Today\Items);
//         it reads them again on WM_SETTINGCHANGE with wParam 242, the Today refresh notice.
// boot    what the device does after a reset: every shortcut (*.lnk) in the start-up folder is
//         started, in name order. A shortcut is the device's text file "LENGTH#TARGET"; the
//         target is a program path, quoted when it holds spaces, followed by its arguments. A
//         rooted path (\Windows\x) names this program's drive.
// The program ends when its prefix's wineserver stops, or after boot alone.
#include <windows.h>
#include <shlobj.h>
#include <algorithm>
#include <string>
#include <vector>

static const wchar_t NavigationBarClass[] = L"NimbraNavigationBar";
static const wchar_t TodayClass[] = L"DesktopExplorerWindow";
static const wchar_t ItemsKey[] = L"Software\\Microsoft\\Today\\Items";
constexpr DWORD WS_EX_CAPTIONOKBTN = 0x80000000;
constexpr WPARAM TODAY_REFRESH_CODE = 0xF2;
constexpr UINT_PTR FOLLOW_TIMER = 1;
constexpr UINT FOLLOW_INTERVAL = 200;   // ms between looks at the foreground window

static HINSTANCE Instance;
static int Dpi = 96;
static HWND TodayList;                  // the Today screen's list box
static std::wstring ShownTitle;         // what the navigation bar shows
static HWND OkTarget;                   // the window its OK button is for; null: no OK shown

static int Scale(int length) { return length * Dpi / 96; }
static int BarHeight() { return Scale(26); }

// Colour i of the device's shell colour scheme (stored R, G, B, 0), or fallback.
static COLORREF ShellColor(int i, COLORREF fallback)
{
    BYTE colors[36 * 4];
    DWORD size = sizeof colors;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Color", L"SHColor", RRF_RT_REG_BINARY, nullptr, colors, &size) ||
        size < (DWORD)(i + 1) * 4)
        return fallback;
    return RGB(colors[i * 4], colors[i * 4 + 1], colors[i * 4 + 2]);
}

// ---- Navigation bar ---------------------------------------------------------------------
static RECT OkButton(HWND bar)
{
    RECT r;
    GetClientRect(bar, &r);
    int inset = Scale(3);
    return {r.right - Scale(30), r.top + inset, r.right - inset, r.bottom - inset};
}

static void FollowForeground(HWND bar)
{
    HWND front = GetForegroundWindow();
    wchar_t title[256] = L"";
    if (front) InternalGetWindowText(front, title, 256);
    HWND ok = front && (GetWindowLongW(front, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN) ? front : nullptr;
    if (title == ShownTitle && ok == OkTarget) return;
    ShownTitle = title;
    OkTarget = ok;
    SetWindowTextW(bar, title);
    InvalidateRect(bar, nullptr, TRUE);
}

static void PaintNavigationBar(HWND bar)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(bar, &ps);
    RECT r;
    GetClientRect(bar, &r);
    HBRUSH back = CreateSolidBrush(ShellColor(0, RGB(0, 0x33, 0x99)));
    FillRect(dc, &r, back);
    DeleteObject(back);
    HFONT font = CreateFontW(-Scale(13), 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    COLORREF text = ShellColor(2, RGB(255, 255, 255));
    SetTextColor(dc, text);
    RECT titleRect = r;
    titleRect.left += Scale(6);
    titleRect.right = OkButton(bar).left - Scale(4);
    DrawTextW(dc, ShownTitle.c_str(), -1, &titleRect, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    if (OkTarget) {
        RECT ok = OkButton(bar);
        HPEN pen = CreatePen(PS_SOLID, 1, text);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        RoundRect(dc, ok.left, ok.top, ok.right, ok.bottom, Scale(6), Scale(6));
        DrawTextW(dc, L"ok", -1, &ok, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        SelectObject(dc, oldBrush);
        DeleteObject(SelectObject(dc, oldPen));
    }
    DeleteObject(SelectObject(dc, oldFont));
    EndPaint(bar, &ps);
}

static LRESULT CALLBACK NavigationBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEACTIVATE:   // a tap leaves the foreground window in front
        return MA_NOACTIVATE;
    case WM_LBUTTONUP: {
        RECT ok = OkButton(bar);
        POINT at = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
        if (OkTarget && PtInRect(&ok, at)) PostMessageW(OkTarget, WM_COMMAND, IDOK, 0);
        return 0;
    }
    case WM_TIMER:
        FollowForeground(bar);
        return 0;
    case WM_DISPLAYCHANGE:
        SetWindowPos(bar, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), BarHeight(), SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    case WM_PAINT:
        PaintNavigationBar(bar);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    }
    return DefWindowProcW(bar, message, wParam, lParam);
}

// ---- System Today screen ----------------------------------------------------------------
static void ListTodayItems()
{
    SendMessageW(TodayList, LB_RESETCONTENT, 0, 0);
    HKEY items;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ItemsKey, 0, KEY_READ, &items)) return;
    wchar_t name[256];
    for (DWORD i = 0;; i++) {
        DWORD length = 256;
        if (RegEnumKeyExW(items, i, name, &length, nullptr, nullptr, nullptr, nullptr)) break;
        DWORD enabled = 0, size = sizeof enabled;   // no value: not shown, as Nimbra reads it too
        RegGetValueW(items, name, L"Enabled", RRF_RT_REG_DWORD, nullptr, &enabled, &size);
        if (enabled) SendMessageW(TodayList, LB_ADDSTRING, 0, (LPARAM)name);
    }
    RegCloseKey(items);
}

static void FillWorkArea(HWND today)
{
    int top = BarHeight(), width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN) - top;
    SetWindowPos(today, nullptr, 0, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    MoveWindow(TodayList, 0, Scale(24), width, height - Scale(24), TRUE);
}

static LRESULT CALLBACK TodayProc(HWND today, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETTINGCHANGE:
        if (wParam == TODAY_REFRESH_CODE) ListTodayItems();
        return 0;
    case WM_DISPLAYCHANGE:
        FillWorkArea(today);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(today, &ps);
        RECT r;
        GetClientRect(today, &r);
        FillRect(dc, &r, (HBRUSH)GetStockObject(WHITE_BRUSH));
        r.left += Scale(6);
        r.bottom = Scale(24);
        SetTextColor(dc, ShellColor(5, RGB(0, 0x33, 0x99)));
        DrawTextW(dc, L"System Today screen", -1, &r, DT_SINGLELINE | DT_VCENTER);
        EndPaint(today, &ps);
        return 0;
    }
    }
    return DefWindowProcW(today, message, wParam, lParam);
}

// ---- Boot ---------------------------------------------------------------------------------
// Starts the target of one shortcut file; quietly nothing when it is not in the format.
static void StartShortcut(const std::wstring &file, const std::wstring &drive)
{
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    char bytes[1024];
    DWORD got = 0;
    ReadFile(handle, bytes, sizeof bytes, &got, nullptr);
    CloseHandle(handle);
    wchar_t text[1024];
    int chars = MultiByteToWideChar(CP_ACP, 0, bytes, (int)got, text, 1024);
    std::wstring shortcut(text, chars > 0 ? chars : 0);
    size_t hash = shortcut.find(L'#');
    if (hash == 0 || hash == std::wstring::npos || shortcut.find_first_not_of(L"0123456789") != hash) return;
    std::wstring target = shortcut.substr(hash + 1, _wtoi(shortcut.c_str()));   // the length says where it ends
    if (target.empty()) return;
    std::wstring program, arguments;
    size_t end = target[0] == L'"' ? target.find(L'"', 1) : target.find(L' ');
    if (target[0] == L'"') {
        program = target.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
        if (end != std::wstring::npos) arguments = target.substr(end + 1);
    } else {
        program = target.substr(0, end);
        if (end != std::wstring::npos) arguments = target.substr(end + 1);
    }
    arguments.erase(0, arguments.find_first_not_of(L' '));
    if (program.size() > 1 && program[0] == L'\\' && program[1] != L'\\') program = drive + program;
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = program.c_str();
    info.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
    info.nShow = SW_SHOW;
    ShellExecuteExW(&info);
}

static void Boot()
{
    wchar_t folder[MAX_PATH], self[MAX_PATH];
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_STARTUP, FALSE)) return;
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring drive(self, 2);
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((std::wstring(folder) + L"\\*.lnk").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());   // the host's file system decides the found order
    for (const std::wstring &name : names) StartShortcut(std::wstring(folder) + L"\\" + name, drive);
}

// ---- Start --------------------------------------------------------------------------------
static HWND MakeWindow(const wchar_t *className, WNDPROC procedure, const wchar_t *title, DWORD exStyle)
{
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;   // both are drawn from their edges: a turned screen repaints all
    wc.lpfnWndProc = procedure;
    wc.hInstance = Instance;
    wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(exStyle, className, title, WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, 0, nullptr, nullptr, Instance, nullptr);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR command, int)
{
    Instance = instance;
    HDC screen = GetDC(nullptr);
    Dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    std::wstring words = command ? command : L"";
    bool all = words.find_first_not_of(L' ') == std::wstring::npos;
    bool windows = false;

    if (all || words.find(L"today") != std::wstring::npos) {
        HWND today = MakeWindow(TodayClass, TodayProc, L"Today", 0);
        TodayList = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0,
                                    today, nullptr, instance, nullptr);
        ListTodayItems();
        FillWorkArea(today);
        // The device starts it first: Wine raises a newly shown window once the X server maps it,
        // so a Today screen started while other programs show can end up in front of them.
        SetWindowPos(today, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        windows = true;
    }
    if (all || words.find(L"navbar") != std::wstring::npos) {
        HWND bar = MakeWindow(NavigationBarClass, NavigationBarProc, L"", WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW);
        SetWindowPos(bar, HWND_TOPMOST, 0, 0, GetSystemMetrics(SM_CXSCREEN), BarHeight(), SWP_NOACTIVATE | SWP_SHOWWINDOW);
        FollowForeground(bar);
        SetTimer(bar, FOLLOW_TIMER, FOLLOW_INTERVAL, nullptr);
        windows = true;
    }
    if (all || words.find(L"boot") != std::wstring::npos) Boot();
    if (!windows) return 0;

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
