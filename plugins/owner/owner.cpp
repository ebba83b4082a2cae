// NimbraOwner: the device owner's name, company, telephone and e-mail address, as the Owner
// Information settings keep them under HKCU "ControlPanel\Owner". The values are read again
// at every height poll, so an edit shows within one poll; the item then grows or shrinks.
#include "plugins/common/itemkit.h"
#include <memory>

#define OWNER_CLASS L"NimbraOwnerItem"
#define OWNER_KEY L"ControlPanel\\Owner"

// The owner fields in display order; the first is the heading.
static const wchar_t *const OwnerFields[] = {L"Name", L"Company", L"Telephone", L"E-mail"};

struct OwnerItem {
    HWND Window = nullptr;
    bool Selected = false;
    std::vector<ItemLine> Lines; // cache: what is on screen; emptied by CLEARCACHE
};

static HINSTANCE OwnerModule; // this DLL

static std::vector<ItemLine> ReadOwnerLines()
{
    std::vector<ItemLine> lines;
    for (const wchar_t *field : OwnerFields) {
        std::wstring text = ReadUserString(OWNER_KEY, field);
        if (!text.empty())
            lines.push_back({text, 16, 11, lines.empty()});
    }
    if (lines.empty())
        lines.push_back({L"Owner information is not set", 16, 11, false});
    return lines;
}

static bool SameLines(const std::vector<ItemLine> &a, const std::vector<ItemLine> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (a[i].Text != b[i].Text || a[i].Bold != b[i].Bold)
            return false;
    return true;
}

static LRESULT OnQueryRefresh(OwnerItem *owner, WPARAM wParam)
{
    std::vector<ItemLine> lines = ReadOwnerLines();
    bool changed = !SameLines(lines, owner->Lines);
    owner->Lines = lines;
    ReportItemHeight(wParam, ItemLinesHeight(lines));
    if (changed)
        InvalidateRect(owner->Window, nullptr, FALSE);
    return changed;
}

static LRESULT OnPaint(OwnerItem *owner)
{
    if (owner->Lines.empty())
        owner->Lines = ReadOwnerLines();
    PaintItemLines(owner->Window, owner->Selected, owner->Lines);
    return 0;
}

static LRESULT CALLBACK OwnerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    OwnerItem *owner = static_cast<OwnerItem *>(ItemRecord(hwnd, msg, lParam));
    LRESULT result = 0;
    if (!owner)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (HandleItemSelection(hwnd, msg, &owner->Selected, &result))
        return result;
    switch (msg) {
    case WM_TODAYCUSTOM_CLEARCACHE:
        owner->Lines.clear();
        return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        return OnQueryRefresh(owner, wParam);
    case WM_PAINT:
        return OnPaint(owner);
    case WM_NCDESTROY:
        delete owner;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

extern "C" HWND InitializeCustomItem(TODAYLISTITEM *ptli, HWND hwndParent)
{
    if (!ptli || !RegisterItemClass(OwnerModule, OWNER_CLASS, OwnerWndProc))
        return nullptr;
    auto owner = std::make_unique<OwnerItem>();
    owner->Lines = ReadOwnerLines();
    owner->Window = CreateItemWindow(OwnerModule, OWNER_CLASS, L"", ptli, hwndParent, ItemLinesHeight(owner->Lines),
                                     owner.get());
    return owner->Window ? owner.release()->Window : nullptr;
}

// The item has no options of its own ("Options" = 0): any dialog given closes on OK or Cancel.
extern "C" BOOL CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    return NoItemOptions(dialog, msg, wParam);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return ItemDllMain(instance, reason, reserved, &OwnerModule, OWNER_CLASS);
}
