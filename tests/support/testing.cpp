#include "support/testing.h"
#include <fstream>

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;   // a test's own loop never ends on it
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        if (done()) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return done();
        MsgWaitForMultipleObjectsEx(0, nullptr, (std::min<DWORD>)(timeoutMs - elapsed, 20), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

bool MovePointerTo(int x, int y)
{
    RECT spot = {x, y, x + 1, y + 1};
    ClipCursor(&spot);
    bool there = PumpUntil([&] { POINT p; return GetCursorPos(&p) && p.x == x && p.y == y; }, 2000);
    ClipCursor(nullptr);
    PumpMessages();
    return there;
}

std::array<LONG, 4> WindowPlace(HWND window)
{
    RECT r = {};
    GetWindowRect(window, &r);
    return {r.left, r.top, r.right, r.bottom};
}

COLORREF PixelOf(HWND window, int x, int y)
{
    UpdateWindow(window);
    HDC dc = GetDC(window);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
}

std::wstring WindowText(HWND window)
{
    WCHAR text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}

bool Rotate(DWORD width, DWORD height)
{
    DEVMODEW mode = {};
    mode.dmSize = sizeof mode, mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT, mode.dmPelsWidth = width, mode.dmPelsHeight = height;
    return ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) == DISP_CHANGE_SUCCESSFUL;
}

std::wstring ThisProgram()
{
    WCHAR path[MAX_PATH];
    return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
}

std::wstring ExeFolder() { return ThisProgram().substr(0, ThisProgram().find_last_of(L'\\') + 1); }

std::vector<unsigned char> ReadFileBytes(const std::wstring &path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool WriteFileBytes(const std::wstring &path, const void *data, size_t size)
{
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    return file.write((const char *)data, (std::streamsize)size) && file.flush();
}

std::vector<std::wstring> MoveFiles(const std::wstring &from, const std::wstring &pattern, const std::wstring &to)
{
    std::vector<std::wstring> moved;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((from + pattern).c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        if (MoveFileExW((from + found.cFileName).c_str(), (to + found.cFileName).c_str(), MOVEFILE_REPLACE_EXISTING))
            moved.push_back(found.cFileName);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return moved;
}

void DeleteRegTree(HKEY root, const std::wstring &key) { RegDeleteTreeW(root, key.c_str()), RegDeleteKeyW(root, key.c_str()); }

void MoveRegTree(HKEY root, const std::wstring &from, const std::wstring &to)
{
    HKEY source, target;
    DeleteRegTree(root, to);
    if (RegOpenKeyExW(root, from.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS) return;
    if (RegCreateKeyExW(root, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr) == ERROR_SUCCESS)
        RegCopyTreeW(source, nullptr, target), RegCloseKey(target);
    RegCloseKey(source);
    DeleteRegTree(root, from);
}

std::string Narrow(const std::wstring &text) { return std::string(text.begin(), text.end()); }

ULONGLONG ThreadMs()
{
    ULARGE_INTEGER kernel, user;
    FILETIME created, ended;
    GetThreadTimes(GetCurrentThread(), &created, &ended, (FILETIME *)&kernel, (FILETIME *)&user);
    return (kernel.QuadPart + user.QuadPart) / 10000;
}
