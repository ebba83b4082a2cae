// NimbraNotes: short notes kept in the item's own registry key ("Note1", "Note2"...).
// Collapsed it shows a heading and the first note; a tap or Enter expands it to every note
// and back. The new height is handed to the host at its next poll. While it holds the
// selection, Up and Down move a marker through its lines and leave the item only at its first
// and last line; Right unfolds it and Left folds it.
#include "plugins/common/itemkit.h"
#include <memory>

#define NOTES_CLASS L"NimbraNotesItem"
// Registry values of the item's key.
#define NOTES_EXPANDED L"Expanded" // non-zero: all notes are shown (kept across restarts)
#define NOTES_MAX 20               // "Note1" to "Note20"; reading stops at the first missing one

struct NotesItem {
    HWND Window = nullptr;
    std::wstring Name;
    bool Expanded = false;
    bool Selected = false;
    int ReportedHeight = 0;           // the cyp last handed to the host
    std::vector<std::wstring> Notes;  // cache of the registry's notes; emptied by CLEARCACHE
    bool NotesRead = false;
    size_t Cursor = 0;                // the marked line while selected: 0 the heading, then the notes
};

static HINSTANCE NotesModule; // this DLL

static std::vector<std::wstring> ReadNotes(const std::wstring &item)
{
    std::vector<std::wstring> notes;
    for (int i = 1; i <= NOTES_MAX; i++) {
        std::wstring value = L"Note" + std::to_wstring(i);
        if (!HasItemValue(item.c_str(), value.c_str()))
            break;
        notes.push_back(ReadItemString(item.c_str(), value.c_str()));
    }
    return notes;
}

static const std::vector<std::wstring> &Notes(NotesItem *notes)
{
    if (!notes->NotesRead) {
        notes->Notes = ReadNotes(notes->Name);
        notes->NotesRead = true;
    }
    return notes->Notes;
}

static std::vector<ItemLine> NotesLines(NotesItem *notes)
{
    const std::vector<std::wstring> &all = Notes(notes);
    std::wstring heading = all.empty() ? L"Notes: none" : L"Notes (" + std::to_wstring(all.size()) + L")";
    if (all.size() > 1)
        heading += notes->Expanded ? L"  \x25B2" : L"  \x25BC";  // up or down triangle: tap to fold or unfold
    std::vector<ItemLine> lines = {{heading, 16, 11, true}};
    size_t shown = notes->Expanded ? all.size() : (all.empty() ? 0 : 1);
    for (size_t i = 0; i < shown; i++) {
        bool marked = notes->Selected && notes->Cursor == i + 1;
        lines.push_back({(marked ? L"\x25B8 " : L"\x2022 ") + all[i], 16, 11, false});
    }
    return lines;
}

static size_t LineCount(NotesItem *notes)
{
    size_t count = Notes(notes).size();
    return 1 + (notes->Expanded ? count : (count ? 1 : 0));
}

static void Toggle(NotesItem *notes)
{
    notes->Expanded = !notes->Expanded;
    if (notes->Cursor >= LineCount(notes)) notes->Cursor = LineCount(notes) - 1;
    WriteItemDword(notes->Name.c_str(), NOTES_EXPANDED, notes->Expanded ? 1 : 0);
    InvalidateRect(notes->Window, nullptr, FALSE);
}

static LRESULT OnQueryRefresh(NotesItem *notes, WPARAM wParam)
{
    notes->NotesRead = false;  // a note edited in the registry shows at the next poll
    int height = ItemLinesHeight(NotesLines(notes));
    ReportItemHeight(wParam, height);
    if (height == notes->ReportedHeight)
        return FALSE;
    notes->ReportedHeight = height;
    InvalidateRect(notes->Window, nullptr, FALSE);
    return TRUE;
}

// An arrow key while the item is selected: TRUE when it moved inside the item.
static LRESULT Navigate(NotesItem *notes, WPARAM key)
{
    size_t lines = LineCount(notes);
    if (key == VK_DOWN && notes->Cursor + 1 < lines) notes->Cursor++;
    else if (key == VK_UP && notes->Cursor > 0) notes->Cursor--;
    else if ((key == VK_RIGHT && !notes->Expanded) || (key == VK_LEFT && notes->Expanded)) Toggle(notes);
    else return FALSE;
    InvalidateRect(notes->Window, nullptr, FALSE);
    return TRUE;
}

static LRESULT CALLBACK NotesWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    NotesItem *notes = static_cast<NotesItem *>(ItemRecord(hwnd, msg, lParam));
    LRESULT result = 0;
    if (!notes)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (HandleItemSelection(hwnd, msg, &notes->Selected, &result)) {
        if (msg == WM_LBUTTONDOWN)
            Toggle(notes);  // a tap also folds or unfolds
        if (msg == WM_TODAYCUSTOM_RECEIVEDSELECTION)   // entered from above at the top, from below at the end
            notes->Cursor = wParam == VK_UP ? LineCount(notes) - 1 : 0;
        return result;
    }
    switch (msg) {
    case WM_TODAYCUSTOM_CLEARCACHE:
        notes->Notes.clear();
        notes->NotesRead = false;
        return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        return OnQueryRefresh(notes, wParam);
    case WM_TODAYCUSTOM_ACTION:
        Toggle(notes);
        return 0;
    case WM_TODAYCUSTOM_USERNAVIGATION:
        return Navigate(notes, wParam);
    case WM_PAINT:
        PaintItemLines(hwnd, notes->Selected, NotesLines(notes));
        return 0;
    case WM_NCDESTROY:
        delete notes;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

extern "C" HWND InitializeCustomItem(TODAYLISTITEM *ptli, HWND hwndParent)
{
    if (!ptli || !RegisterItemClass(NotesModule, NOTES_CLASS, NotesWndProc))
        return nullptr;
    auto notes = std::make_unique<NotesItem>();
    notes->Name = ItemName(ptli);
    notes->Expanded = ReadItemDword(notes->Name.c_str(), NOTES_EXPANDED, 0) != 0;
    notes->ReportedHeight = ItemLinesHeight(NotesLines(notes.get()));
    notes->Window = CreateItemWindow(NotesModule, NOTES_CLASS, notes->Name.c_str(), ptli, hwndParent,
                                     notes->ReportedHeight, notes.get());
    return notes->Window ? notes.release()->Window : nullptr;
}

// The item has no options of its own ("Options" = 0): any dialog given closes on OK or Cancel.
extern "C" BOOL CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    return NoItemOptions(dialog, msg, wParam);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return ItemDllMain(instance, reason, reserved, &NotesModule, NOTES_CLASS);
}
