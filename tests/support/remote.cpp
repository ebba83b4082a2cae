#include "support/remote.h"
#include <commctrl.h>

namespace {

// A block of memory in the process of a window, freed with the object.
class RemoteBlock {
public:
    RemoteBlock(HWND window, size_t size) : size_(size)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_) base_ = (BYTE *)VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBlock()
    {
        if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    BYTE *At(size_t offset) const { return base_ ? base_ + offset : nullptr; }
    bool Write(const void *data, size_t bytes, size_t offset = 0) const
    {
        return base_ && WriteProcessMemory(process_, base_ + offset, data, bytes, nullptr);
    }
    bool Read(void *data, size_t bytes, size_t offset = 0) const
    {
        return base_ && ReadProcessMemory(process_, base_ + offset, data, bytes, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    BYTE *base_ = nullptr;
    size_t size_;
};

constexpr int TEXT_CHARS = 260;

}  // namespace

std::wstring RemoteListText(HWND list, int row)
{
    RemoteBlock block(list, sizeof(LVITEMW) + TEXT_CHARS * sizeof(WCHAR));
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = (LPWSTR)block.At(sizeof item);
    item.cchTextMax = TEXT_CHARS;
    WCHAR text[TEXT_CHARS] = L"";
    if (!block.Write(&item, sizeof item) || !block.Write(text, sizeof text, sizeof item)) return L"";
    SendMessageW(list, LVM_GETITEMTEXTW, row, (LPARAM)block.At(0));
    block.Read(text, sizeof text, sizeof item);
    text[TEXT_CHARS - 1] = 0;
    return text;
}

RECT RemoteListRowRect(HWND list, int row)
{
    RemoteBlock block(list, sizeof(RECT));
    RECT r = {LVIR_BOUNDS, 0, 0, 0};
    if (!block.Write(&r, sizeof r) || !SendMessageW(list, LVM_GETITEMRECT, row, (LPARAM)block.At(0))) return {};
    block.Read(&r, sizeof r);
    MapWindowPoints(list, nullptr, (POINT *)&r, 2);
    return r;
}

std::wstring RemoteButtonText(HWND toolbar, int index)
{
    TBBUTTON button = {};
    RemoteBlock block(toolbar, sizeof button + TEXT_CHARS * sizeof(WCHAR));
    if (!SendMessageW(toolbar, TB_GETBUTTON, index, (LPARAM)block.At(0)) || !block.Read(&button, sizeof button)) return L"";
    WCHAR text[TEXT_CHARS] = L"";
    block.Write(text, sizeof text, sizeof button);
    SendMessageW(toolbar, TB_GETBUTTONTEXTW, button.idCommand, (LPARAM)block.At(sizeof button));
    block.Read(text, sizeof text, sizeof button);
    text[TEXT_CHARS - 1] = 0;
    return text;
}

POINT Centre(HWND window)
{
    RECT r = {};
    GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}
