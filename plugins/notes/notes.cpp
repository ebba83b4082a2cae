// NimbraNotes: short notes kept in the item's own registry key ("Note1", "Note2"...).
// Collapsed it shows a heading and the first note; a tap or Enter expands it to every note
// and back. The new height is handed to the host at its next poll.
#include "plugins/common/itemkit.h"

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
    for (size_t i = 0; i < shown; i++)
        lines.push_back({L"\x2022 " + all[i], 16, 11, false});
    return lines;
}

static void Toggle(NotesItem *notes)
{
    notes->Expanded = !notes->Expanded;
    WriteItemDword(notes->Name.c_str(), NOTES_EXPANDED, notes->Expanded ? 1 : 0);
    InvalidateRect(notes->Window, nullptr, FALSE);
}

static LRESULT OnQueryRefresh(NotesItem *notes, WPARAM wParam)
{
    notes->NotesRead = false;  // a note edited in the registry shows at the next poll
    int height = ItemLinesHeight(NotesLines(notes));
    if (wParam)
        reinterpret_cast<TODAYLISTITEM *>(wParam)->cyp = static_cast<DWORD>(height);
    if (height == notes->ReportedHeight)
        return FALSE;
    notes->ReportedHeight = height;
    InvalidateRect(notes->Window, nullptr, FALSE);
    return TRUE;
}

static void SetSelected(NotesItem *notes, bool selected)
{
    notes->Selected = selected;
    InvalidateRect(notes->Window, nullptr, FALSE);
}

static LRESULT CALLBACK NotesWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams));
    NotesItem *notes = reinterpret_cast<NotesItem *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!notes)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_TODAYCUSTOM_CLEARCACHE:
        notes->Notes.clear();
        notes->NotesRead = false;
        return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        return OnQueryRefresh(notes, wParam);
    case WM_TODAYCUSTOM_RECEIVEDSELECTION:
        SetSelected(notes, true);
        return TRUE;
    case WM_TODAYCUSTOM_LOSTSELECTION:
        SetSelected(notes, false);
        return 0;
    case WM_TODAYCUSTOM_ACTION:
        Toggle(notes);
        return 0;
    case WM_LBUTTONDOWN:
        SetSelected(notes, true);
        AnnounceSelection(hwnd);
        Toggle(notes);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintItemLines(hwnd, notes->Selected, NotesLines(notes));
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete notes;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

extern "C" HWND InitializeCustomItem(TODAYLISTITEM *ptli, HWND hwndParent)
{
    if (!ptli || !RegisterItemClass(NotesModule, NOTES_CLASS, NotesWndProc))
        return nullptr;
    NotesItem *notes = new NotesItem;
    WCHAR name[MAX_ITEMNAME];
    lstrcpynW(name, ptli->szName, MAX_ITEMNAME);
    notes->Name = name;
    notes->Expanded = ReadItemDword(name, NOTES_EXPANDED, 0) != 0;
    notes->ReportedHeight = ItemLinesHeight(NotesLines(notes));
    ptli->cyp = static_cast<DWORD>(notes->ReportedHeight);
    RECT area = {};
    GetClientRect(hwndParent, &area);
    HWND window = CreateWindowExW(0, NOTES_CLASS, name, WS_CHILD | WS_VISIBLE, 0, 0, area.right,
                                  notes->ReportedHeight, hwndParent, nullptr, NotesModule, notes);
    if (!window) {
        delete notes;
        return nullptr;
    }
    notes->Window = window;
    return window;
}

// The item has no options of its own ("Options" = 0): any dialog given closes on OK or Cancel.
extern "C" BOOL CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT msg, UINT wParam, LONG lParam)
{
    (void)lParam;
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        NotesModule = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        UnregisterClassW(NOTES_CLASS, instance);
    }
    return TRUE;
}
