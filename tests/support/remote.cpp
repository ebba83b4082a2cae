#include "support/remote.h"
#include <commctrl.h>

// Sends msg to a window of another process with lParam pointing at a copy of the bytes placed
// in that process, and copies them back afterwards. place(copy) runs first, for records that
// point into themselves.
static LRESULT SendRemote(HWND window, UINT msg, WPARAM wParam, void *bytes, size_t size,
                          const std::function<void(BYTE *copy)> &place = nullptr)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    BYTE *copy = process ? (BYTE *)VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE) : nullptr;
    LRESULT result = 0;
    if (copy) {
        if (place) place(copy);
        if (WriteProcessMemory(process, copy, bytes, size, nullptr)) result = SendMessageW(window, msg, wParam, (LPARAM)copy);
        ReadProcessMemory(process, copy, bytes, size, nullptr);
        VirtualFreeEx(process, copy, 0, MEM_RELEASE);
    }
    if (process) CloseHandle(process);
    return result;
}

std::wstring RemoteListText(HWND list, int row)
{
    struct { LVITEMW item; WCHAR text[260]; } r = {};
    r.item.cchTextMax = 260;
    SendRemote(list, LVM_GETITEMTEXTW, row, &r, sizeof r, [&](BYTE *copy) { r.item.pszText = (WCHAR *)(copy + sizeof r.item); });
    return std::wstring(r.text, wcsnlen(r.text, 260));
}

RECT RemoteListRowRect(HWND list, int row)
{
    RECT r = {LVIR_BOUNDS, 0, 0, 0};
    if (!SendRemote(list, LVM_GETITEMRECT, row, &r, sizeof r)) return {};
    MapWindowPoints(list, nullptr, (POINT *)&r, 2);
    return r;
}

std::wstring RemoteButtonText(HWND toolbar, int command)
{
    WCHAR text[260] = L"";
    SendRemote(toolbar, TB_GETBUTTONTEXTW, command, text, sizeof text);
    return std::wstring(text, wcsnlen(text, 260));
}
