#include "plugins/common/itemkit.h"

// Screen density, read once on first use (0 until then).
static int ScreenDpiY;

int ItemScaleY(int length)
{
    if (ScreenDpiY == 0) {
        HDC screen = GetDC(nullptr);
        ScreenDpiY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen)
            ReleaseDC(nullptr, screen);
        if (ScreenDpiY <= 0)
            ScreenDpiY = 96;
    }
    return length * ScreenDpiY / 96;
}

bool RegisterItemClass(HINSTANCE instance, const wchar_t *className, WNDPROC proc)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    if (RegisterClassW(&wc))
        return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

static HKEY OpenItemKey(const wchar_t *item, REGSAM access)
{
    std::wstring path = std::wstring(TODAY_ITEMS_KEY) + L"\\" + item;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

DWORD ReadItemDword(const wchar_t *item, const wchar_t *value, DWORD fallback)
{
    HKEY key = OpenItemKey(item, KEY_QUERY_VALUE);
    if (!key)
        return fallback;
    DWORD type = 0, data = 0, size = sizeof data;
    LONG rc = RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE *>(&data), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_DWORD ? data : fallback;
}

bool HasItemValue(const wchar_t *item, const wchar_t *value)
{
    HKEY key = OpenItemKey(item, KEY_QUERY_VALUE);
    if (!key)
        return false;
    LONG rc = RegQueryValueExW(key, value, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// Raw string data of a value (REG_SZ or REG_MULTI_SZ), in characters, terminators kept.
static std::wstring QueryStringData(HKEY key, const wchar_t *value)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return {};
    if (type != REG_SZ && type != REG_MULTI_SZ && type != REG_EXPAND_SZ)
        return {};
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE *>(&data[0]), &size) != ERROR_SUCCESS)
        return {};
    data.resize(size / sizeof(wchar_t));
    return data;
}

std::wstring ReadItemString(const wchar_t *item, const wchar_t *value)
{
    HKEY key = OpenItemKey(item, KEY_QUERY_VALUE);
    if (!key)
        return {};
    std::wstring data = QueryStringData(key, value);
    RegCloseKey(key);
    return data.substr(0, data.find(L'\0'));
}

std::vector<std::wstring> ReadItemStrings(const wchar_t *item, const wchar_t *value)
{
    std::vector<std::wstring> list;
    HKEY key = OpenItemKey(item, KEY_QUERY_VALUE);
    if (!key)
        return list;
    std::wstring data = QueryStringData(key, value);
    RegCloseKey(key);
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find(L'\0', start);
        if (end == std::wstring::npos)
            end = data.size();
        if (end == start)
            break;  // the empty string that closes a multi-string
        list.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return list;
}

bool WriteItemDword(const wchar_t *item, const wchar_t *value, DWORD data)
{
    HKEY key = OpenItemKey(item, KEY_SET_VALUE);
    if (!key)
        return false;
    LONG rc = RegSetValueExW(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&data), sizeof data);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

std::wstring ReadUserString(const wchar_t *keyPath, const wchar_t *value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    std::wstring data = QueryStringData(key, value);
    RegCloseKey(key);
    return data.substr(0, data.find(L'\0'));
}

COLORREF HostColor(HWND item, DWORD index)
{
    return static_cast<COLORREF>(SendMessageW(GetParent(item), TODAYM_GETCOLOR, index, 0));
}

COLORREF PaintItemBackground(HWND item, HDC hdc, const RECT &rc, bool selected, LRESULT *watermarkResult)
{
    LRESULT drawn = 0;
    COLORREF text;
    if (selected) {
        HBRUSH fill = CreateSolidBrush(HostColor(item, TODAYCOLOR_HIGHLIGHT));
        FillRect(hdc, &rc, fill);
        DeleteObject(fill);
        text = HostColor(item, TODAYCOLOR_HIGHLIGHTEDTEXT);
    } else {
        TODAYDRAWWATERMARKINFO info = {hdc, rc, item};
        drawn = SendMessageW(GetParent(item), TODAYM_DRAWWATERMARK, 0, reinterpret_cast<LPARAM>(&info));
        text = HostColor(item, TODAYCOLOR_TEXT);
    }
    if (watermarkResult)
        *watermarkResult = drawn;
    return text;
}

HFONT CreateItemFont(int height96, bool bold)
{
    LOGFONTW lf = {};
    lf.lfHeight = -ItemScaleY(height96);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
    return CreateFontIndirectW(&lf);
}

void DrawItemLine(HDC hdc, const RECT &client, int y, const std::wstring &text)
{
    RECT line = {client.left + ItemScaleY(6), y, client.right - ItemScaleY(2), client.bottom};
    SetBkMode(hdc, TRANSPARENT);
    DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &line,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

// Margin above the first line and below the last, in 96-dpi pixels.
static const int LineMargin96 = 2;

int ItemLinesHeight(const std::vector<ItemLine> &lines)
{
    int height = 2 * LineMargin96;
    for (const ItemLine &line : lines)
        height += line.Height96;
    return ItemScaleY(height);
}

void PaintItemLines(HWND item, bool selected, const std::vector<ItemLine> &lines)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(item, &ps);
    RECT client;
    GetClientRect(item, &client);
    SetTextColor(hdc, PaintItemBackground(item, hdc, client, selected));
    int top = LineMargin96;
    for (const ItemLine &line : lines) {
        HFONT font = CreateItemFont(line.FontSize96, line.Bold);
        HGDIOBJ old = SelectObject(hdc, font);
        // Centred in its band: the font is smaller than the band.
        TEXTMETRICW metrics = {};
        GetTextMetricsW(hdc, &metrics);
        int y = ItemScaleY(top) + (ItemScaleY(line.Height96) - metrics.tmHeight) / 2;
        DrawItemLine(hdc, client, y, line.Text);
        SelectObject(hdc, old);
        DeleteObject(font);
        top += line.Height96;
    }
    EndPaint(item, &ps);
}

void AnnounceSelection(HWND item)
{
    SendMessageW(GetParent(item), TODAYM_TOOKSELECTION, reinterpret_cast<WPARAM>(item), 0);
}

std::wstring ItemName(const TODAYLISTITEM *item)
{
    WCHAR name[MAX_ITEMNAME];
    lstrcpynW(name, item->szName, MAX_ITEMNAME);
    return name;
}

HWND CreateItemWindow(HINSTANCE module, const wchar_t *className, const wchar_t *title, TODAYLISTITEM *ptli,
                      HWND parent, int height, void *record)
{
    ptli->cyp = static_cast<DWORD>(height);
    RECT area = {};
    GetClientRect(parent, &area);
    return CreateWindowExW(0, className, title, WS_CHILD | WS_VISIBLE, 0, 0, area.right, height, parent, nullptr,
                           module, record);
}

void *ItemRecord(HWND hwnd, UINT msg, LPARAM lParam)
{
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams));
    void *record = reinterpret_cast<void *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return record;
}

void ReportItemHeight(WPARAM wParam, int height)
{
    if (wParam)
        reinterpret_cast<TODAYLISTITEM *>(wParam)->cyp = static_cast<DWORD>(height);
}

bool HandleItemSelection(HWND hwnd, UINT msg, bool *selected, LRESULT *result)
{
    switch (msg) {
    case WM_TODAYCUSTOM_RECEIVEDSELECTION:
    case WM_LBUTTONDOWN:
        *selected = true;
        break;
    case WM_TODAYCUSTOM_LOSTSELECTION:
        *selected = false;
        break;
    case WM_ERASEBKGND:
        *result = 1;
        return true;
    default:
        return false;
    }
    InvalidateRect(hwnd, nullptr, FALSE);
    if (msg == WM_LBUTTONDOWN)
        AnnounceSelection(hwnd);
    *result = msg == WM_TODAYCUSTOM_RECEIVEDSELECTION ? TRUE : 0;
    return true;
}

bool EndItemOptions(HWND dialog, UINT msg, WPARAM wParam)
{
    if (msg != WM_COMMAND || (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL))
        return false;
    EndDialog(dialog, LOWORD(wParam));
    return true;
}

BOOL NoItemOptions(HWND dialog, UINT msg, WPARAM wParam)
{
    return EndItemOptions(dialog, msg, wParam) || msg == WM_INITDIALOG;
}

// The C++ library linked into the DLL reserves a pool for exceptions thrown when memory runs
// out as soon as the DLL is loaded, and keeps it until the process ends: without giving it
// back here, every unload and reload of an item would leave one more pool in the host (4 KB
// of resident memory and 73 KB of address space each time, measured under Wine).
namespace __gnu_cxx {
void __freeres();
}

BOOL ItemDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved, HINSTANCE *module, const wchar_t *className)
{
    if (reason == DLL_PROCESS_ATTACH) {
        *module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        UnregisterClassW(className, instance);
        __gnu_cxx::__freeres();
    }
    return TRUE;
}
